// The picture is taken when the command arrives, before the save dialog
// opens, so it is what the user saw when asking for it; the dialog's message
// loop may change the windows meanwhile.
//
// PNG comes from the Windows Imaging Component, the system's own encoder.
// Where it has none, the picture is saved as a BMP, written here from the
// same packed DIB that the clipboard gets. A file is written whole to a
// temporary file in the target's folder and only then moved over the target,
// so a failed save leaves neither a partial picture nor a stray file.
#include "win/app/PictureExport.h"

#include <objbase.h>
#include <wincodec.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"
#include "core/panel/Activity.h"
#include "win/base/FileDialog.h"
#include "win/base/FileReplacing.h"
#include "win/base/WindowRegistry.h"
#include "core/base/TestHooks.h"
#include "win/app/WindowPicture.h"
#include "win/panel/PanelCommands.h"
#include "win/base/StatusLine.h"

namespace {

// The save dialog runs a message loop in which a second 32801 can arrive;
// and while a voice-print run waits for the views, this thread only serves
// sent messages, so a sent 32801 or 32802 would take a picture of a
// half-drawn print. Both are refused (Activity.h) rather than queued: the
// user can ask again afterwards.
bool refused(Command command)
{
    if (activity().mayStart(command) == Answer::Start) return false;
    setStatus(busyText(command));
    return true;
}

// ---- Packed DIB (clipboard and BMP) -----------------------------------------

// Rows of 24-bit blue-green-red pixels, each padded to four bytes.
size_t rowStride(int width)
{
    return (static_cast<size_t>(width) * 3 + 3) & ~size_t{3};
}

std::vector<uint8_t> bgrRows(const WindowPicture& picture, bool bottomUp)
{
    const size_t stride = rowStride(picture.width);
    std::vector<uint8_t> rows(stride * picture.height, 0);
    for (int y = 0; y < picture.height; ++y) {
        uint8_t* row = rows.data() + stride * (bottomUp ? picture.height - 1 - y : y);
        const uint32_t* source = picture.pixels.data() + static_cast<size_t>(y) * picture.width;
        for (int x = 0; x < picture.width; ++x) {
            row[3 * x + 0] = static_cast<uint8_t>(source[x]);
            row[3 * x + 1] = static_cast<uint8_t>(source[x] >> 8);
            row[3 * x + 2] = static_cast<uint8_t>(source[x] >> 16);
        }
    }
    return rows;
}

// BITMAPINFOHEADER and bottom-up rows: the layout every reader of CF_DIB and
// of .bmp files takes.
std::vector<uint8_t> packedDib(const WindowPicture& picture)
{
    const std::vector<uint8_t> rows = bgrRows(picture, true);
    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = picture.width;
    header.biHeight = picture.height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    header.biSizeImage = static_cast<DWORD>(rows.size());
    std::vector<uint8_t> dib(sizeof(header));
    std::memcpy(dib.data(), &header, sizeof(header));
    dib.insert(dib.end(), rows.begin(), rows.end());
    return dib;
}

std::vector<uint8_t> bmpFile(const WindowPicture& picture)
{
    const std::vector<uint8_t> dib = packedDib(picture);
    BITMAPFILEHEADER header{};
    header.bfType = 0x4D42;  // "BM"
    header.bfSize = static_cast<DWORD>(sizeof(header) + dib.size());
    header.bfOffBits = sizeof(header) + sizeof(BITMAPINFOHEADER);
    std::vector<uint8_t> file(sizeof(header));
    std::memcpy(file.data(), &header, sizeof(header));
    file.insert(file.end(), dib.begin(), dib.end());
    return file;
}

// ---- PNG through the Imaging Component ----------------------------------------

// COM for the calling thread, as long as the scope lasts. A thread already in
// another apartment model keeps it; the Imaging Component works in either.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope()
    {
        if (SUCCEEDED(result_)) CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    HRESULT result_;
};

template <typename Interface>
class ComRef {
public:
    ComRef() = default;
    ~ComRef()
    {
        if (p) p->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;
    Interface* operator->() const { return p; }
    Interface* p = nullptr;
};

bool createPngEncoder(ComRef<IWICImagingFactory>& factory, ComRef<IWICBitmapEncoder>& encoder)
{
    return SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IWICImagingFactory, reinterpret_cast<void**>(&factory.p))) &&
           SUCCEEDED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder.p));
}

bool pngEncoderAvailable()
{
    if (testWithoutPngEncoder()) return false;
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICBitmapEncoder> encoder;
    return createPngEncoder(factory, encoder);
}

bool copyStream(IStream* stream, std::vector<uint8_t>& bytes)
{
    STATSTG stat{};
    if (FAILED(stream->Stat(&stat, STATFLAG_NONAME))) return false;
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream, &memory))) return false;
    const void* data = GlobalLock(memory);
    if (!data) return false;
    const uint8_t* first = static_cast<const uint8_t*>(data);
    bytes.assign(first, first + stat.cbSize.QuadPart);
    GlobalUnlock(memory);
    return true;
}

