// The command line: the window's forms, the batch run's options against the
// panel's own controls, and the mistakes that must be refused with a message.
#include "core/panel/CommandLine.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "core/panel/ParameterRefresh.h"
#include "core/panel/PanelTables.h"

namespace {

namespace pt = panelTables;
using Words = std::vector<std::wstring>;

CommandLine parsed(Words words) { return parseCommandLine(words); }

// A batch line: `options`, one output and the sound.
CommandLine batch(Words options)
{
    options.insert(options.begin(), {L"/png", L"out.png"});
    options.push_back(L"in.wav");
    return parseCommandLine(options);
}

std::string narrow(const std::wstring& text) { return std::string(text.begin(), text.end()); }

TEST(CommandLine, WindowFormsOpenTheFirstPathAndDrawOnlyWhenAsked)
{
    EXPECT_EQ(parsed({}).mode, LaunchMode::Window);
    EXPECT_EQ(parsed({}).path, L"");

    const CommandLine open = parsed({L"C:\\a b\\x.wav"});
    EXPECT_EQ(open.mode, LaunchMode::Window);
    EXPECT_EQ(open.path, L"C:\\a b\\x.wav");
    EXPECT_FALSE(open.draw);

    for (const Words& words : {Words{L"/draw", L"x.wav"}, Words{L"x.wav", L"-DRAW"}}) {
        const CommandLine draw = parsed(words);
        EXPECT_EQ(draw.mode, LaunchMode::Window);
        EXPECT_TRUE(draw.draw);
        EXPECT_EQ(draw.path, L"x.wav");
    }
    // A Unix path under Wine, and several files dropped on the icon.
    EXPECT_EQ(parsed({L"/home/me/x.wav"}).path, L"/home/me/x.wav");
    EXPECT_EQ(parsed({L"first.wav", L"second.wav"}).path, L"first.wav");
    EXPECT_TRUE(parsed({L"/defaults", L"x.wav"}).defaults);
}

TEST(CommandLine, BatchTakesEveryOutputAndStatesOnlyWhatWasGiven)
{
    const CommandLine line = parseCommandLine({L"/png", L"a.png", L"/print", L"p.png", L"/csv", L"n.csv", L"in.wav"});
    ASSERT_EQ(line.mode, LaunchMode::Batch) << narrow(line.error);
    EXPECT_EQ(line.pngPath, L"a.png");
    EXPECT_EQ(line.printPath, L"p.png");
    EXPECT_EQ(line.csvPath, L"n.csv");
    EXPECT_EQ(line.path, L"in.wav");
    EXPECT_FALSE(line.panel.frameLengthIndex || line.panel.windowIndex || line.panel.framePeriodPosition ||
                 line.panel.scalePosition || line.panel.rejectionPosition || line.panel.colorWidthPosition ||
                 line.panel.maxFreqPosition || line.panel.printMonoMode || line.panel.energyLogMode ||
                 line.panel.sideGraduate || line.panel.graduateLine || line.fromSeconds || line.toSeconds);
    EXPECT_FALSE(line.remembered);

    // One output is enough, in any place on the line.
    EXPECT_EQ(parseCommandLine({L"in.wav", L"/csv", L"n.csv"}).mode, LaunchMode::Batch);
}

// The values as the panel shows them select the control positions that show them.
TEST(CommandLine, OptionsSelectTheControlPositionsThatShowTheirValues)
{
    const CommandLine line = batch({L"/frame", L"256", L"/window", L"BlackMan", L"/scale", L"1000", L"/rejection", L"7",
                                    L"/colorwidth", L"1.5", L"/maxfreq", L"5124.9", L"/mono", L"/linear",
                                    L"/sidegraduate", L"/nograduateline", L"/from", L"0.25", L"/to", L"1.5",
                                    L"/pitch", L"/speaker", L"child", L"/remembered"});
    ASSERT_EQ(line.mode, LaunchMode::Batch) << narrow(line.error);
    EXPECT_EQ(std::wstring(pt::frameLengthEntries[*line.panel.frameLengthIndex]), L"256");
    EXPECT_EQ(std::wstring(pt::windowKindEntries[*line.panel.windowIndex]), L"ブラックマン窓");
    EXPECT_EQ(*line.panel.scalePosition, 25);
    EXPECT_EQ(*line.panel.rejectionPosition, 7);
    EXPECT_EQ(*line.panel.colorWidthPosition, 15);
    EXPECT_EQ(*line.panel.maxFreqPosition, -3);  // the panel's start, 5124.9 Hz
    EXPECT_EQ(*line.panel.printMonoMode, 1);
    EXPECT_EQ(*line.panel.energyLogMode, 0);
    EXPECT_EQ(*line.panel.sideGraduate, 1);
    EXPECT_EQ(*line.panel.graduateLine, 0);
    EXPECT_DOUBLE_EQ(*line.fromSeconds, 0.25);
    EXPECT_DOUBLE_EQ(*line.toSeconds, 1.5);
    EXPECT_TRUE(line.overlays.pitch);
    EXPECT_FALSE(line.overlays.formants);
    EXPECT_EQ(line.overlays.speaker, Speaker::Child);
    EXPECT_TRUE(line.remembered);
}

// Every position of every track bar and every combo entry can be asked for by
// the text the panel shows for it (its echo box or list entry), and only by
// a value it can show.
TEST(CommandLine, EveryValueTheControlsCanShowIsAcceptedAndNothingBetween)
{
    struct Bar {
        const wchar_t* option;
        pt::TrackRange range;
        std::wstring (*shown)(int);
        std::optional<int> PanelChoices::*slot;
    };
    const Bar bars[] = {
        {L"/period", pt::framePeriodRange, [](int p) { return formatInt(pt::framePeriodSamples(p)); },
         &PanelChoices::framePeriodPosition},
        {L"/scale", pt::scaleRange, [](int p) { return formatInt(pt::logScaleOf(p)); }, &PanelChoices::scalePosition},
        {L"/rejection", pt::rejectionRange, [](int p) { return formatInt(p); }, &PanelChoices::rejectionPosition},
        {L"/colorwidth", pt::colorWidthRange, [](int p) { return formatOneDecimal(pt::colorWidthOf(p)); },
         &PanelChoices::colorWidthPosition},
        {L"/maxfreq", pt::maxFreqRange, [](int p) { return formatOneDecimal(pt::maxFrequencyHz(p)); },
         &PanelChoices::maxFreqPosition},
    };
    for (const Bar& bar : bars) {
        for (int p = bar.range.minimum; p <= bar.range.maximum; ++p) {
            const CommandLine line = batch({bar.option, bar.shown(p)});
            ASSERT_EQ(line.mode, LaunchMode::Batch) << narrow(bar.option) << " " << narrow(bar.shown(p));
            EXPECT_EQ(line.panel.*bar.slot, p) << narrow(bar.option);
        }
        // Just outside each end of the range.
        for (int outside : {bar.range.minimum - 1, bar.range.maximum + 1}) {
            const CommandLine line = batch({bar.option, bar.shown(outside)});
            EXPECT_EQ(line.mode, LaunchMode::Error) << narrow(bar.option) << " " << narrow(bar.shown(outside));
            EXPECT_NE(line.error.find(bar.option), std::wstring::npos);
        }
    }
    for (int i = 0; i < pt::entryCount(pt::frameLengthEntries); ++i)
        EXPECT_EQ(batch({L"/frame", pt::frameLengthEntries[i]}).panel.frameLengthIndex, i);
}

TEST(CommandLine, MistakesAreRefusedWithAMessageNamingThem)
{
    const struct {
        Words words;
        const wchar_t* named;  // part of the message
    } mistakes[] = {
        {{L"/png", L"o.png", L"/frobnicate", L"in.wav"}, L"unknown option /frobnicate"},
        {{L"/frobnicate", L"in.wav"}, L"unknown option"},
        {{L"/png", L"o.png", L"/frame", L"1000", L"in.wav"}, L"/frame must be 2, 4, 8"},
        {{L"/png", L"o.png", L"in.wav", L"/frame"}, L"/frame needs a value"},
        {{L"/png", L"o.png", L"/frame", L"1024.5", L"in.wav"}, L"/frame"},
        {{L"/png", L"o.png", L"/scale", L"210", L"in.wav"}, L"/scale must be a multiple of 40 from 200 to 1000"},
        {{L"/png", L"o.png", L"/colorwidth", L"0.95", L"in.wav"}, L"/colorwidth must be 1.0 to 2.0"},
        {{L"/png", L"o.png", L"/maxfreq", L"5000", L"in.wav"}, L"/maxfreq must be one of the panel's frequencies"},
        {{L"/png", L"o.png", L"/window", L"kaiser", L"in.wav"}, L"/window must be rectangular, hanning, hamming or blackman"},
        {{L"/png", L"o.png", L"/speaker", L"robot", L"in.wav"}, L"/speaker must be male, female or child"},
        {{L"/png", L"o.png", L"/from", L"-1", L"in.wav"}, L"/from must be a time in seconds"},
        {{L"/png", L"o.png", L"/to", L"1e3", L"in.wav"}, L"/to must be a time in seconds"},
        {{L"/png", L"o.png", L"/from", L"2", L"/to", L"1", L"in.wav"}, L"/to must come after /from"},
        {{L"/png", L"o.png", L"/period", L"64", L"/to", L"3", L"in.wav"}, L"/period and /to cannot both be given"},
        {{L"/png", L"o.png", L"/mono", L"/color", L"in.wav"}, L"/mono and /color cannot both be given"},
        {{L"/png", L"o.png", L"/frame", L"256", L"/FRAME", L"512", L"in.wav"}, L"/frame is given twice"},
        {{L"/png", L"o.png", L"/print", L"O.PNG", L"in.wav"}, L"same file"},
        {{L"/png", L"o.png"}, L"no sound file"},
        {{L"/png", L"o.png", L"a.wav", L"b.wav"}, L"one sound file at a time"},
        {{L"/png", L"o.png", L"/draw", L"in.wav"}, L"/draw is for the window"},
        {{L"/frame", L"256", L"in.wav"}, L"/frame is for drawing into files"},
    };
    for (const auto& mistake : mistakes) {
        const CommandLine line = parseCommandLine(mistake.words);
        EXPECT_EQ(line.mode, LaunchMode::Error) << narrow(mistake.named);
        EXPECT_NE(line.error.find(mistake.named), std::wstring::npos) << narrow(line.error);
        EXPECT_EQ(line.error.find(L'\n'), std::wstring::npos) << "one line: " << narrow(line.error);
    }
}

// The usage advertises only options that exist, and is asked for with /?.
TEST(CommandLine, UsageListsOnlyOptionsTheParserKnows)
{
    EXPECT_EQ(parsed({L"/?"}).mode, LaunchMode::Usage);
    EXPECT_EQ(parsed({L"x.wav", L"-?"}).mode, LaunchMode::Usage);
    const std::wstring text = usageText();
    int options = 0;
    for (size_t at = text.find(L" /"); at != std::wstring::npos; at = text.find(L" /", at + 1)) {
        size_t end = at + 2;
        while (end < text.size() && (iswalpha(text[end]) || text[end] == L'?')) ++end;
        const std::wstring option = text.substr(at + 1, end - at - 1);
        ++options;
        const CommandLine line = parsed({option, L"1024", L"x.wav"});
        EXPECT_EQ(line.error.find(L"unknown option"), std::wstring::npos) << narrow(option);
    }
    EXPECT_GE(options, 25);
}

TEST(CommandLine, DecimalsAreReadWithAPointWhateverTheLocale)
{
    double value = 0;
    EXPECT_TRUE(parseDecimal(L"1.5", value));
    EXPECT_DOUBLE_EQ(value, 1.5);
    EXPECT_TRUE(parseDecimal(L"-12", value));
    EXPECT_DOUBLE_EQ(value, -12);
    EXPECT_TRUE(parseDecimal(L".25", value));
    EXPECT_DOUBLE_EQ(value, 0.25);
    for (const wchar_t* bad : {L"", L"-", L"1.", L"1,5", L"1e3", L" 1", L"inf", L"0x10"})
        EXPECT_FALSE(parseDecimal(bad, value)) << narrow(bad);
}

// A 4-second sound of 88200 samples: column c starts at c * 88200 / 551, so
// 1 s (sample 22050) lies in column trunc(551 / 4) = 137 and 2 s in 275.
TEST(CommandLine, SelectionTimesBecomeTheColumnsOfAPressAndARelease)
{
    const uint32_t count = 88200, rate = 22050;
    const SelectionColumns whole = selectionColumns(batch({}), count, rate);
    EXPECT_EQ(whole.startColumn, 0u);
    EXPECT_EQ(whole.endColumn, 550u);
    EXPECT_EQ(whole.error, L"");

    const SelectionColumns part = selectionColumns(batch({L"/from", L"1", L"/to", L"2"}), count, rate);
    EXPECT_EQ(part.startColumn, 137u);
    EXPECT_EQ(part.endColumn, 275u);

    // To the very end of the sound; a period of its own makes it a click.
    EXPECT_EQ(selectionColumns(batch({L"/to", L"4"}), count, rate).endColumn, 550u);
    const SelectionColumns click = selectionColumns(batch({L"/from", L"2", L"/period", L"128"}), count, rate);
    EXPECT_EQ(click.startColumn, 275u);
    EXPECT_EQ(click.endColumn, 275u);

    EXPECT_NE(selectionColumns(batch({L"/from", L"4"}), count, rate).error.find(L"/from 4.000 s lies beyond the end of the sound (4.000 s)"),
              std::wstring::npos);
    EXPECT_NE(selectionColumns(batch({L"/to", L"4.5"}), count, rate).error.find(L"/to"), std::wstring::npos);
}

}  // namespace
