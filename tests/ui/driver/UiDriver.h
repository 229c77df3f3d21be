// The UI driver: what every UI test uses to start Kelvara.exe, find its
// windows, work them the way a person would and read back what the person
// would see. Built with MinGW and run under Wine (scripts/wine-run.sh), but it
// uses only documented Win32 calls, so it runs on Windows too.
//
// Everything that waits takes a bound and polls (never a fixed sleep): a
// condition that does not come true within the bound is a test failure, not a
// hang. The default bound is generous because a loaded 2-core machine running
// Wine can take seconds for a first paint.
//
// Facts about Wine that shaped this file (checked on Wine 8):
//  - GetDC of another process's window reads nothing; pixels come from the
//    screen DC, so a captured window must be visible and uncovered.
//  - Accelerators: Wine's TranslateAccelerator matches an ASCII accelerator
//    with Alt on a WM_SYSKEYDOWN whose wParam is the character and whose
//    lParam has the context bit (29); a posted WM_SYSCHAR does not match,
//    because that path asks the thread's key state whether Alt is down.
//  - CreateProcessW of a Unix program (a path like /bin/sh) runs it natively,
//    with the Unix environment, but hands back no process handle: a Unix
//    command's end and exit code can only be seen through a file.
//  - The open-file dialog resets its file-name box while it settles.
#ifndef KELVARA_UI_DRIVER_H
#define KELVARA_UI_DRIVER_H

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

namespace ui {

constexpr DWORD defaultTimeoutMs = 20000;

// ---- Waiting -------------------------------------------------------------

// Polls `condition` every few milliseconds until it is true or `timeoutMs`
// has passed; returns its last value. Serves no messages: the test program
// owns no windows, so nothing waits on it.
bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs = defaultTimeoutMs);
// Seconds on a monotonic clock, for the timings the tests print.
double seconds();

// Blocks until the thread that owns `edit` has handled every message posted
// to its windows before this call. `edit` must be an edit control of that
// thread (the panel's status line serves the user-interface thread); its
// text limit is changed and put back, which nothing in the program reads.
// This is how a test shows that something did NOT happen: post the input,
// then drain, then look.
bool drainPostedMessages(HWND edit, DWORD timeoutMs = defaultTimeoutMs);

// ---- Windows ---------------------------------------------------------------

// Top-level windows of process `pid` with class `className` (and title, when
// given), visible or not.
std::vector<HWND> topWindows(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr);
HWND findTopWindow(DWORD pid, const wchar_t* className, const wchar_t* title = nullptr);
// Direct child of `parent` with the class (nullptr if none).
HWND findChild(HWND parent, const wchar_t* className);
// The child dialog (#32770) of the main window that holds control `controlId`.
HWND findPanel(HWND mainWindow, int controlId = 1023);
std::wstring className(HWND window);
std::wstring windowText(HWND window);   // WM_GETTEXT, works across processes
// The result of `message` sent to `window`; `ok` false (and 0) when the
// window did not answer in time.
LRESULT answerTo(HWND window, UINT message, WPARAM wParam = 0, bool* ok = nullptr);
DWORD processOf(HWND window);

// Rectangles: outer rectangle on the screen; outer rectangle in the client
// coordinates of `reference` (for the views: their place in the main window).
RECT screenRect(HWND window);
RECT rectIn(HWND window, HWND reference);
inline int width(const RECT& r) { return r.right - r.left; }
inline int height(const RECT& r) { return r.bottom - r.top; }

// ---- Controls (by id in a dialog) ------------------------------------------

HWND control(HWND dialog, int id);
std::wstring controlText(HWND dialog, int id);
bool isEnabled(HWND dialog, int id);
bool isChecked(HWND dialog, int id);                 // BM_GETCHECK == BST_CHECKED
int comboSelection(HWND dialog, int id);             // CB_GETCURSEL, -1 without one
std::wstring comboSelectionText(HWND dialog, int id);
std::vector<std::wstring> comboItems(HWND dialog, int id);
int trackBarPosition(HWND dialog, int id);
void trackBarRange(HWND dialog, int id, int& low, int& high);

