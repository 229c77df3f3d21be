// The one sound and the two engines. Loading and recording replace the
// sound on the user-interface thread while nothing reads it (its `ready`
// flag says when it may be read); the analysis runs swap the work and display
// roles of the engines, and the frame handshake (win/base/FrameHandshake.h)
// keeps a run from writing the engine a view still reads.
#ifndef KELVARA_SOUND_AND_ENGINES_H
#define KELVARA_SOUND_AND_ENGINES_H

#include <atomic>

struct SoundBuffer;
struct DftEngine;

extern SoundBuffer theSound;
extern DftEngine engineA;
extern DftEngine engineB;
extern std::atomic<DftEngine*> workEngine;
extern std::atomic<DftEngine*> displayEngine;

#endif
