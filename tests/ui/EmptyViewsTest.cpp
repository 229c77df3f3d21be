// The pictures Kelvara shows before any sound is loaded: the grids of the
// waveform and spectrum views, the black voice print with its cursor and its
// two overlays, the window-function shape for each kind the user can choose,
// and the colour sample for Color, Mono and a wider colour ramp.
//
// Every expected pixel is worked out here from the geometry the drawings are
// meant to have (grid rows and columns, kilohertz rows, window weights); the
// colour sample's colours come from the colour table of the core, which its
// own unit tests pin to fixed figures. Only glyph shapes are not known here:
// text is allowed, in its colour, inside the box the same font measures.
#include "driver/Pictures.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <algorithm>
#include <cmath>
#include <cwchar>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"
#include "core/views/ColorMap.h"

using namespace ui;

namespace {

constexpr Rgb spectrumLabel{0, 200, 98};
constexpr Rgb barBlue{0, 0, 124};
constexpr Rgb outlineGrey{128, 128, 128};
constexpr Rgb shapeBackground{180, 180, 180};

// The side scale's and the kilohertz lines' rows for 0 to 5 kHz at the
// starting maximum frequency (5124.9 Hz); 6 kHz and up lie above the picture.
const int defaultKilohertzRows[] = {279, 224, 169, 115, 60, 5};

// Size of `text` in the views' label font ("System" of the given height), as
// this machine's font system draws it: the same fonts serve both processes.
SIZE labelSize(const wchar_t* text, int fontHeight)
{
    SIZE size{};
    HDC screen = GetDC(nullptr);
    HFONT font = CreateFontW(fontHeight, 0, 0, 0, 400, FALSE, FALSE, FALSE, 0, 0, 0, 0, 0, L"System");
    HGDIOBJ old = SelectObject(screen, font);
    GetTextExtentPoint32W(screen, text, static_cast<int>(wcslen(text)), &size);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return size;
}

int countIn(const Image& image, int left, int top, int right, int bottom, Rgb color)
{
    int n = 0;
    for (int y = std::max(top, 0); y < std::min(bottom, image.height); ++y)
        for (int x = std::max(left, 0); x < std::min(right, image.width); ++x) n += image.at(x, y) == color;
    return n;
}

// A 2-pixel cursor line on column x: x itself, and one neighbour, which
// depends on how the system centres an even pen width.
void cursorLine(ExpectedPicture& picture, int x, Rgb color)
{
    picture.setColumn(x, color);
    for (int y = 0; y < picture.height(); ++y) {
        picture.allow(x - 1, y, color);
        picture.allow(x + 1, y, color);
    }
}

// The rectangle of `view` that the main window's client area leaves visible,
// in the view's client coordinates (empty when none of it is).
RECT visiblePart(HWND view, HWND mainWindow)
{
    RECT client{};
    GetClientRect(mainWindow, &client);
    MapWindowPoints(mainWindow, nullptr, reinterpret_cast<POINT*>(&client), 2);
    RECT viewRect{};
    GetClientRect(view, &viewRect);
    MapWindowPoints(view, nullptr, reinterpret_cast<POINT*>(&viewRect), 2);
    RECT visible{};
    if (!IntersectRect(&visible, &viewRect, &client)) return RECT{};
    OffsetRect(&visible, -viewRect.left, -viewRect.top);
    return visible;
}

class EmptyViews : public KelvaraSession {
protected:
    // Asserts that `window` comes to show `expected` wherever the main window
    // lets it show; keeps the picture if not.
    void expectPicture(HWND window, const ExpectedPicture& expected, const std::string& name)
    {
        const RECT visible = visiblePart(window, w.main);
        ASSERT_FALSE(IsRectEmpty(&visible)) << name << ": the view lies outside the main window's client area";
        ExpectedPicture seen = expected;
        seen.openRect(0, 0, seen.width(), visible.top);
        seen.openRect(0, visible.bottom, seen.width(), seen.height());
        seen.openRect(0, 0, visible.left, seen.height());
        seen.openRect(visible.right, 0, seen.width(), seen.height());
        const Image shown = waitForPicture(window, seen);
        const std::string wrong = seen.differences(shown);
        EXPECT_EQ(wrong, "") << name << " " << (wrong.empty() ? "" : keepPicture(shown, name));
    }
};

// ---- Waveform view --------------------------------------------------------

ExpectedPicture emptyWaveform()
{
    ExpectedPicture picture(551, 128, vpt::black);
    for (int y = 0; y <= 128; y += 8) picture.setRow(y, vpt::waveGrid);
    for (int i = 0; i * 551 / 44 < 551; ++i) picture.setColumn(i * 551 / 44, vpt::waveGrid);
    for (int x : {1, 138, 276, 414}) picture.setColumn(x, vpt::waveGrid);
    // Selection ends and cursor all start on column 0; the cursor is drawn last.
    picture.setColumn(0, vpt::traceGreen);
    cursorLine(picture, 0, vpt::waveCursorBlue);
    return picture;
}

TEST_F(EmptyViews, WaveformShowsOnlyItsGridBeforeAnySound)
{
    const ExpectedPicture expected = emptyWaveform();
    expectPicture(w.wave, expected, "EmptyWaveform");

    // The quarters of the width are double lines, the other columns single.
    const Image shown = captureClient(w.wave);
    for (int x : {137, 138, 275, 276, 413, 414}) EXPECT_EQ(shown.at(x, 4), vpt::waveGrid) << "column " << x;
    for (int x : {11, 13, 139, 277, 415}) EXPECT_EQ(shown.at(x, 4), vpt::black) << "column " << x;
}

// A file refused before any sound is loaded (a RIFF header and nothing
// more) leaves the empty waveform as it was: no time labels of a sound.
TEST_F(EmptyViews, WaveformStaysEmptyAfterARefusedFile)
{
    const std::vector<uint8_t> riffOnly{'R', 'I', 'F', 'F', 4, 0, 0, 0, 'W', 'A', 'V', 'E'};
    ASSERT_TRUE(chooseThroughDialog(app.pid(), w.panel, writeTempFile(L"riff-only.wav", riffOnly)));
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = findMessageBox(app.pid())) != nullptr; })) << "no message for the refused file";
    EXPECT_TRUE(dismissMessageBox(box));
    ASSERT_TRUE(waitForStatus(L"Open A File...Done.")) << narrow(status());
    expectPicture(w.wave, emptyWaveform(), "EmptyWaveformAfterRefusal");
}

