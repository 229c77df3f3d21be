// The CSV of a known run, read back field by field and compared with frames
// the test analyses again itself, the levels worked out from the transform's
// own output with the window's weights summed by hand.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "core/analysis/AnalysisNumbers.h"
#include "core/analysis/DftEngine.h"
#include "core/analysis/Framing.h"
#include "core/analysis/NumbersCsv.h"
#include "tests/core/ToneSounds.h"

namespace {

constexpr uint32_t rate = 8000;
constexpr int log2Length = 10;
constexpr int n = 1 << log2Length;
constexpr int period = 100;
constexpr SpectrumSettings settings{1, 320, 1, 0};

std::vector<std::string> split(const std::string& text, const std::string& separator)
{
    std::vector<std::string> parts;
    size_t from = 0;
    for (size_t at; (at = text.find(separator, from)) != std::string::npos; from = at + separator.size())
        parts.push_back(text.substr(from, at - from));
    parts.push_back(text.substr(from));
    return parts;
}

double number(const std::string& field)
{
    if (field == "-inf") return -HUGE_VAL;
    char* end = nullptr;
    const double value = std::strtod(field.c_str(), &end);
    EXPECT_EQ(*end, '\0') << "not a number: '" << field << "'";
    return value;
}

// 20 log10(mirror |X| / (g 32768)), g the Hanning weights' mean by hand.
double levelByHand(const DftEngine& engine, int entry)
{
    long double sum = 0;
    for (int i = 0; i < n; ++i) sum += 0.5L - 0.5L * std::cos(6.2831853L * i / n);
    const double gain = static_cast<double>(sum / n);
    const double size = std::hypot(engine.re[entry], engine.im[entry]);
    if (size == 0.0) return -HUGE_VAL;
    return 20 * std::log10((entry == 0 ? 1 : 2) * size / gain / 32768);
}

void expectLevel(const std::string& field, double expected, const std::string& where)
{
    if (std::isinf(expected)) {
        EXPECT_EQ(field, "-inf") << where;
        return;
    }
    EXPECT_NEAR(number(field), expected, 0.0005 + 1e-9) << where;
}

TEST(NumbersCsv, RunAndFrameReadBackAsAnalysed)
{
    // Tones, then a second of silence (a frame of zeros reads -inf), then a
    // falling tone again, at 8000 Hz so that bins 186..279 lie beyond 4000 Hz.
    std::vector<double> samples = tones::sine(25000, 523.0, 20000.0, rate);
    samples.resize(33000, 0.0);
    const std::vector<double> tail = tones::sine(30000, 1800.0, 800.0, rate);
    samples.insert(samples.end(), tail.begin(), tail.end());
    SoundBuffer sound;
    tones::setSound(sound, samples, rate);

    DftEngine engine;
    engine.setUp(log2Length, rate);
    auto run = std::make_unique<VoicePrintNumbers>();
    auto frame = std::make_unique<FrameNumbers>();
    startVoicePrintRun(*run, rate, n, WindowHanning, settings.maxFreqStep);
    const int frames = voicePrintFrameCount(0, period, n, sound.sampleCount);
    ASSERT_EQ(frames, columnCount);
    for (int c = 0; c < frames; ++c) {
        engine.analyseFrame(sound, frameStart(0, c, period), WindowHanning, settings);
        ASSERT_TRUE(takeVoicePrintColumn(*run, c, engine));
    }
    takeFrame(*frame, engine);
    const std::string csv = numbersCsv(*run, *frame);

    EXPECT_EQ(csv.find('\n'), csv.find("\r\n") + 1) << "lines end with CR LF";
    const std::vector<std::string> lines = split(csv, "\r\n");
    // Header, 551 columns, blank, header, 513 entries, and the empty rest after the last CR LF.
    ASSERT_EQ(lines.size(), 1u + 551 + 1 + 1 + 513 + 1);
    EXPECT_EQ(lines.back(), "");

    const std::vector<std::string> header = split(lines[0], ",");
    ASSERT_EQ(header.size(), 281u);
    EXPECT_EQ(header[0], "time_s");
    for (int j = 0; j < displayBinCount; ++j)
        EXPECT_NEAR(number(header[j + 1]), j * 6029.296875 / 280, 0.0005 + 1e-9) << "bin " << j;  // k = 0

    DftEngine again;
    again.setUp(log2Length, rate);
    int silentFields = 0;
    for (int c = 0; c < columnCount; ++c) {
        const std::vector<std::string> fields = split(lines[1 + c], ",");
        ASSERT_EQ(fields.size(), 281u) << "column " << c;
        const uint32_t start = static_cast<uint32_t>(c) * period;
        EXPECT_NEAR(number(fields[0]), static_cast<double>(start) / rate, 5e-7) << "column " << c;
        again.analyseFrame(sound, start, WindowHanning, settings);
        for (int j = 0; j < displayBinCount; ++j) {
            const std::string where = "column " + std::to_string(c) + ", bin " + std::to_string(j);
            if (j >= 186) {  // 186 * 22050 / 8000 = 512.7: past the last entry
                ASSERT_EQ(fields[j + 1], "") << where;
                continue;
            }
            const int entry = static_cast<int>(std::trunc(j * 22050.0 / 8000.0));
            const double expected = levelByHand(again, entry);
            silentFields += std::isinf(expected);
            expectLevel(fields[j + 1], expected, where);
        }
    }
    EXPECT_GT(silentFields, 186 * 50) << "the silent second must be in the export";

    EXPECT_EQ(lines[552], "");
    EXPECT_EQ(lines[553], "bin,frequency_hz,magnitude,level_db");
    for (int i = 0; i <= n / 2; ++i) {
        const std::vector<std::string> fields = split(lines[554 + i], ",");
        ASSERT_EQ(fields.size(), 4u);
        EXPECT_EQ(fields[0], std::to_string(i));
        EXPECT_NEAR(number(fields[1]), i * 8000.0 / 1024, 0.0005 + 1e-9);
        EXPECT_NEAR(number(fields[2]), again.magnitude[i], 5e-7 + 1e-12) << "entry " << i;
        if (i == n / 2)
            EXPECT_EQ(fields[3], "-inf") << "the Nyquist entry is held at 0";
        else
            expectLevel(fields[3], levelByHand(again, i), "entry " + std::to_string(i));
    }
}

TEST(NumbersCsv, WithoutRunOrFrameOnlyTheHeadersRemain)
{
    auto run = std::make_unique<VoicePrintNumbers>();
    auto frame = std::make_unique<FrameNumbers>();
    startVoicePrintRun(*run, 22050, 1024, WindowHanning, -3);
    const std::vector<std::string> lines = split(numbersCsv(*run, *frame), "\r\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(split(lines[0], ",").size(), 281u);
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], "bin,frequency_hz,magnitude,level_db");
    EXPECT_EQ(lines[3], "");
}

}  // namespace
