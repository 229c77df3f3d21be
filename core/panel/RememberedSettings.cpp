#include "core/panel/RememberedSettings.h"

#include <algorithm>

#include "core/analysis/VoiceNumbers.h"
#include "core/panel/PanelTables.h"
#include "core/panel/Parameters.h"

namespace pt = panelTables;

namespace {

constexpr int lastIndex(int entries) { return entries - 1; }

}  // namespace

// The defaults are the positions the panel starts in, taken from the panel's
// own tables, so the two cannot drift apart.
const RememberedRule rememberedRules[rememberedCount] = {
    {Remembered::windowKind, L"WindowFunction", pt::defaultWindowKind, 0, lastIndex(pt::entryCount(pt::windowKindEntries))},
    {Remembered::frameLength, L"FrameLength", pt::frameLengthStartIndex, 0,
     lastIndex(pt::entryCount(pt::frameLengthEntries))},
    {Remembered::framePeriod, L"FramePeriod", pt::framePeriodStartPosition, pt::framePeriodRange.minimum,
     pt::framePeriodRange.maximum},
    {Remembered::energyPlot, L"EnergyPlot", pt::defaultEnergyLogMode, 0, 1},
    {Remembered::voicePrint, L"VoicePrint", pt::defaultPrintMonoMode, 0, 1},
    {Remembered::scale, L"Scale", pt::scalePositionOf(pt::defaultLogScale), pt::scaleRange.minimum,
     pt::scaleRange.maximum},
    {Remembered::rejection, L"Rejection", pt::defaultRejection, pt::rejectionRange.minimum, pt::rejectionRange.maximum},
    // The colour width bar starts at its range minimum, which is 1.0.
    {Remembered::colorWidth, L"ColorWidth", pt::colorWidthRange.minimum, pt::colorWidthRange.minimum,
     pt::colorWidthRange.maximum},
    {Remembered::maxFrequency, L"MaxFrequency", pt::defaultMaxFreqStep, pt::maxFreqRange.minimum,
     pt::maxFreqRange.maximum},
    {Remembered::sideGraduate, L"SideGraduate", pt::defaultSideGraduate, 0, 1},
    {Remembered::graduateLine, L"GraduateLine", pt::defaultGraduateLine, 0, 1},
    {Remembered::recordRate, L"RecordRate", pt::indexOfRecordRate(pt::defaultRecordRate), 0,
     lastIndex(pt::entryCount(pt::recordRateEntries))},
    {Remembered::recordBits, L"RecordBits", pt::indexOfRecordBits(pt::defaultRecordBits), 0,
     lastIndex(pt::entryCount(pt::recordBitsEntries))},
    {Remembered::recordSeconds, L"RecordLength", pt::indexOfRecordSeconds(pt::defaultRecordSeconds), 0,
     lastIndex(pt::entryCount(pt::recordSecondsEntries))},
    {Remembered::showPitch, L"PitchCurve", 0, 0, 1},
    {Remembered::showFormants, L"Formants", 0, 0, 1},
    {Remembered::speaker, L"Speaker", defaultSpeakerKind, speakerMale, speakerChild},
};

const RememberedRule& ruleOf(Remembered which)
{
    return rememberedRules[static_cast<std::size_t>(which)];
}

int validatedValue(const RememberedRule& rule, bool present, long long raw)
{
    if (!present || raw < rule.minimum || raw > rule.maximum) return rule.defaultValue;
    return static_cast<int>(raw);
}

RememberedSettings defaultSettings()
{
    RememberedSettings settings;
    for (const RememberedRule& rule : rememberedRules) settings[rule.which] = rule.defaultValue;
    return settings;
}

bool plausiblePath(const std::wstring& path)
{
    if (path.empty() || path.size() > longestRememberedPath) return false;
    for (wchar_t c : path) {
        if (c < 0x20 || c == 0x7F) return false;
        if (c == L'"' || c == L'*' || c == L'?' || c == L'<' || c == L'>' || c == L'|') return false;
    }
    return true;
}

std::wstring folderOfPath(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L"";
    // "C:\name.wav" lies in "C:\", not in "C:" (which is the current folder of drive C).
    if (slash == 2 && path[1] == L':') return path.substr(0, 3);
    return path.substr(0, slash);
}

