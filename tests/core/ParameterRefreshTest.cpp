#include <gtest/gtest.h>

#include <climits>

#include "core/panel/ParameterRefresh.h"
#include "core/panel/PanelTables.h"
#include "core/panel/Parameters.h"
#include "core/panel/SelectionState.h"

namespace {

// 35264 samples make exactly 64 samples per column (35264 * (1/551) == 64.0),
// so expected values can be worked out by hand. 22050 samples make about
// 40.018 per column; their expected values were worked out separately with
// the formulas trunc(x * q) and trunc((trunc(start * q) + P * 551) / q).
RefreshSound sound(uint32_t sampleCount, uint32_t rate = 22050, uint32_t bits = 16)
{
    RefreshSound s;
    s.ready = 1;
    s.rate = rate;
    s.bits = bits;
    s.sampleCount = sampleCount;
    return s;
}

RefreshState selection(uint32_t start, uint32_t end)
{
    RefreshState s;
    s.selStartX = start;
    s.selEndX = end;
    return s;
}

void expectSameState(const RefreshState& a, const RefreshState& b)
{
    EXPECT_EQ(a.selStartX, b.selStartX);
    EXPECT_EQ(a.selEndX, b.selEndX);
    EXPECT_EQ(a.cursorX, b.cursorX);
    EXPECT_EQ(a.selectionLocked, b.selectionLocked);
    EXPECT_EQ(a.framePeriod, b.framePeriod);
    EXPECT_EQ(a.appliedFramePeriod, b.appliedFramePeriod);
    EXPECT_EQ(a.analysisStart, b.analysisStart);
    EXPECT_EQ(a.cursorSample, b.cursorSample);
    EXPECT_EQ(a.frameOrder, b.frameOrder);
    EXPECT_EQ(a.windowKind, b.windowKind);
    EXPECT_EQ(a.logScale, b.logScale);
    EXPECT_EQ(a.rejection, b.rejection);
    EXPECT_EQ(a.maxFreqStep, b.maxFreqStep);
}

TEST(ParameterRefresh, DoesNothingAtAllWithoutAReadySound)
{
    RefreshSound notReady = sound(35264);
    notReady.ready = 0;
    RefreshState before = selection(10, 3);
    before.cursorX = 7;
    for (int kind : {0, 1, 2, 3, 4, 9}) {
        RefreshResult r = refreshParameters(kind, RefreshControls{}, notReady, before);
        EXPECT_FALSE(r.ran) << "kind " << kind;
        EXPECT_FALSE(r.selectionEndMoved);
        EXPECT_FALSE(r.edits.framePeriodEcho || r.edits.framePeriodMs || r.edits.sampleRate);
        expectSameState(r.state, before);
    }
}

TEST(ParameterRefresh, OtherKindsOnlyPutTheCursorOnTheSelectionStart)
{
    RefreshState before = selection(40, 12);
    before.cursorX = 300;
    for (int kind : {0, 5, -1}) {
        RefreshResult r = refreshParameters(kind, RefreshControls{}, sound(35264), before);
        EXPECT_TRUE(r.ran);
        RefreshState expected = before;
        expected.cursorX = 40;
        expectSameState(r.state, expected);
        EXPECT_FALSE(r.selectionEndMoved);
        EXPECT_FALSE(r.edits.framePeriodEcho || r.edits.sampleRate || r.edits.frameLengthMs);
    }
}

TEST(ParameterRefresh, TrackBarSetsThePeriodAndPlacesTheEnd551PeriodsLater)
{
    const struct { uint32_t sampleCount, selStart; int position; int period; uint32_t selEnd; int cursorSample;
                   const wchar_t* periodMs; } cases[] = {
        {35264, 10, 2, 64, 10 + 551, 640, L"2.9"},        // 64 samples per column: 551 columns on
        {35264, 10, 5, 160, 10 + 551 * 160 / 64, 640, L"7.3"},
        {22050, 100, 5, 160, 2302, 4001, L"7.3"},
    };
    for (const auto& c : cases) {
        RefreshState before = selection(c.selStart, 0);
        before.selectionLocked = 1;
        before.appliedFramePeriod = 77;
        RefreshControls controls;
        controls.framePeriodPosition = c.position;
        RefreshResult r = refreshParameters(1, controls, sound(c.sampleCount), before);
        EXPECT_EQ(r.state.selectionLocked, 0);
        EXPECT_EQ(r.state.framePeriod, c.period);
        EXPECT_EQ(*r.edits.framePeriodEcho, std::to_wstring(c.period));
        EXPECT_EQ(*r.edits.framePeriodMs, c.periodMs);
        EXPECT_EQ(r.state.selEndX, c.selEnd);
        EXPECT_TRUE(r.selectionEndMoved);
        EXPECT_EQ(r.state.cursorSample, c.cursorSample);
        EXPECT_EQ(r.state.cursorX, c.selStart);
        // Only a full refresh applies the period to the analysis.
        EXPECT_EQ(r.state.appliedFramePeriod, 77);
        EXPECT_FALSE(r.edits.frameLengthMs);
    }
}

TEST(ParameterRefresh, DragLocksTheSelectionAndSpreads551PeriodsOverIt)
{
    const struct { uint32_t sampleCount, selStart, selEnd; const wchar_t* echo; int period, cursorSample; } cases[] = {
        {35264, 0, 551, L"64", 64, 35264},
        {35264, 20, 10, L"1", 1, 640},    // dragged leftwards: 640 samples / 551
        {22050, 10, 20, L"0", 1, 800},    // narrower than 551 samples: the box shows 0
        {22050, 300, 50, L"18", 18, 2000},
    };
    for (const auto& c : cases) {
        RefreshResult r = refreshParameters(2, RefreshControls{}, sound(c.sampleCount), selection(c.selStart, c.selEnd));
        EXPECT_EQ(r.state.selectionLocked, 1);
        EXPECT_EQ(*r.edits.framePeriodEcho, c.echo);
        EXPECT_EQ(r.state.framePeriod, c.period);
        EXPECT_EQ(r.state.cursorSample, c.cursorSample);
        // The dragged end is the user's; the refresh never moves it.
        EXPECT_EQ(r.state.selEndX, c.selEnd);
        EXPECT_FALSE(r.selectionEndMoved);
    }
}

TEST(ParameterRefresh, FullRefreshOrdersTheSelectionAndTakesEveryControl)
{
    RefreshControls controls;
    controls.frameLengthIndex = 11;   // 4096
    controls.windowIndex = 3;
    controls.scalePosition = 20;
    controls.rejectionPosition = 7;
    controls.colorWidthPosition = 13;
    controls.maxFreqPosition = 4;
    RefreshState before = selection(400, 120);
    before.framePeriod = 64;
    RefreshResult r = refreshParameters(3, controls, sound(44100, 44100, 8), before);

    EXPECT_EQ(r.state.selStartX, 120u);
    EXPECT_EQ(r.state.analysisStart, 9604);  // trunc(120 * 80.036...)
    EXPECT_EQ(r.state.frameOrder, 12);
    EXPECT_EQ(r.state.windowKind, 3);
    EXPECT_EQ(r.state.logScale, 800);
    EXPECT_EQ(r.state.rejection, 7);
    EXPECT_EQ(r.state.maxFreqStep, 4);
    EXPECT_EQ(r.state.appliedFramePeriod, 64);
    EXPECT_EQ(r.state.selEndX, 120u + 440u);  // trunc((9604 + 64*551) / 80.036...)
    EXPECT_TRUE(r.selectionEndMoved);
    EXPECT_EQ(r.state.cursorX, 120u);

    EXPECT_EQ(*r.edits.sampleRate, L"44.1");
    EXPECT_EQ(*r.edits.bitRate, L"8.0");
    EXPECT_EQ(*r.edits.frameLengthMs, L"92.9");
    EXPECT_EQ(*r.edits.framePeriodMs, L"1.5");
    EXPECT_EQ(*r.edits.scaleEcho, L"800");
    EXPECT_EQ(*r.edits.colorWidthEcho, L"1.3");
    EXPECT_FALSE(r.edits.framePeriodEcho);  // kind 3 leaves the period box alone
}

TEST(ParameterRefresh, FirstFullRefreshGivesTheDefaults)
{
    RefreshState before;  // start-up values: frameOrder 0, framePeriod 1
    RefreshResult r = refreshParameters(4, RefreshControls{}, sound(22050), before);
    EXPECT_EQ(r.state.frameOrder, 10);
    EXPECT_EQ(r.state.framePeriod, 64);
    EXPECT_EQ(r.state.appliedFramePeriod, 64);
    EXPECT_EQ(*r.edits.framePeriodEcho, L"64");
    EXPECT_EQ(*r.edits.frameLengthMs, L"46.4");
    EXPECT_EQ(*r.edits.framePeriodMs, L"2.9");
    EXPECT_EQ(*r.edits.sampleRate, L"22.1");
    EXPECT_EQ(*r.edits.bitRate, L"16.0");
    EXPECT_EQ(*r.edits.scaleEcho, L"320");
    EXPECT_EQ(*r.edits.colorWidthEcho, L"1.0");
}

TEST(ParameterRefresh, DraggedEndSurvivesFullRefreshesUntilTheTrackBarMoves)
{
    RefreshResult drag = refreshParameters(2, RefreshControls{}, sound(35264), selection(0, 300));
    ASSERT_EQ(drag.state.framePeriod, 34);  // 300 columns * 64 / 551

    RefreshResult combo = refreshParameters(3, RefreshControls{}, sound(35264), drag.state);
    EXPECT_EQ(combo.state.selEndX, 300u);
    EXPECT_FALSE(combo.selectionEndMoved);
    EXPECT_EQ(combo.state.appliedFramePeriod, 34);

    // A new sound resets the period to the track bar but keeps the dragged end.
    RefreshResult load = refreshParameters(4, RefreshControls{}, sound(35264), combo.state);
    EXPECT_EQ(load.state.framePeriod, 64);
    EXPECT_EQ(load.state.appliedFramePeriod, 64);
    EXPECT_EQ(load.state.selEndX, 300u);

    RefreshResult track = refreshParameters(1, RefreshControls{}, sound(35264), load.state);
    EXPECT_EQ(track.state.selectionLocked, 0);
    EXPECT_EQ(track.state.selEndX, 551u);
}

TEST(ParameterRefresh, ComboWithoutSelectionKeepsThePreviousChoice)
{
    RefreshControls controls;
    controls.frameLengthIndex = -1;
    controls.windowIndex = -1;
    RefreshState before;
    before.frameOrder = 8;
    before.windowKind = 2;
    RefreshResult r = refreshParameters(3, controls, sound(35264), before);
    EXPECT_EQ(r.state.frameOrder, 8);
    EXPECT_EQ(r.state.windowKind, 2);
    EXPECT_EQ(*r.edits.frameLengthMs, L"11.6");  // 256 samples at 22050 Hz
}

// One past the end of a list is no entry either: the frame length and the
// window stay as they were rather than becoming 13 or kind 4.
TEST(ParameterRefresh, ComboIndexPastItsListKeepsThePreviousChoice)
{
    RefreshControls controls;
    controls.frameLengthIndex = panelTables::entryCount(panelTables::frameLengthEntries);
    controls.windowIndex = panelTables::entryCount(panelTables::windowKindEntries);
    RefreshState before;
    before.frameOrder = 8;
    before.windowKind = 2;
    RefreshResult r = refreshParameters(3, controls, sound(35264), before);
    EXPECT_EQ(r.state.frameOrder, 8);
    EXPECT_EQ(r.state.windowKind, 2);
}

// A refresh of `kind` with one control moved from its start-up place.
RefreshResult refreshWithControl(int kind, int RefreshControls::*control, int value)
{
    RefreshControls controls;
    controls.*control = value;
    return refreshParameters(kind, controls, sound(35264), RefreshState{});
}

// Each position of the bars, and each frame-length entry, reaches the
// parameters and the echoes through the panel's own mapping.
TEST(ParameterRefresh, EveryPositionMapsAsThePanelTablesDo)
{
    namespace pt = panelTables;
    for (int p = pt::scaleRange.minimum; p <= pt::scaleRange.maximum; ++p) {
        const RefreshResult r = refreshWithControl(3, &RefreshControls::scalePosition, p);
        EXPECT_EQ(r.state.logScale, pt::logScaleOf(p)) << p;
        EXPECT_EQ(*r.edits.scaleEcho, formatInt(pt::logScaleOf(p))) << p;
    }
    for (int p = pt::colorWidthRange.minimum; p <= pt::colorWidthRange.maximum; ++p)
        EXPECT_EQ(*refreshWithControl(3, &RefreshControls::colorWidthPosition, p).edits.colorWidthEcho,
                  formatOneDecimal(pt::colorWidthOf(p))) << p;
    for (int i = 0; i < pt::entryCount(pt::frameLengthEntries); ++i)
        EXPECT_EQ(refreshWithControl(3, &RefreshControls::frameLengthIndex, i).state.frameOrder,
                  pt::frameOrderOfIndex(i)) << i;
    for (int p = pt::framePeriodRange.minimum; p <= pt::framePeriodRange.maximum; ++p)
        EXPECT_EQ(refreshWithControl(1, &RefreshControls::framePeriodPosition, p).state.framePeriod,
                  pt::framePeriodSamples(p)) << p;
}

// The refresh's idea of the start-up values is the parameter model's: a
// refresh fed a fresh RefreshState must see what the globals hold at start.
TEST(ParameterRefresh, FreshStateHoldsTheParameterModelsStartUpValues)
{
    resetParameters();
    resetSelectionState();
    const RefreshState fresh;
    EXPECT_EQ(fresh.selStartX, selStartX.load());
    EXPECT_EQ(fresh.selEndX, selEndX.load());
    EXPECT_EQ(fresh.cursorX, cursorX.load());
    EXPECT_EQ(fresh.selectionLocked, selectionLocked.load());
    EXPECT_EQ(fresh.framePeriod, framePeriod.load());
    EXPECT_EQ(fresh.appliedFramePeriod, appliedFramePeriod.load());
    EXPECT_EQ(fresh.analysisStart, analysisStart.load());
    EXPECT_EQ(fresh.cursorSample, cursorSample.load());
    EXPECT_EQ(fresh.frameOrder, frameOrder.load());
    EXPECT_EQ(fresh.windowKind, windowKind.load());
    EXPECT_EQ(fresh.logScale, logScale.load());
    EXPECT_EQ(fresh.rejection, rejection.load());
    EXPECT_EQ(fresh.maxFreqStep, maxFreqStep.load());
}

// The controls as the panel's initialisation leaves them.
TEST(ParameterRefresh, DefaultControlsAreThoseOfAFreshPanel)
{
    namespace pt = panelTables;
    resetParameters();
    resetSelectionState();
    const RefreshControls fresh;
    EXPECT_EQ(fresh.framePeriodPosition, pt::framePeriodStartPosition);
    EXPECT_STREQ(pt::frameLengthEntries[fresh.frameLengthIndex], L"1024");
    EXPECT_EQ(fresh.windowIndex, windowKind.load());
    EXPECT_EQ(pt::logScaleOf(fresh.scalePosition), logScale.load());
    EXPECT_EQ(fresh.rejectionPosition, rejection.load());
    EXPECT_EQ(pt::colorWidthOf(fresh.colorWidthPosition), colorWidth.load());
    EXPECT_EQ(fresh.maxFreqPosition, maxFreqStep.load());
}

TEST(ParameterRefresh, EmptySoundOrZeroRateShowsZerosInsteadOfDividing)
{
    RefreshState before = selection(5, 200);
    RefreshResult empty = refreshParameters(4, RefreshControls{}, sound(0), before);
    EXPECT_TRUE(empty.ran);
    EXPECT_EQ(empty.state.analysisStart, 0);
    EXPECT_EQ(empty.state.selEndX, 200u);  // no samples: no column to move the end to
    EXPECT_EQ(*empty.edits.frameLengthMs, L"46.4");

    RefreshResult noRate = refreshParameters(4, RefreshControls{}, sound(35264, 0), before);
    EXPECT_EQ(*noRate.edits.frameLengthMs, L"0.0");
    EXPECT_EQ(*noRate.edits.framePeriodMs, L"0.0");
    EXPECT_EQ(*noRate.edits.sampleRate, L"0.0");
    RefreshResult track = refreshParameters(1, RefreshControls{}, sound(0, 0), before);
    EXPECT_EQ(*track.edits.framePeriodMs, L"0.0");
    EXPECT_EQ(track.state.selEndX, 200u);
    RefreshResult drag = refreshParameters(2, RefreshControls{}, sound(0, 0), before);
    EXPECT_EQ(*drag.edits.framePeriodEcho, L"0");
    EXPECT_EQ(drag.state.framePeriod, 1);
}

TEST(ParameterRefresh, ColumnsFarOutsideTheViewLieBeyondTheSoundRatherThanWrapping)
{
    // A mouse released far left of the view reports column 65535; with the
    // longest possible sound that is far beyond 32-bit sample positions, and
    // must stay beyond the sound's end (a wrapped or saturated position could
    // name a sample inside it).
    RefreshResult r = refreshParameters(2, RefreshControls{}, sound(UINT32_MAX), selection(0, 65535));
    EXPECT_GT(r.state.cursorSample, int64_t{UINT32_MAX});
    EXPECT_GT(r.state.framePeriod, 0);
    RefreshResult full = refreshParameters(3, RefreshControls{}, sound(UINT32_MAX), selection(65535, 65535));
    EXPECT_EQ(full.state.analysisStart, r.state.cursorSample);
}

}  // namespace
