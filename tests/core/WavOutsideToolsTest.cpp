// The reader against files another program wrote: sox writes one sound in
// every layout Kelvara reads, then reads each file back for us as raw
// doubles, and every sample Kelvara decodes must be sox's value on the 16-bit
// scale. Our own byte-built files only prove that the reader agrees with our
// reading of the format; these prove it agrees with somebody else's.
//
// Needs sox on PATH (scripts/install-deps.sh installs it); without it the
// test fails rather than passing unchecked. Native builds only: it runs sox
// through the POSIX shell.
#include <gtest/gtest.h>

#ifndef _WIN32

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "core/audio/WavFile.h"
#include "tests/support/WavBytes.h"

namespace {

namespace fs = std::filesystem;

constexpr uint32_t rate = 16000;
constexpr uint32_t frames = 3001;

// A folder of our own under the system's temporary one, gone with the test.
struct TempFolder {
    fs::path path;
    TempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "kelvara-sox-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) path = pattern;
    }
    ~TempFolder()
    {
        std::error_code ignored;
        if (!path.empty()) fs::remove_all(path, ignored);
    }
};

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

// Two sines and a little noise, 0.9 at most; the second channel is another
// mixture, so reading the wrong one cannot pass.
std::vector<double> sourceSound(int channels)
{
    std::vector<double> interleaved;
    uint32_t noise = 12345;
    const double twoPi = 6.283185307179586;
    for (uint32_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        noise = noise * 1664525u + 1013904223u;
        const double n = static_cast<double>(noise >> 8) / 8388608.0 - 1.0;
        interleaved.push_back(0.9 * (0.55 * std::sin(twoPi * 440 * t) + 0.35 * std::sin(twoPi * 1230 * t + 0.5) + 0.1 * n));
        if (channels == 2) interleaved.push_back(0.5 * std::sin(twoPi * 97 * t + 1.0));
    }
    return interleaved;
}

bool writeDoubles(const fs::path& path, const std::vector<double>& values)
{
    const std::vector<uint8_t> bytes = wavbytes::float64(values);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

// What sox reads from `wav`, as its raw little-endian doubles, interleaved.
std::vector<double> soxReads(const fs::path& wav)
{
    std::vector<double> values;
    const std::string command = "sox " + quoted(wav) + " -t f64 - 2>/dev/null";
    std::FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return values;
    uint8_t raw[8];
    while (std::fread(raw, 1, 8, pipe) == 8) {
        uint64_t bits = 0;
        for (int b = 7; b >= 0; --b) bits = (bits << 8) | raw[b];
        double v;
        std::memcpy(&v, &bits, 8);
        values.push_back(v);
    }
    if (pclose(pipe) != 0) values.clear();
    return values;
}

std::vector<uint8_t> readFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

struct SoxLayout {
    const char* name;
    const char* encoding;  // sox's output options
    int channels;
    uint16_t tag, bits;    // what the device is to be handed
    double tolerance;      // on the 16-bit scale
};

// sox reads every file through its own 32-bit integer samples, so float
// files come back within 2^-31 of full scale: 1.5e-5 on our scale.
const SoxLayout layouts[] = {
    {"u8", "-e unsigned-integer -b 8", 1, WaveFormatPcm, 8, 0.0},
    {"s16", "-e signed-integer -b 16", 1, WaveFormatPcm, 16, 0.0},
    {"s16-stereo", "-e signed-integer -b 16", 2, WaveFormatPcm, 16, 0.0},
    {"s24", "-e signed-integer -b 24", 1, WaveFormatPcm, 24, 1e-9},
    {"s24-stereo", "-e signed-integer -b 24", 2, WaveFormatPcm, 24, 1e-9},
    {"s32", "-e signed-integer -b 32", 1, WaveFormatPcm, 32, 1e-9},
    {"f32", "-e floating-point -b 32", 1, WaveFormatFloat, 32, 1e-4},
    {"f64", "-e floating-point -b 64", 1, WaveFormatFloat, 32, 1e-4},
    {"f64-stereo", "-e floating-point -b 64", 2, WaveFormatFloat, 32, 1e-4},
};

}  // namespace

TEST(WavOutsideTools, EverySampleSoxWroteDecodesToSoxsValue)
{
    ASSERT_EQ(std::system("sox --version >/dev/null 2>&1"), 0)
        << "sox is not on PATH; scripts/install-deps.sh installs it, and without it this reader goes unchecked";
    TempFolder folder;
    ASSERT_FALSE(folder.path.empty()) << "no temporary folder";

    for (const SoxLayout& layout : layouts) {
        SCOPED_TRACE(layout.name);
        const fs::path source = folder.path / (std::string(layout.name) + ".f64");
        const fs::path wav = folder.path / (std::string(layout.name) + ".wav");
        ASSERT_TRUE(writeDoubles(source, sourceSound(layout.channels)));
        // -D: no dither, so the file holds the sines themselves.
        const std::string write = "sox -D -t f64 -r " + std::to_string(rate) + " -c " + std::to_string(layout.channels) + " " +
                                  quoted(source) + " " + layout.encoding + " " + quoted(wav) + " 2>/dev/null";
        ASSERT_EQ(std::system(write.c_str()), 0) << write;

        const std::vector<double> expected = soxReads(wav);
        ASSERT_EQ(expected.size(), size_t{frames} * layout.channels) << "sox could not read back what it wrote";
        const std::vector<uint8_t> bytes = readFile(wav);
        SoundBuffer sound;
        ASSERT_TRUE(loadWav(sound, bytes.data(), bytes.size()));
        EXPECT_EQ(sound.rate(), rate);
        EXPECT_EQ(sound.format.channels, layout.channels);
        EXPECT_EQ(sound.format.formatTag, layout.tag);
        EXPECT_EQ(sound.format.bitsPerSample, layout.bits);
        ASSERT_EQ(sound.sampleCount, frames);

        double largest = 0.0;
        int wrong = 0;
        for (uint32_t i = 0; i < frames && wrong < 5; ++i) {
            const double want = expected[size_t{i} * layout.channels] * 32768.0;
            if (std::fabs(sound.samples[i] - want) > layout.tolerance) {
                ADD_FAILURE() << "sample " << i << ": " << sound.samples[i] << ", sox reads " << want;
                ++wrong;
            }
            largest = std::fmax(largest, std::fabs(want));
        }
        EXPECT_NEAR(sound.peak, largest, layout.tolerance);
        EXPECT_GT(largest, 0.8 * 32768) << "the sound is not the one written";
    }
}

#endif
