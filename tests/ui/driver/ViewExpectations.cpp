// Expected pictures of the waveform, spectrum and voice-print views. See
// ViewExpectations.h.
#include "driver/ViewExpectations.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <sstream>
#include <utility>

#include "core/analysis/DftEngine.h"
#include "core/audio/WavFile.h"
#include "core/panel/Parameters.h"
#include "core/panel/SelectionState.h"

namespace vpt {

namespace {

// The double nearest 1/551, the factor every column mapping multiplies by.
constexpr double perColumn = 0.0018148820326678765;
constexpr int columns = 551;

// The row of a sample on the waveform: 0 is row 64, 32767 row 0, -32768 row 128.
int waveRow(double sample)
{
    return static_cast<int>(64 - sample * 128 / 65535);
}

// Smallest and largest sample of column j, scanned as the view does: from
// trunc(j * step), one sample more while k < step, never past the end.
std::pair<double, double> columnExtent(const std::vector<double>& samples, int j)
{
    const double step = static_cast<double>(samples.size()) * perColumn;
    const double base = j * step;
    const size_t last = samples.size() - 1;
    const auto at = [&](double position) {
        const size_t i = static_cast<size_t>(position);
        return samples[std::min(i, last)];
    };
    double low = at(base), high = at(base);
    for (double k = 0; k < step; k += 1) {
        if (base + k >= static_cast<double>(samples.size())) break;
        const double s = at(base + k);
        low = std::min(low, s);
        high = std::max(high, s);
    }
    return {low, high};
}

struct Point {
    int x;
    int y;
};

// The trace's polyline: from (0, 64) down to each column's minimum and up to
// its maximum, leaving out the side of a column that has nothing below or
// above zero.
std::vector<Point> tracePolyline(const std::vector<double>& samples)
{
    std::vector<Point> points{{0, 64}};
    if (samples.empty()) return points;
    for (int j = 0; j < columns; ++j) {
        const auto [low, high] = columnExtent(samples, j);
        if (low < 0) points.push_back({j, waveRow(low)});
        if (high > 0) points.push_back({j, waveRow(high)});
    }
    return points;
}

bool isWaveGridRow(int y) { return y % 8 == 0; }

bool isWaveGridColumn(int x)
{
    for (int i = 0; i * columns / 44 < columns; ++i)
        if (x == i * columns / 44) return true;
    return x == 1 || x == 138 || x == 276 || x == 414;
}

// Row ranges per column that a polyline may touch: each segment may colour
// the columns it spans, one more on either side, in the rows it spans, one
// more above and below.
struct RowRange {
    int low = INT_MAX;
    int high = INT_MIN;
    void add(int a, int b)
    {
        low = std::min({low, a, b});
        high = std::max({high, a, b});
    }
    bool holds(int y) const { return y >= low && y <= high; }
};

std::vector<RowRange> reachOfSegments(const std::vector<Point>& points, int width)
{
    std::vector<RowRange> reach(static_cast<size_t>(width));
    const auto mark = [&](const Point& a, const Point& b) {
        const int left = std::max(0, std::min(a.x, b.x) - 1);
        const int right = std::min(width - 1, std::max(a.x, b.x) + 1);
        for (int x = left; x <= right; ++x) reach[static_cast<size_t>(x)].add(std::min(a.y, b.y) - 1, std::max(a.y, b.y) + 1);
    };
    for (size_t i = 0; i + 1 < points.size(); ++i) mark(points[i], points[i + 1]);
    if (points.size() == 1) mark(points[0], points[0]);
    return reach;
}

std::string describe(Rgb c)
{
    std::ostringstream out;
    out << c;
    return out.str();
}

}  // namespace

// ---- Pixels --------------------------------------------------------------------

Rgb rgbOf(ColorRef color)
{
    return Rgb{static_cast<uint8_t>(redOf(color)), static_cast<uint8_t>(greenOf(color)),
               static_cast<uint8_t>(blueOf(color))};
}

Rgb inverted(Rgb c)
{
    return Rgb{static_cast<uint8_t>(255 - c.r), static_cast<uint8_t>(255 - c.g), static_cast<uint8_t>(255 - c.b)};
}

void Comparison::expect(int x, int y, Rgb expected, Rgb got)
{
    ++checked;
    if (expected == got) return;
    if (++mismatches <= 12)
        firstMismatches += "  (" + std::to_string(x) + "," + std::to_string(y) + ") expected " + describe(expected) +
                           " got " + describe(got) + "\n";
}

void Comparison::expectNot(int x, int y, Rgb forbidden, Rgb got)
{
    ++checked;
    if (forbidden != got) return;
    if (++mismatches <= 12)
        firstMismatches += "  (" + std::to_string(x) + "," + std::to_string(y) + ") must not be " +
                           describe(forbidden) + "\n";
}

std::ostream& operator<<(std::ostream& out, const Comparison& c)
{
    out << c.mismatches << " of " << c.checked << " pixels differ";
    if (c.mismatches) out << ", first ones:\n" << c.firstMismatches;
    return out;
}

// ---- Waveform -------------------------------------------------------------------

Comparison compareWaveform(const Image& image, const std::vector<double>& samples, const WaveformState& state,
                           const std::vector<int>& onlyColumns)
{
    Comparison result;
    const std::vector<Point> trace = tracePolyline(samples);
    const std::vector<RowRange> reach = reachOfSegments(trace, columns);
    // Rows that a vertical stroke inside one column surely covers: from its
    // first point up to, not including, its last (LineTo leaves the end out).
    std::vector<RowRange> sure(static_cast<size_t>(columns));
    for (size_t i = 0; i + 1 < trace.size(); ++i) {
        const Point a = trace[i], b = trace[i + 1];
        if (a.x != b.x || a.y == b.y || a.x < 0 || a.x >= columns) continue;
        const int end = b.y > a.y ? b.y - 1 : b.y + 1;
        sure[static_cast<size_t>(a.x)].add(a.y, end);
    }

    const uint32_t lo = std::min(state.selStartX, state.selEndX);
    const uint32_t hi = std::max(state.selStartX, state.selEndX);
    const auto closeTo = [](int x, uint32_t column, int spread) {
        return column < static_cast<uint32_t>(columns + spread) && std::abs(x - static_cast<int>(column)) <= spread;
    };

    std::vector<int> wanted = onlyColumns;
    if (wanted.empty())
        for (int x = 0; x < columns; ++x) wanted.push_back(x);
    for (int x : wanted) {
        if (x < 2 || closeTo(x, state.selStartX, 1) || closeTo(x, state.selEndX, 1) || closeTo(x, state.cursorX, 2)) continue;
        const bool band = static_cast<uint32_t>(x) >= lo && static_cast<uint32_t>(x) < hi;
        for (int y = waveformFirstModelRow; y < image.height; ++y) {
            const Rgb got = image.at(x, y);
            if (sure[static_cast<size_t>(x)].holds(y)) {
                result.expect(x, y, band ? inverted(traceGreen) : traceGreen, got);
            } else if (!reach[static_cast<size_t>(x)].holds(y)) {
                const Rgb background = isWaveGridRow(y) || isWaveGridColumn(x) ? waveGrid : black;
                result.expect(x, y, band ? inverted(background) : background, got);
            }
        }
    }
    return result;
}

uint32_t selectionEndFromPeriod(uint32_t selStartX, int period, uint32_t sampleCount)
{
    const double q = static_cast<double>(sampleCount) * perColumn;
    const double start = std::trunc(selStartX * q);
    return static_cast<uint32_t>((start + static_cast<double>(period) * columns) / q);
}

int32_t sampleOfColumn(uint32_t column, uint32_t sampleCount)
{
    return static_cast<int32_t>(column * (static_cast<double>(sampleCount) * perColumn));
}

int columnOfSample(uint32_t position, uint32_t sampleCount)
{
    return static_cast<int>(position / (static_cast<double>(sampleCount) * perColumn));
}

bool hasCursorAt(const Image& image, int column, Rgb color, int firstRow)
{
    const auto full = [&](int x) {
        if (x < 0 || x >= image.width) return false;
        for (int y = firstRow; y < image.height; ++y)
            if (image.at(x, y) != color) return false;
        return true;
    };
    return full(column) && (full(column - 1) || full(column + 1));
}

// ---- Spectrum -------------------------------------------------------------------

Comparison compareSpectrumCurve(const Image& image, const DftEngine& engine)
{
    const int n = engine.length;
    const auto row = [](double m) { return static_cast<int>(128 - 128 * m); };
    // Entry i stands at its own frequency, i * rate / N Hz, 30 Hz a pixel.
    const auto abscissa = [&](int i) {
        return static_cast<int>(static_cast<double>(i) * engine.sampleRate / n / 30.0);
    };
    std::vector<Point> points{{0, row(engine.magnitude[0])}};
    for (int i = 1; i <= n / 2 - 1; ++i) points.push_back({abscissa(i), row(engine.magnitude[i])});
    points.push_back({abscissa(n / 2 - 1), 128});  // the closing line down to the bottom edge, under the last entry

    Comparison result;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const Point p = points[i];
        if (p.x >= 0 && p.x < image.width && p.y >= 0 && p.y < image.height) result.expect(p.x, p.y, traceGreen, image.at(p.x, p.y));
    }
    const std::vector<RowRange> reach = reachOfSegments(points, image.width);
    for (int x = 0; x < image.width; ++x)
        for (int y = 0; y < image.height; ++y)
            if (!reach[static_cast<size_t>(x)].holds(y)) result.expectNot(x, y, traceGreen, image.at(x, y));
    return result;
}

