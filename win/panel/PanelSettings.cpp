// The remembered settings and the panel: the run's values put into the
// controls at start and on "設定を既定に戻す", read back from them whenever
// the person changes one, and the list of recent files at the end of the
// "ﾌｧｲﾙ(&F)" menu. The rules are the core's (core/panel/RememberedSettings.h),
// the registry is win/base/SettingsStore.h's.
#include "win/panel/PanelCommands.h"

#include <commctrl.h>

#include "core/base/CommandIds.h"
#include "core/panel/Parameters.h"
#include "core/panel/RememberedSettings.h"
#include "win/base/SettingsStore.h"
#include "win/base/WindowRegistry.h"
#include "win/panel/ControlWrapper.h"

namespace pc = panelControls;

namespace {

// Which control shows each remembered value, and how it holds it. A value
// that is not a panel control (an overlay in a menu, say) gets no row here:
// it is read in settingsFromProgram and put back in showSettings instead.
enum class Holder { combo, track, radios, check };
struct SettingControl {
    Remembered which;
    Holder holder;
    ControlWrapper* control;  // combo, track bar or check box
    RadioGroup* group;        // radio buttons
    int commandId;            // the control's id, for what it tells the panel
};

const SettingControl settingControls[] = {
    {Remembered::windowKind, Holder::combo, &pc::windowCombo, nullptr, IDC_WINDOW_FUNCTION},
    {Remembered::frameLength, Holder::combo, &pc::frameLengthCombo, nullptr, IDC_FRAME_LENGTH},
    {Remembered::framePeriod, Holder::track, &pc::framePeriodTrack, nullptr, IDC_FRAME_PERIOD},
    {Remembered::energyPlot, Holder::radios, nullptr, &pc::energyGroup, IDC_LINEAR},
    {Remembered::voicePrint, Holder::radios, nullptr, &pc::voicePrintGroup, IDC_COLOR},
    {Remembered::scale, Holder::track, &pc::scaleTrack, nullptr, IDC_SCALE},
    {Remembered::rejection, Holder::track, &pc::rejectionTrack, nullptr, IDC_REJECTION},
    {Remembered::colorWidth, Holder::track, &pc::colorWidthTrack, nullptr, IDC_COLOR_WIDTH},
    {Remembered::maxFrequency, Holder::track, &pc::maxFreqTrack, nullptr, IDC_MAX_FREQ},
    {Remembered::sideGraduate, Holder::check, &pc::sideGraduateCheck, nullptr, IDC_SIDE_GRADUATE},
    {Remembered::graduateLine, Holder::check, &pc::graduateLineCheck, nullptr, IDC_GRADUATE_LINE},
    {Remembered::recordRate, Holder::combo, &pc::recordRateCombo, nullptr, IDC_RECORD_RATE},
    {Remembered::recordBits, Holder::combo, &pc::recordBitsCombo, nullptr, IDC_RECORD_BITS},
    {Remembered::recordSeconds, Holder::combo, &pc::recordSecondsCombo, nullptr, IDC_RECORD_SECONDS},
};

int shownValue(const SettingControl& c)
{
    switch (c.holder) {
    case Holder::combo: return c.control->comboSelection();
    case Holder::track: return c.control->trackPosition();
    case Holder::radios: return c.group->checkedIndex();
    case Holder::check: return c.control->checkState();
    }
    return -1;
}

void show(const SettingControl& c, int value)
{
    switch (c.holder) {
    case Holder::combo:
        if (c.control->handle) SendMessageW(c.control->handle, CB_SETCURSEL, static_cast<WPARAM>(value), 0);
        break;
    case Holder::track:
        if (c.control->handle) SendMessageW(c.control->handle, TBM_SETPOS, TRUE, value);
        break;
    case Holder::radios:
        c.group->select(value);
        break;
    case Holder::check:
        if (c.control->handle) SendMessageW(c.control->handle, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
        break;
    }
}

// The run's values as the program shows them now; a control without a
// valid state (a radio group with neither checked) counts as its default.
void settingsFromProgram(RememberedSettings& settings)
{
    if (!pc::windowCombo.handle) return;  // the panel's controls are gone: keep what was read last
    for (const SettingControl& c : settingControls)
        settings[c.which] = validatedValue(ruleOf(c.which), true, shownValue(c));
    // The "表示" menu's choices are plain values; the menu checks itself from them as it opens.
    settings[Remembered::showPitch] = validatedValue(ruleOf(Remembered::showPitch), true, showPitch.load());
    settings[Remembered::showFormants] = validatedValue(ruleOf(Remembered::showFormants), true, showFormants.load());
    settings[Remembered::speaker] = validatedValue(ruleOf(Remembered::speaker), true, speakerKind.load());
}

// Puts `settings` into the controls, with their echoes and enabled states,
// but tells nobody: the parameters already hold the same values.
void showSettings(const RememberedSettings& settings)
{
    for (const SettingControl& c : settingControls) show(c, settings[c.which]);
    echoTrackBars();
    applyControlEnabling();
}

// What a person's own change of each control tells the panel: the window
// shape is drawn, the colour scale and the voice print's axis rebuilt, the
// frame period applied, and (through the frame-length combo) a full refresh
// takes the rest when a sound is there.
void tellPanelAsTheControlsWould(HWND panel)
{
    for (const SettingControl& c : settingControls) {
        HWND handle = c.control ? c.control->handle : nullptr;
        switch (c.holder) {
        case Holder::combo:
            PostMessageW(panel, WM_COMMAND, MAKEWPARAM(c.commandId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(handle));
            break;
        case Holder::track:
            PostMessageW(panel, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(handle));
            break;
        case Holder::radios:
        case Holder::check:
            PostMessageW(panel, WM_COMMAND, MAKEWPARAM(c.commandId, BN_CLICKED), 0);
            break;
        }
    }
    // And what the "表示" menu's choices tell: the overlays drawn anew, the
    // last run's formants measured again under the speaker's ceiling.
    for (HWND view : {voicePrintWindow.load(), spectrumWindow.load()})
        PostMessageW(view, WM_COMMAND, MAKEWPARAM(CMD_OVERLAYS_CHANGED, 0), 0);
    PostMessageW(panel, WM_COMMAND, MAKEWPARAM(CMD_SPEAKER_CHANGED, 0), 0);
}

// The recent files follow the "ﾌｧｲﾙ(&F)" menu's own items, after a separator.
bool recentSeparatorShown = false;

void showRecentFilesInMenu()
{
    HWND main = mainWindow.load();
    HMENU fileMenu = main ? GetSubMenu(GetMenu(main), 0) : nullptr;
    if (!fileMenu) return;
    for (int i = 0; i < static_cast<int>(recentFileLimit); ++i) DeleteMenu(fileMenu, IDM_RECENT_FIRST + i, MF_BYCOMMAND);
    if (recentSeparatorShown) {
        DeleteMenu(fileMenu, GetMenuItemCount(fileMenu) - 1, MF_BYPOSITION);
        recentSeparatorShown = false;
    }
    const std::vector<std::wstring>& recent = runSettings().recentFiles;
    if (recent.empty()) return;
    AppendMenuW(fileMenu, MF_SEPARATOR, 0, nullptr);
    recentSeparatorShown = true;
    for (std::size_t i = 0; i < recent.size(); ++i)
        AppendMenuW(fileMenu, MF_STRING, IDM_RECENT_FIRST + i, recentMenuLabel(i, recent[i]).c_str());
}

void storeRecentFiles()
{
    showRecentFilesInMenu();
    rememberPanelSettings();
}

}  // namespace

void showSettingsInPanel()
{
    showSettings(runSettings());
    showRecentFilesInMenu();
}

void rememberPanelSettings()
{
    RememberedSettings& settings = runSettings();
    settingsFromProgram(settings);
    saveRememberedSettings(settings);
}

void resetSettingsToDefaults(HWND panel)
{
    // The folders and the recent files are not settings; they stay.
    RememberedSettings& settings = runSettings();
    settings.values = defaultSettings().values;
    applyToParameters(settings);
    showSettings(settings);
    tellPanelAsTheControlsWould(panel);
    saveRememberedSettings(settings);
}

void openRecentFile(int index)
{
    const std::vector<std::wstring>& recent = runSettings().recentFiles;
    // A command for an entry the list no longer has (posted from outside, or
    // queued before the list shrank) opens nothing.
    if (index < 0 || static_cast<std::size_t>(index) >= recent.size()) return;
    requestOpenPath(recent[static_cast<std::size_t>(index)], false);
}

void noteFileOpened(const std::wstring& path)
{
    RememberedSettings& settings = runSettings();
    addRecentFile(settings.recentFiles, path);
    settings.openFolder = folderOfPath(path);
    storeRecentFiles();
}

void noteOpenFailed(const std::wstring& path)
{
    // Only a file that is gone leaves the list: one that is there but could
    // not be read may be held by another program for the moment.
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    removeRecentFile(runSettings().recentFiles, path);
    storeRecentFiles();
}

void noteFileSaved(const std::wstring& path)
{
    RememberedSettings& settings = runSettings();
    addRecentFile(settings.recentFiles, path);
    settings.saveFolder = folderOfPath(path);
    storeRecentFiles();
}
