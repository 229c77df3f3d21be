// The one sound of the program: its PCM format, its raw bytes in a layout the
// wave device can play, and the first channel decoded to doubles on the
// signed 16-bit scale (integer samples within it, float samples beyond it
// when they were louder than full scale), with the largest absolute sample.
//
// Ownership: the buffer owns `data` and `samples`. A pointer that owns nothing
// holds the not-allocated marker (all bits set), never null; `release` frees
// only real blocks and puts the marker back, so nothing is freed twice.
// No lock: `ready` and the panel's activity state keep writers and readers apart.
#ifndef KELVARA_SOUND_BUFFER_H
#define KELVARA_SOUND_BUFFER_H

#include <atomic>
#include <cstddef>
#include <cstdint>

#include "core/base/Columns.h"

// Same layout as the platform's WAVEFORMATEX (packed, 18 bytes), so it can be
// handed to the wave-audio device unchanged.
#pragma pack(push, 1)
struct WaveFormat {
    uint16_t formatTag;
    uint16_t channels;
    uint32_t samplesPerSec;
    uint32_t avgBytesPerSec;
    uint16_t blockAlign;
    uint16_t bitsPerSample;
    uint16_t extraSize;  // always 18 in this program
};
#pragma pack(pop)
static_assert(sizeof(WaveFormat) == 18, "WaveFormat must match WAVEFORMATEX");

enum : uint16_t { WaveFormatPcm = 1, WaveFormatFloat = 3, WaveFormatExtensible = 0xFFFE };

// How sample frames lie in a block of bytes: one container of
// frameBytes / channels bytes per channel, the sample in its low `bits`
// (little-endian). The buffer's own data is always packed (the container is
// exactly the width); a file may pad each sample into a wider container.
struct SampleLayout {
    uint16_t channels = 0;
    uint16_t bits = 0;  // 8, 16, 24 or 32 integer; 32 or 64 float
    bool isFloat = false;
    uint32_t frameBytes = 0;  // a whole multiple of channels, at least channels * bits / 8
};

// The smallest and largest sample that one of the 551 waveform columns
// stands for.
struct ColumnExtent {
    double low;
    double high;
};

template <typename T>
inline T* notAllocated() { return reinterpret_cast<T*>(~uintptr_t{0}); }

template <typename T>
inline bool isAllocated(T* p) { return p != notAllocated<T>(); }

struct SoundBuffer {
    std::atomic<int32_t> ready{0};
    WaveFormat format{};
    uint8_t* data = notAllocated<uint8_t>();
    uint32_t dataSize = 0;
    double* samples = notAllocated<double>();
    uint32_t sampleCount = 0;
    std::atomic<uint32_t> recordedBytes{0};  // the recorder's append position
    double peak = 0.0;
    // The extent of each waveform column, as columnExtentOf gives it, found
    // while decoding (the samples are at hand then, and a ten-minute sound
    // need not be read through a second time to draw it). Meaningful only
    // while hasColumnExtents(): decode and decodeFrom set them, takeFrom
    // moves them, release drops them.
    ColumnExtent columnExtents[columnCount] = {};
    const double* extentsOfSamples = nullptr;

    SoundBuffer() = default;
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    // Frees data and samples (each only if allocated) and puts the marker back.
    void release();

    // Builds samples, sampleCount and peak from format, data and dataSize.
    // Expects samples to own no block. 8, 16, 24 and 32-bit integer PCM and
    // 32-bit float all land on the signed 16-bit scale. Returns false, with no
    // samples and peak 0, for a format it cannot decode (no channels, fewer
    // than 8 bits, a width it does not know).
    bool decode();

    // The same from `size` bytes laid out as `layout` (which also allows
    // 64-bit float and padded containers); the bytes stay the caller's and
    // format, data and dataSize are not touched. False, with no samples and
    // peak 0, for a layout that breaks its own rules or when memory runs out.
    bool decodeFrom(const SampleLayout& layout, const uint8_t* bytes, uint32_t size);

    // Sample `index` of the first channel, or 0.0 at and beyond sampleCount.
    double sampleAt(uint32_t index) const { return index < sampleCount ? samples[index] : 0.0; }

    // True when columnExtents belong to the samples held now.
    bool hasColumnExtents() const { return sampleCount > 0 && isAllocated(samples) && extentsOfSamples == samples; }

    // Sample rate of the sound in Hz.
    uint32_t rate() const { return format.samplesPerSec; }

    // Moves the other buffer's format and blocks into this one, releasing
    // what this one held; `other` is left empty. Used to replace the sound only
    // once a new one has been read and decoded in full.
    void takeFrom(SoundBuffer& other);
};

// Smallest and largest sample that waveform column `column` (0..550) of a
// sound of `count` samples stands for, as the waveform has always been
// drawn: the samples at the positions columnStart + k for every whole k below
// positionsPerColumn, each truncated, the scan ending at the first position
// at or past `count`. Needs count > 0. Never reads index >= count, even where
// the column's share reaches it through rounding.
ColumnExtent columnExtentOf(const double* samples, uint32_t count, int column);

// True when decode() can turn this format into samples.
bool isDecodableFormat(const WaveFormat& format);

// The packed layout decode() reads `format` in.
SampleLayout packedLayout(const WaveFormat& format);

// Sample value of the container at `bytes` on the 16-bit scale, as decode()
// gives it, for a layout decodeFrom accepts. Used where a sound's bytes are
// converted for the device, so what plays agrees with what is shown.
double decodeSample(const SampleLayout& layout, const uint8_t* bytes);

#endif
