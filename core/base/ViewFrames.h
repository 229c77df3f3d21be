// Where the five views sit in the main window's client area, and the
// two-pixel sunken frames the main window paints around the three graph
// views. One table serves the views, which move themselves to their places,
// and the frames, so the two cannot drift apart. Platform-neutral so the
// geometry can be checked without a screen.
#ifndef KELVARA_VIEW_FRAMES_H
#define KELVARA_VIEW_FRAMES_H

#include <array>

#include "core/base/Columns.h"
#include "core/base/CommandIds.h"

namespace viewFrames {

struct Area {
    int left;
    int top;
    int width;
    int height;
};

enum View { waveform, spectrum, voicePrint, windowShape, colorSample, viewCount };

struct Place {
    Area area;
    // The panel control the view is centred over, 0 for none. Those frames
    // move with the dialog font, so `area` is then only the place the view
    // takes while the panel does not exist yet.
    int frameId;
};

// WaveDraw, SPECTRAMDraw, SPECTDraw, WinFunc, ColorSample.
constexpr std::array<Place, viewCount> windowPlaces{{
    {{240, 5, columnCount, 128}, 0},
    {{240, 139, columnCount, 128}, 0},
    {{240, 273, columnCount, 280}, 0},
    {{128, 290, 93, 32}, IDC_WINFUNC_FRAME},
    {{206, 376, 20, 148}, IDC_COLOR_SAMPLE_FRAME},
}};

// The graph views, each in a sunken frame of the main window.
constexpr std::array<View, 3> framedViews{{waveform, spectrum, voicePrint}};

// The readout line, in the room under the voice print's frame: as wide as
// the voice print, a line of the panel's font high.
constexpr Area readoutArea{240, 558, columnCount, 20};

struct Rect {
    int left;
    int top;
    int right;
    int bottom;
};

// The inner rectangle hugs the view (its right and bottom lie on the first
// pixel past the view), the outer one is a pixel further out on every side.
constexpr Rect innerFrame(Area a) { return {a.left - 1, a.top - 1, a.left + a.width, a.top + a.height}; }
constexpr Rect outerFrame(Area a) { return {a.left - 2, a.top - 2, a.left + a.width + 1, a.top + a.height + 1}; }

// The pixels the frames cover, as a rectangle whose right and bottom lie one
// past the last column and row painted: a frame's path runs along its
// rectangle's right and bottom lines, so they are painted too.
constexpr Rect framesExtent()
{
    Rect extent = outerFrame(windowPlaces[framedViews[0]].area);
    for (View view : framedViews) {
        const Rect r = outerFrame(windowPlaces[view].area);
        if (r.left < extent.left) extent.left = r.left;
        if (r.top < extent.top) extent.top = r.top;
        if (r.right > extent.right) extent.right = r.right;
        if (r.bottom > extent.bottom) extent.bottom = r.bottom;
    }
    return {extent.left, extent.top, extent.right + 1, extent.bottom + 1};
}

struct Stroke {
    int x;
    int y;
    bool light;  // drawn with the white pen; otherwise with the grey frame pen
};

// A closed path that starts at the top-right corner (the pen's start point):
// grey along the top and down the left edge, white along the bottom and up the
// right edge, so the frame looks sunk into the window.
struct FramePath {
    int startX;
    int startY;
    std::array<Stroke, 4> strokes;
};

constexpr FramePath framePath(Rect r)
{
    return {r.right, r.top,
            {{{r.left, r.top, false}, {r.left, r.bottom, false}, {r.right, r.bottom, true}, {r.right, r.top, true}}}};
}

}  // namespace viewFrames

#endif
