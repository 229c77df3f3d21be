// WaveDraw: the whole sound as an oscillogram with a time scale, where the user
// marks the stretch to play and analyse. Runs on the display thread.
//
// Grid, trace and labels live in a back buffer that only a new sound (1002)
// rewrites; a paint copies it with the selection inverted and draws the two
// selection lines and the cursor on the window, so moving them never needs a
// re-render.
#include "core/analysis/DftEngine.h"
#include "core/audio/SoundBuffer.h"
#include "core/base/CommandIds.h"
#include "core/panel/Activity.h"
#include "core/panel/SelectionState.h"
#include "win/base/LiveView.h"
#include "win/base/WindowRegistry.h"
#include "core/views/ReadoutText.h"
#include "core/views/ViewGeometry.h"
#include "win/views/ViewDrawing.h"
#include "win/views/Readout.h"
#include "win/views/ViewWindow.h"

#include <windowsx.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int width = columnCount;
constexpr int height = waveformHeight;

// Columns come from messages as unsigned words; keep absurd ones off-screen
// rather than letting them wrap to negative places.
int columnPlace(uint32_t column)
{
    return static_cast<int>(std::min<uint32_t>(column, 1u << 20));
}

void invalidateColumns(HWND window, ColumnSpan span)
{
    RECT r{span.left, 0, span.right, height};
    InvalidateRect(window, &r, FALSE);
}

int textWidth(HDC dc, const std::wstring& text)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

void drawLabels(HDC dc, double seconds)
{
    const std::wstring start = secondsLabel(0.0);
    TextOutW(dc, startLabelX, timeLabelTop, start.c_str(), static_cast<int>(start.size()));
    const std::wstring total = secondsLabel(seconds);
    TextOutW(dc, totalLabelX(textWidth(dc, total)), timeLabelTop, total.c_str(), static_cast<int>(total.size()));
    const std::wstring half = secondsLabel(seconds * 0.5);
    TextOutW(dc, halfLabelX(textWidth(dc, half)), timeLabelTop, half.c_str(), static_cast<int>(half.size()));
}

class WaveformView {
public:
    explicit WaveformView(HWND window) : canvas_(window, width, height, waveformGridRows(), waveformGridColumns())
    {
        canvas_.keepAsGrid();
        SelectObject(canvas_.picture, labelFont_);
        setLabelColor(canvas_.picture, RGB(0, 255, 98));
        frames.open(waveformDoneEventName);
    }

    // What the view shows.
    void draw(HDC paint) const
    {
        const uint32_t start = selStartX.load();
        const uint32_t end = selEndX.load();
        const SelectionCopies copies = selectionCopies(start, end);
        for (int i = 0; i < copies.count; ++i) {
            const BandCopy& part = copies.parts[i];
            BitBlt(paint, part.span.left, 0, part.span.right - part.span.left, height, canvas_.picture, part.span.left,
                   0, part.inverted ? NOTSRCCOPY : SRCCOPY);
        }
        ScopedSelect pen(paint, selectionPen_);
        drawColumnLine(paint, columnPlace(start), height);
        drawColumnLine(paint, columnPlace(end), height);
        SelectObject(paint, cursorPen_);
        drawColumnLine(paint, columnPlace(cursorX.load()), height);
    }

    void onCommand(HWND window, WPARAM wParam, LPARAM lParam)
    {
        switch (LOWORD(wParam)) {
        case CMD_CURSOR_COLUMN:
            moveCursor(window, static_cast<uint32_t>(lParam));
            break;
        case CMD_NEW_SOUND:
            onNewSound(window, reinterpret_cast<const SoundBuffer*>(lParam));
            refreshReadoutUnderPointer();
            break;
        case CMD_FRAME:
            if (lParam)
                moveCursor(window, static_cast<uint32_t>(reinterpret_cast<const DftEngine*>(lParam)->frameColumn));
            break;
        case CMD_LIVE_TRACE:
            onLiveTrace(window, static_cast<int>(lParam));
            break;
        case CMD_SELECTION_CHANGED:
            InvalidateRect(window, nullptr, FALSE);
            refreshReadoutUnderPointer();
            break;
        default:
            break;
        }
    }

    const WaveformColumns& columns() const { return columns_; }

