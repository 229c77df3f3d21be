#include "driver/OutsideRequests.h"

namespace ui {

namespace {

struct ShowRequest {
    HWND window;
    int command;
};

DWORD WINAPI showWindowThread(LPVOID param)
{
    const ShowRequest request = *static_cast<const ShowRequest*>(param);
    delete static_cast<const ShowRequest*>(param);
    ShowWindow(request.window, request.command);
    return 0;
}

}  // namespace

bool showWindowFromOutside(HWND window, int command, DWORD timeoutMs)
{
    // The thread owns the request, since it may outlive this call.
    auto* request = new ShowRequest{window, command};
    HANDLE thread = CreateThread(nullptr, 0, showWindowThread, request, 0, nullptr);
    if (!thread) {
        delete request;
        return false;
    }
    const bool done = WaitForSingleObject(thread, timeoutMs) == WAIT_OBJECT_0;
    CloseHandle(thread);
    return done;
}

}  // namespace ui
