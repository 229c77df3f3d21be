// The one sound of the program: its PCM format, its raw bytes as they came
// from a file or the sound card, and the first channel decoded to doubles on
// the signed 16-bit scale, with the largest absolute sample.
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

    // Sample `index` of the first channel, or 0.0 at and beyond sampleCount.
    double sampleAt(uint32_t index) const { return index < sampleCount ? samples[index] : 0.0; }

    // Sample rate of the sound in Hz.
    uint32_t rate() const { return format.samplesPerSec; }

    // Moves the other buffer's format and blocks into this one, releasing
    // what this one held; `other` is left empty. Used to replace the sound only
    // once a new one has been read and decoded in full.
    void takeFrom(SoundBuffer& other);
};

// True when decode() can turn this format into samples.
bool isDecodableFormat(const WaveFormat& format);

#endif
