// What the soak's person does: everything the panel, the menu, the views and
// the window frame let one do, and nothing they do not (a disabled control is
// left alone, a minimised window can only wait or be restored, a dialog is
// answered before anything else).
#include "soak/Soak.h"

#include "driver/OutsideRequests.h"

#include <commctrl.h>

#include <iterator>

#include "core/base/CommandIds.h"
#include "driver/SaveDialog.h"

using namespace ui;

namespace soak {

namespace {

constexpr const wchar_t* openFailedText = L"ファイルオープンに失敗しました。";
constexpr const wchar_t* openDialogTitle = L"ファイルを開く";
constexpr const wchar_t* aboutTitle = L"ﾊﾞｰｼﾞｮﾝ情報";
constexpr int waveformWidth = 551, waveformHeight = 128, voicePrintHeight = 280;
constexpr int mostMinimisedSteps = 6;

enum Action {
    OpenGood,
    OpenOdd,
    OpenRefused,
    CancelOpen,
    Waveform,
    VoicePrint,
    TrackBar,
    Combo,
    RadioOrCheck,
    ActivityButton,
    Minimise,
    AboutBox,
    Pause,
};
// Weights, in the order above: mostly the panel and the views, now and then
// the files, the window frame and the about box.
const double actionWeights[] = {6, 3, 5, 2, 12, 9, 12, 10, 10, 20, 2, 1, 3};
const char* const actionNames[] = {"open a good file", "open an odd file", "open a broken file", "cancel an open",
                                   "waveform mouse", "voice-print mouse", "track bar", "combo", "radio or check box",
                                   "activity button", "minimise", "about box", "pause"};

int uniform(std::mt19937_64& rng, int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); }

template <typename T, size_t N>
const T& pick(std::mt19937_64& rng, const T (&choices)[N])
{
    return choices[uniform(rng, 0, static_cast<int>(N) - 1)];
}

std::string idName(int id) { return std::to_string(id); }

// Holds a file open with share mode 0 for as long as it lives.
class ExclusiveHold {
public:
    explicit ExclusiveHold(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr))
    {
    }
    ~ExclusiveHold()
    {
        if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    }
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

private:
    HANDLE handle_;
};

using wavbytes::floatTag;
using wavbytes::packed;
using wavbytes::pcmTag;

SoundFile goodFile(const std::string& name, const wavbytes::Format& format, const std::vector<double>& samples)
{
    SoundFile file;
    file.name = name;
    file.path = writeTempFile(widen(name), wavbytes::encodedFile(format, samples));
    file.kind = FileKind::Good;
    file.rate = format.rate;
    file.bits = format.bits;
    return file;
}

std::vector<double> stereo(const std::vector<double>& left, const std::vector<double>& right)
{
    std::vector<double> out;
    for (size_t i = 0; i < left.size() && i < right.size(); ++i) {
        out.push_back(left[i]);
        out.push_back(right[i]);
    }
    return out;
}

}  // namespace

std::vector<SoundFile> writeSoundFiles()
{
    std::vector<SoundFile> files;
    files.push_back(goodFile("sweep-22k-16-mono.wav", packed(pcmTag, 1, 22050, 16), sweep(300, 3000, 22050, 1.0)));
    files.push_back(goodFile("sweeps-44k-16-stereo.wav", packed(pcmTag, 2, 44100, 16),
                             stereo(sweep(200, 5000, 44100, 3.0), sweep(5000, 200, 44100, 3.0))));
    files.push_back(goodFile("sweep-11k-8-mono.wav", packed(pcmTag, 1, 11025, 8), sweep(100, 4000, 11025, 2.0, 0.8)));
    files.push_back(goodFile("sweep-48k-24-mono.wav", packed(pcmTag, 1, 48000, 24), sweep(1000, 2000, 48000, 0.5)));
    files.push_back(goodFile("sweep-8k-float.wav", packed(floatTag, 1, 8000, 32), sweep(50, 3900, 8000, 4.0, 0.9)));
    files.push_back(goodFile("sweeps-16k-32-stereo.wav", packed(pcmTag, 2, 16000, 32),
                             stereo(sweep(400, 400, 16000, 1.5), sweep(800, 800, 16000, 1.5))));
    files.push_back(goodFile("hundred-samples.wav", packed(pcmTag, 1, 22050, 16), sweep(1000, 1000, 22050, 100.0 / 22050)));
    for (const HostileWav& hostile : hostileWavs()) {
        SoundFile file;
        file.name = hostile.name;
        file.path = writeTempFile(widen(hostile.name), hostile.bytes);
        file.kind = hostile.outcome == Outcome::Refused ? FileKind::Refused : FileKind::Odd;
        file.heldOpenWithoutSharing = hostile.heldOpenWithoutSharing;
        file.rate = hostile.rate;
        file.bits = hostile.bits;
        files.push_back(file);
    }
    return files;
}

