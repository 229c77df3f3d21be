// Test files (temporary folder, WAV files written there, tones), path and text
// conversions, and commands on the Unix side of Wine.
#include "driver/UiDriver.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "tests/support/WavBytes.h"

namespace ui {

namespace {

// Wine's own exports for mapping paths; absent on Windows.
using UnixToDos = WCHAR*(CDECL*)(const char*);
using DosToUnix = char*(CDECL*)(const WCHAR*);

template <typename Function>
Function wineExport(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

bool runningUnderWine() { return wineExport<DosToUnix>("wine_get_unix_file_name") != nullptr; }

// The folder and its files go when the test program ends (files that the
// program under test still holds open stay behind in Wine's temp folder).
struct TempFolder {
    std::wstring path;
    TempFolder() {
        wchar_t base[MAX_PATH] = L"";
        GetTempPathW(MAX_PATH, base);
        path = std::wstring(base) + L"kelvara-ui-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
        CreateDirectoryW(path.c_str(), nullptr);
    }
    ~TempFolder() {
        WIN32_FIND_DATAW entry;
        HANDLE find = FindFirstFileW((path + L"*").c_str(), &entry);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((path + entry.cFileName).c_str());
            } while (FindNextFileW(find, &entry));
            FindClose(find);
        }
        RemoveDirectoryW(path.c_str());
    }
};

bool readWholeFile(const std::wstring& path, std::string& contents) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    contents.clear();
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) contents.append(chunk, got);
    CloseHandle(file);
    return true;
}

bool writeWholeFile(const std::wstring& path, const void* data, size_t size) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, data, static_cast<DWORD>(size), &written, nullptr) && written == size;
    return CloseHandle(file) && ok;
}

}  // namespace

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string sinkName()
{
    const std::string sink = environment("KELVARA_SINK");
    return sink.empty() ? "kelvara" : sink;
}

BackgroundCommand::BackgroundCommand(const std::string& tag) : pidFile_(unixPath(tempFolder() + widen(tag) + L".pid")) {}

bool BackgroundCommand::start(const std::string& command)
{
    started_ = runUnixCommand(command + " >/dev/null 2>&1 </dev/null & echo $! >" + shellQuote(pidFile_)) == 0;
    return started_;
}

void BackgroundCommand::stop()
{
    if (!started_) return;
    started_ = false;
    const std::string pid = "$(cat " + shellQuote(pidFile_) + ")";
    runUnixCommand("kill " + pid + " 2>/dev/null; while kill -0 " + pid + " 2>/dev/null; do sleep 0.05; done");
}

// ---- Files --------------------------------------------------------------------

const std::wstring& tempFolder() {
    static TempFolder folder;
    return folder.path;
}

std::wstring writeTempFile(const std::wstring& name, const std::vector<uint8_t>& bytes) {
    const std::wstring path = tempFolder() + name;
    return writeWholeFile(path, bytes.data(), bytes.size()) ? path : std::wstring();
}

std::wstring writeWav16(const std::wstring& name, int sampleRate, int channels, const std::vector<int16_t>& samples) {
    return writeTempFile(name, wavbytes::pcm16File(static_cast<uint32_t>(sampleRate), static_cast<uint16_t>(channels), samples));
}

std::wstring writeWav8(const std::wstring& name, int sampleRate, int channels, const std::vector<uint8_t>& samples) {
    return writeTempFile(name, wavbytes::pcm8File(static_cast<uint32_t>(sampleRate), static_cast<uint16_t>(channels), samples));
}

std::vector<int16_t> tone(double hz, int sampleRate, double seconds, double amplitude) {
    const double twoPi = 2.0 * std::acos(-1.0);
    const size_t count = static_cast<size_t>(std::lround(seconds * sampleRate));
    std::vector<int16_t> samples(count);
    for (size_t n = 0; n < count; ++n) {
        const double v = std::lround(amplitude * std::sin(twoPi * hz * static_cast<double>(n) / sampleRate));
        samples[n] = static_cast<int16_t>(v > 32767 ? 32767 : v < -32768 ? -32768 : v);
    }
    return samples;
}

std::vector<uint8_t> toEightBit(const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out;
    out.reserve(samples.size());
    // floor(s / 256) + 128: -32768 -> 0, 0 -> 128, 32767 -> 255.
    for (int16_t s : samples) out.push_back(static_cast<uint8_t>((s + 32768) >> 8));
    return out;
}

