// Drawing a recording while it comes in, on the user-interface thread. The
// recorder's notification posts MSG_LIVE_BLOCK after every block it appends;
// the panel decodes what is new, feeds the level line and the waveform,
// analyses each voice-print column whose frame the block completed, handing
// it to the views as a run does, and measures the columns' pitch and
// formants as their windows come in, for the overlays. The recording itself
// never waits for any of this: the device appends into the capture, and
// this only reads it.
#ifndef KELVARA_LIVE_RECORDING_H
#define KELVARA_LIVE_RECORDING_H

#include <windows.h>

#include <cstdint>

// At "●REC", once the recorder runs: the planned format and length.
void startLiveDrawing(uint32_t sampleRate, int bitsPerSample, int seconds);
// MSG_LIVE_BLOCK: `recordedBytes` have come in, the last of them handed back
// at `arrivedMicros` (steadyMicroseconds).
void onLiveBlock(uint32_t recordedBytes, int64_t arrivedMicros);
// At 1025, before the capture becomes the sound: no block is read after this.
// True when the views had begun to show the recording.
bool endLiveDrawing();
// Makes the selection the whole sound, as a drag over all of it would
// (refresh 2), so that the run that follows draws all of the recording.
void selectWholeSound(HWND panel);
// The latency figures of the recordings drawn so far (MSG_LIVE_TIMES):
// 0 median, 1 95th percentile, in microseconds; 2 how many columns.
int64_t liveLatency(int which);

#endif
