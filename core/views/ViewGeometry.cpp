#include "core/views/ViewGeometry.h"

#include "core/analysis/WindowFunction.h"
#include "core/views/ColorMap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

// GDI on NT takes 27-bit coordinates; anything beyond is off every bitmap.
constexpr double coordinateLimit = 134217727.0;

// 32 / 32767: a full-scale sample reaches the top row of the window shape.
constexpr double barScale = 0.0009765923032319102;

int clampToInt(int64_t value)
{
    const int64_t limit = static_cast<int64_t>(coordinateLimit);
    return static_cast<int>(std::clamp<int64_t>(value, -limit, limit));
}

}  // namespace

int truncToInt(double value)
{
    if (std::isnan(value)) return 0;
    return static_cast<int>(std::clamp(value, -coordinateLimit, coordinateLimit));
}

// ---- Waveform ----

int waveformRow(double sample)
{
    return truncToInt(64 - sample * 128 / 65535);
}

namespace {

// The polyline through the columns' extents.
template <typename ExtentOf>
std::vector<PixelPoint> traceThrough(ExtentOf extentOf)
{
    std::vector<PixelPoint> points;
    points.reserve(2 * columnCount + 1);
    points.push_back({0, waveformZeroRow});
    for (int j = 0; j < columnCount; ++j) {
        const ColumnExtent e = extentOf(j);
        // Silent columns add no point, so the line runs on from the last one.
        if (e.low < 0) points.push_back({j, waveformRow(e.low)});
        if (e.high > 0) points.push_back({j, waveformRow(e.high)});
    }
    return points;
}

}  // namespace

std::vector<PixelPoint> waveformTrace(const double* samples, uint32_t count)
{
    if (count == 0 || samples == nullptr) return {};
    return traceThrough([&](int j) { return columnExtentOf(samples, count, j); });
}

std::vector<PixelPoint> waveformTrace(const SoundBuffer& sound)
{
    if (!sound.hasColumnExtents()) {
        if (!isAllocated(sound.samples)) return {};
        return waveformTrace(sound.samples, sound.sampleCount);
    }
    return traceThrough([&](int j) { return sound.columnExtents[j]; });
}

double soundSeconds(uint32_t sampleCount, uint32_t rate)
{
    if (rate == 0) return 0.0;
    return static_cast<double>(sampleCount) / static_cast<double>(rate);
}

std::wstring secondsLabel(double seconds)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.2f sec", seconds);
    return std::wstring(text, text + std::char_traits<char>::length(text));
}

int totalLabelX(int width)
{
    return 549 - width;
}

int halfLabelX(int width)
{
    return truncToInt((columnCount - width) * 0.5);
}

std::vector<int> waveformGridRows()
{
    std::vector<int> rows;
    for (int i = 0; i <= 16; ++i) rows.push_back(8 * i);
    return rows;
}

std::vector<int> waveformGridColumns()
{
    std::vector<int> columns;
    for (int i = 0; i * columnCount / 44 < columnCount; ++i) columns.push_back(i * columnCount / 44);
    // One pixel right of the quarter lines, so each quarter shows a double line.
    for (int i = 0; i < 4; ++i) columns.push_back(truncToInt(i * columnCount / 4.0 + 1));
    return columns;
}

ColumnSpan cursorStrip(int64_t from, int64_t to)
{
    return {clampToInt(std::min(from, to) - 1), clampToInt(std::max(from, to) + 2)};
}

ColumnSpan dragStrip(uint32_t oldEnd, uint32_t newEnd)
{
    return {clampToInt(std::min(oldEnd, newEnd)), clampToInt(int64_t{std::max(oldEnd, newEnd)} + 1)};
}

ColumnSpan releaseStrip(uint32_t oldEnd, uint32_t newEnd)
{
    return {clampToInt(std::min(oldEnd, newEnd)), clampToInt(std::max(oldEnd, newEnd))};
}