// Clicks a button (push, check or radio) as the mouse would: BM_CLICK,
// posted. A disabled button ignores it, as it ignores the mouse.
void clickButton(HWND dialog, int id);
// Moves a track bar as a user's drag ending at `position` does: TBM_SETPOS,
// then one WM_HSCROLL with `scrollCode` and the track bar's handle, sent to
// the dialog (it is the dialog's own notification).
void setTrackBar(HWND dialog, int id, int position, int scrollCode = 4 /* TB_THUMBPOSITION */);
// Picks combo item `index` as a user would from the list: CB_SETCURSEL,
// then CBN_SELCHANGE posted to the dialog with the combo's handle.
void selectComboItem(HWND dialog, int id, int index);

// ---- Commands, keys and the mouse -------------------------------------------

void postCommand(HWND window, int id, LPARAM lParam = 0);
LRESULT sendCommand(HWND window, int id, LPARAM lParam = 0);
// Alt+<character> as Wine's TranslateAccelerator sees a key-down: posted
// WM_SYSKEYDOWN (character in wParam, context bit set) to `target`, then the
// key-up. The accelerator command goes to `target`, as on Windows it goes to
// the window that has the focus.
void pressAltAccelerator(HWND target, wchar_t character);
// Real key strokes, through SendInput to the window with the focus: the
// modifiers down, `vk` down and up, the modifiers up.
void press(WORD vk, std::initializer_list<WORD> modifiers = {});

// Mouse messages at client point (x, y): lParam from x and y, wParam the key
// state (MK_LBUTTON while the left button is down). Posted.
void postMouse(HWND window, UINT message, int x, int y, WPARAM keys = 0);
void click(HWND window, int x, int y);                 // down, up
// The mouse brought to client point (x, y) of `window` without a button:
// the pointer itself moves there (so the window is not told at once that
// the mouse has left it), and a WM_MOUSEMOVE is posted for that point.
void hover(HWND window, int x, int y);
// Left button down at (x0,y0), `steps` moves to (x1,y1), up there.
void drag(HWND window, int x0, int y0, int x1, int y1, int steps = 8);

// ---- Pixels ---------------------------------------------------------------

struct Rgb {
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb& o) const { return r == o.r && g == o.g && b == o.b; }
    bool operator!=(const Rgb& o) const { return !(*this == o); }
};
std::ostream& operator<<(std::ostream& out, const Rgb& c);

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // 0x00RRGGBB, row 0 at the top
    Rgb at(int x, int y) const;
    bool empty() const { return pixels.empty(); }
    int count(const Rgb& color) const;
    // A 24-bit .bmp, for looking at a failing test's picture.
    bool saveBmp(const std::wstring& path) const;
};

// The client area of `window` as it is on the screen now.
Image captureClient(HWND window);
// A rectangle of the screen.
Image captureScreen(const RECT& screenRectangle);
// A 32-bit top-down DIB section of `width` x `height` for `dc`, its pixels at
// *bits, to draw a picture into and read it back with imageOfTopDown32.
HBITMAP createTopDown32(HDC dc, int width, int height, void** bits);
Image imageOfTopDown32(const void* bits, int width, int height);
// The clipboard's CF_DIB, drawn by Windows into a 32-bit bitmap (empty when
// there is none or the clipboard cannot be opened).
Image clipboardPicture();

// ---- Dialogs of the program ------------------------------------------------

// A message box: a #32770 of the process holding a static 0xFFFF.
HWND findMessageBox(DWORD pid);
HWND waitForMessageBox(DWORD pid, DWORD timeoutMs = defaultTimeoutMs);
std::wstring messageBoxText(HWND box);
// The window's thread answers a sent message within `timeoutMs`.
bool answers(HWND window, DWORD timeoutMs = 5000);

// Presses its OK (or only) button; true once the box is gone.
bool dismissMessageBox(HWND box, DWORD timeoutMs = defaultTimeoutMs);

