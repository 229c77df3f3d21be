// The canonical RIFF/WAVE bytes of a sound. The expected headers are written
// out here byte by byte from the RIFF rules, not built by the code under test.
#include "core/audio/WavWriter.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/support/WavBytes.h"

namespace {

using wavbytes::Bytes;
using wavbytes::concat;

WaveFormat formatOf(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    WaveFormat f{};
    f.formatTag = tag;
    f.channels = channels;
    f.samplesPerSec = rate;
    f.bitsPerSample = bits;
    // Deliberately wrong: the file must carry the values the layout implies.
    f.blockAlign = 1;
    f.avgBytesPerSec = 7;
    f.extraSize = 18;
    return f;
}

struct WriteCase {
    const char* what;
    WaveFormat format;
    Bytes data;
    Bytes expected;
};

std::vector<WriteCase> writeCases()
{
    return {
        {"16-bit mono: 16-byte fmt, data as it is",
         formatOf(1, 1, 22050, 16), {0x01, 0x00, 0xFF, 0x7F},
         concat({{'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E'},
                 {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0},
                 {'d', 'a', 't', 'a', 4, 0, 0, 0, 0x01, 0x00, 0xFF, 0x7F}})},
        {"8-bit mono of odd length: a pad byte the sizes do not count in data",
         formatOf(1, 1, 8000, 8), {0x80, 0x00, 0xFF},
         concat({{'R', 'I', 'F', 'F', 40, 0, 0, 0, 'W', 'A', 'V', 'E'},
                 {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x40, 0x1F, 0, 0, 0x40, 0x1F, 0, 0, 1, 0, 8, 0},
                 {'d', 'a', 't', 'a', 3, 0, 0, 0, 0x80, 0x00, 0xFF, 0}})},
        {"24-bit stereo: the trailing part-frame is left out",
         formatOf(1, 2, 44100, 24), {1, 2, 3, 4, 5, 6, 7, 8},
         concat({{'R', 'I', 'F', 'F', 42, 0, 0, 0, 'W', 'A', 'V', 'E'},
                 {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x98, 0x09, 0x04, 0, 6, 0, 24, 0},
                 {'d', 'a', 't', 'a', 6, 0, 0, 0, 1, 2, 3, 4, 5, 6}})},
        {"32-bit float stereo: 18-byte fmt and a fact chunk with the frame count",
         formatOf(3, 2, 48000, 32), {0, 0, 0x80, 0x3F, 0, 0, 0x80, 0xBF, 0, 0, 0, 0, 0, 0, 0, 0x3F},
         concat({{'R', 'I', 'F', 'F', 66, 0, 0, 0, 'W', 'A', 'V', 'E'},
                 {'f', 'm', 't', ' ', 18, 0, 0, 0, 3, 0, 2, 0, 0x80, 0xBB, 0, 0, 0x00, 0xDC, 0x05, 0, 8, 0, 32, 0, 0, 0},
                 {'f', 'a', 'c', 't', 4, 0, 0, 0, 2, 0, 0, 0},
                 {'d', 'a', 't', 'a', 16, 0, 0, 0, 0, 0, 0x80, 0x3F, 0, 0, 0x80, 0xBF, 0, 0, 0, 0, 0, 0, 0, 0x3F}})},
        {"an empty sound: a header and no data",
         formatOf(1, 1, 22050, 16), {},
         concat({{'R', 'I', 'F', 'F', 36, 0, 0, 0, 'W', 'A', 'V', 'E'},
                 {'f', 'm', 't', ' ', 16, 0, 0, 0, 1, 0, 1, 0, 0x22, 0x56, 0, 0, 0x44, 0xAC, 0, 0, 2, 0, 16, 0},
                 {'d', 'a', 't', 'a', 0, 0, 0, 0}})},
    };
}

TEST(WavWriter, WritesCanonicalFiles)
{
    for (const WriteCase& c : writeCases()) {
        SCOPED_TRACE(c.what);
        Bytes file;
        ASSERT_TRUE(wavFileBytes(c.format, c.data.data(), static_cast<uint32_t>(c.data.size()), file));
        EXPECT_EQ(file, c.expected);

        WavFilePlan plan;
        ASSERT_TRUE(planWavFile(c.format, static_cast<uint32_t>(c.data.size()), plan));
        EXPECT_EQ(plan.fileSize(), c.expected.size());
        EXPECT_EQ(Bytes(c.expected.begin(), c.expected.begin() + plan.header.size()), plan.header);
    }
}

TEST(WavWriter, RefusesFormatsWithoutACanonicalFile)
{
    struct Refusal {
        const char* what;
        WaveFormat format;
        uint32_t dataSize;
    };
    const Refusal refusals[] = {
        {"ADPCM tag", formatOf(2, 1, 22050, 16), 100},
        {"extensible tag", formatOf(0xFFFE, 1, 22050, 16), 100},
        {"no channels", formatOf(1, 0, 22050, 16), 100},
        {"12-bit samples", formatOf(1, 1, 22050, 12), 100},
        {"0-bit samples", formatOf(1, 1, 22050, 0), 100},
        {"16-bit float", formatOf(3, 1, 22050, 16), 100},
        {"a frame wider than 65535 bytes", formatOf(1, 4096, 22050, 128), 100},
        {"a byte rate beyond 32 bits", formatOf(1, 8, 0xFFFFFFFFu, 32), 100},
        {"data beyond the 32-bit RIFF size", formatOf(1, 1, 22050, 8), 0xFFFFFFF0u},
    };
    for (const Refusal& r : refusals) {
        SCOPED_TRACE(r.what);
        WavFilePlan plan;
        EXPECT_FALSE(planWavFile(r.format, r.dataSize, plan));
    }
}

TEST(WavWriter, LargestSoundThatFitsIsPlanned)
{
    // RIFF size = 36 + data + pad for PCM: 2^32 - 38 bytes of 8-bit data is
    // the most that fits; one byte more is odd and its pad byte overflows.
    WavFilePlan plan;
    ASSERT_TRUE(planWavFile(formatOf(1, 1, 22050, 8), 0xFFFFFFFFu - 37, plan));
    EXPECT_EQ(plan.dataBytes, 0xFFFFFFFFu - 37);
    EXPECT_FALSE(plan.padByte);
    EXPECT_EQ(Bytes(plan.header.begin() + 4, plan.header.begin() + 8), (Bytes{0xFE, 0xFF, 0xFF, 0xFF}));
    EXPECT_FALSE(planWavFile(formatOf(1, 1, 22050, 8), 0xFFFFFFFFu - 36, plan));
}

}  // namespace
