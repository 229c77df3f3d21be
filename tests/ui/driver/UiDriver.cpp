// Finding, working and reading Kelvara's windows from another process.
// The process itself and the test files are in KelvaraProcess.cpp and
// TestFiles.cpp.
#include "driver/UiDriver.h"

#include <commctrl.h>

#include <cstdio>
#include <ostream>

namespace ui {

namespace {

// Cross-process reads go through SendMessageTimeout: a program thread that
// hangs must fail the test, not freeze it.
constexpr UINT sendTimeoutMs = 5000;

LRESULT sendWithTimeout(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool* ok = nullptr) {
    DWORD_PTR result = 0;
    LRESULT sent = SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, sendTimeoutMs, &result);
    if (ok) *ok = sent != 0;
    return static_cast<LRESULT>(result);
}

// Owns the GDI objects of one capture.
struct ScreenCapture {
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = nullptr;
    HGDIOBJ replaced = nullptr;
    ~ScreenCapture() {
        if (replaced) SelectObject(memory, replaced);
        if (bitmap) DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(nullptr, screen);
    }
};

struct WindowQuery {
    DWORD pid;
    const wchar_t* className;
    const wchar_t* title;
    std::vector<HWND> found;
};

BOOL CALLBACK collectTopWindow(HWND window, LPARAM param) {
    auto* query = reinterpret_cast<WindowQuery*>(param);
    if (processOf(window) != query->pid) return TRUE;
    if (query->className && className(window) != query->className) return TRUE;
    if (query->title && windowText(window) != query->title) return TRUE;
    query->found.push_back(window);
    return TRUE;
}

}  // namespace

// ---- Waiting -------------------------------------------------------------

bool waitFor(const std::function<bool()>& condition, DWORD timeoutMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (GetTickCount64() >= deadline) return condition();
        Sleep(10);
    }
}

double seconds() {
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool drainPostedMessages(HWND edit, DWORD timeoutMs) {
    bool ok = false;
    const LRESULT original = sendWithTimeout(edit, EM_GETLIMITTEXT, 0, 0, &ok);
    if (!ok) return false;
    // Any value other than the current one marks our message; 0 would mean
    // "the default", so stay clear of it.
    const LRESULT marker = original > 2 ? original - 1 : original + 1;
    PostMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(marker), 0);
    const bool drained = waitFor([&] { return sendWithTimeout(edit, EM_GETLIMITTEXT, 0, 0) == marker; }, timeoutMs);
    PostMessageW(edit, EM_SETLIMITTEXT, static_cast<WPARAM>(original), 0);
    return drained;
}

// ---- Windows ---------------------------------------------------------------

std::vector<HWND> topWindows(DWORD pid, const wchar_t* cls, const wchar_t* title) {
    WindowQuery query{pid, cls, title, {}};
    EnumWindows(collectTopWindow, reinterpret_cast<LPARAM>(&query));
    return query.found;
}

HWND findTopWindow(DWORD pid, const wchar_t* cls, const wchar_t* title) {
    std::vector<HWND> found = topWindows(pid, cls, title);
    return found.empty() ? nullptr : found.front();
}

HWND findChild(HWND parent, const wchar_t* cls) {
    return parent ? FindWindowExW(parent, nullptr, cls, nullptr) : nullptr;
}

HWND findPanel(HWND mainWindow, int controlId) {
    if (!mainWindow) return nullptr;
    for (HWND child = FindWindowExW(mainWindow, nullptr, L"#32770", nullptr); child;
         child = FindWindowExW(mainWindow, child, L"#32770", nullptr)) {
        if (GetDlgItem(child, controlId)) return child;
    }
    return nullptr;
}

std::wstring className(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

LRESULT answerTo(HWND window, UINT message, WPARAM wParam, bool* ok) {
    return sendWithTimeout(window, message, wParam, 0, ok);
}

std::wstring windowText(HWND window) {
    if (!window) return L"";
    bool ok = false;
    const LRESULT length = sendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, &ok);
    if (!ok || length <= 0) return L"";
    // The text may change between the two messages (a readout line does as
    // the mouse moves): a copy that fills the buffer may have been cut short,
    // so it is read again into a larger one.
    for (size_t size = static_cast<size_t>(length) + 64;; size *= 2) {
        std::wstring text(size, L'\0');
        const LRESULT copied = sendWithTimeout(window, WM_GETTEXT, size, reinterpret_cast<LPARAM>(&text[0]));
        if (copied <= 0) return L"";
        if (static_cast<size_t>(copied) + 1 < size) {
            text.resize(static_cast<size_t>(copied));
            return text;
        }
    }
}

