// Command 32800: the sound as a canonical .wav file, in its own format.
//
// Nothing is lost on a failed save: the file is written whole to a fresh
// temporary file in the target's folder, flushed and closed, and only then
// moved over the target in one step. A full disk, a target that another
// program holds, or a folder that has gone leave the old file as it was (and
// the sound is only ever read).
#include "win/panel/PanelCommands.h"

#include <cstdio>
#include <string>

#include "core/base/CommandIds.h"
#include "core/panel/SelectionState.h"
#include "win/base/SoundAndEngines.h"
#include "win/base/ScopedWin.h"
#include "win/base/StatusLine.h"
#include "core/audio/SoundBuffer.h"
#include "core/audio/WavWriter.h"
#include "win/panel/WavFileDialog.h"

namespace {

// Where the sound in theSound came from, for the name the dialog proposes.
struct SoundOrigin {
    bool fromFile = false;
    std::wstring path;        // the file, when fromFile
    SYSTEMTIME recordedAt{};  // local time, when recorded
};
SoundOrigin origin;

// The save dialog runs a message loop, so a second 32800 could arrive while
// the first one still asks for a name.
bool saveUnderWay = false;

bool writeAll(HANDLE file, const uint8_t* bytes, uint64_t size)
{
    // WriteFile takes a 32-bit count; large pieces keep the call count low.
    constexpr DWORD piece = DWORD{1} << 24;
    while (size > 0) {
        const DWORD chunk = size > piece ? piece : static_cast<DWORD>(size);
        DWORD written = 0;
        if (!WriteFile(file, bytes, chunk, &written, nullptr) || written != chunk) return false;
        bytes += chunk;
        size -= chunk;
    }
    return true;
}

bool writeSoundFile(const wchar_t* path, const WavFilePlan& plan)
{
    ScopedHandle file(fileOrNull(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
    if (!file) return false;
    const uint8_t pad = 0;
    if (!writeAll(file.get(), plan.header.data(), plan.header.size())) return false;
    if (!writeAll(file.get(), theSound.data, plan.dataBytes)) return false;
    if (plan.padByte && !writeAll(file.get(), &pad, 1)) return false;
    // On the disk before the rename makes it the target.
    if (!FlushFileBuffers(file.get())) return false;
    // Closing is the last write's last chance to fail.
    return CloseHandle(file.release()) != 0;
}

std::wstring folderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

// A target that another program holds open without sharing it could not be
// replaced at the end; finding that out first spares writing the file.
bool targetReplaceable(const wchar_t* path)
{
    HANDLE probe = CreateFileW(path, DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (probe != INVALID_HANDLE_VALUE) {
        CloseHandle(probe);
        return true;
    }
    return GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool saveSoundTo(const wchar_t* target)
{
    WavFilePlan plan;
    if (!planWavFile(theSound.format, theSound.dataSize, plan)) return false;
    if (!targetReplaceable(target)) return false;

    // In the target's folder, so that the final move is a rename on one disk.
    wchar_t temporary[MAX_PATH];
    if (!GetTempFileNameW(folderOf(target).c_str(), L"kel", 0, temporary)) return false;
    const bool saved = writeSoundFile(temporary, plan) &&
                       MoveFileExW(temporary, target, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!saved) DeleteFileW(temporary);
    return saved;
}

// The name the dialog proposes, and the folder it opens in ("" for the
// dialog's own choice).
void proposedName(wchar_t (&name)[wavPathCapacity], std::wstring& folder)
{
    name[0] = L'\0';
    folder.clear();
    if (origin.fromFile) {
        const size_t slash = origin.path.find_last_of(L"\\/");
        const std::wstring file = slash == std::wstring::npos ? origin.path : origin.path.substr(slash + 1);
        if (slash != std::wstring::npos) folder = origin.path.substr(0, slash + 1);
        if (file.size() < wavPathCapacity) lstrcpynW(name, file.c_str(), wavPathCapacity);
        return;
    }
    const SYSTEMTIME& t = origin.recordedAt;
    std::swprintf(name, wavPathCapacity, L"recording-%04u%02u%02u-%02u%02u%02u.wav", unsigned{t.wYear},
                  unsigned{t.wMonth}, unsigned{t.wDay}, unsigned{t.wHour}, unsigned{t.wMinute}, unsigned{t.wSecond});
}

// Shows the save dialog; true with the chosen path in `path`.
bool askForTarget(wchar_t (&path)[wavPathCapacity])
{
    std::wstring folder;
    proposedName(path, folder);
    // The title set rather than left to the system, so it reads the same in
    // every locale. No OFN_PATHMUSTEXIST: a folder that is not there gets our
    // own message.
    return askForWavPath(WavDialog::Save, path, L"名前を付けて保存",
                         OFN_OVERWRITEPROMPT | OFN_HIDEREADONLY | OFN_NOREADONLYRETURN,
                         folder.empty() ? nullptr : folder.c_str());
}

}  // namespace

void noteSoundFromFile(const wchar_t* path)
{
    origin.fromFile = true;
    origin.path = path;
}

void noteSoundRecorded()
{
    origin.fromFile = false;
    origin.path.clear();
    GetLocalTime(&origin.recordedAt);
}

bool soundSavable()
{
    return !saveUnderWay && theSound.ready.load() == 1 && activityState.load() == ActivityIdle && !workerRunning();
}

void saveSoundFile(HWND)
{
    if (!soundSavable()) {
        setStatus(L"Save A File...Busy.");
        return;
    }
    saveUnderWay = true;
    setStatus(L"Save A File...");

    // The dialog's message loop may start a player, a recorder, a voice
    // print or a load meanwhile; what is saved must be what was asked for.
    const uint8_t* asked = theSound.data;
    wchar_t path[wavPathCapacity];
    if (!askForTarget(path)) {
        setStatus(L"Save A File...Done.");
        saveUnderWay = false;
        return;
    }
    saveUnderWay = false;
    if (!soundSavable() || theSound.data != asked) {
        setStatus(L"Save A File...Busy.");
        return;
    }

    if (saveSoundTo(path)) {
        noteSoundFromFile(path);
        setStatus(L"Save A File...Done.");
    } else {
        setStatus(L"Save A File...Failed.");
        MessageBoxW(nullptr, L"ファイルの保存に失敗しました。", L"!", MB_OK);
    }
}
