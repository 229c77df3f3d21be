// The ground the other UI tests stand on: the headless session they run in,
// and the driver's own pieces that do not need Kelvara (pixels, test WAV
// files, commands on the Unix side). A fault here would otherwise show up as
// strange failures all over the UI tests.
#include "driver/UiDriver.h"

#include <algorithm>
#include <cmath>

#include "tests/support/WavBytes.h"

using namespace ui;

namespace {

bool insideHeadlessSession() { return environment("KELVARA_HEADLESS") == "1"; }

// A top-level window of this test program, filled with one colour per
// quarter, so the capture can be checked against colours we chose.
class ColourCard {
public:
    static constexpr COLORREF quarters[4] = {RGB(250, 10, 20), RGB(10, 240, 30), RGB(20, 30, 230), RGB(200, 180, 60)};

    ColourCard(int x, int y, int w, int h) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = procedure;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"KelvaraTestColourCard";
        RegisterClassW(&wc);
        window_ = CreateWindowExW(WS_EX_TOPMOST, wc.lpszClassName, L"", WS_POPUP | WS_VISIBLE, x, y, w, h, nullptr,
                                  nullptr, wc.hInstance, nullptr);
        UpdateWindow(window_);
    }
    ~ColourCard() { DestroyWindow(window_); }
    HWND window() const { return window_; }
    // Serves the card's own messages (it belongs to this thread).
    static void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }

private:
    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(window, &paint);
        RECT client;
        GetClientRect(window, &client);
        const int halfW = client.right / 2, halfH = client.bottom / 2;
        const RECT parts[4] = {{0, 0, halfW, halfH}, {halfW, 0, client.right, halfH},
                               {0, halfH, halfW, client.bottom}, {halfW, halfH, client.right, client.bottom}};
        for (int i = 0; i < 4; ++i) {
            HBRUSH brush = CreateSolidBrush(quarters[i]);
            FillRect(dc, &parts[i], brush);
            DeleteObject(brush);
        }
        EndPaint(window, &paint);
        return 0;
    }
    HWND window_ = nullptr;
};

constexpr COLORREF ColourCard::quarters[4];

Rgb rgbOf(COLORREF c) { return Rgb{GetRValue(c), GetGValue(c), GetBValue(c)}; }

using wavbytes::idAt;
using wavbytes::u16At;
using wavbytes::u32At;

}  // namespace

// ---- The session ----------------------------------------------------------------

TEST(HeadlessSession, WineRunsAsAJapaneseWindows) {
    if (!insideHeadlessSession()) GTEST_SKIP() << "not inside scripts/headless.sh";
    wchar_t locale[LOCALE_NAME_MAX_LENGTH] = L"";
    GetUserDefaultLocaleName(locale, LOCALE_NAME_MAX_LENGTH);
    EXPECT_STREQ(locale, L"ja-JP") << "the ja_JP.UTF-8 locale is missing (scripts/install-deps.sh)";
    EXPECT_EQ(GetACP(), 932u);
}

TEST(HeadlessSession, ScreenIsTheVirtualDesktopOf1024By768) {
    if (!insideHeadlessSession()) GTEST_SKIP() << "not inside scripts/headless.sh";
    EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), 1024);
    EXPECT_EQ(GetSystemMetrics(SM_CYSCREEN), 768);
}

TEST(HeadlessSession, SoundServerStopsAndComesBackWithTheSinkMonitorAsDefaultSource) {
    if (environment("KELVARA_PULSE_CTL").empty()) GTEST_SKIP() << "no session sound server";
    ASSERT_EQ(runUnixCommand("pactl info >/dev/null"), 0) << "the server runs at the start";

    ASSERT_EQ(soundServer("stop"), 0);
    EXPECT_NE(runUnixCommand("pactl info >/dev/null"), 0) << "the server is gone";

    ASSERT_EQ(soundServer("start"), 0);
    std::string source;
    EXPECT_EQ(runUnixCommand("LANG=C pactl get-default-source", &source), 0);
    EXPECT_EQ(source, environment("KELVARA_SINK") + ".monitor\n");
}

// ---- Commands on the Unix side -------------------------------------------------