void Soak::doAction(std::mt19937_64& rng)
{
    if (minimised_) {
        // A person cannot reach the panel of a minimised window: wait, or
        // bring it back.
        ++minimisedSteps_;
        if (minimisedSteps_ >= mostMinimisedSteps || uniform(rng, 0, 9) < 4) {
            ++actionCounts_["restore"];
            restore();
        } else {
            ++actionCounts_["pause while minimised"];
            pause(rng);
        }
        return;
    }
    std::discrete_distribution<int> choose(std::begin(actionWeights), std::end(actionWeights));
    const int action = choose(rng);
    ++actionCounts_[actionNames[action]];
    switch (static_cast<Action>(action)) {
    case OpenGood: return openFile(rng, FileKind::Good);
    case OpenOdd: return openFile(rng, FileKind::Odd);
    case OpenRefused: return openFile(rng, FileKind::Refused);
    case CancelOpen: return cancelOpen(rng);
    case Waveform: return clickOrDragWaveform(rng);
    case VoicePrint: return clickOrDragVoicePrint(rng);
    case TrackBar: return moveTrackBar(rng);
    case Combo: return pickComboEntry(rng);
    case RadioOrCheck: return clickRadioOrCheck(rng);
    case ActivityButton: return pressActivityButton(rng);
    case Minimise: return minimise();
    case AboutBox: return aboutBox(rng);
    case Pause: return pause(rng);
    }
}

// The menu item or the "..." button (the button only where it is enabled).
// Afterwards the user-interface thread has handled the command: the dialog
// is up, or the panel said it is busy.
bool Soak::askForOpenDialog(bool byMenu, HWND& dialog)
{
    dialog = nullptr;
    if (!byMenu && isEnabled(w_.panel, IDC_BROWSE))
        clickButton(w_.panel, IDC_BROWSE);
    else
        postCommand(w_.main, IDM_OPEN);
    // Twice: the button and the menu item each pass the command on by post.
    if (!drainUi() || !drainUi()) {
        fault(FaultKind::Hang, "the user-interface thread handled no posted message for a minute (open)");
        return false;
    }
    // A recording never saved asks before the dialog; the soak answers No.
    if (HWND question = findMessageBox(app_->pid()); question && messageBoxText(question) == unsavedRecordingQuestion) {
        note("  answer No to the unsaved-recording question");
        if (!answerMessageBox(question, IDNO) || !drainUi()) {
            fault(FaultKind::Hang, "the unsaved-recording question would not go (open)");
            return false;
        }
    }
    dialog = findTopWindow(app_->pid(), L"#32770", openDialogTitle);
    return true;
}

bool Soak::loadThroughDialog(const std::wstring& path, bool byMenu, bool& refused, bool& busy)
{
    refused = busy = false;
    HWND dialog = nullptr;
    if (!askForOpenDialog(byMenu, dialog)) return false;
    if (!dialog) {
        busy = true;
        return true;
    }
    if (!chooseFileInOpenDialog(app_->pid(), path, 30000)) {
        fault(FaultKind::Other, "the open-file dialog did not take " + narrow(path));
        return false;
    }
    // After the drain the load has ended, or it waits in its message box
    // (whose loop ran the drain).
    if (!drainUi()) {
        fault(FaultKind::Hang, "the user-interface thread stayed busy for a minute after a file was chosen");
        return false;
    }
    for (HWND box : messageBoxesOf(app_->pid())) {
        waitFor([&] { return !IsWindow(box) || IsWindowVisible(box); }, 10000);
        if (!IsWindow(box) || messageBoxText(box) != openFailedText) continue;
        refused = true;
        if (windowText(box) != L"!") fault(FaultKind::Other, "the refusal's caption is " + describe(windowText(box)));
        ++totals_.messagesDismissed;
        if (!dismissMessageBox(box)) {
            fault(FaultKind::Hang, "the refusal message would not go");
            return false;
        }
    }
    if (!waitFor([&] { return status() == L"Open A File...Done."; }, 30000)) {
        fault(FaultKind::Hang, "the open did not end: the status says " + describe(status()));
        return false;
    }
    return true;
}

