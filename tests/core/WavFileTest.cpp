#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "audio/WavFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put(Bytes& b, uint32_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

Bytes operator+(Bytes a, const Bytes& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes id(const char* four) { return Bytes(four, four + 4); }

Bytes chunk(const char* name, const Bytes& body, uint32_t claimedSize)
{
    Bytes b = id(name);
    put(b, claimedSize, 4);
    b = b + body;
    if (body.size() % 2 == 1 && claimedSize == body.size()) b.push_back(0);  // pad byte
    return b;
}

Bytes chunk(const char* name, const Bytes& body) { return chunk(name, body, static_cast<uint32_t>(body.size())); }

Bytes riff(const Bytes& chunks, const char* riffId = "RIFF")
{
    Bytes b = id(riffId);
    put(b, static_cast<uint32_t>(chunks.size() + 4), 4);
    return b + id("WAVE") + chunks;
}

// The sixteen common bytes of a format chunk.
Bytes fmt(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    Bytes b;
    const uint16_t align = static_cast<uint16_t>(channels * (bits / 8));
    put(b, tag, 2), put(b, channels, 2), put(b, rate, 4), put(b, rate * align, 4), put(b, align, 2), put(b, bits, 2);
    return b;
}

Bytes fmt18(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits) { return fmt(tag, channels, rate, bits) + Bytes{0, 0}; }

// WAVE_FORMAT_EXTENSIBLE, 40 bytes, the sub-format's tag opening its GUID.
Bytes extensible(uint16_t subFormat, uint16_t channels, uint32_t rate, uint16_t bits)
{
    Bytes b = fmt(0xFFFE, channels, rate, bits);
    put(b, 22, 2), put(b, bits, 2), put(b, 4, 4), put(b, subFormat, 2);
    return b + Bytes{0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};
}

Bytes words(std::initializer_list<int16_t> values)
{
    Bytes b;
    for (int16_t v : values) put(b, static_cast<uint16_t>(v), 2);
    return b;
}

Bytes canonical(const Bytes& format16, const Bytes& data, const char* riffId = "RIFF")
{
    return riff(chunk("fmt ", format16) + chunk("data", data), riffId);
}

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

Bytes floats(float value)
{
    uint32_t raw;
    std::memcpy(&raw, &value, 4);
    Bytes b;
    put(b, raw, 4);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FindsFormatAndData,
    ::testing::Values(
        LayoutCase{"CanonicalSixteenBitMono", canonical(fmt(1, 1, 22050, 16), words({1000, -2, 3})), 1, 1, 16, 44, 6, {1000, -2, 3}},
        LayoutCase{"CanonicalEightBit", canonical(fmt(1, 1, 22050, 8), {0x80, 0x81, 0x00}), 1, 1, 8, 44, 3, {0, 256, -32768}},
        LayoutCase{"EighteenByteFormat", canonical(fmt18(1, 1, 22050, 16), words({7, 8})), 1, 1, 16, 46, 4, {7, 8}},
        LayoutCase{"ListAndFactBeforeData",
                   riff(chunk("fmt ", fmt(1, 1, 22050, 16)) + chunk("LIST", Bytes(26, 'x')) + chunk("fact", {4, 0, 0, 0}) +
                        chunk("data", words({-5, 6}))),
                   1, 1, 16, 90, 4, {-5, 6}},
        LayoutCase{"OddChunkPaddedToAWord", riff(chunk("junk", {1, 2, 3}) + chunk("fmt ", fmt(1, 1, 22050, 8)) + chunk("data", {0x90})),
                   1, 1, 8, 56, 1, {4096}},
        LayoutCase{"ExtensiblePcm", canonical(extensible(1, 1, 22050, 24), {0x00, 0x01, 0x00}), 1, 1, 24, 68, 3, {1}},
        LayoutCase{"ExtensibleFloat", canonical(extensible(3, 1, 22050, 32), floats(-0.5f)), 3, 1, 32, 68, 4, {-16384}},
        LayoutCase{"TwentyFourBit", canonical(fmt(1, 1, 22050, 24), {0x00, 0x00, 0xC0}), 1, 1, 24, 44, 3, {-16384}},
        LayoutCase{"ThirtyTwoBitInteger", canonical(fmt(1, 1, 22050, 32), {0x00, 0x00, 0x02, 0x00}), 1, 1, 32, 44, 4, {2}},
        LayoutCase{"StereoFirstChannel", canonical(fmt(1, 2, 22050, 16), words({11, -11, 12, -12})), 1, 2, 16, 44, 8, {11, 12}},
        LayoutCase{"DataBeyondTheFileIsClamped", riff(chunk("fmt ", fmt(1, 1, 22050, 16)) + chunk("data", words({4, 5}), 1000)), 1,
                   1, 16, 44, 4, {4, 5}},
        // Foreign or damaged headers load at the fixed offsets, as PCM by their width.
        LayoutCase{"RifxWithAnOddTag", canonical(fmt(0x55, 1, 22050, 8), {0x70, 0x90}, "RIFX"), 1, 1, 8, 44, 2, {-4096, 4096}},
        LayoutCase{"HugeChunkSizeEndsTheWalk",
                   riff(chunk("fmt ", fmt(1, 1, 22050, 8)) + chunk("LIST", {0x7F, 0x81}, 0xFFFFFFFF)), 1, 1, 8, 44, 2, {-256, 256}}));

TEST(ParseWav, RefusesWhatCannotBeDecoded)
{
    const struct {
        const char* what;
        Bytes file;
    } refused[] = {
        {"empty", {}},
        {"shorter than the header", Bytes(43, 0)},
        {"RIFF/WAVE with nothing in it", riff({})},
        {"zero channels", canonical(fmt(1, 0, 22050, 16), words({1}))},
        {"zero bits", canonical(fmt(1, 1, 22050, 0), words({1}))},
        {"twelve bits", canonical(fmt(1, 1, 22050, 12), words({1}))},
        {"extensible ADPCM", canonical(extensible(2, 1, 22050, 16), words({1}))},
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
    Bytes sloppy;
    put(sloppy, 1, 2), put(sloppy, 2, 2), put(sloppy, 11025, 4), put(sloppy, 7, 4), put(sloppy, 0, 2), put(sloppy, 16, 2);
    const Bytes file = canonical(sloppy, words({1, 2, 3, 4}));
    WavLayout layout;
    ASSERT_TRUE(parseWav(file.data(), file.size(), layout));
    EXPECT_EQ(layout.format.blockAlign, 4);
    EXPECT_EQ(layout.format.avgBytesPerSec, 44100u);
}

TEST(ParseWav, TruncatedFilesNeverReachPastTheirEnd)
{
    const Bytes full = riff(chunk("fmt ", fmt18(1, 2, 22050, 16)) + chunk("LIST", {1, 2, 3, 4, 5}) + chunk("data", words({1, 2, 3, 4})));
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
    const Bytes good = canonical(fmt(1, 1, 22050, 16), words({100, -200}));
    ASSERT_TRUE(loadWav(target, good.data(), good.size()));
    const uint8_t* oldData = target.data;
    const double* oldSamples = target.samples;
    const WaveFormat oldFormat = target.format;

    const Bytes bad = canonical(fmt(1, 0, 44100, 8), {1, 2, 3});
    EXPECT_FALSE(loadWav(target, bad.data(), bad.size()));
    EXPECT_FALSE(loadWav(target, bad.data(), 10));
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
    const Bytes silent = canonical(fmt(1, 1, 8000, 8), {});
    ASSERT_TRUE(loadWav(target, silent.data(), silent.size()));
    EXPECT_EQ(target.format.samplesPerSec, 8000u);
    EXPECT_EQ(target.sampleCount, 0u);
    EXPECT_EQ(target.peak, 0.0);
}

}  // namespace
