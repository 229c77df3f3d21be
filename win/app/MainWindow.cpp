// The main window: a fixed-size frame that holds the panel and the views and
// paints the sunken frames around the three graph views. It closes the
// program the way the panel does (win/panel/TopWindowCommands.h).
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <string>

#include "core/analysis/VoiceNumbers.h"
#include "core/base/CommandIds.h"
#include "core/panel/Parameters.h"
#include "win/base/WindowRegistry.h"
#include "win/app/PictureExport.h"
#include "win/base/ScopedWin.h"
#include "core/base/ViewFrames.h"
#include "win/panel/PanelCommands.h"
#include "win/panel/TopWindowCommands.h"

namespace {

// Room left to the right of and below everything in the client area: as much
// as the top view frame has above it.
constexpr int layoutMargin = viewFrames::framesExtent().top;

// Set while onSize moves the window, whose moves send size messages of their
// own; the outer call settles the size.
bool placingMainWindow = false;

// The client area that the layout needs: the view frames, the readout line,
// and the panel's controls where they really are. The panel re-places them
// when the dialog font's base units are not the design's, so only the
// windows themselves tell where its status line and the frames around it
// end. Before the panel exists, the frames and the readout line alone.
SIZE layoutClientSize(HWND window)
{
    const viewFrames::Rect frames = viewFrames::framesExtent();
    const viewFrames::Area& readout = viewFrames::readoutArea;
    LONG right = std::max(frames.right, readout.left + readout.width);
    LONG bottom = std::max(frames.bottom, readout.top + readout.height);
    if (HWND panel = controlPanel.load()) {
        // A drop-down list is a window of its own, so a combo box counts
        // only with its selection field.
        for (HWND child = GetWindow(panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            RECT r{};
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
            if (r.right > right) right = r.right;
            if (r.bottom > bottom) bottom = r.bottom;
        }
    }
    return {right + layoutMargin, bottom + layoutMargin};
}

// Puts the window at the screen's top-left corner with the client area the
// layout needs. AdjustWindowRectEx knows the caption, border and one line of
// menu; a menu that wraps, or a frame that the window manager draws its own
// way, shows only in the real client rectangle, which corrects the guess.
void placeMainWindow(HWND window)
{
    const SIZE client = layoutClientSize(window);
    RECT outer{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)), GetMenu(window) != nullptr,
                       static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)));
    int width = outer.right - outer.left;
    int height = outer.bottom - outer.top;
    // A second correction is for a menu whose wrapping changed with the first.
    constexpr int tries = 3;
    for (int i = 0; i < tries; ++i) {
        MoveWindow(window, 0, 0, width, height, TRUE);
        RECT real{};
        GetClientRect(window, &real);
        const int missingWidth = client.cx - real.right;
        const int missingHeight = client.cy - real.bottom;
        if (missingWidth == 0 && missingHeight == 0) break;
        width += missingWidth;
        height += missingHeight;
    }
}

// Grey top and left edges of the view frames; lives from create to destroy.
ScopedPen framePen;

void drawSunkenFrame(HDC dc, const viewFrames::Rect& rect)
{
    viewFrames::FramePath path = viewFrames::framePath(rect);
    HPEN white = static_cast<HPEN>(GetStockObject(WHITE_PEN));
    MoveToEx(dc, path.startX, path.startY, nullptr);
    for (const viewFrames::Stroke& stroke : path.strokes) {
        SelectObject(dc, stroke.light ? white : framePen.get());
        LineTo(dc, stroke.x, stroke.y);
    }
}

// Onto the window in a paint, or onto a picture's DC for WM_PRINTCLIENT.
void drawFrames(HDC dc)
{
    // The strokes switch pens; the DC gets its own pen back at the end.
    ScopedSelect keepPen(dc, framePen);
    for (viewFrames::View view : viewFrames::framedViews) {
        const viewFrames::Area& area = viewFrames::windowPlaces[view].area;
        drawSunkenFrame(dc, viewFrames::innerFrame(area));
        drawSunkenFrame(dc, viewFrames::outerFrame(area));
    }
}

void onPaint(HWND window)
{
    PaintScope paint(window);
    drawFrames(paint);
}