void Soak::openFile(std::mt19937_64& rng, FileKind kind)
{
    std::vector<const SoundFile*> candidates;
    for (const SoundFile& file : files_)
        if (file.kind == kind) candidates.push_back(&file);
    const SoundFile& file = *candidates[static_cast<size_t>(uniform(rng, 0, static_cast<int>(candidates.size()) - 1))];
    const bool byMenu = uniform(rng, 0, 1) == 0;
    note(std::string("open ") + file.name + (byMenu ? " (menu)" : " (\"...\")"));

    // What a refused file must leave as it was.
    const bool checkSound = kind == FileKind::Refused && !recordingMayRun_;
    Image waveBefore;
    std::wstring rateBefore, bitsBefore;
    if (!drainUi()) return fault(FaultKind::Hang, "the user-interface thread handled no posted message for a minute");
    if (checkSound) {
        waveBefore = settledCapture(w_.wave);
        rateBefore = controlText(w_.panel, IDC_SAMPLE_RATE);
        bitsBefore = controlText(w_.panel, IDC_BIT_RATE);
    }

    bool refused = false, busy = false;
    {
        std::unique_ptr<ExclusiveHold> hold;
        if (file.heldOpenWithoutSharing) hold = std::make_unique<ExclusiveHold>(file.path);
        if (!loadThroughDialog(file.path, byMenu, refused, busy)) return;
    }
    if (busy) {
        note("  the panel is busy: no dialog");
        ++totals_.opensBusy;
        return;
    }
    // The dialog came up, so nothing was playing or recording then.
    recordingMayRun_ = false;

    if (refused) {
        note("  refused");
        ++totals_.opensRefused;
        if (kind != FileKind::Refused) return fault(FaultKind::Other, "a readable file was refused: " + file.name);
        if (!checkSound) return;
        if (controlText(w_.panel, IDC_SAMPLE_RATE) != rateBefore || controlText(w_.panel, IDC_BIT_RATE) != bitsBefore)
            return fault(FaultKind::Other, "a refused file changed the sound's format: " + file.name);
        Image waveAfter;
        const bool same = waitFor([&] {
            waveAfter = captureClient(w_.wave);
            return waveformDifference(waveAfter, waveBefore) == 0;
        }, 10000);
        if (!same)
            fault(FaultKind::Other, "a refused file changed the waveform (" +
                                        std::to_string(waveformDifference(waveAfter, waveBefore)) + " pixels): " + file.name);
        return;
    }

    note("  loaded");
    ++totals_.opensLoaded;
    if (kind == FileKind::Refused) return fault(FaultKind::Other, "a file that is no sound was loaded: " + file.name);
    const std::wstring rate = controlText(w_.panel, IDC_SAMPLE_RATE), bits = controlText(w_.panel, IDC_BIT_RATE);
    if (rate != kilohertzText(file.rate) || bits != bitsText(file.bits))
        fault(FaultKind::Other, "after loading " + file.name + " the panel shows " + describe(rate) + " kHz, " +
                                    describe(bits) + " bits");
}

void Soak::cancelOpen(std::mt19937_64& rng)
{
    const bool byMenu = uniform(rng, 0, 1) == 0;
    note(std::string("open and cancel") + (byMenu ? " (menu)" : " (\"...\")"));
    HWND dialog = nullptr;
    if (!askForOpenDialog(byMenu, dialog)) return;
    if (!dialog) {
        note("  the panel is busy: no dialog");
        ++totals_.opensBusy;
        return;
    }
    if (humanSpeed_) Sleep(static_cast<DWORD>(uniform(rng, 200, 1500)));
    if (!cancelOpenDialog(app_->pid(), 30000)) return fault(FaultKind::Hang, "the open-file dialog would not cancel");
    if (!waitFor([&] { return status() == L"Open A File...Done."; }, 30000))
        fault(FaultKind::Hang, "a cancelled open did not end: " + describe(status()));
}

