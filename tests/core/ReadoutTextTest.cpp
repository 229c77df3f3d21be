// Readout texts for numbers whose every figure is worked out by hand below.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <vector>

#include "core/analysis/AnalysisNumbers.h"
#include "core/analysis/WindowFunction.h"
#include "core/base/DecimalText.h"
#include "core/views/ReadoutText.h"
#include "tests/core/ToneSounds.h"

namespace {

// A raw magnitude that reads `db` dB FS at an inner entry of a Hanning frame,
// whose coherent gain is 0.5 to eight digits: 2 raw / 0.5 = A.
double hanningRawAt(double db) { return tones::amplitudeAt(db) * 0.5 / 2; }

TEST(DecimalText, PointDecimalsRoundingAndSpecialValues)
{
    EXPECT_EQ(fixedText(1234.5678, 2), "1234.57");
    EXPECT_EQ(fixedText(-12.34, 1), "-12.3");
    EXPECT_EQ(fixedText(0.99996, 4), "1.0000");
    EXPECT_EQ(fixedText(7.0, 0), "7");
    EXPECT_EQ(fixedText(-0.0004, 3), "0.000") << "no minus on a rounded-away digit";
    EXPECT_EQ(fixedText(-0.0, 1), "0.0");
    EXPECT_EQ(fixedText(-0.0006, 3), "-0.001");
    EXPECT_EQ(fixedText(std::numeric_limits<double>::infinity(), 3), "inf");
    EXPECT_EQ(fixedText(-std::numeric_limits<double>::infinity(), 3), "-inf");
    EXPECT_EQ(fixedText(-std::numeric_limits<double>::quiet_NaN(), 3), "nan");
    EXPECT_EQ(fixedText(1e300, 2).substr(0, 2), "1e") << "too long for fixed notation";
    EXPECT_EQ(fixedWideText(-23.45678, 3), L"-23.457");
}

TEST(ReadoutText, VoicePrintTimeFrequencyLevelAndColour)
{
    auto numbers = std::make_unique<VoicePrintNumbers>();
    // At 22050 Hz, N = 1024 and k = 0, bin j shows entry j, 21.533203125 Hz each.
    startVoicePrintRun(*numbers, 22050, 1024, WindowHanning, 0);
    numbers->columnsTaken = 4;
    VoicePrintColumn& column = numbers->columns[3];
    column.firstSample = 27210;          // 1.23401 s
    column.raw[57] = hanningRawAt(-12.3);  // bin 57: 1227.39 Hz
    column.painted[57] = 0.5;            // colour trunc(127.5)
    column.raw[58] = 0.0;                // bin 58: 1248.93 Hz, silent
    column.painted[58] = 0.0;
    EXPECT_EQ(voicePrintReadout(*numbers, 3, 57), L"1.234 s   1227 Hz   -12.3 dB FS   colour 127");
    EXPECT_EQ(voicePrintReadout(*numbers, 3, 58), L"1.234 s   1249 Hz   -inf dB FS   colour 0");
    EXPECT_EQ(voicePrintReadout(*numbers, 4, 57), L"column 4: no frame");
    EXPECT_EQ(voicePrintReadout(*numbers, -1, 57), L"column -1: no frame");

    // At 8000 Hz the spectrum ends at 4000 Hz: bin 200 (4306.6 Hz) has no entry.
    startVoicePrintRun(*numbers, 8000, 1024, WindowHanning, 0);
    numbers->columnsTaken = 1;
    numbers->columns[0].firstSample = 8000;
    numbers->columns[0].painted[200] = 0.25;  // whatever the last run left there
    EXPECT_EQ(voicePrintReadout(*numbers, 0, 200), L"1.000 s   4307 Hz   no level   colour 63");
}

TEST(ReadoutText, SpectrumFrequencyNearestEntryAndLevel)
{
    auto frame = std::make_unique<FrameNumbers>();
    EXPECT_EQ(spectrumReadout(*frame, 82), L"2460 Hz   no frame");
    frame->length = 1024;
    frame->rate = 22050;
    frame->windowKind = WindowHanning;
    // x = 82 is 2460 Hz = 114.24 entries; entry 114 is 2454.785 Hz.
    frame->rawMagnitude[114] = hanningRawAt(-23.4);
    EXPECT_EQ(spectrumReadout(*frame, 82), L"2460 Hz   nearest entry 114 (2454.8 Hz)   -23.4 dB FS");
    // x = 0: entry 0, which has no mirror: a raw value of A/2 is 6.02 dB below A.
    frame->rawMagnitude[0] = hanningRawAt(-10.0);
    EXPECT_EQ(spectrumReadout(*frame, 0), L"0 Hz   nearest entry 0 (0.0 Hz)   -16.0 dB FS");
}

TEST(ReadoutText, WaveformSampleUnderTheMouseAndTheSelection)
{
    // 44100 samples at 22050 Hz: column x starts at trunc(x * 44100 / 551).
    std::vector<double> samples(44100);
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<double>(i % 1000) * 10 - 5000;
    SoundBuffer buffer;
    tones::setSound(buffer, samples, 22050);
    const WaveformColumns sound = waveformColumnsOf(buffer);
    // x = 300: sample trunc(24010.89) = 24010, 1.08889 s, value (10*10 - 5000) / 32768.
    // Selection columns 400 and 100, in either order: samples 8003 (0.36295 s)
    // and 32014 (1.45188 s), 24011 samples = 1.08893 s apart.
    EXPECT_EQ(waveformReadout(sound, 300, 400, 100),
              L"1.089 s   sample 24010   -0.1495   selection 0.363 s to 1.452 s (1.089 s)");
    EXPECT_EQ(waveformReadout(sound, 300, 100, 400), waveformReadout(sound, 300, 400, 100));
    // Beyond the view: the last column, trunc(550 * 44100 / 551) = 44019.
    EXPECT_NE(waveformReadout(sound, 9999, 0, 0).find(L"sample 44019   "), std::wstring::npos);
    EXPECT_NE(waveformReadout(sound, -5, 0, 0).find(L"0.000 s   sample 0   -0.1526"), std::wstring::npos);
    EXPECT_EQ(waveformReadout(waveformColumnsOf(SoundBuffer{}), 10, 0, 0), L"no sound");
}

TEST(ReadoutText, ResolutionOfTheSettings)
{
    // 22050 / 1024 = 21.533; 5124.90234375 / 280 = 18.303; 128 / 22050 s = 5.805 ms.
    EXPECT_EQ(resolutionText(22050, 10, 128, -3), L"N 1024   21.53 Hz per bin   18.30 Hz per row   5.80 ms per column");
    // 44100 / 4096 = 10.767; 9043.9453125 / 280 = 32.300; 441 / 44100 s = 10 ms.
    EXPECT_EQ(resolutionText(44100, 12, 441, 10), L"N 4096   10.77 Hz per bin   32.30 Hz per row   10.00 ms per column");
    EXPECT_EQ(resolutionText(22050, 0, 128, -3), L"no frame length");
    EXPECT_EQ(resolutionText(0, 10, 128, -3), L"N 1024   no sample rate");
}

TEST(ReadoutText, PeakInTheSpectrumCorner)
{
    FramePeak peak;
    EXPECT_EQ(peakText(peak), L"no frame");
    peak.entry = 57;
    peak.frequencyHz = 1234.46;
    peak.levelDb = -6.02;
    EXPECT_EQ(peakText(peak), L"1234.5 Hz   -6.0 dB FS");
    peak.levelDb = -std::numeric_limits<double>::infinity();
    EXPECT_EQ(peakText(peak), L"silent");
}

}  // namespace
