// The drawing the views share: their label face, their backgrounds, frames
// and grids, and copying a canvas out.
#ifndef KELVARA_VIEW_DRAWING_H
#define KELVARA_VIEW_DRAWING_H

#include <windows.h>

#include <vector>

#include "win/base/ScopedWin.h"

// A canvas of the given size compatible with `window`'s screen.
inline MemoryCanvas canvasFor(HWND window, int width, int height)
{
    WindowDC screen(window);
    return MemoryCanvas(screen, width, height);
}

// The same, with pixels the view writes itself (MemoryCanvas::withPixels).
inline MemoryCanvas pixelCanvasFor(HWND window, int width, int height)
{
    WindowDC screen(window);
    return MemoryCanvas::withPixels(screen, width, height);
}

// The face every view labels its scales with, `height` pixels high.
inline HFONT createLabelFont(int height)
{
    return CreateFontW(height, 0, 0, 0, 400, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, L"System");
}

// Labels in `color` straight over the picture, without a box behind them.
inline void setLabelColor(HDC dc, COLORREF color)
{
    SetTextColor(dc, color);
    SetBkMode(dc, TRANSPARENT);
}

// Fills the top-left width x height of `dc` with `brush`.
inline void fillArea(HDC dc, HGDIOBJ brush, int width, int height)
{
    ScopedSelect selected(dc, brush);
    PatBlt(dc, 0, 0, width, height, PATCOPY);
}

// A one-pixel frame round a width x height picture, drawn from the top right
// corner round to it again: LineTo leaves out each line's last pixel, so every
// pixel of the frame is drawn once.
inline void drawOutline(HDC dc, HPEN pen, int width, int height)
{
    ScopedSelect selected(dc, pen);
    MoveToEx(dc, width - 1, 0, nullptr);
    LineTo(dc, 0, 0);
    LineTo(dc, 0, height - 1);
    LineTo(dc, width - 1, height - 1);
    LineTo(dc, width - 1, 0);
}

// A line with the selected pen down column `x`, from the top row to the row
// before `bottom`.
inline void drawColumnLine(HDC dc, int x, int bottom)
{
    MoveToEx(dc, x, 0, nullptr);
    LineTo(dc, x, bottom);
}

// A line with the selected pen across row `y`, up to the column before
// `right`.
inline void drawRowLine(HDC dc, int y, int right)
{
    MoveToEx(dc, 0, y, nullptr);
    LineTo(dc, right, y);
}

// The graph views' background: black, with a green line across the picture
// at each of `rows`, then one down it at each of `columns`.
inline void drawGraphGrid(HDC dc, const std::vector<int>& rows, const std::vector<int>& columns, int width,
                          int height)
{
    fillArea(dc, GetStockObject(BLACK_BRUSH), width, height);
    ScopedPen gridPen(CreatePen(PS_SOLID, 1, RGB(0, 159, 98)));
    ScopedSelect selected(dc, gridPen);
    for (int y : rows) drawRowLine(dc, y, width);
    for (int x : columns) drawColumnLine(dc, x, height);
}

// Copies a whole canvas to the top-left corner of `dc`.
inline void copyCanvas(HDC dc, const MemoryCanvas& canvas, DWORD rasterOp = SRCCOPY)
{
    BitBlt(dc, 0, 0, canvas.width(), canvas.height(), canvas, 0, 0, rasterOp);
}

// A graph view's picture over its grid: `picture` is what the view shows,
// `grid` the background that each new frame or sound starts from again.
struct GridPicture {
    GridPicture(HWND window, int width, int height, const std::vector<int>& rows, const std::vector<int>& columns)
        : picture(canvasFor(window, width, height)), grid(canvasFor(window, width, height))
    {
        drawGraphGrid(picture, rows, columns, width, height);
    }
    // The picture as it now stands becomes the background.
    void keepAsGrid() { copyCanvas(grid, picture); }
    void startAgain() { copyCanvas(picture, grid); }

    MemoryCanvas picture;
    MemoryCanvas grid;
};

#endif
