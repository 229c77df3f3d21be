// The control panel (dialog 129), embedded in the main window: every parameter
// and every button of the program. It sets its controls up, echoes the track
// bars into their boxes, stores the parameters that need no refresh, and hands
// every other command on: to the handlers of win/panel/PanelCommands.h, to
// those it shares with the main window (win/panel/TopWindowCommands.h) and to
// the analysis runs.
#include <windows.h>
#include <commctrl.h>

#include <cstddef>

#include "win/analysis/AnalysisRuns.h"
#include "core/base/CommandIds.h"
#include "win/base/FrameHandshake.h"
#include "core/panel/Parameters.h"
#include "core/panel/Activity.h"
#include "core/panel/SelectionState.h"
#include "win/base/WindowRegistry.h"
#include "win/panel/ControlWrapper.h"
#include "win/panel/LayoutFitting.h"
#include "win/panel/PanelCommands.h"
#include "win/panel/LiveRecording.h"
#include "win/panel/TopWindowCommands.h"
#include "core/panel/PanelTables.h"

namespace pc = panelControls;
namespace pt = panelTables;

namespace {

// Commands whose notification code tells a click from other traffic.
constexpr WORD clickCode = BN_CLICKED;
// The colour settings have always taken this notification code as well.
constexpr WORD colorSettingsAlsoCode = 1024;

template <std::size_t N>
void fillCombo(const ControlWrapper& combo, const wchar_t* const (&entries)[N])
{
    if (!combo.handle) return;
    for (const wchar_t* entry : entries)
        SendMessageW(combo.handle, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry));
}

