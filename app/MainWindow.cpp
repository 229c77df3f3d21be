// The main window: a fixed 800 x 600 frame that holds the panel and the views,
// paints the sunken frames around the three graph views, and owns the close
// sequence.
#include "app/CommandIds.h"
#include "app/Globals.h"
#include "app/ScopedWin.h"
#include "app/ViewFrames.h"
#include "panel/PanelCommands.h"

namespace {

constexpr int mainWidth = 800;
constexpr int mainHeight = 600;

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

void onPaint(HWND window)
{
    PaintScope paint(window);
    // The strokes switch pens; the DC gets its own pen back at the end.
    ScopedSelect keepPen(paint, framePen);
    for (const viewFrames::Area& area : viewFrames::viewAreas) {
        drawSunkenFrame(paint, viewFrames::innerFrame(area));
        drawSunkenFrame(paint, viewFrames::outerFrame(area));
    }
}

void onSize(HWND window, WPARAM sizeType)
{
    // A minimised window stays minimised: the user may put it away while an
    // analysis or a recording goes on.
    if (sizeType == SIZE_MINIMIZED) return;
    MoveWindow(window, 0, 0, mainWidth, mainHeight, TRUE);
    // Under Wine a restore that races the end of a run drawn while minimised
    // can leave a view unpainted; the views only copy their bitmaps, so
    // asking every child to paint again costs next to nothing.
    if (sizeType == SIZE_RESTORED) RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void onClose(HWND window)
{
    // Recorder and player threads read the sound and hold the wave devices;
    // they must be gone before the process tears down its static objects.
    stopWorkersForExit();
    PostMessageW(waveWindow.load(), WM_CLOSE, 0, 0);
    DestroyWindow(window);
}

void onCommand(HWND window, WPARAM wParam)
{
    switch (LOWORD(wParam)) {
    case IDM_ABOUT:
        DialogBoxParamW(appInstance, MAKEINTRESOURCEW(IDD_ABOUT_BOX), window, AboutBoxProc, 0);
        break;
    case IDM_EXIT:
        stopWorkersForExit();
        DestroyWindow(window);
        break;
    case CMD_DISPLAY_THREAD_ENDED:
        // A recorder or player still running keeps the window open; the user
        // closes it later.
        if (busyThreadCount.load() == 0) DestroyWindow(window);
        break;
    case IDM_OPEN:
        PostMessageW(controlPanel.load(), WM_COMMAND, IDM_OPEN, 0);
        break;
    }
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        framePen.reset(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
        return 0;
    case WM_SIZE:
        onSize(window, wParam);
        return 0;
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_CLOSE:
        onClose(window);
        return 0;
    case WM_DESTROY:
        framePen.reset();
        PostQuitMessage(0);
        return 0;
    case WM_COMMAND:
        onCommand(window, wParam);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}