// ---- Voice print ----------------------------------------------------------------

void analyse(DftEngine& engine, const SoundBuffer& sound, uint32_t start, int frameOrder, int windowKind)
{
    engine.setUp(frameOrder, sound.rate());
    engine.analyseFrame(sound, start, windowKind, currentSpectrumSettings());
}

std::vector<VoicePrintColumn> expectedVoicePrint(const SoundBuffer& sound, int32_t analysisStart, int32_t period,
                                                 int frameOrder, int windowKind, const ColorTable& colors)
{
    std::vector<VoicePrintColumn> picture;
    DftEngine engine;
    engine.setUp(frameOrder, sound.rate());
    const uint64_t length = uint64_t{1} << frameOrder;
    for (int k = 0; k < columns; ++k) {
        const uint32_t start = static_cast<uint32_t>(analysisStart) + static_cast<uint32_t>(k) * static_cast<uint32_t>(period);
        if (start + length > sound.sampleCount) break;
        engine.analyseFrame(sound, start, windowKind, currentSpectrumSettings());
        VoicePrintColumn column{};
        for (int j = 0; j < displayBinCount; ++j) {
            // Colour index: the low 8 bits of 255 * value, truncated.
            const int index = static_cast<int>(255 * engine.displayBins[j]) & 0xFF;
            column[static_cast<size_t>(279 - j)] = colors[index];
        }
        picture.push_back(column);
    }
    return picture;
}

