// Expected pictures and the wait for a window to show one.
#include "driver/Pictures.h"

#include <algorithm>
#include <sstream>

namespace ui {

ExpectedPicture::ExpectedPicture(int width, int height, Rgb fill)
    : width_(width), height_(height), pixels_(static_cast<size_t>(width) * height)
{
    for (Pixel& p : pixels_) p.colors.assign(1, fill);
}

ExpectedPicture::Pixel& ExpectedPicture::at(int x, int y)
{
    return pixels_[static_cast<size_t>(y) * width_ + x];
}

const ExpectedPicture::Pixel& ExpectedPicture::at(int x, int y) const
{
    return pixels_[static_cast<size_t>(y) * width_ + x];
}

void ExpectedPicture::set(int x, int y, Rgb color)
{
    // Drawings may run past the edges (a line to x = 551); what falls outside is clipped.
    if (!inside(x, y)) return;
    Pixel& p = at(x, y);
    p.any = false;
    p.colors.assign(1, color);
}

void ExpectedPicture::setRow(int y, Rgb color)
{
    for (int x = 0; x < width_; ++x) set(x, y, color);
}

void ExpectedPicture::setColumn(int x, Rgb color)
{
    for (int y = 0; y < height_; ++y) set(x, y, color);
}

void ExpectedPicture::fillRect(int left, int top, int right, int bottom, Rgb color)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) set(x, y, color);
}

void ExpectedPicture::allow(int x, int y, Rgb other)
{
    if (!inside(x, y)) return;
    Pixel& p = at(x, y);
    if (std::find(p.colors.begin(), p.colors.end(), other) == p.colors.end()) p.colors.push_back(other);
}

void ExpectedPicture::allowRect(int left, int top, int right, int bottom, Rgb other)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) allow(x, y, other);
}

void ExpectedPicture::open(int x, int y)
{
    if (inside(x, y)) at(x, y).any = true;
}

void ExpectedPicture::openRect(int left, int top, int right, int bottom)
{
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) open(x, y);
}

bool ExpectedPicture::accepts(int x, int y, Rgb color) const
{
    if (!inside(x, y)) return false;
    const Pixel& p = at(x, y);
    return p.any || std::find(p.colors.begin(), p.colors.end(), color) != p.colors.end();
}

std::string ExpectedPicture::differences(const Image& image, int listed) const
{
    std::ostringstream out;
    if (image.width != width_ || image.height != height_) {
        out << "picture is " << image.width << " x " << image.height << ", expected " << width_ << " x " << height_;
        return out.str();
    }
    int wrong = 0;
    std::ostringstream first;
    for (int y = 0; y < height_; ++y) {
        for (int x = 0; x < width_; ++x) {
            const Rgb got = image.at(x, y);
            if (accepts(x, y, got)) continue;
            if (wrong++ < listed) {
                first << "\n  (" << x << ", " << y << ") is " << got << ", expected";
                const Pixel& p = at(x, y);
                for (size_t i = 0; i < p.colors.size(); ++i) first << (i ? " or " : " ") << p.colors[i];
            }
        }
    }
    if (wrong == 0) return "";
    out << wrong << " wrong pixel" << (wrong == 1 ? "" : "s") << ", the first:" << first.str();
    return out.str();
}

namespace {

Image captureWhile(const std::function<Image()>& capture, const std::function<bool(const Image&)>& condition,
                   DWORD timeoutMs)
{
    Image image;
    waitFor([&] {
        image = capture();
        return !image.empty() && condition(image);
    }, timeoutMs);
    return image;
}

}  // namespace

Image waitForCapture(HWND window, const std::function<bool(const Image&)>& condition, DWORD timeoutMs)
{
    return captureWhile([&] { return captureClient(window); }, condition, timeoutMs);
}

Image captureVisibleClient(HWND window)
{
    RECT r{};
    GetClientRect(window, &r);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&r, origin.x, origin.y);
    HWND top = GetAncestor(window, GA_ROOT);
    if (top && top != window) {
        RECT topClient{};
        GetClientRect(top, &topClient);
        POINT topOrigin{0, 0};
        ClientToScreen(top, &topOrigin);
        OffsetRect(&topClient, topOrigin.x, topOrigin.y);
        IntersectRect(&r, &r, &topClient);
    }
    return captureScreen(r);
}

Image captureUntil(HWND window, const std::function<bool(const Image&)>& good, DWORD timeoutMs)
{
    return captureWhile([&] { return captureVisibleClient(window); }, good, timeoutMs);
}

Image waitForPicture(HWND window, const ExpectedPicture& expected, DWORD timeoutMs)
{
    return waitForCapture(window, [&](const Image& image) { return expected.differences(image, 0).empty(); },
                          timeoutMs);
}

std::string keepPicture(const Image& image, const std::string& name)
{
    wchar_t program[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring folder = program;
    folder.erase(folder.find_last_of(L"\\/") + 1);
    const std::wstring file = folder + widen(name) + L".bmp";
    if (image.empty() || !image.saveBmp(file)) return "(no picture kept)";
    return "(picture kept in " + narrow(file) + ")";
}

int waveformDifference(const Image& a, const Image& b)
{
    const Rgb waveCursor{50, 50, 255};
    if (a.width != b.width || a.height != b.height) return a.width * a.height + 1;
    std::vector<bool> masked(static_cast<size_t>(a.width), false);
    for (int x = 0; x < a.width; ++x) {
        bool cursor = false;
        for (int y = 0; y < a.height && !cursor; ++y) cursor = a.at(x, y) == waveCursor || b.at(x, y) == waveCursor;
        if (!cursor) continue;
        for (int m = x - 1; m <= x + 1; ++m)
            if (m >= 0 && m < a.width) masked[static_cast<size_t>(m)] = true;
    }
    int differing = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x < a.width; ++x) differing += !masked[static_cast<size_t>(x)] && a.at(x, y) != b.at(x, y);
    return differing;
}

}  // namespace ui