// Waits for the open-file dialog ("ファイルを開く") of `pid`, types `path`
// into its file-name box and presses Open. True once the dialog is gone.
// With `openPressedAt`, the moment (seconds()) Open was last pressed.
bool chooseFileInOpenDialog(DWORD pid, const std::wstring& path, DWORD timeoutMs = defaultTimeoutMs,
                            double* openPressedAt = nullptr);
// Waits for the open-file dialog and cancels it.
bool cancelOpenDialog(DWORD pid, DWORD timeoutMs = defaultTimeoutMs);

// ---- The program ------------------------------------------------------------

// Kelvara's windows, found by class.
struct KelvaraWindows {
    HWND main = nullptr;         // MainWindow
    HWND panel = nullptr;        // #32770 child holding control 1023
    HWND wave = nullptr;         // WaveDraw
    HWND spectrum = nullptr;     // SPECTRAMDraw
    HWND voicePrint = nullptr;   // SPECTDraw
    HWND winFunc = nullptr;      // WinFunc
    HWND colorSample = nullptr;  // ColorSample
    bool complete() const;
};

// One running Kelvara.exe. The process is put in a job that kills it when
// the job handle closes, so even a test program that crashes leaves no
// Kelvara behind to cover the next test's windows.
class KelvaraProcess {
public:
    KelvaraProcess() = default;
    ~KelvaraProcess();
    KelvaraProcess(const KelvaraProcess&) = delete;
    KelvaraProcess& operator=(const KelvaraProcess&) = delete;

    // Starts the program at `exePath`; by default the one named by env
    // KELVARA_EXE (a Unix path is turned into its Windows name), or else the
    // Kelvara.exe beside the test program. `arguments` follow the quoted
    // program name and `/defaults` on its command line: a clean start that
    // neither reads nor writes the remembered settings. False if it could
    // not start.
    bool launch(const std::wstring& exePath = L"", const std::wstring& arguments = L"");
    // launch() without `/defaults`: the program starts from the settings
    // remembered under HKEY_CURRENT_USER\Software\Kelvara and keeps them.
    bool launchRemembering(const std::wstring& arguments = L"");
    // launch() with one test hook (a KELVARA_TEST_* variable) set in the
    // program's environment; this process's own goes back to unset.
    bool launchWithHook(const wchar_t* variable, const wchar_t* value);
    // Waits until every window of the program exists and is visible.
    bool waitForWindows(DWORD timeoutMs = defaultTimeoutMs);
    const KelvaraWindows& windows() const { return windows_; }
    DWORD pid() const { return pid_; }
    HANDLE handle() const { return process_; }
    bool running() const;
    // WM_CLOSE to the main window, posted (the close box).
    void requestClose();
    // Waits for the process to end; true with its exit code if it did.
    bool waitForExit(DWORD& exitCode, DWORD timeoutMs = defaultTimeoutMs);
    // Ends it at once if it is still running (the teardown's last resort).
    void kill();

private:
    bool start(const std::wstring& exePath, const std::wstring& arguments);
    HANDLE process_ = nullptr;
    HANDLE job_ = nullptr;
    DWORD pid_ = 0;
    KelvaraWindows windows_;
};

// Kelvara.exe run to its end as a script runs it (a batch run, /?): its
// standard output and error go to files of the test's folder and are read
// back whole, as bytes. `ended` is false when it had not ended within the
// bound (it is then killed).
struct FinishedRun {
    bool ended = false;
    DWORD exitCode = 0;
    std::string out, err;
    double seconds = 0;  // from the start of the process to its end
};
FinishedRun runKelvaraToEnd(const std::wstring& arguments, DWORD timeoutMs = 60000);

// A test that starts with Kelvara running and all its windows present, and
// ends with no Kelvara left: TearDown asks it to close and kills it if it
// has not gone within a few seconds.
class KelvaraSession : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // The status line of w.panel and the wait for a text in it (UserSteps.h).
    std::wstring status();
    bool waitForStatus(const std::wstring& text, DWORD timeoutMs = defaultTimeoutMs);
    KelvaraProcess app;
    KelvaraWindows w;  // app.windows(), for short
};

