#include "win/base/SoundTitle.h"

#include <windows.h>

#include "core/panel/WindowTitle.h"
#include "win/base/WindowRegistry.h"

namespace {

void showTitle(const std::wstring& title)
{
    if (HWND main = mainWindow.load()) SetWindowTextW(main, title.c_str());
}

}  // namespace

void titleForFile(const std::wstring& path) { showTitle(windowTitle(SoundOrigin::file, path, false)); }

void titleForRecording() { showTitle(windowTitle(SoundOrigin::recording, L"", true)); }
