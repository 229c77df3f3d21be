// Decoding of the one sound into first-channel samples on the signed 16-bit
// scale. Every width lands on that scale so that the analysis, the waveform
// view and the peak need no knowledge of the source format:
//   8-bit unsigned:  (b - 128) * 256          -> -32768 .. 32512
//   16-bit signed:   taken as is              -> -32768 .. 32767
//   24-bit signed:   value / 256, at most 32767     -> -32768 .. 32767
//   32-bit signed:   value / 65536, at most 32767   -> -32768 .. 32767
//   32-bit float:    value * 32768, clamped         -> -32768 .. 32767
// so a full-scale sine draws and analyses alike whatever it was stored as.
// The top fraction of a step that the wider integers reach above 32767 is
// cut, so every sample stays on the same scale as a 16-bit one.
//
// Blocks are allocated with new[] and freed with delete[]; whoever hands a
// block to the buffer (the recorder) must allocate it the same way.
#include "audio/SoundBuffer.h"

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

double readFloat32(const uint8_t* p)
{
    const uint32_t raw = static_cast<uint32_t>(readInt32(p));
    float value;
    std::memcpy(&value, &raw, sizeof value);
    // A NaN in the file would poison the peak and every frame it touches;
    // silence is the only honest stand-in.
    if (std::isnan(value)) return 0.0;
    const double scaled = static_cast<double>(value) * 32768.0;
    if (scaled < -32768.0) return -32768.0;
    if (scaled > 32767.0) return 32767.0;
    return scaled;
}

double atMostTop(double value) { return value > 32767.0 ? 32767.0 : value; }

bool isFloatFormat(const WaveFormat& format) { return format.formatTag == WaveFormatFloat && format.bitsPerSample == 32; }

double decodeOne(const WaveFormat& format, const uint8_t* p)
{
    switch (format.bitsPerSample) {
    case 8: return (static_cast<int32_t>(p[0]) - 128) * 256.0;
    case 16: return readInt16(p);
    case 24: return atMostTop(readInt24(p) / 256.0);
    default: return isFloatFormat(format) ? readFloat32(p) : atMostTop(readInt32(p) / 65536.0);
    }
}

}  // namespace

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
    const uint32_t bytesPerSample = format.bitsPerSample >> 3;
    const uint32_t stride = bytesPerSample * format.channels;
    const uint32_t count = dataSize / bytesPerSample / format.channels;
    if (count > 0 && !isAllocated(data)) return false;

    double* decoded = new (std::nothrow) double[count];
    if (decoded == nullptr) return false;

    double largest = 0.0;
    const uint8_t* frame = data;
    for (uint32_t i = 0; i < count; ++i, frame += stride) {
        const double value = decodeOne(format, frame);
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
