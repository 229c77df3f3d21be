// ScreenshotTour.exe <unix path of the .png>: the picture for the README.
// Starts Kelvara, opens a made-up voice (a gliding fundamental with its
// harmonics shaped by three formants), marks it all, draws the voice print
// and has ImageMagick's `import` take the screen. Run by `make screenshot`
// inside scripts/headless.sh. Not a test: a step that fails is reported and
// the picture is taken anyway, of whatever the screen shows.
#include "driver/UiDriver.h"

#include <cmath>
#include <cstdio>

#include "app/CommandIds.h"

using namespace ui;

namespace {

// About 2.6 s of "a-i" with the pitch rising and falling, 22050 Hz.
std::vector<int16_t> syntheticVoice() {
    const int rate = 22050;
    const double seconds = 2.6;
    const double twoPi = 2.0 * std::acos(-1.0);
    const size_t count = static_cast<size_t>(rate * seconds);
    std::vector<int16_t> samples(count);
    double phase = 0.0;
    for (size_t n = 0; n < count; ++n) {
        const double t = static_cast<double>(n) / rate;
        const double f0 = 140.0 + 90.0 * std::sin(twoPi * t / (2.0 * seconds));  // 140 -> 230 -> 140 Hz
        phase += twoPi * f0 / rate;
        // Formants glide from /a/ (800, 1200 Hz) to /i/ (300, 2300 Hz).
        const double mix = t / seconds;
        const double formants[3] = {800.0 + (300.0 - 800.0) * mix, 1200.0 + (2300.0 - 1200.0) * mix, 2800.0};
        double v = 0.0;
        for (int h = 1; h * f0 < 5000.0; ++h) {
            double gain = 0.0;
            for (double f : formants) {
                const double d = (h * f0 - f) / 120.0;
                gain += std::exp(-d * d);
            }
            v += (0.15 + gain) / h * std::sin(h * phase);
        }
        const double envelope = std::min(1.0, std::min(t, seconds - t) * 8.0);  // soft ends
        samples[n] = static_cast<int16_t>(std::lround(9000.0 * envelope * v));
    }
    return samples;
}

bool step(const char* what, bool ok) {
    std::printf("%-34s %s\n", what, ok ? "ok" : "FAILED");
    std::fflush(stdout);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: ScreenshotTour.exe <unix path of the picture>\n");
        return 2;
    }
    const std::string picture = argv[1];

    KelvaraProcess app;
    bool ok = step("start Kelvara", app.launch() && app.waitForWindows());
    const KelvaraWindows& w = app.windows();
    const auto status = [&] { return controlText(w.panel, IDC_STATUS); };

    if (ok) {
        const std::wstring file = writeWav16(L"voice.wav", 22050, 1, syntheticVoice());
        postCommand(w.main, IDM_OPEN);
        ok = step("open the sound", chooseFileInOpenDialog(app.pid(), file) &&
                                        waitFor([&] { return status() == L"Open A File...Done."; }));
    }
    if (ok) {
        drag(w.wave, 0, 64, 550, 64, 20);
        ok = step("mark the whole sound", drainPostedMessages(control(w.panel, IDC_STATUS)));
    }
    if (ok) {
        clickButton(w.panel, IDC_DRAW);
        ok = step("draw the voice print", waitFor([&] { return status() == L"Voice-Print...Done."; }, 120000));
    }

    // The main window only: it sits at the screen's top-left corner.
    const std::string command = "import -window root -crop 800x600+0+0 +repage '" + picture + "'";
    const bool taken = step("take the picture", runUnixCommand(command) == 0);

    if (app.running()) {
        app.requestClose();
        DWORD exitCode = 0;
        if (!app.waitForExit(exitCode, 10000)) app.kill();
    }
    return taken ? (ok ? 0 : 1) : 3;
}
