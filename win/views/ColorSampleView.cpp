// ColorSample: the current colour map as a vertical scale beside the panel's
// display settings, index 1 at the bottom rising to 254 at the top. Runs on
// the user-interface thread.
#include "core/base/CommandIds.h"
#include "core/views/ColorMap.h"
#include "core/views/ViewGeometry.h"
#include "win/views/ViewDrawing.h"
#include "win/views/ViewWindow.h"
#include "win/base/WindowRegistry.h"

namespace {

constexpr int width = colorSampleWidth;
constexpr int height = colorSampleHeight;

class ColorSampleView {
public:
    explicit ColorSampleView(HWND window) : scale_(canvasFor(window, width, height)) { drawScale(); }

    void draw(HDC dc) const { copyCanvas(dc, scale_); }

    void onCommand(HWND window, WPARAM wParam, LPARAM)
    {
        if (LOWORD(wParam) != CMD_REBUILD_COLOR_SCALE) return;
        drawScale();
        InvalidateRect(window, nullptr, FALSE);
    }

private:
    void drawScale()
    {
        HDC dc = scale_;
        const ColorTable colors;  // from the colour settings of this moment
        fillArea(dc, GetStockObject(BLACK_BRUSH), width, height);
        drawOutline(dc, outlinePen_, width, height);
        // The colours cover the outline's sides and bottom; only its top row stays grey.
        for (int row = height - 1; row >= 1; --row) {
            const COLORREF color = static_cast<COLORREF>(colors[colorSampleIndex(row)]);
            for (int x = 0; x < width; ++x) SetPixelV(dc, x, row, color);
        }
    }

    ScopedPen outlinePen_{CreatePen(PS_SOLID, 1, RGB(128, 128, 128))};
    MemoryCanvas scale_;
};

std::optional<ColorSampleView> view;

}  // namespace

LRESULT CALLBACK ColorSampleViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return answerViewMessage(view, viewFrames::colorSample, window, message, wParam, lParam);
}
