// Reading the numbers off the picture, as a person measuring a sound does:
// the readout line under the voice print says what lies under the mouse in
// each view and, elsewhere, the resolution of the settings; the spectrum
// names its frame's peak; "数値を保存(&N)..." writes the numbers as CSV.
//
// The expectations come from the tones themselves (their frequency and
// amplitude) and from frames this test analyses with the core's engine,
// turned into levels by this file's own arithmetic. The CSV is read back by
// Python's csv module.
#include "driver/Pictures.h"
#include "driver/SaveDialog.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/analysis/WindowFunction.h"
#include "core/base/CommandIds.h"
#include "tests/support/WavBytes.h"

using namespace ui;

namespace {

constexpr int rate = 22050;
constexpr int hanning = 1;
constexpr double amplitude = 16000.0;
constexpr int trackBarPeriod = 64;
constexpr int frameLengthIndexOfOrder(int order) { return order - 1; }

// What a sine of `amplitude` reads, in dB re full scale (32768).
const double toneLevelDb = 20 * std::log10(amplitude / 32768.0);

// The voice print spans 0 to (1 + 0.05 k) * 280 * 22050 / 1024 Hz over its
// 280 rows; the panel's default k is -3.
double binHz(int maxFreqStep = -3) { return (1 + 0.05 * maxFreqStep) * 22050.0 / 1024.0; }

double entryHz(int entry, int n) { return entry * double(rate) / n; }

double coherentGain(int kind, int n)
{
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += windowValue(kind, i, n);
    return sum / n;
}

// Level of |X[e]| of a 1/N-scaled transform: the sine it stands for.
double levelOf(double raw, int entry, int n, int kind)
{
    const double mirror = entry == 0 || entry == n / 2 ? 1.0 : 2.0;
    return 20 * std::log10(mirror * raw / (coherentGain(kind, n) * 32768.0));
}

// The magnitude entry voice-print bin j shows, or -1 where its frequency
// lies so near an entry's edge that rounding may decide either way.
int entryOfBin(int j, int n)
{
    const double at = j * binHz() / entryHz(1, n);
    const double below = std::floor(at);
    if (at - below < 1e-6 || below + 1 - at < 1e-6) return -1;
    return static_cast<int>(below);
}

std::string shellQuote(const std::wstring& path) { return "'" + unixPath(path) + "'"; }

class NumbersTest : public KelvaraSession {
protected:
    void load(const std::vector<int16_t>& samples, const wchar_t* name)
    {
        const std::vector<uint8_t> bytes = wavbytes::pcm16File(rate, 1, samples);
        ASSERT_TRUE(vpt::loadSound(sound, bytes));
        shown = samples;
        ASSERT_TRUE(openFile(app.pid(), w.panel, writeTempFile(name, bytes))) << narrow(status());
    }

    void chooseFrameOrder(int order)
    {
        selectComboItem(w.panel, IDC_FRAME_LENGTH, frameLengthIndexOfOrder(order));
        ASSERT_TRUE(drainPostedMessages(control(w.panel, IDC_STATUS)));
    }

    HWND readoutLine() const { return control(findChild(w.main, L"KelvaraReadout"), IDC_READOUT); }
    std::wstring readout() const { return windowText(readoutLine()); }

    // Hovers and waits for the line to change to something that `parse`
    // accepts; returns that text.
    std::wstring readoutAt(HWND view, int x, int y, const std::function<bool(const std::wstring&)>& parse)
    {
        // Hovered again while waiting: Wine may take the pointer's move after
        // the posted one and tell the view the mouse has left it meanwhile.
        std::wstring text;
        double hovered = 0;
        waitFor(
            [&] {
                if (seconds() - hovered > 0.2) {
                    hover(view, x, y);
                    hovered = seconds();
                }
                return parse(text = readout());
            },
            10000);
        return text;
    }

    std::vector<int16_t> shown;
    SoundBuffer sound;
};

struct ResolutionNumbers {
    int n = 0;
    double perBin = 0, perRow = 0, msPerColumn = 0;
};

bool parseResolution(const std::wstring& text, ResolutionNumbers& r)
{
    return std::swscanf(text.c_str(), L"N %d %lf Hz per bin %lf Hz per row %lf ms per column", &r.n, &r.perBin,
                        &r.perRow, &r.msPerColumn) == 4;
}

}  // namespace