std::vector<int16_t> interleave(const std::vector<int16_t>& left, const std::vector<int16_t>& right) {
    std::vector<int16_t> out;
    const size_t n = left.size() < right.size() ? left.size() : right.size();
    out.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(left[i]);
        out.push_back(right[i]);
    }
    return out;
}

std::vector<int16_t> risingTone(double hz, int rate, double toneSeconds, double silenceSeconds, double peak) {
    const double twoPi = 2.0 * std::acos(-1.0);
    const size_t toneCount = static_cast<size_t>(std::lround(toneSeconds * rate));
    const size_t total = toneCount + static_cast<size_t>(std::lround(silenceSeconds * rate));
    std::vector<int16_t> out(total, 0);
    for (size_t n = 0; n < toneCount; ++n) {
        const double amplitude = peak * static_cast<double>(n + 1) / static_cast<double>(toneCount);
        out[n] = static_cast<int16_t>(std::lround(amplitude * std::sin(twoPi * hz * static_cast<double>(n) / rate)));
    }
    return out;
}

std::vector<int16_t> joined(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    std::vector<int16_t> out(a);
    out.insert(out.end(), b.begin(), b.end());
    return out;
}

// ---- Conversions ---------------------------------------------------------------

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return L"";
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
}

std::wstring oneDecimal(double value) {
    wchar_t text[64];
    std::swprintf(text, 64, L"%.1f", value);
    return text;
}

std::string narrow(const std::wstring& text) {
    if (text.empty()) return "";
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, nullptr);
    return out;
}

std::wstring windowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return widen(path);
    if (auto toDos = wineExport<UnixToDos>("wine_get_dos_file_name")) {
        if (WCHAR* dos = toDos(path.c_str())) {
            std::wstring result = dos;
            HeapFree(GetProcessHeap(), 0, dos);
            return result;
        }
    }
    std::wstring result = L"Z:" + widen(path);  // Wine maps "/" to Z: by default
    for (wchar_t& c : result) if (c == L'/') c = L'\\';
    return result;
}

std::string unixPath(const std::wstring& path) {
    if (auto toUnix = wineExport<DosToUnix>("wine_get_unix_file_name")) {
        if (char* unix = toUnix(path.c_str())) {
            std::string result = unix;
            HeapFree(GetProcessHeap(), 0, unix);
            return result;
        }
    }
    return narrow(path);
}

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

// ---- The Unix side ----------------------------------------------------------

int runUnixCommand(const std::string& command, std::string* output, DWORD timeoutMs) {
    if (!runningUnderWine()) return -1;
    static int serial = 0;
    const std::wstring base = tempFolder() + L"unix-" + std::to_wstring(++serial);
    const std::wstring scriptPath = base + L".sh", outPath = base + L".out", codePath = base + L".rc";
    const std::string codeUnix = unixPath(codePath);
    // The exit code appears under its final name in one step (mv), so a
    // half-written number is never read.
    const std::string script = "(\n" + command + "\n) >" + shellQuote(unixPath(outPath)) + " 2>&1 </dev/null\n" +
                               "echo $? >" + shellQuote(codeUnix + ".part") + "\n" +
                               "mv " + shellQuote(codeUnix + ".part") + " " + shellQuote(codeUnix) + "\n";
    if (!writeWholeFile(scriptPath, script.data(), script.size())) return -1;

    std::wstring commandLine = L"/bin/sh \"" + widen(unixPath(scriptPath)) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    int exitCode = -1;
    if (CreateProcessW(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        // A Unix program comes back without handles; close any we got.
        if (info.hThread) CloseHandle(info.hThread);
        if (info.hProcess) CloseHandle(info.hProcess);
        if (waitFor([&] { return GetFileAttributesW(codePath.c_str()) != INVALID_FILE_ATTRIBUTES; }, timeoutMs)) {
            std::string code;
            if (readWholeFile(codePath, code)) exitCode = std::atoi(code.c_str());
            if (output) readWholeFile(outPath, *output);
        }
    }
    DeleteFileW(scriptPath.c_str());
    DeleteFileW(outPath.c_str());
    DeleteFileW(codePath.c_str());
    return exitCode;
}

int soundServer(const char* action) {
    const std::string control = environment("KELVARA_PULSE_CTL");
    if (control.empty()) return -1;
    return runUnixCommand(shellQuote(control) + " " + action);
}

}  // namespace ui