void selectInCombo(const ControlWrapper& combo, int index)
{
    if (combo.handle) SendMessageW(combo.handle, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

void setTrackRange(const ControlWrapper& track, pt::TrackRange range)
{
    if (!track.handle) return;
    // Minimum and maximum separately: the packed TBM_SETRANGE takes 16-bit
    // halves, which is fragile for the negative minimum of the frequency bar.
    SendMessageW(track.handle, TBM_SETRANGEMIN, FALSE, range.minimum);
    SendMessageW(track.handle, TBM_SETRANGEMAX, FALSE, range.maximum);
    SendMessageW(track.handle, TBM_SETPOS, FALSE, 0);
}

void setTrackPosition(const ControlWrapper& track, int position)
{
    if (track.handle) SendMessageW(track.handle, TBM_SETPOS, TRUE, position);
}

// Echo boxes beside the track bars; reads the bar's current position.
void echoFramePeriod() { pc::framePeriodEcho.setInt(pt::framePeriodSamples(pc::framePeriodTrack.trackPosition())); }
void echoScale() { pc::scaleEcho.setInt(pt::logScaleOf(pc::scaleTrack.trackPosition())); }
void echoRejection() { pc::rejectionEcho.setInt(pc::rejectionTrack.trackPosition()); }
void echoColorWidth() { pc::colorWidthEcho.setDouble(pt::colorWidthOf(pc::colorWidthTrack.trackPosition())); }
void echoMaxFrequency() { pc::maxFreqEcho.setDouble(pt::maxFrequencyHz(pc::maxFreqTrack.trackPosition())); }

}  // namespace

void echoTrackBars()
{
    echoFramePeriod();
    echoScale();
    echoRejection();
    echoColorWidth();
    echoMaxFrequency();
}

// The one place that enables and disables controls: every control that is
// ever disabled is set here, from the rule the core states and tests.
void applyControlEnabling()
{
    const pt::ControlEnabling enabling =
        controlEnabling(activity(), sourceMode.load(), printMonoMode.load(), energyLogMode.load());
    pc::fileNameEdit.enable(enabling.fileControls);
    EnableWindow(pc::browseButton, enabling.fileControls ? TRUE : FALSE);
    pc::recordRateCombo.enable(enabling.recordControls);
    pc::recordBitsCombo.enable(enabling.recordControls);
    pc::recordSecondsCombo.enable(enabling.recordControls);
    EnableWindow(pc::recordButton, enabling.recordControls ? TRUE : FALSE);
    EnableWindow(pc::stopRecordButton, enabling.recordControls ? TRUE : FALSE);
    pc::colorWidthTrack.enable(enabling.colorWidth);
    pc::colorWidthEcho.enable(enabling.colorWidth);
    pc::scaleTrack.enable(enabling.energyControls);
    pc::rejectionTrack.enable(enabling.energyControls);
    pc::scaleEcho.enable(enabling.energyControls);
    pc::rejectionEcho.enable(enabling.energyControls);
}

namespace {

void onSourceMode()
{
    sourceMode = pc::sourceGroup.checkedIndex();
    applyControlEnabling();
}

void onInitDialog(HWND panel)
{
    // The views open these by name when the display thread creates them.
    openFrameEvents();
    attachControls(panel);
    fitLayoutToDesignUnits(panel);

    fillCombo(pc::windowCombo, pt::windowKindEntries);
    fillCombo(pc::frameLengthCombo, pt::frameLengthEntries);
    fillCombo(pc::recordRateCombo, pt::recordRateEntries);
    fillCombo(pc::recordBitsCombo, pt::recordBitsEntries);
    fillCombo(pc::recordSecondsCombo, pt::recordSecondsEntries);

    setTrackRange(pc::framePeriodTrack, pt::framePeriodRange);
    // The colour width bar gets no start position of its own: it stays at its
    // range minimum, which is colorWidth's default of 1.0.
    setTrackRange(pc::colorWidthTrack, pt::colorWidthRange);
    setTrackRange(pc::scaleTrack, pt::scaleRange);
    setTrackRange(pc::rejectionTrack, pt::rejectionRange);
    setTrackRange(pc::maxFreqTrack, pt::maxFreqRange);

    selectInCombo(pc::windowCombo, windowKind.load());
    selectInCombo(pc::frameLengthCombo, pt::frameLengthStartIndex);

    setTrackPosition(pc::framePeriodTrack, pt::framePeriodStartPosition);
    echoFramePeriod();

    pc::sourceGroup.select(sourceMode.load());
    pc::energyGroup.select(energyLogMode.load());
    pc::voicePrintGroup.select(printMonoMode.load());

    setTrackPosition(pc::rejectionTrack, rejection.load());
    setTrackPosition(pc::scaleTrack, pt::scalePositionOf(logScale.load()));
    echoScale();
    echoColorWidth();
    echoRejection();

    selectInCombo(pc::recordRateCombo, pt::indexOfRecordRate(recordRate.load()));
    selectInCombo(pc::recordBitsCombo, pt::indexOfRecordBits(recordBits.load()));
    selectInCombo(pc::recordSecondsCombo, pt::indexOfRecordSeconds(recordSeconds.load()));

    setTrackPosition(pc::maxFreqTrack, maxFreqStep.load());
    echoMaxFrequency();

    // Whatever this person set last time (or the defaults above, on a clean start).
    showSettingsInPanel();
}

// Any scroll code, so the boxes follow the thumb while it is dragged. Only the
// frame period and the colour width take effect at once; the other bars wait
// for the next full refresh.
void onHorizontalScroll(HWND panel, HWND track)
{
    if (!track) return;
    if (track == pc::framePeriodTrack.handle) {
        echoFramePeriod();
        PostMessageW(panel, WM_COMMAND, CMD_REFRESH, static_cast<LPARAM>(RefreshKind::FramePeriod));
    } else if (track == pc::colorWidthTrack.handle) {
        echoColorWidth();
        PostMessageW(panel, WM_COMMAND, IDC_COLOR_WIDTH, 0);
    } else if (track == pc::scaleTrack.handle) {
        echoScale();
    } else if (track == pc::rejectionTrack.handle) {
        echoRejection();
    } else if (track == pc::maxFreqTrack.handle) {
        echoMaxFrequency();
    }
    rememberPanelSettings();
}

void onWindowFunction(WORD code)
{
    int selection = pc::windowCombo.comboSelection();
    // A list without a selection would hand the analysis window kind -1.
    if (pt::isEntryIndex(pt::windowKindEntries, selection)) windowKind = pt::windowKindOfIndex(selection);
    if (code == CBN_SELCHANGE)
        PostMessageW(winFuncWindow.load(), WM_COMMAND, CMD_DRAW_WINDOW_SHAPE, windowKind.load());
}

void onColorSettings()
{
    printMonoMode = pc::voicePrintGroup.checkedIndex();
    colorWidth = pt::colorWidthOf(pc::colorWidthTrack.trackPosition());
    applyControlEnabling();
    PostMessageW(colorSampleWindow.load(), WM_COMMAND, CMD_REBUILD_COLOR_SCALE, 0);
}

void onEnergySettings()
{
    // No view is told: the mode applies from the next analysed frame.
    energyLogMode = pc::energyGroup.checkedIndex();
    applyControlEnabling();
}

void onGraduationSettings()
{
    sideGraduate = pc::sideGraduateCheck.checkState();
    graduateLine = pc::graduateLineCheck.checkState();
    PostMessageW(voicePrintWindow.load(), WM_COMMAND, CMD_REBUILD_AXIS, 0);
}

// Returns whether the command was taken.
bool onCommand(HWND panel, WPARAM wParam, LPARAM lParam)
{
    if (onTopWindowCommand(panel, LOWORD(wParam))) return true;
    const WORD code = HIWORD(wParam);
    switch (LOWORD(wParam)) {
    case IDC_WINDOW_FUNCTION:
        onWindowFunction(code);
        rememberPanelSettings();
        return true;
    case IDC_FRAME_LENGTH:
        // Every notification, focus changes and drop-downs included.
        PostMessageW(panel, WM_COMMAND, CMD_REFRESH, static_cast<LPARAM>(RefreshKind::Full));
        if (code == CBN_SELCHANGE) rememberPanelSettings();
        return true;
    case IDC_RECORD_RATE:
    case IDC_RECORD_BITS:
    case IDC_RECORD_SECONDS:
        // Taken when a recording starts; only remembered here.
        if (code != CBN_SELCHANGE) return false;
        rememberPanelSettings();
        return true;
    case IDC_COLOR_WIDTH:
    case IDC_COLOR:
    case IDC_MONO:
        if (code != clickCode && code != colorSettingsAlsoCode) return false;
        onColorSettings();
        rememberPanelSettings();
        return true;
    case IDC_LINEAR:
    case IDC_LOG:
        if (code != clickCode) return false;
        onEnergySettings();
        rememberPanelSettings();
        return true;
    case IDC_SIDE_GRADUATE:
    case IDC_GRADUATE_LINE:
        if (code != clickCode) return false;
        onGraduationSettings();
        rememberPanelSettings();
        return true;
    case IDM_RESET_SETTINGS:
        resetSettingsToDefaults(panel);
        return true;
    case IDCANCEL:
        // Esc, from the dialog manager: the keyboard goes back to the main
        // window, where Alt+? opens the about box and Tab comes back here.
        SetFocus(mainWindow.load());
        return true;
    case IDM_OPEN:
        openSoundFile(panel);
        return true;
    case IDM_SAVE_SOUND:
        saveSoundFile(panel);
        return true;
    case IDM_SAVE_NUMBERS:
        saveNumbers(panel);
        return true;
    case CMD_OPEN_PATH:
        openRequestedPath(panel);
        return true;
    case IDC_BROWSE:
        PostMessageW(panel, WM_COMMAND, IDM_OPEN, 0);
        return true;
    case IDM_RECENT_FIRST:
    case IDM_RECENT_FIRST + 1:
    case IDM_RECENT_FIRST + 2:
    case IDM_RECENT_FIRST + 3:
    case IDM_RECENT_FIRST + 4:
    case IDM_RECENT_FIRST + 5:
    case IDM_RECENT_FIRST + 6:
    case IDM_RECENT_LAST:
        openRecentFile(LOWORD(wParam) - IDM_RECENT_FIRST);
        return true;
    case IDC_PLAY:
        onPlay(panel);
        return true;
    case IDC_PLAY_ALL:
        onPlayAll(panel);
        return true;
    case IDC_STOP:
        onStopPlaying();
        return true;
    case IDC_SOURCE_FILE:
    case IDC_SOURCE_RECORD:
        if (code != clickCode) return false;
        onSourceMode();
        return true;
    case IDC_RECORD:
        onRecord(panel);
        return true;
    case IDC_STOP_RECORD:
        onStopRecording();
        return true;
    case CMD_REFRESH:
        parameterRefresh(panel, static_cast<int>(lParam));
        return true;
    case CMD_RECORDING_DONE:
        onRecordingDone(panel);
        return true;
    case CMD_PLAYING_DONE:
        onPlayingDone(panel);
        return true;
    case IDC_DRAW:
        runVoicePrint(panel, workerRunning);
        return true;
    case CMD_FRAME_AT_COLUMN:
        // Also the maximum-frequency echo's id; the run tells the two apart.
        runFrameAtColumn(panel, wParam, lParam);
        return true;
    case CMD_CURSOR_RUN:
        runCursor(panel, static_cast<int>(lParam));
        return true;
    case CMD_SPEAKER_CHANGED:
        remeasureLastRunsFormants();
        return true;
    }
    return false;
}

}  // namespace

INT_PTR CALLBACK ControlPanelProc(HWND panel, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        onInitDialog(panel);
        return TRUE;
    case WM_HSCROLL:
        onHorizontalScroll(panel, reinterpret_cast<HWND>(lParam));
        return TRUE;
    case WM_COMMAND:
        return onCommand(panel, wParam, lParam) ? TRUE : FALSE;
    case MSG_LOAD_TIMES:
        SetWindowLongPtrW(panel, DWLP_MSGRESULT, static_cast<LONG_PTR>(lastLoadMicroseconds(static_cast<int>(wParam))));
        return TRUE;
    case MSG_LIVE_BLOCK:
        onLiveBlock(static_cast<uint32_t>(wParam), static_cast<int64_t>(lParam));
        return TRUE;
    case MSG_LIVE_TIMES:
        SetWindowLongPtrW(panel, DWLP_MSGRESULT, static_cast<LONG_PTR>(liveLatency(static_cast<int>(wParam))));
        return TRUE;
    case MSG_RUN_TIMES:
        SetWindowLongPtrW(panel, DWLP_MSGRESULT, static_cast<LONG_PTR>(lastRunMicroseconds(static_cast<int>(wParam))));
        return TRUE;
    case WM_CLOSE:
        // Its own event handles go too, after the workers that might still
        // be waited for and before the views are told to close.
        closeTopWindow(panel, closeFrameEvents);
        return TRUE;
    case WM_DESTROY:
        // The controls still exist (they go after their parent): what they
        // show now is what this person leaves, to be found next time.
        rememberPanelSettings();
        detachControls();
        PostQuitMessage(0);
        return TRUE;
    case WM_NCDESTROY:
        // Only now are the controls gone, which still held the font.
        releaseFittedFont();
        return FALSE;
    }
    return FALSE;
}
