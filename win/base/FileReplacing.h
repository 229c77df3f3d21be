// Writing a file so that a failure loses nothing: the new contents go whole
// into a fresh temporary file in the target's folder, are flushed and closed,
// and only then moved over the target in one step. A full disk, a target that
// another program holds, or a folder that has gone leave the old file as it
// was. The sound's, the picture's and the numbers' saves all write this way,
// to any path the system accepts, longer than MAX_PATH included.
#ifndef KELVARA_FILE_REPLACING_H
#define KELVARA_FILE_REPLACING_H

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

// Writes `size` bytes to `file` in as many calls as it takes (WriteFile takes
// a 32-bit count). False on any short or failed write.
bool writeAllBytes(HANDLE file, const uint8_t* bytes, uint64_t size);

// Replaces `target` with what `write` puts into the open temporary file.
// False, with the target untouched and no temporary left, when the target
// cannot be replaced, `write` fails, or the flush, close or move fail.
bool replaceFile(const std::wstring& target, const std::function<bool(HANDLE file)>& write);

#endif
