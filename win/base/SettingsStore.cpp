#include "win/base/SettingsStore.h"

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const wchar_t* const keyPath = L"Software\\Kelvara";
const wchar_t* const openFolderName = L"OpenFolder";
const wchar_t* const saveFolderName = L"SaveFolder";

std::wstring recentName(std::size_t index) { return L"Recent" + std::to_wstring(index + 1); }

bool remembering = true;
RememberedSettings thisRun = defaultSettings();

// What the registry holds as far as this run knows, so that only changes are
// written; until the first write, nothing is known.
bool storedKnown = false;
RememberedSettings stored;

// A REG_DWORD of exactly four bytes, as a signed number (negative positions
// are written as their two's complement); false for anything else.
bool readNumber(HKEY key, const wchar_t* name, int32_t& value)
{
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size) != ERROR_SUCCESS)
        return false;
    if (type != REG_DWORD || size != sizeof data) return false;
    value = static_cast<int32_t>(data);
    return true;
}

// A REG_SZ no longer than a path can be; "" for anything else. The stored
// bytes need not end in a terminator, and an odd byte count is not text.
std::wstring readText(HKEY key, const wchar_t* name)
{
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return L"";
    constexpr DWORD largest = (longestRememberedPath + 1) * sizeof(wchar_t);
    if (type != REG_SZ || size == 0 || size > largest || size % sizeof(wchar_t) != 0) return L"";
    std::vector<wchar_t> text(size / sizeof(wchar_t) + 1, L'\0');
    DWORD got = size;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &got) != ERROR_SUCCESS ||
        type != REG_SZ || got > size)
        return L"";
    std::wstring value(text.data(), got / sizeof(wchar_t));
    while (!value.empty() && value.back() == L'\0') value.pop_back();
    // What is left may still hold a NUL inside; plausiblePath refuses that.
    return plausiblePath(value) ? value : L"";
}

void writeNumber(HKEY key, const wchar_t* name, int value)
{
    const DWORD data = static_cast<DWORD>(static_cast<int32_t>(value));
    RegSetValueExW(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
}

void writeText(HKEY key, const wchar_t* name, const std::wstring& text)
{
    if (text.empty()) {
        RegDeleteValueW(key, name);
        return;
    }
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

void setSettingsRemembered(bool remembered) { remembering = remembered; }
bool settingsRemembered() { return remembering; }

RememberedSettings loadRememberedSettings()
{
    RememberedSettings settings = defaultSettings();
    if (!remembering) return settings;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return settings;
    for (const RememberedRule& rule : rememberedRules) {
        int32_t raw = 0;
        const bool present = readNumber(key, rule.valueName, raw);
        settings[rule.which] = validatedValue(rule, present, raw);
    }
    settings.openFolder = readText(key, openFolderName);
    settings.saveFolder = readText(key, saveFolderName);
    std::vector<std::wstring> recent;
    for (std::size_t i = 0; i < recentFileLimit; ++i) recent.push_back(readText(key, recentName(i).c_str()));
    settings.recentFiles = cleanedRecentFiles(recent);
    RegCloseKey(key);
    return settings;
}

void saveRememberedSettings(const RememberedSettings& settings)
{
    if (!remembering) return;
    // Called for every move of a track bar: when nothing changed, not even
    // the key is opened (each registry call is a trip to the Wine server).
    if (storedKnown && stored.values == settings.values && stored.openFolder == settings.openFolder &&
        stored.saveFolder == settings.saveFolder && stored.recentFiles == settings.recentFiles)
        return;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyPath, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    for (const RememberedRule& rule : rememberedRules)
        if (!storedKnown || stored[rule.which] != settings[rule.which])
            writeNumber(key, rule.valueName, settings[rule.which]);
    if (!storedKnown || stored.openFolder != settings.openFolder)
        writeText(key, openFolderName, settings.openFolder);
    if (!storedKnown || stored.saveFolder != settings.saveFolder)
        writeText(key, saveFolderName, settings.saveFolder);
    if (!storedKnown || stored.recentFiles != settings.recentFiles) {
        for (std::size_t i = 0; i < recentFileLimit; ++i)
            writeText(key, recentName(i).c_str(), i < settings.recentFiles.size() ? settings.recentFiles[i] : L"");
    }
    RegCloseKey(key);
    stored = settings;
    storedKnown = true;
}

RememberedSettings& runSettings() { return thisRun; }

void loadSettingsForThisRun()
{
    thisRun = loadRememberedSettings();
    applyToParameters(thisRun);
}
