// Kelvara as a person first meets it: the window set and where everything
// sits, the main window that will not be resized, the about box, and the ways
// out of the program.
#include "driver/UiDriver.h"

#include <algorithm>

#include "core/base/CommandIds.h"

using namespace ui;

namespace {

constexpr const wchar_t* aboutTitle = L"ﾊﾞｰｼﾞｮﾝ情報";

struct Place {
    const char* name;
    HWND KelvaraWindows::*window;
    int x, y, width, height;  // in the main window's client area
};

// Fixed places of the three graph views. (WinFunc and ColorSample follow
// the panel's sunken frames, whose place depends on the dialog font.)
const Place viewPlaces[] = {
    {"WaveDraw", &KelvaraWindows::wave, 240, 5, 551, 128},
    {"SPECTRAMDraw", &KelvaraWindows::spectrum, 240, 139, 551, 128},
    {"SPECTDraw", &KelvaraWindows::voicePrint, 240, 273, 551, 280},
};

// At the screen's corner with the outer size it was given at start-up.
bool atHomePlace(HWND main, const RECT& home) {
    const RECT r = screenRect(main);
    return r.left == 0 && r.top == 0 && width(r) == width(home) && height(r) == height(home);
}

std::string describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ") " + std::to_string(width(r)) + "x" +
           std::to_string(height(r));
}

DWORD threadOf(HWND window) { return GetWindowThreadProcessId(window, nullptr); }

std::vector<std::wstring> childTexts(HWND parent) {
    std::vector<std::wstring> texts;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        texts.push_back(windowText(child));
    return texts;
}

HWND aboutBox(DWORD pid) { return findTopWindow(pid, L"#32770", aboutTitle); }

}  // namespace

class Startup : public KelvaraSession {
protected:
    // The panel's status line: an edit of the user-interface thread, used to
    // know that thread has handled what was posted to it.
    HWND uiThreadEdit() const { return control(w.panel, IDC_STATUS); }
};

TEST_F(Startup, CreatesEveryWindowAsAChildOfTheMainWindow) {
    EXPECT_EQ(className(w.main), L"MainWindow");
    EXPECT_EQ(windowText(w.main), L"SPECTDraw");
    EXPECT_NE(GetMenu(w.main), nullptr) << "the main window has its menu";
    for (HWND child : {w.panel, w.wave, w.spectrum, w.voicePrint, w.winFunc, w.colorSample}) {
        EXPECT_EQ(GetParent(child), w.main) << narrow(className(child));
        EXPECT_TRUE(GetWindowLongW(child, GWL_STYLE) & WS_CHILD) << narrow(className(child));
    }
    // One window of each class, no strays from a second creation.
    for (const wchar_t* cls : {L"WaveDraw", L"SPECTRAMDraw", L"SPECTDraw", L"WinFunc", L"ColorSample"}) {
        HWND first = FindWindowExW(w.main, nullptr, cls, nullptr);
        EXPECT_EQ(FindWindowExW(w.main, first, cls, nullptr), nullptr) << narrow(cls);
    }
    EXPECT_EQ(topWindows(app.pid(), L"MainWindow").size(), 1u);
}

TEST_F(Startup, GraphViewsRunOnTheirOwnThread) {
    // The three graph views belong to the display thread, the rest to the
    // user-interface thread, so a long paint never stalls the panel.
    const DWORD uiThread = threadOf(w.main);
    const DWORD displayThread = threadOf(w.wave);
    EXPECT_NE(displayThread, uiThread);
    EXPECT_EQ(threadOf(w.spectrum), displayThread);
    EXPECT_EQ(threadOf(w.voicePrint), displayThread);
    for (HWND window : {w.panel, w.winFunc, w.colorSample}) EXPECT_EQ(threadOf(window), uiThread);
}

TEST_F(Startup, MainWindowSitsAtTheScreenCornerAndHoldsTheViewFrames) {
    const RECT r = screenRect(w.main);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    RECT client{};
    GetClientRect(w.main, &client);
    // The voice print's frame reaches x 792 and y 554.
    EXPECT_GE(client.right, 792) << describe(r);
    EXPECT_GE(client.bottom, 554) << describe(r);
}

