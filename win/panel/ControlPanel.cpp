// The control panel (dialog 129), embedded in the main window: every parameter
// and every button of the program. It sets its controls up, echoes the track
// bars into their boxes, stores the parameters that need no refresh, and hands
// every other command to the handlers of win/panel/PanelCommands.h.
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <initializer_list>
#include <vector>

#include "win/analysis/AnalysisRuns.h"
#include "core/base/CommandIds.h"
#include "win/base/Globals.h"
#include "win/base/ScopedWin.h"
#include "win/panel/ControlWrapper.h"
#include "win/panel/PanelCommands.h"
#include "core/panel/PanelLayout.h"
#include "core/panel/PanelTables.h"
#include "core/panel/Parameters.h"

namespace panelControls {
ControlWrapper framePeriodTrack;
ControlWrapper rejectionTrack;
ControlWrapper scaleTrack;
ControlWrapper colorWidthTrack;
ControlWrapper maxFreqTrack;
ControlWrapper windowCombo;
ControlWrapper frameLengthCombo;
ControlWrapper recordRateCombo;
ControlWrapper recordBitsCombo;
ControlWrapper recordSecondsCombo;
ControlWrapper framePeriodEcho;
ControlWrapper rejectionEcho;
ControlWrapper scaleEcho;
ControlWrapper colorWidthEcho;
ControlWrapper maxFreqEcho;
ControlWrapper frameLengthMs;
ControlWrapper framePeriodMs;
ControlWrapper sampleRateEdit;
ControlWrapper bitRateEdit;
ControlWrapper fileNameEdit;
ControlWrapper statusLine;
ControlWrapper sideGraduateCheck;
ControlWrapper graduateLineCheck;

RadioGroup sourceGroup;
RadioGroup energyGroup;
RadioGroup voicePrintGroup;

HWND browseButton = nullptr;
HWND recordButton = nullptr;
HWND stopRecordButton = nullptr;

HANDLE voicePrintDoneEvent = nullptr;
HANDLE spectrumDoneEvent = nullptr;
HANDLE waveformDoneEvent = nullptr;
}  // namespace panelControls

namespace pc = panelControls;
namespace pt = panelTables;
namespace pl = panelLayout;

