// Kelvara from the keyboard. The keys are real key strokes (SendInput): they
// reach whichever window has the focus through the program's message loop,
// with the modifier state that a person's typing leaves.
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"

#include <cstdio>
#include <initializer_list>
#include <string>

#include "core/base/CommandIds.h"

using namespace ui;

namespace {


}  // namespace

class Keyboard : public KelvaraSession {
protected:
    void SetUp() override
    {
        KelvaraSession::SetUp();
        if (HasFatalFailure()) return;
        // Key strokes go to the foreground window's thread.
        SetForegroundWindow(w.main);
        ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == w.main; }));
        // Esc hands the focus from the panel (its first button has it after
        // start-up) to the main window.
        press(VK_ESCAPE);
        ASSERT_TRUE(waitFor([&] { return focus() == w.main; })) << "Esc left the focus in the panel";
    }

    HWND focus() const
    {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(w.main, nullptr), &info);
        return info.hwndFocus;
    }
    int focusedId() const { return GetParent(focus()) == w.panel ? GetDlgCtrlID(focus()) : 0; }

    // One Tab (Shift+Tab); true once the focus has moved.
    bool tab(bool backwards = false)
    {
        HWND before = focus();
        press(VK_TAB, backwards ? std::initializer_list<WORD>{VK_SHIFT} : std::initializer_list<WORD>{});
        return waitFor([&] { return focus() != before; });
    }
    bool tabTo(int id)
    {
        for (int i = 0; i < 80 && focusedId() != id; ++i)
            if (!tab()) return false;
        return focusedId() == id;
    }
};

class CtrlO : public Keyboard, public ::testing::WithParamInterface<bool> {};

TEST_P(CtrlO, OpensAFileWithTheFocusInTheMainWindowOrThePanel)
{
    if (GetParam()) ASSERT_TRUE(tabTo(IDC_DRAW));
    press('O', {VK_CONTROL});
    ui::markStatus(w.panel);
    ASSERT_TRUE(chooseFileInOpenDialog(app.pid(), writeWav16(L"ctrl-o.wav", 22050, 1, tone(440, 22050, 0.5))))
        << "no open-file dialog after Ctrl+O";
    EXPECT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done.", 60000)) << narrow(ui::status(w.panel));
}

INSTANTIATE_TEST_SUITE_P(Keyboard, CtrlO, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "InPanel" : "InMainWindow"; });

TEST_F(Keyboard, TabAndShiftTabWalkThePanelInItsOrder)
{
    // The first controls in the panel's order, then back, then from the main
    // window backwards to the last one, and Tab wraps round from there.
    for (int id : {IDC_DRAW, IDC_FRAME_PERIOD, IDC_WINDOW_FUNCTION}) {
        ASSERT_TRUE(tab());
        EXPECT_EQ(focusedId(), id);
    }
    ASSERT_TRUE(tab(true));
    EXPECT_EQ(focusedId(), IDC_FRAME_PERIOD);
    press(VK_ESCAPE);
    ASSERT_TRUE(waitFor([&] { return focus() == w.main; }));
    ASSERT_TRUE(tab(true));
    EXPECT_EQ(focusedId(), IDC_MAX_FREQ_ECHO);
    ASSERT_TRUE(tab());
    EXPECT_EQ(focusedId(), IDC_DRAW);
}

TEST_F(Keyboard, ArrowsMoveTheFramePeriodBarWithItsEchoAndRefresh)
{
    ASSERT_TRUE(ui::openFile(app.pid(), w.panel, writeWav16(L"arrows.wav", 22050, 1, tone(440, 22050, 1.0))));
    ASSERT_TRUE(tabTo(IDC_FRAME_PERIOD));
    ASSERT_EQ(trackBarPosition(w.panel, IDC_FRAME_PERIOD), 2);
    // 32 samples a step; the refresh shows the period in ms at 22050 Hz.
    const struct {
        WORD key;
        int position;
        const wchar_t* echo;
        const wchar_t* ms;
    } steps[] = {{VK_RIGHT, 3, L"96", L"4.4"}, {VK_UP, 2, L"64", L"2.9"}, {VK_END, 16, L"512", L"23.2"},
                 {VK_HOME, 1, L"32", L"1.5"}, {VK_LEFT, 1, L"32", L"1.5"}};
    for (const auto& step : steps) {
        press(step.key);
        EXPECT_TRUE(waitFor([&] {
            return trackBarPosition(w.panel, IDC_FRAME_PERIOD) == step.position &&
                   controlText(w.panel, IDC_FRAME_PERIOD_ECHO) == step.echo &&
                   controlText(w.panel, IDC_FRAME_PERIOD_MS) == step.ms;
        })) << "key " << step.key << ": bar at " << trackBarPosition(w.panel, IDC_FRAME_PERIOD) << ", echo "
            << narrow(controlText(w.panel, IDC_FRAME_PERIOD_ECHO)) << ", "
            << narrow(controlText(w.panel, IDC_FRAME_PERIOD_MS)) << " ms";
        EXPECT_EQ(focusedId(), IDC_FRAME_PERIOD);
    }
}

TEST_F(Keyboard, SpacePressesTheFocusedButton)
{
    ASSERT_TRUE(tabTo(IDC_SIDE_GRADUATE));
    press(VK_SPACE);
    EXPECT_TRUE(waitFor([&] { return isChecked(w.panel, IDC_SIDE_GRADUATE); })) << "Space did not tick the box";
    ASSERT_TRUE(tabTo(IDC_BROWSE));
    press(VK_SPACE);
    EXPECT_TRUE(cancelOpenDialog(app.pid())) << "no open-file dialog after Space on \"...\"";
}

TEST_F(Keyboard, AltSlashOpensTheAboutBoxFromTheMainWindowOnly)
{
    // On a panel control the command goes to the control, which ignores it;
    // the Tab after it shows that the keys were taken, in order.
    ASSERT_TRUE(tabTo(IDC_DRAW));
    press(VK_OEM_2, {VK_MENU});
    ASSERT_TRUE(tab());
    EXPECT_EQ(findTopWindow(app.pid(), L"#32770", L"ﾊﾞｰｼﾞｮﾝ情報"), nullptr);

    press(VK_ESCAPE);
    ASSERT_TRUE(waitFor([&] { return focus() == w.main; }));
    press(VK_OEM_2, {VK_MENU});
    HWND box = nullptr;
    ASSERT_TRUE(waitFor([&] { return (box = findTopWindow(app.pid(), L"#32770", L"ﾊﾞｰｼﾞｮﾝ情報")) != nullptr; }));
    PostMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
    EXPECT_TRUE(waitFor([&] { return !IsWindow(box); }));
}
