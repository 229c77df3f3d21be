// SPECTDraw: the voice print, one 280-pixel column per analysed frame, with a
// red cursor on the current frame and two optional overlays (a side frequency
// scale and a line at every kilohertz). Runs on the display thread.
//
// Frames are painted into a picture bitmap that is cleared only for a new
// sound, so a shorter run leaves the older picture to its right. The overlays and the cursor are
// drawn on the window at each paint, from the settings of that moment.
//
// The pitch curve and the formant dots of the "表示" menu lie over the
// picture, under the kilohertz lines and the cursor. Which pixels they ink is
// the core's (VoiceOverlay.h); the view keeps the picture with them inked in
// a second bitmap, composed again only when the picture, the run's voice
// numbers or the switches change. A run starts without them and brings its
// own at its end.
#include "core/analysis/DftEngine.h"
#include "core/base/CommandIds.h"
#include "core/base/TestHooks.h"
#include "core/panel/Parameters.h"
#include "win/base/LiveView.h"
#include "win/base/WindowRegistry.h"
#include "core/views/ColorMap.h"
#include "core/views/ReadoutText.h"
#include "core/views/VoiceOverlay.h"
#include "core/views/ViewGeometry.h"
#include "win/views/ViewDrawing.h"
#include "win/views/Readout.h"
#include "win/views/ShownNumbers.h"
#include "win/views/ViewWindow.h"

#include <windowsx.h>

#include <cstring>
#include <cwchar>

namespace {

constexpr int width = columnCount;
constexpr int height = voicePrintHeight;

class VoicePrintView {
public:
    explicit VoicePrintView(HWND window)
        : picture_(pixelCanvasFor(window, width, height)), composed_(pixelCanvasFor(window, width, height)),
          axis_(canvasFor(window, axisWidth, height))
    {
        fillArea(picture_, GetStockObject(BLACK_BRUSH), width, height);
        // One font for the life of the view: every rebuild would otherwise
        // leave a new one selected and the old one lost.
        SelectObject(axis_, axisFont_);
        drawFrequencyAxis();
        frames.open(voicePrintDoneEventName);
        // The columns of a recording drawn as it comes in are timed to here.
        screen.beforeShow = [this](HWND, const RECT& pending) {
            noteLiveColumnsShown(shownColumns_, nextColumn_);
            shownColumns_ = nextColumn_;
            return pending;
        };
    }

    void draw(HDC paint)
    {
        copyCanvas(paint, pictureWithOverlays());
        if (graduateLine.load() == 1) {
            const int step = maxFreqStep.load();
            ScopedSelect pen(paint, gridPen_);
            for (int n = 0; n < kilohertzLineCount; ++n) drawRowLine(paint, kilohertzRow(n, step), width);
        }
        if (sideGraduate.load() == 1) copyCanvas(paint, axis_, SRCPAINT);
        ScopedSelect pen(paint, cursorPen_);
        drawColumnLine(paint, cursorColumn_, height);
    }

    void onCommand(HWND window, WPARAM wParam, LPARAM lParam)
    {
        switch (LOWORD(wParam)) {
        case CMD_FRAME:
            onFrame(window, reinterpret_cast<const DftEngine*>(lParam));
            break;
        case CMD_RESET_COLUMN:
            nextColumn_ = 0;
            shownColumns_ = 0;
            break;
        case CMD_VOICEPRINT_CURSOR:
            // The column may lie outside 0..550 (a cursor before or past the
            // analysed range) and must keep its sign.
            moveCursor(window, static_cast<int32_t>(lParam));
            break;
        case CMD_VOICE_NUMBERS:
            takeVoice(reinterpret_cast<const VoiceNumbers*>(lParam));
            // The formants measured again for another speaker come in a
            // record of their own, handed over to the view.
            if (HIWORD(wParam) == 1) delete reinterpret_cast<const VoiceNumbers*>(lParam);
            screen.changedAll(window);
            break;
        case CMD_OVERLAYS_CHANGED:
            overlayStale_ = true;
            screen.changedAll(window);
            break;
        case CMD_REBUILD_AXIS:
            drawFrequencyAxis();
            screen.changedAll(window);
            // Also the end of a run: the column under the pointer may have just been drawn.
            refreshReadoutUnderPointer();
            break;
        case CMD_FORGET_ANALYSIS:
            forget(window);
            break;
        default:
            break;
        }
    }

    void onClick(HWND window, LPARAM lParam)
    {
        const int x = LOWORD(lParam);
        moveCursor(window, x);
        PostMessageW(controlPanel.load(), WM_COMMAND, MAKEWPARAM(CMD_FRAME_AT_COLUMN, 0), x);
    }

