// Faults that the soak (scripts/soak.sh) found, each pinned by the shortest
// sequence of user actions that shows it. The soak itself is not run here:
// it is SoakDriver.exe, run by scripts/soak.sh.
#include "driver/HostileWavs.h"
#include "driver/OutsideRequests.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"

#include "core/base/CommandIds.h"

using namespace ui;

namespace {

class SoakFindings : public KelvaraSession {
protected:
    void load(const std::wstring& path)
    {
        ASSERT_TRUE(openFromMenu(app.pid(), w.main, w.panel, path, 60000)) << narrow(status());
    }

    // A voice print that takes a while: 10 s at 44100 Hz, frames of 4096
    // samples every 512, so 551 frames each waiting for two paints.
    void prepareALongVoicePrint()
    {
        const wavbytes::Format format = wavbytes::packed(wavbytes::pcmTag, 1, 44100, 16);
        ASSERT_NO_FATAL_FAILURE(
            load(writeTempFile(L"long-sweep.wav", wavbytes::encodedFile(format, sweep(100, 8000, 44100, 10.0)))));
        selectComboItem(w.panel, IDC_FRAME_LENGTH, 11);
        setTrackBar(w.panel, IDC_FRAME_PERIOD, 16);
        ASSERT_TRUE(drainPostedMessages(control(w.panel, IDC_STATUS)));
        ASSERT_EQ(controlText(w.panel, IDC_FRAME_PERIOD_ECHO), L"512");
    }
};

}  // namespace

// Minimised while a frame was drawn but not yet painted, the views got no
// paint and never acknowledged the frame: the run waited for ever, and the
// window, whose thread was in that wait, could not even be restored.
TEST_F(SoakFindings, VoicePrintRunEndsWhenTheWindowIsMinimisedUnderIt)
{
    ASSERT_NO_FATAL_FAILURE(prepareALongVoicePrint());
    // A minimise that lands inside a run lands between a frame's hand-over
    // and its showing on the screen; the runs are short, so try until
    // several have.
    int landedInsideARun = 0;
    for (int attempt = 0; attempt < 40 && landedInsideARun < 5; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        clickButton(w.panel, IDC_DRAW);
        ASSERT_TRUE(waitForStatus(L"Voice-Print...")) << narrow(status());
        ASSERT_TRUE(showWindowFromOutside(w.main, SW_MINIMIZE)) << "the minimise request was not served";
        EXPECT_TRUE(IsIconic(w.main));
        if (status() == L"Voice-Print...") ++landedInsideARun;

        ASSERT_TRUE(waitForStatus(L"Voice-Print...Done.", 60000))
            << "the run did not end under a minimised window; status " << narrow(status());
        // Restored as from the task bar: a posted system command.
        PostMessageW(w.main, WM_SYSCOMMAND, SC_RESTORE, 0);
        ASSERT_TRUE(waitFor([&] { return !IsIconic(w.main); })) << "the window did not come back";
    }
    EXPECT_GE(landedInsideARun, 5) << "too few minimises landed inside a run to show anything";
}