TEST_F(Startup, GraphViewsSitAtTheirFixedPlaces) {
    for (const Place& place : viewPlaces) {
        HWND window = w.*place.window;
        const RECT r = rectIn(window, w.main);
        EXPECT_EQ(r.left, place.x) << place.name;
        EXPECT_EQ(r.top, place.y) << place.name;
        EXPECT_EQ(width(r), place.width) << place.name;
        EXPECT_EQ(height(r), place.height) << place.name;
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_EQ(width(client), place.width) << place.name << ": no border eats into the picture";
        EXPECT_EQ(height(client), place.height) << place.name;
    }
}

TEST_F(Startup, PanelFillsTheLeftSideWithTheSmallViewsOverIt) {
    const RECT panel = rectIn(w.panel, w.main);
    EXPECT_EQ(panel.left, 0);
    EXPECT_EQ(panel.top, 0);
    EXPECT_LE(panel.right, 240) << "the panel stays left of the graph views";
    const struct {
        const char* name;
        HWND window;
        int width, height;
    } smallViews[] = {{"WinFunc", w.winFunc, 93, 32}, {"ColorSample", w.colorSample, 20, 148}};
    for (const auto& view : smallViews) {
        const RECT r = rectIn(view.window, w.main);
        EXPECT_EQ(width(r), view.width) << view.name;
        EXPECT_EQ(height(r), view.height) << view.name;
        RECT inside{};
        EXPECT_TRUE(IntersectRect(&inside, &r, &panel) && EqualRect(&inside, &r))
            << view.name << " at " << describe(r) << " lies outside the panel " << describe(panel);
        // Above the panel in the z-order, or the panel would hide it.
        bool abovePanel = false;
        for (HWND sibling = GetWindow(view.window, GW_HWNDNEXT); sibling; sibling = GetWindow(sibling, GW_HWNDNEXT))
            abovePanel = abovePanel || sibling == w.panel;
        EXPECT_TRUE(abovePanel) << view.name;
    }
}

TEST_F(Startup, MainWindowSnapsBackAfterAResize) {
    const RECT home = screenRect(w.main);
    // A cross-thread SetWindowPos is delivered as a sent message, so the
    // window has had its size message when the call returns.
    ASSERT_TRUE(SetWindowPos(w.main, nullptr, 40, 30, 500, 350, SWP_NOZORDER | SWP_NOACTIVATE));
    EXPECT_TRUE(waitFor([&] { return atHomePlace(w.main, home); })) << describe(screenRect(w.main));
    for (const Place& place : viewPlaces) {
        const RECT r = rectIn(w.*place.window, w.main);
        EXPECT_EQ(r.left, place.x) << place.name;
        EXPECT_EQ(r.top, place.y) << place.name;
    }
}

TEST_F(Startup, MainWindowSnapsBackAfterMaximising) {
    const RECT home = screenRect(w.main);
    PostMessageW(w.main, WM_SYSCOMMAND, SC_MAXIMIZE, 0);
    ASSERT_TRUE(waitFor([&] { return IsZoomed(w.main) != FALSE; })) << "the maximise command was not taken";
    EXPECT_TRUE(waitFor([&] { return atHomePlace(w.main, home); })) << describe(screenRect(w.main));
}

// ---- The about box ------------------------------------------------------------

struct AboutTrigger {
    const char* name;
    void (*trigger)(const KelvaraWindows&);
};

void PrintTo(const AboutTrigger& t, std::ostream* out) { *out << t.name; }

class AboutBox : public Startup, public ::testing::WithParamInterface<AboutTrigger> {};

TEST_P(AboutBox, OpensModallyAndClosesWithOk) {
    GetParam().trigger(w);
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = aboutBox(app.pid())) != nullptr && IsWindowVisible(box); }));
    EXPECT_EQ(GetWindow(box, GW_OWNER), w.main);
    EXPECT_FALSE(IsWindowEnabled(w.main)) << "the about box is modal";
    const std::vector<std::wstring> texts = childTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), L"Kelvara Version 1.00"), texts.end());
    HWND ok = GetDlgItem(box, IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(windowText(ok), L"OK");

    PostMessageW(ok, BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(box); }));
    EXPECT_TRUE(waitFor([&] { return IsWindowEnabled(w.main) != FALSE; }));
    EXPECT_TRUE(app.running());
}

