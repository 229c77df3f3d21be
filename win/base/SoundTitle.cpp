#include "win/base/SoundTitle.h"

#include <windows.h>

#include <atomic>

#include "core/panel/WindowTitle.h"
#include "win/base/WindowRegistry.h"

namespace {

std::atomic<bool> unsavedRecording{false};

void showTitle(const std::wstring& title)
{
    if (HWND main = mainWindow.load()) SetWindowTextW(main, title.c_str());
}

}  // namespace

void titleForFile(const std::wstring& path)
{
    unsavedRecording = false;
    showTitle(windowTitle(SoundOrigin::file, path, false));
}

void titleForRecording()
{
    unsavedRecording = true;
    showTitle(windowTitle(SoundOrigin::recording, L"", true));
}

bool recordingUnsaved() { return unsavedRecording.load(); }
