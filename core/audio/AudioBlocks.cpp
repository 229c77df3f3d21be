#include "core/audio/AudioBlocks.h"

#include <cstring>
#include <thread>

namespace {

uint32_t saturate(uint64_t value) { return value > 0xFFFFFFFFull ? 0xFFFFFFFFu : static_cast<uint32_t>(value); }

}  // namespace

uint32_t blockBytes(const WaveFormat& format)
{
    const uint64_t align = format.blockAlign == 0 ? 1 : format.blockAlign;
    uint64_t bytes = uint64_t{format.avgBytesPerSec} * 1024 / 22050;
    bytes = (bytes + align - 1) / align * align;
    if (bytes == 0) bytes = align;
    return saturate(bytes);
}

WaveFormat recordFormat(uint32_t sampleRate, int bitsPerSample)
{
    WaveFormat format{};
    format.formatTag = WaveFormatPcm;
    format.channels = 1;
    format.samplesPerSec = sampleRate;
    format.avgBytesPerSec = saturate(uint64_t{sampleRate} * static_cast<uint32_t>(bitsPerSample) / 8);
    format.blockAlign = static_cast<uint16_t>(bitsPerSample / 8);
    format.bitsPerSample = static_cast<uint16_t>(bitsPerSample);
    format.extraSize = 18;
    return format;
}

uint32_t recordCapacity(const WaveFormat& format, int seconds)
{
    if (seconds <= 0) return 0;
    return saturate(uint64_t{format.avgBytesPerSec} * static_cast<uint64_t>(seconds));
}

PlayBlock nextPlayBlock(uint32_t position, uint32_t end, uint32_t block)
{
    // In 64 bits: a position near the top of the range must not wrap into a
    // "full block" that reads past the sound.
    if (uint64_t{position} + block < end) return {block, false};
    return {end > position ? end - position : 0, true};
}

uint32_t byteOfColumn(uint32_t column, uint32_t dataSize, uint16_t blockAlign)
{
    const double align = blockAlign == 0 ? 1.0 : blockAlign;
    const double frames = columnStart(column, dataSize) / align;
    if (!(frames > 0.0)) return 0;
    return saturate(static_cast<uint64_t>(frames) * static_cast<uint64_t>(align));
}

PlayRange selectionPlayRange(uint32_t a, uint32_t b, uint32_t dataSize, uint16_t blockAlign)
{
    if (a == b) return {byteOfColumn(a, dataSize, blockAlign), playToEnd};
    const uint32_t low = a < b ? a : b;
    const uint32_t high = a < b ? b : a;
    const uint32_t end = byteOfColumn(high, dataSize, blockAlign);
    return {byteOfColumn(low, dataSize, blockAlign), end == 0 ? playToEnd : end};
}

uint32_t columnOfByte(uint32_t position, uint32_t dataSize)
{
    return static_cast<uint32_t>(columnOfPosition(position, dataSize));
}

bool appendRecorded(uint8_t* data, uint32_t dataSize, std::atomic<uint32_t>& recordedBytes,
                    const uint8_t* block, uint32_t n)
{
    const uint32_t at = recordedBytes.load();
    // A block that comes back after the buffer filled (the one a stop hands
    // back) must not be copied at all; dataSize - at would wrap.
    const uint32_t room = at < dataSize ? dataSize - at : 0;
    const uint32_t copy = n < room ? n : room;
    if (copy > 0) std::memcpy(data + at, block, copy);
    const uint32_t after = saturate(uint64_t{at} + n);
    recordedBytes.store(after);
    return after < dataSize;
}

void NotificationGate::close()
{
    device_.store(nullptr);
    // An append in progress takes microseconds; yield rather than sleep.
    while (inside_.load() != 0) std::this_thread::yield();
}

