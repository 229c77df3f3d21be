// The rules of what Kelvara remembers between runs: the values' defaults and
// ranges, the list of recent files and its menu items, and the window title.
#include "core/panel/RememberedSettings.h"
#include "core/panel/Parameters.h"
#include "core/panel/WindowTitle.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace {

// Each default is the panel's start-up state as a person sees it, and each
// range is what the control can show, written out from what the panel offers.
TEST(RememberedValues, DefaultsAndRangesAreThoseOfThePanelsControls)
{
    const struct {
        Remembered which;
        int defaultValue, minimum, maximum;
    } expected[] = {
        {Remembered::windowKind, 1, 0, 3},       // "ハニング窓" of four windows
        {Remembered::frameLength, 9, 0, 11},     // "1024" of 2 .. 4096
        {Remembered::framePeriod, 2, 1, 16},     // 64 samples
        {Remembered::energyPlot, 1, 0, 1},       // "Log"
        {Remembered::voicePrint, 0, 0, 1},       // "Color"
        {Remembered::scale, 8, 5, 25},           // 320
        {Remembered::rejection, 1, 1, 10},
        {Remembered::colorWidth, 10, 10, 20},    // 1.0
        {Remembered::maxFrequency, -3, -10, 10}, // 5124.9 Hz
        {Remembered::sideGraduate, 0, 0, 1},
        {Remembered::graduateLine, 0, 0, 1},
        {Remembered::recordRate, 0, 0, 1},       // "22050Hz"
        {Remembered::recordBits, 0, 0, 1},       // "8Bit"
        {Remembered::recordSeconds, 3, 0, 9},    // "8.0Sec"
        {Remembered::showPitch, 0, 0, 1},        // both overlays off at start
        {Remembered::showFormants, 0, 0, 1},
        {Remembered::speaker, 1, 0, 2},          // "女性 (0-5500 Hz)" of three speakers
    };
    ASSERT_EQ(std::size(expected), rememberedCount);
    const RememberedSettings defaults = defaultSettings();
    std::vector<std::wstring> names;
    for (const auto& e : expected) {
        const RememberedRule& rule = ruleOf(e.which);
        SCOPED_TRACE(static_cast<int>(e.which));
        EXPECT_EQ(rule.which, e.which);
        EXPECT_EQ(rule.defaultValue, e.defaultValue);
        EXPECT_EQ(defaults[e.which], e.defaultValue);
        EXPECT_EQ(rule.minimum, e.minimum);
        EXPECT_EQ(rule.maximum, e.maximum);
        for (const std::wstring& name : names) EXPECT_NE(name, rule.valueName) << "two values stored under one name";
        names.push_back(rule.valueName);
    }
    EXPECT_TRUE(defaults.openFolder.empty() && defaults.saveFolder.empty() && defaults.recentFiles.empty());
}

// What the store may hand back: nothing, a value in range, just outside it,
// or any 32-bit pattern read as a number.
TEST(RememberedValues, OnlyPresentValuesWithinTheRangeAreTaken)
{
    const RememberedRule& freq = ruleOf(Remembered::maxFrequency);
    EXPECT_EQ(validatedValue(freq, true, -10), -10);
    EXPECT_EQ(validatedValue(freq, true, 10), 10);
    EXPECT_EQ(validatedValue(freq, true, 0), 0);
    for (long long bad : {-11LL, 11LL, 4294967295LL, static_cast<long long>(INT_MIN), LLONG_MAX, LLONG_MIN})
        EXPECT_EQ(validatedValue(freq, true, bad), -3) << bad;
    EXPECT_EQ(validatedValue(freq, false, 5), -3);
    const RememberedRule& length = ruleOf(Remembered::frameLength);
    EXPECT_EQ(validatedValue(length, true, 11), 11);
    EXPECT_EQ(validatedValue(length, true, 12), 9);
    EXPECT_EQ(validatedValue(length, true, -1), 9);
}

