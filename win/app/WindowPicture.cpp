// The picture is composed as the screen composes it: a window's frame, its
// background, its client drawing, then each visible child over it from the
// bottom of the z order up, every one clipped to its parent's client area.
// Each window draws its client area itself (WM_PRINTCLIENT); the frames of
// the children are drawn here from their styles. WM_PRINT is not relied on:
// Wine's default handling of it draws neither the frame (PRF_NONCLIENT) nor
// the children (PRF_CHILDREN).
#include "win/app/WindowPicture.h"

#include "win/base/ScopedWin.h"

namespace {

// Long enough for a display thread that is busy with a frame; a thread that
// has stopped pumping fails the picture rather than hanging the program.
constexpr UINT answerMs = 5000;

bool ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, answerMs, &result) != 0;
}

// A window's own drawing, through `draw`, into a canvas of `area`'s size
// whose origin is the window's corner: the standard controls take the DC's
// origin for their own and clip themselves to their client rectangle in
// device coordinates, so they cannot be drawn at an offset into the picture.
// The canvas starts as a copy of what lies under the window, for the
// controls that leave parts of themselves to show through (a group box's
// inside). Only the part in `shown` goes back into the picture.
template <typename Draw>
bool drawOnCanvas(HDC picture, const RECT& area, Draw draw, const RECT& shown)
{
    MemoryCanvas canvas(picture, area.right - area.left, area.bottom - area.top);
    if (!canvas) return false;
    BitBlt(canvas, 0, 0, canvas.width(), canvas.height(), picture, area.left, area.top, SRCCOPY);
    if (!draw(canvas.dc())) return false;
    BitBlt(picture, shown.left, shown.top, shown.right - shown.left, shown.bottom - shown.top, canvas,
           shown.left - area.left, shown.top - area.top, SRCCOPY);
    return true;
}

// `window`'s outer rectangle or client area in `root`'s client coordinates.
RECT outerIn(HWND window, HWND root)
{
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, root, reinterpret_cast<POINT*>(&r), 2);
    return r;
}
RECT clientIn(HWND window, HWND root)
{
    RECT r{};
    GetClientRect(window, &r);
    MapWindowPoints(window, root, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// The frame of a child window, as the system draws it for the styles that
// Kelvara's children have (no caption, menu or scroll bars), working inward.
void drawFrame(HWND window, HDC dc, int width, int height)
{
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    RECT r{0, 0, width, height};
    if ((exStyle & (WS_EX_STATICEDGE | WS_EX_DLGMODALFRAME)) == WS_EX_STATICEDGE)
        DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT | BF_ADJUST);
    else if ((style & (WS_THICKFRAME | WS_DLGFRAME)) || (exStyle & WS_EX_DLGMODALFRAME))
        DrawEdge(dc, &r, EDGE_RAISED, BF_RECT | BF_ADJUST);
    if ((style & WS_BORDER) && !(style & (WS_THICKFRAME | WS_DLGFRAME))) {
        FrameRect(dc, &r, GetSysColorBrush(COLOR_WINDOWFRAME));
        InflateRect(&r, -1, -1);
    }
    if (exStyle & WS_EX_CLIENTEDGE) DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT | BF_ADJUST);
}

RECT movedBy(const RECT& r, int dx, int dy)
{
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// `clip` is the part of the picture the window may show (its parent's client
// area, clipped by the grandparents' in turn). The root is the picture
// itself: it has no frame in it and its client origin is the picture's.
bool drawWindow(HWND window, HWND root, HDC picture, const RECT& clip)
{
    const RECT outer = outerIn(window, root);
    const RECT client = clientIn(window, root);
    RECT shown{};
    if (!IntersectRect(&shown, &clip, &outer)) return true;
    RECT inside{};
    const bool hasInside = IntersectRect(&inside, &shown, &client) != FALSE;

    const auto drawClient = [&](HDC dc) {
        const WPARAM target = reinterpret_cast<WPARAM>(dc);
        return ask(window, WM_ERASEBKGND, target, 0) && ask(window, WM_PRINTCLIENT, target, PRF_CLIENT);
    };
    const auto drawWhole = [&](HDC dc) {
        // Most controls have no frame: their client area is the whole canvas.
        if (EqualRect(&outer, &client)) return drawClient(dc);
        drawFrame(window, dc, outer.right - outer.left, outer.bottom - outer.top);
        if (!hasInside) return true;
        const RECT clientOnCanvas = movedBy(client, -outer.left, -outer.top);
        return drawOnCanvas(dc, clientOnCanvas, drawClient, movedBy(inside, -outer.left, -outer.top));
    };
    const bool drawn = window == root ? drawClient(picture) : drawOnCanvas(picture, outer, drawWhole, shown);
    if (!drawn) return false;
    if (!hasInside) return true;

    for (HWND child = GetWindow(GetWindow(window, GW_CHILD), GW_HWNDLAST); child;
         child = GetWindow(child, GW_HWNDPREV)) {
        if (!(GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE)) continue;
        if (!drawWindow(child, root, picture, inside)) return false;
    }
    return true;
}

}  // namespace

WindowPicture composeClientPicture(HWND window)
{
    WindowPicture picture;
    RECT client{};
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return picture;
    const int width = client.right;
    const int height = client.bottom;

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 first, as the pixels are kept
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    ScopedBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!bitmap || !bits) return picture;
    HDC dc = CreateCompatibleDC(nullptr);
    if (!dc) return picture;
    bool drawn = false;
    {
        ScopedSelect selected(dc, bitmap);
        drawn = drawWindow(window, window, dc, client);
        GdiFlush();
    }
    DeleteDC(dc);
    if (!drawn) return picture;

    // A 32-bit DIB pixel is blue, green, red, unused: read as a little-endian
    // word that is 0x??RRGGBB.
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    picture.pixels.assign(source, source + static_cast<size_t>(width) * height);
    for (uint32_t& pixel : picture.pixels) pixel &= 0x00FFFFFFu;
    picture.width = width;
    picture.height = height;
    return picture;
}