Comparison compareVoicePrint(const Image& image, const std::vector<VoicePrintColumn>& expected,
                             const std::vector<int>& skip)
{
    Comparison result;
    for (int x = 0; x < std::min(image.width, columns); ++x) {
        if (std::find(skip.begin(), skip.end(), x) != skip.end()) continue;
        for (int y = 0; y < std::min(image.height, displayBinCount); ++y) {
            const Rgb want = static_cast<size_t>(x) < expected.size() ? rgbOf(expected[static_cast<size_t>(x)][static_cast<size_t>(y)]) : black;
            result.expect(x, y, want, image.at(x, y));
        }
    }
    return result;
}

bool loadSound(SoundBuffer& sound, const std::vector<uint8_t>& fileBytes)
{
    return loadWav(sound, fileBytes.data(), fileBytes.size());
}

int overlaidDifferences(const Image& image, const std::vector<VoicePrintColumn>& picture, const VoiceOverlay& overlay,
                        std::string& where, const std::vector<int>& skip)
{
    int wrong = 0;
    for (int y = 0; y < 280; ++y)
        for (int x = 0; x < 551; ++x) {
            if (std::find(skip.begin(), skip.end(), x) != skip.end()) continue;
            const OverlayInk ink = overlay.at(x, y);
            const ColorRef under = x < static_cast<int>(picture.size()) ? picture[x][y] : rgb(0, 0, 0);
            const Rgb expected = rgbOf(ink == OverlayInk::none ? under : inkColor(ink));
            if (image.at(x, y) != expected && ++wrong <= 4) {
                std::ostringstream out;
                out << " (" << x << "," << y << ") " << image.at(x, y) << " not " << expected;
                where += out.str();
            }
        }
    return wrong;
}

}  // namespace vpt
