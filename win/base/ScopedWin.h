// Small move-only owners of handles: GDI objects, kernel handles, device
// contexts, an off-screen canvas. Copying is forbidden on purpose: a copied
// owner deletes its pen or releases its DC twice.
//
// Windows refuses to delete a pen, brush, font or bitmap that is still selected
// into a device context, so owners that select something give it back before
// the object can go: ScopedSelect restores on scope exit, and MemoryCanvas
// selects its original bitmap back before deleting its own.
#ifndef KELVARA_SCOPED_WIN_H
#define KELVARA_SCOPED_WIN_H

#include <windows.h>

#include <cstdint>
#include <utility>

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

    // A canvas whose pixels the program writes itself: a top-down 32-bit DIB
    // section, one 0x00RRGGBB word a pixel (pixelOf), row after row. Hundreds
    // of pixels a frame cost one store each instead of a call into GDI each.
    // Call GdiFlush before writing to pixels() after GDI has drawn into it.
    static MemoryCanvas withPixels(HDC reference, int width, int height)
    {
        MemoryCanvas canvas;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down: row 0 first
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        canvas.dc_ = CreateCompatibleDC(reference);
        canvas.bitmap_ = CreateDIBSection(reference, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        canvas.width_ = width;
        canvas.height_ = height;
        if (canvas.dc_ && canvas.bitmap_) {
            canvas.original_ = SelectObject(canvas.dc_, canvas.bitmap_);
            canvas.pixels_ = static_cast<uint32_t*>(bits);
        }
        return canvas;
    }
    // A DIB section's pixel of `color` (0x00BBGGRR).
    static uint32_t pixelOf(COLORREF color)
    {
        return (uint32_t{GetRValue(color)} << 16) | (uint32_t{GetGValue(color)} << 8) | GetBValue(color);
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
            pixels_ = std::exchange(other.pixels_, nullptr);
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
    // The pixels of a canvas made withPixels; null for any other.
    uint32_t* pixels() const { return pixels_; }

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
        pixels_ = nullptr;
        width_ = height_ = 0;
    }

private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ original_ = nullptr;
    int width_ = 0;
    int height_ = 0;
    uint32_t* pixels_ = nullptr;
};

#endif
