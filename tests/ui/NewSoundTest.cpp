// What a person sees when the sound changes under a picture: a new sound
// takes the old sound's voice print, spectrum and numbers away with it; a run
// with no frame to draw says so; the readout under a pointer that has not
// moved speaks of what is there now.
#include "driver/SaveDialog.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <cwchar>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"
#include "core/views/ColorMap.h"
#include "core/views/ViewGeometry.h"

using namespace ui;

namespace {

constexpr DWORD runBoundMs = 60000;

class NewSoundTest : public KelvaraSession {
protected:
    void openTone(double hz, int rate, double seconds, const wchar_t* name)
    {
        ASSERT_TRUE(openFile(app.pid(), w.panel, writeWav16(name, rate, 1, tone(hz, rate, seconds))));
    }

    std::wstring readout() { return windowText(control(findChild(w.main, L"KelvaraReadout"), IDC_READOUT)); }

    // Wine may put a warped pointer elsewhere at first: warp until it is
    // there and the line reads `text`.
    bool pointerRestsAt(HWND view, int x, int y, const std::wstring& text)
    {
        POINT target{x, y};
        ClientToScreen(view, &target);
        return waitFor([&] {
            hover(view, x, y);
            POINT at{};
            return GetCursorPos(&at) && at.x == target.x && at.y == target.y && readout() == text;
        });
    }

    int litPixels(HWND view)
    {
        const Image image = captureClient(view);
        int lit = 0;
        for (int y = 0; y < image.height; ++y)
            for (int x = 3; x < image.width; ++x) lit += image.at(x, y) != vpt::black;  // past the cursor strip
        return lit;
    }

    // The save dialog of "数値を保存" would hold the sent command until it
    // closed; a command that is ignored answers at once.
    bool numbersExportOpensADialog()
    {
        DWORD_PTR result = 0;
        if (SendMessageTimeoutW(w.panel, WM_COMMAND, MAKEWPARAM(IDM_SAVE_NUMBERS, 0), 0, SMTO_NORMAL, 5000, &result))
            return findSaveDialog(app.pid()) != nullptr;
        EXPECT_TRUE(cancelSaveDialog(app.pid()));
        return true;
    }
};

TEST_F(NewSoundTest, OpeningAnotherSoundTakesTheOldAnalysisAway)
{
    ASSERT_NO_FATAL_FAILURE(openTone(2000, 44100, 2.0, L"first.wav"));
    ASSERT_TRUE(drawVoicePrint(w.panel, runBoundMs));
    ASSERT_TRUE(waitFor([&] { return litPixels(w.voicePrint) > 10000; })) << "the first sound's voice print is drawn";
    ASSERT_FALSE(windowText(w.spectrum).empty()) << "the spectrum names its frame's peak";
    ASSERT_TRUE(numbersExportOpensADialog()) << "a run's numbers can be saved";

    ASSERT_NO_FATAL_FAILURE(openTone(500, 8000, 1.0, L"second.wav"));
    EXPECT_TRUE(waitFor([&] { return litPixels(w.voicePrint) == 0; })) << litPixels(w.voicePrint) << " pixels left";
    EXPECT_TRUE(waitFor([&] { return windowText(w.spectrum).empty(); })) << narrow(windowText(w.spectrum));
    EXPECT_EQ(captureClient(w.spectrum).count(vpt::traceGreen), 0) << "no curve is left in the spectrum";
    EXPECT_FALSE(numbersExportOpensADialog()) << "nothing of the new sound has been analysed yet";

    EXPECT_TRUE(pointerRestsAt(w.voicePrint, 100, 100, L"column 100: no frame")) << narrow(readout());
}

TEST_F(NewSoundTest, RunWithoutARoomForOneFrameSaysSoAndDrawsNothing)
{
    // 500 samples: not one frame of the default 1024.
    ASSERT_NO_FATAL_FAILURE(openTone(1000, 22050, 500.0 / 22050, L"short.wav"));
    markStatus(w.panel);
    clickButton(w.panel, IDC_DRAW);
    EXPECT_TRUE(waitForStatus(L"Voice-Print...No frame fits.", runBoundMs)) << narrow(status());
    EXPECT_EQ(litPixels(w.voicePrint), 0);
}

TEST_F(NewSoundTest, ReadoutUnderAStillPointerFollowsTheRunThatDrawsThere)
{
    ASSERT_NO_FATAL_FAILURE(openTone(1000, 22050, 3.0, L"tone.wav"));
    ASSERT_TRUE(pointerRestsAt(w.voicePrint, 268, 140, L"column 268: no frame")) << narrow(readout());

    // "描画" pressed without moving the mouse.
    ASSERT_TRUE(drawVoicePrint(w.panel, runBoundMs));
    const int period = std::stoi(controlText(w.panel, IDC_FRAME_PERIOD_ECHO));
    double seconds = -1, hz = -1;
    EXPECT_TRUE(waitFor([&] { return std::swscanf(readout().c_str(), L"%lf s %lf Hz", &seconds, &hz) == 2; }, 5000))
        << narrow(readout());
    EXPECT_NEAR(seconds, 268.0 * period / 22050, 0.0005);
}

// At 11025 Hz the spectrum ends at 5512.5 Hz; drawn at the widest maximum
// frequency (9043.9 Hz) the rows above it are the background, however bright
// the same rows were in the run before, at the narrowest (3014.6 Hz).
TEST_F(NewSoundTest, RowsAboveTheSoundsSpectrumShowNothingOfTheRunBefore)
{
    std::vector<int16_t> noise(3 * 11025);
    uint32_t seed = 7;
    for (int16_t& sample : noise) sample = static_cast<int16_t>(((seed = seed * 1664525u + 1013904223u) >> 16) % 20001 - 10000);
    ASSERT_TRUE(openFile(app.pid(), w.panel, writeWav16(L"noise-11025.wav", 11025, 1, noise)));
    setTrackBar(w.panel, IDC_MAX_FREQ, -10);
    ASSERT_TRUE(waitFor([&] { return controlText(w.panel, IDC_MAX_FREQ_ECHO) == L"3014.6"; }));
    ASSERT_TRUE(drawVoicePrint(w.panel, runBoundMs));
    ASSERT_TRUE(waitFor([&] { return litPixels(w.voicePrint) > 100000; })) << "noise lights every row";

    setTrackBar(w.panel, IDC_MAX_FREQ, 10);
    ASSERT_TRUE(waitFor([&] { return controlText(w.panel, IDC_MAX_FREQ_ECHO) == L"9043.9"; }));
    ASSERT_TRUE(drawVoicePrint(w.panel, runBoundMs));
    const Rgb background = vpt::rgbOf(ColorTable(0, 1.0)[voicePrintPixel(279, 0.0).colorIndex]);
    // Bins from 5512.5 / 9043.9 * 280 = 170.7 up: rows 279 - 171 = 108 and
    // above. Both runs have (33075 - 1024) / 64 + 1 = 501 frames.
    constexpr int frames = 501;
    Image print;
    int wrong = 0;
    waitFor([&] {
        print = captureClient(w.voicePrint);
        wrong = 0;
        for (int y = 0; y <= 108; ++y)
            for (int x = 3; x < frames; ++x) wrong += print.at(x, y) != background;
        return wrong == 0;
    }, 10000);
    EXPECT_EQ(wrong, 0) << "pixels above the spectrum's end that are not the background";
    int lit = 0;
    for (int x = 3; x < frames; ++x) lit += print.at(x, 200) != background;
    EXPECT_GT(lit, 450) << "the rows the spectrum reaches are drawn";
}

}  // namespace
