#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "audio/WavFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}

void put32(Bytes& b, uint32_t v)
{
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

void putId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

// The sixteen common bytes of a format chunk.
Bytes formatBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    Bytes body;
    const uint16_t blockAlign = static_cast<uint16_t>(channels * (bits / 8));
    put16(body, tag);
    put16(body, channels);
    put32(body, rate);
    put32(body, rate * blockAlign);
    put16(body, blockAlign);
    put16(body, bits);
    return body;
}

// The 40-byte WAVE_FORMAT_EXTENSIBLE body with the given sub-format tag.
Bytes extensibleBody(uint16_t subFormat, uint16_t channels, uint32_t rate, uint16_t bits)
{
    Bytes body = formatBody(0xFFFE, channels, rate, bits);
    put16(body, 22);        // cbSize
    put16(body, bits);      // valid bits
    put32(body, 0x4);       // channel mask
    put16(body, subFormat); // GUID: tag in the first two bytes, then the fixed tail
    const uint8_t tail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    body.insert(body.end(), tail, tail + 14);
    return body;
}

// A RIFF/WAVE file built chunk by chunk; sizes are written as given, so a
// test can lie about them.
struct RiffBuilder {
    Bytes bytes;
    RiffBuilder()
    {
        putId(bytes, "RIFF");
        put32(bytes, 0);  // fixed up by finish()
        putId(bytes, "WAVE");
    }
    RiffBuilder& chunk(const char* id, const Bytes& body) { return chunkClaiming(id, static_cast<uint32_t>(body.size()), body); }
    RiffBuilder& chunkClaiming(const char* id, uint32_t claimedSize, const Bytes& body)
    {
        putId(bytes, id);
        put32(bytes, claimedSize);
        bytes.insert(bytes.end(), body.begin(), body.end());
        if (body.size() % 2 == 1 && claimedSize == body.size()) bytes.push_back(0);  // pad byte
        return *this;
    }
    Bytes finish()
    {
        const uint32_t riffSize = static_cast<uint32_t>(bytes.size() - 8);
        for (int i = 0; i < 4; ++i) bytes[4 + i] = static_cast<uint8_t>(riffSize >> (8 * i));
        return bytes;
    }
};

Bytes sixteenBitSamples(std::initializer_list<int16_t> values)
{
    Bytes b;
    for (int16_t v : values) put16(b, static_cast<uint16_t>(v));
    return b;
}

