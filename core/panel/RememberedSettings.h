// What Kelvara remembers of a person's work from one run to the next: every
// panel setting, the folders last used for opening and for saving, and the
// files opened last. Only the rules live here: which values there are, what
// each may be, what it falls back to, how the list of recent files grows and
// how its menu items read. Where they are kept (the registry) is the Windows
// side's business (win/base/SettingsStore.h).
//
// A value that is missing, of the wrong kind or out of its range falls back to
// its own default, one value at a time: a bad entry never costs the others,
// and nothing read from outside can put a control out of its range.
#ifndef KELVARA_REMEMBERED_SETTINGS_H
#define KELVARA_REMEMBERED_SETTINGS_H

#include <array>
#include <cstddef>
#include <string>
#include <vector>

// The remembered numbers, each in the terms of its control: a combo's index,
// a track bar's position, a radio group's index, a check box's state. That
// way a remembered value is checked against exactly the range the control
// can show.
enum class Remembered {
    windowKind,           // combo 1008 index: 0 rectangular .. 3 Blackman
    frameLength,          // combo 1009 index: 0 ("2") .. 11 ("4096")
    framePeriod,          // track bar 1003 position 1..16 (x 32 samples)
    energyPlot,           // 0 Linear, 1 Log
    voicePrint,           // 0 Color, 1 Mono
    scale,                // track bar 1007 position 5..25 (x 40)
    rejection,            // track bar 1005 position 1..10
    colorWidth,           // track bar 1015 position 10..20 (x 0.1)
    maxFrequency,         // track bar 32794 position -10..10
    sideGraduate,         // check box 32792: 0 or 1
    graduateLine,         // check box 32793: 0 or 1
    recordRate,           // combo 1011 index: 0 22050 Hz, 1 44100 Hz
    recordBits,           // combo 1012 index: 0 8 bits, 1 16 bits
    recordSeconds,        // combo 1024 index: 0 (2 s) .. 9 (20 s)
    showPitch,            // "ピッチ曲線": 0 or 1
    showFormants,         // "フォルマント": 0 or 1
    speaker,              // SpeakerKind: 0 男性, 1 女性, 2 子供
    // New remembered settings go here and into rememberedRules, in the same order.
    count
};
constexpr std::size_t rememberedCount = static_cast<std::size_t>(Remembered::count);

struct RememberedRule {
    Remembered which;
    const wchar_t* valueName;  // the name it is stored under
    int defaultValue;
    int minimum;
    int maximum;
};

// The one table of remembered numbers: the name each is stored under, its
// default (the panel's start-up state) and its range. Order as in Remembered.
extern const RememberedRule rememberedRules[rememberedCount];

const RememberedRule& ruleOf(Remembered which);

// `raw` when it was there (`present`) and within the rule's range, else the default.
int validatedValue(const RememberedRule& rule, bool present, long long raw);

// At most this many recent files are kept and shown.
constexpr std::size_t recentFileLimit = 8;
// Longest path or folder taken back (in characters, without the terminator):
// what the open and save dialogs can hand over.
constexpr std::size_t longestRememberedPath = 259;

struct RememberedSettings {
    std::array<int, rememberedCount> values{};
    std::wstring openFolder;               // "" for none
    std::wstring saveFolder;               // "" for none
    std::vector<std::wstring> recentFiles;  // most recent first

    int operator[](Remembered which) const { return values[static_cast<std::size_t>(which)]; }
    int& operator[](Remembered which) { return values[static_cast<std::size_t>(which)]; }
};

// Every value at its default; no folders, no recent files.
RememberedSettings defaultSettings();

// A text that can stand for a file or folder: not empty, not too long, and
// free of control characters and of the characters no Windows name may
// hold (" * ? < > |). Whether it exists is not asked here.
bool plausiblePath(const std::wstring& path);

// The folder part of a path ("C:\a\b.wav" -> "C:\a"); "" when it has none.
std::wstring folderOfPath(const std::wstring& path);

// Whether two paths name the same file as Windows compares names: letters
// without regard to case, and '/' the same as '\'.
bool samePath(const std::wstring& a, const std::wstring& b);

// `path` put at the top of `recent`: any earlier entry for the same file
// goes, and the list is cut to recentFileLimit. An implausible path changes
// nothing.
void addRecentFile(std::vector<std::wstring>& recent, const std::wstring& path);
// Every entry for `path` taken out.
void removeRecentFile(std::vector<std::wstring>& recent, const std::wstring& path);
// A list as read back: implausible entries and repeats dropped, cut to the limit.
std::vector<std::wstring> cleanedRecentFiles(const std::vector<std::wstring>& stored);

// A path longer than the menu shows whole, as Windows programs shorten it:
// the root, "...", and as many of the last folders as fit with the name
// ("C:\...\voices\name.wav"). A path that fits, or that has nothing to leave
// out, comes back as it is.
constexpr std::size_t longestMenuPath = 60;
std::wstring shortenedPath(const std::wstring& path);

// The menu item of recent file `index` (0 for the first): "&1 C:\...\name.wav",
// the path shortened as above and every '&' in it doubled, so that it shows
// as itself and not as a keyboard mnemonic.
std::wstring recentMenuLabel(std::size_t index, const std::wstring& path);

// The parameters (core/panel/Parameters.h) set from `settings`, as the
// controls at those positions would set them. The frame order and the frame
// period are left alone: the first refresh after a sound is there takes them
// from the controls, as it always has.
void applyToParameters(const RememberedSettings& settings);

#endif