TEST_F(NumbersTest, ReadoutTellsWhatLiesUnderTheMouseInEachView)
{
    // A tone on the centre of entry 46 of a 1024-point frame.
    const double hz = entryHz(46, 1024);
    load(tone(hz, rate, 3.0, amplitude), L"entry46.wav");
    ASSERT_TRUE(drawVoicePrint(w.panel));

    // Elsewhere: the resolution of the settings the run used.
    hover(w.panel, 20, 20);
    ResolutionNumbers r;
    ASSERT_TRUE(waitFor([&] { return parseResolution(readout(), r); })) << narrow(readout());
    EXPECT_EQ(r.n, 1024);
    EXPECT_NEAR(r.perBin, entryHz(1, 1024), 0.005);
    EXPECT_NEAR(r.perRow, binHz(), 0.005);
    EXPECT_NEAR(r.msPerColumn, 1000.0 * trackBarPeriod / rate, 0.005);

    // The voice print at column 100, on the row whose bin shows entry 46.
    const int bin = 55;
    ASSERT_EQ(entryOfBin(bin, 1024), 46);
    double seconds = 0, rowHz = 0, level = 0;
    int colour = -1;
    const std::wstring print = readoutAt(w.voicePrint, 100, 279 - bin, [&](const std::wstring& t) {
        return std::swscanf(t.c_str(), L"%lf s %lf Hz %lf dB FS colour %d", &seconds, &rowHz, &level, &colour) == 4;
    });
    ASSERT_GE(colour, 0) << narrow(print);
    EXPECT_NEAR(seconds, 100.0 * trackBarPeriod / rate, 0.0005);
    EXPECT_NEAR(rowHz, bin * binHz(), binHz() / 2);
    EXPECT_NEAR(level, toneLevelDb, 0.5);
    DftEngine engine;
    vpt::analyse(engine, sound, 100 * trackBarPeriod, 10, hanning);
    EXPECT_EQ(colour, static_cast<int>(255 * engine.displayBins[bin]) & 0xFF);

    // The spectrum, which shows the run's last frame, at the tone's pixel.
    int entry = -1;
    double underHz = 0, nearestHz = 0;
    const std::wstring spectrum = readoutAt(w.spectrum, int(hz / 30), 60, [&](const std::wstring& t) {
        return std::swscanf(t.c_str(), L"%lf Hz nearest entry %d (%lf Hz) %lf dB FS", &underHz, &entry, &nearestHz,
                            &level) == 4;
    });
    EXPECT_EQ(entry, 46) << narrow(spectrum);
    EXPECT_NEAR(underHz, int(hz / 30) * 30, 0.5);
    EXPECT_NEAR(nearestHz, hz, 0.05);
    EXPECT_NEAR(level, toneLevelDb, 0.5);

    // The waveform: the sample under column 275 and the selection the run
    // analysed (from column 0 to where 551 periods end).
    long long index = -1;
    double value = 0, from = -1, to = -1, length = -1;
    const std::wstring wave = readoutAt(w.wave, 275, 64, [&](const std::wstring& t) {
        return std::swscanf(t.c_str(), L"%lf s sample %lld %lf selection %lf s to %lf s (%lf s)", &seconds, &index,
                            &value, &from, &to, &length) == 6;
    });
    const int32_t sample = vpt::sampleOfColumn(275, sound.sampleCount);
    ASSERT_EQ(index, sample) << narrow(wave);
    EXPECT_NEAR(seconds, double(sample) / rate, 0.0005);
    EXPECT_NEAR(value, shown[sample] / 32768.0, 0.00005);
    const uint32_t end = vpt::selectionEndFromPeriod(0, trackBarPeriod, sound.sampleCount);
    const double endSeconds = double(vpt::sampleOfColumn(end, sound.sampleCount)) / rate;
    EXPECT_NEAR(from, 0.0, 0.0005);
    EXPECT_NEAR(to, endSeconds, 0.0005);
    EXPECT_NEAR(length, endSeconds, 0.0005);

    // Leaving the views brings the resolution back.
    hover(w.panel, 20, 20);
    POINT p{};
    GetCursorPos(&p);
    HWND under = WindowFromPoint(p);
    EXPECT_TRUE(waitFor([&] { return parseResolution(readout(), r); })) << narrow(readout()) << " cursor " << p.x << "," << p.y << " over " << narrow(className(under));
}

TEST_F(NumbersTest, SpectrumNamesThePeakOfItsFrame)
{
    load(tone(1234.5, rate, 3.0, amplitude), L"tone1234.wav");
    // Within 1 Hz at N = 4096 and 5 Hz at N = 1024, level and all.
    for (const auto& [order, bound] : {std::pair{12, 1.0}, std::pair{10, 5.0}}) {
        SCOPED_TRACE(order);
        chooseFrameOrder(order);
        ASSERT_TRUE(drawVoicePrint(w.panel));
        double peakHz = 0, level = 0;
        ASSERT_TRUE(waitFor([&] {
            return std::swscanf(windowText(w.spectrum).c_str(), L"%lf Hz %lf dB FS", &peakHz, &level) == 2;
        })) << narrow(windowText(w.spectrum));
        EXPECT_NEAR(peakHz, 1234.5, bound);
        EXPECT_NEAR(level, toneLevelDb, 0.5);

        // Written in the label colour in the top-right corner, under the
        // kilohertz labels.
        const Image image = captureVisibleClient(w.spectrum);
        int written = 0;
        for (int y = 18; y < 36; ++y)
            for (int x = 380; x < 551; ++x) written += image.at(x, y) == Rgb{0, 200, 98};
        EXPECT_GT(written, 30);
    }
}

