// Sound files other than .wav (MP3, M4A/AAC, FLAC, WMA, AIFF, Ogg Vorbis and
// Opus, whatever decoders the system has) decoded through Media Foundation's
// source reader into the one kind of sound the program knows.
//
// Media Foundation is started once, on the first decode, and shut down when
// the program exits. Each decode initialises COM on its own thread for as
// long as it runs, so it may run on any thread, a worker's included.
#ifndef KELVARA_SYSTEM_DECODING_H
#define KELVARA_SYSTEM_DECODING_H

#include <atomic>

#include "core/audio/SoundBuffer.h"

// What a decode running on another thread reports, and how it is stopped.
struct DecodeProgress {
    std::atomic<int> percent{0};    // of the stated duration, 0 to 100
    std::atomic<bool> stop{false};  // set by the owner: give up at the next block
};

// Decodes the first audio stream of the file at `path` into `target`, as
// 16-bit PCM (or 32-bit float where the decoder offers only that) at the
// stream's own rate and channel count. On success `target` holds the new
// sound (ready = 1); on any failure (no decoder, a damaged file, no audio
// stream, memory, a stop) it is left exactly as it was.
bool decodeWithSystem(const wchar_t* path, SoundBuffer& target, DecodeProgress* progress = nullptr);

#endif
