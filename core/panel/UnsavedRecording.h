// Whether the sound is a recording that has never been written to a file,
// and the rules for leaving such a sound. A recording lives only in memory:
// recording again, opening another file, closing the window or the end of
// the Windows session would drop it, so each of these asks first, as Windows
// programs do. A sound read from a file, or a recording that
// "名前を付けて保存" wrote, is kept safe and asks nothing.
//
// One flag, written and read on the user-interface thread; it is atomic so
// that a reader elsewhere (the title bar, a test) always sees a whole value.
#ifndef KELVARA_UNSAVED_RECORDING_H
#define KELVARA_UNSAVED_RECORDING_H

#include "core/panel/Activity.h"

// The sound has just become a recording that exists nowhere else.
void markRecordingUnsaved();
// The sound is now a file's: loaded from one, or written to one.
void markSoundSaved();
bool hasUnsavedRecording();
// `listener` is called after every change of the flag (null for none), on the
// thread that changed it: the one place that must show the flag, such as a
// window title, hears of it without asking after each command.
void setUnsavedRecordingListener(void (*listener)(bool unsaved));

// The answers to "録音は保存されていません。保存しますか?".
enum class SaveQuestionAnswer { Yes, No, Cancel };
// How the save that a Yes starts ended.
enum class SaveOutcome { Saved, Cancelled, Failed, Busy };

// Whether leaving the sound must ask first. Not while a recording is under
// way: recording again and opening a file are refused then, and a close stops
// it; the sound it replaces was asked about when it was started.
bool asksBeforeLeavingSound(bool unsavedRecording, Activity activity);

// Whether the action goes on after `answer`; for Yes, only when its save
// (`saved`) wrote the file. No goes on and Cancel stays, whatever `saved`.
bool goesOnAfter(SaveQuestionAnswer answer, SaveOutcome saved);

// For tests: back to the state at start (no recording, no listener).
void resetUnsavedRecording();

#endif
