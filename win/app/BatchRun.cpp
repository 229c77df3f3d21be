// A batch run is the window's own work with nobody at the window: the window
// set is made as always but never shown, the file is opened, the options go
// into the panel's controls, the selection is pressed and released in the
// waveform view and "描画" is pressed, each through the code a person's
// clicks reach; then the pictures are taken as "画像を保存" takes them and
// the numbers as "数値を保存" formats them. So the files hold exactly what
// the window would show and save for the same sound and settings.
//
// Everything is encoded, and every target asked whether it can be written,
// before anything is written; each file is then written whole beside its
// target and moved over it (FileReplacing.h). A run that fails leaves no
// partial file behind, and one refused at the start no file at all.
#include "win/app/BatchRun.h"

#include <windows.h>
#include <shellapi.h>

#include <functional>
#include <string>
#include <vector>

#include "core/audio/SoundBuffer.h"
#include "core/base/CommandIds.h"
#include "core/base/PathNames.h"
#include "core/panel/Parameters.h"
#include "win/app/PictureExport.h"
#include "win/app/WindowPicture.h"
#include "win/base/FileReplacing.h"
#include "win/base/ScopedWin.h"
#include "win/base/SoundAndEngines.h"
#include "win/base/WindowRegistry.h"
#include "win/panel/PanelCommands.h"

namespace {

// Long enough for the slowest step on a loaded machine under Wine; a step
// that takes longer has hung, and the run fails rather than waits forever.
constexpr DWORD stepBoundMs = 60000;

std::string utf8(const std::wstring& text)
{
    if (text.empty()) return {};
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                         nullptr);
    std::string bytes(size > 0 ? size : 0, '\0');
    if (size > 0)
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &bytes[0], size, nullptr, nullptr);
    return bytes;
}

// A console takes the text as it is; a pipe or a file gets UTF-8 with the
// line ends of Windows.
bool writeTo(HANDLE handle, const std::wstring& text)
{
    if (!handle || handle == INVALID_HANDLE_VALUE || GetFileType(handle) == FILE_TYPE_UNKNOWN) return false;
    DWORD mode = 0;
    DWORD written = 0;
    if (GetConsoleMode(handle, &mode))
        return WriteConsoleW(handle, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) != 0;
    std::wstring lines;
    for (wchar_t c : text) {
        if (c == L'\n') lines += L'\r';
        lines += c;
    }
    const std::string bytes = utf8(lines);
    return WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) != 0;
}

// Handles everything waiting for this thread's windows. A quit message is
// left for the message loop.
void handlePending()
{
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Keeps this thread's windows served until `done` holds; false after the bound.
bool serveUntil(const std::function<bool()>& done, HANDLE event = nullptr)
{
    const DWORD start = GetTickCount();
    for (;;) {
        handlePending();
        if (done()) return true;
        const DWORD spent = GetTickCount() - start;
        if (spent >= stepBoundMs) return false;
        const DWORD wait = event ? stepBoundMs - spent : 10;
        MsgWaitForMultipleObjects(event ? 1 : 0, event ? &event : nullptr, FALSE, wait, QS_ALLINPUT);
    }
}

bool eventSet(HANDLE event) { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

// Until both threads have handled all that was posted to their windows: the
// last frame's cursor, the voice print's new axis, the colour scale and the
// readout's new resolution must all be in before the picture is taken. The
// display thread's queue is first in, first out, so a mark posted behind
// them is handled after them.
bool everythingHandled()
{
    for (int round = 0; round < 2; ++round) {
        handlePending();
        ScopedHandle marked(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!marked || !PostMessageW(voicePrintWindow.load(), MSG_QUEUE_MARK, 0, reinterpret_cast<LPARAM>(marked.get())))
            return false;
        if (!serveUntil([&] { return eventSet(marked.get()); }, marked.get())) return false;
    }
    handlePending();
    return true;
}

// A press at `start` and a release at `end` in the waveform view, handled by
// the view as the mouse's are (only their column counts).
void selectInWaveform(const SelectionColumns& selection)
{
    constexpr int anyRow = 64;
    HWND wave = waveWindow.load();
    SendMessageW(wave, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(selection.startColumn, anyRow));
    SendMessageW(wave, WM_LBUTTONUP, 0, MAKELPARAM(selection.endColumn, anyRow));
}

void pressDraw(HWND panel)
{
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(IDC_DRAW, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel, IDC_DRAW)));
}

// The part of `picture` that `window` covers with its client area.
WindowPicture clientPartOf(const WindowPicture& picture, HWND window, HWND root)
{
    RECT r{};
    GetClientRect(window, &r);
    MapWindowPoints(window, root, reinterpret_cast<POINT*>(&r), 2);
    WindowPicture part;
    if (r.left < 0 || r.top < 0 || r.right > picture.width || r.bottom > picture.height || r.right <= r.left ||
        r.bottom <= r.top)
        return part;
    part.width = r.right - r.left;
    part.height = r.bottom - r.top;
    for (int y = r.top; y < r.bottom; ++y) {
        const uint32_t* row = picture.pixels.data() + static_cast<size_t>(y) * picture.width;
        part.pixels.insert(part.pixels.end(), row + r.left, row + r.right);
    }
    return part;
}

