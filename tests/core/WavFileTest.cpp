#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/audio/WavFile.h"
#include "tests/support/WavBytes.h"

namespace {

using wavbytes::aligned;
using wavbytes::Bytes;
using wavbytes::canonical;
using wavbytes::chunk;
using wavbytes::chunkDeclaring;
using wavbytes::extensible;
using wavbytes::float64;
using wavbytes::fmt16;
using wavbytes::fmt18;
using wavbytes::packed;
using wavbytes::pcm16;
using wavbytes::riff;
using wavbytes::operator+;

struct LayoutCase {
    const char* name;
    Bytes file;
    uint16_t tag, channels, bits;
    uint32_t dataOffset, dataSize;
    std::vector<double> samples;
};

void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class FindsFormatAndData : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FindsFormatAndData, AndDecodes)
{
    const LayoutCase& c = GetParam();
    WavLayout layout;
    ASSERT_TRUE(parseWav(c.file.data(), c.file.size(), layout));
    EXPECT_EQ(layout.format.formatTag, c.tag);
    EXPECT_EQ(layout.format.channels, c.channels);
    EXPECT_EQ(layout.format.samplesPerSec, 22050u);
    EXPECT_EQ(layout.format.bitsPerSample, c.bits);
    EXPECT_EQ(layout.format.extraSize, 18);
    EXPECT_EQ(layout.dataOffset, c.dataOffset);
    EXPECT_EQ(layout.dataSize, c.dataSize);

    SoundBuffer sound;
    ASSERT_TRUE(loadWav(sound, c.file.data(), c.file.size()));
    EXPECT_EQ(sound.ready.load(), 1);
    ASSERT_EQ(sound.sampleCount, c.samples.size());
    for (size_t i = 0; i < c.samples.size(); ++i) EXPECT_EQ(sound.samples[i], c.samples[i]) << "sample " << i;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FindsFormatAndData,
    ::testing::Values(
        LayoutCase{"CanonicalSixteenBitMono", canonical(fmt16(packed(1, 1, 22050, 16)), pcm16({1000, -2, 3})), 1, 1, 16, 44, 6, {1000, -2, 3}},
        LayoutCase{"CanonicalEightBit", canonical(fmt16(packed(1, 1, 22050, 8)), {0x80, 0x81, 0x00}), 1, 1, 8, 44, 3, {0, 256, -32768}},
        LayoutCase{"EighteenByteFormat", canonical(fmt18(packed(1, 1, 22050, 16)), pcm16({7, 8})), 1, 1, 16, 46, 4, {7, 8}},
        LayoutCase{"ListAndFactBeforeData",
                   riff(chunk("fmt ", fmt16(packed(1, 1, 22050, 16))) + chunk("LIST", Bytes(26, 'x')) + chunk("fact", {4, 0, 0, 0}) +
                        chunk("data", pcm16({-5, 6}))),
                   1, 1, 16, 90, 4, {-5, 6}},
        LayoutCase{"OddChunkPaddedToAWord", riff(chunk("junk", {1, 2, 3}) + chunk("fmt ", fmt16(packed(1, 1, 22050, 8))) + chunk("data", {0x90})),
                   1, 1, 8, 56, 1, {4096}},
        // Some writers leave out the pad byte after an odd-sized chunk; the
        // walk must still find what follows, whichever chunk comes first.
        LayoutCase{"OddListWithoutItsPadByteAfterFmt",
                   riff(chunk("fmt ", fmt16(packed(1, 1, 22050, 16))) + wavbytes::chunkHeader("LIST", 27) + Bytes(27, 'x') +
                        chunk("data", pcm16({-5, 6}))),
                   1, 1, 16, 79, 4, {-5, 6}},
        LayoutCase{"OddListWithoutItsPadByteBeforeFmt",
                   riff(wavbytes::chunkHeader("LIST", 27) + Bytes(27, 'x') + chunk("fmt ", fmt16(packed(1, 1, 22050, 16))) +
                        chunk("data", pcm16({-5, 6}))),
                   1, 1, 16, 79, 4, {-5, 6}},
        LayoutCase{"ExtensiblePcm", canonical(extensible(packed(1, 1, 22050, 24), 4), {0x00, 0x01, 0x00}), 1, 1, 24, 68, 3, {1}},
        LayoutCase{"ExtensibleFloat", canonical(extensible(packed(3, 1, 22050, 32), 4), wavbytes::float32({-0.5f})), 3, 1, 32, 68, 4, {-16384}},
        LayoutCase{"TwentyFourBit", canonical(fmt16(packed(1, 1, 22050, 24)), {0x00, 0x00, 0xC0}), 1, 1, 24, 44, 3, {-16384}},
        LayoutCase{"ThirtyTwoBitInteger", canonical(fmt16(packed(1, 1, 22050, 32)), {0x00, 0x00, 0x02, 0x00}), 1, 1, 32, 44, 4, {2}},
        LayoutCase{"StereoFirstChannel", canonical(fmt16(packed(1, 2, 22050, 16)), pcm16({11, -11, 12, -12})), 1, 2, 16, 44, 8, {11, 12}},
        LayoutCase{"DataBeyondTheFileIsClamped", riff(chunk("fmt ", fmt16(packed(1, 1, 22050, 16))) + chunkDeclaring("data", 1000, pcm16({4, 5}))), 1,
                   1, 16, 44, 4, {4, 5}},
        // Foreign or damaged headers load at the fixed offsets, as PCM by their width.
        LayoutCase{"RifxWithAnOddTag", canonical(fmt16(packed(0x55, 1, 22050, 8)), {0x70, 0x90}, "RIFX"), 1, 1, 8, 44, 2, {-4096, 4096}},
        LayoutCase{"HugeChunkSizeEndsTheWalk",
                   riff(chunk("fmt ", fmt16(packed(1, 1, 22050, 8))) + chunkDeclaring("LIST", 0xFFFFFFFF, {0x7F, 0x81})), 1, 1, 8, 44, 2, {-256, 256}},
        // Samples padded into wider containers (plain chunk, block alignment
        // above the width): each read from its container's low bytes. The
        // padding bytes are chosen so that reading them changes the value.
        LayoutCase{"TwentyFourInFourMono",
                   canonical(fmt16(aligned(1, 1, 22050, 24, 4)),
                             {0x00, 0x00, 0x80, 0x7F, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x01, 0x00, 0xFF, 0x00, 0x00, 0xC0, 0x12}),
                   1, 1, 24, 44, 16, {-32768, 32767, 1, -16384}},
        LayoutCase{"TwentyFourInFourStereoWithAPartFrame",
                   canonical(fmt16(aligned(1, 2, 22050, 24, 8)),
                             {0x00, 0x00, 0xFF, 0xFF, 0x11, 0x22, 0x33, 0x00,  // -65536, then the other channel
                              0x80, 0xFF, 0xFF, 0x00, 0x44, 0x55, 0x66, 0x00,  // -128
                              0x00, 0x40, 0x00, 0xFF, 0x77, 0x88, 0x99, 0x00,  // 16384
                              0x00, 0x00, 0x80, 0x00, 0x01}),
                   1, 2, 24, 44, 29, {-256, -0.5, 64}},
        LayoutCase{"SixteenInFourStereo",
                   canonical(fmt16(aligned(1, 2, 22050, 16, 8)),
                             {0x34, 0x12, 0xEE, 0xEE, 0x01, 0x00, 0x00, 0x00, 0x00, 0x80, 0x55, 0x55, 0x02, 0x00, 0x00, 0x00}),
                   1, 2, 16, 44, 16, {4660, -32768}},
        LayoutCase{"EightInTwoMono", canonical(fmt16(aligned(1, 1, 22050, 8, 2)), {0x00, 0x80, 0xFF, 0x00}), 1, 1, 8, 44, 4,
                   {-32768, 32512}},
        LayoutCase{"FloatInEightMono", canonical(fmt16(aligned(3, 1, 22050, 32, 8)), wavbytes::float32({-0.5f}) + Bytes{0, 0, 0x80, 0x3F}), 3, 1, 32,
                   44, 8, {-16384}},
        // 64-bit float, handed on as 32-bit float, its samples from the 64-bit values.
        LayoutCase{"SixtyFourBitFloat", canonical(fmt16(packed(3, 1, 22050, 64)), float64({0.1, -0.75, 1.25})), 3, 1, 32, 44, 24,
                   {0.1 * 32768, -24576, 40960}},
        LayoutCase{"ExtensibleSixtyFourBitFloatStereo", canonical(extensible(packed(3, 2, 22050, 64), 4), float64({-0.5, 0.9, 0.25, -0.9})), 3,
                   2, 32, 68, 32, {-16384, 8192}}));

