// Command 32771: choose a sound file, read it, have it decoded into the one
// SoundBuffer, then bring the waveform view and the panel up to date.
// A path named on the command line or dropped on the window is opened the
// same way, without the dialog.
//
// What a file is, is told by its first bytes, not by its name. A RIFF/WAVE
// file is read into memory and handed to loadWav, which builds the new sound
// beside the old one (adopting the file's block as its data when the sample
// bytes are kept as they are); an AIFF file goes to the AIFF reader (plain
// PCM, which Wine's decoders sometimes hang on); every other file goes to
// the system's decoders (win/audio/SystemDecoding.h) on a thread of its own,
// since an hour of MP3 takes a while. Either way the new sound is swapped in only
// when it decoded, so a file that cannot be opened, read or decoded leaves
// the previous sound, its views and the selection exactly as they were.
#include "win/panel/PanelCommands.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "core/base/CommandIds.h"
#include "core/base/PathNames.h"
#include "core/base/TwoHalves.h"
#include "win/base/FrameHandshake.h"
#include "core/panel/Activity.h"
#include "win/base/WindowRegistry.h"
#include "win/base/SoundAndEngines.h"
#include "win/base/ScopedWin.h"
#include "win/base/StatusLine.h"
#include "core/audio/SoundBuffer.h"
#include "core/audio/WavFile.h"
#include "win/panel/ControlWrapper.h"
#include "win/base/FileDialog.h"
#include "win/audio/SystemDecoding.h"
#include "core/audio/DecodedSound.h"
#include "core/audio/AiffFile.h"

