// Command 32800: the sound as a canonical .wav file, in its own format.
// Nothing is lost on a failed save (win/base/FileReplacing.h), and the sound
// is only ever read. The question asked before a recording that was never
// saved is dropped (core/panel/UnsavedRecording.h) lives here too: its Yes
// is this save.
#include "win/panel/PanelCommands.h"

#include <cstdio>
#include <string>

#include "core/base/CommandIds.h"
#include "core/base/PathNames.h"
#include "core/panel/Activity.h"
#include "core/panel/SelectionState.h"
#include "core/panel/UnsavedRecording.h"
#include "win/base/WindowRegistry.h"
#include "win/base/SoundAndEngines.h"
#include "win/base/FileReplacing.h"
#include "win/base/StatusLine.h"
#include "core/audio/SoundBuffer.h"
#include "core/audio/WavWriter.h"
#include "win/base/FileDialog.h"
#include "win/base/SoundTitle.h"

namespace {

// Where the sound in theSound came from, for the name the dialog proposes.
struct SoundOrigin {
    bool fromFile = false;
    std::wstring path;        // the file, when fromFile
    SYSTEMTIME recordedAt{};  // local time, when recorded
};
SoundOrigin origin;


bool saveSoundTo(const std::wstring& target)
{
    WavFilePlan plan;
    if (!planWavFile(theSound.format, theSound.dataSize, plan)) return false;
    return replaceFile(target, [&plan](HANDLE file) {
        const uint8_t pad = 0;
        return writeAllBytes(file, plan.header.data(), plan.header.size()) &&
               writeAllBytes(file, theSound.data, plan.dataBytes) && (!plan.padByte || writeAllBytes(file, &pad, 1));
    });
}

// The name the dialog proposes, and the folder it opens in ("" for the
// dialog's own choice).
std::wstring proposedName(std::wstring& folder)
{
    folder.clear();
    if (origin.fromFile) {
        const size_t slash = origin.path.find_last_of(L"\\/");
        if (slash == std::wstring::npos) return origin.path;
        // A folder too long for the dialog to start in is left to its choice
        // (Wine's dialog even crashes in one).
        if (slash + 1 < shortPathLimit) folder = origin.path.substr(0, slash + 1);
        return origin.path.substr(slash + 1);
    }
    const SYSTEMTIME& t = origin.recordedAt;
    wchar_t name[64];
    std::swprintf(name, 64, L"recording-%04u%02u%02u-%02u%02u%02u.wav", unsigned{t.wYear}, unsigned{t.wMonth},
                  unsigned{t.wDay}, unsigned{t.wHour}, unsigned{t.wMinute}, unsigned{t.wSecond});
    return name;
}

DialogEnd askForTarget(std::wstring& target)
{
    std::wstring folder;
    const std::wstring name = proposedName(folder);
    return askForSaveTarget(wavFiles, name, target, folder.empty() ? nullptr : folder.c_str());
}

void reportFailure()
{
    setStatus(L"Save A File...Failed.");
    MessageBoxW(nullptr, L"ファイルの保存に失敗しました。", L"!", MB_OK);
}

// Set while the question is on the screen: its message loop may bring a
// second close, record or open, which must not ask again over it.
bool askingToSave = false;

}  // namespace

void noteSoundFromFile(const wchar_t* path)
{
    origin.fromFile = true;
    origin.path = path;
    markSoundSaved();
    titleForFile(path);
}

void noteSoundRecorded()
{
    origin.fromFile = false;
    origin.path.clear();
    GetLocalTime(&origin.recordedAt);
    markRecordingUnsaved();
    titleForRecording();
}

std::wstring nameAfterTheSound(const wchar_t* extension)
{
    return nameAfterSound(origin.fromFile ? origin.path : std::wstring(), extension);
}

bool soundSavable()
{
    // The save dialog runs a message loop, so a second 32800 could arrive
    // while the first one still asks for a name (Activity.h refuses it).
    return activity().mayStart(Command::SaveSound) == Answer::Start && theSound.ready.load() == 1 && !workerRunning();
}

SaveOutcome saveSoundFile(HWND)
{
    if (!soundSavable()) {
        setStatus(busyText(Command::SaveSound));
        return SaveOutcome::Busy;
    }
    activity().dialogOpened(ActivityOwner::Dialog::SaveSound);

    // The dialog's message loop may start a player, a recorder, a voice
    // print or a load meanwhile; what is saved must be what was asked for.
    const uint8_t* asked = theSound.data;
    std::wstring path;
    const DialogEnd chosen = askForTarget(path);
    activity().dialogClosed(ActivityOwner::Dialog::SaveSound);
    // A cancel leaves the status line as it was: nothing was tried.
    if (chosen == DialogEnd::Cancelled) return SaveOutcome::Cancelled;
    if (chosen == DialogEnd::Failed) {
        reportFailure();
        return SaveOutcome::Failed;
    }
    if (!soundSavable() || theSound.data != asked) {
        setStatus(busyText(Command::SaveSound));
        return SaveOutcome::Busy;
    }

    setStatus(L"Save A File...");
    if (!saveSoundTo(path)) {
        reportFailure();
        return SaveOutcome::Failed;
    }
    noteSoundFromFile(path.c_str());
    noteFileSaved(path);
    setStatus(L"Save A File...Done.");
    return SaveOutcome::Saved;
}

bool mayLeaveTheSound(HWND panel)
{
    if (!asksBeforeLeavingSound(hasUnsavedRecording(), activity().state())) return true;
    if (askingToSave) return false;
    askingToSave = true;
    const int pressed = MessageBoxW(mainWindow.load(), L"録音は保存されていません。保存しますか?", L"Kelvara",
                                    MB_YESNOCANCEL | MB_ICONWARNING);
    const SaveQuestionAnswer answer = pressed == IDYES  ? SaveQuestionAnswer::Yes
                                      : pressed == IDNO ? SaveQuestionAnswer::No
                                                        : SaveQuestionAnswer::Cancel;
    const SaveOutcome saved = answer == SaveQuestionAnswer::Yes ? saveSoundFile(panel) : SaveOutcome::Cancelled;
    askingToSave = false;
    return goesOnAfter(answer, saved);
}
