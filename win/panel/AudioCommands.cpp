// The panel's play, record and stop commands and the workers' completion
// commands. The panel owns the two job records and starts one worker at a
// time; it keeps each worker's thread handle from its start until it has
// handled the worker's completion command, so that no second worker is ever
// started on a job record still in use and so that closing the program can
// wait for a worker to let go of its device. What may start when is the
// activity owner's to say (Activity.h).
#include <windows.h>

#include "core/panel/Parameters.h"
#include "core/panel/Activity.h"
#include "core/panel/SelectionState.h"
#include "win/base/WindowRegistry.h"
#include "win/base/SoundAndEngines.h"
#include "win/base/StatusLine.h"
#include "win/audio/AudioJobs.h"
#include "win/panel/ControlWrapper.h"
#include "win/panel/PanelCommands.h"
#include "win/panel/LiveRecording.h"
#include "win/analysis/AnalysisRuns.h"
#include "core/panel/PanelTables.h"
#include "win/base/FrameHandshake.h"

PlayerJob playerJob;
RecorderJob recorderJob;

namespace {

HANDLE playerThreadHandle = nullptr;
HANDLE recorderThreadHandle = nullptr;

const DWORD promptCheckMs = 100;

// Closes the message boxes a worker thread shows (an MB_OK box takes WM_CLOSE
// as its OK), so that a worker stopped at exit can end.
void dismissPrompts(DWORD threadId)
{
    EnumThreadWindows(
        threadId,
        [](HWND window, LPARAM) -> BOOL {
            wchar_t className[16] = {};
            GetClassNameW(window, className, 16);
            if (lstrcmpW(className, L"#32770") == 0) PostMessageW(window, WM_CLOSE, 0, 0);
            return TRUE;
        },
        0);
}

// Waits until the worker has really ended, however long that takes: its job
// record, the sound it reads and the device blocks it holds are only free
// once it has. A worker posts its completion command just before it ends, so
// the wait at completion is short; at exit it can last as long as a reset
// device takes to hand back its blocks. Sent messages are served meanwhile,
// so the display thread never blocks on us. `threadId` names a worker that
// may be showing its "no device" box, which nobody will answer at exit.
void closeWorker(HANDLE& thread, DWORD threadId = 0)
{
    if (!thread) return;
    while (!waitServingSentMessages(thread, promptCheckMs))
        if (threadId != 0) dismissPrompts(threadId);
    CloseHandle(thread);
    thread = nullptr;
}

bool mayStartWorker(Command command) { return activity().mayStart(command) == Answer::Start && !workerRunning(); }

// Starts the worker on its filled-in job record; if the thread cannot be
// made, the panel is idle again and says `failedStatus`.
template <typename Job>
void startWorker(Job& job, LPTHREAD_START_ROUTINE entry, HANDLE& thread, const wchar_t* failedStatus)
{
    job.outcome = WorkerFinished;
    job.running = 1;
    thread = CreateThread(nullptr, 0, entry, &job, 0, &job.threadId);
    if (!thread) {
        job.running = 0;
        setStatus(failedStatus);
        activity().workerEnded();
    }
}

void startPlayer(uint32_t position, uint32_t end)
{
    playerJob.sound = &theSound;
    playerJob.cursorWindow = waveWindow.load();
    playerJob.position = position;
    playerJob.end = end;
    startWorker(playerJob, playerThread, playerThreadHandle, L"Playing...Failed.");
}

// A combo without a selection keeps the value it had.
int comboOr(const ControlWrapper& combo, int current, int (*fromIndex)(int))
{
    const int index = combo.comboSelection();
    return index < 0 ? current : fromIndex(index);
}

}  // namespace

bool workerRunning() { return playerThreadHandle != nullptr || recorderThreadHandle != nullptr; }

