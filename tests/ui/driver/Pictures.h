// Expected pictures for the UI tests: what a view should show, pixel by
// pixel, built by the test from the figures the drawing is meant to have,
// and compared with what is on the screen. Pixels that the test cannot know
// (glyphs of a font, the ends of a wide pen) are left open, or given a set of
// colours any of which is right.
#ifndef KELVARA_UI_PICTURES_H
#define KELVARA_UI_PICTURES_H

#include "driver/UiDriver.h"

#include <string>
#include <vector>

namespace ui {

class ExpectedPicture {
public:
    ExpectedPicture(int width, int height, Rgb fill);

    int width() const { return width_; }
    int height() const { return height_; }

    // Exactly this colour.
    void set(int x, int y, Rgb color);
    void setRow(int y, Rgb color);        // the whole row
    void setColumn(int x, Rgb color);     // the whole column
    void fillRect(int left, int top, int right, int bottom, Rgb color);  // right, bottom exclusive
    // Any of the colours already allowed there, or `other`.
    void allow(int x, int y, Rgb other);
    void allowRect(int left, int top, int right, int bottom, Rgb other);
    // Anything at all.
    void open(int x, int y);
    void openRect(int left, int top, int right, int bottom);

    bool accepts(int x, int y, Rgb color) const;

    // "" when `image` has this size and every pixel is accepted; otherwise
    // the size difference or the number of wrong pixels with the first few
    // of them (place, colour on screen, colour expected).
    std::string differences(const Image& image, int listed = 8) const;

private:
    struct Pixel {
        bool any = false;
        std::vector<Rgb> colors;
    };
    Pixel& at(int x, int y);
    const Pixel& at(int x, int y) const;
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }

    int width_;
    int height_;
    std::vector<Pixel> pixels_;
};

// Captures `window`'s client area until it matches `expected` or `timeoutMs`
// passes (a paint may come late under Wine); returns the last capture.
Image waitForPicture(HWND window, const ExpectedPicture& expected, DWORD timeoutMs = defaultTimeoutMs);

// Captures until `condition` holds for the capture, or the bound passes.
Image waitForCapture(HWND window, const std::function<bool(const Image&)>& condition,
                     DWORD timeoutMs = defaultTimeoutMs);

// The part of `window`'s client area that can be seen at all: the rows and
// columns inside the client area of its top-level window. (The main window
// sizes itself to hold every view, so that is all of it; this guards against
// a main window whose frame would cut a view off.)
Image captureVisibleClient(HWND window);
// waitForCapture of the visible part. A view repaints on its own thread a
// moment after the program reports a step done, so a test waits for the
// picture rather than reading the first one.
Image captureUntil(HWND window, const std::function<bool(const Image&)>& good, DWORD timeoutMs = defaultTimeoutMs);

// Keeps a failing test's picture for a person to look at: saves it as
// <name>.bmp beside the test program (the build folder), wherever it was
// started from, and says so.
std::string keepPicture(const Image& image, const std::string& name);

// Pixels that differ between two pictures of the waveform view, leaving out
// the columns around its cursor line in either: the cursor follows playback
// and frames, while the picture of the sound itself must not change.
int waveformDifference(const Image& a, const Image& b);

}  // namespace ui

#endif
