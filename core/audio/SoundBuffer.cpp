// Decoding of the one sound into first-channel samples on the signed 16-bit
// scale. Every width lands on that scale so that the analysis, the waveform
// view and the peak need no knowledge of the source format:
//   8-bit unsigned:  (b - 128) * 256          -> -32768 .. 32512
//   16-bit signed:   taken as is              -> -32768 .. 32767
//   24-bit signed:   value / 256, at most 32767     -> -32768 .. 32767
//   32-bit signed:   value / 65536, at most 32767   -> -32768 .. 32767
//   32/64-bit float: value * 32768, not clamped     -> -32768 .. 32768 at full scale,
//                                                      beyond it when louder
// so a full-scale sine draws and analyses alike whatever it was stored as.
// The top fraction of a step that the wider integers reach above 32767 is
// cut, so every integer sample stays on the same scale as a 16-bit one.
// Float samples keep what they hold beyond full scale: clamping them would
// flatten every loud passage into a square wave and hide its true peak, and
// the views clip what they draw anyway.
//
// Blocks are allocated with new[] and freed with delete[]; whoever hands a
// block to the buffer (the recorder) must allocate it the same way.
#include "core/audio/SoundBuffer.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

namespace {

int32_t readInt16(const uint8_t* p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))); }

int32_t readInt24(const uint8_t* p)
{
    // Shift the top byte into the sign bit and back so the value sign-extends.
    const uint32_t raw = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return static_cast<int32_t>(raw << 8) >> 8;
}

int32_t readInt32(const uint8_t* p)
{
    const uint32_t raw = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
                         (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(raw);
}

uint64_t readU64(const uint8_t* p)
{
    uint64_t raw = 0;
    for (int i = 7; i >= 0; --i) raw = (raw << 8) | p[i];
    return raw;
}

// What a float sample in the file may turn into, so that nothing the
// analysis squares and sums can overflow to infinity or poison a frame:
// NaN and both infinities are silence (an infinity is no loudness anyone
// recorded, and as the peak it would scale every other sample to nothing),
// and a 64-bit value is held to the 32-bit float range, about 1.1e43 on this
// scale, whose squares stay far inside a double.
double floatSample(double value)
{
    if (!std::isfinite(value)) return 0.0;
    if (value > FLT_MAX) value = FLT_MAX;
    if (value < -FLT_MAX) value = -FLT_MAX;
    return value * 32768.0;
}

double readFloat32(const uint8_t* p)
{
    const uint32_t raw = static_cast<uint32_t>(readInt32(p));
    float value;
    std::memcpy(&value, &raw, sizeof value);
    return floatSample(value);
}

double readFloat64(const uint8_t* p)
{
    const uint64_t raw = readU64(p);
    double value;
    std::memcpy(&value, &raw, sizeof value);
    return floatSample(value);
}

double atMostTop(double value) { return value > 32767.0 ? 32767.0 : value; }

bool isFloatFormat(const WaveFormat& format) { return format.formatTag == WaveFormatFloat && format.bitsPerSample == 32; }

bool isValidLayout(const SampleLayout& layout)
{
    if (layout.channels == 0 || layout.frameBytes % layout.channels != 0) return false;
    if (layout.frameBytes / layout.channels < layout.bits / 8u) return false;
    if (layout.isFloat) return layout.bits == 32 || layout.bits == 64;
    switch (layout.bits) {
    case 8:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

}  // namespace

double decodeSample(const SampleLayout& layout, const uint8_t* p)
{
    if (layout.isFloat) return layout.bits == 64 ? readFloat64(p) : readFloat32(p);
    switch (layout.bits) {
    case 8: return (static_cast<int32_t>(p[0]) - 128) * 256.0;
    case 16: return readInt16(p);
    case 24: return atMostTop(readInt24(p) / 256.0);
    default: return atMostTop(readInt32(p) / 65536.0);
    }
}

SampleLayout packedLayout(const WaveFormat& format)
{
    SampleLayout layout;
    layout.channels = format.channels;
    layout.bits = format.bitsPerSample;
    layout.isFloat = isFloatFormat(format);
    layout.frameBytes = static_cast<uint32_t>(format.bitsPerSample >> 3) * format.channels;
    return layout;
}

bool isDecodableFormat(const WaveFormat& format)
{
    if (format.channels == 0) return false;
    switch (format.bitsPerSample) {
    case 8:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

SoundBuffer::~SoundBuffer() { release(); }

void SoundBuffer::release()
{
    if (isAllocated(data)) delete[] data;
    if (isAllocated(samples)) delete[] samples;
    data = notAllocated<uint8_t>();
    samples = notAllocated<double>();
}

bool SoundBuffer::decode()
{
    // The callers release first; a block left here anyway would leak.
    if (isAllocated(samples)) delete[] samples;
    samples = notAllocated<double>();
    sampleCount = 0;
    peak = 0.0;
    if (!isDecodableFormat(format)) return false;

    // The frame stride is worked out from the width and the channel count, not
    // taken from blockAlign: sampleCount is defined by the same two numbers,
    // so a blockAlign that disagrees with them (a hostile or sloppy header)
    // can never carry a read beyond dataSize.
    const SampleLayout layout = packedLayout(format);
    if (dataSize >= layout.frameBytes && !isAllocated(data)) return false;
    return decodeFrom(layout, data, dataSize);
}

bool SoundBuffer::decodeFrom(const SampleLayout& layout, const uint8_t* bytes, uint32_t size)
{
    if (isAllocated(samples)) delete[] samples;
    samples = notAllocated<double>();
    sampleCount = 0;
    peak = 0.0;
    if (!isValidLayout(layout)) return false;

    const uint32_t count = size / layout.frameBytes;
    if (count > 0 && bytes == nullptr) return false;
    double* decoded = new (std::nothrow) double[count];
    if (decoded == nullptr) return false;

    double largest = 0.0;
    const uint8_t* frame = bytes;
    for (uint32_t i = 0; i < count; ++i, frame += layout.frameBytes) {
        const double value = decodeSample(layout, frame);
        decoded[i] = value;
        if (std::fabs(value) > largest) largest = std::fabs(value);
    }
    samples = decoded;
    sampleCount = count;
    peak = largest;
    return true;
}

void SoundBuffer::takeFrom(SoundBuffer& other)
{
    if (&other == this) return;
    release();
    format = other.format;
    data = other.data;
    dataSize = other.dataSize;
    samples = other.samples;
    sampleCount = other.sampleCount;
    peak = other.peak;

    other.data = notAllocated<uint8_t>();
    other.samples = notAllocated<double>();
    other.dataSize = 0;
    other.sampleCount = 0;
    other.peak = 0.0;
    other.ready = 0;
}
