// ScreenshotTour.exe <unix path of the .png> <the sample, as Wine names it>:
// the picture for the README. Starts Kelvara as `make run` does, with /draw
// and the shipped sample, waits for its voice print and has ImageMagick's
// `import` take the main window off the screen. Run by `make screenshot`
// inside scripts/headless.sh. Not a test: a step that fails is reported and
// the picture is taken anyway, of whatever the screen shows.
#include "driver/UiDriver.h"

#include <cstdio>
#include <string>

#include "core/base/CommandIds.h"

using namespace ui;

namespace {

bool step(const char* what, bool ok) {
    std::printf("%-34s %s\n", what, ok ? "ok" : "FAILED");
    std::fflush(stdout);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: ScreenshotTour.exe <unix path of the picture> <sample .wav>\n");
        return 2;
    }
    const std::string picture = argv[1];
    const std::wstring sample = widen(argv[2]);

    KelvaraProcess app;
    bool ok = step("start Kelvara with /draw", app.launch(L"", L"/draw \"" + sample + L"\"") && app.waitForWindows());
    const KelvaraWindows& w = app.windows();
    const auto status = [&] { return controlText(w.panel, IDC_STATUS); };
    if (ok) ok = step("draw the voice print", waitFor([&] { return status() == L"Voice-Print...Done."; }, 120000));

    // The main window only: it sits at the screen's top-left corner.
    const RECT r = ok ? screenRect(w.main) : RECT{0, 0, 800, 600};
    const std::string command = "import -window root -crop " + std::to_string(r.right - r.left) + "x" +
                                std::to_string(r.bottom - r.top) + "+0+0 +repage '" + picture + "'";
    const bool taken = step("take the picture", runUnixCommand(command) == 0);

    if (app.running()) {
        app.requestClose();
        DWORD exitCode = 0;
        if (!app.waitForExit(exitCode, 10000)) app.kill();
    }
    return taken ? (ok ? 0 : 1) : 3;
}
