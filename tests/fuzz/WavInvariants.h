// What must hold after loadWav, whatever bytes it was given. The fuzzer and
// the native replay of its findings run exactly these checks, so an input that
// once broke the reader keeps being judged the same way.
//
// Every input is loaded twice: into an empty buffer (the program's state before
// the first load) and into one that already holds a small known sound (a load
// that replaces the previous sound). Either the load succeeds and the new sound
// is consistent with the file's bytes, or it is refused and the target is
// exactly as it was: same blocks, same contents, same format, ready unchanged.
//
// Expected sample values are worked out here from the raw bytes, not taken
// from the decoder: 8 and 16-bit exactly, wider integers and float within one
// step of the 16-bit scale, since how they are rounded is the decoder's own
// business.
#ifndef KELVARA_TESTS_FUZZ_WAV_INVARIANTS_H
#define KELVARA_TESTS_FUZZ_WAV_INVARIANTS_H

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/SoundBuffer.h"
#include "audio/WavFile.h"

namespace wavcheck {

inline uint32_t readLe(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

// Everything a refused load must leave alone.
struct Snapshot {
    int32_t ready = 0;
    WaveFormat format{};
    uint8_t* data = nullptr;
    uint32_t dataSize = 0;
    double* samples = nullptr;
    uint32_t sampleCount = 0;
    double peak = 0.0;
    std::vector<uint8_t> dataBytes;
    std::vector<double> sampleValues;
};

inline Snapshot snapshotOf(const SoundBuffer& s) {
    Snapshot snap;
    snap.ready = s.ready.load();
    snap.format = s.format;
    snap.data = s.data;
    snap.dataSize = s.dataSize;
    snap.samples = s.samples;
    snap.sampleCount = s.sampleCount;
    snap.peak = s.peak;
    if (isAllocated(s.data)) snap.dataBytes.assign(s.data, s.data + s.dataSize);
    if (isAllocated(s.samples)) snap.sampleValues.assign(s.samples, s.samples + s.sampleCount);
    return snap;
}

// Empty when `after` still matches `before` in every field and byte.
inline std::string compareUntouched(const Snapshot& before, const SoundBuffer& after) {
    if (after.ready.load() != before.ready) return "refused load changed ready";
    if (std::memcmp(&after.format, &before.format, sizeof(WaveFormat)) != 0)
        return "refused load changed the format";
    if (after.data != before.data || after.dataSize != before.dataSize)
        return "refused load replaced the data block";
    if (after.samples != before.samples || after.sampleCount != before.sampleCount)
        return "refused load replaced the samples block";
    // Bitwise, so a NaN that was there stays "equal".
    if (std::memcmp(&after.peak, &before.peak, sizeof(double)) != 0) return "refused load changed peak";
    if (isAllocated(after.data) &&
        !std::equal(before.dataBytes.begin(), before.dataBytes.end(), after.data))
        return "refused load wrote into the old data";
    if (isAllocated(after.samples) && !before.sampleValues.empty() &&
        std::memcmp(before.sampleValues.data(), after.samples, before.sampleValues.size() * sizeof(double)) != 0)
        return "refused load wrote into the old samples";
    return {};
}

// The accepted range for the first-channel sample stored at `p`, from the
// bytes alone. False when the format is not one whose values we can predict;
// the range check still applies to those.
inline bool expectedRange(const WaveFormat& f, const uint8_t* p, double& lo, double& hi) {
    if (f.formatTag == WaveFormatFloat) {
        if (f.bitsPerSample != 32) return false;
        const uint32_t bits = readLe(p, 4);
        float x;
        std::memcpy(&x, &bits, sizeof x);
        if (!std::isfinite(x)) return false;
        // Scale 32768 or 32767, clamped either way: one step of slack covers both.
        double e = static_cast<double>(x) * 32768.0;
        if (e > 32767.0) e = 32767.0;
        if (e < -32768.0) e = -32768.0;
        lo = e - 1.0;
        hi = e + 1.0;
        return true;
    }
    switch (f.bitsPerSample) {
    case 8:
        lo = hi = (static_cast<double>(p[0]) - 128.0) * 256.0;
        return true;
    case 16:
        lo = hi = static_cast<double>(static_cast<int16_t>(readLe(p, 2)));
        return true;
    case 24: {
        int32_t v = static_cast<int32_t>(readLe(p, 3));
        if (v & 0x800000) v -= 0x1000000;
        lo = v / 256.0 - 1.0;
        hi = v / 256.0 + 1.0;
        return true;
    }
    case 32: {
        const double v = static_cast<double>(static_cast<int32_t>(readLe(p, 4)));
        lo = v / 65536.0 - 1.0;
        hi = v / 65536.0 + 1.0;
        return true;
    }
    default:
        return false;
    }
}

// Checks a buffer that loadWav reported as loaded from `bytes`. Empty when all
// holds, else the first broken invariant.
inline std::string checkLoaded(const SoundBuffer& s, const uint8_t* bytes, size_t size) {
    if (s.ready.load() != 1) return "loaded but ready is not 1";

    WavLayout layout;
    if (!parseWav(bytes, size, layout)) return "loadWav accepted what parseWav refuses";
    if (layout.dataOffset > size || layout.dataSize > size - layout.dataOffset)
        return "parseWav placed the data outside the file";
    if (std::memcmp(&s.format, &layout.format, sizeof(WaveFormat)) != 0)
        return "loaded format differs from parseWav's";
    if (s.format.extraSize != 18) return "extra-size is not 18";
    if (s.format.formatTag == WaveFormatExtensible) return "extensible format kept its wrapper tag";
    if (!isDecodableFormat(s.format)) return "loaded a format isDecodableFormat refuses";

    const uint32_t bytesPerSample = s.format.bitsPerSample >> 3;
    const uint32_t channels = s.format.channels;
    if (bytesPerSample == 0 || channels == 0) return "loaded a format with an empty frame";

    if (s.dataSize != layout.dataSize) return "dataSize differs from parseWav's";
    if (s.dataSize > 0) {
        if (!isAllocated(s.data)) return "data missing for a non-empty sound";
        if (std::memcmp(s.data, bytes + layout.dataOffset, s.dataSize) != 0)
            return "data differs from the file's bytes";
    }

    if (s.sampleCount != s.dataSize / bytesPerSample / channels)
        return "sampleCount is not dataSize / bytes per sample / channels";
    if (s.sampleCount > 0 && !isAllocated(s.samples)) return "samples missing for a non-empty sound";

    const size_t stride = static_cast<size_t>(bytesPerSample) * channels;
    double largest = 0.0;
    for (uint32_t i = 0; i < s.sampleCount; ++i) {
        const double v = s.samples[i];
        const std::string at = " at sample " + std::to_string(i);
        if (!std::isfinite(v)) return "sample is not finite" + at;
        if (v < -32768.0 || v > 32767.0) return "sample " + std::to_string(v) + " outside the 16-bit scale" + at;
        double lo, hi;
        if (expectedRange(s.format, s.data + i * stride, lo, hi) && (v < lo || v > hi))
            return "sample does not match its bytes" + at;
        if (std::fabs(v) > largest) largest = std::fabs(v);
    }
    if (!(s.peak == largest)) return "peak is not the largest absolute sample";
    if (s.sampleAt(s.sampleCount) != 0.0) return "sampleAt(sampleCount) is not 0";
    if (s.sampleAt(UINT32_MAX) != 0.0) return "sampleAt(max index) is not 0";
    return {};
}

// A 16-bit stereo sound of four frames in the canonical layout: what the
// "previous sound" is when a load replaces one.
inline std::vector<uint8_t> referenceWav() {
    const int16_t frames[4][2] = {{0, 5}, {1200, -7}, {-32768, 3}, {32767, 0}};
    std::vector<uint8_t> b;
    auto u16 = [&](uint32_t v) { b.push_back(v & 0xFF); b.push_back((v >> 8) & 0xFF); };
    auto u32 = [&](uint32_t v) { u16(v & 0xFFFF); u16(v >> 16); };
    auto tag = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    tag("RIFF"); u32(36 + 16); tag("WAVE");
    tag("fmt "); u32(16); u16(1); u16(2); u32(22050); u32(22050 * 4); u16(4); u16(16);
    tag("data"); u32(16);
    for (const auto& f : frames) { u16(static_cast<uint16_t>(f[0])); u16(static_cast<uint16_t>(f[1])); }
    return b;
}

struct Outcome {
    bool loaded = false;
    uint32_t sampleCount = 0;
    std::string failure;  // empty when every invariant held
};

// The loaded format in a failure message, so a report names the decoder path.
inline std::string describe(const SoundBuffer& s) {
    return " [tag " + std::to_string(s.format.formatTag) + ", " + std::to_string(s.format.channels) +
           " channels, " + std::to_string(s.format.bitsPerSample) + " bits, dataSize " +
           std::to_string(s.dataSize) + "]";
}

// One load into `target`; judges it against the snapshot taken before.
inline Outcome loadAndJudge(SoundBuffer& target, const uint8_t* bytes, size_t size) {
    Outcome out;
    const Snapshot before = snapshotOf(target);
    out.loaded = loadWav(target, bytes, size);
    if (out.loaded) {
        out.failure = checkLoaded(target, bytes, size);
        out.sampleCount = target.sampleCount;
        if (!out.failure.empty()) out.failure += describe(target);
    } else {
        out.failure = compareUntouched(before, target);
        WavLayout layout;
        // Inputs here are small, so running out of memory is no excuse.
        if (out.failure.empty() && parseWav(bytes, size, layout))
            out.failure = "parseWav accepted what loadWav refuses";
    }
    return out;
}

// The whole judgement of one input, as the fuzzer and the replay run it.
inline Outcome checkInput(const uint8_t* bytes, size_t size) {
    SoundBuffer fresh;
    Outcome first = loadAndJudge(fresh, bytes, size);
    if (!first.failure.empty()) {
        first.failure = "into an empty buffer: " + first.failure;
        return first;
    }

    SoundBuffer replaced;
    const std::vector<uint8_t> ref = referenceWav();
    if (!loadWav(replaced, ref.data(), ref.size()) || replaced.sampleCount != 4) {
        first.failure = "the reference sound does not load";
        return first;
    }
    Outcome second = loadAndJudge(replaced, bytes, size);
    if (!second.failure.empty()) {
        second.failure = "over a loaded sound: " + second.failure;
        return second;
    }
    if (second.loaded != first.loaded || second.sampleCount != first.sampleCount) {
        second.failure = "loading over a sound gave another result than into an empty buffer";
        return second;
    }
    return second;
}

}  // namespace wavcheck

#endif