void Soak::clickOrDragWaveform(std::mt19937_64& rng)
{
    const int x0 = uniform(rng, 0, waveformWidth - 1), x1 = uniform(rng, 0, waveformWidth - 1);
    const int y0 = uniform(rng, 0, waveformHeight - 1), y1 = uniform(rng, 0, waveformHeight - 1);
    const int kind = uniform(rng, 0, 5);
    if (kind <= 1) {
        note("waveform: click at " + std::to_string(x0));
        click(w_.wave, x0, y0);
    } else if (kind <= 4) {
        const int steps = uniform(rng, 1, 30);
        note("waveform: drag " + std::to_string(x0) + " -> " + std::to_string(x1) + " in " + std::to_string(steps));
        drag(w_.wave, x0, y0, x1, y1, steps);
    } else {
        // Released outside the view, which then never sees the release.
        const int steps = uniform(rng, 1, 10);
        note("waveform: drag from " + std::to_string(x0) + " and let go outside");
        postMouse(w_.wave, WM_LBUTTONDOWN, x0, y0, MK_LBUTTON);
        for (int i = 1; i <= steps; ++i)
            postMouse(w_.wave, WM_MOUSEMOVE, x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps, MK_LBUTTON);
    }
}

void Soak::clickOrDragVoicePrint(std::mt19937_64& rng)
{
    const int x0 = uniform(rng, 0, waveformWidth - 1), x1 = uniform(rng, 0, waveformWidth - 1);
    const int y0 = uniform(rng, 0, voicePrintHeight - 1), y1 = uniform(rng, 0, voicePrintHeight - 1);
    if (uniform(rng, 0, 1) == 0) {
        note("voice print: click at " + std::to_string(x0));
        click(w_.voicePrint, x0, y0);
    } else {
        const int steps = uniform(rng, 1, 30);
        note("voice print: drag " + std::to_string(x0) + " -> " + std::to_string(x1) + " in " + std::to_string(steps));
        drag(w_.voicePrint, x0, y0, x1, y1, steps);
    }
}

void Soak::moveTrackBar(std::mt19937_64& rng)
{
    static const int bars[] = {IDC_FRAME_PERIOD, IDC_REJECTION, IDC_SCALE, IDC_COLOR_WIDTH, IDC_MAX_FREQ};
    const int id = pick(rng, bars);
    const bool thumbDrag = uniform(rng, 0, 1) == 0;
    static const int codes[] = {TB_LINEUP, TB_LINEDOWN, TB_PAGEUP, TB_PAGEDOWN, TB_THUMBPOSITION, TB_TOP, TB_BOTTOM};
    const int code = pick(rng, codes);
    const int moves = uniform(rng, 2, 8);
    std::vector<int> fractions;
    for (int i = 0; i < moves; ++i) fractions.push_back(uniform(rng, 0, 1000));
    if (!isEnabled(w_.panel, id)) return note("track bar " + idName(id) + ": disabled, left alone");

    int low = 0, high = 0;
    trackBarRange(w_.panel, id, low, high);
    auto position = [&](int fraction) { return low + (high - low) * fraction / 1000; };
    if (thumbDrag) {
        // The thumb dragged across several places and let go.
        note("track bar " + idName(id) + ": drag the thumb to " + std::to_string(position(fractions.back())));
        for (int i = 0; i + 1 < moves; ++i) setTrackBar(w_.panel, id, position(fractions[static_cast<size_t>(i)]), TB_THUMBTRACK);
        setTrackBar(w_.panel, id, position(fractions.back()), TB_THUMBPOSITION);
        PostMessageW(w_.panel, WM_HSCROLL, MAKEWPARAM(TB_ENDTRACK, 0), reinterpret_cast<LPARAM>(control(w_.panel, id)));
    } else {
        note("track bar " + idName(id) + ": code " + std::to_string(code) + " to " + std::to_string(position(fractions[0])));
        setTrackBar(w_.panel, id, position(fractions[0]), code);
    }
}

void Soak::pickComboEntry(std::mt19937_64& rng)
{
    static const int combos[] = {IDC_WINDOW_FUNCTION, IDC_FRAME_LENGTH, IDC_RECORD_RATE, IDC_RECORD_BITS, IDC_RECORD_SECONDS};
    const int id = pick(rng, combos);
    const int fraction = uniform(rng, 0, 999);
    if (!isEnabled(w_.panel, id)) return note("combo " + idName(id) + ": disabled, left alone");
    const int count = static_cast<int>(comboItems(w_.panel, id).size());
    if (count == 0) return fault(FaultKind::Other, "combo " + idName(id) + " has no entries");
    const int index = fraction * count / 1000;
    note("combo " + idName(id) + ": entry " + std::to_string(index));
    selectComboItem(w_.panel, id, index);
}

