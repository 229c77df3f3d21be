// SPECTRAMDraw: the magnitude spectrum of one frame as a green line over a
// fixed grid, 30 Hz per pixel. Runs on the display thread.
//
// A frame (1004) is taken by copying its numbers; the voice-print run waits on
// DFTBuffWait1 only for that, so the engine is not rewritten while it is read.
// The curve is drawn from the copy when the screen is next refreshed (or the
// picture is asked for): the back buffer is restored from a copy of the grid
// and the latest frame drawn over it, so of hundreds of frames a second only
// those that are seen are drawn. Only the rows the old and the new curve and
// peak text cover reach the screen.
//
// With the pitch or formant overlay on, a frame that is one of the last
// run's columns gets ticks on the frequency axis: at F0 and its first
// harmonics, at the formants (VoiceOverlay.h says where); so does the frame
// at the waveform cursor, whose voice the cursor run sends before it.
#include "core/analysis/DftEngine.h"
#include "core/audio/SoundBuffer.h"
#include "core/base/CommandIds.h"
#include "core/panel/Parameters.h"
#include "core/views/ReadoutText.h"
#include "core/views/VoiceOverlay.h"
#include "core/views/ViewGeometry.h"
#include "win/views/ViewDrawing.h"
#include "win/views/Readout.h"
#include "win/views/ShownNumbers.h"
#include "win/views/ViewWindow.h"

#include <windowsx.h>
#include "win/base/WindowRegistry.h"

#include <algorithm>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

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
        frames.open(spectrumDoneEventName);
        screen.beforeShow = [this](HWND shown, const RECT&) {
            drawLatestFrame();
            SetWindowTextW(shown, peakText_.c_str());
            refreshReadoutUnderPointer();  // the level under a still pointer is the new frame's
            return std::exchange(unshown_, RECT{});
        };
    }

    void draw(HDC dc)
    {
        drawLatestFrame();
        copyCanvas(dc, canvas_.picture);
    }

    void onCommand(HWND window, WPARAM wParam, LPARAM lParam)
    {
        if (LOWORD(wParam) == CMD_FRAME) onFrame(window, reinterpret_cast<const DftEngine*>(lParam));
        if (LOWORD(wParam) == CMD_FORGET_ANALYSIS) forget(window);
        if (LOWORD(wParam) == CMD_FRAME_VOICE && lParam) {
            frameVoice_ = *reinterpret_cast<const VoiceColumn*>(lParam);
            frameVoiceComing_ = true;
        }
        if (LOWORD(wParam) == CMD_OVERLAYS_CHANGED) {
            stale_ = true;
            screen.changedAll(window);
        }
    }

    FrameAcknowledgement frames;  // DFTBuffWait1
    ScreenRefresh screen;