// ---- Spectrum view --------------------------------------------------------

struct SpectrumLabel {
    const wchar_t* text;
    int x;
};
const SpectrumLabel spectrumLabels[] = {{L"0kHz", 2}, {L"5kHz", 168}, {L"10kHz", 335}, {L"15kHz", 502}};

TEST_F(EmptyViews, SpectrumShowsGridAndKilohertzLabelsBeforeAnyFrame)
{
    ExpectedPicture expected(551, 128, vpt::black);
    for (int i = 0; i <= 10; ++i) expected.setRow(static_cast<int>(12.8 * i), vpt::waveGrid);
    for (int f = 0; f <= 39000; f += 1000) expected.setColumn(f / 30, vpt::waveGrid);
    for (int f = 0; f <= 20000; f += 5000) expected.setColumn(f / 30 + 1, vpt::waveGrid);
    for (const SpectrumLabel& label : spectrumLabels) {
        const SIZE size = labelSize(label.text, 15);
        // One pixel of slack on the right for a glyph's overhang.
        expected.allowRect(label.x, 2, label.x + size.cx + 1, 2 + size.cy, spectrumLabel);
    }
    expectPicture(w.spectrum, expected, "EmptySpectrum");

    const Image shown = captureClient(w.spectrum);
    for (const SpectrumLabel& label : spectrumLabels) {
        const SIZE size = labelSize(label.text, 15);
        EXPECT_GT(countIn(shown, label.x, 2, label.x + size.cx + 1, 2 + size.cy, spectrumLabel), 0)
            << "no trace of the label \"" << narrow(label.text) << "\" at x = " << label.x;
    }
    // 5, 10 and 15 kHz are doubled; 1 kHz (column 33) is not.
    for (int x : {166, 167, 333, 334, 500, 501}) EXPECT_EQ(shown.at(x, 60), vpt::waveGrid) << "column " << x;
    for (int x : {32, 34, 168}) EXPECT_EQ(shown.at(x, 60), vpt::black) << "column " << x;
}

