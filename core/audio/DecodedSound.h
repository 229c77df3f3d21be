// A sound that a system decoder hands over block by block (an MP3, an M4A,
// a FLAC file), gathered into the one SoundBuffer so that from then on it is
// a sound like a loaded .wav: the blocks become its data, in the format the
// decoder delivered, and its first channel is decoded as any other.
//
// The decoder's own calls live on the Windows side; what is here is the part
// that needs no system: checking the format it offers, gathering the blocks
// without copying the whole sound at every growth, and the progress figure.
#ifndef KELVARA_DECODED_SOUND_H
#define KELVARA_DECODED_SOUND_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/audio/SoundBuffer.h"

// What the decoder delivers: interleaved frames of `channels` samples, each
// `bits` wide, integer PCM or (isFloat) IEEE float.
struct DecodedFormat {
    uint16_t channels = 0;
    uint32_t rate = 0;
    uint16_t bits = 0;
    bool isFloat = false;
};

// True when the buffer can hold and decode sound in this format: 1 to 8
// channels at 1 Hz to 1 MHz, 8, 16, 24 or 32-bit integer or 32-bit float.
bool isAcceptedDecodedFormat(const DecodedFormat& format);

// The wave-format record the sound is kept and played in.
WaveFormat waveFormatOf(const DecodedFormat& format);

// Frames a stretch of `duration` (in units of 100 ns, as media durations
// are given) holds at `rate`, rounded up; 0 for a duration of 0 or less.
uint64_t framesIn(int64_t duration, uint32_t rate);

// Whole percent of `duration` that `position` (both in 100 ns) has reached,
// 0 to 100: 0 while the duration is unknown (0 or less), 100 at or past it.
int progressPercent(int64_t position, int64_t duration);

// Gathers the decoded blocks. Use: begin, append as often as blocks come,
// then finish into the sound. Not thread-safe; one decoder feeds one.
class DecodedSoundAssembler {
public:
    // Starts a sound in `format`, with room for `expectedFrames` (a hint
    // from the stated duration; the sound may turn out longer or shorter).
    // False for a format isAcceptedDecodedFormat refuses.
    bool begin(const DecodedFormat& format, uint64_t expectedFrames);

    // Adds `size` bytes of interleaved frames. A block may end inside a
    // frame; the rest of that frame is expected at the start of the next.
    // False, with everything before kept, when memory runs out or the sound
    // would no longer fit the buffer's 32-bit byte count.
    bool append(const uint8_t* bytes, size_t size);

    // Whole frames gathered so far.
    uint64_t frames() const;

    // Hands the whole frames over: `target` takes them as its data and their
    // first channel as its samples (ready = 1), and its old blocks are freed.
    // False for a sound of no frames or when decoding it fails; `target` is
    // then untouched. The assembler is empty afterwards either way.
    bool finish(SoundBuffer& target);

private:
    bool growTo(size_t needed);

    DecodedFormat format_{};
    uint32_t frameBytes_ = 0;
    std::unique_ptr<uint8_t[]> block_;
    size_t capacity_ = 0;
    size_t size_ = 0;
};

#endif