TEST(ParseWav, RefusesWhatCannotBeDecoded)
{
    const struct {
        const char* what;
        Bytes file;
    } refused[] = {
        {"empty", {}},
        {"shorter than the header", Bytes(43, 0)},
        {"RIFF/WAVE with nothing in it", riff({})},
        {"zero channels", canonical(fmt16(packed(1, 0, 22050, 16)), pcm16({1}))},
        {"zero samples per second", canonical(fmt16(packed(1, 1, 0, 16)), pcm16({1}))},
        {"zero bits", canonical(fmt16(packed(1, 1, 22050, 0)), pcm16({1}))},
        {"twelve bits", canonical(fmt16(packed(1, 1, 22050, 12)), pcm16({1}))},
        {"extensible ADPCM", canonical(extensible(packed(2, 1, 22050, 16), 4), pcm16({1}))},
        {"64-bit integer", canonical(fmt16(packed(1, 1, 22050, 64)), float64({0.5}))},
        {"extensible 64-bit integer", canonical(extensible(packed(1, 1, 22050, 64), 4), float64({0.5}))},
    };
    for (const auto& c : refused) {
        WavLayout layout;
        layout.dataSize = 12345;
        EXPECT_FALSE(parseWav(c.file.data(), c.file.size(), layout)) << c.what;
        EXPECT_EQ(layout.dataSize, 12345u) << c.what << ": layout written on refusal";
    }
}