TEST(UnixCommand, ReturnsTheExitCodeAndTheOutput) {
    if (!insideHeadlessSession()) GTEST_SKIP() << "needs Wine";
    const struct {
        const char* command;
        int exitCode;
        const char* output;
    } cases[] = {
        {"true", 0, ""},
        {"echo one; echo two >&2; exit 7", 7, "one\ntwo\n"},
        {"printf '%s' \"$KELVARA_HEADLESS\"", 0, "1"},  // the test's environment is there
        {"echo 'quoted \"text\"' | tr a-z A-Z", 0, "QUOTED \"TEXT\"\n"},
    };
    for (const auto& c : cases) {
        std::string output;
        EXPECT_EQ(runUnixCommand(c.command, &output), c.exitCode) << c.command;
        EXPECT_EQ(output, c.output) << c.command;
    }
}

TEST(UnixCommand, WaitsForACommandThatTakesAWhile) {
    if (!insideHeadlessSession()) GTEST_SKIP() << "needs Wine";
    const std::wstring marker = tempFolder() + L"late-marker";
    const std::string command = "sleep 1; touch '" + unixPath(marker) + "'";
    ASSERT_EQ(runUnixCommand(command), 0);
    EXPECT_NE(GetFileAttributesW(marker.c_str()), INVALID_FILE_ATTRIBUTES) << "returned before the command ended";
    DeleteFileW(marker.c_str());
}

TEST(UnixCommand, PathsMapBothWays) {
    if (!insideHeadlessSession()) GTEST_SKIP() << "needs Wine";
    EXPECT_EQ(windowsPath("/tmp"), L"Z:\\tmp");
    EXPECT_EQ(unixPath(windowsPath("/usr/share")), "/usr/share");
}

// ---- Pixels --------------------------------------------------------------------------

TEST(ScreenCapture, ReadsTheColoursAWindowShows) {
    ColourCard card(300, 200, 64, 48);
    ColourCard::pump();
    Image image;
    // The card is ours, so it is painted once its messages are served.
    ASSERT_TRUE(waitFor([&] {
        ColourCard::pump();
        image = captureClient(card.window());
        return !image.empty() && image.at(0, 0) == rgbOf(ColourCard::quarters[0]);
    }, 5000)) << image.at(0, 0);
    ASSERT_EQ(image.width, 64);
    ASSERT_EQ(image.height, 48);
    const struct {
        int x, y, quarter;
    } probes[] = {{0, 0, 0}, {31, 23, 0}, {32, 0, 1}, {63, 23, 1}, {0, 24, 2}, {31, 47, 2}, {32, 24, 3}, {63, 47, 3}};
    for (const auto& p : probes) {
        EXPECT_EQ(image.at(p.x, p.y), rgbOf(ColourCard::quarters[p.quarter])) << p.x << "," << p.y;
    }
    EXPECT_EQ(image.count(rgbOf(ColourCard::quarters[3])), 32 * 24);
    EXPECT_EQ(image.at(64, 0), Rgb{}) << "outside the image reads as black";
}

// A line whose text grows between the driver's two questions (length, then
// text), as a readout does under a moving mouse: the old length is told, the
// new text is copied. The driver must not hand back the cut-short copy.
TEST(WindowText, TextThatGrowsBetweenLengthAndCopyIsReadWhole) {
    static const std::wstring grown = L"0.136 s  sample 5998  selection 0.000 s to 1.595 s (1.595 s)";
    WNDCLASSW wc{};
    wc.lpfnWndProc = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        if (message == WM_GETTEXTLENGTH) return 12;
        if (message != WM_GETTEXT) return DefWindowProcW(window, message, wParam, lParam);
        if (wParam == 0) return 0;
        const size_t copied = std::min(grown.size(), static_cast<size_t>(wParam) - 1);
        grown.copy(reinterpret_cast<wchar_t*>(lParam), copied);
        reinterpret_cast<wchar_t*>(lParam)[copied] = L'\0';
        return static_cast<LRESULT>(copied);
    };
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KelvaraTestGrowingText";
    RegisterClassW(&wc);
    HWND line = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, wc.hInstance,
                                nullptr);
    ASSERT_TRUE(line);
    EXPECT_EQ(windowText(line), grown);
    DestroyWindow(line);
}

// ---- Test WAV files ----------------------------------------------------------------

