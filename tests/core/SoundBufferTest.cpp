#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <vector>

#include "core/audio/SoundBuffer.h"
#include "tests/support/WavBytes.h"

namespace {

WaveFormat formatOf(uint16_t tag, uint16_t channels, uint16_t bits)
{
    const uint16_t align = static_cast<uint16_t>(channels * (bits / 8));
    return WaveFormat{tag, channels, 22050, 22050u * align, align, bits, 18};
}

// Gives the buffer its own copy of the bytes, allocated as the buffer frees it.
void fill(SoundBuffer& sound, const WaveFormat& format, const std::vector<uint8_t>& bytes)
{
    sound.release();
    sound.format = format;
    sound.data = new uint8_t[bytes.size()];
    if (!bytes.empty()) std::memcpy(sound.data, bytes.data(), bytes.size());
    sound.dataSize = static_cast<uint32_t>(bytes.size());
}

struct DecodeCase {
    const char* name;
    WaveFormat format;
    std::vector<uint8_t> bytes;
    std::vector<double> expected;
    double expectedPeak;
};

void PrintTo(const DecodeCase& c, std::ostream* os) { *os << c.name; }

class DecodesOntoSixteenBitScale : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(DecodesOntoSixteenBitScale, SamplesAndPeak)
{
    const DecodeCase& c = GetParam();
    SoundBuffer sound;
    fill(sound, c.format, c.bytes);
    ASSERT_TRUE(sound.decode());
    ASSERT_EQ(sound.sampleCount, c.expected.size());
    for (size_t i = 0; i < c.expected.size(); ++i) EXPECT_EQ(sound.samples[i], c.expected[i]) << "sample " << i;
    EXPECT_EQ(sound.peak, c.expectedPeak);
    EXPECT_EQ(sound.sampleAt(sound.sampleCount), 0.0);
}

const float nan = std::numeric_limits<float>::quiet_NaN();
const float inf = std::numeric_limits<float>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Widths, DecodesOntoSixteenBitScale,
    ::testing::Values(
        DecodeCase{"EightBitAroundMidpoint", formatOf(1, 1, 8), {0x80, 0x00, 0xFF}, {0.0, -32768.0, 32512.0}, 32768.0},
        DecodeCase{"SixteenBitExtremes", formatOf(1, 1, 16), {0x00, 0x80, 0xFF, 0x7F}, {-32768.0, 32767.0}, 32768.0},
        DecodeCase{"StereoTakesFirstWord", formatOf(1, 2, 16), {0x01, 0x00, 0xAA, 0xAA, 0xFE, 0xFF, 0x55, 0x55}, {1.0, -2.0}, 2.0},
        DecodeCase{"OddTrailingByteIgnored", formatOf(1, 1, 16), {0x0A, 0x00, 0x0B, 0x00, 0xF6, 0xFF, 0x7F}, {10.0, 11.0, -10.0}, 11.0},
        DecodeCase{"StereoEightBitPartialFrame", formatOf(1, 2, 8), {0x81, 0x00, 0x7F, 0xFF, 0x90}, {256.0, -256.0}, 256.0},
        // value / 256 and value / 65536, the top fraction of a step cut at 32767
        DecodeCase{"TwentyFourBit", formatOf(1, 1, 24), {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00, 0xFF, 0xFF, 0xFF},
                   {-32768.0, 32767.0, 1.0 / 256.0, -1.0 / 256.0}, 32768.0},
        DecodeCase{"ThirtyTwoBitInteger", formatOf(1, 1, 32),
                   {0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0x01, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x80, 0xFE, 0x7F},
                   {-32768.0, 1.0, 32767.0, 0x7FFE8000 / 65536.0}, 32768.0},
        // value * 32768 and nothing cut: a passage louder than full scale keeps its shape and its peak
        DecodeCase{"FloatScaledNotClamped", formatOf(3, 1, 32), wavbytes::float32({0.5f, -0.25f, 1.0f, -1.0f, 2.0f, -inf, nan}),
                   {16384.0, -8192.0, 32768.0, -32768.0, 65536.0, 0.0, 0.0}, 65536.0},
        DecodeCase{"FloatBitsUnderPcmTagAreIntegers", formatOf(1, 1, 32), wavbytes::float32({1.0f}), {0x3F800000 / 65536.0},
                   0x3F800000 / 65536.0},
        DecodeCase{"EmptySound", formatOf(1, 1, 16), {}, {}, 0.0}));

