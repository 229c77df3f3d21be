#include "core/audio/DecodedSound.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace {

// The buffer counts its bytes in 32 bits.
constexpr uint64_t largestSound = 0xFFFFFFFFu;

// When the stated duration was short of the truth (or missing), the block
// grows by half again, so a long sound is copied a few times at most, never
// once per block.
constexpr size_t smallestGrowth = size_t{1} << 20;

}  // namespace

bool isAcceptedDecodedFormat(const DecodedFormat& format)
{
    if (format.channels < 1 || format.channels > 8) return false;
    if (format.rate < 1 || format.rate > 1000000) return false;
    if (format.isFloat) return format.bits == 32;
    switch (format.bits) {
    case 8:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

WaveFormat waveFormatOf(const DecodedFormat& format)
{
    WaveFormat wave{};
    wave.formatTag = format.isFloat ? WaveFormatFloat : WaveFormatPcm;
    wave.channels = format.channels;
    wave.samplesPerSec = format.rate;
    wave.blockAlign = static_cast<uint16_t>(format.channels * (format.bits / 8));
    wave.avgBytesPerSec = format.rate * wave.blockAlign;
    wave.bitsPerSample = format.bits;
    wave.extraSize = 18;
    return wave;
}

uint64_t framesIn(int64_t duration, uint32_t rate)
{
    if (duration <= 0) return 0;
    // In two steps so that a day of sound at 1 MHz does not overflow.
    const uint64_t units = static_cast<uint64_t>(duration);
    const uint64_t perSecond = 10000000;
    const uint64_t whole = units / perSecond * rate;
    const uint64_t part = (units % perSecond * rate + perSecond - 1) / perSecond;
    return whole + part;
}

int progressPercent(int64_t position, int64_t duration)
{
    if (duration <= 0 || position <= 0) return 0;
    if (position >= duration) return 100;
    return static_cast<int>(static_cast<double>(position) * 100.0 / static_cast<double>(duration));
}

bool DecodedSoundAssembler::begin(const DecodedFormat& format, uint64_t expectedFrames)
{
    block_.reset();
    capacity_ = size_ = 0;
    frameBytes_ = 0;
    if (!isAcceptedDecodedFormat(format)) return false;
    format_ = format;
    frameBytes_ = static_cast<uint32_t>(format.channels) * (format.bits / 8);
    // A hint only: a wrong one costs a copy, not the sound.
    const uint64_t wanted = std::min(expectedFrames * frameBytes_, largestSound);
    if (wanted > 0) growTo(static_cast<size_t>(wanted));
    return true;
}

bool DecodedSoundAssembler::growTo(size_t needed)
{
    if (needed <= capacity_) return true;
    if (needed > largestSound) return false;
    size_t capacity = std::max({needed, capacity_ + capacity_ / 2, smallestGrowth});
    capacity = static_cast<size_t>(std::min<uint64_t>(capacity, largestSound));
    std::unique_ptr<uint8_t[]> grown(new (std::nothrow) uint8_t[capacity]);
    if (!grown) return false;
    if (size_ > 0) std::memcpy(grown.get(), block_.get(), size_);
    block_ = std::move(grown);
    capacity_ = capacity;
    return true;
}

bool DecodedSoundAssembler::append(const uint8_t* bytes, size_t size)
{
    if (frameBytes_ == 0) return false;
    if (size == 0) return true;
    if (size > largestSound - size_ || !growTo(size_ + size)) return false;
    std::memcpy(block_.get() + size_, bytes, size);
    size_ += size;
    return true;
}

uint64_t DecodedSoundAssembler::frames() const { return frameBytes_ == 0 ? 0 : size_ / frameBytes_; }

bool DecodedSoundAssembler::finish(SoundBuffer& target)
{
    const size_t whole = frameBytes_ == 0 ? 0 : size_ / frameBytes_ * frameBytes_;
    std::unique_ptr<uint8_t[]> block = std::move(block_);
    capacity_ = size_ = 0;
    frameBytes_ = 0;
    if (whole == 0) return false;

    SoundBuffer built;
    built.format = waveFormatOf(format_);
    built.data = block.get();
    built.dataSize = static_cast<uint32_t>(whole);
    if (!built.decode()) {
        built.data = notAllocated<uint8_t>();  // still the unique_ptr's
        return false;
    }
    block.release();  // the sound owns it now
    target.takeFrom(built);
    target.ready = 1;
    return true;
}