    FrameAcknowledgement frames;  // DFTBuffWait0
    ScreenRefresh screen;

private:
    void drawFrequencyAxis()
    {
        HDC dc = axis_;
        const int step = maxFreqStep.load();
        ScopedPen tickPen(CreatePen(PS_SOLID, 1, RGB(128, 128, 128)));
        ScopedBrush background(CreateSolidBrush(RGB(0, 0, 0)));
        fillArea(dc, background, axisWidth, height);
        setLabelColor(dc, RGB(255, 255, 0));
        ScopedSelect pen(dc, tickPen);
        drawColumnLine(dc, 0, height);
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

    // The picture as shown: with the overlays that are switched on.
    const MemoryCanvas& pictureWithOverlays()
    {
        if (overlayStale_) {
            // The numbers are written on this thread only, so reading needs no lock.
            const ShownNumbers& numbers = shownNumbers();
            drawVoiceOverlay(overlay_, numbers.voice, numbers.voicePrint.maxFreqStep, showPitch.load() == 1,
                             showFormants.load() == 1);
            overlayStale_ = false;
            composedStale_ = true;
        }
        uint32_t* pixels = composed_.pixels();
        if (overlay_.empty || !pixels || !picture_.pixels()) return picture_;
        if (composedStale_) {
            GdiFlush();
            std::memcpy(pixels, picture_.pixels(), sizeof(uint32_t) * width * height);
            for (size_t i = 0; i < overlay_.ink.size(); ++i)
                if (overlay_.ink[i] != OverlayInk::none)
                    pixels[i] = MemoryCanvas::pixelOf(static_cast<COLORREF>(inkColor(overlay_.ink[i])));
            composedStale_ = false;
        }
        return composed_;
    }

    void takeVoice(const VoiceNumbers* voice)
    {
        if (!voice) return;
        ShownNumbers& numbers = shownNumbers();
        std::lock_guard<std::mutex> hold(numbers.lock);
        numbers.voice = *voice;
        overlayStale_ = true;
    }

    void onFrame(HWND window, const DftEngine* engine)
    {
        const int column = nextColumn_;
        // A new run: the last one's overlays do not belong over it.
        if (column == 0) overlayStale_ = true;
        cursorColumn_ = column + 2;
        // A test's slow view: the run must not touch this engine meanwhile.
        if (frameDelayMs_ != 0) Sleep(frameDelayMs_);
        if (engine) {
            keepNumbers(column, *engine);
            paintColumn(column, *engine);
        }
        nextColumn_ = column + 1;
        frames.frameTaken();
        // The new column and the cursor two columns on.
        screen.changed(window, RECT{column, 0, column + 3, height});
    }

    void paintColumn(int column, const DftEngine& engine)
    {
        uint32_t* pixels = picture_.pixels();
        // A column beyond the picture (a frame after the last one) shows nowhere.
        if (pixels == nullptr || column < 0 || column >= width) return;
        GdiFlush();  // what GDI drew into the picture is in its pixels before they are written
        composedStale_ = true;
        const ColorTable colors;  // from the colour settings of this moment
        for (int j = 0; j < displayBinCount; ++j) {
            const BinPixel pixel = voicePrintPixel(j, engine.displayBins[j]);
            if (pixel.row < 0 || pixel.row >= height) continue;
            pixels[pixel.row * width + column] = MemoryCanvas::pixelOf(static_cast<COLORREF>(colors[pixel.colorIndex]));
        }
    }

    // The numbers behind the column, for the readout and the export. A run
    // starts with column 0, and its first frame says how it was analysed.
    static void keepNumbers(int column, const DftEngine& engine)
    {
        ShownNumbers& numbers = shownNumbers();
        std::lock_guard<std::mutex> hold(numbers.lock);
        if (column == 0) {
            startVoicePrintRun(numbers.voicePrint, engine.sampleRate, engine.length, engine.windowKind,
                               maxFreqStep.load());
            clearVoice(numbers.voice);
        }
        takeVoicePrintColumn(numbers.voicePrint, column, engine);
    }

    // A new sound: nothing drawn yet belongs to it. Back to the picture the
    // view starts with, and no numbers for the readout or the export.
    void forget(HWND window)
    {
        {
            ShownNumbers& numbers = shownNumbers();
            std::lock_guard<std::mutex> hold(numbers.lock);
            numbers.voicePrint.columnsTaken = 0;
            clearVoice(numbers.voice);
        }
        fillArea(picture_, GetStockObject(BLACK_BRUSH), width, height);
        overlayStale_ = composedStale_ = true;
        nextColumn_ = 0;
        cursorColumn_ = 0;
        screen.changedAll(window);
        refreshReadoutUnderPointer();
    }

    void moveCursor(HWND window, int column)
    {
        const ColumnSpan span = cursorStrip(cursorColumn_, column);
        cursorColumn_ = column;
        screen.changed(window, RECT{span.left, 0, span.right, height});
    }

    ScopedFont axisFont_{createLabelFont(16)};
    ScopedPen cursorPen_{CreatePen(PS_SOLID, 2, RGB(255, 0, 0))};
    ScopedPen gridPen_{CreatePen(PS_SOLID, 1, RGB(255, 255, 0))};
    MemoryCanvas picture_;
    MemoryCanvas composed_;  // picture_ with the overlays inked over it
    VoiceOverlay overlay_;
    bool overlayStale_ = true;   // overlay_ is not drawn from the current numbers and switches
    bool composedStale_ = true;  // composed_ does not hold picture_ and overlay_ as they are
    MemoryCanvas axis_;  // the side scale; axisFont_ stays selected into it
    uint32_t frameDelayMs_ = testFrameDelayMs();  // the test hook's slow view
    int nextColumn_ = 0;
    int shownColumns_ = 0;  // columns of this run already on the screen
    int cursorColumn_ = 0;
};

std::optional<VoicePrintView> view;

// What the pixel under the mouse shows, from the numbers the view keeps: no
// analysis, no wait.
void showReadout(HWND window, LPARAM lParam)
{
    const int x = GET_X_LPARAM(lParam);
    const int y = GET_Y_LPARAM(lParam);
    const ShownNumbers& numbers = shownNumbers();
    hoverReadout(window, voicePrintReadout(numbers.voicePrint, numbers.voice, x, voicePrintBinOfRow(y)));
}

}  // namespace

LRESULT CALLBACK VoicePrintViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        if (view) view->onClick(window, lParam);
        return 0;
    case WM_MOUSEMOVE:
        if (view && (wParam & MK_LBUTTON)) view->onClick(window, lParam);
        showReadout(window, lParam);
        return 0;
    default:
        return answerViewMessage(view, viewFrames::voicePrint, window, message, wParam, lParam);
    }
}
