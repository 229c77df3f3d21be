#include "win/base/FileReplacing.h"

#include <cstdint>

#include "core/base/PathNames.h"
#include "win/base/ScopedWin.h"

namespace {

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

// Tries at a fresh temporary name before the save gives up: another name
// is only needed when a file of that name is there already.
constexpr uint32_t temporaryAttempts = 16;
// Counts the temporary names this process has used, so no two saves of one
// run try the same name.
uint32_t temporarySerial = 0;

// Creates a temporary file of its own beside `target`: `path` gets its name
// (in the form the file functions take at any length). Never one that is
// there already, which belongs to somebody else.
HANDLE createTemporary(const std::wstring& target, std::wstring& path)
{
    for (uint32_t attempt = 0; attempt < temporaryAttempts; ++attempt) {
        path = extendedLengthPath(temporaryNameBeside(target, GetCurrentProcessId(), temporarySerial++));
        HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) return file;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    return INVALID_HANDLE_VALUE;
}

bool writeTemporary(HANDLE created, const std::function<bool(HANDLE)>& write)
{
    ScopedHandle file(fileOrNull(created));
    if (!file || !write(file.get())) return false;
    // On the disk before the move makes it the target; a full disk may only
    // say so here.
    if (!FlushFileBuffers(file.get())) return false;
    // Closing is the last write's last chance to fail.
    return CloseHandle(file.release()) != 0;
}

}  // namespace

bool writeAllBytes(HANDLE file, const uint8_t* bytes, uint64_t size)
{
    // Large pieces keep the call count low.
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

bool replaceFile(const std::wstring& target, const std::function<bool(HANDLE file)>& write)
{
    // Any path the system takes, however deep its folder.
    const std::wstring destination = extendedLengthPath(target);
    if (!targetReplaceable(destination.c_str())) return false;
    // In the target's folder, so that the final move is a rename on one disk.
    // The name is made here: GetTempFileNameW refuses folders longer than
    // MAX_PATH less 14 characters.
    std::wstring temporary;
    HANDLE created = createTemporary(target, temporary);
    if (created == INVALID_HANDLE_VALUE) return false;
    const bool saved =
        writeTemporary(created, write) &&
        MoveFileExW(temporary.c_str(), destination.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!saved) DeleteFileW(temporary.c_str());
    return saved;
}