    // What the panel hands this view is the sound, and it waits only for the
    // drawing into the back buffer, not for a paint.
    FrameAcknowledgement frames;  // DFTBuffWait2
    ScreenRefresh screen;  // for the cursor, which moves with every frame of a run

private:
    // 1002. A sound without samples or without a rate (nothing loaded yet, a
    // failed load or recording) shows the bare grid labelled "0.00 sec"; the
    // event is signalled all the same, since the panel waits for it.
    void onNewSound(HWND window, const SoundBuffer* sound)
    {
        canvas_.startAgain();
        HDC dc = canvas_.picture;

        const bool hasSamples = sound && sound->ready.load() == 1 && isAllocated(sound->samples) &&
                                sound->sampleCount > 0 && sound->rate() > 0;
        double seconds = 0.0;
        if (hasSamples) {
            const std::vector<PixelPoint> trace = waveformTrace(*sound);
            ScopedSelect pen(dc, selectionPen_);
            MoveToEx(dc, trace.front().x, trace.front().y, nullptr);
            for (size_t i = 1; i < trace.size(); ++i) LineTo(dc, trace[i].x, trace[i].y);
            seconds = soundSeconds(sound->sampleCount, sound->rate());
        }
        drawLabels(dc, seconds);
        // The readout's samples, taken while the panel waits: afterwards a
        // load may free the sound's samples at any moment.
        columns_ = hasSamples ? waveformColumnsOf(*sound) : WaveformColumns{};

        InvalidateRect(window, nullptr, FALSE);
        frames.frameTaken();
    }

    // A recording coming in: the trace grows from the left over the planned
    // length, point by point as the whole sound's trace has them. The
    // finished recording comes with 1002 and is drawn anew.
    void onLiveTrace(HWND window, int columnsIn)
    {
        HDC dc = canvas_.picture;
        if (columnsIn == 0) {
            canvas_.startAgain();
            drawLabels(dc, liveView().plannedSeconds.load());
            columns_ = WaveformColumns{};
            liveColumns_ = 0;
            liveLast_ = PixelPoint{0, waveformZeroRow};
            InvalidateRect(window, nullptr, FALSE);
            return;
        }
        const LiveView& live = liveView();
        const int first = liveColumns_;
        const int end = std::min(columnsIn, width);
        ScopedSelect pen(dc, selectionPen_);
        MoveToEx(dc, liveLast_.x, liveLast_.y, nullptr);
        for (int j = first; j < end; ++j) {
            if (live.lowDrawn[j].load()) liveLast_ = PixelPoint{j, live.lowRow[j].load()}, LineTo(dc, liveLast_.x, liveLast_.y);
            if (live.highDrawn[j].load()) liveLast_ = PixelPoint{j, live.highRow[j].load()}, LineTo(dc, liveLast_.x, liveLast_.y);
        }
        if (end <= first) return;
        liveColumns_ = end;
        screen.changed(window, RECT{std::max(0, first - 1), 0, end + 1, height});
    }

    void moveCursor(HWND window, uint32_t column)
    {
        const uint32_t old = cursorX.exchange(column);
        const ColumnSpan strip = cursorStrip(old, column);
        screen.changed(window, RECT{strip.left, 0, strip.right, height});
    }

    ScopedPen selectionPen_{CreatePen(PS_SOLID, 1, RGB(0, 255, 0))};
    ScopedPen cursorPen_{CreatePen(PS_SOLID, 2, RGB(50, 50, 255))};
    ScopedFont labelFont_{createLabelFont(15)};
    // The picture holds grid, trace and labels, and labelFont_ stays selected
    // into it; the grid is empty, to start each new sound from.
    GridPicture canvas_;
    WaveformColumns columns_;  // the sample under each column, for the readout
    int liveColumns_ = 0;      // columns of a recording coming in drawn so far
    PixelPoint liveLast_{0, waveformZeroRow};
};

std::optional<WaveformView> view;

// Sent, not posted: the panel's refresh must have run before the next drag
// step reads what it rewrote (selEndX).
void tellPanel(RefreshKind kind)
{
    SendMessageW(controlPanel.load(), WM_COMMAND, MAKEWPARAM(CMD_CURSOR_RUN, 0), static_cast<LPARAM>(kind));
}

void onButtonDown(HWND window, uint32_t x)
{
    selStartX = x;
    selEndX = x;
    cursorX = x;
    InvalidateRect(window, nullptr, FALSE);
}

void onDragStep(HWND window, uint32_t x)
{
    const uint32_t old = selEndX.exchange(x);
    invalidateColumns(window, dragStrip(old, x));
    tellPanel(RefreshKind::Selection);
}

void onButtonUp(HWND window, uint32_t x)
{
    const uint32_t old = selEndX.exchange(x);
    tellPanel(x == selStartX.load() ? RefreshKind::FramePeriod : RefreshKind::Selection);
    invalidateColumns(window, releaseStrip(old, x));
}

}  // namespace

LRESULT CALLBACK WaveformViewProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        onButtonDown(window, LOWORD(lParam));
        return 0;
    case WM_MOUSEMOVE:
        if (wParam & MK_LBUTTON) onDragStep(window, LOWORD(lParam));
        if (view)
            hoverReadout(window, waveformReadout(view->columns(), GET_X_LPARAM(lParam), selStartX.load(), selEndX.load()));
        return 0;
    case WM_LBUTTONUP:
        onButtonUp(window, LOWORD(lParam));
        return 0;
    default:
        return answerViewMessage(view, viewFrames::waveform, window, message, wParam, lParam);
    }
}
