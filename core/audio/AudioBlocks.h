// Block arithmetic shared by the player and the recorder: how many bytes one
// device block holds, how a play range is cut into blocks, how a recorded
// block is appended to the sound, and how waveform columns and byte offsets
// map onto each other. Pure functions of their arguments, no platform calls,
// so the threads in Player.cpp and Recorder.cpp stay thin.
#ifndef KELVARA_AUDIO_BLOCKS_H
#define KELVARA_AUDIO_BLOCKS_H

#include <atomic>
#include <cstdint>

#include "core/audio/SoundBuffer.h"
#include "core/base/Columns.h"

// The player keeps this many blocks queued on the output device.
constexpr int playerRingSize = 16;

// A play end that means "up to the end of the sound".
constexpr uint32_t playToEnd = 0xFFFFFFFFu;

// Bytes in 1024/22050 s (about 46 ms) of sound in this format:
// floor(avgBytesPerSec * 1024 / 22050), rounded up to a whole sample frame.
// A block alignment of 0 counts as 1, and the result is never less than one
// frame, so a broken format cannot make a player loop on empty blocks.
uint32_t blockBytes(const WaveFormat& format);

// The mono PCM format the recorder asks the input device for.
WaveFormat recordFormat(uint32_t sampleRate, int bitsPerSample);

// Bytes that `seconds` seconds of sound in this format take (0 for a
// non-positive length; saturates rather than wrapping).
uint32_t recordCapacity(const WaveFormat& format, int seconds);

// The ring slot after `index`.
inline int nextRingIndex(int index) { return (index + 1) % playerRingSize; }

// One block of a play range, starting at the current play position.
struct PlayBlock {
    uint32_t length;  // bytes to copy from the position
    bool last;        // the range ends with this block
};

// A full block while position + block < end (strictly, so a range that is an
// exact multiple of the block ends with a full last block); otherwise the
// last block, of end - position bytes (0 when the position is already at or
// past the end).
PlayBlock nextPlayBlock(uint32_t position, uint32_t end, uint32_t block);

// Byte offset just past `block` when it starts at `position`: how far the
// sound has been heard once the device hands that block back. The last block
// of a range ends on the range's end.
inline uint32_t playBlockEnd(uint32_t position, PlayBlock block) { return position + block.length; }

// The ring slot whose header is `header`, or -1 for one the ring does not
// hold. A linear search over a handful of pointers: it takes no lock and
// allocates nothing, so the device's notification may call it.
template <typename Header>
int ringSlotOf(Header* const (&headers)[playerRingSize], const Header* header)
{
    if (header == nullptr) return -1;
    for (int i = 0; i < playerRingSize; ++i)
        if (headers[i] == header) return i;
    return -1;
}

// The end actually played: playToEnd and anything beyond the sound become the
// sound's size.
inline uint32_t clampPlayEnd(uint32_t end, uint32_t dataSize) { return end > dataSize ? dataSize : end; }

// Byte offset at which waveform column `column` starts, rounded down to a
// whole sample frame: trunc(columnStart(column, dataSize) / B) * B.
uint32_t byteOfColumn(uint32_t column, uint32_t dataSize, uint16_t blockAlign);

struct PlayRange {
    uint32_t position;
    uint32_t end;  // playToEnd for "to the end of the sound"
};

// The range the play button plays for the selection columns a and b: from a
// to the end when they are equal, otherwise from the smaller to the larger
// (to the end when the larger maps to byte 0).
PlayRange selectionPlayRange(uint32_t a, uint32_t b, uint32_t dataSize, uint16_t blockAlign);

// Waveform column (0..550) of byte offset `position` (columnOfPosition).
uint32_t columnOfByte(uint32_t position, uint32_t dataSize);

// Appends `n` recorded bytes from `block` to `data` (capacity `dataSize`) at
// `recordedBytes`, copying only what still fits, and advances recordedBytes
// by the full n, so a recording that overran shows it. Returns whether the
// sound still has room for another block.
bool appendRecorded(uint8_t* data, uint32_t dataSize, std::atomic<uint32_t>& recordedBytes,
                    const uint8_t* block, uint32_t n);

// The size of a recording once it has stopped: what was recorded, but never
// more than the buffer holds.
inline uint32_t recordedDataSize(uint32_t dataSize, uint32_t recordedBytes)
{
    return recordedBytes < dataSize ? recordedBytes : dataSize;
}

// Keeps a wave device's notifications away from a job once the worker has
// let go of that device. A device that never hands back a block after a
// reset is kept open rather than closed under it, and its late notifications
// may then come at any time: while the worker decodes the capture, after the
// sound has taken it over, or during the next recording on a new device.
// Every notification enters with the device it comes from and touches the
// job only if that is the device the worker still listens to; `close` makes
// the worker deaf and returns only once no notification is inside, so what
// the worker does after it can race with nothing. Sequentially consistent
// atomics: either `close` sees a notification inside and waits for it, or the
// notification sees the gate closed.
class NotificationGate {
public:
    // From now on notifications of `device` may touch the job.
    void open(const void* device) { device_.store(device); }

    // True when the caller may touch the job; it must call leave() after.
    bool enter(const void* device)
    {
        ++inside_;
        if (device != nullptr && device_.load() == device) return true;
        --inside_;
        return false;
    }
    void leave() { --inside_; }

    // No notification touches the job after this returns.
    void close();

private:
    std::atomic<const void*> device_{nullptr};
    std::atomic<int> inside_{0};
};

#endif