namespace {

// Windows compares file names by upper-casing each letter on its own; this
// covers the letters of ASCII, Latin-1, Greek, Cyrillic and the full-width
// forms, which is where the cases of a user's folder names lie.
wchar_t foldCase(wchar_t c)
{
    if (c == L'/') return L'\\';
    if (c >= L'a' && c <= L'z') return static_cast<wchar_t>(c - 0x20);
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) return static_cast<wchar_t>(c - 0x20);
    if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return static_cast<wchar_t>(c - 0x20);
    if (c >= 0x430 && c <= 0x44F) return static_cast<wchar_t>(c - 0x20);
    if (c >= 0x450 && c <= 0x45F) return static_cast<wchar_t>(c - 0x50);
    if (c >= 0xFF41 && c <= 0xFF5A) return static_cast<wchar_t>(c - 0x20);
    return c;
}

}  // namespace

bool samePath(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (foldCase(a[i]) != foldCase(b[i])) return false;
    return true;
}

void removeRecentFile(std::vector<std::wstring>& recent, const std::wstring& path)
{
    recent.erase(std::remove_if(recent.begin(), recent.end(),
                                [&path](const std::wstring& entry) { return samePath(entry, path); }),
                 recent.end());
}

void addRecentFile(std::vector<std::wstring>& recent, const std::wstring& path)
{
    if (!plausiblePath(path)) return;
    removeRecentFile(recent, path);
    recent.insert(recent.begin(), path);
    if (recent.size() > recentFileLimit) recent.resize(recentFileLimit);
}

std::vector<std::wstring> cleanedRecentFiles(const std::vector<std::wstring>& stored)
{
    std::vector<std::wstring> cleaned;
    for (const std::wstring& entry : stored) {
        if (cleaned.size() == recentFileLimit) break;
        if (!plausiblePath(entry)) continue;
        const bool repeated = std::any_of(cleaned.begin(), cleaned.end(),
                                          [&entry](const std::wstring& kept) { return samePath(kept, entry); });
        if (!repeated) cleaned.push_back(entry);
    }
    return cleaned;
}

std::wstring shortenedPath(const std::wstring& path)
{
    if (path.size() <= longestMenuPath) return path;
    // The root: "C:\" or "\\server\share\".
    std::size_t rootEnd = path.find_first_of(L"\\/");
    if (path.compare(0, 2, L"\\\\") == 0) {
        rootEnd = path.find_first_of(L"\\/", 2);
        if (rootEnd != std::wstring::npos) rootEnd = path.find_first_of(L"\\/", rootEnd + 1);
    }
    const std::size_t nameStart = path.find_last_of(L"\\/");
    if (rootEnd == std::wstring::npos || nameStart == std::wstring::npos || nameStart <= rootEnd) return path;
    const std::wstring root = path.substr(0, rootEnd + 1);
    const std::wstring ellipsis = L"...";
    // Whole folders from the end, as many as fit beside the root and the name.
    std::size_t tailStart = nameStart;
    while (tailStart > rootEnd) {
        const std::size_t previous = path.find_last_of(L"\\/", tailStart - 1);
        if (previous == std::wstring::npos || previous <= rootEnd) break;
        if (root.size() + ellipsis.size() + (path.size() - previous) > longestMenuPath) break;
        tailStart = previous;
    }
    return root + ellipsis + path.substr(tailStart);
}

std::wstring recentMenuLabel(std::size_t index, const std::wstring& path)
{
    std::wstring label = L"&" + std::to_wstring(index + 1) + L" ";
    for (wchar_t c : shortenedPath(path)) {
        label += c;
        if (c == L'&') label += L'&';
    }
    return label;
}

void applyToParameters(const RememberedSettings& settings)
{
    windowKind = pt::windowKindOfIndex(settings[Remembered::windowKind]);
    energyLogMode = settings[Remembered::energyPlot];
    printMonoMode = settings[Remembered::voicePrint];
    logScale = pt::logScaleOf(settings[Remembered::scale]);
    rejection = settings[Remembered::rejection];
    colorWidth = pt::colorWidthOf(settings[Remembered::colorWidth]);
    maxFreqStep = settings[Remembered::maxFrequency];
    sideGraduate = settings[Remembered::sideGraduate];
    graduateLine = settings[Remembered::graduateLine];
    recordRate = pt::recordRateOfIndex(settings[Remembered::recordRate]);
    recordBits = pt::recordBitsOfIndex(settings[Remembered::recordBits]);
    recordSeconds = pt::recordSecondsOfIndex(settings[Remembered::recordSeconds]);
    showPitch = settings[Remembered::showPitch];
    showFormants = settings[Remembered::showFormants];
    speakerKind = settings[Remembered::speaker];
}
