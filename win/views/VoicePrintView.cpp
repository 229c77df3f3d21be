// SPECTDraw: the voice print, one 280-pixel column per analysed frame, with a
// red cursor on the current frame and two optional overlays (a side frequency
// scale and a line at every kilohertz). Runs on the display thread.
//
// Frames are painted into a picture bitmap that is never cleared, so a shorter
// run leaves the older picture to its right. The overlays and the cursor are
// drawn on the window at each paint, from the settings of that moment.
#include "core/base/CommandIds.h"
#include "win/base/Globals.h"
#include "win/base/ScopedWin.h"
#include "core/base/TestHooks.h"
#include "core/analysis/DftEngine.h"
#include "core/panel/Parameters.h"
#include "core/views/ColorMap.h"
#include "core/views/ViewGeometry.h"

#include <cwchar>

namespace {

constexpr int width = viewColumns;
constexpr int height = voicePrintHeight;

struct VoicePrintView {
    MemoryCanvas picture;
    MemoryCanvas axis;   // the side scale; its font stays selected
    ScopedFont axisFont;
    ScopedPen cursorPen;
    ScopedPen gridPen;
    FrameAcknowledgement frameTaken;  // DFTBuffWait0
    uint32_t frameDelayMs = 0;        // the test hook's slow view
    int nextColumn = 0;
    int cursorColumn = 0;

    void release()
    {
        picture.reset();
        axis.reset();
        axisFont.reset();
        cursorPen.reset();
        gridPen.reset();
        frameTaken.close();
    }
};

VoicePrintView view;

void drawFrequencyAxis()
{
    HDC dc = view.axis;
    const int step = maxFreqStep.load();
    ScopedPen tickPen(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
    ScopedBrush background(CreateSolidBrush(RGB(0, 0, 0)));
    ScopedSelect brush(dc, background);
    // One font for the life of the view: every rebuild would otherwise leave
    // a new one selected and the old one lost.
    if (!view.axisFont)
        view.axisFont.reset(createLabelFont(16));
    SelectObject(dc, view.axisFont);
    SetTextColor(dc, RGB(255, 255, 0));
    SetBkMode(dc, TRANSPARENT);

    PatBlt(dc, 0, 0, axisWidth, height, PATCOPY);
    ScopedSelect pen(dc, tickPen);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, 0, height);
    for (int n = 0; n < axisLabelCount; ++n) {
        wchar_t label[16];
        const int length = std::swprintf(label, 16, L"%dkHz", n);
        SIZE size{};
        GetTextExtentPoint32W(dc, label, length, &size);
        const int top = axisLabelTop(n, step, size.cy);
        // Twice, one pixel apart, for a heavier stroke.
        TextOutW(dc, 1, top, label, length);
        TextOutW(dc, 2, top, label, length);
        const int y = kilohertzRow(n, step);
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, axisTickLength, y);
    }
}

LRESULT onCreate(HWND window)
{
    view.cursorPen.reset(CreatePen(PS_SOLID, 2, RGB(255, 0, 0)));
    view.gridPen.reset(CreatePen(PS_SOLID, 1, RGB(255, 255, 0)));
    {
        WindowDC screen(window);
        view.picture = MemoryCanvas(screen, width, height);
        fillArea(view.picture, GetStockObject(BLACK_BRUSH), width, height);
        view.axis = MemoryCanvas(screen, axisWidth, height);
        drawFrequencyAxis();
    }
    showView(window);
    PostMessageW(window, WM_SIZE, 0, 0);
    view.frameTaken.open(processEventName(voicePrintDoneEventName));
    view.frameDelayMs = testFrameDelayMs();
    return 0;
}

void onFrame(HWND window, const DftEngine* engine)
{
    const int column = view.nextColumn;
    view.cursorColumn = column + 2;
    // A test's slow view: the run must not touch this engine meanwhile.
    if (view.frameDelayMs != 0) Sleep(view.frameDelayMs);
    if (engine) {
        const ColorTable colors;  // from the colour settings of this moment
        for (int j = 0; j < displayBinCount; ++j) {
            const BinPixel pixel = voicePrintPixel(j, engine->displayBins[j]);
            SetPixelV(view.picture, column, pixel.row, static_cast<COLORREF>(colors[pixel.colorIndex]));
        }
    }
    RECT strip{column, 0, column + 3, height};
    InvalidateRect(window, &strip, FALSE);
    view.nextColumn = column + 1;
    view.frameTaken.frameDrawn(window, column <= voicePrintLastColumn);
}

void moveCursor(HWND window, int column)
{
    const ColumnSpan span = cursorStrip(view.cursorColumn, column);
    view.cursorColumn = column;
    RECT r{span.left, 0, span.right, height};
    InvalidateRect(window, &r, FALSE);
}

void onClick(HWND window, LPARAM lParam)
{
    const int x = LOWORD(lParam);
    moveCursor(window, x);
    PostMessageW(controlPanel.load(), WM_COMMAND, MAKEWPARAM(CMD_FRAME_AT_COLUMN, 0), x);
}

// A paint shows the column, so it hands the frame back; a WM_PRINTCLIENT
// (a picture of the window) draws the same but shows nothing on the screen.
void draw(HDC paint)
{
    copyCanvas(paint, view.picture);
    if (graduateLine.load() == 1) {
        const int step = maxFreqStep.load();
        ScopedSelect pen(paint, view.gridPen);
        for (int n = 0; n < kilohertzLineCount; ++n) {
            const int y = kilohertzRow(n, step);
            MoveToEx(paint, 0, y, nullptr);
            LineTo(paint, width, y);
        }
    }
    if (sideGraduate.load() == 1) copyCanvas(paint, view.axis, SRCPAINT);
    ScopedSelect pen(paint, view.cursorPen);
    MoveToEx(paint, view.cursorColumn, 0, nullptr);
    LineTo(paint, view.cursorColumn, height);
}

void onPaint(HWND window)
{
    {
        PaintScope paint(window);
        draw(paint);
    }
    view.frameTaken.painted();
}

void onCommand(HWND window, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case CMD_FRAME:
        onFrame(window, reinterpret_cast<const DftEngine*>(lParam));
        break;
    case CMD_RESET_COLUMN:
        view.nextColumn = 0;
        break;
    case CMD_VOICEPRINT_CURSOR:
        moveCursor(window, LOWORD(lParam));
        break;
    case CMD_REBUILD_AXIS: {
        drawFrequencyAxis();
        RECT all{0, 0, width, height};
        InvalidateRect(window, &all, FALSE);
        break;
    }
    default:
        break;
    }
}

}  // namespace

LRESULT CALLBACK VoicePrintViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
    case WM_INITDIALOG:
        return onCreate(window);
    case WM_SIZE:
        keepWindowAt(window, 240, 273, width, height);
        return 0;
    case WM_COMMAND:
        onCommand(window, wParam, lParam);
        return 0;
    case WM_LBUTTONDOWN:
        onClick(window, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON) onClick(window, lParam);
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
