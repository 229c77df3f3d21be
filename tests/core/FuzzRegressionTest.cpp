// Runs the WAV fuzzer's judgement in the ordinary test run: every crash input
// the fuzzer ever kept, and every seed it starts from, through the same
// invariants. The last group makes sure those invariants can fail at all, so
// a silent checker cannot pass for a sound reader.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "tests/fuzz/WavInvariants.h"
#include "tests/fuzz/WavSeeds.h"

#ifndef KELVARA_FUZZ_REGRESSIONS_DIR
#error "the build must say where the fuzzer's kept inputs live (KELVARA_FUZZ_REGRESSIONS_DIR)"
#endif

namespace {

std::vector<uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const wavseeds::Seed& seedNamed(const std::vector<wavseeds::Seed>& seeds, const std::string& name) {
    for (const auto& s : seeds)
        if (s.name == name) return s;
    throw std::runtime_error("no seed " + name);
}

}  // namespace

TEST(FuzzRegression, EveryKeptCrashInputKeepsTheInvariants) {
    namespace fs = std::filesystem;
    const fs::path dir = KELVARA_FUZZ_REGRESSIONS_DIR;
    ASSERT_TRUE(fs::is_directory(dir)) << dir;
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (!entry.is_regular_file() || entry.path().extension() == ".md") continue;
        const std::vector<uint8_t> bytes = readFile(entry.path());
        const wavcheck::Outcome outcome = wavcheck::checkInput(bytes.data(), bytes.size());
        EXPECT_EQ(outcome.failure, "") << entry.path().filename();
    }
}

TEST(FuzzRegression, EverySeedAndEveryCutKeepsTheInvariants) {
    for (const wavseeds::Seed& seed : wavseeds::makeSeeds()) {
        const wavcheck::Outcome outcome = wavcheck::checkInput(seed.bytes.data(), seed.bytes.size());
        EXPECT_EQ(outcome.failure, "") << seed.name;
    }
}

// The layouts the reader promises to walk must really load, with the frames
// the seed writer put in; otherwise refusing everything would pass the above.
TEST(FuzzRegression, WholeSeedsLoadWithTheFramesWritten) {
    int whole = 0;
    for (const wavseeds::Seed& seed : wavseeds::makeSeeds()) {
        if (!seed.mustLoad) continue;
        ++whole;
        const wavcheck::Outcome outcome = wavcheck::checkInput(seed.bytes.data(), seed.bytes.size());
        EXPECT_TRUE(outcome.loaded) << seed.name;
        EXPECT_EQ(outcome.sampleCount, seed.frames) << seed.name;
    }
    EXPECT_GE(whole, 10);
}

struct Tamper {
    const char* what;
    std::function<void(SoundBuffer&)> apply;
    const char* reported;  // part of the message the checker must give
};

TEST(FuzzRegression, CheckerReportsATamperedLoad) {
    const std::vector<wavseeds::Seed> seeds = wavseeds::makeSeeds();
    const wavseeds::Seed& seed = seedNamed(seeds, "pcm16-mono");
    const Tamper cases[] = {
        {"ready cleared", [](SoundBuffer& s) { s.ready = 0; }, "ready"},
        {"extra-size changed", [](SoundBuffer& s) { s.format.extraSize = 0; }, "format"},
        {"a data byte flipped", [](SoundBuffer& s) { s.data[3] ^= 1; }, "data differs"},
        {"one sample short", [](SoundBuffer& s) { s.sampleCount -= 1; }, "sampleCount"},
        {"sample off by one", [](SoundBuffer& s) { s.samples[5] += 1.0; }, "does not match its bytes"},
        {"sample past full scale", [](SoundBuffer& s) { s.samples[7] = 32768.0; }, "outside the 16-bit scale"},
        {"sample NaN", [](SoundBuffer& s) { s.samples[2] = std::numeric_limits<double>::quiet_NaN(); },
         "not finite"},
        {"peak a step high", [](SoundBuffer& s) { s.peak += 1.0; }, "peak"},
    };
    for (const Tamper& t : cases) {
        SoundBuffer sound;
        ASSERT_TRUE(loadWav(sound, seed.bytes.data(), seed.bytes.size())) << t.what;
        ASSERT_EQ(wavcheck::checkLoaded(sound, seed.bytes.data(), seed.bytes.size()), "") << t.what;
        t.apply(sound);
        EXPECT_NE(wavcheck::checkLoaded(sound, seed.bytes.data(), seed.bytes.size()).find(t.reported),
                  std::string::npos)
            << t.what;
    }
}

TEST(FuzzRegression, CheckerReportsATouchedSoundAfterARefusal) {
    const std::vector<uint8_t> ref = wavcheck::referenceWav();
    const Tamper cases[] = {
        {"ready cleared", [](SoundBuffer& s) { s.ready = 0; }, "ready"},
        {"rate changed", [](SoundBuffer& s) { s.format.samplesPerSec = 8000; }, "format"},
        {"data shortened", [](SoundBuffer& s) { s.dataSize -= 2; }, "data block"},
        {"data byte written", [](SoundBuffer& s) { s.data[0] ^= 0x40; }, "old data"},
        {"sample written", [](SoundBuffer& s) { s.samples[1] = 0.0; }, "old samples"},
        {"peak changed", [](SoundBuffer& s) { s.peak = 0.0; }, "peak"},
    };
    for (const Tamper& t : cases) {
        SoundBuffer sound;
        ASSERT_TRUE(loadWav(sound, ref.data(), ref.size())) << t.what;
        const wavcheck::Snapshot before = wavcheck::snapshotOf(sound);
        ASSERT_EQ(wavcheck::compareUntouched(before, sound), "") << t.what;
        t.apply(sound);
        EXPECT_NE(wavcheck::compareUntouched(before, sound).find(t.reported), std::string::npos) << t.what;
    }
}