TEST(SoundBufferDecode, RefusesFormatsWithoutAFrameSize)
{
    for (const WaveFormat& format :
         {formatOf(1, 0, 16), formatOf(1, 1, 0), formatOf(1, 1, 4), formatOf(1, 1, 12), formatOf(1, 1, 64), formatOf(3, 1, 64)}) {
        SoundBuffer sound;
        fill(sound, format, {1, 2, 3, 4, 5, 6, 7, 8});
        sound.peak = 5.0;
        sound.sampleCount = 9;
        EXPECT_FALSE(isDecodableFormat(format));
        EXPECT_FALSE(sound.decode()) << format.channels << " channels, " << format.bitsPerSample << " bits";
        EXPECT_EQ(sound.sampleCount, 0u);
        EXPECT_EQ(sound.peak, 0.0);
        EXPECT_EQ(sound.samples, notAllocated<double>());
    }
}

TEST(SoundBufferDecode, RefusesLayoutsWhoseFramesCannotHoldTheirSamples)
{
    const struct {
        const char* what;
        SampleLayout layout;
    } refused[] = {
        {"no channels", {0, 16, false, 4}},
        {"stride not a multiple of the channels", {2, 16, false, 5}},
        {"containers narrower than the width", {1, 24, false, 2}},
        {"no stride at all", {1, 8, false, 0}},
        {"64-bit integer", {1, 64, false, 8}},
        {"16-bit float", {1, 16, true, 2}},
        {"twelve bits", {1, 12, false, 2}},
    };
    const uint8_t bytes[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    for (const auto& c : refused) {
        SoundBuffer sound;
        sound.peak = 5.0;
        EXPECT_FALSE(sound.decodeFrom(c.layout, bytes, sizeof bytes)) << c.what;
        EXPECT_EQ(sound.sampleCount, 0u) << c.what;
        EXPECT_EQ(sound.peak, 0.0) << c.what;
        EXPECT_EQ(sound.samples, notAllocated<double>()) << c.what;
    }
}

TEST(SoundBufferDecode, HostileBlockAlignDoesNotWidenTheStride)
{
    SoundBuffer sound;
    WaveFormat format = formatOf(1, 1, 16);
    format.blockAlign = 64;  // claims 64-byte frames over plain mono 16-bit bytes
    fill(sound, format, {0x01, 0x00, 0x02, 0x00, 0x03, 0x00});
    ASSERT_TRUE(sound.decode());
    ASSERT_EQ(sound.sampleCount, 3u);
    EXPECT_EQ(sound.samples[2], 3.0);
    EXPECT_EQ(sound.sampleAt(3), 0.0);
    EXPECT_EQ(sound.sampleAt(std::numeric_limits<uint32_t>::max()), 0.0);
}

TEST(SoundBufferLifetime, ReleaseTwiceAndTakeFrom)
{
    SoundBuffer target;
    fill(target, formatOf(1, 1, 8), {0x80});
    ASSERT_TRUE(target.decode());
    target.ready = 1;
    target.release();
    target.release();  // a double free here would stop the sanitizer build
    EXPECT_EQ(target.data, notAllocated<uint8_t>());
    EXPECT_EQ(target.samples, notAllocated<double>());

    SoundBuffer source;
    fill(source, formatOf(1, 2, 16), {0x05, 0x00, 0x00, 0x00, 0xFB, 0xFF, 0x00, 0x00});
    ASSERT_TRUE(source.decode());
    const double* moved = source.samples;
    target.takeFrom(source);
    EXPECT_EQ(target.samples, moved);
    EXPECT_EQ(target.format.channels, 2);
    EXPECT_EQ(target.dataSize, 8u);
    EXPECT_EQ(target.sampleCount, 2u);
    EXPECT_EQ(target.peak, 5.0);
    EXPECT_EQ(target.ready.load(), 1) << "takeFrom leaves the flag to the caller";
    EXPECT_EQ(source.data, notAllocated<uint8_t>());
    EXPECT_EQ(source.samples, notAllocated<double>());
    EXPECT_EQ(source.sampleCount, 0u);
    target.takeFrom(target);
    EXPECT_EQ(target.samples, moved);
}

}  // namespace
