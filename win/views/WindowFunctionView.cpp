// WinFunc: the shape of the chosen window function as 93 bars beside the
// panel's window-function combo box. Runs on the user-interface thread.
//
// The weights come from the same window functions the analysis applies, on 93
// full-scale samples; the engine's own tables only exist for powers of two.
#include "core/base/CommandIds.h"
#include "win/base/Globals.h"
#include "win/base/ScopedWin.h"
#include "core/panel/Parameters.h"
#include "core/views/ViewGeometry.h"

namespace {

constexpr int width = windowShapeWidth;
constexpr int height = windowShapeHeight;

struct WindowFunctionView {
    MemoryCanvas shape;
    ScopedPen barPen;
    ScopedPen outlinePen;
    ScopedBrush background;

    void release()
    {
        shape.reset();
        barPen.reset();
        outlinePen.reset();
        background.reset();
    }
};

WindowFunctionView view;

void drawShape(int kind)
{
    HDC dc = view.shape;
    fillArea(dc, view.background, width, height);
    drawOutline(dc, view.outlinePen, width, height);
    int tops[windowShapeWidth];
    windowShapeBarTops(kind, tops);
    ScopedSelect pen(dc, view.barPen);
    for (int i = 0; i < width; ++i) {
        // From below the last row up to, not onto, the top: a zero weight
        // (top 32) draws nothing.
        MoveToEx(dc, i, height, nullptr);
        LineTo(dc, i, tops[i]);
    }
}

LRESULT onCreate(HWND window)
{
    view.barPen.reset(CreatePen(PS_SOLID, 1, RGB(0, 0, 124)));
    view.outlinePen.reset(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
    view.background.reset(CreateSolidBrush(RGB(180, 180, 180)));
    {
        WindowDC screen(window);
        view.shape = MemoryCanvas(screen, width, height);
        drawShape(windowKind.load());
    }
    showView(window);
    return 0;
}

// Onto the window in a paint, or onto a picture's DC for WM_PRINTCLIENT.
void draw(HDC dc)
{
    copyCanvas(dc, view.shape);
}

void onPaint(HWND window)
{
    PaintScope paint(window);
    draw(paint);
}

}  // namespace

LRESULT CALLBACK WindowFunctionViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
    case WM_INITDIALOG:
        return onCreate(window);
    case WM_SIZE:
        keepWindowInFrame(window, controlPanel.load(), IDC_WINFUNC_FRAME, 128, 290, width, height);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_DRAW_WINDOW_SHAPE) {
            drawShape(static_cast<int>(lParam));
            InvalidateRect(window, nullptr, FALSE);
        }
        return 0;
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_PRINTCLIENT:
        draw(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_CLOSE:
        DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        view.release();
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