// ---- Files --------------------------------------------------------------------

// A folder of this test program's own, made on first use and removed with
// its files when the program exits. Ends with a backslash.
const std::wstring& tempFolder();
// Writes `bytes` to tempFolder() + name; returns the full path.
std::wstring writeTempFile(const std::wstring& name, const std::vector<uint8_t>& bytes);
// writeTempFile of a canonical 44-byte-header PCM .wav from interleaved
// samples (wavbytes::pcm16File, pcm8File in tests/support/WavBytes.h).
std::wstring writeWav16(const std::wstring& name, int sampleRate, int channels, const std::vector<int16_t>& samples);
std::wstring writeWav8(const std::wstring& name, int sampleRate, int channels, const std::vector<uint8_t>& samples);
// A sine of `hz`, amplitude on the signed 16-bit scale, rounded to nearest.
std::vector<int16_t> tone(double hz, int sampleRate, double seconds, double amplitude = 16000.0);
// The same sound as unsigned 8-bit samples (s / 256 + 128).
std::vector<uint8_t> toEightBit(const std::vector<int16_t>& samples);
// Interleaves two mono sounds of the same length into a stereo one.
std::vector<int16_t> interleave(const std::vector<int16_t>& left, const std::vector<int16_t>& right);
// A sine of `hz` whose amplitude rises linearly from 0 to `peak` over
// `toneSeconds`, followed by `silenceSeconds` of zeros: every waveform column
// has its own height, so a trace drawn at the wrong place or scale shows.
std::vector<int16_t> risingTone(double hz, int rate, double toneSeconds, double silenceSeconds, double peak);
// Concatenation of sounds.
std::vector<int16_t> joined(const std::vector<int16_t>& a, const std::vector<int16_t>& b);

// Conversions for paths and messages.
std::wstring widen(const std::string& utf8);
// "%.1f": how the panel's edit boxes show their figures.
std::wstring oneDecimal(double value);
std::string narrow(const std::wstring& text);
// The Windows name of a Unix path (Wine's Z: drive), and back. Paths that
// are already Windows paths come back unchanged.
std::wstring windowsPath(const std::string& unixPath);
std::string unixPath(const std::wstring& windowsPath);
std::string environment(const char* name);  // "" when unset

// ---- The Unix side ----------------------------------------------------------

// Runs `command` with /bin/sh on the Unix side of Wine (with the test's
// environment, so $KELVARA_PULSE_CTL and friends are there) and waits for
// it. Returns its exit code, or -1 if it could not start or did not end
// within the bound. Its stdout and stderr go to `output` when given.
// Not under Wine, returns -1 and runs nothing.
//
// Wine hands back no process handle for a Unix program, so the command runs
// inside a small script that writes its exit code to a file, and this waits
// for that file.
int runUnixCommand(const std::string& command, std::string* output = nullptr,
                   DWORD timeoutMs = defaultTimeoutMs);
// `text` in single quotes for the shell, its own single quotes escaped.
std::string shellQuote(const std::string& text);
// The null sink the session plays into and records from ($KELVARA_SINK).
std::string sinkName();

// A Unix program started in the background (paplay, parecord); it is ended
// by its own pid, at the latest when this goes.
class BackgroundCommand {
public:
    explicit BackgroundCommand(const std::string& tag);  // names its pid file
    ~BackgroundCommand() { stop(); }
    BackgroundCommand(const BackgroundCommand&) = delete;
    BackgroundCommand& operator=(const BackgroundCommand&) = delete;
    bool start(const std::string& command);
    // Ends the program and waits until it has gone (so a capture file is
    // complete when this returns).
    void stop();

private:
    std::string pidFile_;
    bool started_ = false;
};

// Stops or starts the session's private PulseAudio server (scripts/headless.sh
// exports KELVARA_PULSE_CTL). Returns the control script's exit code, -1
// when there is no session sound server.
int soundServer(const char* action);  // "stop" or "start"

}  // namespace ui

#endif
