// ColorSample: the current colour map as a vertical scale beside the panel's
// display settings, index 1 at the bottom rising to 254 at the top. Runs on
// the user-interface thread.
#include "core/base/CommandIds.h"
#include "win/base/Globals.h"
#include "win/base/ScopedWin.h"
#include "core/views/ColorMap.h"
#include "core/views/ViewGeometry.h"

namespace {

constexpr int width = colorSampleWidth;
constexpr int height = colorSampleHeight;

struct ColorSampleView {
    MemoryCanvas scale;
    ScopedPen outlinePen;

    void release()
    {
        scale.reset();
        outlinePen.reset();
    }
};

ColorSampleView view;

void drawScale()
{
    HDC dc = view.scale;
    const ColorTable colors;  // from the colour settings of this moment
    fillArea(dc, GetStockObject(BLACK_BRUSH), width, height);
    drawOutline(dc, view.outlinePen, width, height);
    // The colours cover the outline's sides and bottom; only its top row stays grey.
    for (int row = height - 1; row >= 1; --row) {
        const COLORREF color = static_cast<COLORREF>(colors[colorSampleIndex(row)]);
        for (int x = 0; x < width; ++x) SetPixelV(dc, x, row, color);
    }
}

LRESULT onCreate(HWND window)
{
    view.outlinePen.reset(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
    {
        WindowDC screen(window);
        view.scale = MemoryCanvas(screen, width, height);
        drawScale();
    }
    showView(window);
    return 0;
}

// Onto the window in a paint, or onto a picture's DC for WM_PRINTCLIENT.
void draw(HDC dc)
{
    copyCanvas(dc, view.scale);
}

void onPaint(HWND window)
{
    PaintScope paint(window);
    draw(paint);
}

}  // namespace

LRESULT CALLBACK ColorSampleViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
    case WM_INITDIALOG:
        return onCreate(window);
    case WM_SIZE:
        keepWindowInFrame(window, controlPanel.load(), IDC_COLOR_SAMPLE_FRAME, 206, 376, width, height);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_REBUILD_COLOR_SCALE) {
            drawScale();
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
