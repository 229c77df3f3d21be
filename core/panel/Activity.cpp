#include "core/panel/Activity.h"

Answer ActivityOwner::mayStart(Command command) const
{
    const bool workerBusy = worker_ != Worker::None;
    switch (command) {
    case Command::Play:
    case Command::Record:
        // One worker at a time, and none while a run reads the sound.
        return workerBusy || drawing_ ? Answer::Refuse : Answer::Start;
    case Command::Draw:
    case Command::SingleFrame:
        // A request that arrives while a run waits for the views runs after
        // it; while the recording is drawn live, the views are its.
        if (drawing_) return Answer::Requeue;
        return drawingLive() ? Answer::Refuse : Answer::Start;
    case Command::Load:
        // Replacing the sound frees what a worker or a run reads.
        return dialogOpen(Dialog::Load) || !soundFree() ? Answer::Refuse : Answer::Start;
    case Command::SaveSound:
        return dialogOpen(Dialog::SaveSound) || !soundFree() ? Answer::Refuse : Answer::Start;
    case Command::SaveNumbers:
        // A run, live or not, rewrites the numbers column by column.
        return dialogOpen(Dialog::SaveNumbers) || drawing_ || drawingLive() ? Answer::Refuse : Answer::Start;
    case Command::SavePicture:
        return dialogOpen(Dialog::SavePicture) || drawing_ ? Answer::Refuse : Answer::Start;
    case Command::CopyPicture:
        // Asked from inside a run's wait it would copy a half-drawn print.
        return drawing_ ? Answer::Refuse : Answer::Start;
    }
    return Answer::Refuse;
}

Activity ActivityOwner::state() const
{
    if (worker_ == Worker::LiveRecorder) return Activity::RecordingLive;
    if (drawing_) return Activity::Drawing;
    if (worker_ == Worker::Recorder) return Activity::Recording;
    if (worker_ == Worker::Player) return Activity::Playing;
    if (dialogOpen(Dialog::Load)) return Activity::Loading;
    if (dialogs_ != 0) return Activity::Saving;
    return Activity::Idle;
}

const wchar_t* busyText(Command command)
{
    switch (command) {
    case Command::Load: return L"Open A File...Busy.";
    case Command::SaveSound: return L"Save A File...Busy.";
    case Command::SaveNumbers: return L"Save Numbers...Busy.";
    case Command::SavePicture: return L"Save A Picture...Busy.";
    case Command::CopyPicture: return L"Copy A Picture...Busy.";
    default: return nullptr;
    }
}

panelTables::ControlEnabling controlEnabling(const ActivityOwner& owner, int sourceMode, int printMonoMode,
                                             int energyLogMode)
{
    return panelTables::controlEnabling(static_cast<int>(owner.state()), sourceMode, printMonoMode, energyLogMode);
}

ActivityOwner& activity()
{
    static ActivityOwner owner;
    return owner;
}