TEST(WavFiles, HeaderIsTheCanonical44Bytes) {
    const struct {
        const char* what;
        std::vector<uint8_t> bytes;
        uint16_t channels;
        uint32_t rate, byteRate;
        uint16_t blockAlign, bits;
        uint32_t dataSize;
    } cases[] = {
        {"16-bit mono", wavbytes::pcm16File(22050, 1, {1, -1, 300}), 1, 22050, 44100, 2, 16, 6},
        {"16-bit stereo", wavbytes::pcm16File(44100, 2, {1, 2, 3, 4}), 2, 44100, 176400, 4, 16, 8},
        {"8-bit mono, odd length", wavbytes::pcm8File(11025, 1, {128, 0, 255}), 1, 11025, 11025, 1, 8, 3},
        {"8-bit stereo", wavbytes::pcm8File(8000, 2, {1, 2}), 2, 8000, 16000, 2, 8, 2},
    };
    for (const auto& c : cases) {
        const std::vector<uint8_t>& b = c.bytes;
        ASSERT_EQ(b.size(), 44u + c.dataSize) << c.what << ": no pad byte after odd data";
        EXPECT_EQ(idAt(b, 0), "RIFF") << c.what;
        EXPECT_EQ(u32At(b, 4), 36u + c.dataSize) << c.what;
        EXPECT_EQ(idAt(b, 8), "WAVE") << c.what;
        EXPECT_EQ(idAt(b, 12), "fmt ") << c.what;
        EXPECT_EQ(u32At(b, 16), 16u) << c.what;
        EXPECT_EQ(u16At(b, 20), 1u) << c.what << ": PCM";
        EXPECT_EQ(u16At(b, 22), c.channels) << c.what;
        EXPECT_EQ(u32At(b, 24), c.rate) << c.what;
        EXPECT_EQ(u32At(b, 28), c.byteRate) << c.what;
        EXPECT_EQ(u16At(b, 32), c.blockAlign) << c.what;
        EXPECT_EQ(u16At(b, 34), c.bits) << c.what;
        EXPECT_EQ(idAt(b, 36), "data") << c.what;
        EXPECT_EQ(u32At(b, 40), c.dataSize) << c.what;
    }
}

TEST(WavFiles, SamplesFollowTheHeaderLittleEndian) {
    const std::vector<uint8_t> b16 = wavbytes::pcm16File(22050, 1, {0x1234, -2, -32768});
    EXPECT_EQ(std::vector<uint8_t>(b16.begin() + 44, b16.end()),
              (std::vector<uint8_t>{0x34, 0x12, 0xFE, 0xFF, 0x00, 0x80}));
    const std::vector<uint8_t> b8 = wavbytes::pcm8File(22050, 1, {7, 128, 250});
    EXPECT_EQ(std::vector<uint8_t>(b8.begin() + 44, b8.end()), (std::vector<uint8_t>{7, 128, 250}));
}

TEST(WavFiles, WrittenFileHoldsExactlyTheBytes) {
    const std::vector<uint8_t> bytes = wavbytes::pcm16File(22050, 2, interleave({1, 2, 3}, {-1, -2, -3}));
    const std::wstring path = writeTempFile(L"exact.wav", bytes);
    ASSERT_FALSE(path.empty());
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    std::vector<uint8_t> back(bytes.size() + 16);
    DWORD got = 0;
    ReadFile(file, back.data(), static_cast<DWORD>(back.size()), &got, nullptr);
    CloseHandle(file);
    back.resize(got);
    EXPECT_EQ(back, bytes);
    // Interleaved left, right: 1, -1, 2, -2, 3, -3.
    EXPECT_EQ(u16At(back, 46), 0xFFFFu);
    EXPECT_EQ(u16At(back, 48), 2u);
}

TEST(WavFiles, ToneHasItsFrequencyAmplitudeAndLength) {
    const std::vector<int16_t> t = tone(1000.0, 8000, 0.5, 10000.0);
    ASSERT_EQ(t.size(), 4000u);
    // 1000 Hz at 8000 Hz: eight samples a period, sin(k * 45 degrees).
    const int16_t firstPeriod[8] = {0, 7071, 10000, 7071, 0, -7071, -10000, -7071};
    for (int k = 0; k < 8; ++k) {
        EXPECT_EQ(t[k], firstPeriod[k]) << k;
        EXPECT_EQ(t[8 * 300 + k], firstPeriod[k]) << "period 300, sample " << k;
    }
    const std::vector<int16_t> loud = tone(50.0, 1000, 0.1, 40000.0);
    EXPECT_EQ(loud[5], 32767) << "clipped, not wrapped";
    EXPECT_EQ(loud[15], -32768);
}

TEST(WavFiles, EightBitConversionIsFloorOfSampleOver256Plus128) {
    EXPECT_EQ(toEightBit({-32768, -257, -256, -1, 0, 255, 256, 32767}),
              (std::vector<uint8_t>{0, 126, 127, 127, 128, 128, 129, 255}));
}
