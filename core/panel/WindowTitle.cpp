#include "core/panel/WindowTitle.h"

namespace {
const std::wstring programName = L"SPECTDraw";
}

std::wstring windowTitle(SoundOrigin origin, const std::wstring& path, bool unsaved)
{
    switch (origin) {
    case SoundOrigin::file: {
        const std::size_t slash = path.find_last_of(L"\\/");
        const std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
        return name.empty() ? programName : name + L" - " + programName;
    }
    case SoundOrigin::recording:
        return (unsaved ? L"*" : L"") + std::wstring(L"録音 - ") + programName;
    case SoundOrigin::none:
        break;
    }
    return programName;
}
