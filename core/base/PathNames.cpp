#include "core/base/PathNames.h"

#include <cstdio>
#include <vector>

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool isLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// The components after `root`, with the separators, "." and ".." settled.
std::wstring resolvedTail(const std::wstring& tail)
{
    std::vector<std::wstring> parts;
    std::wstring part;
    auto take = [&parts, &part] {
        if (part == L"..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!part.empty() && part != L".") {
            parts.push_back(part);
        }
        part.clear();
    };
    for (wchar_t c : tail) {
        if (isSeparator(c))
            take();
        else
            part += c;
    }
    take();
    std::wstring joined;
    for (size_t i = 0; i < parts.size(); ++i) joined += (i ? L"\\" : L"") + parts[i];
    // A trailing separator names the same folder; it is kept for a folder path.
    if (!tail.empty() && isSeparator(tail.back()) && !joined.empty()) joined += L'\\';
    return joined;
}

}  // namespace

std::wstring extendedLengthPath(const std::wstring& path)
{
    if (path.size() < shortPathLimit) return path;
    const bool alreadyExtended = path.size() >= 4 && path[0] == L'\\' && path[1] == L'\\' &&
                                 (path[2] == L'?' || path[2] == L'.') && path[3] == L'\\';
    if (alreadyExtended) return path;
    if (path.size() >= 3 && isLetter(path[0]) && path[1] == L':' && isSeparator(path[2]))
        return L"\\\\?\\" + path.substr(0, 2) + L"\\" + resolvedTail(path.substr(3));
    if (isSeparator(path[0]) && isSeparator(path[1])) return L"\\\\?\\UNC\\" + resolvedTail(path.substr(2));
    return path;
}

std::wstring temporaryNameBeside(const std::wstring& target, uint32_t processId, uint32_t attempt)
{
    size_t nameStart = 0;
    for (size_t i = 0; i < target.size(); ++i)
        if (isSeparator(target[i])) nameStart = i + 1;
    wchar_t suffix[32];
    std::swprintf(suffix, 32, L".~%x-%x", static_cast<unsigned>(processId), static_cast<unsigned>(attempt));
    const std::wstring tail = suffix;
    std::wstring name = target.substr(nameStart);
    if (name.size() + tail.size() > longestFileName) name.resize(longestFileName - tail.size());
    return target.substr(0, nameStart) + name + tail;
}

std::wstring nameAfterSound(const std::wstring& soundPath, const std::wstring& extension)
{
    size_t nameStart = 0;
    for (size_t i = 0; i < soundPath.size(); ++i)
        if (isSeparator(soundPath[i])) nameStart = i + 1;
    std::wstring name = soundPath.substr(nameStart);
    const size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos) name.resize(dot);
    if (name.empty()) name = L"Kelvara";
    return name + L"." + extension;
}