private:
    static void drawLabels(HDC dc)
    {
        ScopedFont font(createLabelFont(15));
        ScopedSelect selected(dc, font);
        setLabelColor(dc, labelColor);
        for (const TextPlace& label : spectrumLabels)
            TextOutW(dc, label.x, label.y, label.text, static_cast<int>(std::wcslen(label.text)));
    }

    // Draws the curve, one call for all its lines, and answers the pixels
    // it may have covered.
    RECT drawCurve(HDC dc, const FrameNumbers& frame)
    {
        const int n = frame.length;
        // A frame from an engine that was never set up has no magnitudes.
        if (n < 2) return RECT{};
        const double* m = frame.magnitude;
        curve_.clear();
        curve_.push_back(POINT{0, spectrumRow(m[0])});
        for (int i = 1; i <= n / 2 - 1; ++i)
            curve_.push_back(POINT{spectrumEntryX(i, n, frame.rate), spectrumRow(m[i])});
        const PixelPoint end = spectrumClosingPoint(n, frame.rate);
        curve_.push_back(POINT{end.x, end.y});
        ScopedSelect pen(dc, curvePen_);
        Polyline(dc, curve_.data(), static_cast<int>(curve_.size()));
        RECT covered{curve_[0].x, curve_[0].y, curve_[0].x + 1, curve_[0].y + 1};
        for (const POINT& p : curve_) {
            covered.left = std::min(covered.left, p.x);
            covered.right = std::max(covered.right, p.x + 1);
            covered.top = std::min(covered.top, p.y);
            covered.bottom = std::max(covered.bottom, p.y + 1);
        }
        return covered;
    }

    // The frame's strongest entry in the top-right corner, after the curve
    // and never into the grid copy. The same text becomes the window's own
    // when the picture is shown, for screen readers and tests. Answers where
    // the text lies.
    RECT drawPeak(const FrameNumbers& frame)
    {
        peakText_ = peakText(framePeak(frame));
        const std::wstring& text = peakText_;
        HDC dc = canvas_.picture;
        ScopedSelect font(dc, peakFont_);
        setLabelColor(dc, labelColor);
        const UINT align = SetTextAlign(dc, TA_RIGHT | TA_TOP);
        TextOutW(dc, peakTextRight, peakTextTop, text.c_str(), static_cast<int>(text.size()));
        SetTextAlign(dc, align);
        SIZE size{};
        GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
        // A pixel more each way: a glyph may overhang its advance.
        return RECT{peakTextRight - size.cx - 1, peakTextTop - 1, peakTextRight + 1, peakTextTop + size.cy + 1};
    }

    // The overlays' ticks for the frame, rising from the bottom edge;
    // answers where they lie.
    RECT drawTicks(HDC dc, const ShownNumbers& numbers)
    {
        const VoiceColumn* column = voiceColumnOfFrame(numbers.voice, numbers.frame.firstSample, numbers.frame.length);
        if (!column && hasFrameVoice_) column = &frameVoice_;
        if (!column) return RECT{};
        RECT covered{};
        for (const SpectrumTick& tick : spectrumTicks(*column, showPitch.load() == 1, showFormants.load() == 1)) {
            ScopedSelect pen(dc, tick.ink == OverlayInk::pitch ? pitchTickPen_ : formantTickPen_);
            MoveToEx(dc, tick.x, height - spectrumTickLength, nullptr);
            LineTo(dc, tick.x, height);
            const RECT line{tick.x, height - spectrumTickLength, tick.x + 1, height};
            UnionRect(&covered, &covered, &line);
        }
        return covered;
    }

    void onFrame(HWND window, const DftEngine* engine)
    {
        if (engine) {
            ShownNumbers& numbers = shownNumbers();
            std::lock_guard<std::mutex> hold(numbers.lock);
            takeFrame(numbers.frame, *engine);
        }
        hasFrame_ = engine != nullptr;
        hasFrameVoice_ = std::exchange(frameVoiceComing_, false);
        frames.frameTaken();
        stale_ = true;
        // Narrowed by drawLatestFrame to what the curve really changed.
        screen.changedAll(window);
    }

    // A new sound: the grid alone, as the view starts, and no frame kept.
    void forget(HWND window)
    {
        {
            ShownNumbers& numbers = shownNumbers();
            std::lock_guard<std::mutex> hold(numbers.lock);
            numbers.frame.length = 0;
        }
        hasFrame_ = false;
        hasFrameVoice_ = frameVoiceComing_ = false;
        stale_ = true;
        peakText_.clear();
        SetWindowTextW(window, L"");
        screen.changedAll(window);
        refreshReadoutUnderPointer();
    }

    // Brings the picture up to the last frame taken. What the frame before
    // drew and what this one draws is yet to be shown, even when a
    // WM_PRINTCLIENT was the first to ask for it.
    void drawLatestFrame()
    {
        if (!stale_) return;
        stale_ = false;
        canvas_.startAgain();
        RECT drawn{};
        if (hasFrame_) {
            ShownNumbers& numbers = shownNumbers();
            std::lock_guard<std::mutex> hold(numbers.lock);
            const RECT curve = drawCurve(canvas_.picture, numbers.frame);
            const RECT peak = drawPeak(numbers.frame);
            const RECT ticks = drawTicks(canvas_.picture, numbers);
            UnionRect(&drawn, &curve, &peak);
            UnionRect(&drawn, &drawn, &ticks);
        }
        RECT changed;
        UnionRect(&changed, &drawn, &drawn_);
        drawn_ = drawn;
        RECT unshown;
        UnionRect(&unshown, &unshown_, &changed);
        unshown_ = unshown;
    }

    static constexpr COLORREF labelColor = RGB(0, 200, 98);
    ScopedPen curvePen_{CreatePen(PS_SOLID, 1, RGB(0, 255, 0))};
    ScopedFont peakFont_{createLabelFont(15)};
    ScopedPen pitchTickPen_{CreatePen(PS_SOLID, 1, static_cast<COLORREF>(pitchInkColor))};
    ScopedPen formantTickPen_{CreatePen(PS_SOLID, 1, static_cast<COLORREF>(formantInkColor))};
    GridPicture canvas_;  // the grid keeps the labels
    RECT drawn_{};        // what the frame now in canvas_ drew over the grid
    RECT unshown_{};      // what changed in canvas_ since the screen last showed it
    bool hasFrame_ = false;  // a frame was posted (rather than no engine)
    VoiceColumn frameVoice_;          // the voice of a cursor-run frame
    bool frameVoiceComing_ = false;   // ... of the next frame to come
    bool hasFrameVoice_ = false;      // ... of the frame taken last
    bool stale_ = false;     // canvas_ does not show the last frame taken yet
    std::vector<POINT> curve_;  // kept, so drawing allocates nothing
    std::wstring peakText_;
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
