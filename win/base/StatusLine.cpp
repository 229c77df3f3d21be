#include "win/base/StatusLine.h"

namespace {

HWND statusEdit = nullptr;

}  // namespace

void attachStatusLine(HWND edit) { statusEdit = edit; }

void setStatus(const wchar_t* text)
{
    // A template without the box, or a text after the panel has gone.
    if (statusEdit) SetWindowTextW(statusEdit, text);
}