// The canonical 44-byte header and its data.
Bytes canonical(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, const Bytes& data, const char* riffId = "RIFF")
{
    Bytes file;
    putId(file, riffId);
    put32(file, static_cast<uint32_t>(36 + data.size()));
    putId(file, "WAVE");
    putId(file, "fmt ");
    put32(file, 16);
    Bytes fmt = formatBody(tag, channels, rate, bits);
    file.insert(file.end(), fmt.begin(), fmt.end());
    putId(file, "data");
    put32(file, static_cast<uint32_t>(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    return file;
}

struct LayoutCase {
    const char* name;
    Bytes file;
    uint16_t tag;
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    uint32_t dataOffset;
    uint32_t dataSize;
    std::vector<double> samples;
};

// Names the case in failure messages instead of dumping its bytes.
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

class FindsFormatAndData : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FindsFormatAndData, AndDecodes)
{
    const LayoutCase& c = GetParam();
    WavLayout layout;
    ASSERT_TRUE(parseWav(c.file.data(), c.file.size(), layout));
    EXPECT_EQ(layout.format.formatTag, c.tag);
    EXPECT_EQ(layout.format.channels, c.channels);
    EXPECT_EQ(layout.format.samplesPerSec, c.rate);
    EXPECT_EQ(layout.format.bitsPerSample, c.bits);
    EXPECT_EQ(layout.format.extraSize, 18);
    EXPECT_EQ(layout.dataOffset, c.dataOffset);
    EXPECT_EQ(layout.dataSize, c.dataSize);

    SoundBuffer sound;
    ASSERT_TRUE(loadWav(sound, c.file.data(), c.file.size()));
    EXPECT_EQ(sound.ready.load(), 1);
    EXPECT_EQ(sound.dataSize, c.dataSize);
    ASSERT_EQ(sound.sampleCount, c.samples.size());
    for (size_t i = 0; i < c.samples.size(); ++i) EXPECT_EQ(sound.samples[i], c.samples[i]) << "sample " << i;
}

Bytes fmt18(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    Bytes body = formatBody(tag, channels, rate, bits);
    put16(body, 0);  // cbSize
    return body;
}

Bytes floatSamples(std::initializer_list<float> values)
{
    Bytes b;
    for (float v : values) {
        uint32_t raw;
        std::memcpy(&raw, &v, 4);
        put32(b, raw);
    }
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Files, FindsFormatAndData,
    ::testing::Values(
        LayoutCase{"CanonicalSixteenBitMono", canonical(1, 1, 22050, 16, sixteenBitSamples({1000, -2, 3})), 1, 1, 22050, 16, 44, 6,
                   {1000.0, -2.0, 3.0}},
        LayoutCase{"CanonicalEightBit", canonical(1, 1, 11025, 8, {0x80, 0x81, 0x7F, 0x00}), 1, 1, 11025, 8, 44, 4,
                   {0.0, 256.0, -256.0, -32768.0}},
        LayoutCase{"EighteenByteFormatChunk",
                   RiffBuilder().chunk("fmt ", fmt18(1, 1, 44100, 16)).chunk("data", sixteenBitSamples({7, 8})).finish(), 1, 1,
                   44100, 16, 46, 4, {7.0, 8.0}},
        LayoutCase{"ListAndFactBeforeData",
                   RiffBuilder()
                       .chunk("fmt ", formatBody(1, 1, 8000, 16))
                       .chunk("LIST", Bytes(26, 'x'))
                       .chunk("fact", {4, 0, 0, 0})
                       .chunk("data", sixteenBitSamples({-5, 6}))
                       .finish(),
                   1, 1, 8000, 16, 36 + 34 + 12 + 8, 4, {-5.0, 6.0}},
        LayoutCase{"OddChunkPaddedToAWord",
                   RiffBuilder().chunk("junk", {1, 2, 3}).chunk("fmt ", formatBody(1, 1, 22050, 8)).chunk("data", {0x90}).finish(), 1,
                   1, 22050, 8, 12 + 12 + 24 + 8, 1, {4096.0}},
        LayoutCase{"FormatAfterData",
                   RiffBuilder().chunk("data", sixteenBitSamples({9})).chunk("fmt ", formatBody(1, 1, 22050, 16)).finish(), 1, 1,
                   22050, 16, 20, 2, {9.0}},
        LayoutCase{"ExtensiblePcm",
                   RiffBuilder().chunk("fmt ", extensibleBody(1, 1, 48000, 24)).chunk("data", {0x00, 0x01, 0x00}).finish(), 1, 1,
                   48000, 24, 68, 3, {1.0}},
        LayoutCase{"ExtensibleFloat",
                   RiffBuilder().chunk("fmt ", extensibleBody(3, 1, 48000, 32)).chunk("data", floatSamples({-0.5f})).finish(), 3, 1,
                   48000, 32, 68, 4, {-16384.0}},
        LayoutCase{"PlainFloat", RiffBuilder().chunk("fmt ", fmt18(3, 1, 44100, 32)).chunk("data", floatSamples({0.25f})).finish(), 3,
                   1, 44100, 32, 46, 4, {8192.0}},
        LayoutCase{"TwentyFourBit", canonical(1, 1, 96000, 24, {0x00, 0x00, 0xC0}), 1, 1, 96000, 24, 44, 3, {-16384.0}},
        LayoutCase{"ThirtyTwoBitInteger", canonical(1, 1, 96000, 32, {0x00, 0x00, 0x02, 0x00}), 1, 1, 96000, 32, 44, 4, {2.0}},
        LayoutCase{"StereoFirstChannel", canonical(1, 2, 44100, 16, sixteenBitSamples({11, -11, 12, -12})), 1, 2, 44100, 16, 44, 8,
                   {11.0, 12.0}},
        LayoutCase{"DataSizeBeyondTheFileIsClamped",
                   RiffBuilder().chunk("fmt ", formatBody(1, 1, 22050, 16)).chunkClaiming("data", 1000, sixteenBitSamples({4, 5})).finish(),
                   1, 1, 22050, 16, 44, 4, {4.0, 5.0}},
        // Damaged and foreign headers load at the fixed offsets, as they always did.
        LayoutCase{"UnknownIdAtFixedOffsets", canonical(1, 1, 22050, 16, sixteenBitSamples({3}), "JUNK"), 1, 1, 22050, 16, 44, 2, {3.0}},
        LayoutCase{"RifxLoadsAtFixedOffsets", canonical(1, 1, 22050, 16, sixteenBitSamples({3}), "RIFX"), 1, 1, 22050, 16, 44, 2, {3.0}},
        // Tags other than 32-bit float are read, and handed on, as PCM by their width.
        LayoutCase{"NonPcmTagLoadsByItsBits", canonical(2, 1, 22050, 16, sixteenBitSamples({-7})), 1, 1, 22050, 16, 44, 2, {-7.0}},
        LayoutCase{"NonPcmTagInAForeignHeader", canonical(0x55, 1, 22050, 8, {0x70}, "RIFX"), 1, 1, 22050, 8, 44, 1, {-4096.0}},
        LayoutCase{"FloatTagOnSixteenBitsIsPcm", canonical(3, 1, 22050, 16, sixteenBitSamples({-9})), 1, 1, 22050, 16, 44, 2, {-9.0}},
        LayoutCase{"ExtensibleWithoutItsExtension",
                   RiffBuilder().chunk("fmt ", fmt18(0xFFFE, 1, 22050, 16)).chunk("data", sixteenBitSamples({12})).finish(), 1, 1,
                   22050, 16, 46, 2, {12.0}},
        LayoutCase{"RiffWithoutDataChunkFallsBack",
                   RiffBuilder().chunk("fmt ", formatBody(1, 1, 22050, 8)).chunk("LIST", {0x80, 0x90, 0xA0, 0xB0}).finish(), 1, 1,
                   22050, 8, 44, 4, {0.0, 4096.0, 8192.0, 12288.0}},
        LayoutCase{"HugeChunkSizeEndsTheWalk",
                   RiffBuilder().chunk("fmt ", formatBody(1, 1, 22050, 8)).chunkClaiming("LIST", 0xFFFFFFFF, {1, 2, 3, 4, 5, 6}).finish(),
                   1, 1, 22050, 8, 44, 6, {-32512.0, -32256.0, -32000.0, -31744.0, -31488.0, -31232.0}}),
    [](const ::testing::TestParamInfo<LayoutCase>& info) { return std::string(info.param.name); });

TEST(ParseWav, RefusesWhatCannotBeDecoded)
{
    const struct {
        const char* what;
        Bytes file;
    } refused[] = {
        {"empty", {}},
        {"shorter than the header", Bytes(43, 0)},
        {"RIFF/WAVE with nothing in it", RiffBuilder().finish()},
        {"zero channels", canonical(1, 0, 22050, 16, sixteenBitSamples({1}))},
        {"zero bits", canonical(1, 1, 22050, 0, sixteenBitSamples({1}))},
        {"four bits", canonical(1, 1, 22050, 4, sixteenBitSamples({1}))},
        {"twelve bits", canonical(1, 1, 22050, 12, sixteenBitSamples({1}))},
        {"extensible with an unknown sub-format",
         RiffBuilder().chunk("fmt ", extensibleBody(2, 1, 22050, 16)).chunk("data", sixteenBitSamples({1})).finish()},
    };
    for (const auto& c : refused) {
        WavLayout layout;
        layout.dataSize = 12345;
        EXPECT_FALSE(parseWav(c.file.data(), c.file.size(), layout)) << c.what;
        EXPECT_EQ(layout.dataSize, 12345u) << c.what << ": layout written on refusal";
    }
}

TEST(ParseWav, TruncatedFilesNeverReadPastTheirEnd)
{
    // Every prefix of a file with several chunks; the sanitizer build checks
    // the reads, this checks the results stay inside the prefix.
    const Bytes full = RiffBuilder()
                           .chunk("fmt ", fmt18(1, 2, 22050, 16))
                           .chunk("LIST", {1, 2, 3, 4, 5})
                           .chunk("data", sixteenBitSamples({1, 2, 3, 4, 5, 6}))
                           .finish();
    for (size_t size = 0; size <= full.size(); ++size) {
        Bytes prefix(full.begin(), full.begin() + static_cast<long>(size));
        WavLayout layout;
        if (parseWav(prefix.data(), prefix.size(), layout)) {
            EXPECT_LE(static_cast<size_t>(layout.dataOffset) + layout.dataSize, size) << "prefix of " << size;
        }
    }
}

TEST(LoadWav, ReplacesTheSoundOnlyWhenTheNewOneDecodes)
{
    SoundBuffer target;
    const Bytes good = canonical(1, 1, 22050, 16, sixteenBitSamples({100, -200}));
    ASSERT_TRUE(loadWav(target, good.data(), good.size()));
    const uint8_t* oldData = target.data;
    const double* oldSamples = target.samples;
    const WaveFormat oldFormat = target.format;

    const Bytes bad = canonical(1, 0, 44100, 8, {1, 2, 3});
    EXPECT_FALSE(loadWav(target, bad.data(), bad.size()));
    EXPECT_FALSE(loadWav(target, bad.data(), 10));
    EXPECT_EQ(target.ready.load(), 1);
    EXPECT_EQ(target.data, oldData);
    EXPECT_EQ(target.samples, oldSamples);
    EXPECT_EQ(std::memcmp(&target.format, &oldFormat, sizeof oldFormat), 0);
    EXPECT_EQ(target.dataSize, 4u);
    EXPECT_EQ(target.sampleCount, 2u);
    EXPECT_EQ(target.peak, 200.0);

    SoundBuffer empty;
    EXPECT_FALSE(loadWav(empty, bad.data(), bad.size()));
    EXPECT_EQ(empty.ready.load(), 0);
    EXPECT_EQ(empty.data, notAllocated<uint8_t>());
    EXPECT_EQ(empty.samples, notAllocated<double>());

    // A good load frees the old blocks (the leak checker watches) and takes
    // the new format whole.
    const Bytes other = canonical(1, 1, 8000, 8, {0xFF});
    ASSERT_TRUE(loadWav(target, other.data(), other.size()));
    EXPECT_EQ(target.format.samplesPerSec, 8000u);
    EXPECT_EQ(target.format.extraSize, 18);
    EXPECT_EQ(target.sampleCount, 1u);
    EXPECT_EQ(target.peak, 32512.0);
}

TEST(LoadWav, EmptyDataLoadsAsAnEmptySound)
{
    SoundBuffer target;
    const Bytes file = canonical(1, 1, 22050, 16, {});
    ASSERT_TRUE(loadWav(target, file.data(), file.size()));
    EXPECT_EQ(target.ready.load(), 1);
    EXPECT_EQ(target.dataSize, 0u);
    EXPECT_EQ(target.sampleCount, 0u);
    EXPECT_EQ(target.peak, 0.0);
    EXPECT_EQ(target.sampleAt(0), 0.0);
}

}  // namespace