SelectionCopies selectionCopies(uint32_t selStart, uint32_t selEnd)
{
    const uint32_t lo = std::min(selStart, selEnd);
    const uint32_t hi = std::max(selStart, selEnd);
    SelectionCopies copies{};
    const auto add = [&copies](int left, int right, bool inverted) {
        if (left < right) copies.parts[copies.count++] = {{left, right}, inverted};
    };
    if (lo >= static_cast<uint32_t>(columnCount)) {
        add(0, columnCount, false);
        return copies;
    }
    const int left = static_cast<int>(lo);
    const int right = hi >= static_cast<uint32_t>(columnCount) ? columnCount : static_cast<int>(hi);
    add(0, left, false);
    add(left, right, true);
    add(right, columnCount, false);
    return copies;
}

// ---- Spectrum ----

std::vector<int> spectrumGridRows()
{
    std::vector<int> rows;
    for (int i = 0; i <= 10; ++i) rows.push_back(truncToInt(12.8 * i));
    return rows;
}

std::vector<int> spectrumGridColumns()
{
    std::vector<int> columns;
    for (int f = 0; f <= 39000; f += 1000) columns.push_back(f / 30);
    for (int f = 0; f <= 20000; f += 5000) columns.push_back(f / 30 + 1);
    return columns;
}

const TextPlace spectrumLabels[spectrumLabelCount] = {
    {L"0kHz", 2, 2}, {L"5kHz", 168, 2}, {L"10kHz", 335, 2}, {L"15kHz", 502, 2}, {L"20kHz", 668, 2},
};

int spectrumRow(double magnitude)
{
    return truncToInt(spectrumHeight - spectrumHeight * magnitude);
}

double spectrumFrequencyOfX(int x)
{
    return x * spectrumHertzPerPixel;
}

int spectrumXOfFrequency(double hz)
{
    return truncToInt(hz / spectrumHertzPerPixel);
}

int spectrumEntryX(int entry, int length, uint32_t rate)
{
    if (length <= 0) return 0;
    return spectrumXOfFrequency(static_cast<double>(int64_t{entry} * rate) / length);
}

PixelPoint spectrumClosingPoint(int length, uint32_t rate)
{
    const int lastEntry = length / 2 - 1;
    return {lastEntry < 0 ? 0 : spectrumEntryX(lastEntry, length, rate), spectrumHeight};
}

// ---- Voice print ----

double pixelsPerHertz(int maxFreqStep)
{
    return (binReferenceLength / binReferenceRate) / frequencySpanScale(maxFreqStep);
}

int voicePrintRowOfBin(int bin)
{
    return voicePrintBottomRow - bin;
}

int voicePrintBinOfRow(int row)
{
    return voicePrintBottomRow - row;
}

BinPixel voicePrintPixel(int bin, double binValue)
{
    return {voicePrintRowOfBin(bin), colorIndexOf(binValue)};
}

double kilohertzRowReal(int kilohertz, int maxFreqStep)
{
    const double f = 1000.0 * kilohertz;
    return voicePrintBottomRow - f * pixelsPerHertz(maxFreqStep);
}

int kilohertzRow(int kilohertz, int maxFreqStep)
{
    return truncToInt(kilohertzRowReal(kilohertz, maxFreqStep));
}

int axisLabelTop(int kilohertz, int maxFreqStep, int textHeight)
{
    return truncToInt(kilohertzRowReal(kilohertz, maxFreqStep) - textHeight);
}

// ---- Window shape ----

int windowBarTop(double windowedSample)
{
    return truncToInt(windowShapeHeight - windowedSample * barScale);
}

void windowShapeBarTops(int kind, int tops[windowShapeWidth])
{
    double samples[windowShapeWidth];
    std::fill(samples, samples + windowShapeWidth, 32767.0);
    applyWindow(kind, samples, windowShapeWidth);
    for (int i = 0; i < windowShapeWidth; ++i) tops[i] = windowBarTop(samples[i]);
}

// ---- Colour sample ----

int colorSampleIndex(int row)
{
    return ((colorSampleHeight - row) * 256) / colorSampleHeight;
}