TEST(RememberedPaths, PlausiblePathsAndTheirFolders)
{
    EXPECT_TRUE(plausiblePath(L"C:\\録音\\a & b.wav"));
    EXPECT_TRUE(plausiblePath(L"\\\\server\\share\\x.wav"));
    EXPECT_TRUE(plausiblePath(std::wstring(L"C:\\") + std::wstring(256, L'x')));   // 259 characters
    EXPECT_FALSE(plausiblePath(std::wstring(L"C:\\") + std::wstring(257, L'x')));
    EXPECT_FALSE(plausiblePath(L""));
    for (const wchar_t* bad : {L"C:\\a\nb.wav", L"C:\\a\tb", L"C:\\*.wav", L"C:\\a?.wav", L"C:\\\"a\"", L"a|b", L"<a>"})
        EXPECT_FALSE(plausiblePath(bad));
    EXPECT_FALSE(plausiblePath(std::wstring(L"C:\\a\0b", 6)));

    EXPECT_EQ(folderOfPath(L"C:\\sounds\\voice.wav"), L"C:\\sounds");
    EXPECT_EQ(folderOfPath(L"C:\\voice.wav"), L"C:\\");
    EXPECT_EQ(folderOfPath(L"Z:/tmp/a.wav"), L"Z:/tmp");
    EXPECT_EQ(folderOfPath(L"voice.wav"), L"");
}

TEST(RecentFiles, MostRecentFirstWithoutRepeatsAndAtMostEight)
{
    std::vector<std::wstring> recent;
    addRecentFile(recent, L"C:\\a.wav");
    addRecentFile(recent, L"C:\\b.wav");
    addRecentFile(recent, L"C:\\c.wav");
    EXPECT_EQ(recent, (std::vector<std::wstring>{L"C:\\c.wav", L"C:\\b.wav", L"C:\\a.wav"}));
    // The same file under another spelling moves up and takes the new spelling.
    addRecentFile(recent, L"c:/A.WAV");
    EXPECT_EQ(recent, (std::vector<std::wstring>{L"c:/A.WAV", L"C:\\c.wav", L"C:\\b.wav"}));
    addRecentFile(recent, L"C:\\bad?.wav");
    EXPECT_EQ(recent.size(), 3u);
    for (int i = 0; i < 10; ++i) addRecentFile(recent, L"C:\\n" + std::to_wstring(i) + L".wav");
    ASSERT_EQ(recent.size(), 8u);
    EXPECT_EQ(recent.front(), L"C:\\n9.wav");
    EXPECT_EQ(recent.back(), L"C:\\n2.wav");
    removeRecentFile(recent, L"c:\\N5.wav");
    EXPECT_EQ(recent.size(), 7u);
    EXPECT_EQ(recent[4], L"C:\\n4.wav");

    // Case beyond ASCII: accented, Cyrillic and full-width letters; kana have no case.
    EXPECT_TRUE(samePath(L"C:\\Élan\\Звук\\ＡＢ.wav", L"c:\\élan\\звук\\ａｂ.WAV"));
    EXPECT_FALSE(samePath(L"C:\\あ.wav", L"C:\\ア.wav"));
    EXPECT_FALSE(samePath(L"C:\\a.wav", L"C:\\a.wa"));
}

TEST(RecentFiles, ListReadBackDropsImplausibleEntriesAndRepeats)
{
    std::vector<std::wstring> stored{L"C:\\a.wav", L"", L"C:\\A.wav", L"C:\\b\x01.wav", L"C:\\b.wav"};
    for (int i = 0; i < 10; ++i) stored.push_back(L"C:\\n" + std::to_wstring(i) + L".wav");
    const std::vector<std::wstring> cleaned = cleanedRecentFiles(stored);
    ASSERT_EQ(cleaned.size(), 8u);
    EXPECT_EQ(cleaned[0], L"C:\\a.wav");
    EXPECT_EQ(cleaned[1], L"C:\\b.wav");
    EXPECT_EQ(cleaned[7], L"C:\\n5.wav");
}