TEST(ParseWav, DerivedFieldsAgreeWithWidthAndChannels)
{
    // A writer that left the block alignment at 0 and the byte rate at a made-up
    // value: the sound is read by width and channels, and the device must be
    // told a format that agrees with itself.
    const Bytes sloppy = fmt16(wavbytes::Format{1, 2, 11025, 7, 0, 16});
    const Bytes file = canonical(sloppy, pcm16({1, 2, 3, 4}));
    WavLayout layout;
    ASSERT_TRUE(parseWav(file.data(), file.size(), layout));
    EXPECT_EQ(layout.format.blockAlign, 4);
    EXPECT_EQ(layout.format.avgBytesPerSec, 44100u);
}

TEST(ParseWav, UntrustedBlockAlignmentsReadPackedFrames)
{
    // 24-bit stereo, two packed frames: left 1 then -1 on the scale. Trusting
    // any of these alignments would read other bytes or another frame count.
    const Bytes packed{0x00, 0x01, 0x00, 0x00, 0x02, 0x00, 0x00, 0xFF, 0xFF, 0x00, 0xFE, 0xFF};
    const struct {
        const char* what;
        Bytes file;
    } cases[] = {
        {"smaller than the frame", canonical(fmt16(aligned(1, 2, 22050, 24, 2)), packed)},
        {"not a multiple of the channels", canonical(fmt16(aligned(1, 2, 22050, 24, 7)), packed)},
        {"zero", canonical(fmt16(aligned(1, 2, 22050, 24, 0)), packed)},
        {"extensible, whose width is its container", canonical(extensible(aligned(1, 2, 22050, 24, 8), 3), packed)},
        {"a foreign header read at the fixed offsets", canonical(fmt16(aligned(1, 2, 22050, 24, 8)), packed, "RIFX")},
    };
    for (const auto& c : cases) {
        SoundBuffer sound;
        ASSERT_TRUE(loadWav(sound, c.file.data(), c.file.size())) << c.what;
        ASSERT_EQ(sound.sampleCount, 2u) << c.what;
        EXPECT_EQ(sound.samples[0], 1.0) << c.what;
        EXPECT_EQ(sound.samples[1], -1.0) << c.what;
        EXPECT_EQ(sound.format.blockAlign, 6) << c.what;
        ASSERT_EQ(sound.dataSize, packed.size()) << c.what;
        EXPECT_EQ(std::memcmp(sound.data, packed.data(), packed.size()), 0) << c.what;
    }
}

TEST(ParseWav, TruncatedFilesNeverReachPastTheirEnd)
{
    const Bytes full = riff(chunk("fmt ", fmt18(packed(1, 2, 22050, 16))) + chunk("LIST", {1, 2, 3, 4, 5}) + chunk("data", pcm16({1, 2, 3, 4})));
    for (size_t size = 0; size <= full.size(); ++size) {
        const Bytes prefix(full.begin(), full.begin() + static_cast<long>(size));
        WavLayout layout;
        SoundBuffer sound;  // the sanitizer build checks every read of the decode
        if (parseWav(prefix.data(), size, layout)) {
            EXPECT_LE(size_t{layout.dataOffset} + layout.dataSize, size) << "prefix of " << size;
            EXPECT_TRUE(loadWav(sound, prefix.data(), size)) << "prefix of " << size;
        }
    }
}