namespace {

// Commands whose notification code tells a click from other traffic.
constexpr WORD clickCode = BN_CLICKED;
// The colour settings have always taken this notification code as well.
constexpr WORD colorSettingsAlsoCode = 1024;

struct WrapperBinding {
    ControlWrapper* wrapper;
    int id;
};

const WrapperBinding wrapperBindings[] = {
    {&pc::framePeriodTrack, IDC_FRAME_PERIOD},    {&pc::rejectionTrack, IDC_REJECTION},
    {&pc::scaleTrack, IDC_SCALE},                 {&pc::colorWidthTrack, IDC_COLOR_WIDTH},
    {&pc::maxFreqTrack, IDC_MAX_FREQ},            {&pc::windowCombo, IDC_WINDOW_FUNCTION},
    {&pc::frameLengthCombo, IDC_FRAME_LENGTH},    {&pc::recordRateCombo, IDC_RECORD_RATE},
    {&pc::recordBitsCombo, IDC_RECORD_BITS},      {&pc::recordSecondsCombo, IDC_RECORD_SECONDS},
    {&pc::framePeriodEcho, IDC_FRAME_PERIOD_ECHO}, {&pc::rejectionEcho, IDC_REJECTION_ECHO},
    {&pc::scaleEcho, IDC_SCALE_ECHO},             {&pc::colorWidthEcho, IDC_COLOR_WIDTH_ECHO},
    {&pc::maxFreqEcho, IDC_MAX_FREQ_ECHO},        {&pc::frameLengthMs, IDC_FRAME_LENGTH_MS},
    {&pc::framePeriodMs, IDC_FRAME_PERIOD_MS},    {&pc::sampleRateEdit, IDC_SAMPLE_RATE},
    {&pc::bitRateEdit, IDC_BIT_RATE},             {&pc::fileNameEdit, IDC_FILE_NAME},
    {&pc::statusLine, IDC_STATUS},                {&pc::sideGraduateCheck, IDC_SIDE_GRADUATE},
    {&pc::graduateLineCheck, IDC_GRADUATE_LINE},
};

void createEvents()
{
    // Manual reset, signalled: nothing is pending before the first run.
    pc::voicePrintDoneEvent = CreateEventW(nullptr, TRUE, TRUE, processEventName(voicePrintDoneEventName).c_str());
    pc::spectrumDoneEvent = CreateEventW(nullptr, TRUE, TRUE, processEventName(spectrumDoneEventName).c_str());
    pc::waveformDoneEvent = CreateEventW(nullptr, TRUE, TRUE, processEventName(waveformDoneEventName).c_str());
}

void closeEvents()
{
    // Null afterwards: a wait on a closed handle could hit a reused one.
    for (HANDLE* event : {&pc::voicePrintDoneEvent, &pc::spectrumDoneEvent, &pc::waveformDoneEvent}) {
        if (*event) CloseHandle(*event);
        *event = nullptr;
    }
}

void attachControls(HWND panel)
{
    for (const WrapperBinding& binding : wrapperBindings) binding.wrapper->handle = GetDlgItem(panel, binding.id);

    pc::sourceGroup.add(GetDlgItem(panel, IDC_SOURCE_FILE));
    pc::sourceGroup.add(GetDlgItem(panel, IDC_SOURCE_RECORD));
    pc::energyGroup.add(GetDlgItem(panel, IDC_LINEAR));
    pc::energyGroup.add(GetDlgItem(panel, IDC_LOG));
    pc::voicePrintGroup.add(GetDlgItem(panel, IDC_COLOR));
    pc::voicePrintGroup.add(GetDlgItem(panel, IDC_MONO));

    pc::browseButton = GetDlgItem(panel, IDC_BROWSE);
    pc::recordButton = GetDlgItem(panel, IDC_RECORD);
    pc::stopRecordButton = GetDlgItem(panel, IDC_STOP_RECORD);
}

// After the panel is gone its controls are too; the wrappers fall back to
// doing nothing instead of talking to dead handles.
void detachControls()
{
    for (const WrapperBinding& binding : wrapperBindings) binding.wrapper->handle = nullptr;
    pc::browseButton = nullptr;
    pc::recordButton = nullptr;
    pc::stopRecordButton = nullptr;
}

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

// The one place that enables and disables controls: every control that is
// ever disabled is set here, from the rule the core states and tests.
void applyControlEnabling()
{
    const pt::ControlEnabling enabling =
        pt::controlEnabling(activityState.load(), sourceMode.load(), printMonoMode.load(), energyLogMode.load());
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

void onSourceMode(HWND)
{
    sourceMode = pc::sourceGroup.checkedIndex();
    applyControlEnabling();
}

namespace {

// ---- Layout at the design metrics ------------------------------------------

// The controls' font when the panel had to be re-placed; it must outlive
// every control that draws with it.
ScopedFont fittedFont;

bool loadPanelTemplate(pl::DialogTemplate& layout)
{
    HRSRC resource = FindResourceW(appInstance, MAKEINTRESOURCEW(IDD_CONTROL_PANEL), RT_DIALOG);
    if (!resource) return false;
    HGLOBAL loaded = LoadResource(appInstance, resource);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes) return false;
    return pl::parseDialogTemplate(static_cast<const uint8_t*>(bytes), SizeofResource(appInstance, resource), layout);
}

// The panel's controls in creation order, which the dialog manager keeps as
// their z order. Empty when they do not line up with the template item by
// item: re-placing them by guesswork would scramble the panel.
std::vector<HWND> controlsInTemplateOrder(HWND panel, const pl::DialogTemplate& layout)
{
    std::vector<HWND> controls;
    for (HWND child = GetWindow(panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        const std::size_t i = controls.size();
        if (i >= layout.items.size()) return {};
        if (!pl::sameControlId(layout.items[i].id, static_cast<uint32_t>(GetDlgCtrlID(child)))) return {};
        controls.push_back(child);
    }
    if (controls.size() != layout.items.size()) return {};
    return controls;
}

int lineHeightOf(HFONT font)
{
    WindowDC screen(nullptr);
    ScopedSelect select(screen, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(screen, &metrics);
    return metrics.tmHeight;
}

// The dialog's face at a size whose text lines fit the design's 12 pixels.
// A positive height asks the font mapper for that cell height, which is the
// line height, so the first try usually fits; faces that round up get smaller
// sizes until one fits.
HFONT fittingFont(HWND panel)
{
    HFONT dialogFont = reinterpret_cast<HFONT>(SendMessageW(panel, WM_GETFONT, 0, 0));
    LOGFONTW face{};
    if (!dialogFont || GetObjectW(dialogFont, sizeof face, &face) != sizeof face) return nullptr;
    face.lfWidth = 0;
    constexpr int smallestTried = 6;
    for (int height = pl::designLineHeight; height >= smallestTried; --height) {
        face.lfHeight = height;
        HFONT font = CreateFontIndirectW(&face);
        if (!font) return nullptr;
        if (lineHeightOf(font) <= pl::designLineHeight) return font;
        DeleteObject(font);
    }
    return nullptr;
}

void placeAt(HWND window, const pl::PixelRect& r, UINT flags)
{
    SetWindowPos(window, nullptr, r.x, r.y, r.width, r.height, flags | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The dialog manager laid the panel out with this system's dialog font. Where
// that font's base units are not the design's 7 x 12 pixels (the face is
// missing, another DPI), the panel would no longer meet the fixed places of
// the views beside and over it, so it is laid out again at 7 x 12 from its
// template. Combo boxes take the height given to them as their drop-down
// list's, which is what the template's height means for them too.
void fitLayoutToDesignUnits(HWND panel)
{
    RECT unit{0, 0, 4, 8};
    MapDialogRect(panel, &unit);
    if (pl::isDesignLayout(pl::BaseUnits{unit.right, unit.bottom})) return;

    pl::DialogTemplate layout;
    if (!loadPanelTemplate(layout)) return;
    const std::vector<HWND> controls = controlsInTemplateOrder(panel, layout);
    if (controls.empty()) return;

    fittedFont.reset(fittingFont(panel));
    for (std::size_t i = 0; i < controls.size(); ++i) {
        // Font first: a combo box sizes its selection field from its font
        // when it is moved.
        if (fittedFont) SendMessageW(controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(fittedFont.get()), FALSE);
        placeAt(controls[i], pl::toPixels(layout.items[i].rect, pl::designBaseUnits), 0);
    }
    // The panel has no border or caption: its window is its client area.
    placeAt(panel, pl::toPixels(layout.rect, pl::designBaseUnits), SWP_NOMOVE);
    InvalidateRect(panel, nullptr, TRUE);
}

// ---- Messages ----------------------------------------------------------------

void onInitDialog(HWND panel)
{
    // The views open these by name when the display thread creates them.
    createEvents();
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
}

// Any scroll code, so the boxes follow the thumb while it is dragged. Only the
// frame period and the colour width take effect at once; the other bars wait
// for the next full refresh.
void onHorizontalScroll(HWND panel, HWND track)
{
    if (!track) return;
    if (track == pc::framePeriodTrack.handle) {
        echoFramePeriod();
        PostMessageW(panel, WM_COMMAND, CMD_REFRESH, 1);
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
}

void onWindowFunction(WORD code)
{
    int selection = pc::windowCombo.comboSelection();
    // A list without a selection would hand the analysis window kind -1.
    if (selection >= 0) windowKind = selection;
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

void closePanel(HWND panel)
{
    // Closing the panel ends the program: the workers must not outlive the
    // sound they read.
    stopWorkersForExit();
    closeEvents();
    PostMessageW(waveWindow.load(), WM_CLOSE, 0, 0);
    DestroyWindow(panel);
}

// Returns whether the command was taken.
bool onCommand(HWND panel, WPARAM wParam, LPARAM lParam)
{
    const WORD code = HIWORD(wParam);
    switch (LOWORD(wParam)) {
    case IDC_WINDOW_FUNCTION:
        onWindowFunction(code);
        return true;
    case IDC_FRAME_LENGTH:
        // Every notification, focus changes and drop-downs included.
        PostMessageW(panel, WM_COMMAND, CMD_REFRESH, 3);
        return true;
    case IDC_COLOR_WIDTH:
    case IDC_COLOR:
    case IDC_MONO:
        if (code != clickCode && code != colorSettingsAlsoCode) return false;
        onColorSettings();
        return true;
    case IDC_LINEAR:
    case IDC_LOG:
        if (code != clickCode) return false;
        onEnergySettings();
        return true;
    case IDC_SIDE_GRADUATE:
    case IDC_GRADUATE_LINE:
        if (code != clickCode) return false;
        onGraduationSettings();
        return true;
    case IDCANCEL:
        // Esc, from the dialog manager: the keyboard goes back to the main
        // window, where Alt+? opens the about box and Tab comes back here.
        SetFocus(mainWindow.load());
        return true;
    case IDM_ABOUT:
        DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT_BOX), panel, AboutBoxProc, 0);
        return true;
    case IDM_EXIT:
        stopWorkersForExit();
        DestroyWindow(panel);
        return true;
    case CMD_DISPLAY_THREAD_ENDED:
        if (busyThreadCount.load() == 0) DestroyWindow(panel);
        return true;
    case IDM_OPEN:
        openSoundFile(panel);
        return true;
    case IDM_SAVE_SOUND:
        saveSoundFile(panel);
        return true;
    case CMD_OPEN_PATH:
        openRequestedPath(panel);
        return true;
    case IDC_BROWSE:
        PostMessageW(panel, WM_COMMAND, IDM_OPEN, 0);
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
        onSourceMode(panel);
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
        runVoicePrint(panel);
        return true;
    case CMD_FRAME_AT_COLUMN:
        // Also the maximum-frequency echo's id; the run tells the two apart.
        runFrameAtColumn(panel, wParam, lParam);
        return true;
    case CMD_CURSOR_RUN:
        runCursor(panel, static_cast<int>(lParam));
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
    case WM_CLOSE:
        closePanel(panel);
        return TRUE;
    case WM_DESTROY:
        detachControls();
        PostQuitMessage(0);
        return TRUE;
    case WM_NCDESTROY:
        // Only now are the controls gone, which still held the font.
        fittedFont.reset();
        return FALSE;
    }
    return FALSE;
}