TEST(RecentFiles, MenuLabelsAreNumberedWithAmpersandsDoubledAndLongPathsShortened)
{
    EXPECT_EQ(recentMenuLabel(0, L"C:\\voice.wav"), L"&1 C:\\voice.wav");
    EXPECT_EQ(recentMenuLabel(7, L"C:\\R&D\\a&&b.wav"), L"&8 C:\\R&&D\\a&&&&b.wav");

    const std::wstring longPath =
        L"C:\\Users\\someone\\Documents\\Field recordings\\2026\\December\\voices\\speaker-one.wav";
    const std::wstring shown = shortenedPath(longPath);
    // 60 characters: one folder more would not fit.
    EXPECT_EQ(shown, L"C:\\...\\Field recordings\\2026\\December\\voices\\speaker-one.wav");
    EXPECT_EQ(shown.size(), longestMenuPath);
    const std::wstring share = L"\\\\server\\share\\" + std::wstring(60, L'f') + L"\\name.wav";
    EXPECT_EQ(shortenedPath(share), L"\\\\server\\share\\...\\name.wav");
    const std::wstring longName = L"C:\\" + std::wstring(80, L'n') + L".wav";
    EXPECT_EQ(shortenedPath(longName), longName);  // nothing to leave out
}

TEST(RememberedValues, ApplyToParametersSetsWhatTheControlsStandFor)
{
    resetParameters();
    RememberedSettings s = defaultSettings();
    s[Remembered::windowKind] = 3;
    s[Remembered::energyPlot] = 0;
    s[Remembered::voicePrint] = 1;
    s[Remembered::scale] = 25;
    s[Remembered::rejection] = 7;
    s[Remembered::colorWidth] = 15;
    s[Remembered::maxFrequency] = 10;
    s[Remembered::sideGraduate] = 1;
    s[Remembered::graduateLine] = 1;
    s[Remembered::recordRate] = 1;
    s[Remembered::recordBits] = 1;
    s[Remembered::recordSeconds] = 9;
    s[Remembered::frameLength] = 11;
    s[Remembered::showPitch] = 1;
    s[Remembered::showFormants] = 1;
    s[Remembered::speaker] = 2;
    applyToParameters(s);
    EXPECT_EQ(windowKind, 3);
    EXPECT_EQ(energyLogMode, 0);
    EXPECT_EQ(printMonoMode, 1);
    EXPECT_EQ(logScale, 1000);
    EXPECT_EQ(rejection, 7);
    EXPECT_DOUBLE_EQ(colorWidth, 1.5);
    EXPECT_EQ(maxFreqStep, 10);
    EXPECT_EQ(sideGraduate, 1);
    EXPECT_EQ(graduateLine, 1);
    EXPECT_EQ(recordRate, 44100);
    EXPECT_EQ(recordBits, 16);
    EXPECT_EQ(recordSeconds, 20);
    EXPECT_EQ(showPitch, 1);
    EXPECT_EQ(showFormants, 1);
    EXPECT_EQ(speakerKind, 2);  // the children's ceiling
    EXPECT_EQ(frameOrder, 0);  // left to the first refresh
    resetParameters();
}

TEST(WindowTitleText, NamesTheSoundAsWindowsProgramsDo)
{
    EXPECT_EQ(windowTitle(SoundOrigin::none, L"", false), L"SPECTDraw");
    EXPECT_EQ(windowTitle(SoundOrigin::file, L"C:\\samples\\voice-print.wav", false), L"voice-print.wav - SPECTDraw");
    EXPECT_EQ(windowTitle(SoundOrigin::file, L"Z:/tmp/声.wav", false), L"声.wav - SPECTDraw");
    EXPECT_EQ(windowTitle(SoundOrigin::recording, L"", true), L"*録音 - SPECTDraw");
    EXPECT_EQ(windowTitle(SoundOrigin::recording, L"", false), L"録音 - SPECTDraw");
}

}  // namespace