DWORD processOf(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return pid;
}

RECT screenRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    return r;
}

RECT rectIn(HWND window, HWND reference) {
    RECT r = screenRect(window);
    MapWindowPoints(nullptr, reference, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// ---- Controls ---------------------------------------------------------------

HWND control(HWND dialog, int id) { return GetDlgItem(dialog, id); }

std::wstring controlText(HWND dialog, int id) { return windowText(control(dialog, id)); }

bool isEnabled(HWND dialog, int id) {
    HWND c = control(dialog, id);
    return c && IsWindowEnabled(c);
}

bool isChecked(HWND dialog, int id) {
    return sendWithTimeout(control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

int comboSelection(HWND dialog, int id) {
    bool ok = false;
    const LRESULT index = sendWithTimeout(control(dialog, id), CB_GETCURSEL, 0, 0, &ok);
    return ok ? static_cast<int>(index) : -1;
}

namespace {
std::wstring comboItemText(HWND combo, int index) {
    const LRESULT length = sendWithTimeout(combo, CB_GETLBTEXTLEN, index, 0);
    if (length <= 0) return L"";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    const LRESULT copied = sendWithTimeout(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}
}  // namespace

std::wstring comboSelectionText(HWND dialog, int id) {
    const int index = comboSelection(dialog, id);
    return index < 0 ? L"" : comboItemText(control(dialog, id), index);
}

std::vector<std::wstring> comboItems(HWND dialog, int id) {
    HWND combo = control(dialog, id);
    std::vector<std::wstring> items;
    const LRESULT count = sendWithTimeout(combo, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) items.push_back(comboItemText(combo, i));
    return items;
}

int trackBarPosition(HWND dialog, int id) {
    bool ok = false;
    const LRESULT position = sendWithTimeout(control(dialog, id), TBM_GETPOS, 0, 0, &ok);
    return ok ? static_cast<int>(position) : -1;
}

void trackBarRange(HWND dialog, int id, int& low, int& high) {
    low = static_cast<int>(sendWithTimeout(control(dialog, id), TBM_GETRANGEMIN, 0, 0));
    high = static_cast<int>(sendWithTimeout(control(dialog, id), TBM_GETRANGEMAX, 0, 0));
}

void clickButton(HWND dialog, int id) {
    HWND button = control(dialog, id);
    // BM_CLICK itself does not look at the enabled state; the mouse does.
    if (button && IsWindowEnabled(button)) PostMessageW(button, BM_CLICK, 0, 0);
}

void setTrackBar(HWND dialog, int id, int position, int scrollCode) {
    HWND bar = control(dialog, id);
    // Both posted, so they stay in order with whatever the test posts next
    // and never block on a busy user-interface thread.
    PostMessageW(bar, TBM_SETPOS, TRUE, position);
    PostMessageW(dialog, WM_HSCROLL, MAKEWPARAM(scrollCode, position), reinterpret_cast<LPARAM>(bar));
}

void selectComboItem(HWND dialog, int id, int index) {
    HWND combo = control(dialog, id);
    PostMessageW(combo, CB_SETCURSEL, index, 0);
    PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// ---- Commands, keys and the mouse -------------------------------------------

void postCommand(HWND window, int id, LPARAM lParam) {
    PostMessageW(window, WM_COMMAND, MAKEWPARAM(id, 0), lParam);
}

LRESULT sendCommand(HWND window, int id, LPARAM lParam) {
    return sendWithTimeout(window, WM_COMMAND, MAKEWPARAM(id, 0), lParam);
}

void press(WORD vk, std::initializer_list<WORD> modifiers)
{
    const auto send = [](WORD key, DWORD flags) {
        INPUT input{};
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
        input.ki.dwFlags = flags;
        SendInput(1, &input, sizeof input);
    };
    for (WORD m : modifiers) send(m, 0);
    send(vk, 0);
    send(vk, KEYEVENTF_KEYUP);
    for (WORD m : modifiers) send(m, KEYEVENTF_KEYUP);
}

void pressAltAccelerator(HWND target, wchar_t character) {
    // Repeat count 1, context code (Alt held) in bit 29.
    PostMessageW(target, WM_SYSKEYDOWN, character, 1 | (1 << 29));
}

void postMouse(HWND window, UINT message, int x, int y, WPARAM keys) {
    PostMessageW(window, message, keys, MAKELPARAM(x, y));
}

void hover(HWND window, int x, int y) {
    POINT p{x, y};
    ClientToScreen(window, &p);
    SetCursorPos(p.x, p.y);
    postMouse(window, WM_MOUSEMOVE, x, y, 0);
}

void click(HWND window, int x, int y) {
    postMouse(window, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    postMouse(window, WM_LBUTTONUP, x, y, 0);
}

void drag(HWND window, int x0, int y0, int x1, int y1, int steps) {
    if (steps < 1) steps = 1;
    postMouse(window, WM_LBUTTONDOWN, x0, y0, MK_LBUTTON);
    for (int i = 1; i <= steps; ++i) {
        postMouse(window, WM_MOUSEMOVE, x0 + (x1 - x0) * i / steps, y0 + (y1 - y0) * i / steps, MK_LBUTTON);
    }
    postMouse(window, WM_LBUTTONUP, x1, y1, 0);
}

// ---- Pixels ---------------------------------------------------------------

std::ostream& operator<<(std::ostream& out, const Rgb& c) {
    return out << "RGB(" << int(c.r) << "," << int(c.g) << "," << int(c.b) << ")";
}

Rgb Image::at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return Rgb{};
    const uint32_t p = pixels[static_cast<size_t>(y) * width + x];
    return Rgb{static_cast<uint8_t>(p >> 16), static_cast<uint8_t>(p >> 8), static_cast<uint8_t>(p)};
}

int Image::count(const Rgb& color) const {
    int n = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) n += at(x, y) == color;
    return n;
}

bool Image::saveBmp(const std::wstring& path) const {
    const int rowBytes = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER file{};
    BITMAPINFOHEADER info{};
    file.bfType = 0x4D42;  // "BM"
    file.bfOffBits = sizeof file + sizeof info;
    file.bfSize = file.bfOffBits + rowBytes * height;
    info.biSize = sizeof info;
    info.biWidth = width;
    info.biHeight = height;  // bottom-up
    info.biPlanes = 1;
    info.biBitCount = 24;
    std::vector<uint8_t> data(static_cast<size_t>(rowBytes) * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = &data[static_cast<size_t>(height - 1 - y) * rowBytes];
        for (int x = 0; x < width; ++x) {
            const Rgb c = at(x, y);
            row[3 * x] = c.b;
            row[3 * x + 1] = c.g;
            row[3 * x + 2] = c.r;
        }
    }
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    bool ok = fwrite(&file, sizeof file, 1, out) == 1 && fwrite(&info, sizeof info, 1, out) == 1 &&
              fwrite(data.data(), 1, data.size(), out) == data.size();
    return fclose(out) == 0 && ok;
}

Image captureScreen(const RECT& r) {
    Image image;
    const int w = width(r), h = height(r);
    if (w <= 0 || h <= 0) return image;
    ScreenCapture capture;
    void* bits = nullptr;
    capture.bitmap = createTopDown32(capture.memory, w, h, &bits);
    if (!capture.bitmap || !bits) return image;
    capture.replaced = SelectObject(capture.memory, capture.bitmap);
    if (!BitBlt(capture.memory, 0, 0, w, h, capture.screen, r.left, r.top, SRCCOPY)) return image;
    GdiFlush();
    return imageOfTopDown32(bits, w, h);
}

HBITMAP createTopDown32(HDC dc, int width, int height, void** bits) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // top-down: row 0 first
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    *bits = nullptr;
    return CreateDIBSection(dc, &info, DIB_RGB_COLORS, bits, nullptr, 0);
}

Image imageOfTopDown32(const void* bits, int width, int height) {
    Image image;
    const auto* source = static_cast<const uint32_t*>(bits);
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * height);
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = source[i] & 0x00FFFFFF;
    return image;
}

Image clipboardPicture()
{
    Image image;
    if (!waitFor([] { return OpenClipboard(nullptr) != 0; }, 5000)) return image;
    HANDLE data = GetClipboardData(CF_DIB);
    const auto* info = data ? static_cast<const BITMAPINFO*>(GlobalLock(data)) : nullptr;
    if (info) {
        const BITMAPINFOHEADER& h = info->bmiHeader;
        const int height = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        const void* bits = reinterpret_cast<const uint8_t*>(info) + h.biSize + h.biClrUsed * sizeof(RGBQUAD) +
                           (h.biCompression == BI_BITFIELDS ? 3 * sizeof(DWORD) : 0);
        void* pixels = nullptr;
        HDC dc = CreateCompatibleDC(nullptr);
        HBITMAP bitmap = createTopDown32(dc, h.biWidth, height, &pixels);
        HGDIOBJ old = SelectObject(dc, bitmap);
        if (pixels && SetDIBitsToDevice(dc, 0, 0, h.biWidth, height, 0, 0, 0, height, bits, info, DIB_RGB_COLORS) == height)
            image = imageOfTopDown32(pixels, h.biWidth, height);
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
        GlobalUnlock(data);
    }
    CloseClipboard();
    return image;
}


Image captureClient(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    OffsetRect(&r, origin.x, origin.y);
    return captureScreen(r);
}

// ---- Dialogs ------------------------------------------------------------------

HWND findMessageBox(DWORD pid) {
    for (HWND box : topWindows(pid, L"#32770")) {
        if (IsWindowVisible(box) && GetDlgItem(box, 0xFFFF)) return box;
    }
    return nullptr;
}

HWND waitForMessageBox(DWORD pid, DWORD timeoutMs) {
    HWND box = nullptr;
    waitFor([&] { return (box = findMessageBox(pid)) != nullptr; }, timeoutMs);
    return box;
}

std::wstring messageBoxText(HWND box) { return controlText(box, 0xFFFF); }

bool answers(HWND window, DWORD timeoutMs) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, timeoutMs, &result) != 0;
}

bool dismissMessageBox(HWND box, DWORD timeoutMs) {
    HWND button = GetDlgItem(box, IDOK);
    if (!button) button = GetDlgItem(box, IDCANCEL);
    if (button) {
        PostMessageW(button, BM_CLICK, 0, 0);
    } else {
        PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
    }
    return waitFor([&] { return !IsWindow(box); }, timeoutMs);
}

namespace {

constexpr const wchar_t* openDialogTitle = L"ファイルを開く";

HWND waitForOpenDialog(DWORD pid, DWORD timeoutMs) {
    HWND dialog = nullptr;
    waitFor([&] {
        dialog = findTopWindow(pid, L"#32770", openDialogTitle);
        return dialog && IsWindowVisible(dialog);
    }, timeoutMs);
    return dialog;
}

// The dialog's own push button with `id`. GetDlgItem will not do: the
// dialog's tool bar has id 1 as well and may come first.
HWND dialogButton(HWND dialog, int id) {
    for (HWND child = FindWindowExW(dialog, nullptr, L"Button", nullptr); child;
         child = FindWindowExW(dialog, child, L"Button", nullptr)) {
        if (GetDlgCtrlID(child) == id) return child;
    }
    return nullptr;
}

// File-name box: ComboBoxEx32 (1148) > ComboBox > Edit.
HWND openDialogFileNameEdit(HWND dialog) {
    HWND comboEx = GetDlgItem(dialog, 1148);
    HWND combo = findChild(comboEx, L"ComboBox");
    return findChild(combo, L"Edit");
}

}  // namespace

bool chooseFileInOpenDialog(DWORD pid, const std::wstring& path, DWORD timeoutMs, double* openPressedAt) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    HWND dialog = waitForOpenDialog(pid, timeoutMs);
    if (!dialog) return false;
    // The dialog fills its folder view after it shows, and may clear the
    // file-name box while it does: give it a moment, and type again if a
    // press of Open did not take.
    Sleep(1000);
    while (GetTickCount64() < deadline) {
        HWND edit = openDialogFileNameEdit(dialog);
        if (!edit) return false;
        sendWithTimeout(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
        if (windowText(edit) == path) {
            if (openPressedAt) *openPressedAt = seconds();
            PostMessageW(dialogButton(dialog, IDOK), BM_CLICK, 0, 0);
            if (waitFor([&] { return !IsWindow(dialog); }, 3000)) return true;
        }
        Sleep(200);
    }
    return !IsWindow(dialog);
}

bool cancelOpenDialog(DWORD pid, DWORD timeoutMs) {
    HWND dialog = waitForOpenDialog(pid, timeoutMs);
    if (!dialog) return false;
    PostMessageW(dialogButton(dialog, IDCANCEL), BM_CLICK, 0, 0);
    return waitFor([&] { return !IsWindow(dialog); }, timeoutMs);
}

}  // namespace ui
