#include "win/base/FileReplacing.h"

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

bool writeTemporary(const wchar_t* path, const std::function<bool(HANDLE)>& write)
{
    ScopedHandle file(fileOrNull(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
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

std::wstring folderOf(const std::wstring& path)
{
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash + 1);
}

bool replaceFile(const std::wstring& target, const std::function<bool(HANDLE file)>& write)
{
    if (!targetReplaceable(target.c_str())) return false;
    // In the target's folder, so that the final move is a rename on one disk.
    wchar_t temporary[MAX_PATH];
    if (!GetTempFileNameW(folderOf(target).c_str(), L"kel", 0, temporary)) return false;
    const bool saved = writeTemporary(temporary, write) &&
                       MoveFileExW(temporary, target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!saved) DeleteFileW(temporary);
    return saved;
}