void onPlay(HWND)
{
    if (!mayStartWorker(Command::Play) || theSound.ready.load() != 1) return;
    activity().workerStarted(ActivityOwner::Worker::Player);
    setStatus(L"Playing...");
    const PlayRange range = selectionPlayRange(selStartX.load(), selEndX.load(), theSound.dataSize, theSound.format.blockAlign);
    startPlayer(range.position, range.end);
}

void onPlayAll(HWND)
{
    if (!mayStartWorker(Command::Play) || theSound.ready.load() != 1) return;
    activity().workerStarted(ActivityOwner::Worker::Player);
    setStatus(L"Playing...");
    startPlayer(0, playToEnd);
}

void onStopPlaying() { playerJob.running = 0; }

void onRecord(HWND panel)
{
    if (!mayStartWorker(Command::Record)) return;
    // The question's message loop may start a player or a run meanwhile.
    if (!mayLeaveTheSound(panel) || !mayStartWorker(Command::Record)) return;
    // The views draw the recording as it comes in (LiveRecording.h).
    activity().workerStarted(ActivityOwner::Worker::LiveRecorder);
    setStatus(L"Recording...");

    recordRate = comboOr(panelControls::recordRateCombo, recordRate.load(), panelTables::recordRateOfIndex);
    recordBits = comboOr(panelControls::recordBitsCombo, recordBits.load(), panelTables::recordBitsOfIndex);
    recordSeconds = comboOr(panelControls::recordSecondsCombo, recordSeconds.load(), panelTables::recordSecondsOfIndex);

    recorderJob.sound = &theSound;
    recorderJob.notifyWindow = panel;
    recorderJob.bitsPerSample = recordBits.load();
    recorderJob.sampleRate = static_cast<uint32_t>(recordRate.load());
    startWorker(recorderJob, recorderThread, recorderThreadHandle, L"Recording...Failed.");
    if (recorderThreadHandle) startLiveDrawing(recorderJob.sampleRate, recorderJob.bitsPerSample, recordSeconds.load());
}

void onStopRecording() { recorderJob.running = 0; }

void onRecordingDone(HWND panel)
{
    const bool started = recorderThreadHandle != nullptr;
    closeWorker(recorderThreadHandle);
    const bool drawnLive = endLiveDrawing();
    // The recorder is gone; a player cannot have started meanwhile.
    if (activity().worker() != ActivityOwner::Worker::Player) activity().workerEnded();
    if (started) {
        const int outcome = recorderJob.outcome.load();
        if (outcome == WorkerFailed || recorderJob.capture.ready.load() != 1) {
            // The loaded sound was never touched; it stays usable, and the
            // views show it again.
            if (drawnLive) refreshViewsFromSound(panel, false);
            setStatus(L"Recording...Failed.");
            return;
        }
        SoundBuffer* target = recorderJob.sound;
        target->ready = 0;
        target->takeFrom(recorderJob.capture);
        target->ready = 1;
        noteSoundRecorded();
    }
    refreshViewsFromSound(panel, started);
    if (started) {
        // The live picture was coloured by the loudest sample so far, and its
        // columns stood where the planned length put them; the recording as
        // it is, selected whole, is drawn as "描画" would draw it.
        selectWholeSound(panel);
        runVoicePrint(panel, workerRunning);
    }
    // The recording is whole, but the device never handed back its blocks
    // and is held open: another recording may find it busy until a restart.
    const bool deviceKept = started && recorderJob.outcome.load() == WorkerDeviceKept;
    setStatus(deviceKept ? L"Recording...Done. Device not released." : L"Recording...Done.");
}

void onPlayingDone(HWND)
{
    const bool started = playerThreadHandle != nullptr;
    closeWorker(playerThreadHandle);
    const bool failed = started && playerJob.outcome.load() == WorkerFailed;
    setStatus(failed ? L"Playing...Failed." : L"Playing...Done.");
    activity().workerEnded();
}

void stopWorkersForExit()
{
    playerJob.running = 0;
    recorderJob.running = 0;
    closeWorker(playerThreadHandle, playerJob.threadId);
    closeWorker(recorderThreadHandle, recorderJob.threadId);
}