bool encodePng(const WindowPicture& picture, std::vector<uint8_t>& png)
{
    ComScope com;
    ComRef<IWICImagingFactory> factory;
    ComRef<IWICBitmapEncoder> encoder;
    ComRef<IStream> stream;
    ComRef<IWICBitmapFrameEncode> frame;
    ComRef<IPropertyBag2> options;
    if (!createPngEncoder(factory, encoder)) return false;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream.p))) return false;
    if (FAILED(encoder->Initialize(stream.p, WICBitmapEncoderNoCache))) return false;
    if (FAILED(encoder->CreateNewFrame(&frame.p, &options.p))) return false;
    if (FAILED(frame->Initialize(options.p))) return false;
    if (FAILED(frame->SetSize(static_cast<UINT>(picture.width), static_cast<UINT>(picture.height)))) return false;
    // The encoder says which format it takes instead when it cannot take this one.
    WICPixelFormatGUID format = GUID_WICPixelFormat24bppBGR;
    if (FAILED(frame->SetPixelFormat(&format)) || !IsEqualGUID(format, GUID_WICPixelFormat24bppBGR)) return false;

    std::vector<uint8_t> rows = bgrRows(picture, false);
    const UINT stride = static_cast<UINT>(rowStride(picture.width));
    if (FAILED(frame->WritePixels(static_cast<UINT>(picture.height), stride, static_cast<UINT>(rows.size()),
                                  rows.data())))
        return false;
    if (FAILED(frame->Commit()) || FAILED(encoder->Commit())) return false;
    return copyStream(stream.p, png);
}

// ---- The file -------------------------------------------------------------------

bool writeReplacing(const std::wstring& target, const std::vector<uint8_t>& bytes)
{
    return replaceFile(target, [&bytes](HANDLE file) { return writeAllBytes(file, bytes.data(), bytes.size()); });
}

// ---- The clipboard ---------------------------------------------------------------------

bool putOnClipboard(HWND owner, const std::vector<uint8_t>& dib)
{
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, dib.size());
    if (!memory) return false;
    void* data = GlobalLock(memory);
    if (!data) {
        GlobalFree(memory);
        return false;
    }
    std::memcpy(data, dib.data(), dib.size());
    GlobalUnlock(memory);
    // Another program may hold the clipboard for a moment.
    bool opened = false;
    for (int attempt = 0; attempt < 10 && !(opened = OpenClipboard(owner) != 0); ++attempt) Sleep(20);
    if (!opened) {
        GlobalFree(memory);
        return false;
    }
    EmptyClipboard();
    // Once set, the clipboard owns the memory.
    const bool set = SetClipboardData(CF_DIB, memory) != nullptr;
    CloseClipboard();
    if (!set) GlobalFree(memory);
    return set;
}

}  // namespace

bool pngOfPicture(const WindowPicture& picture, std::vector<uint8_t>& png)
{
    return !testWithoutPngEncoder() && encodePng(picture, png);
}

void savePicture(HWND window)
{
    if (refused(Command::SavePicture)) return;
    const WindowPicture picture = composeClientPicture(window);
    bool saved = !picture.empty();
    if (saved) {
        const bool png = pngEncoderAvailable();
        activity().dialogOpened(ActivityOwner::Dialog::SavePicture);
        std::wstring target;
        const DialogEnd chosen =
            askForSaveTarget(png ? pngFiles : bmpFiles, nameAfterTheSound(png ? L"png" : L"bmp"), target);
        activity().dialogClosed(ActivityOwner::Dialog::SavePicture);
        // A cancel leaves the status line as it was: nothing was tried.
        if (chosen == DialogEnd::Cancelled) return;
        saved = chosen == DialogEnd::Chosen;
        std::vector<uint8_t> bytes;
        if (saved && png)
            saved = encodePng(picture, bytes);
        else if (saved)
            bytes = bmpFile(picture);
        saved = saved && writeReplacing(target, bytes);
    }
    if (saved) {
        setStatus(L"Save A Picture...Done.");
    } else {
        setStatus(L"Save A Picture...Failed.");
        MessageBoxW(nullptr, L"画像の保存に失敗しました。", L"!", MB_OK);
    }
}

void copyPicture(HWND window)
{
    if (refused(Command::CopyPicture)) return;
    const WindowPicture picture = composeClientPicture(window);
    if (!picture.empty() && putOnClipboard(window, packedDib(picture))) {
        setStatus(L"Copy A Picture...Done.");
    } else {
        setStatus(L"Copy A Picture...Failed.");
        MessageBoxW(nullptr, L"画像のコピーに失敗しました。", L"!", MB_OK);
    }
}
