#include "core/panel/UnsavedRecording.h"

#include <atomic>


namespace {

std::atomic<bool> unsavedRecording{false};
void (*unsavedListener)(bool) = nullptr;

void setUnsaved(bool unsaved)
{
    const bool was = unsavedRecording.exchange(unsaved);
    if (was != unsaved && unsavedListener) unsavedListener(unsaved);
}

}  // namespace

void markRecordingUnsaved() { setUnsaved(true); }

void markSoundSaved() { setUnsaved(false); }

bool hasUnsavedRecording() { return unsavedRecording.load(); }

void setUnsavedRecordingListener(void (*listener)(bool unsaved)) { unsavedListener = listener; }

bool asksBeforeLeavingSound(bool unsaved, Activity activity)
{
    return unsaved && activity != Activity::Recording && activity != Activity::RecordingLive;
}

bool goesOnAfter(SaveQuestionAnswer answer, SaveOutcome saved)
{
    switch (answer) {
    case SaveQuestionAnswer::Yes:
        return saved == SaveOutcome::Saved;
    case SaveQuestionAnswer::No:
        return true;
    case SaveQuestionAnswer::Cancel:
        return false;
    }
    return false;
}

void resetUnsavedRecording()
{
    unsavedRecording = false;
    unsavedListener = nullptr;
}
