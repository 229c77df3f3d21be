// The main window holds its whole layout on the screen: every view frame,
// the panel down to its status line, and the voice print's bottom row, and
// it keeps that size after a resize or a maximise.
#include "driver/Pictures.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"
#include "tests/support/WavBytes.h"

using namespace ui;

namespace {

std::string describe(const RECT& r)
{
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

bool contains(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

}  // namespace

class WindowLayout : public KelvaraSession {
protected:
    RECT client() const
    {
        RECT r{};
        GetClientRect(w.main, &r);
        return r;
    }
    HWND statusLine() const { return control(w.panel, IDC_STATUS); }

    // The client area holds every view with its two-pixel frame (whose right
    // and bottom lines are painted) and every panel control, the status line
    // and the frames around it among them; the lowest pixel row they need.
    LONG expectLayoutInside()
    {
        const RECT area = client();
        LONG lowest = 0;
        for (HWND view : {w.wave, w.spectrum, w.voicePrint}) {
            RECT frame = rectIn(view, w.main);
            InflateRect(&frame, 2, 2);
            EXPECT_TRUE(contains(area, frame)) << narrow(className(view)) << " frame " << describe(frame);
            lowest = std::max(lowest, frame.bottom);
        }
        for (HWND child = GetWindow(w.panel, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            const RECT r = rectIn(child, w.main);
            EXPECT_TRUE(contains(area, r)) << "panel control " << GetDlgCtrlID(child) << " at " << describe(r);
            lowest = std::max(lowest, r.bottom);
        }
        EXPECT_TRUE(contains(area, rectIn(statusLine(), w.main))) << "client " << describe(area);
        return lowest;
    }
};

TEST_F(WindowLayout, ClientAreaHoldsTheViewFramesAndThePanelDownToTheStatusLine)
{
    const LONG lowest = expectLayoutInside();
    // With a small margin, not a window grown for nothing; the voice print's
    // frame is the right-most thing, ending at x 792.
    EXPECT_LE(client().bottom, lowest + 12) << describe(client());
    EXPECT_LE(client().right, 793 + 12) << describe(client());
}

TEST_F(WindowLayout, KeepsItsPlaceAndSizeAfterAResizeAndAMaximise)
{
    const RECT home = screenRect(w.main);
    EXPECT_EQ(home.left, 0);
    EXPECT_EQ(home.top, 0);
    const auto atHome = [&] {
        const RECT r = screenRect(w.main);
        return EqualRect(&r, &home) != FALSE;
    };
    // A cross-thread SetWindowPos comes as a sent message: the size message
    // has been handled when it returns.
    ASSERT_TRUE(SetWindowPos(w.main, nullptr, 40, 30, 500, 350, SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(waitFor(atHome)) << describe(screenRect(w.main)) << " instead of " << describe(home);
    PostMessageW(w.main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(waitFor([&] { return IsZoomed(w.main) != FALSE; }));
    EXPECT_TRUE(waitFor(atHome)) << describe(screenRect(w.main)) << " instead of " << describe(home);
    expectLayoutInside();
}

// A tone on a constant offset, which puts energy in the voice print's lowest
// row, so that row shows more than the view's black background.
class OnTheScreen : public WindowLayout {
protected:
    void SetUp() override
    {
        WindowLayout::SetUp();
        if (HasFatalFailure()) return;
        std::vector<int16_t> samples;
        for (int16_t s : tone(1000, 22050, 2.0, 12000)) samples.push_back(static_cast<int16_t>(s + 8000));
        const std::vector<uint8_t> bytes = wavbytes::pcm16File(22050, 1, samples);
        ASSERT_TRUE(vpt::loadSound(sound, bytes));
        path = writeTempFile(L"on-the-screen.wav", bytes);
    }

    // Text pixels of the status line as the screen shows it: those not of
    // its top-left pixel's colour, which no text reaches.
    int statusInk(Image* shot = nullptr) const
    {
        const Image image = captureScreen(screenRect(statusLine()));
        if (shot) *shot = image;
        return image.empty() ? 0 : image.width * image.height - image.count(image.at(0, 0));
    }
    // Empties the status line; returns how the screen shows it empty.
    Image blankStatus() const
    {
        DWORD_PTR result = 0;
        SendMessageTimeoutW(statusLine(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L""), SMTO_ABORTIFHUNG, 5000, &result);
        Image blank;
        waitFor([&] { return statusInk(&blank) == 0; });
        return blank;
    }
    // The program's `text` replaced the blank line, and the screen shows it.
    void expectReadable(const Image& blank, const std::wstring& text, DWORD boundMs = 60000)
    {
        ASSERT_TRUE(ui::waitForStatus(w.panel, text, boundMs)) << narrow(ui::status(w.panel));
        Image shown;
        EXPECT_TRUE(waitFor([&] { return statusInk(&shown) > 20 && shown.pixels != blank.pixels; }))
            << "\"" << narrow(text) << "\" is not on the screen";
    }

    SoundBuffer sound;
    std::wstring path;
};

TEST_F(OnTheScreen, StatusTextsOfALoadADrawAndAPlayAreReadable)
{
    Image blank = blankStatus();
    ASSERT_TRUE(ui::chooseThroughDialog(app.pid(), w.panel, path));
    expectReadable(blank, L"Open A File...Done.");
    blank = blankStatus();
    clickButton(w.panel, IDC_DRAW);
    expectReadable(blank, L"Voice-Print...Done.");
    blank = blankStatus();
    clickButton(w.panel, IDC_PLAY_ALL);
    expectReadable(blank, L"Playing...Done.", 30000);
}

TEST_F(OnTheScreen, VoicePrintBottomRowIsOnTheScreenAsComputed)
{
    ASSERT_TRUE(ui::openFile(app.pid(), w.panel, path));
    // A dragged selection fixes the run: 551 frames from the press column's
    // sample, |sample(to) - sample(from)| / 551 apart.
    dragSelection(w.wave, 100, 400);
    const int start = vpt::sampleOfColumn(100, sound.sampleCount);
    const int period = std::abs(vpt::sampleOfColumn(400, sound.sampleCount) - start) / 551;
    ASSERT_TRUE(waitFor([&] { return controlText(w.panel, IDC_FRAME_PERIOD_ECHO) == std::to_wstring(period); }));
    ui::markStatus(w.panel);
    clickButton(w.panel, IDC_DRAW);
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Voice-Print...Done.", 60000));

    const auto expected = vpt::expectedVoicePrint(sound, start, period, 10, 1, ColorTable(0, 1.0));
    ASSERT_EQ(expected.size(), 551u);
    constexpr int bottom = displayBinCount - 1;
    ASSERT_TRUE(std::any_of(expected.begin(), expected.end(),
                            [](const vpt::VoicePrintColumn& c) { return vpt::rgbOf(c[bottom]) != vpt::black; }));
    const auto bottomRow = [&](const Image& image) {
        vpt::Comparison c;
        for (int x = 0; x < 551; ++x) c.expect(x, bottom, vpt::rgbOf(expected[x][bottom]), image.at(x, bottom));
        return c;
    };
    const Image image = ui::captureUntil(
        w.voicePrint, [&](const Image& i) { return i.height == displayBinCount && bottomRow(i).mismatches == 0; });
    ASSERT_EQ(image.height, displayBinCount) << "voice-print rows cut off by the window's edge";
    const vpt::Comparison row = bottomRow(image);
    EXPECT_EQ(row.mismatches, 0) << row;
    if (row.mismatches) ui::keepPicture(image, "WindowLayoutTest-bottom-row");
}
