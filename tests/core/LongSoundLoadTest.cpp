// Loading a long sound without needless copies and passes: the column
// extents found while decoding, the decode split over two threads, and the
// file's block adopted as the sound's data.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "core/audio/WavFile.h"
#include "core/views/ViewGeometry.h"
#include "tests/support/WavBytes.h"

namespace {

using wavbytes::Bytes;
using wavbytes::operator+;

// The waveform's rule written out as it reads: the positions
// j * (count * (1/551)) + k for whole k below count * (1/551), truncated,
// the scan ending at the first position at or past count, held to the last
// sample.
ColumnExtent scanByPositions(const double* samples, uint32_t count, int column)
{
    const double step = static_cast<double>(count) * (1.0 / 551);
    const double base = static_cast<double>(column) * step;
    const auto index = [count](double position) {
        return position >= count - 1.0 ? count - 1 : static_cast<uint32_t>(position);
    };
    ColumnExtent e{samples[index(base)], samples[index(base)]};
    for (double k = 0; k < step && base + k < count; k += 1) {
        e.low = std::min(e.low, samples[index(base + k)]);
        e.high = std::max(e.high, samples[index(base + k)]);
    }
    return e;
}

// Distinct values, so that a scan reading one index too many or too few
// finds another extent.
std::vector<double> distinctValues(uint32_t count)
{
    std::vector<double> v(count);
    for (uint32_t i = 0; i < count; ++i) v[i] = static_cast<double>((i * 2654435761u) % 65521u) - 32760.0;
    return v;
}

// A column whose start lies within 2^-16 below a whole number: there the
// sum of start and step may round onto the next sample.
bool hasColumnNearAWholeNumber(uint32_t count)
{
    const double step = static_cast<double>(count) * (1.0 / 551);
    for (int j = 1; j < columnCount; ++j) {
        const double base = j * step;
        if (base - std::floor(base) >= 1.0 - 1.0 / 65536) return true;
    }
    return false;
}

TEST(ColumnExtents, AreWhatTheScanByPositionsFinds)
{
    const std::vector<double> values = distinctValues(3000000);
    std::vector<uint32_t> counts;
    for (uint32_t n = 1; n <= 2300; ++n) counts.push_back(n);
    for (uint32_t n = 2301; n < values.size(); n = n * 5 / 4 + 551) counts.push_back(n);
    int nearWhole = 0;
    for (uint32_t n = 1000; n < values.size() && nearWhole < 12; n += 7919)
        if (hasColumnNearAWholeNumber(n)) counts.push_back(n), ++nearWhole;
    ASSERT_GT(nearWhole, 0);
    for (uint32_t count : counts)
        for (int j = 0; j < columnCount; ++j) {
            const ColumnExtent want = scanByPositions(values.data(), count, j);
            const ColumnExtent got = columnExtentOf(values.data(), count, j);
            ASSERT_EQ(got.low, want.low) << "count " << count << " column " << j;
            ASSERT_EQ(got.high, want.high) << "count " << count << " column " << j;
        }
}

// 16-bit mono files long enough for the two-thread decode, and short ones.
TEST(LongSoundDecode, SamplesPeakAndExtentsOfEveryLength)
{
    for (uint32_t count : {1u, 550u, 552u, 100000u, (1u << 20) + 12345u, 2u * 551u * 1000u}) {
        SCOPED_TRACE(count);
        std::vector<int16_t> pcm(count);
        for (uint32_t i = 0; i < count; ++i) pcm[i] = static_cast<int16_t>((i * 40503u) % 60001u - 30000);
        pcm[count - 1] = -32768;  // the peak at the very end, in the second half
        const Bytes file = wavbytes::pcm16File(44100, 1, pcm);

        SoundBuffer sound;
        ASSERT_TRUE(loadWav(sound, file.data(), file.size()));
        ASSERT_EQ(sound.sampleCount, count);
        for (uint32_t i = 0; i < count; ++i) ASSERT_EQ(sound.samples[i], pcm[i]) << "sample " << i;
        EXPECT_EQ(sound.peak, 32768.0);

        ASSERT_TRUE(sound.hasColumnExtents());
        for (int j = 0; j < columnCount; ++j) {
            const ColumnExtent want = scanByPositions(sound.samples, count, j);
            ASSERT_EQ(sound.columnExtents[j].low, want.low) << "column " << j;
            ASSERT_EQ(sound.columnExtents[j].high, want.high) << "column " << j;
        }
        EXPECT_EQ(waveformTrace(sound), waveformTrace(sound.samples, count));
    }
}

TEST(LongSoundDecode, ExtentsFollowTheSamplesTheyWereFoundFor)
{
    const Bytes file = wavbytes::pcm16File(22050, 1, {100, -200, 300});
    SoundBuffer decoded;
    ASSERT_TRUE(loadWav(decoded, file.data(), file.size()));
    SoundBuffer target;
    target.takeFrom(decoded);
    EXPECT_TRUE(target.hasColumnExtents());
    EXPECT_FALSE(decoded.hasColumnExtents());

    // Samples put in by hand have none: the trace reads the samples then.
    target.release();
    EXPECT_FALSE(target.hasColumnExtents());
    target.samples = new double[2]{-16384.0, 16384.0};
    target.sampleCount = 2;
    EXPECT_FALSE(target.hasColumnExtents());
    // Columns 0..275 show sample 0 (row 96), columns 276..550 sample 1 (row 31).
    const std::vector<PixelPoint> trace = waveformTrace(target);
    ASSERT_EQ(trace.size(), 552u);
    EXPECT_EQ(trace[1], (PixelPoint{0, 96}));
    EXPECT_EQ(trace[276], (PixelPoint{275, 96}));
    EXPECT_EQ(trace[277], (PixelPoint{276, 31}));
    EXPECT_EQ(trace[551], (PixelPoint{550, 31}));
}

std::unique_ptr<uint8_t[]> blockOf(const Bytes& bytes)
{
    std::unique_ptr<uint8_t[]> block(new uint8_t[bytes.size()]);
    std::memcpy(block.get(), bytes.data(), bytes.size());
    return block;
}

TEST(LoadWavAdopting, TakesTheFileBlockWhenItsBytesAreKeptAsTheyAre)
{
    // A LIST chunk before the data, so the sample bytes must move to the front.
    const std::vector<int16_t> pcm{7, -8, 32767, -32768, 0};
    const Bytes data = wavbytes::pcm16(pcm);
    const Bytes file = wavbytes::riff(wavbytes::chunk("fmt ", wavbytes::fmt16(wavbytes::packed(1, 1, 8000, 16))) +
                                      wavbytes::chunk("LIST", Bytes(10, 'x')) + wavbytes::chunk("data", data));
    std::unique_ptr<uint8_t[]> block = blockOf(file);
    const uint8_t* blockStart = block.get();

    SoundBuffer sound;
    ASSERT_TRUE(loadWav(sound, block, file.size()));
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(sound.data, blockStart);
    ASSERT_EQ(sound.dataSize, data.size());
    EXPECT_EQ(std::memcmp(sound.data, data.data(), data.size()), 0);
    ASSERT_EQ(sound.sampleCount, pcm.size());
    for (size_t i = 0; i < pcm.size(); ++i) EXPECT_EQ(sound.samples[i], pcm[i]);
    EXPECT_EQ(sound.peak, 32768.0);
}

TEST(LoadWavAdopting, KeepsTheBlockUntouchedWhenItPacksOrRefuses)
{
    SoundBuffer sound;
    const Bytes first = wavbytes::pcm16File(8000, 1, {1000, -2000});
    ASSERT_TRUE(loadWav(sound, first.data(), first.size()));
    const uint8_t* oldData = sound.data;
    const double* oldSamples = sound.samples;

    // Refused: no data chunk and shorter than the canonical header.
    const Bytes refused = wavbytes::riff(wavbytes::chunk("fmt ", wavbytes::fmt16(wavbytes::packed(1, 1, 8000, 16))));
    std::unique_ptr<uint8_t[]> block = blockOf(refused);
    EXPECT_FALSE(loadWav(sound, block, refused.size()));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block.get(), refused.data(), refused.size()), 0);
    EXPECT_EQ(sound.data, oldData);
    EXPECT_EQ(sound.samples, oldSamples);
    EXPECT_EQ(sound.peak, 2000.0);
    EXPECT_TRUE(sound.hasColumnExtents());

    // 24-bit samples in 4-byte containers are packed into a block of their own.
    const Bytes padded = wavbytes::canonical(wavbytes::aligned(1, 1, 8000, 24, 4),
                                             Bytes{0, 0, 0x10, 0, 0, 0, 0xF0, 0});
    block = blockOf(padded);
    ASSERT_TRUE(loadWav(sound, block, padded.size()));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(std::memcmp(block.get(), padded.data(), padded.size()), 0);
    EXPECT_EQ(sound.dataSize, 6u);
    EXPECT_EQ(std::memcmp(sound.data, Bytes({0, 0, 0x10, 0, 0, 0xF0}).data(), 6), 0);
    EXPECT_EQ(sound.samples[0], 4096.0);
    EXPECT_EQ(sound.samples[1], -4096.0);
}

}  // namespace
