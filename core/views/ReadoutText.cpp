#include "core/views/ReadoutText.h"

#include <algorithm>
#include <cmath>

#include "core/analysis/Framing.h"
#include "core/audio/SoundBuffer.h"
#include "core/base/Columns.h"
#include "core/base/DecimalText.h"
#include "core/views/ViewGeometry.h"

namespace {

const wchar_t* const gap = L"   ";

void appendInteger(std::wstring& out, int64_t value)
{
    const std::string digits = std::to_string(value);
    out.append(digits.begin(), digits.end());
}

void appendSeconds(std::wstring& out, double seconds)
{
    appendFixed(out, seconds, 3);
    out += L" s";
}

void appendHz(std::wstring& out, double hz, int decimals)
{
    appendFixed(out, hz, decimals);
    out += L" Hz";
}

}  // namespace

std::wstring levelText(double levelDb)
{
    if (std::isnan(levelDb)) return L"no level";
    std::wstring text;
    appendFixed(text, levelDb, 1);
    text += L" dB FS";
    return text;
}

std::wstring voicePrintReadout(const VoicePrintNumbers& numbers, int column, int bin)
{
    std::wstring text;
    if (column < 0 || column >= numbers.columnsTaken || bin < 0 || bin >= displayBinCount) {
        text += L"column ";
        appendInteger(text, column);
        text += L": no frame";
        return text;
    }
    appendSeconds(text, columnSeconds(numbers, column));
    text += gap;
    appendHz(text, binFrequencyHz(bin, numbers.maxFreqStep), 0);
    text += gap;
    text += levelText(voicePrintLevelDb(numbers, column, bin));
    text += gap;
    text += L"colour ";
    appendInteger(text, voicePrintPixel(bin, numbers.columns[column].painted[bin]).colorIndex);
    return text;
}

std::wstring voicePrintReadout(const VoicePrintNumbers& numbers, const VoiceNumbers& voice, int column, int bin)
{
    std::wstring text = voicePrintReadout(numbers, column, bin);
    const std::wstring voiced = column < numbers.columnsTaken ? voiceReadout(voice, column) : std::wstring();
    if (!voiced.empty()) text += gap + voiced;
    return text;
}

std::wstring voiceReadout(const VoiceNumbers& voice, int column)
{
    if (column < 0 || column >= voice.columns) return std::wstring();
    const VoiceColumn& c = voice.column[column];
    const wchar_t* const missing = L"\u2013";
    std::wstring text = L"F0 ";
    if (c.f0Hz > 0.0)
        appendHz(text, c.f0Hz, 1);
    else
        text += missing;
    text += gap;
    for (int i = 0; i < formantCount; ++i) {
        if (i > 0) text += L' ';
        text += L'F';
        appendInteger(text, i + 1);
        text += L' ';
        if (std::isfinite(c.formantHz[i]))
            appendFixed(text, c.formantHz[i], 0);
        else
            text += missing;
    }
    text += L" Hz";
    return text;
}

std::wstring spectrumReadout(const FrameNumbers& frame, int x)
{
    std::wstring text;
    const double hz = spectrumFrequencyOfX(x);
    appendHz(text, hz, 0);
    text += gap;
    const int entry = nearestEntry(frame, hz);
    if (entry < 0) return text + L"no frame";
    text += L"nearest entry ";
    appendInteger(text, entry);
    text += L" (";
    appendHz(text, entryFrequencyHz(frame, entry), 1);
    text += L")";
    text += gap;
    text += levelText(entryLevelDb(frame, entry));
    return text;
}

WaveformColumns waveformColumnsOf(const SoundBuffer& sound)
{
    WaveformColumns columns;
    columns.sampleCount = sound.sampleCount;
    columns.rate = sound.rate();
    if (columns.sampleCount == 0) return columns;
    const double q = positionsPerColumn(sound.sampleCount);
    for (uint32_t x = 0; x < static_cast<uint32_t>(columnCount); ++x)
        columns.value[x] = sound.sampleAt(static_cast<uint32_t>(sampleOfColumn(x, q)));
    return columns;
}

std::wstring waveformReadout(const WaveformColumns& sound, int x, uint32_t selStartX, uint32_t selEndX)
{
    const uint32_t rate = sound.rate;
    if (sound.sampleCount == 0 || rate == 0) return L"no sound";
    const double q = positionsPerColumn(sound.sampleCount);
    const uint32_t column = static_cast<uint32_t>(std::clamp(x, 0, lastColumn));
    const int64_t sample = sampleOfColumn(column, q);
    // The refresh orders the selection before it analyses it; so does this.
    const int64_t first = sampleOfColumn(std::min(selStartX, selEndX), q);
    const int64_t last = sampleOfColumn(std::max(selStartX, selEndX), q);
    const auto seconds = [rate](int64_t samples) { return static_cast<double>(samples) / rate; };

    std::wstring text;
    appendSeconds(text, seconds(sample));
    text += gap;
    text += L"sample ";
    appendInteger(text, sample);
    text += gap;
    appendFixed(text, sound.value[column] / fullScaleAmplitude, 4);
    text += gap;
    text += L"selection ";
    appendSeconds(text, seconds(first));
    text += L" to ";
    appendSeconds(text, seconds(last));
    text += L" (";
    appendSeconds(text, seconds(int64_t{last} - first));
    text += L")";
    return text;
}

std::wstring resolutionText(uint32_t rate, int frameOrder, int framePeriod, int maxFreqStep)
{
    const int32_t n = frameLengthOf(frameOrder);
    if (n == 0) return L"no frame length";
    std::wstring text = L"N ";
    appendInteger(text, n);
    text += gap;
    if (rate == 0) return text + L"no sample rate";
    appendFixed(text, static_cast<double>(rate) / n, 2);
    text += L" Hz per bin";
    text += gap;
    appendFixed(text, maxFrequencyHz(maxFreqStep) / displayBinCount, 2);
    text += L" Hz per row";
    text += gap;
    appendFixed(text, static_cast<double>(framePeriod) / rate * 1000.0, 2);
    text += L" ms per column";
    return text;
}

std::wstring peakText(const FramePeak& peak)
{
    if (peak.entry < 0) return L"no frame";
    if (std::isinf(peak.levelDb) && peak.levelDb < 0) return L"silent";
    std::wstring text;
    appendHz(text, peak.frequencyHz, 1);
    text += gap;
    text += levelText(peak.levelDb);
    return text;
}