TEST_F(NumbersTest, SpectrumCurvePeaksAtTheTonesAbscissa)
{
    // A tone on an entry's centre peaks at that entry's abscissa,
    // i * rate / N at 30 Hz a pixel. At N = 4096 the entries are a fifth of a
    // pixel apart, so the entry is one whose pixel the (i + 1) * rate /
    // (N - 2) placing would miss.
    struct Case {
        int order;
        int entry;
    };
    auto missedByTheOldPlacing = [](int n) {
        for (int i = 400; i < n / 2; ++i)
            if (int(entryHz(i, n) / 30) != int((i + 1) * double(rate) / (n - 2) / 30) &&
                int(entryHz(i, n) / 30) == int(entryHz(i + 1, n) / 30) &&
                int(entryHz(i, n) / 30) == int(entryHz(i - 1, n) / 30))
                return i;
        return -1;
    };
    for (const Case c : {Case{4, 3}, Case{8, 30}, Case{12, missedByTheOldPlacing(4096)}}) {
        const int n = 1 << c.order;
        SCOPED_TRACE(n);
        ASSERT_GT(c.entry, 0);
        const double hz = entryHz(c.entry, n);
        load(tone(hz, rate, 2.0, amplitude), (L"entry-" + std::to_wstring(n) + L".wav").c_str());
        chooseFrameOrder(c.order);
        ASSERT_TRUE(drawVoicePrint(w.panel));
        const int expected = int(hz / 30);
        // The strongest entry is 1 after normalising: the top row, where
        // only the segments into and out of the peak reach.
        std::vector<int> top;
        captureUntil(w.spectrum, [&](const Image& image) {
            top.clear();
            for (int x = 0; x < image.width; ++x)
                if (image.at(x, 0) == vpt::traceGreen) top.push_back(x);
            return !top.empty();
        });
        ASSERT_FALSE(top.empty());
        // The segments into and out of the peak may each touch the top row
        // one pixel beside it; the run they make is centred on the peak.
        EXPECT_EQ(top.front() + top.back(), 2 * expected) << top.front() << ".." << top.back();
        EXPECT_LE(top.back() - top.front(), 2);
    }
}

namespace {

// Python's csv module reads the file and writes one line of numbers per CSV
// line ("nan" for an empty field, "-inf" kept), the blank line as an empty
// line, so that this test parses nothing of CSV itself.
std::vector<std::vector<double>> readCsvThroughPython(const std::wstring& path, std::string& failure)
{
    const std::wstring script = writeTempFile(L"csvnumbers.py", [] {
        const std::string s = "import csv, sys\n"
                              "with open(sys.argv[1], newline='', encoding='utf-8') as f, open(sys.argv[2], 'w') as out:\n"
                              "    for row in csv.reader(f):\n"
                              "        if not row:\n"
                              "            out.write('\\n'); continue\n"
                              "        if row[0] in ('time_s', 'bin', 'centre_s'):\n"
                              "            row = ['nan'] + row[1:] if row[0] == 'time_s' else ['nan']\n"
                              "        out.write(' '.join(repr(float(v)) if v else 'nan' for v in row) + '\\n')\n";
        return std::vector<uint8_t>(s.begin(), s.end());
    }());
    const std::wstring plain = tempFolder() + L"numbers.txt";
    std::string output;
    if (runUnixCommand("python3 " + shellQuote(script) + " " + shellQuote(path) + " " + shellQuote(plain), &output) !=
        0) {
        failure = "python failed: " + output;
        return {};
    }
    std::vector<std::vector<double>> lines;
    std::ifstream in(narrow(plain).c_str());
    for (std::string line; std::getline(in, line);) {
        std::vector<double> values;
        std::istringstream fields(line);
        for (std::string v; fields >> v;) values.push_back(std::strtod(v.c_str(), nullptr));
        lines.push_back(values);
    }
    return lines;
}

}  // namespace

