// Small move-only owners of GDI handles, and the few placement and drawing
// helpers the child windows share. Copying is forbidden on purpose: a copied owner deletes
// its pen or releases its DC twice.
//
// Windows refuses to delete a pen, brush, font or bitmap that is still selected
// into a device context, so owners that select something give it back before
// the object can go: ScopedSelect restores on scope exit, and MemoryCanvas
// selects its original bitmap back before deleting its own.
#ifndef KELVARA_SCOPED_WIN_H
#define KELVARA_SCOPED_WIN_H

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// A handle that `Release` lets go of, owned by one holder at a time.
template <typename Handle, typename Release>
class OwnedHandle {
public:
    OwnedHandle() = default;
    explicit OwnedHandle(Handle handle) : handle_(handle) {}
    ~OwnedHandle() { reset(); }
    OwnedHandle(OwnedHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    OwnedHandle& operator=(OwnedHandle&& other) noexcept
    {
        if (this != &other) {
            reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    OwnedHandle(const OwnedHandle&) = delete;
    OwnedHandle& operator=(const OwnedHandle&) = delete;

    Handle get() const { return handle_; }
    operator Handle() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

    void reset(Handle handle = nullptr)
    {
        if (handle_) Release{}(handle_);
        handle_ = handle;
    }
    // Gives the handle up to the caller, who now lets go of it.
    Handle release() { return std::exchange(handle_, nullptr); }

private:
    Handle handle_ = nullptr;
};

struct DeleteGdiObject {
    void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
struct CloseKernelHandle {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};

// A pen, brush, font or bitmap, deleted with DeleteObject.
template <typename Handle>
using GdiObject = OwnedHandle<Handle, DeleteGdiObject>;

using ScopedPen = GdiObject<HPEN>;
using ScopedBrush = GdiObject<HBRUSH>;
using ScopedFont = GdiObject<HFONT>;
using ScopedBitmap = GdiObject<HBITMAP>;

// A kernel object's handle (an event, a file), closed with CloseHandle.
using ScopedHandle = OwnedHandle<HANDLE, CloseKernelHandle>;

// CreateFileW says "no file" with INVALID_HANDLE_VALUE, not null; this makes
// its result fit a ScopedHandle.
inline HANDLE fileOrNull(HANDLE file) { return file == INVALID_HANDLE_VALUE ? nullptr : file; }

// Selects an object into a DC and puts the previous one back on scope exit.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelect()
    {
        if (dc_ && previous_) SelectObject(dc_, previous_);
    }
    ScopedSelect(ScopedSelect&& other) noexcept
        : dc_(std::exchange(other.dc_, nullptr)), previous_(std::exchange(other.previous_, nullptr))
    {
    }
    ScopedSelect& operator=(ScopedSelect&&) = delete;
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;

private:
    HDC dc_;
    HGDIOBJ previous_;
};

// A window's DC from GetDC, released to the same window.
class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    ~WindowDC()
    {
        if (dc_) ReleaseDC(window_, dc_);
    }
    WindowDC(WindowDC&& other) noexcept
        : window_(std::exchange(other.window_, nullptr)), dc_(std::exchange(other.dc_, nullptr))
    {
    }
    WindowDC& operator=(WindowDC&&) = delete;
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;

    HDC get() const { return dc_; }
    operator HDC() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window) { dc_ = BeginPaint(window, &paint_); }
    ~PaintScope() { EndPaint(window_, &paint_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;

    HDC get() const { return dc_; }
    operator HDC() const { return dc_; }
    const RECT& area() const { return paint_.rcPaint; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// An off-screen picture: a memory DC compatible with `reference` and a
// compatible bitmap of the given size selected into it. Compatible with the
// window's DC, not with the memory DC, which would give a monochrome bitmap.
class MemoryCanvas {
public:
    MemoryCanvas() = default;
    MemoryCanvas(HDC reference, int width, int height)
        : dc_(CreateCompatibleDC(reference)), bitmap_(CreateCompatibleBitmap(reference, width, height)),
          width_(width), height_(height)
    {
        if (dc_ && bitmap_) original_ = SelectObject(dc_, bitmap_);
    }
    ~MemoryCanvas() { reset(); }
    MemoryCanvas(MemoryCanvas&& other) noexcept { *this = std::move(other); }
    MemoryCanvas& operator=(MemoryCanvas&& other) noexcept
    {
        if (this != &other) {
            reset();
            dc_ = std::exchange(other.dc_, nullptr);
            bitmap_ = std::exchange(other.bitmap_, nullptr);
            original_ = std::exchange(other.original_, nullptr);
            width_ = std::exchange(other.width_, 0);
            height_ = std::exchange(other.height_, 0);
        }
        return *this;
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;

    HDC dc() const { return dc_; }
    operator HDC() const { return dc_; }
    int width() const { return width_; }
    int height() const { return height_; }
    explicit operator bool() const { return dc_ != nullptr && bitmap_ != nullptr; }

    // Deletes the DC and the bitmap. Whatever else the owner selected into the
    // DC (a pen, a font) is no longer held by it afterwards and can be deleted.
    void reset()
    {
        if (dc_ && original_) SelectObject(dc_, original_);
        if (bitmap_) DeleteObject(bitmap_);
        if (dc_) DeleteDC(dc_);
        dc_ = nullptr;
        bitmap_ = nullptr;
        original_ = nullptr;
        width_ = height_ = 0;
    }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

// Puts a child window at its place in the parent's client area, and on top of
// its siblings when `onTop`. Moves only when something differs: the move
// itself sends WM_SIZE, and the views answer WM_SIZE with this call.
inline void keepWindowAt(HWND window, int x, int y, int width, int height, bool onTop = false)
{
    RECT r{};
    GetWindowRect(window, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    const bool placed = r.left == x && r.top == y && r.right - r.left == width && r.bottom - r.top == height;
    const bool raised = !onTop || GetWindow(window, GW_HWNDPREV) == nullptr;
    if (placed && raised) return;
    SetWindowPos(window, HWND_TOP, x, y, width, height, SWP_NOACTIVATE | (onTop ? 0 : SWP_NOZORDER));
}

// Centres a small child window over the control `frameId` of `frameOwner`
// (the panel), whose place depends on the dialog font; falls back to the
// fixed place while there is no panel or frame yet. The window goes above its
// siblings, or the panel, created after it, would hide it.
inline void keepWindowInFrame(HWND window, HWND frameOwner, int frameId, int fallbackX, int fallbackY, int width,
                              int height)
{
    const HWND frame = frameOwner ? GetDlgItem(frameOwner, frameId) : nullptr;
    if (!frame) {
        keepWindowAt(window, fallbackX, fallbackY, width, height);
        return;
    }
    RECT r{};
    GetWindowRect(frame, &r);
    MapWindowPoints(nullptr, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    const int x = r.left + ((r.right - r.left) - width) / 2;
    const int y = r.top + ((r.bottom - r.top) - height) / 2;
    keepWindowAt(window, x, y, width, height, true);
}

// Whether the system will send `window` a WM_PAINT for what it has just
// invalidated. Not when the main window is minimised or the view is hidden,
// nor when no invalid region was kept (the strip lay outside the window, or
// the system dropped it for a covered window). The views that acknowledge a
// frame in their paint must then acknowledge it at once, or the voice-print
// run waits for ever.
inline bool paintWillFollow(HWND window)
{
    if (IsIconic(GetAncestor(window, GA_ROOT))) return false;
    if (!IsWindowVisible(window)) return false;
    return GetUpdateRect(window, nullptr, FALSE) != FALSE;
}

// The hand-over of a frame from a painting view back to the voice-print run:
// after the view has drawn a frame into its bitmap it owes the run its event,
// set in the paint that shows the frame. A view that gets no paint (its main
// window minimised, nothing left to paint) acknowledges at once; and since a
// window can be minimised after the frame was drawn but before its paint
// came, a timer looks again while a frame is pending.
class FrameAcknowledgement {
public:
    static constexpr UINT_PTR timerId = 1;

    void open(const std::wstring& eventName) { event_.reset(OpenEventW(EVENT_ALL_ACCESS, TRUE, eventName.c_str())); }
    void close() { event_.reset(); }

    // After a frame has been drawn and its strip invalidated; `canShow` is
    // false for a frame that lies outside the window.
    void frameDrawn(HWND window, bool canShow = true)
    {
        pending_ = true;
        if (!canShow || !paintWillFollow(window))
            acknowledge();
        else
            SetTimer(window, timerId, checkMs, nullptr);
    }
    void painted()
    {
        if (pending_) acknowledge();
    }
    void onTimer(HWND window)
    {
        if (pending_ && !paintWillFollow(window)) acknowledge();
        if (!pending_) KillTimer(window, timerId);
    }

private:
    static constexpr UINT checkMs = 100;

    void acknowledge()
    {
        if (event_) SetEvent(event_);
        pending_ = false;
    }

    ScopedHandle event_;
    bool pending_ = false;
};

// Shows a view that has just been created and paints it at once.
inline void showView(HWND window)
{
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
}

// The face every view labels its scales with, `height` pixels high.
inline HFONT createLabelFont(int height)
{
    return CreateFontW(height, 0, 0, 0, 400, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, L"System");
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

// A line of `color` across the picture at each of `rows`, then one down it at
// each of `columns`.
inline void drawGridLines(HDC dc, COLORREF color, const std::vector<int>& rows, const std::vector<int>& columns,
                          int width, int height)
{
    ScopedPen gridPen(CreatePen(PS_SOLID, 1, color));
    ScopedSelect selected(dc, gridPen);
    for (int y : rows) {
        MoveToEx(dc, 0, y, nullptr);
        LineTo(dc, width, y);
    }
    for (int x : columns) {
        MoveToEx(dc, x, 0, nullptr);
        LineTo(dc, x, height);
    }
}

// Copies a whole canvas to the top-left corner of `dc`.
inline void copyCanvas(HDC dc, const MemoryCanvas& canvas, DWORD rasterOp = SRCCOPY)
{
    BitBlt(dc, 0, 0, canvas.width(), canvas.height(), canvas, 0, 0, rasterOp);
}

#endif
