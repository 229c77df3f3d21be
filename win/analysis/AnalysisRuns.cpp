// The three analysis runs of the control panel, on the user-interface thread:
// the voice print (1023), the frame behind a voice-print column (1017) and
// the frame at the waveform cursor (1018).
//
// Hand-over rules. An engine posted to a view with 1004 must not be set up or
// analysed into again until the view has taken what it needs of it into its
// back buffer; the views say so through DFTBuffWait0 (voice print) and
// DFTBuffWait1 (spectrum), which every run resets before it posts and waits
// for before it reuses an engine. The screen is not waited for: the views
// show their back buffers at most once a display refresh, so a run takes as
// long as its analysis and the drawing into the back buffers. The waits
// serve messages sent to this thread, because the waveform view sends 1018
// and waits for it: a run that waited deaf would block the very thread that
// has to signal the events. Runs that arrive while a voice print is under way
// are posted back to the panel and run after it.
//
// Once its frames are painted, a voice-print run measures the pitch, the
// formants and the level of every column it painted, over the whole sound,
// and hands them to the voice-print view, which takes a copy at once: the
// overlays, the readout and the export always have the run's own numbers.
#include "win/analysis/AnalysisRuns.h"

#include "core/analysis/DftEngine.h"
#include "core/analysis/Framing.h"
#include "core/analysis/VoiceNumbers.h"
#include "core/base/CommandIds.h"
#include "win/base/FrameHandshake.h"
#include "core/panel/Parameters.h"
#include "core/panel/Activity.h"
#include "core/panel/SelectionState.h"
#include "win/base/WindowRegistry.h"
#include "win/base/SoundAndEngines.h"
#include "win/base/StatusLine.h"
#include "core/audio/SoundBuffer.h"

#include <chrono>
#include <memory>

namespace {

// Where the last voice-print run's time went (MSG_RUN_TIMES), so that a
// benchmark can tell the arithmetic from the hand-over.
using RunClock = std::chrono::steady_clock;
RunClock::duration runPhase[4] = {};

// The last run's frames and their voice numbers, posted to the voice-print
// view. Rewritten only by a later run that has frames: the view has taken
// the first of them, and so this record posted before it, by then.
uint32_t runFirstSamples[columnCount];
VoiceNumbers runVoice;

// The voice of the cursor run's frame, which is not one of the run's columns,
// for the spectrum's ticks. Rewritten only once the spectrum has taken the
// frame posted after it.
VoiceNumbers cursorFrameVoice;

// Set while a cursor run that had to give way is queued, so a fast drag
// queues one catch-up run rather than one per mouse move.
bool cursorCatchUpQueued = false;

bool eventSignalled(HANDLE event)
{
    return !event || WaitForSingleObject(event, 0) != WAIT_TIMEOUT;
}

void waitForViews()
{
    waitServingSentMessages(voicePrintDoneEvent);
    // A run posts the spectrum its frame before the voice print, and one
    // thread takes both in that order, so by now the spectrum has nearly
    // always taken its frame: one look costs one trip to the server, a wait
    // two.
    if (!eventSignalled(spectrumDoneEvent)) waitServingSentMessages(spectrumDoneEvent);
}

// Whether the sound may be read now and has frames of the current length.
bool soundReadable()
{
    return theSound.ready == 1 && soundAnalysable(theSound.sampleCount, theSound.rate(), frameOrder);
}

void setUpWorkEngine()
{
    if (frameLengthOf(frameOrder) > 0) workEngine.load()->setUp(frameOrder, theSound.rate());
}

// Analyses the frame at `start` into the work engine and shows it in the
// spectrum view. False when there is no such frame.
bool analyseSingleFrame(int64_t start)
{
    if (!soundReadable() || !frameFits(start, frameLengthOf(frameOrder), theSound.sampleCount)) return false;
    workEngine.load()->analyseFrame(theSound, static_cast<uint32_t>(start), windowKind, currentSpectrumSettings());
    return true;
}

// The spectrum view may still be reading the work engine from the previous
// single-frame run. Waiting for it is safe unless the display thread itself
// is blocked sending us a message: then it cannot paint until we return.
bool spectrumHasTakenItsFrame()
{
    HANDLE taken = spectrumDoneEvent;
    if (eventSignalled(taken)) return true;
    if (InSendMessage()) return false;
    waitServingSentMessages(taken);
    return true;
}

void repost(HWND panel, WPARAM wParam, LPARAM lParam)
{
    PostMessageW(panel, WM_COMMAND, wParam, lParam);
}

}  // namespace