// ---- Voice-print view -------------------------------------------------------

ExpectedPicture blackVoicePrint()
{
    ExpectedPicture picture(551, 280, vpt::black);
    cursorLine(picture, 0, vpt::voicePrintCursorRed);
    return picture;
}

TEST_F(EmptyViews, VoicePrintIsBlackWithTheRedCursorOnColumnZero)
{
    expectPicture(w.voicePrint, blackVoicePrint(), "EmptyVoicePrint");
}

TEST_F(EmptyViews, SideGraduateShowsTheKilohertzScaleAtTheStartingMaximum)
{
    ASSERT_FALSE(isChecked(w.panel, IDC_SIDE_GRADUATE));
    clickButton(w.panel, IDC_SIDE_GRADUATE);
    ASSERT_TRUE(waitFor([&] { return isChecked(w.panel, IDC_SIDE_GRADUATE); }));

    // Ticks 15 pixels long on each kilohertz row; each label (drawn twice,
    // at x = 1 and 2) stands just above its tick; the rest stays black.
    const double pixelsPerHertz = (1024.0 / 22050) / (1 + 0.05 * -3);
    ExpectedPicture expected(551, 280, vpt::black);
    std::vector<RECT> labelBoxes;
    for (int n = 0; n <= 5; ++n) {
        const int row = defaultKilohertzRows[n];
        ASSERT_EQ(row, static_cast<int>(279 - 1000.0 * n * pixelsPerHertz)) << n << " kHz";
        for (int x = 0; x < 15; ++x) expected.set(x, row, vpt::axisGrey);
        wchar_t text[16];
        std::swprintf(text, 16, L"%dkHz", n);
        const SIZE size = labelSize(text, 16);
        const int top = static_cast<int>(279 - 1000.0 * n * pixelsPerHertz - size.cy);
        const RECT box{1, top, 2 + size.cx + 1, top + size.cy};
        expected.allowRect(box.left, box.top, box.right, box.bottom, vpt::kilohertzLineYellow);
        labelBoxes.push_back(box);
    }
    expected.setColumn(0, vpt::axisGrey);  // the scale's edge, under the cursor
    cursorLine(expected, 0, vpt::voicePrintCursorRed);
    expectPicture(w.voicePrint, expected, "SideGraduate");

    const Image shown = captureClient(w.voicePrint);
    for (int n = 0; n <= 4; ++n) {  // the 5 kHz label is mostly above the picture
        const RECT& b = labelBoxes[n];
        EXPECT_GT(countIn(shown, b.left, b.top, b.right, b.bottom, vpt::kilohertzLineYellow), 0) << "no " << n << "kHz label";
    }

    clickButton(w.panel, IDC_SIDE_GRADUATE);
    expectPicture(w.voicePrint, blackVoicePrint(), "SideGraduateOff");
}

TEST_F(EmptyViews, GraduateLineCrossesThePictureAtEveryKilohertz)
{
    clickButton(w.panel, IDC_GRADUATE_LINE);
    ASSERT_TRUE(waitFor([&] { return isChecked(w.panel, IDC_GRADUATE_LINE); }));

    ExpectedPicture expected(551, 280, vpt::black);
    for (int row : defaultKilohertzRows) expected.setRow(row, vpt::kilohertzLineYellow);
    cursorLine(expected, 0, vpt::voicePrintCursorRed);
    expectPicture(w.voicePrint, expected, "GraduateLine");

    clickButton(w.panel, IDC_GRADUATE_LINE);
    expectPicture(w.voicePrint, blackVoicePrint(), "GraduateLineOff");
}

// ---- Window-function view -----------------------------------------------------