TEST_F(NumbersTest, ExportedNumbersAreTheFramesLevels)
{
    load(joined(tone(entryHz(46, 1024), rate, 1.5, amplitude), tone(2000, rate, 1.5, amplitude / 10)),
         L"two-levels.wav");
    ASSERT_TRUE(drawVoicePrint(w.panel));

    const std::wstring path = tempFolder() + L"numbers.csv";
    markStatus(w.panel);
    postCommand(w.main, IDM_SAVE_NUMBERS);
    SaveChoice choice;
    ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), path, &choice));
    const double pressed = seconds();
    ASSERT_TRUE(waitForStatus(L"Save Numbers...Done.")) << narrow(status());
    std::printf("[ benchmark ] save numbers: \"Save Numbers...Done.\" %.0f ms after Save was pressed\n",
                (seconds() - pressed) * 1000);
    EXPECT_EQ(choice.proposed, L"two-levels.csv");

    std::string failure;
    const std::vector<std::vector<double>> lines = readCsvThroughPython(path, failure);
    ASSERT_EQ(failure, "");
    // Header, 551 columns, the blank line, the spectrum's header, 513
    // entries; then the voice of the columns (OverlaysTest reads it).
    ASSERT_EQ(lines.size(), 1u + 551 + 1 + 1 + 513 + 1 + 1 + 551);
    ASSERT_EQ(lines[0].size(), 281u);
    for (int j = 0; j < 280; ++j) EXPECT_NEAR(lines[0][1 + j], j * binHz(), 0.00051) << j;
    EXPECT_TRUE(lines[552].empty());

    const int n = 1024;
    DftEngine engine;
    for (int column : {0, 137, 300, 550}) {
        SCOPED_TRACE(column);
        const std::vector<double>& line = lines[1 + column];
        ASSERT_EQ(line.size(), 281u);
        const uint32_t start = column * trackBarPeriod;
        EXPECT_NEAR(line[0], double(start) / rate, 5e-7);
        vpt::analyse(engine, sound, start, 10, hanning);
        int compared = 0;
        for (int j = 0; j < 280; ++j) {
            const int e = entryOfBin(j, n);
            if (e < 0) continue;
            EXPECT_NEAR(line[1 + j], levelOf(engine.rawMagnitude[e], e, n, hanning), 0.0006) << "bin " << j;
            ++compared;
        }
        EXPECT_GT(compared, 260);
    }
    // The tones' own levels: the first half at its amplitude, the second a
    // tenth of it (-20 dB), each on the row of its entry.
    EXPECT_NEAR(lines[1 + 100][1 + 55], toneLevelDb, 0.5);

    // The current frame is the run's last.
    vpt::analyse(engine, sound, 550 * trackBarPeriod, 10, hanning);
    for (int i = 0; i <= n / 2; ++i) {
        const std::vector<double>& line = lines[554 + i];
        ASSERT_EQ(line.size(), 4u) << i;
        EXPECT_EQ(line[0], i);
        EXPECT_NEAR(line[1], entryHz(i, n), 0.00051);
        EXPECT_NEAR(line[2], engine.magnitude[i], 5e-7);
        const double expected = levelOf(engine.rawMagnitude[i], i, n, hanning);
        if (std::isinf(expected))
            EXPECT_EQ(line[3], expected);
        else
            EXPECT_NEAR(line[3], expected, 0.0006) << i;
    }
    // The 2000 Hz tone at a tenth of the amplitude: its strongest entry reads
    // 20 dB below the first tone, within the window's scalloping.
    double strongest = -1e9;
    for (int i = 1; i < n / 2; ++i) strongest = std::max(strongest, lines[554 + i][3]);
    EXPECT_NEAR(strongest, toneLevelDb - 20, 1.5);
}

TEST_F(NumbersTest, MovingTheMouseOverTheVoicePrintDoesNotSlowARun)
{
    load(tone(1000, rate, 3.0, amplitude), L"mouse-run.wav");
    auto timedRun = [&](bool mouseMoving) {
        std::atomic<bool> running{true};
        std::thread mover;
        if (mouseMoving)
            mover = std::thread([&] {
                // A hand on the mouse: a move every 10 ms, across the picture.
                for (int i = 0; running; ++i) {
                    hover(w.voicePrint, (i * 7) % 551, (i * 13) % 280);
                    Sleep(10);
                }
            });
        const double start = seconds();
        const bool done = drawVoicePrint(w.panel);
        const double took = seconds() - start;
        running = false;
        if (mover.joinable()) mover.join();
        return done ? took : -1.0;
    };
    std::vector<double> still, moving;
    for (int i = 0; i < 5; ++i) {
        still.push_back(timedRun(false));
        moving.push_back(timedRun(true));
    }
    for (double t : still) ASSERT_GT(t, 0);
    for (double t : moving) ASSERT_GT(t, 0);
    std::sort(still.begin(), still.end());
    std::sort(moving.begin(), moving.end());
    std::printf("[ benchmark ] voice print with the mouse still %.3f s (%.3f-%.3f), moving over it %.3f s "
                "(%.3f-%.3f), median of 5, ratio %.2f\n",
                still[2], still[0], still[4], moving[2], moving[0], moving[4], moving[2] / still[2]);
}
