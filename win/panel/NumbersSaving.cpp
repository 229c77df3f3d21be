// Command 32803: the numbers behind the voice print of the last run and the
// spectrum of the current frame, as a CSV file (core/analysis/NumbersCsv.h).
// Nothing is lost on a failed save (win/base/FileReplacing.h).
#include "win/panel/PanelCommands.h"

#include <mutex>
#include <string>

#include "core/analysis/NumbersCsv.h"
#include "core/panel/Activity.h"
#include "win/base/FileDialog.h"
#include "win/base/FileReplacing.h"
#include "win/base/StatusLine.h"
#include "win/views/ShownNumbers.h"

namespace {

// The save dialog runs a message loop in which a second 32803 can arrive,
// and a run (live or not) rewrites the numbers column by column; what is
// saved must be one run's, whole (Activity.h).
bool numbersBusy()
{
    return activity().mayStart(Command::SaveNumbers) != Answer::Start;
}

}  // namespace

std::string numbersAsCsv()
{
    ShownNumbers& numbers = shownNumbers();
    std::lock_guard<std::mutex> hold(numbers.lock);
    return numbersCsv(numbers.voicePrint, numbers.frame, &numbers.voice);
}

bool numbersSavable()
{
    ShownNumbers& numbers = shownNumbers();
    std::lock_guard<std::mutex> hold(numbers.lock);
    return !numbersBusy() && (numbers.voicePrint.columnsTaken > 0 || numbers.frame.length > 0);
}

void saveNumbers(HWND)
{
    if (numbersBusy()) {
        setStatus(busyText(Command::SaveNumbers));
        return;
    }
    // The menu item is greyed then; a command that comes anyway (a key, a
    // script) finds nothing of the sound to write.
    if (!numbersSavable()) return;
    activity().dialogOpened(ActivityOwner::Dialog::SaveNumbers);
    std::wstring target;
    const DialogEnd chosen = askForSaveTarget(csvFiles, nameAfterTheSound(L"csv"), target);
    activity().dialogClosed(ActivityOwner::Dialog::SaveNumbers);
    // A cancel leaves the status line as it was: nothing was tried.
    if (chosen == DialogEnd::Cancelled) return;
    if (chosen == DialogEnd::Chosen && numbersBusy()) {
        setStatus(busyText(Command::SaveNumbers));
        return;
    }
    bool saved = false;
    if (chosen == DialogEnd::Chosen) {
        setStatus(L"Save Numbers...");
        const std::string text = numbersAsCsv();
        saved = replaceFile(target, [&text](HANDLE file) {
            return writeAllBytes(file, reinterpret_cast<const uint8_t*>(text.data()), text.size());
        });
    }
    if (saved) {
        setStatus(L"Save Numbers...Done.");
    } else {
        setStatus(L"Save Numbers...Failed.");
        MessageBoxW(nullptr, L"数値の保存に失敗しました。", L"!", MB_OK);
    }
}
