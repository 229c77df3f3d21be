// The panel's combo lists, track-bar ranges, echoes and enabling rule.
#include "core/panel/PanelTables.h"
#include "core/analysis/WindowFunction.h"
#include "core/panel/Parameters.h"
#include "core/panel/Activity.h"
#include "core/panel/SelectionState.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>

namespace {

using namespace panelTables;

std::string oneDecimal(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// The number a combo entry shows ("22050Hz" -> 22050, "8.0Sec" -> 8).
double leadingNumber(const wchar_t* entry) { return std::wcstod(entry, nullptr); }

class PanelDefaults : public ::testing::Test {
protected:
    void SetUp() override
    {
        resetParameters();
        resetSelectionState();
    }
};

// The start-up values the design gives the parameter model, one by one.
TEST(PanelDefaultValues, AreTheDesignsStartUpValues)
{
    const struct {
        const char* name;
        int value;
        int expected;
    } cases[] = {
        {"recordRate", defaultRecordRate, 22050},   {"recordBits", defaultRecordBits, 8},
        {"recordSeconds", defaultRecordSeconds, 8}, {"windowKind", defaultWindowKind, WindowHanning},
        {"frameOrder", defaultFrameOrder, 0},       {"framePeriod", defaultFramePeriod, 1},
        {"logScale", defaultLogScale, 320},         {"rejection", defaultRejection, 1},
        {"maxFreqStep", defaultMaxFreqStep, -3},    {"energyLogMode", defaultEnergyLogMode, 1},
        {"printMonoMode", defaultPrintMonoMode, 0}, {"sideGraduate", defaultSideGraduate, 0},
        {"graduateLine", defaultGraduateLine, 0},   {"sourceMode", defaultSourceMode, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(c.value, c.expected) << c.name;
    EXPECT_EQ(defaultColorWidth, 1.0);
}

// Every parameter goes back to its default, also after a run changed it.
TEST(PanelDefaultValues, ResetParametersRestoresEveryDefault)
{
    recordRate = 44100;
    recordBits = 16;
    recordSeconds = 20;
    windowKind = 3;
    frameOrder = 12;
    framePeriod = 512;
    appliedFramePeriod = 512;
    logScale = 1000;
    rejection = 10;
    maxFreqStep = 10;
    energyLogMode = 0;
    colorWidth = 2.0;
    printMonoMode = 1;
    sideGraduate = 1;
    graduateLine = 1;
    sourceMode = 1;
    resetParameters();
    EXPECT_EQ(recordRate.load(), defaultRecordRate);
    EXPECT_EQ(recordBits.load(), defaultRecordBits);
    EXPECT_EQ(recordSeconds.load(), defaultRecordSeconds);
    EXPECT_EQ(windowKind.load(), defaultWindowKind);
    EXPECT_EQ(frameOrder.load(), defaultFrameOrder);
    EXPECT_EQ(framePeriod.load(), defaultFramePeriod);
    EXPECT_EQ(appliedFramePeriod.load(), defaultFramePeriod);
    EXPECT_EQ(logScale.load(), defaultLogScale);
    EXPECT_EQ(rejection.load(), defaultRejection);
    EXPECT_EQ(maxFreqStep.load(), defaultMaxFreqStep);
    EXPECT_EQ(energyLogMode.load(), defaultEnergyLogMode);
    EXPECT_EQ(colorWidth.load(), defaultColorWidth);
    EXPECT_EQ(printMonoMode.load(), defaultPrintMonoMode);
    EXPECT_EQ(sideGraduate.load(), defaultSideGraduate);
    EXPECT_EQ(graduateLine.load(), defaultGraduateLine);
    EXPECT_EQ(sourceMode.load(), defaultSourceMode);
}

// The panel shows each default through its control, and reading the control
// back must give the default again: otherwise the first refresh or recording
// would change a setting the user never touched.
TEST(PanelDefaultValues, EachDefaultSurvivesTheTripThroughItsControl)
{
    EXPECT_EQ(recordRateOfIndex(indexOfRecordRate(defaultRecordRate)), defaultRecordRate);
    EXPECT_EQ(recordBitsOfIndex(indexOfRecordBits(defaultRecordBits)), defaultRecordBits);
    EXPECT_EQ(recordSecondsOfIndex(indexOfRecordSeconds(defaultRecordSeconds)), defaultRecordSeconds);
    EXPECT_TRUE(isEntryIndex(windowKindEntries, defaultWindowKind));
    EXPECT_EQ(windowKindOfIndex(defaultWindowKind), defaultWindowKind);
    EXPECT_EQ(logScaleOf(scalePositionOf(defaultLogScale)), defaultLogScale);
    // The colour width bar is only given its range, so it rests on the minimum.
    EXPECT_EQ(colorWidthOf(colorWidthRange.minimum), defaultColorWidth);
}

TEST(PanelCombos, AnEntryIndexIsOneOfTheList)
{
    EXPECT_FALSE(isEntryIndex(frameLengthEntries, -1));
    EXPECT_TRUE(isEntryIndex(frameLengthEntries, 0));
    EXPECT_TRUE(isEntryIndex(frameLengthEntries, 11));
    EXPECT_FALSE(isEntryIndex(frameLengthEntries, 12));
    EXPECT_TRUE(isEntryIndex(windowKindEntries, 3));
    EXPECT_FALSE(isEntryIndex(windowKindEntries, 4));
}

// The window combo lists the kinds in the order the window functions number them.
TEST(PanelCombos, WindowEntriesAreInWindowKindOrder)
{
    EXPECT_STREQ(windowKindEntries[WindowRectangular], L"方形窓");
    EXPECT_STREQ(windowKindEntries[WindowHanning], L"ハニング窓");
    EXPECT_STREQ(windowKindEntries[WindowHamming], L"ハミング窓");
    EXPECT_STREQ(windowKindEntries[WindowBlackman], L"ブラックマン窓");
    for (int i = 0; i < entryCount(windowKindEntries); ++i) EXPECT_EQ(windowKindOfIndex(i), i);
}

TEST(PanelCombos, ListsHaveTheirEntryCounts)
{
    EXPECT_EQ(entryCount(windowKindEntries), 4);
    EXPECT_EQ(entryCount(frameLengthEntries), 12);
    EXPECT_EQ(entryCount(recordRateEntries), 2);
    EXPECT_EQ(entryCount(recordBitsEntries), 2);
    EXPECT_EQ(entryCount(recordSecondsEntries), 10);
}

// The parameter read from a combo must be the number the selected entry shows.
TEST(PanelCombos, EveryEntryShowsTheValueItsIndexMapsTo)
{
    for (int i = 0; i < entryCount(frameLengthEntries); ++i)
        EXPECT_EQ(leadingNumber(frameLengthEntries[i]), std::ldexp(1.0, frameOrderOfIndex(i))) << i;
    for (int i = 0; i < entryCount(recordRateEntries); ++i)
        EXPECT_EQ(leadingNumber(recordRateEntries[i]), recordRateOfIndex(i)) << i;
    for (int i = 0; i < entryCount(recordBitsEntries); ++i)
        EXPECT_EQ(leadingNumber(recordBitsEntries[i]), recordBitsOfIndex(i)) << i;
    for (int i = 0; i < entryCount(recordSecondsEntries); ++i)
        EXPECT_EQ(leadingNumber(recordSecondsEntries[i]), recordSecondsOfIndex(i)) << i;
}

// The initialisation selects the entry of a parameter value; reading the combo
// back must give the same value, or a recording would change its settings.
TEST(PanelCombos, SelectingAValueAndReadingItBackRoundTrips)
{
    for (int i = 0; i < entryCount(recordRateEntries); ++i) EXPECT_EQ(indexOfRecordRate(recordRateOfIndex(i)), i);
    for (int i = 0; i < entryCount(recordBitsEntries); ++i) EXPECT_EQ(indexOfRecordBits(recordBitsOfIndex(i)), i);
    for (int i = 0; i < entryCount(recordSecondsEntries); ++i)
        EXPECT_EQ(indexOfRecordSeconds(recordSecondsOfIndex(i)), i);
}

TEST_F(PanelDefaults, CombosStartOnTheDefaultEntries)
{
    EXPECT_STREQ(windowKindEntries[windowKind.load()], L"ハニング窓");
    EXPECT_STREQ(frameLengthEntries[frameLengthStartIndex], L"1024");
    EXPECT_STREQ(recordRateEntries[indexOfRecordRate(recordRate.load())], L"22050Hz");
    EXPECT_STREQ(recordBitsEntries[indexOfRecordBits(recordBits.load())], L"8Bit");
    EXPECT_STREQ(recordSecondsEntries[indexOfRecordSeconds(recordSeconds.load())], L"8.0Sec");
}

TEST_F(PanelDefaults, EchoBoxesStartWithTheDefaultTexts)
{
    EXPECT_EQ(framePeriodSamples(framePeriodStartPosition), 64);
    EXPECT_EQ(logScaleOf(scalePositionOf(logScale.load())), 320);
    EXPECT_EQ(rejection.load(), 1);
    // The colour width bar is only given its range, so it rests on the minimum.
    EXPECT_EQ(oneDecimal(colorWidthOf(colorWidthRange.minimum)), "1.0");
    EXPECT_EQ(oneDecimal(maxFrequencyHz(maxFreqStep.load())), "5124.9");
}

TEST_F(PanelDefaults, StartPositionsLieInsideTheirRanges)
{
    struct Case {
        const char* bar;
        TrackRange range;
        int position;
    };
    const Case cases[] = {
        {"frame period", framePeriodRange, framePeriodStartPosition},
        {"scale", scaleRange, scalePositionOf(logScale.load())},
        {"rejection", rejectionRange, rejection.load()},
        {"maximum frequency", maxFreqRange, maxFreqStep.load()},
    };
    for (const Case& c : cases) {
        EXPECT_GE(c.position, c.range.minimum) << c.bar;
        EXPECT_LE(c.position, c.range.maximum) << c.bar;
    }
}

// The ends of each bar give the ends of the parameter's documented range.
TEST(PanelTracks, RangeEndsMapToTheParameterLimits)
{
    EXPECT_EQ(framePeriodSamples(framePeriodRange.minimum), 32);
    EXPECT_EQ(framePeriodSamples(framePeriodRange.maximum), 512);
    EXPECT_EQ(logScaleOf(scaleRange.minimum), 200);
    EXPECT_EQ(logScaleOf(scaleRange.maximum), 1000);
    EXPECT_EQ(oneDecimal(colorWidthOf(colorWidthRange.minimum)), "1.0");
    EXPECT_EQ(oneDecimal(colorWidthOf(colorWidthRange.maximum)), "2.0");
}

TEST(PanelTracks, MaximumFrequencyEchoes)
{
    struct Case {
        int position;
        const char* echo;
    };
    const Case cases[] = {{-10, "3014.6"}, {-3, "5124.9"}, {0, "6029.3"}, {10, "9043.9"}};
    for (const Case& c : cases) EXPECT_EQ(oneDecimal(maxFrequencyHz(c.position)), c.echo) << c.position;
}

// The scale bar shows logScale / 40; every step of 40 must survive the trip.
TEST(PanelTracks, ScalePositionRoundTripsForEveryStep)
{
    for (int position = scaleRange.minimum; position <= scaleRange.maximum; ++position)
        EXPECT_EQ(scalePositionOf(logScaleOf(position)), position);
}

TEST(PanelEnabling, EachControlGroupFollowsItsOwnSetting)
{
    struct Case {
        int source;
        int printMono;
        int energyLog;
        bool file, record, colorWidth, energy;
    };
    const Case cases[] = {
        {0, 0, 1, true, false, true, true},     // the start state: file, Color, Log
        {1, 0, 1, false, true, true, true},     // record mode
        {-1, 0, 1, false, true, true, true},    // no source checked: the file side is off
        {0, 1, 1, true, false, false, true},    // Mono: no colour width
        {0, 0, 0, true, false, true, false},    // Linear: no scale or rejection
        {1, 1, 0, false, true, false, false},
        {0, -1, -1, true, false, true, true},   // nothing checked: nothing to hide
    };
    for (const Case& c : cases) {
        const ControlEnabling e = controlEnabling(static_cast<int>(Activity::Idle), c.source, c.printMono, c.energyLog);
        SCOPED_TRACE(::testing::Message() << c.source << "," << c.printMono << "," << c.energyLog);
        EXPECT_EQ(e.fileControls, c.file);
        EXPECT_EQ(e.recordControls, c.record);
        EXPECT_EQ(e.colorWidth, c.colorWidth);
        EXPECT_EQ(e.energyControls, c.energy);
    }
}

// Playing, recording or drawing disables nothing: a second worker is refused
// by the activity state, not by greyed buttons.
TEST(PanelEnabling, NothingIsDisabledWhilePlayingRecordingOrDrawing)
{
    for (Activity a : {Activity::Playing, Activity::Recording, Activity::RecordingLive, Activity::Drawing}) {
        const int activity = static_cast<int>(a);
        for (int source : {0, 1}) {
            const ControlEnabling idle = controlEnabling(static_cast<int>(Activity::Idle), source, 0, 1);
            const ControlEnabling busy = controlEnabling(activity, source, 0, 1);
            EXPECT_EQ(busy.fileControls, idle.fileControls) << activity;
            EXPECT_EQ(busy.recordControls, idle.recordControls) << activity;
            EXPECT_TRUE(busy.colorWidth && busy.energyControls) << activity;
        }
    }
}

}  // namespace