TEST(LoadWav, ReplacesTheSoundOnlyWhenTheNewOneDecodes)
{
    SoundBuffer target;
    const Bytes good = canonical(fmt16(packed(1, 1, 22050, 16)), pcm16({100, -200}));
    ASSERT_TRUE(loadWav(target, good.data(), good.size()));
    const uint8_t* oldData = target.data;
    const double* oldSamples = target.samples;
    const WaveFormat oldFormat = target.format;

    const Bytes bad = canonical(fmt16(packed(1, 0, 44100, 8)), {1, 2, 3});
    EXPECT_FALSE(loadWav(target, bad.data(), bad.size()));
    EXPECT_FALSE(loadWav(target, bad.data(), 10));
    const Bytes integer64 = canonical(fmt16(aligned(1, 1, 44100, 64, 16)), float64({0.5, 0.25}));
    EXPECT_FALSE(loadWav(target, integer64.data(), integer64.size()));
    EXPECT_EQ(target.ready.load(), 1);
    EXPECT_EQ(target.data, oldData);
    EXPECT_EQ(target.samples, oldSamples);
    EXPECT_EQ(std::memcmp(&target.format, &oldFormat, sizeof oldFormat), 0);
    EXPECT_EQ(target.sampleCount, 2u);
    EXPECT_EQ(target.peak, 200.0);

    SoundBuffer empty;
    EXPECT_FALSE(loadWav(empty, bad.data(), bad.size()));
    EXPECT_EQ(empty.ready.load(), 0);
    EXPECT_EQ(empty.data, notAllocated<uint8_t>());

    // A good load frees the old blocks (the leak checker watches) and takes the new format whole.
    const Bytes silent = canonical(fmt16(packed(1, 1, 8000, 8)), {});
    ASSERT_TRUE(loadWav(target, silent.data(), silent.size()));
    EXPECT_EQ(target.format.samplesPerSec, 8000u);
    EXPECT_EQ(target.sampleCount, 0u);
    EXPECT_EQ(target.peak, 0.0);
}

// A packed file is handed on byte for byte, but not its trailing part-frame:
// the device's blocks are cut from the data and must hold whole frames.
TEST(LoadWav, PackedFilesLoseTheirTrailingPartFrameForTheDevice)
{
    const Bytes samples = pcm16({100, -100, 200, -200, 300});  // two stereo frames and half of a third
    const Bytes file = canonical(fmt16(packed(1, 2, 22050, 16)), samples);
    for (bool adopting : {false, true}) {
        SoundBuffer sound;
        std::unique_ptr<uint8_t[]> block(new uint8_t[file.size()]);
        std::memcpy(block.get(), file.data(), file.size());
        ASSERT_TRUE(adopting ? loadWav(sound, block, file.size()) : loadWav(sound, file.data(), file.size()));
        ASSERT_EQ(sound.dataSize, 8u) << "adopting " << adopting;
        EXPECT_EQ(std::memcmp(sound.data, samples.data(), 8), 0);
        ASSERT_EQ(sound.sampleCount, 2u);
        EXPECT_EQ(sound.samples[1], 200.0);
    }
}

// What the wave device is handed must describe the bytes it gets: padded
// containers arrive packed, with the alignment and byte rate of packed frames.
TEST(LoadWav, PaddedContainersArePackedForTheDevice)
{
    const Bytes file = canonical(fmt16(aligned(1, 2, 48000, 24, 8)),
                                 {0x01, 0x02, 0x03, 0xAA, 0x04, 0x05, 0x06, 0xBB,  // frame 0
                                  0x07, 0x08, 0xF9, 0xCC, 0x0A, 0x0B, 0x0C, 0xDD,  // frame 1
                                  0x0E, 0x0F, 0x10});                              // a part frame
    SoundBuffer sound;
    ASSERT_TRUE(loadWav(sound, file.data(), file.size()));
    EXPECT_EQ(sound.format.formatTag, WaveFormatPcm);
    EXPECT_EQ(sound.format.bitsPerSample, 24);
    EXPECT_EQ(sound.format.blockAlign, 6);
    EXPECT_EQ(sound.format.avgBytesPerSec, 288000u);
    const Bytes packed{0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0xF9, 0x0A, 0x0B, 0x0C};
    ASSERT_EQ(sound.dataSize, packed.size());
    EXPECT_EQ(std::memcmp(sound.data, packed.data(), packed.size()), 0);
    ASSERT_EQ(sound.sampleCount, 2u);
    EXPECT_EQ(sound.samples[0], 0x030201 / 256.0);
    EXPECT_EQ(sound.samples[1], (0xF90807 - 0x1000000) / 256.0);

    // The packed bytes decode to the same samples, so a recording saved from
    // them or a replay of them shows what the file showed.
    SoundBuffer again;
    again.format = sound.format;
    again.data = new uint8_t[sound.dataSize];
    std::memcpy(again.data, sound.data, sound.dataSize);
    again.dataSize = sound.dataSize;
    ASSERT_TRUE(again.decode());
    ASSERT_EQ(again.sampleCount, 2u);
    EXPECT_EQ(again.samples[0], sound.samples[0]);
    EXPECT_EQ(again.samples[1], sound.samples[1]);
}

