#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/audio/AiffFile.h"

namespace {

using Bytes = std::vector<uint8_t>;

void putBig(Bytes& out, uint64_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

void putId(Bytes& out, const char* id) { out.insert(out.end(), id, id + 4); }

// 44100 (and 8000) as the 80-bit extended numbers AIFF writers put down.
Bytes extended(uint32_t rate)
{
    if (rate == 0) return Bytes(10, 0);
    int exponent = 16383 + 31;
    uint64_t mantissa = uint64_t{rate} << 32;
    while ((mantissa & (uint64_t{1} << 63)) == 0) {
        mantissa <<= 1;
        --exponent;
    }
    Bytes out;
    putBig(out, static_cast<uint64_t>(exponent), 2);
    putBig(out, mantissa, 8);
    return out;
}

Bytes chunk(const char* id, const Bytes& body)
{
    Bytes out;
    putId(out, id);
    putBig(out, body.size(), 4);
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() % 2) out.push_back(0);
    return out;
}

// A whole file: FORM, a COMM chunk (with the compression type for AIFC), a
// chunk of something else, and the SSND chunk with an offset of `skip`.
Bytes aiffFile(uint16_t channels, uint32_t frames, uint16_t bits, uint32_t rate, const Bytes& samples,
               const char* compression = nullptr, uint32_t skip = 0)
{
    Bytes common;
    putBig(common, channels, 2);
    putBig(common, frames, 4);
    putBig(common, bits, 2);
    const Bytes r = extended(rate);
    common.insert(common.end(), r.begin(), r.end());
    if (compression) {
        putId(common, compression);
        common.push_back(0);  // an empty name, padded
        common.push_back(0);
    }
    Bytes sound;
    putBig(sound, skip, 4);
    putBig(sound, 0, 4);
    sound.insert(sound.end(), skip, 0xEE);
    sound.insert(sound.end(), samples.begin(), samples.end());

    Bytes body;
    putId(body, compression ? "AIFC" : "AIFF");
    for (const Bytes& c : {chunk("COMM", common), chunk("NAME", {'K', 'e', 'l'}), chunk("SSND", sound)})
        body.insert(body.end(), c.begin(), c.end());
    Bytes file;
    putId(file, "FORM");
    putBig(file, body.size(), 4);
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

std::vector<double> samplesOf(const SoundBuffer& sound)
{
    return std::vector<double>(sound.samples, sound.samples + sound.sampleCount);
}

TEST(AiffFile, EachEncodingGivesTheFirstChannelOnTheSixteenBitScale)
{
    struct Case {
        const char* what;
        Bytes file;
        uint16_t tag, bits;
        std::vector<double> expected;
    };
    const Case cases[] = {
        // Stereo 16-bit big-endian: left 0x0102 and -2, right 0x7FFF.
        {"AIFF 16-bit stereo", aiffFile(2, 2, 16, 44100, {0x01, 0x02, 0x7F, 0xFF, 0xFF, 0xFE, 0x7F, 0xFF}), 1, 16,
         {258.0, -2.0}},
        // 8-bit samples are signed: -128, 0, 127.
        {"AIFF 8-bit", aiffFile(1, 3, 8, 8000, {0x80, 0x00, 0x7F}), 1, 8, {-32768.0, 0.0, 32512.0}},
        {"AIFF 24-bit", aiffFile(1, 1, 24, 44100, {0x12, 0x34, 0x80}), 1, 24, {static_cast<double>(0x1234) + 0.5}},
        // 12 bits stand in 16-bit containers, the sample in the high bits.
        {"AIFF 12-bit", aiffFile(1, 1, 12, 44100, {0x12, 0x30}), 1, 16, {static_cast<double>(0x1230)}},
        {"AIFC NONE, 2 bytes of offset before the data", aiffFile(1, 1, 16, 44100, {0xFF, 0x00}, "NONE", 2), 1, 16,
         {-256.0}},
        {"AIFC sowt (little-endian)", aiffFile(1, 2, 16, 44100, {0x02, 0x01, 0x00, 0x80}, "sowt"), 1, 16,
         {258.0, -32768.0}},
        // fl32: 0.5 and -1.0, big-endian.
        {"AIFC fl32", aiffFile(1, 2, 32, 44100, {0x3F, 0x00, 0x00, 0x00, 0xBF, 0x80, 0x00, 0x00}, "fl32"), 3, 32,
         {16384.0, -32768.0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SoundBuffer sound;
        ASSERT_TRUE(loadAiff(sound, c.file.data(), c.file.size()));
        EXPECT_EQ(sound.ready.load(), 1);
        EXPECT_EQ(sound.format.formatTag, c.tag);
        EXPECT_EQ(sound.format.bitsPerSample, c.bits);
        EXPECT_EQ(samplesOf(sound), c.expected);
    }
    SoundBuffer sound;
    const Bytes rate = aiffFile(1, 1, 16, 8000, {0, 1});
    ASSERT_TRUE(loadAiff(sound, rate.data(), rate.size()));
    EXPECT_EQ(sound.format.samplesPerSec, 8000u);
    EXPECT_EQ(sound.format.avgBytesPerSec, 16000u);
}

TEST(AiffFile, FramesAreThoseBothTheHeaderAndTheFileHold)
{
    const Bytes samples = {0, 1, 0, 2, 0, 3, 0, 4};
    SoundBuffer sound;
    // COMM says 3 frames where 4 are present: 3.
    Bytes file = aiffFile(1, 3, 16, 44100, samples);
    ASSERT_TRUE(loadAiff(sound, file.data(), file.size()));
    EXPECT_EQ(samplesOf(sound), (std::vector<double>{1, 2, 3}));
    // COMM says 1000; the file is cut one byte into the last sample: 3.
    file = aiffFile(1, 1000, 16, 44100, samples);
    file.pop_back();
    ASSERT_TRUE(loadAiff(sound, file.data(), file.size()));
    EXPECT_EQ(samplesOf(sound), (std::vector<double>{1, 2, 3}));
}

TEST(AiffFile, WhatCannotBeReadLeavesTheSoundAlone)
{
    SoundBuffer sound;
    const Bytes good = aiffFile(1, 2, 16, 44100, {0, 7, 0, 9});
    ASSERT_TRUE(loadAiff(sound, good.data(), good.size()));
    const uint8_t* kept = sound.data;

    Bytes noSound = good;
    std::memcpy(noSound.data() + noSound.size() - 4 - 8 - 8, "XXXX", 4);  // the SSND id
    Bytes farOffset = good;  // SSND's offset field says the samples lie 4 GiB on
    farOffset[farOffset.size() - 12] = 0xFF;
    Bytes rateZero = aiffFile(1, 2, 16, 0, {0, 7, 0, 9});
    const std::vector<Bytes> bad = {
        {},
        Bytes(good.begin(), good.begin() + 11),
        Bytes(good.begin(), good.begin() + 30),  // cut inside COMM
        noSound,
        rateZero,
        aiffFile(0, 2, 16, 44100, {0, 7, 0, 9}),
        aiffFile(1, 2, 40, 44100, Bytes(10, 1)),
        aiffFile(1, 2, 16, 44100, {0, 7, 0, 9}, "ima4"),  // compressed: not plain PCM
        aiffFile(1, 0, 16, 44100, {0, 7, 0, 9}),          // no frames
        farOffset,
    };
    for (size_t i = 0; i < bad.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(loadAiff(sound, bad[i].data(), bad[i].size()));
    }
    EXPECT_EQ(sound.data, kept);
    EXPECT_EQ(samplesOf(sound), (std::vector<double>{7, 9}));
}

}  // namespace
