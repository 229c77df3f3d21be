#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/audio/DecodedSound.h"
#include "core/audio/WavFile.h"

namespace {

std::vector<uint8_t> bytesOf(const std::vector<int16_t>& words)
{
    std::vector<uint8_t> bytes;
    for (int16_t w : words) {
        bytes.push_back(static_cast<uint8_t>(w & 0xFF));
        bytes.push_back(static_cast<uint8_t>((w >> 8) & 0xFF));
    }
    return bytes;
}

DecodedFormat stereo16(uint32_t rate) { return DecodedFormat{2, rate, 16, false}; }

TEST(DecodedSound, BlocksSplitAnywhereBecomeOneSoundOfTheFirstChannel)
{
    // Left: 0, 1, ..., right: loud and negative, so taking the wrong channel shows.
    std::vector<int16_t> frames;
    for (int i = 0; i < 5000; ++i) {
        frames.push_back(static_cast<int16_t>(i - 2500));
        frames.push_back(static_cast<int16_t>(-30000));
    }
    const std::vector<uint8_t> bytes = bytesOf(frames);

    // A hint far too small, and blocks that end inside a frame and inside a sample.
    DecodedSoundAssembler assembler;
    ASSERT_TRUE(assembler.begin(stereo16(44100), 10));
    size_t at = 0;
    for (size_t step : {size_t{3}, size_t{1}, size_t{4093}, size_t{7}}) {
        for (; at + step <= bytes.size(); at += step) ASSERT_TRUE(assembler.append(bytes.data() + at, step));
    }
    ASSERT_TRUE(assembler.append(bytes.data() + at, bytes.size() - at));
    // Three stray bytes of an unfinished frame are left out of the sound.
    const uint8_t stray[3] = {1, 2, 3};
    ASSERT_TRUE(assembler.append(stray, 3));
    EXPECT_EQ(assembler.frames(), 5000u);

    SoundBuffer sound;
    ASSERT_TRUE(assembler.finish(sound));
    EXPECT_EQ(sound.ready.load(), 1);
    EXPECT_EQ(sound.format.formatTag, WaveFormatPcm);
    EXPECT_EQ(sound.format.channels, 2);
    EXPECT_EQ(sound.format.samplesPerSec, 44100u);
    EXPECT_EQ(sound.format.blockAlign, 4);
    EXPECT_EQ(sound.format.avgBytesPerSec, 176400u);
    ASSERT_EQ(sound.dataSize, bytes.size());
    EXPECT_EQ(std::memcmp(sound.data, bytes.data(), bytes.size()), 0);
    ASSERT_EQ(sound.sampleCount, 5000u);
    for (uint32_t i = 0; i < 5000; i += 499) EXPECT_EQ(sound.samples[i], static_cast<double>(i) - 2500.0);
    EXPECT_EQ(sound.peak, 2500.0);
    EXPECT_EQ(assembler.frames(), 0u);  // emptied
}

TEST(DecodedSound, FloatSoundIsKeptAsFloatOnTheSixteenBitScale)
{
    const float values[4] = {0.5f, -1.0f, 0.25f, 0.0f};
    DecodedSoundAssembler assembler;
    ASSERT_TRUE(assembler.begin(DecodedFormat{1, 24000, 32, true}, 4));
    ASSERT_TRUE(assembler.append(reinterpret_cast<const uint8_t*>(values), sizeof values));
    SoundBuffer sound;
    ASSERT_TRUE(assembler.finish(sound));
    EXPECT_EQ(sound.format.formatTag, WaveFormatFloat);
    EXPECT_EQ(sound.format.bitsPerSample, 32);
    EXPECT_EQ(sound.format.avgBytesPerSec, 96000u);
    ASSERT_EQ(sound.sampleCount, 4u);
    EXPECT_EQ(sound.samples[0], 16384.0);
    EXPECT_EQ(sound.samples[1], -32768.0);
    EXPECT_EQ(sound.peak, 32768.0);
}

TEST(DecodedSound, RefusalsLeaveTheLoadedSoundAlone)
{
    SoundBuffer sound;
    {
        DecodedSoundAssembler first;
        ASSERT_TRUE(first.begin(stereo16(8000), 0));
        const std::vector<uint8_t> bytes = bytesOf({7, 8, 9, 10});
        ASSERT_TRUE(first.append(bytes.data(), bytes.size()));
        ASSERT_TRUE(first.finish(sound));
    }
    const uint8_t* kept = sound.data;

    DecodedSoundAssembler assembler;
    for (const DecodedFormat& bad : {DecodedFormat{0, 44100, 16, false}, DecodedFormat{9, 44100, 16, false},
                                     DecodedFormat{1, 0, 16, false}, DecodedFormat{1, 44100, 12, false},
                                     DecodedFormat{1, 44100, 64, true}, DecodedFormat{1, 44100, 16, true}}) {
        EXPECT_FALSE(assembler.begin(bad, 100));
        EXPECT_FALSE(assembler.append(kept, 2));
    }
    // No frames at all (a stream that ended at once, or less than one frame).
    ASSERT_TRUE(assembler.begin(stereo16(8000), 1000));
    EXPECT_FALSE(assembler.finish(sound));
    ASSERT_TRUE(assembler.begin(stereo16(8000), 1000));
    ASSERT_TRUE(assembler.append(kept, 3));
    EXPECT_FALSE(assembler.finish(sound));

    EXPECT_EQ(sound.data, kept);
    EXPECT_EQ(sound.sampleCount, 2u);
    EXPECT_EQ(sound.samples[1], 9.0);
    EXPECT_EQ(sound.format.samplesPerSec, 8000u);
}

TEST(DecodedSound, DurationsAndProgress)
{
    // One second at 44.1 kHz; a part of a frame counts as a frame; an hour
    // at the highest rate does not overflow.
    EXPECT_EQ(framesIn(10000000, 44100), 44100u);
    EXPECT_EQ(framesIn(10000001, 44100), 44101u);
    EXPECT_EQ(framesIn(36000000000LL, 1000000), 3600000000ull);
    EXPECT_EQ(framesIn(0, 44100), 0u);
    EXPECT_EQ(framesIn(-5, 44100), 0u);

    EXPECT_EQ(progressPercent(43, 100), 43);
    EXPECT_EQ(progressPercent(999, 1000), 99);  // never 100 before the end
    EXPECT_EQ(progressPercent(36000000000LL, 36000000000LL), 100);
    EXPECT_EQ(progressPercent(36000000001LL, 36000000000LL), 100);
    EXPECT_EQ(progressPercent(5, 0), 0);
    EXPECT_EQ(progressPercent(-5, 100), 0);
}

TEST(DecodedSound, OnlyRiffWaveContentIsLeftToTheWavReader)
{
    using namespace std::string_literals;
    const auto reads = [](const std::string& head) {
        return readsAsWav(reinterpret_cast<const uint8_t*>(head.data()), head.size());
    };
    EXPECT_TRUE(reads("RIFF\x24\0\0\0WAVEfmt "s));
    EXPECT_TRUE(reads("RIFX\0\0\0\x24WAVE"s));
    EXPECT_TRUE(reads("RIFF"s));  // too short for anything else
    EXPECT_TRUE(reads(""s));
    // An MP3 named .wav, an AVI (RIFF, but not WAVE), FLAC, Ogg, an MP4.
    EXPECT_FALSE(reads("ID3\x04\0\0\0\0\0\x23TSSE"s));
    EXPECT_FALSE(reads("RIFF\x10\0\0\0AVI LIST"s));
    EXPECT_FALSE(reads("fLaC\0\0\0\x22\x10\0\x10\0"s));
    EXPECT_FALSE(reads("OggS\0\x02\0\0\0\0\0\0"s));
    EXPECT_FALSE(reads("\0\0\0\x20" "ftypM4A \0\0"s));
}

}  // namespace