TEST(LoadWav, SixtyFourBitFloatPlaysAsThirtyTwoAndKeepsItsPrecision)
{
    const double values[] = {0.1, -0.3, 1.0 / 3.0, 0.7, 2.5, 0.0};
    const Bytes file = canonical(fmt16(packed(3, 2, 22050, 64)), float64({values[0], values[1], values[2], values[3], values[4], values[5]}));
    SoundBuffer sound;
    ASSERT_TRUE(loadWav(sound, file.data(), file.size()));
    ASSERT_EQ(sound.sampleCount, 3u);
    EXPECT_EQ(sound.samples[0], 0.1 * 32768);
    EXPECT_EQ(sound.samples[1], (1.0 / 3.0) * 32768);
    EXPECT_EQ(sound.samples[2], 81920.0);
    EXPECT_NE(sound.samples[0], static_cast<double>(0.1f) * 32768) << "rounded through 32-bit float";
    EXPECT_EQ(sound.peak, 81920.0);

    EXPECT_EQ(sound.format.formatTag, WaveFormatFloat);
    EXPECT_EQ(sound.format.bitsPerSample, 32);
    EXPECT_EQ(sound.format.blockAlign, 8);
    EXPECT_EQ(sound.format.avgBytesPerSec, 22050u * 8);
    Bytes narrowed;
    for (double v : values) narrowed = narrowed + wavbytes::float32({static_cast<float>(v)});
    ASSERT_EQ(sound.dataSize, narrowed.size());
    EXPECT_EQ(std::memcmp(sound.data, narrowed.data(), narrowed.size()), 0);
}

struct NonFiniteCase {
    const char* name;
    Bytes file;
    std::vector<double> samples;
    Bytes played;  // what the device is handed
};

TEST(LoadWav, NonFiniteAndHugeFloatsBecomeFiniteSamples)
{
    const float inf32 = std::numeric_limits<float>::infinity();
    const double inf64 = std::numeric_limits<double>::infinity();
    const double nan64 = std::numeric_limits<double>::quiet_NaN();
    const double top = static_cast<double>(FLT_MAX) * 32768;
    const Bytes float32 = wavbytes::float32({inf32, -inf32, std::numeric_limits<float>::quiet_NaN(), FLT_MAX, -1.5f});
    const NonFiniteCase cases[] = {
        {"32-bit", canonical(fmt16(packed(3, 1, 22050, 32)), float32), {0, 0, 0, top, -49152}, float32},
        {"64-bit", canonical(fmt16(packed(3, 1, 22050, 64)), float64({nan64, inf64, -inf64, 1e300, -1e300, 1e39, -3.0})),
         {0, 0, 0, top, -top, top, -98304},
         wavbytes::float32({0, 0, 0, FLT_MAX, -FLT_MAX, FLT_MAX, -3.0f})},
    };
    for (const NonFiniteCase& c : cases) {
        SoundBuffer sound;
        ASSERT_TRUE(loadWav(sound, c.file.data(), c.file.size())) << c.name;
        ASSERT_EQ(sound.sampleCount, c.samples.size()) << c.name;
        for (size_t i = 0; i < c.samples.size(); ++i) EXPECT_EQ(sound.samples[i], c.samples[i]) << c.name << " sample " << i;
        EXPECT_EQ(sound.peak, top) << c.name;
        // The analysis sums squares of up to 4096 samples of a frame.
        EXPECT_TRUE(std::isfinite(sound.peak * sound.peak * 4096)) << c.name;
        ASSERT_EQ(sound.dataSize, c.played.size()) << c.name;
        EXPECT_EQ(std::memcmp(sound.data, c.played.data(), c.played.size()), 0) << c.name;
    }
}

}  // namespace