void runVoicePrint(HWND panel, bool (*)())
{
    switch (activity().mayStart(Command::Draw)) {
    case Answer::Requeue:
        // Sent to us while the run waits: draw again once this one is done.
        repost(panel, MAKEWPARAM(IDC_DRAW, 0), 0);
        return;
    case Answer::Refuse:
        return;  // the views are showing a recording as it comes in
    case Answer::Start:
        break;
    }
    activity().runStarted();
    setStatus(L"Voice-Print...");

    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(CMD_REFRESH, 0), static_cast<LPARAM>(RefreshKind::Full));
    PostMessageW(voicePrintWindow, WM_COMMAND, MAKEWPARAM(CMD_RESET_COLUMN, 0), 0);

    // A single-frame run may have posted the work engine a moment ago.
    waitForViews();
    const int32_t length = frameLengthOf(frameOrder);
    if (length > 0) {
        workEngine.load()->setUp(frameOrder, theSound.rate());
        displayEngine.load()->setUp(frameOrder, theSound.rate());
    }
    const int64_t start0 = analysisStart;
    const int32_t period = framePeriod;
    const int32_t kind = windowKind;
    for (RunClock::duration& phase : runPhase) phase = RunClock::duration::zero();

    int32_t frames = 0;
    for (int32_t k = 0; k < columnCount; ++k) {
        // Re-checked every frame: a recording may not touch the samples
        // before the run has stopped reading them.
        if (!soundReadable()) break;
        const int64_t start = frameStart(start0, k, period);
        if (!frameFits(start, length, theSound.sampleCount)) break;

        // Frame k+1 is computed while the views take frame k.
        const RunClock::time_point analysing = RunClock::now();
        workEngine.load()->analyseFrame(theSound, static_cast<uint32_t>(start), kind, currentSpectrumSettings());
        const RunClock::time_point waiting = RunClock::now();
        waitForViews();
        const RunClock::time_point posting = RunClock::now();
        runPhase[0] += waiting - analysing;
        runPhase[1] += posting - waiting;
        DftEngine* analysed = workEngine;
        workEngine = displayEngine.load();
        displayEngine = analysed;

        postFrame(spectrumWindow, spectrumDoneEvent, analysed);
        PostMessageW(waveWindow, WM_COMMAND, MAKEWPARAM(CMD_FRAME, 0), reinterpret_cast<LPARAM>(analysed));
        postFrame(voicePrintWindow, voicePrintDoneEvent, analysed);
        runPhase[2] += RunClock::now() - posting;
        runFirstSamples[frames++] = static_cast<uint32_t>(start);
    }
    waitForViews();
    // A run without frames leaves the picture, and so the numbers over it,
    // as they were.
    if (frames > 0) {
        const RunClock::time_point measuring = RunClock::now();
        if (soundReadable())
            measureVoice(runVoice, theSound.samples, theSound.sampleCount, theSound.rate(), runFirstSamples, frames,
                         length, speakerKind.load());
        else
            clearVoice(runVoice);
        runPhase[3] = RunClock::now() - measuring;
        PostMessageW(voicePrintWindow, WM_COMMAND, MAKEWPARAM(CMD_VOICE_NUMBERS, 0),
                     reinterpret_cast<LPARAM>(&runVoice));
        PostMessageW(spectrumWindow, WM_COMMAND, MAKEWPARAM(CMD_OVERLAYS_CHANGED, 0), 0);
    }
    PostMessageW(voicePrintWindow, WM_COMMAND, MAKEWPARAM(CMD_REBUILD_AXIS, 0), 0);
    // A sound shorter than a frame, or a selection that starts within the
    // last frame length, has no frame to draw: saying "Done." would claim a
    // picture that is not there.
    setStatus(frames > 0 ? L"Voice-Print...Done." : L"Voice-Print...No frame fits.");

    // A player or recorder that was running when the run started still is:
    // the owner keeps it apart from the run.
    activity().runEnded();
}

