// WinFunc: the shape of the chosen window function as 93 bars beside the
// panel's window-function combo box. Runs on the user-interface thread.
//
// The weights come from the same window functions the analysis applies, on 93
// full-scale samples; the engine's own tables only exist for powers of two.
#include "core/base/CommandIds.h"
#include "core/panel/Parameters.h"
#include "win/base/WindowRegistry.h"
#include "core/views/ViewGeometry.h"
#include "win/views/ViewDrawing.h"
#include "win/views/ViewWindow.h"

namespace {

constexpr int width = windowShapeWidth;
constexpr int height = windowShapeHeight;

class WindowFunctionView {
public:
    explicit WindowFunctionView(HWND window) : shape_(canvasFor(window, width, height))
    {
        drawShape(windowKind.load());
    }

    void draw(HDC dc) const { copyCanvas(dc, shape_); }

    void onCommand(HWND window, WPARAM wParam, LPARAM lParam)
    {
        if (LOWORD(wParam) != CMD_DRAW_WINDOW_SHAPE) return;
        drawShape(static_cast<int>(lParam));
        InvalidateRect(window, nullptr, FALSE);
    }

private:
    void drawShape(int kind)
    {
        HDC dc = shape_;
        fillArea(dc, background_, width, height);
        drawOutline(dc, outlinePen_, width, height);
        int tops[windowShapeWidth];
        windowShapeBarTops(kind, tops);
        ScopedSelect pen(dc, barPen_);
        // From below the last row up to, not onto, the top: a zero weight
        // (top 32) draws nothing.
        for (int i = 0; i < width; ++i) {
            MoveToEx(dc, i, height, nullptr);
            LineTo(dc, i, tops[i]);
        }
    }

    ScopedPen barPen_{CreatePen(PS_SOLID, 1, RGB(0, 0, 124))};
    ScopedPen outlinePen_{CreatePen(PS_SOLID, 1, RGB(128, 128, 128))};
    ScopedBrush background_{CreateSolidBrush(RGB(180, 180, 180))};
    MemoryCanvas shape_;
};

std::optional<WindowFunctionView> view;

}  // namespace

LRESULT CALLBACK WindowFunctionViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return answerViewMessage(view, viewFrames::windowShape, window, message, wParam, lParam);
}