struct Output {
    std::wstring path;
    std::vector<uint8_t> bytes;
};

// Whether `target` can be written now: its folder takes a new file and the
// target, if it is there, may be replaced. Asked of every output before the
// first is written, so a run that cannot write one of them writes none.
bool writable(const std::wstring& target)
{
    ScopedHandle existing(fileOrNull(CreateFileW(extendedLengthPath(target).c_str(), DELETE,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!existing && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    // A file of our own beside it, named as the save's temporary is (so a
    // folder of any depth will do), and gone again when closed.
    const std::wstring probe = extendedLengthPath(temporaryNameBeside(target, GetCurrentProcessId(), 0xFFFF));
    ScopedHandle created(fileOrNull(CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                                FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr)));
    return static_cast<bool>(created);
}

int failed(const std::wstring& message)
{
    printForCaller(L"Kelvara: " + message + L"\n", true);
    return batchFailedExitCode;
}

}  // namespace

CommandLine commandLineOfThisProcess()
{
    int count = 0;
    wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::wstring> arguments;
    for (int i = 1; words && i < count; ++i) arguments.emplace_back(words[i]);
    if (words) LocalFree(words);
    return parseCommandLine(arguments);
}

void printForCaller(const std::wstring& text, bool error)
{
    if (writeTo(GetStdHandle(error ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE), text)) return;
    // A program of the windows subsystem started from a console gets no
    // handles of it; it can still write to that console once attached.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    ScopedHandle console(fileOrNull(CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)));
    if (console) writeTo(console.get(), text);
}

std::wstring absolutePath(const std::wstring& path)
{
    const DWORD length = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (length == 0) return path;
    std::wstring full(length, L'\0');
    const DWORD written = GetFullPathNameW(path.c_str(), length, &full[0], nullptr);
    return written > 0 && written < length ? full.substr(0, written) : path;
}

int runBatch(const CommandLine& line)
{
    if (!serveUntil([] { return voicePrintWindow.load() && spectrumWindow.load() && waveWindow.load() && readoutWindow.load(); }))
        return failed(L"the views did not start");
    HWND panel = controlPanel.load();
    HWND main = mainWindow.load();

    // With /remembered the panel already started from the remembered settings
    // (wWinMain); the options are stated over them.
    if (!openPathQuietly(panel, absolutePath(line.path)))
        return failed(L"cannot open " + line.path + L" as a sound");
    applyPanelChoices(panel, line.panel);
    // The overlays as the "表示" menu sets them: its commands, to the main window.
    if (line.overlays.pitch && showPitch.load() != 1) PostMessageW(main, WM_COMMAND, IDM_SHOW_PITCH, 0);
    if (line.overlays.formants && showFormants.load() != 1) PostMessageW(main, WM_COMMAND, IDM_SHOW_FORMANTS, 0);
    if (line.overlays.speaker) {
        const Speaker speaker = *line.overlays.speaker;
        PostMessageW(main, WM_COMMAND,
                     speaker == Speaker::Male    ? IDM_SPEAKER_MALE
                     : speaker == Speaker::Child ? IDM_SPEAKER_CHILD
                                                 : IDM_SPEAKER_FEMALE,
                     0);
    }
    handlePending();

    const SelectionColumns selection = selectionColumns(line, theSound.sampleCount, theSound.rate());
    if (!selection.error.empty()) return failed(selection.error);
    selectInWaveform(selection);
    handlePending();
    pressDraw(panel);
    if (!everythingHandled()) return failed(L"the views did not take the voice print");

    std::vector<Output> outputs;
    const WindowPicture picture = composeClientPicture(main);
    if (picture.empty()) return failed(L"the window's picture could not be composed");
    const auto addPng = [&outputs](const std::wstring& path, const WindowPicture& part) {
        Output output{path, {}};
        if (!pngOfPicture(part, output.bytes)) return false;
        outputs.push_back(std::move(output));
        return true;
    };
    if (!line.pngPath.empty() && !addPng(line.pngPath, picture)) return failed(L"no PNG encoder on this system");
    if (!line.printPath.empty() && !addPng(line.printPath, clientPartOf(picture, voicePrintWindow.load(), main)))
        return failed(L"the voice print's picture could not be encoded");
    if (!line.csvPath.empty()) {
        const std::string text = numbersAsCsv();
        outputs.push_back(Output{line.csvPath, std::vector<uint8_t>(text.begin(), text.end())});
    }

    for (const Output& output : outputs)
        if (!writable(absolutePath(output.path))) return failed(L"cannot write " + output.path);
    for (const Output& output : outputs) {
        const bool written = replaceFile(absolutePath(output.path), [&output](HANDLE file) {
            return writeAllBytes(file, output.bytes.data(), output.bytes.size());
        });
        if (!written) return failed(L"cannot write " + output.path);
    }
    return 0;
}