void Soak::clickRadioOrCheck(std::mt19937_64& rng)
{
    static const int buttons[] = {IDC_COLOR,         IDC_MONO,           IDC_LINEAR,      IDC_LOG,
                                  IDC_SIDE_GRADUATE, IDC_GRADUATE_LINE, IDC_SOURCE_FILE, IDC_SOURCE_RECORD};
    const int id = pick(rng, buttons);
    note("click " + idName(id) + (isEnabled(w_.panel, id) ? "" : " (disabled)"));
    clickButton(w_.panel, id);
}

void Soak::pressActivityButton(std::mt19937_64& rng)
{
    // Drawing three times as often as each of the others.
    static const int buttons[] = {IDC_DRAW, IDC_DRAW, IDC_DRAW, IDC_PLAY, IDC_PLAY_ALL, IDC_STOP, IDC_RECORD, IDC_STOP_RECORD};
    static const char* const names[] = {"描画", "描画", "描画", "再生", "すべて再生", "停止", "●REC", "■"};
    const int which = uniform(rng, 0, 7);
    const int id = buttons[which];
    const bool enabled = isEnabled(w_.panel, id);
    note(std::string("press ") + names[which] + (enabled ? "" : " (disabled)"));
    if (id == IDC_RECORD && enabled) recordingMayRun_ = true;
    clickButton(w_.panel, id);
}

void Soak::minimise()
{
    const bool sent = step_ % 2 == 0;
    note(std::string("minimise the main window") + (sent ? " (ShowWindow, sent)" : " (system command, posted)"));
    if (sent) {
        if (!showWindowFromOutside(w_.main, SW_MINIMIZE)) return fault(FaultKind::Hang, "ShowWindow(SW_MINIMIZE) was not served within a minute");
    } else {
        PostMessageW(w_.main, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    }
    // A voice-print run holds the thread that handles the system command.
    if (!waitFor([&] { return IsIconic(w_.main) != FALSE; }, 60000))
        return fault(FaultKind::Hang, "the main window did not minimise within a minute");
    minimised_ = true;
    minimisedSteps_ = 0;
}

void Soak::restore()
{
    const bool sent = step_ % 2 == 1;
    note(std::string("restore the main window") + (sent ? " (ShowWindow, sent)" : " (system command, posted)"));
    if (sent) {
        if (!showWindowFromOutside(w_.main, SW_RESTORE)) return fault(FaultKind::Hang, "ShowWindow(SW_RESTORE) was not served within a minute");
    } else {
        PostMessageW(w_.main, WM_SYSCOMMAND, SC_RESTORE, 0);
    }
    if (!waitFor([&] { return IsIconic(w_.main) == FALSE; }, 60000))
        return fault(FaultKind::Hang, "the main window did not come back within a minute");
    minimised_ = false;
}

void Soak::aboutBox(std::mt19937_64& rng)
{
    const bool byAccelerator = uniform(rng, 0, 1) == 0;
    const DWORD readFor = static_cast<DWORD>(uniform(rng, 100, 1500));
    note(std::string("about box") + (byAccelerator ? " (Alt+?)" : " (menu)"));
    if (byAccelerator)
        pressAltAccelerator(w_.main, L'?');
    else
        postCommand(w_.main, IDM_ABOUT);
    HWND about = nullptr;
    if (!waitFor([&] { return (about = findTopWindow(app_->pid(), L"#32770", aboutTitle)) && IsWindowVisible(about); },
                 60000))
        return fault(FaultKind::Other, "the about box did not open within a minute");
    if (humanSpeed_) Sleep(readFor);
    PostMessageW(GetDlgItem(about, IDOK), BM_CLICK, 0, 0);
    if (!waitFor([&] { return !IsWindow(about); }, 10000)) fault(FaultKind::Hang, "the about box would not close");
}

void Soak::pause(std::mt19937_64& rng)
{
    const DWORD ms = static_cast<DWORD>(humanSpeed_ ? uniform(rng, 300, 3000) : uniform(rng, 0, 200));
    note("wait " + std::to_string(ms) + " ms");
    Sleep(ms);
}

}  // namespace soak
