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
// from the decoder: 8 and 16-bit exactly, wider integers within one step of
// the 16-bit scale, since how they are rounded is the decoder's own business,
// and float exactly value * 32768 (a power of two, so nothing is rounded),
// unclamped, with NaN and infinities as 0 and 64-bit values held to the
// 32-bit float range first. Files that pad samples into wider containers, and
// 64-bit float, are repacked on loading into frames the wave device takes;
// the repacked bytes are checked against the file's containers here too.
#ifndef KELVARA_TESTS_FUZZ_WAV_INVARIANTS_H
#define KELVARA_TESTS_FUZZ_WAV_INVARIANTS_H

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/audio/SoundBuffer.h"
#include "core/audio/WavFile.h"

namespace wavcheck {

inline uint32_t readLe(const uint8_t* p, int bytes) {
    uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
    return v;
}

inline uint64_t readLe64(const uint8_t* p) {
    return (static_cast<uint64_t>(readLe(p + 4, 4)) << 32) | readLe(p, 4);
}

// The file's float at `p` as a double, and the value a 64-bit one stands for.
inline double storedFloat(const SampleLayout& stored, const uint8_t* p) {
    if (stored.bits == 32) {
        const uint32_t bits = readLe(p, 4);
        float x;
        std::memcpy(&x, &bits, sizeof x);
        return x;
    }
    const uint64_t bits = readLe64(p);
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

inline double limitedFloat(double x) {
    if (!std::isfinite(x)) return 0.0;
    return std::max(-static_cast<double>(FLT_MAX), std::min(static_cast<double>(FLT_MAX), x));
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

// The accepted range for the sample in the file's container at `p`, from the
// bytes alone. False when the layout is not one whose values we can predict;
// the range check still applies to those.
inline bool expectedRange(const SampleLayout& stored, const uint8_t* p, double& lo, double& hi) {
    if (stored.isFloat) {
        if (stored.bits != 32 && stored.bits != 64) return false;
        lo = hi = limitedFloat(storedFloat(stored, p)) * 32768.0;
        return true;
    }
    switch (stored.bits) {
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

// Empty when the loaded data is the file's whole frames in the packed layout
// of `f`: the file's bytes themselves (less a trailing part-frame) when they
// already are, else each sample's low bytes (or, for 64-bit float, the
// nearest 32-bit float) frame by frame.
inline std::string checkData(const SoundBuffer& s, const SampleLayout& stored, const uint8_t* fileData,
                             uint32_t fileDataSize) {
    const WaveFormat& f = s.format;
    const uint32_t width = f.bitsPerSample / 8u;
    const uint32_t packedFrame = width * f.channels;
    const uint32_t count = fileDataSize / stored.frameBytes;
    if (stored.frameBytes == packedFrame && stored.bits == f.bitsPerSample) {
        if (s.dataSize != count * packedFrame) return "dataSize differs from the file's whole frames";
        if (s.dataSize > 0 && std::memcmp(s.data, fileData, s.dataSize) != 0)
            return "data differs from the file's bytes";
        return {};
    }
    if (s.dataSize != static_cast<uint64_t>(count) * packedFrame) return "repacked data is not whole packed frames";
    const uint32_t container = stored.frameBytes / stored.channels;
    for (uint32_t i = 0; i < count; ++i) {
        for (uint32_t c = 0; c < f.channels; ++c) {
            const uint8_t* from = fileData + static_cast<size_t>(i) * stored.frameBytes + static_cast<size_t>(c) * container;
            const uint8_t* to = s.data + static_cast<size_t>(i) * packedFrame + static_cast<size_t>(c) * width;
            const std::string at = " at frame " + std::to_string(i) + ", channel " + std::to_string(c);
            if (stored.isFloat && stored.bits == 64) {
                const float want = static_cast<float>(limitedFloat(storedFloat(stored, from)));
                const uint32_t got = readLe(to, 4);
                uint32_t wantBits;
                std::memcpy(&wantBits, &want, sizeof wantBits);
                if (got != wantBits) return "narrowed float differs from the file's value" + at;
            } else if (std::memcmp(from, to, width) != 0) {
                return "packed sample differs from its container's low bytes" + at;
            }
        }
    }
    return {};
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

    // What the device is told must follow from the file's layout.
    const SampleLayout& stored = layout.stored;
    if (stored.channels != channels) return "stored layout has another channel count";
    if (stored.isFloat != (s.format.formatTag == WaveFormatFloat)) return "float tag does not match the file's coding";
    if (s.format.bitsPerSample != (stored.isFloat ? 32 : stored.bits)) return "width handed on is not the file's";
    const uint32_t storedWidth = stored.bits / 8u;
    if (stored.frameBytes % channels != 0 || stored.frameBytes / channels < storedWidth)
        return "stored frames cannot hold their samples";
    if (stored.frameBytes != storedWidth * channels && stored.frameBytes > UINT16_MAX)
        return "stored stride is neither packed nor a header's block alignment";
    const uint32_t packedFrame = bytesPerSample * channels;
    if (s.format.blockAlign != std::min<uint32_t>(packedFrame, UINT16_MAX))
        return "block alignment disagrees with the packed frames";
    if (s.format.avgBytesPerSec !=
        std::min<uint64_t>(static_cast<uint64_t>(s.format.samplesPerSec) * s.format.blockAlign, UINT32_MAX))
        return "byte rate disagrees with the block alignment";

    const uint8_t* fileData = bytes + layout.dataOffset;
    if (s.dataSize > 0 && !isAllocated(s.data)) return "data missing for a non-empty sound";
    const std::string dataFault = checkData(s, stored, fileData, layout.dataSize);
    if (!dataFault.empty()) return dataFault;

    if (s.sampleCount != layout.dataSize / stored.frameBytes)
        return "sampleCount is not the whole frames in the file's data";
    if (s.sampleCount > 0 && !isAllocated(s.samples)) return "samples missing for a non-empty sound";

    const double floatLimit = static_cast<double>(FLT_MAX) * 32768.0;
    double largest = 0.0;
    for (uint32_t i = 0; i < s.sampleCount; ++i) {
        const double v = s.samples[i];
        const std::string at = " at sample " + std::to_string(i);
        if (!std::isfinite(v)) return "sample is not finite" + at;
        if (!stored.isFloat && (v < -32768.0 || v > 32767.0))
            return "sample " + std::to_string(v) + " outside the 16-bit scale" + at;
        if (std::fabs(v) > floatLimit) return "sample beyond the float range" + at;
        double lo, hi;
        if (expectedRange(stored, fileData + static_cast<size_t>(i) * stored.frameBytes, lo, hi) && (v < lo || v > hi))
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
