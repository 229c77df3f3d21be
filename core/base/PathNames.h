// Path names as Windows takes them, worked out as text: the form that lifts
// the 260-character limit from a long path, and the name of the temporary
// file a save writes beside its target. Windows itself is asked nothing here.
#ifndef KELVARA_PATH_NAMES_H
#define KELVARA_PATH_NAMES_H

#include <cstdint>
#include <string>

// Characters a path may have, its terminating NUL included, before the file
// functions need the "\\?\" form for it (MAX_PATH).
constexpr size_t shortPathLimit = 260;
// Characters a name in a folder may have (the longest NTFS and FAT allow,
// and the most a Linux file system takes under Wine).
constexpr size_t longestFileName = 255;

// `path` as the file functions take it whatever its length: unchanged while
// it is shorter than shortPathLimit, or when it is not a full path (nothing
// can be put before a relative one); otherwise in the "\\?\" form ("\\?\UNC\"
// for a share), with '/' turned into '\' and "." and ".." resolved, since
// that form takes every character literally.
std::wstring extendedLengthPath(const std::wstring& path);

// A temporary name in the same folder as `target`: the target's name with
// ".~" and the process id and the attempt in hex after it, so that two
// programs and two tries never meet. The target's name is cut where the
// whole name would pass longestFileName.
std::wstring temporaryNameBeside(const std::wstring& target, uint32_t processId, uint32_t attempt);

// The name the save dialogs propose for something made from the sound of
// `soundPath`: that file's name with `extension` (without its dot) in place
// of its own, or "Kelvara" with it when the sound came from no file ("").
std::wstring nameAfterSound(const std::wstring& soundPath, const std::wstring& extension);

#endif