// Weight of sample i of a periodic window over n samples, as the analysis
// defines the four kinds.
double windowWeight(int kind, int i, int n)
{
    const double c = std::cos(6.2831853 * i / n);
    switch (kind) {
    case 1: return 0.5 - 0.5 * c;
    case 2: return 0.54 - 0.46 * c;
    case 3: return 0.42 - 0.5 * c + 0.08 * std::cos(12.5663706 * i / n);
    default: return 1.0;
    }
}

// 93 x 32: grey background and outline, and in column i a bar up to the row
// below trunc(32 - 32767 w(i) * 32/32767).
ExpectedPicture windowShape(int kind)
{
    ExpectedPicture picture(93, 32, shapeBackground);
    picture.setRow(0, outlineGrey);
    picture.setRow(31, outlineGrey);
    picture.setColumn(0, outlineGrey);
    picture.setColumn(92, outlineGrey);
    for (int i = 0; i < 93; ++i) {
        const double sample = kind == 0 ? 32767.0 : 32767.0 * windowWeight(kind, i, 93);
        const int top = static_cast<int>(32 - sample * 0.0009765923032319102);
        for (int y = top + 1; y < 32; ++y) picture.set(i, y, barBlue);
    }
    return picture;
}

struct ShapeCase {
    int kind;
    const char* name;
    int firstColumnBarTop;  // first row of column 0's bar; 32 for none
};

// Hanning last, so that it is drawn anew after the others, not just left
// from the start.
const ShapeCase shapeCases[] = {
    {0, "Rectangular", 1},
    {2, "Hamming", 30},
    {3, "Blackman", 32},
    {1, "Hanning", 32},
};

TEST_F(EmptyViews, WindowShapeStartsAsHanning)
{
    ASSERT_EQ(comboSelectionText(w.panel, IDC_WINDOW_FUNCTION), L"ハニング窓");
    expectPicture(w.winFunc, windowShape(1), "WindowShapeAtStart");
}

TEST_F(EmptyViews, WindowShapeFollowsTheChosenWindowFunction)
{
    for (const ShapeCase& c : shapeCases) {
        SCOPED_TRACE(c.name);
        selectComboItem(w.panel, IDC_WINDOW_FUNCTION, c.kind);
        const ExpectedPicture expected = windowShape(c.kind);
        expectPicture(w.winFunc, expected, std::string("WindowShape") + c.name);

        // The figures the shapes are known by, whatever the arithmetic above says.
        const Image shown = captureClient(w.winFunc);
        for (int y = 1; y < 31; ++y) {
            const Rgb want = y >= c.firstColumnBarTop ? barBlue : outlineGrey;
            EXPECT_EQ(shown.at(0, y), want) << "column 0, row " << y;
        }
        EXPECT_EQ(shown.at(0, 0), outlineGrey);
        EXPECT_EQ(shown.at(46, 0), outlineGrey) << "the outline's top row stays grey";
        if (c.kind != 0) {
            EXPECT_EQ(shown.at(46, 1), barBlue) << "the middle column reaches row 1";
            EXPECT_EQ(shown.at(1, 15), shapeBackground) << "a tapered edge leaves background";
        } else {
            for (int x = 1; x < 92; ++x) EXPECT_EQ(shown.at(x, 1), barBlue) << "column " << x;
        }
    }
}

// ---- Colour sample -------------------------------------------------------------

// 20 x 148: the grey outline's top row over 147 rows of the colour map, row n
// showing index ((148 - n) * 256) / 148.
ExpectedPicture colorSample(int monoMode, double width)
{
    const ColorTable colors(monoMode, width);
    ExpectedPicture picture(20, 148, outlineGrey);
    for (int n = 1; n <= 147; ++n) {
        const Rgb c = vpt::rgbOf(colors[((148 - n) * 256) / 148]);
        for (int x = 0; x < 20; ++x) picture.set(x, n, c);
    }
    return picture;
}

enum class SampleAction { none, clickColor, clickMono, widest };

struct SampleStep {
    const char* name;
    SampleAction action;
    int monoMode;
    double width;
    struct Spot {
        int row;
        Rgb color;
    };
    std::vector<Spot> spots;  // the colour table's stated figures at a few rows
};

