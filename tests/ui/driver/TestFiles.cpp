// Test files (temporary folder, WAV writing, tones), path and text
// conversions, and commands on the Unix side of Wine.
#include "driver/UiDriver.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

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

void putU16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t v) {
    putU16(out, v & 0xFFFF);
    putU16(out, v >> 16);
}

void putTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

// The canonical header: RIFF, "fmt " of 16 bytes, "data". No pad byte after
// odd-sized data: the program reads samples to the end of the file, and a
// pad byte would be one more sample.
std::vector<uint8_t> wavHeader(int sampleRate, int channels, int bits, uint32_t dataSize) {
    const uint32_t blockAlign = static_cast<uint32_t>(channels * bits / 8);
    std::vector<uint8_t> out;
    putTag(out, "RIFF");
    putU32(out, 36 + dataSize);
    putTag(out, "WAVE");
    putTag(out, "fmt ");
    putU32(out, 16);
    putU16(out, 1);  // PCM
    putU16(out, static_cast<uint32_t>(channels));
    putU32(out, static_cast<uint32_t>(sampleRate));
    putU32(out, static_cast<uint32_t>(sampleRate) * blockAlign);
    putU16(out, blockAlign);
    putU16(out, static_cast<uint32_t>(bits));
    putTag(out, "data");
    putU32(out, dataSize);
    return out;
}

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

std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

}  // namespace

// ---- Files --------------------------------------------------------------------

const std::wstring& tempFolder() {
    static TempFolder folder;
    return folder.path;
}

std::wstring writeTempFile(const std::wstring& name, const std::vector<uint8_t>& bytes) {
    const std::wstring path = tempFolder() + name;
    return writeWholeFile(path, bytes.data(), bytes.size()) ? path : std::wstring();
}

std::vector<uint8_t> wavBytes16(int sampleRate, int channels, const std::vector<int16_t>& samples) {
    std::vector<uint8_t> out = wavHeader(sampleRate, channels, 16, static_cast<uint32_t>(samples.size() * 2));
    for (int16_t s : samples) putU16(out, static_cast<uint16_t>(s));
    return out;
}

std::vector<uint8_t> wavBytes8(int sampleRate, int channels, const std::vector<uint8_t>& samples) {
    std::vector<uint8_t> out = wavHeader(sampleRate, channels, 8, static_cast<uint32_t>(samples.size()));
    out.insert(out.end(), samples.begin(), samples.end());
    return out;
}

std::wstring writeWav16(const std::wstring& name, int sampleRate, int channels, const std::vector<int16_t>& samples) {
    return writeTempFile(name, wavBytes16(sampleRate, channels, samples));
}

std::wstring writeWav8(const std::wstring& name, int sampleRate, int channels, const std::vector<uint8_t>& samples) {
    return writeTempFile(name, wavBytes8(sampleRate, channels, samples));
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

// ---- Conversions ---------------------------------------------------------------

std::wstring widen(const std::string& utf8) {
    if (utf8.empty()) return L"";
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], n);
    return out;
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