namespace {

using LoadClock = std::chrono::steady_clock;

int64_t microsecondsSince(LoadClock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::microseconds>(LoadClock::now() - start).count();
}

// What the last load spent on each phase (MSG_LOAD_TIMES): reading the
// file's bytes, decoding them into the sound, and the waveform view's
// drawing of it; and what the last refresh of the views spent on the latter.
int64_t loadPhaseMicros[3] = {0, 0, 0};
int64_t lastWaveformMicros = 0;

// Replacing the sound frees the blocks that a player, a recorder or a run
// reads; the load must wait until none of them is busy.
bool soundInUse()
{
    return !activity().soundFree() || workerRunning();
}

// A load is under way from its dialog to its end: the open dialog runs a
// message loop, and the waits below serve sent messages, so a second 32771
// could arrive in the middle of the first (Activity.h refuses it).
bool mayLoad()
{
    return activity().mayStart(Command::Load) == Answer::Start && !workerRunning();
}
void loadBegins() { activity().dialogOpened(ActivityOwner::Dialog::Load); }
void loadEnds() { activity().dialogClosed(ActivityOwner::Dialog::Load); }

struct FileBytes {
    std::unique_ptr<uint8_t[]> bytes;
    size_t size = 0;
};

// Writes to every page of [from, from + size) once.
void touchPages(uint8_t* from, size_t size)
{
    constexpr size_t pageBytes = 4096;
    volatile uint8_t* const page = from;
    for (size_t at = 0; at < size; at += pageBytes) page[at] = 0;
}

// From this size on, a second thread touches the second half.
constexpr size_t twoThreadTouchBytes = size_t{4} << 20;

// Has every page of a fresh block touched before the file is read into it.
// Under Wine, ReadFile into pages never touched costs about twice what
// touching them first and then reading does (measured for 53 MB: 45-100 ms
// against 25-28 ms with two threads touching).
void touchBlock(uint8_t* block, size_t size)
{
    inTwoHalves(size, twoThreadTouchBytes,
                [block](int, size_t from, size_t to) { touchPages(block + from, to - from); });
}

// Reads the whole file. False when it cannot be opened, its size read, it is
// larger than a sound can be (4 GiB), memory for it cannot be had, or a read
// fails. A file that shrinks while it is read yields what was there.
bool readWholeFile(const wchar_t* path, FileBytes& out)
{
    // Any path the system takes, however deep its folder; shared every way,
    // so that a recorder that keeps its file open while it writes does not
    // keep us from reading what it has written so far.
    const std::wstring openable = extendedLengthPath(path);
    ScopedHandle file(fileOrNull(CreateFileW(openable.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) return false;

    LARGE_INTEGER fileSize;
    if (!GetFileSizeEx(file.get(), &fileSize)) return false;
    if (fileSize.QuadPart < 0 || static_cast<uint64_t>(fileSize.QuadPart) > (uint64_t{1} << 32)) return false;
    const size_t size = static_cast<size_t>(fileSize.QuadPart);

    std::unique_ptr<uint8_t[]> bytes(new (std::nothrow) uint8_t[size == 0 ? 1 : size]);
    if (!bytes) return false;
    touchBlock(bytes.get(), size);

    // ReadFile takes a 32-bit count and may return less than asked for.
    size_t done = 0;
    while (done < size) {
        const size_t left = size - done;
        const DWORD chunk = left > (DWORD{1} << 30) ? (DWORD{1} << 30) : static_cast<DWORD>(left);
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.get() + done, chunk, &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    out.bytes = std::move(bytes);
    out.size = done;
    return true;
}

// Shows the open-file dialog; Chosen with the chosen path in `path`.
DialogEnd askForFile(std::wstring& path)
{
    path.clear();
    return askForFileToOpen(soundFiles, path, L"ファイルを開く", OFN_FILEMUSTEXIST | OFN_HIDEREADONLY);
}

enum class FileKind { Unreadable, Wav, Aiff, Other };

// Opens the file as the whole read will (so a file locked against reading
// is refused here) and looks at its first bytes.
FileKind kindOfFile(const wchar_t* path)
{
    const std::wstring openable = extendedLengthPath(path);
    ScopedHandle file(fileOrNull(CreateFileW(openable.c_str(), GENERIC_READ,
                                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) return FileKind::Unreadable;
    uint8_t head[bytesToTellWav] = {};
    DWORD got = 0;
    if (!ReadFile(file.get(), head, sizeof head, &got, nullptr)) return FileKind::Unreadable;
    if (readsAsWav(head, got)) return FileKind::Wav;
    return looksLikeAiff(head, got) ? FileKind::Aiff : FileKind::Other;
}

// The decode of a file for the system's decoders, on a thread of its own; the
// staging sound becomes the program's only once it is complete.
struct SystemDecode {
    std::wstring path;
    SoundBuffer sound;
    DecodeProgress progress;
    bool decoded = false;
};

DWORD WINAPI systemDecodeThread(void* parameter)
{
    auto* job = static_cast<SystemDecode*>(parameter);
    job->decoded = decodeWithSystem(job->path.c_str(), job->sound, &job->progress);
    return 0;
}

// How often the status line's percentage is brought up to date.
constexpr DWORD progressTickMs = 100;

// Runs the decode and waits for it. Meanwhile the window stays alive: sent
// messages (the views', a test's questions) are served, and paints and
// timers are dispatched, so the panel redraws and shows "Open A File...43 %".
// Input and posted commands wait in the queue until the load is over, as
// they do during any load, so nothing can play, record, draw or open
// another file while the sound is about to be replaced.
bool decodeShowingProgress(SystemDecode& job)
{
    HANDLE thread = CreateThread(nullptr, 0, systemDecodeThread, &job, 0, nullptr);
    if (!thread) return false;
    int shown = -1;
    for (;;) {
        const int percent = job.progress.percent.load();
        if (percent != shown) {
            shown = percent;
            setStatus((L"Open A File..." + std::to_wstring(percent) + L" %").c_str());
        }
        const DWORD woken =
            MsgWaitForMultipleObjects(1, &thread, FALSE, progressTickMs, QS_SENDMESSAGE | QS_PAINT | QS_TIMER);
        if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) break;  // the decode thread has ended
        MSG msg;
        // Each Peek also delivers the messages sent to this thread.
        while (PeekMessageW(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageW(&msg);
        while (PeekMessageW(&msg, nullptr, WM_TIMER, WM_TIMER, PM_REMOVE)) DispatchMessageW(&msg);
    }
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
    return job.decoded;
}

bool loadOtherSoundFile(const wchar_t* path)
{
    // The staging sound is large (its column extents) and lives only for the load.
    std::unique_ptr<SystemDecode> job(new (std::nothrow) SystemDecode);
    if (!job) return false;
    job->path = path;
    const LoadClock::time_point decodeStart = LoadClock::now();
    const bool decoded = decodeShowingProgress(*job);
    loadPhaseMicros[1] = microsecondsSince(decodeStart);
    if (!decoded) return false;
    theSound.takeFrom(job->sound);
    theSound.ready = 1;
    noteSoundFromFile(path);
    return true;
}

void reportOpenFailure()
{
    MessageBoxW(nullptr, L"ファイルオープンに失敗しました。", L"!", MB_OK);
}

bool loadSoundFile(const wchar_t* path)
{
    const FileKind kind = kindOfFile(path);
    if (kind == FileKind::Unreadable) return false;
    if (kind == FileKind::Other) return loadOtherSoundFile(path);
    if (kind == FileKind::Aiff) {
        FileBytes file;
        if (!readWholeFile(path, file) || !loadAiff(theSound, file.bytes.get(), file.size)) return false;
        noteSoundFromFile(path);
        return true;
    }
    FileBytes file;
    const LoadClock::time_point readStart = LoadClock::now();
    const bool read = readWholeFile(path, file);
    loadPhaseMicros[0] = microsecondsSince(readStart);
    if (!read) return false;
    const LoadClock::time_point decodeStart = LoadClock::now();
    // The sound may adopt the file's block as its data rather than copy it.
    const bool decoded = loadWav(theSound, file.bytes, file.size);
    loadPhaseMicros[1] = microsecondsSince(decodeStart);
    if (!decoded) return false;
    noteSoundFromFile(path);
    return true;
}

void refuseBusy()
{
    setStatus(busyText(Command::Load));
}

}  // namespace

void refreshViewsFromSound(HWND panel, bool soundIsNew)
{
    // What the voice print and the spectrum show, and the numbers kept for
    // the readout and the export, belong to the sound before: they go (sent,
    // so that an export chosen right after finds nothing to write).
    if (soundIsNew) {
        for (HWND view : {voicePrintWindow.load(), spectrumWindow.load()})
            if (view && IsWindow(view)) SendMessageW(view, WM_COMMAND, MAKEWPARAM(CMD_FORGET_ANALYSIS, 0), 0);
    }
    HANDLE waveformDrawn = waveformDoneEvent;
    HWND wave = waveWindow;
    // Without the waveform view nobody would ever signal the event again.
    const bool viewThere = wave && IsWindow(wave);
    if (viewThere && waveformDrawn) ResetEvent(waveformDrawn);
    // The view signals the event before it answers the sent command, so the
    // waveform's time ends when SendMessageW returns.
    const LoadClock::time_point handedOver = LoadClock::now();
    if (viewThere)
        SendMessageW(wave, WM_COMMAND, MAKEWPARAM(CMD_NEW_SOUND, 0), reinterpret_cast<LPARAM>(&theSound));
    lastWaveformMicros = microsecondsSince(handedOver);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(CMD_REFRESH, 0), static_cast<LPARAM>(RefreshKind::AfterNewSound));
    if (viewThere) waitServingSentMessages(waveformDrawn);
}

namespace {

// Loads `path` over the current sound (which stays on a failure) and shows
// it; true when the file was loaded.
bool loadAndShow(HWND panel, const wchar_t* path, bool tellFailure = true)
{
    loadPhaseMicros[0] = loadPhaseMicros[1] = loadPhaseMicros[2] = 0;
    const bool loaded = loadSoundFile(path);
    if (!loaded && tellFailure) reportOpenFailure();
    if (loaded)
        noteFileOpened(path);
    else
        noteOpenFailed(path);
    panelControls::fileNameEdit.setText(path);
    // After a failure this redraws the unchanged sound, which is harmless;
    // with no sound yet it would give the empty waveform a sound's time
    // labels.
    if (loaded || theSound.ready.load() == 1) refreshViewsFromSound(panel, loaded);
    loadPhaseMicros[2] = lastWaveformMicros;
    return loaded;
}

// The path handed over with CMD_OPEN_PATH, and whether to draw after it.
std::wstring pathToOpen;
bool drawAfterOpen = false;

// The load's start, shared by every way of opening: refused while busy,
// then the unsaved recording's question. True when the load goes on (and
// must end with loadEnds).
bool beginLoad(HWND panel)
{
    if (!mayLoad()) {
        refuseBusy();
        return false;
    }
    loadBegins();
    if (!mayLeaveTheSound(panel)) {
        loadEnds();
        return false;
    }
    return true;
}

}  // namespace

void openSoundFile(HWND panel)
{
    // The question comes before the dialog, as Windows programs ask: the
    // answer may be to save first, and a load must not wait behind a second
    // dialog.
    if (!beginLoad(panel)) return;
    setStatus(L"Open A File...");

    std::wstring path;
    const DialogEnd chosen = askForFile(path);
    if (chosen == DialogEnd::Chosen) {
        // The dialog's message loop may have started a player, a recorder or
        // a voice print meanwhile.
        if (soundInUse()) {
            refuseBusy();
            loadEnds();
            return;
        }
        loadAndShow(panel, path.c_str());
    } else if (chosen == DialogEnd::Failed) {
        reportOpenFailure();
    }

    setStatus(L"Open A File...Done.");
    loadEnds();
}

bool readSoundFile(const wchar_t* path, SoundBuffer& target)
{
    const FileKind kind = kindOfFile(path);
    if (kind == FileKind::Unreadable) return false;
    if (kind == FileKind::Other) return decodeWithSystem(path, target);
    FileBytes file;
    if (!readWholeFile(path, file)) return false;
    if (kind == FileKind::Aiff) return loadAiff(target, file.bytes.get(), file.size);
    return loadWav(target, file.bytes, file.size);
}

int64_t lastLoadMicroseconds(int phase)
{
    return phase >= 0 && phase < 3 ? loadPhaseMicros[phase] : 0;
}

void requestOpenPath(const std::wstring& path, bool thenDraw)
{
    pathToOpen = path;
    drawAfterOpen = thenDraw;
    PostMessageW(controlPanel.load(), WM_COMMAND, MAKEWPARAM(CMD_OPEN_PATH, 0), 0);
}

void openRequestedPath(HWND panel)
{
    // Until the display thread has made the views (it posts this command
    // again then), the path waits.
    if (!voicePrintWindow.load()) return;
    const std::wstring path = pathToOpen;
    const bool thenDraw = drawAfterOpen;
    pathToOpen.clear();
    drawAfterOpen = false;
    if (path.empty() || !beginLoad(panel)) return;
    // The question's message loop may have started a player meanwhile.
    if (soundInUse()) {
        refuseBusy();
        loadEnds();
        return;
    }
    setStatus(L"Open A File...");
    const bool loaded = loadAndShow(panel, path.c_str());
    setStatus(L"Open A File...Done.");
    loadEnds();
    // As if "描画" were pressed right after the open, on the selection the
    // load left.
    if (loaded && thenDraw) PostMessageW(panel, WM_COMMAND, MAKEWPARAM(IDC_DRAW, BN_CLICKED), 0);
}

bool openPathQuietly(HWND panel, const std::wstring& path)
{
    if (!mayLoad()) return false;
    loadBegins();
    setStatus(L"Open A File...");
    const bool loaded = loadAndShow(panel, path.c_str(), false);
    setStatus(L"Open A File...Done.");
    loadEnds();
    return loaded;
}
