// SPECTRAMDraw: the magnitude spectrum of one frame as a green line over a
// fixed grid, 30 Hz per pixel. Runs on the display thread.
//
// Each frame (1004) restores the back buffer from a copy of the grid and draws
// the new curve; the voice-print run waits on DFTBuffWait1 until the paint
// that shows it, so the engine is not rewritten while the curve is read.
#include "core/base/CommandIds.h"
#include "win/base/Globals.h"
#include "win/base/ScopedWin.h"
#include "core/analysis/DftEngine.h"
#include "core/audio/SoundBuffer.h"
#include "core/views/ViewGeometry.h"

#include <cwchar>

namespace {

constexpr int width = viewColumns;
constexpr int height = spectrumHeight;

struct SpectrumView {
    MemoryCanvas backBuffer;
    MemoryCanvas gridCopy;
    ScopedPen curvePen;
    FrameAcknowledgement frameTaken;  // DFTBuffWait1

    void release()
    {
        backBuffer.reset();
        gridCopy.reset();
        curvePen.reset();
        frameTaken.close();
    }
};

SpectrumView view;

void drawLabels(HDC dc)
{
    ScopedFont font(createLabelFont(15));
    ScopedSelect selected(dc, font);
    SetTextColor(dc, RGB(0, 200, 98));
    SetBkMode(dc, TRANSPARENT);
    for (const TextPlace& label : spectrumLabels)
        TextOutW(dc, label.x, label.y, label.text, static_cast<int>(std::wcslen(label.text)));
}

LRESULT onCreate(HWND window)
{
    view.curvePen.reset(CreatePen(PS_SOLID, 1, RGB(0, 255, 0)));
    {
        WindowDC screen(window);
        view.backBuffer = MemoryCanvas(screen, width, height);
        view.gridCopy = MemoryCanvas(screen, width, height);
    }
    fillArea(view.backBuffer, GetStockObject(BLACK_BRUSH), width, height);
    drawGridLines(view.backBuffer, RGB(0, 159, 98), spectrumGridRows(), spectrumGridColumns(), width, height);
    drawLabels(view.backBuffer);
    copyCanvas(view.gridCopy, view.backBuffer);

    showView(window);
    PostMessageW(window, WM_SIZE, 0, 0);
    view.frameTaken.open(processEventName(spectrumDoneEventName));
    return 0;
}

void drawCurve(HDC dc, const DftEngine& engine)
{
    const int n = engine.length;
    // An engine that was never set up has no magnitudes to draw.
    if (n < 2 || !isAllocated(engine.magnitude)) return;
    const double* m = engine.magnitude;
    ScopedSelect pen(dc, view.curvePen);
    MoveToEx(dc, 0, spectrumRow(m[0]), nullptr);
    for (int i = 1; i <= n / 2 - 1; ++i) LineTo(dc, spectrumEntryX(i, n, engine.sampleRate), spectrumRow(m[i]));
    const PixelPoint end = spectrumClosingPoint(n, engine.sampleRate);
    LineTo(dc, end.x, end.y);
}

void onFrame(HWND window, const DftEngine* engine)
{
    copyCanvas(view.backBuffer, view.gridCopy);
    if (engine) drawCurve(view.backBuffer, *engine);
    InvalidateRect(window, nullptr, FALSE);
    view.frameTaken.frameDrawn(window);
}

// A paint shows the frame, so it hands the frame back; a WM_PRINTCLIENT
// (a picture of the window) draws the same but shows nothing on the screen.
void draw(HDC dc)
{
    copyCanvas(dc, view.backBuffer);
}

void onPaint(HWND window)
{
    {
        PaintScope paint(window);
        draw(paint);
    }
    view.frameTaken.painted();
}

}  // namespace

LRESULT CALLBACK SpectrumViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
    case WM_INITDIALOG:
        return onCreate(window);
    case WM_SIZE:
        keepWindowAt(window, 240, 139, width, height);
        return 0;
    case WM_COMMAND:
        if (LOWORD(wParam) == CMD_FRAME) onFrame(window, reinterpret_cast<const DftEngine*>(lParam));
        return 0;
    case WM_PAINT:
        onPaint(window);
        return 0;
    case WM_PRINTCLIENT:
        draw(reinterpret_cast<HDC>(wParam));
        return 0;
    case WM_TIMER:
        if (wParam == FrameAcknowledgement::timerId) view.frameTaken.onTimer(window);
        return 0;
    case WM_CLOSE:
        view.release();
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
