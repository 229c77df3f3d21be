// What the program is doing, and the rules every command asks before it
// starts: the one owner of "is it busy?".
//
// Activities overlap. A voice-print run may start while a player or a
// recorder runs (it draws the loaded sound, which they do not change), and a
// load or a save runs a message loop (its dialog) or waits serving sent
// messages, in which other commands arrive. So the owner keeps what is under
// way as separate parts: at most one worker (player, recorder, or a recorder
// whose sound is drawn live), a run, a load, and each of the three saves;
// `state()` names the one a person sees.
//
// The commands ask `mayStart` and, when refused, show `busyText` (when it has
// one: play, record and draw are refused without a word). They tell the
// owner with `begin`/`end`. The owner lives on the user-interface thread: it
// is not shared with the workers or the views.
#ifndef KELVARA_ACTIVITY_H
#define KELVARA_ACTIVITY_H

#include "core/panel/PanelTables.h"

enum class Activity {
    Idle,
    Playing,
    Recording,
    RecordingLive,  // recording, and drawing the recorded sound as it comes in
    Drawing,        // a voice-print run
    Loading,
    Saving,
};

// Every command that asks the owner before it starts.
enum class Command {
    Play,         // "再生", "すべて再生"
    Record,       // "●REC"
    Draw,         // "描画"
    SingleFrame,  // a click in the waveform or the voice print
    Load,         // open, drop, command line
    SaveSound,
    SaveNumbers,
    SavePicture,
    CopyPicture,
};

// What a command may do now.
enum class Answer {
    Start,
    Refuse,   // ignored, or the busy text shown
    Requeue,  // asked from inside a run's wait: post it again, it runs after
};

// The refresh kinds of command 32789 (its lParam).
enum class RefreshKind : int {
    Cursor = 0,         // nothing refreshed: the cursor only (a queued catch-up)
    FramePeriod = 1,    // the frame-period track bar, or a click in the waveform
    Selection = 2,      // a drag in the waveform
    Full = 3,           // the frame-length combo, "描画"
    AfterNewSound = 4,  // a load or a recording ended
};

class ActivityOwner {
public:
    enum class Worker { None, Player, Recorder, LiveRecorder };
    // A load or a save under way, from its dialog to its end.
    enum class Dialog { Load, SaveSound, SaveNumbers, SavePicture };

    Answer mayStart(Command command) const;

    void workerStarted(Worker worker) { worker_ = worker; }
    void workerEnded() { worker_ = Worker::None; }
    void runStarted() { drawing_ = true; }
    void runEnded() { drawing_ = false; }
    void dialogOpened(Dialog dialog) { dialogs_ |= bit(dialog); }
    void dialogClosed(Dialog dialog) { dialogs_ &= ~bit(dialog); }

    Activity state() const;
    Worker worker() const { return worker_; }
    bool drawing() const { return drawing_; }
    // The views show the recording as it comes in: no run may draw over it.
    bool drawingLive() const { return worker_ == Worker::LiveRecorder; }
    // Nothing is under way that reads or replaces the sound.
    bool soundFree() const { return worker_ == Worker::None && !drawing_; }

    // Back to idle (a test's start; the program starts so).
    void reset() { *this = ActivityOwner{}; }

private:
    static unsigned bit(Dialog dialog) { return 1u << static_cast<unsigned>(dialog); }
    bool dialogOpen(Dialog dialog) const { return (dialogs_ & bit(dialog)) != 0; }

    Worker worker_ = Worker::None;
    bool drawing_ = false;
    unsigned dialogs_ = 0;
};

// The status text of a refused command; null for those refused silently.
const wchar_t* busyText(Command command);

// The enabled state of every control that is ever disabled. The activity
// disables nothing: a refused command is answered by the rules above.
panelTables::ControlEnabling controlEnabling(const ActivityOwner& owner, int sourceMode, int printMonoMode,
                                             int energyLogMode);

// The program's one owner (the user-interface thread's).
ActivityOwner& activity();

#endif
