// SPECTRAMDraw: the magnitude spectrum of one frame as a green line over a
// fixed grid, 30 Hz per pixel. Runs on the display thread.
//
// Each frame (1004) restores the back buffer from a copy of the grid and draws
// the new curve; the voice-print run waits on DFTBuffWait1 until the paint
// that shows it, so the engine is not rewritten while the curve is read.
#include "core/analysis/DftEngine.h"
#include "core/audio/SoundBuffer.h"
#include "core/base/CommandIds.h"
#include "core/views/ReadoutText.h"
#include "core/views/ViewGeometry.h"
#include "win/views/ViewDrawing.h"
#include "win/views/Readout.h"
#include "win/views/ShownNumbers.h"
#include "win/views/ViewWindow.h"

#include <windowsx.h>
#include "win/base/WindowRegistry.h"

#include <cwchar>

namespace {

constexpr int width = columnCount;
constexpr int height = spectrumHeight;
// The peak's text ends two pixels in from the right edge, on the line
// under the kilohertz labels.
constexpr int peakTextRight = width - 2;
constexpr int peakTextTop = 18;

class SpectrumView {
public:
    explicit SpectrumView(HWND window) : canvas_(window, width, height, spectrumGridRows(), spectrumGridColumns())
    {
        drawLabels(canvas_.picture);
        canvas_.keepAsGrid();
        frameTaken.open(spectrumDoneEventName);
    }

    void draw(HDC dc) const { copyCanvas(dc, canvas_.picture); }

    void onCommand(HWND window, WPARAM wParam, LPARAM lParam)
    {
        if (LOWORD(wParam) == CMD_FRAME) onFrame(window, reinterpret_cast<const DftEngine*>(lParam));
    }

    FrameAcknowledgement frameTaken;  // DFTBuffWait1

private:
    static void drawLabels(HDC dc)
    {
        ScopedFont font(createLabelFont(15));
        ScopedSelect selected(dc, font);
        setLabelColor(dc, labelColor);
        for (const TextPlace& label : spectrumLabels)
            TextOutW(dc, label.x, label.y, label.text, static_cast<int>(std::wcslen(label.text)));
    }

    void drawCurve(HDC dc, const DftEngine& engine) const
    {
        const int n = engine.length;
        // An engine that was never set up has no magnitudes to draw.
        if (n < 2 || !isAllocated(engine.magnitude)) return;
        const double* m = engine.magnitude;
        ScopedSelect pen(dc, curvePen_);
        MoveToEx(dc, 0, spectrumRow(m[0]), nullptr);
        for (int i = 1; i <= n / 2 - 1; ++i) LineTo(dc, spectrumEntryX(i, n, engine.sampleRate), spectrumRow(m[i]));
        const PixelPoint end = spectrumClosingPoint(n, engine.sampleRate);
        LineTo(dc, end.x, end.y);
    }

    // The frame's strongest entry in the top-right corner, after the curve
    // and never into the grid copy. The same text is the window's own, for
    // screen readers and tests.
    void drawPeak(HWND window, const FrameNumbers& frame)
    {
        const std::wstring text = peakText(framePeak(frame));
        SetWindowTextW(window, text.c_str());
        HDC dc = canvas_.picture;
        ScopedSelect font(dc, peakFont_);
        setLabelColor(dc, labelColor);
        const UINT align = SetTextAlign(dc, TA_RIGHT | TA_TOP);
        TextOutW(dc, peakTextRight, peakTextTop, text.c_str(), static_cast<int>(text.size()));
        SetTextAlign(dc, align);
    }

    void onFrame(HWND window, const DftEngine* engine)
    {
        canvas_.startAgain();
        if (engine) {
            drawCurve(canvas_.picture, *engine);
            ShownNumbers& numbers = shownNumbers();
            std::lock_guard<std::mutex> hold(numbers.lock);
            takeFrame(numbers.frame, *engine);
            drawPeak(window, numbers.frame);
        }
        InvalidateRect(window, nullptr, FALSE);
        frameTaken.frameDrawn(window);
    }

    static constexpr COLORREF labelColor = RGB(0, 200, 98);
    ScopedPen curvePen_{CreatePen(PS_SOLID, 1, RGB(0, 255, 0))};
    ScopedFont peakFont_{createLabelFont(15)};
    GridPicture canvas_;  // the grid keeps the labels
};

std::optional<SpectrumView> view;

}  // namespace

LRESULT CALLBACK SpectrumViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_MOUSEMOVE:
        hoverReadout(window, spectrumReadout(shownNumbers().frame, GET_X_LPARAM(lParam)));
        return 0;
    default:
        return answerViewMessage(view, viewFrames::spectrum, window, message, wParam, lParam);
    }
}
