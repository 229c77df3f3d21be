// The seed files for fuzzing the WAV reader: one of each layout the reader
// knows how to walk, plus every one of them cut short at each byte of its
// header. MakeCorpus writes them to a folder; the native replay loads them
// all, and insists that the whole files load with the frame count we wrote.
#ifndef KELVARA_TESTS_FUZZ_WAV_SEEDS_H
#define KELVARA_TESTS_FUZZ_WAV_SEEDS_H

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "tests/support/WavBytes.h"

namespace wavseeds {

using wavbytes::Bytes;
using wavbytes::operator+;

struct Seed {
    std::string name;
    Bytes bytes;
    bool mustLoad = false;  // whole files whose layout the reader promises to read
    uint32_t frames = 0;    // sample frames in the file when mustLoad
};

enum class Coding { Pcm, Float };

struct Shape {
    Coding coding = Coding::Pcm;
    uint16_t channels = 1;
    uint16_t bits = 16;
    uint32_t rate = 22050;
    uint16_t container = 0;  // bytes each sample is padded into; 0: its width
    uint16_t containerBytes() const { return container ? container : static_cast<uint16_t>(bits / 8); }
};

inline uint16_t plainTag(const Shape& s) { return s.coding == Coding::Float ? wavbytes::floatTag : wavbytes::pcmTag; }

inline wavbytes::Format formatOf(const Shape& s)
{
    return wavbytes::aligned(plainTag(s), s.channels, s.rate, s.bits, static_cast<uint16_t>(s.channels * s.containerBytes()));
}

// A format chunk's payload of 16, 18 or 40 bytes; 40 is the extensible form.
inline Bytes fmtPayload(const Shape& s, int length) { return wavbytes::fmtOfSize(formatOf(s), length); }

// `frames` frames of a tone that reaches both ends of the range; the second
// channel runs in the opposite direction so taking the wrong one shows.
inline Bytes samplePayload(const Shape& s, uint32_t frames)
{
    using wavbytes::put;
    Bytes p;
    for (uint32_t i = 0; i < frames; ++i) {
        for (uint16_t c = 0; c < s.channels; ++c) {
            double x = std::sin(0.7 * i) * (c == 0 ? 1.0 : -0.5);
            if (i == 1) x = c == 0 ? 1.0 : 0.25;  // full scale
            if (i == 2) x = c == 0 ? -1.0 : 0.0;
            if (i == 3 && c == 0 && s.coding == Coding::Float) x = 1.5;  // beyond full scale
            if (s.coding == Coding::Float && s.bits == 64) {
                wavbytes::append(p, wavbytes::float64({x}));
                continue;
            }
            if (s.coding == Coding::Float) {
                wavbytes::append(p, wavbytes::float32({static_cast<float>(x)}));
                continue;
            }
            switch (s.bits) {
            case 8: put(p, static_cast<uint32_t>(std::lround(std::fmin(x * 128.0 + 128.0, 255.0))), 1); break;
            case 16: put(p, static_cast<uint32_t>(static_cast<int32_t>(std::fmin(x * 32768.0, 32767.0))), 2); break;
            case 24: put(p, static_cast<uint32_t>(static_cast<int32_t>(std::fmin(x * 8388608.0, 8388607.0))), 3); break;
            default: put(p, static_cast<uint32_t>(static_cast<int64_t>(std::fmin(x * 2147483648.0, 2147483647.0))), 4); break;
            }
            // Padding that no sample value explains, so reading it shows.
            for (int pad = s.bits / 8; pad < s.containerBytes(); ++pad) p.push_back(0xA5);
        }
    }
    return p;
}

struct Layout {
    int fmtLength = 16;
    bool listAndFactFirst = false;
    bool oddJunkFirst = false;
    uint32_t claimedDataSize = 0;  // 0: the true size
    bool trailingChunk = false;    // a chunk after the data, behind its pad byte
};

// A RIFF/WAVE file; returns it with the offset where its sample bytes start.
// The data chunk gets a pad byte only when a chunk follows it.
inline Bytes riffFile(const Shape& s, uint32_t frames, const Layout& l, size_t& dataStart)
{
    using wavbytes::chunk;
    Bytes chunks = chunk("fmt ", fmtPayload(s, l.fmtLength));
    if (l.listAndFactFirst) {
        wavbytes::append(chunks, chunk("LIST", wavbytes::id("INFO") + chunk("ISFT", {'K', 'v', 0, 0})));
        Bytes fact;
        wavbytes::put(fact, frames, 4);
        wavbytes::append(chunks, chunk("fact", fact));
    }
    if (l.oddJunkFirst) wavbytes::append(chunks, chunk("junk", {1, 2, 3, 4, 5}));  // odd size, so a pad byte follows
    const Bytes payload = samplePayload(s, frames);
    wavbytes::append(chunks, wavbytes::chunkHeader("data", l.claimedDataSize ? l.claimedDataSize : static_cast<uint32_t>(payload.size())));
    dataStart = 12 + chunks.size();
    wavbytes::append(chunks, payload);
    if (l.trailingChunk) {
        if (payload.size() % 2) chunks.push_back(0);
        wavbytes::append(chunks, chunk("LIST", {'I', 'N', 'F', 'O'}));
    }
    return wavbytes::riff(chunks);
}

// Every seed, then each one cut at every byte up to and including its first
// sample frame.
inline std::vector<Seed> makeSeeds() {
    const Shape pcm8m{Coding::Pcm, 1, 8}, pcm8s{Coding::Pcm, 2, 8}, pcm16m{Coding::Pcm, 1, 16},
        pcm16s{Coding::Pcm, 2, 16, 44100}, pcm24m{Coding::Pcm, 1, 24, 48000}, pcm24s{Coding::Pcm, 2, 24},
        pcm32m{Coding::Pcm, 1, 32}, float32m{Coding::Float, 1, 32}, float32s{Coding::Float, 2, 32, 44100},
        pcm24in4m{Coding::Pcm, 1, 24, 48000, 4}, pcm24in4s{Coding::Pcm, 2, 24, 44100, 4}, pcm16in4s{Coding::Pcm, 2, 16, 8000, 4},
        float64m{Coding::Float, 1, 64}, float64s{Coding::Float, 2, 64, 44100};
    struct Whole {
        const char* name;
        Shape shape;
        uint32_t frames;
        Layout layout;
    };
    const Whole wholes[] = {
        {"pcm8-mono", pcm8m, 40, {}},
        {"pcm8-stereo", pcm8s, 33, {}},
        {"pcm16-mono", pcm16m, 40, {}},
        {"pcm16-stereo", pcm16s, 25, {}},
        {"pcm16-fmt18", pcm16m, 20, {18}},
        {"extensible-pcm16", pcm16s, 20, {40}},
        {"extensible-pcm24", pcm24s, 12, {40}},
        {"extensible-float", float32s, 16, {40}},
        {"pcm16-list-fact-before-data", pcm16m, 20, {16, true}},
        {"pcm24-mono", pcm24m, 30, {}},
        {"pcm32-mono", pcm32m, 30, {}},
        {"float32-mono", float32m, 30, {}},
        {"float32-stereo", float32s, 16, {18, true}},
        {"pcm8-odd-chunks-padded", pcm8m, 15, {16, false, true, 0, true}},
        {"pcm16-data-size-beyond-file", pcm16m, 16, {16, false, false, 4096}},
        {"pcm16-data-size-all-ones", pcm16s, 9, {16, false, false, 0xFFFFFFFFu}},
        {"pcm24-in-4-mono", pcm24in4m, 21, {}},
        {"pcm24-in-4-stereo", pcm24in4s, 17, {18, true}},
        {"pcm16-in-4-stereo", pcm16in4s, 11, {}},
        {"float64-mono", float64m, 19, {}},
        {"float64-stereo", float64s, 13, {18}},
        {"extensible-float64", float64s, 10, {40}},
    };

    std::vector<Seed> seeds;
    std::vector<size_t> headerEnds;
    for (const Whole& w : wholes) {
        size_t dataStart = 0;
        Seed s{w.name, riffFile(w.shape, w.frames, w.layout, dataStart), true, w.frames};
        seeds.push_back(s);
        headerEnds.push_back(dataStart + w.shape.channels * w.shape.containerBytes());
    }

    // Shapes the reader is free to take or refuse: judged by the invariants only.
    auto extra = [&](const char* name, Bytes bytes) {
        seeds.push_back(Seed{name, std::move(bytes), false, 0});
        headerEnds.push_back(0);
    };
    size_t unused;
    {
        Bytes rifx = riffFile(pcm16m, 20, {}, unused);
        rifx[3] = 'X';  // big-endian form id, little-endian fields: the fixed layout
        extra("rifx-fixed-layout", rifx);
    }
    {
        Bytes adpcm = riffFile(pcm16m, 20, {}, unused);
        adpcm[20] = 2;  // a format tag nobody here decodes
        extra("non-pcm-tag", adpcm);
    }
    {
        // The data chunk first, then the format: a reader that stops at "data"
        // never sees the format.
        extra("data-before-fmt",
              wavbytes::riff(wavbytes::chunk("data", samplePayload(pcm16m, 10)) + wavbytes::chunk("fmt ", fmtPayload(pcm16m, 16))));
    }
    {
        // A chunk whose size runs far past the file, before the format.
        extra("chunk-size-past-file",
              wavbytes::riffDeclaring(0xFFFFFFFFu, wavbytes::chunkHeader("LIST", 0xFFFFFFF0u) + fmtPayload(pcm16m, 16)));
    }
    {
        // One byte of a good header changed: the channel count (byte 22) or
        // the width (byte 34).
        const struct {
            const char* name;
            Shape shape;
            size_t at;
            uint8_t value;
        } changed[] = {
            {"zero-channels", pcm16m, 22, 0},
            {"four-bit-width", pcm16m, 34, 4},
            {"twelve-bit-width", pcm16m, 34, 12},
            {"float-64-bit-width", float32m, 34, 64},
        };
        for (const auto& c : changed) {
            Bytes file = riffFile(c.shape, 8, {}, unused);
            file[c.at] = c.value;
            extra(c.name, file);
        }
    }
    {
        // NaN, infinities and the largest float: must land finite and in range.
        const Bytes payload = wavbytes::float32({std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                                 -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::max(),
                                                 -std::numeric_limits<float>::max(), std::numeric_limits<float>::denorm_min()});
        extra("float32-non-finite", wavbytes::canonical(fmtPayload(float32m, 16), payload));
    }
    {
        // The same for 64-bit float, with magnitudes no 32-bit float can hold.
        const Bytes payload = wavbytes::float64({std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                                                 -std::numeric_limits<double>::infinity(), std::numeric_limits<double>::max(),
                                                 -std::numeric_limits<double>::max(), 1e39, -1e300,
                                                 std::numeric_limits<double>::denorm_min()});
        extra("float64-non-finite", wavbytes::canonical(fmtPayload(float64m, 16), payload));
    }
    {
        // Block alignments the reader must not trust: smaller than the frame,
        // not a multiple of the channels, zero, and far larger than the data.
        const uint16_t aligns[] = {2, 5, 0, 0xFFFF};
        for (uint16_t align : aligns) {
            Bytes odd = riffFile(pcm24s, 12, {}, unused);
            odd[32] = static_cast<uint8_t>(align);
            odd[33] = static_cast<uint8_t>(align >> 8);
            extra(("pcm24-stereo-block-align-" + std::to_string(align)).c_str(), odd);
        }
    }

    const size_t wholeCount = seeds.size();
    for (size_t k = 0; k < wholeCount; ++k) {
        for (size_t cut = 0; cut < headerEnds[k] && cut < seeds[k].bytes.size(); ++cut) {
            Seed t;
            t.name = seeds[k].name + ".cut-" + std::to_string(cut);
            t.bytes.assign(seeds[k].bytes.begin(), seeds[k].bytes.begin() + static_cast<long>(cut));
            seeds.push_back(std::move(t));
        }
    }
    return seeds;
}

}  // namespace wavseeds

#endif