void onSize(HWND window, WPARAM sizeType)
{
    // A minimised window stays minimised: the user may put it away while an
    // analysis or a recording goes on.
    if (sizeType == SIZE_MINIMIZED || placingMainWindow) return;
    placingMainWindow = true;
    placeMainWindow(window);
    placingMainWindow = false;
    // Under Wine a restore that races the end of a run drawn while minimised
    // can leave a view unpainted; the views only copy their bitmaps, so
    // asking every child to paint again costs next to nothing.
    if (sizeType == SIZE_RESTORED) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

// The overlays are drawn from numbers every run keeps, so switching one
// only redraws: safe at any time, during a run too (its command then waits
// in the queue until the run has handed over its numbers).
void toggleOverlay(std::atomic<int>& shown)
{
    shown = shown.load() == 1 ? 0 : 1;
    PostMessageW(voicePrintWindow.load(), WM_COMMAND, MAKEWPARAM(CMD_OVERLAYS_CHANGED, 0), 0);
    PostMessageW(spectrumWindow.load(), WM_COMMAND, MAKEWPARAM(CMD_OVERLAYS_CHANGED, 0), 0);
}

// Checks the "表示" menu's items as the parameters stand.
void checkViewMenu(HMENU menu)
{
    CheckMenuItem(menu, IDM_SHOW_PITCH, MF_BYCOMMAND | (showPitch.load() == 1 ? MF_CHECKED : MF_UNCHECKED));
    CheckMenuItem(menu, IDM_SHOW_FORMANTS, MF_BYCOMMAND | (showFormants.load() == 1 ? MF_CHECKED : MF_UNCHECKED));
    const int speaker = speakerKind.load();
    const UINT chosen = speaker == speakerMale ? IDM_SPEAKER_MALE
                        : speaker == speakerChild ? IDM_SPEAKER_CHILD
                                                  : IDM_SPEAKER_FEMALE;
    CheckMenuRadioItem(menu, IDM_SPEAKER_MALE, IDM_SPEAKER_CHILD, chosen, MF_BYCOMMAND);
}

void onCommand(HWND window, WPARAM wParam)
{
    if (onTopWindowCommand(window, LOWORD(wParam))) return;
    if (LOWORD(wParam) >= IDM_RECENT_FIRST && LOWORD(wParam) <= IDM_RECENT_LAST) {
        PostMessageW(controlPanel.load(), WM_COMMAND, LOWORD(wParam), 0);
        return;
    }
    switch (LOWORD(wParam)) {
    case IDM_OPEN:
        PostMessageW(controlPanel.load(), WM_COMMAND, IDM_OPEN, 0);
        break;
    case IDM_SAVE_SOUND:
    case IDM_SAVE_NUMBERS:
    case IDM_RESET_SETTINGS:
        PostMessageW(controlPanel.load(), WM_COMMAND, LOWORD(wParam), 0);
        break;
    // The picture is of this window's client area, so the work is done here.
    case IDM_SAVE_PICTURE:
        savePicture(window);
        break;
    case IDM_COPY_PICTURE:
        copyPicture(window);
        break;
    case IDM_SHOW_PITCH:
        toggleOverlay(showPitch);
        rememberPanelSettings();
        break;
    case IDM_SHOW_FORMANTS:
        toggleOverlay(showFormants);
        rememberPanelSettings();
        break;
    // The ceiling of the formants, for the last run's columns and the next run's.
    case IDM_SPEAKER_MALE:
    case IDM_SPEAKER_FEMALE:
    case IDM_SPEAKER_CHILD:
        speakerKind = LOWORD(wParam) == IDM_SPEAKER_MALE    ? speakerMale
                      : LOWORD(wParam) == IDM_SPEAKER_CHILD ? speakerChild
                                                            : speakerFemale;
        PostMessageW(controlPanel.load(), WM_COMMAND, MAKEWPARAM(CMD_SPEAKER_CHANGED, 0), 0);
        rememberPanelSettings();
        break;
    }
}

// A file dropped on the window or any of its children opens as from the
// dialog; of several, the first. While the panel is busy the open is refused
// there, as a menu open is.
void onDropFiles(HDROP drop)
{
    const UINT length = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring path(length, L'\0');
    if (length > 0) DragQueryFileW(drop, 0, &path[0], length + 1);
    DragFinish(drop);
    if (!path.empty()) requestOpenPath(path, false);
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        framePen.reset(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
        // Drops on the children come here too: none of them accepts files.
        DragAcceptFiles(window, TRUE);
        return 0;
    case WM_DROPFILES:
        onDropFiles(reinterpret_cast<HDROP>(wParam));
        return 0;
    case WM_SIZE:
        onSize(window, wParam);
        return 0;
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_PRINTCLIENT:
        drawFrames(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_CLOSE:
        closeTopWindow(window);
        return 0;
    case WM_QUERYENDSESSION:
        // Logging off or shutting down drops the sound as a close does, and
        // may be refused the same way.
        return mayLeaveTheSound(controlPanel.load()) ? TRUE : FALSE;
    case WM_DESTROY:
        framePen.reset();
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        onCommand(window, wParam);
        return 0;
    case WM_INITMENUPOPUP:
        // Set as the menu opens: the state it depends on changes on its own.
        EnableMenuItem(reinterpret_cast<HMENU>(wParam), IDM_SAVE_SOUND,
                       MF_BYCOMMAND | (soundSavable() ? MF_ENABLED : MF_GRAYED));
        EnableMenuItem(reinterpret_cast<HMENU>(wParam), IDM_SAVE_NUMBERS,
                       MF_BYCOMMAND | (numbersSavable() ? MF_ENABLED : MF_GRAYED));
        checkViewMenu(reinterpret_cast<HMENU>(wParam));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