INSTANTIATE_TEST_SUITE_P(
    Startup, AboutBox,
    ::testing::Values(
        AboutTrigger{"MenuCommand", [](const KelvaraWindows& w) { postCommand(w.main, IDM_ABOUT); }},
        AboutTrigger{"AltQuestionMark", [](const KelvaraWindows& w) { pressAltAccelerator(w.main, L'?'); }},
        AboutTrigger{"AltSlash", [](const KelvaraWindows& w) { pressAltAccelerator(w.main, L'/'); }},
        AboutTrigger{"CommandToThePanel", [](const KelvaraWindows& w) { postCommand(w.panel, IDM_ABOUT); }}),
    [](const ::testing::TestParamInfo<AboutTrigger>& info) { return std::string(info.param.name); });

TEST_F(Startup, AcceleratorOnAPanelControlGoesToThatControl) {
    // With the draw button focused the accelerator's command goes to the
    // button, which has no use for it: no about box.
    pressAltAccelerator(control(w.panel, IDC_DRAW), L'?');
    ASSERT_TRUE(drainPostedMessages(uiThreadEdit()));
    EXPECT_EQ(aboutBox(app.pid()), nullptr);

    // The same key on the main window in the same session does open it, so
    // the quiet above is the button's doing, not a key that never arrived.
    pressAltAccelerator(w.main, L'?');
    EXPECT_TRUE(waitFor([&] { return aboutBox(app.pid()) != nullptr; }));
}

// ---- Command 1001 ---------------------------------------------------------------

TEST_F(Startup, DisplayThreadEndedIsIgnoredWhileAThreadIsBusy) {
    // The display thread itself counts as busy while it runs, so a stray
    // 1001 now must leave both the main window and the panel in place.
    postCommand(w.main, CMD_DISPLAY_THREAD_ENDED);
    postCommand(w.panel, CMD_DISPLAY_THREAD_ENDED);
    ASSERT_TRUE(drainPostedMessages(uiThreadEdit()));
    EXPECT_TRUE(IsWindow(w.main));
    EXPECT_TRUE(IsWindow(w.panel));
    EXPECT_TRUE(app.running());
}

// ---- Ways out ----------------------------------------------------------------------

struct ExitWay {
    const char* name;
    void (*request)(const KelvaraWindows&);
};

void PrintTo(const ExitWay& e, std::ostream* out) { *out << e.name; }

class ProgramExit : public Startup, public ::testing::WithParamInterface<ExitWay> {};

TEST_P(ProgramExit, EndsWithCodeZeroAndLeavesNothing) {
    GetParam().request(w);
    DWORD exitCode = 12345;
    ASSERT_TRUE(app.waitForExit(exitCode)) << "Kelvara is still running";
    EXPECT_EQ(exitCode, 0u);
    EXPECT_TRUE(topWindows(app.pid(), nullptr).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Startup, ProgramExit,
    ::testing::Values(
        ExitWay{"MenuExit", [](const KelvaraWindows& w) { postCommand(w.main, IDM_EXIT); }},
        ExitWay{"CloseBox", [](const KelvaraWindows& w) { PostMessageW(w.main, WM_CLOSE, 0, 0); }},
        ExitWay{"SystemMenuClose", [](const KelvaraWindows& w) { PostMessageW(w.main, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        ExitWay{"ExitCommandToThePanel", [](const KelvaraWindows& w) { postCommand(w.panel, IDM_EXIT); }},
        // The panel's own close: its events go, WaveDraw is asked to close,
        // and the panel's end ends the program.
        ExitWay{"CloseRequestToThePanel", [](const KelvaraWindows& w) { PostMessageW(w.panel, WM_CLOSE, 0, 0); }}),
    [](const ::testing::TestParamInfo<ExitWay>& info) { return std::string(info.param.name); });
