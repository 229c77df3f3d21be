#include "win/base/SoundAndEngines.h"

#include "core/analysis/DftEngine.h"
#include "core/audio/SoundBuffer.h"

SoundBuffer theSound;
DftEngine engineA;
DftEngine engineB;
std::atomic<DftEngine*> workEngine{&engineA};
std::atomic<DftEngine*> displayEngine{&engineB};