void runFrameAtColumn(HWND panel, WPARAM wParam, LPARAM lParam)
{
    // The maximum-frequency echo edit has the same id; its notifications
    // carry a non-zero code and are not requests.
    if (HIWORD(wParam) != 0) return;
    const Answer answer = activity().mayStart(Command::SingleFrame);
    if (answer == Answer::Refuse) return;
    if (answer == Answer::Requeue || !spectrumHasTakenItsFrame()) {
        repost(panel, wParam, lParam);
        return;
    }

    const int64_t start = frameStart(analysisStart, static_cast<int32_t>(lParam), appliedFramePeriod);
    setUpWorkEngine();
    if (!analyseSingleFrame(start)) return;
    PostMessageW(waveWindow, WM_COMMAND, MAKEWPARAM(CMD_CURSOR_COLUMN, 0),
                 waveformColumnOf(static_cast<uint32_t>(start), theSound.sampleCount));
    postFrame(spectrumWindow, spectrumDoneEvent, workEngine);
}

void runCursor(HWND panel, int kind)
{
    const Answer answer = activity().mayStart(Command::SingleFrame);
    if (answer == Answer::Refuse) return;
    if (answer == Answer::Requeue) {
        // The waveform view sent this while the run waits for the views;
        // answering now would change the selection under the run.
        repost(panel, MAKEWPARAM(CMD_CURSOR_RUN, 0), kind);
        return;
    }
    if (kind == static_cast<int>(RefreshKind::Cursor)) cursorCatchUpQueued = false;

    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(CMD_REFRESH, 0), kind);
    PostMessageW(voicePrintWindow, WM_COMMAND, MAKEWPARAM(CMD_VOICEPRINT_CURSOR, 0),
                 cursorVoicePrintColumn(cursorSample, analysisStart, appliedFramePeriod));

    if (!spectrumHasTakenItsFrame()) {
        // We are inside the waveform view's send and the spectrum view still
        // holds the work engine: let the view go on, and analyse afterwards.
        // Kind 0 refreshes nothing but the cursor and analyses at cursorSample
        // as it then stands.
        if (!cursorCatchUpQueued)
            cursorCatchUpQueued = PostMessageW(panel, WM_COMMAND, MAKEWPARAM(CMD_CURSOR_RUN, 0),
                                              static_cast<LPARAM>(RefreshKind::Cursor)) != FALSE;
        return;
    }

    setUpWorkEngine();
    const int64_t cursor = cursorSample.load();
    if (!analyseSingleFrame(cursor)) return;
    const uint32_t start = static_cast<uint32_t>(cursor);  // within the sound: the frame fits
    measureVoice(cursorFrameVoice, theSound.samples, theSound.sampleCount, theSound.rate(), &start, 1,
                 frameLengthOf(frameOrder), speakerKind.load());
    PostMessageW(spectrumWindow, WM_COMMAND, MAKEWPARAM(CMD_FRAME_VOICE, 0),
                 reinterpret_cast<LPARAM>(&cursorFrameVoice.column[0]));
    postFrame(spectrumWindow, spectrumDoneEvent, workEngine);
}

void remeasureLastRunsFormants()
{
    // Not while a run or a recording shown live has the voice print.
    if (activity().drawing() || activity().drawingLive() || !soundReadable()) return;
    // A record of its own, handed over whole: the view deletes it once it has
    // taken it, so no later change can write into one it is reading.
    auto remeasured = std::make_unique<VoiceNumbers>(runVoice);
    // From the run's own numbers each time: only the formants change.
    if (!remeasureFormants(*remeasured, theSound.samples, theSound.sampleCount, speakerKind.load())) return;
    if (PostMessageW(voicePrintWindow, WM_COMMAND, MAKEWPARAM(CMD_VOICE_NUMBERS, 1),
                     reinterpret_cast<LPARAM>(remeasured.get())))
        remeasured.release();
    PostMessageW(spectrumWindow, WM_COMMAND, MAKEWPARAM(CMD_OVERLAYS_CHANGED, 0), 0);
}

int64_t lastRunMicroseconds(int phase)
{
    if (phase < 0 || phase > 3) return 0;
    return std::chrono::duration_cast<std::chrono::microseconds>(runPhase[phase]).count();
}