const SampleStep sampleSteps[] = {
    // At start: Color, width 1.0. Bottom row index 1, top row index 254.
    {"Color", SampleAction::none, 0, 1.0, {{147, {5, 2, 29}}, {1, {229, 22, 22}}, {0, outlineGrey}}},
    {"Mono", SampleAction::clickMono, 1, 1.0, {{147, {1, 1, 1}}, {74, {128, 128, 128}}, {1, {254, 254, 254}}}},
    {"ColorAgain", SampleAction::clickColor, 0, 1.0, {{147, {5, 2, 29}}}},
    // The widest ramp reaches red from index 123: row 74 shows index 128.
    {"Wide", SampleAction::widest, 0, 2.0, {{147, {4, 2, 29}}, {74, {229, 22, 22}}}},
    // Mono ignores the width.
    {"MonoWide", SampleAction::clickMono, 1, 2.0, {{74, {128, 128, 128}}}},
};

TEST_F(EmptyViews, ColorSampleShowsTheMapOfTheColourSettings)
{
    const RECT visible = visiblePart(w.colorSample, w.main);
    for (const SampleStep& step : sampleSteps) {
        SCOPED_TRACE(step.name);
        switch (step.action) {
        case SampleAction::none: break;
        case SampleAction::clickColor: clickButton(w.panel, IDC_COLOR); break;
        case SampleAction::clickMono: clickButton(w.panel, IDC_MONO); break;
        case SampleAction::widest: setTrackBar(w.panel, IDC_COLOR_WIDTH, 20); break;
        }
        expectPicture(w.colorSample, colorSample(step.monoMode, step.width), std::string("ColorSample") + step.name);
        if (HasFatalFailure()) return;
        const Image shown = captureClient(w.colorSample);
        for (const SampleStep::Spot& spot : step.spots) {
            if (spot.row < visible.top || spot.row >= visible.bottom) continue;  // reported by the place test
            EXPECT_EQ(shown.at(10, spot.row), spot.color) << "row " << spot.row;
        }
    }
}

// ---- Places of the two small views ----------------------------------------------

struct SmallView {
    const char* name;
    HWND KelvaraWindows::*window;
    int frameId;
};
const SmallView smallViews[] = {
    {"WinFunc", &KelvaraWindows::winFunc, IDC_WINFUNC_FRAME},
    {"ColorSample", &KelvaraWindows::colorSample, IDC_COLOR_SAMPLE_FRAME},
};

TEST_F(EmptyViews, SmallViewsSitUncoveredInsideTheirSunkenFrames)
{
    for (const SmallView& v : smallViews) {
        SCOPED_TRACE(v.name);
        HWND view = w.*v.window;
        HWND frame = control(w.panel, v.frameId);
        ASSERT_NE(frame, nullptr) << "no sunken frame " << v.frameId << " in the panel";
        const RECT viewRect = screenRect(view);
        const RECT frameRect = screenRect(frame);
        const POINT centre{(viewRect.left + viewRect.right) / 2, (viewRect.top + viewRect.bottom) / 2};
        EXPECT_TRUE(PtInRect(&frameRect, centre))
            << "view centre (" << centre.x << ", " << centre.y << ") outside the frame (" << frameRect.left << ", "
            << frameRect.top << ")-(" << frameRect.right << ", " << frameRect.bottom << ")";
        EXPECT_EQ(WindowFromPoint(centre), view) << "something covers the view's centre";
        RECT whole{};
        GetClientRect(view, &whole);
        const RECT visible = visiblePart(view, w.main);
        EXPECT_TRUE(EqualRect(&visible, &whole))
            << "only (" << visible.left << ", " << visible.top << ")-(" << visible.right << ", " << visible.bottom
            << ") of the view lies in the main window's client area; the panel is " << height(screenRect(w.panel))
            << " pixels high";
    }
    // And what they draw shows on the screen, not the panel beneath.
    expectPicture(w.winFunc, windowShape(1), "WinFuncShown");
    expectPicture(w.colorSample, colorSample(0, 1.0), "ColorSampleShown");
}

}  // namespace
