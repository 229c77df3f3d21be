// Starting and ending Kelvara.exe for a test, and the KelvaraSession fixture.
#include "driver/UiDriver.h"
#include "driver/SaveDialog.h"

namespace ui {

bool KelvaraWindows::complete() const {
    return main && panel && wave && spectrum && voicePrint && winFunc && colorSample;
}

KelvaraProcess::~KelvaraProcess() {
    kill();
    if (process_) CloseHandle(process_);
    if (job_) CloseHandle(job_);  // kills anything the job still holds
}

namespace {

// CTest names the program in KELVARA_EXE; run by hand, a test program finds
// the Kelvara.exe that the build put beside it.
std::wstring defaultExePath() {
    const std::string fromEnvironment = environment("KELVARA_EXE");
    if (!fromEnvironment.empty()) return windowsPath(fromEnvironment);
    wchar_t self[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? L"Kelvara.exe" : path.substr(0, slash + 1) + L"Kelvara.exe";
}

}  // namespace

bool KelvaraProcess::launch(const std::wstring& exePath, const std::wstring& arguments) {
    // Every test starts from the defaults, whatever an earlier test or a
    // person left remembered in the (shared) Wine prefix, and leaves them.
    return start(exePath, arguments.empty() ? L"/defaults" : L"/defaults " + arguments);
}

bool KelvaraProcess::launchRemembering(const std::wstring& arguments) {
    return start(L"", arguments);
}

bool KelvaraProcess::start(const std::wstring& exePath, const std::wstring& arguments) {
    if (process_) return false;  // one program per object
    const std::wstring exe = exePath.empty() ? defaultExePath() : exePath;

    job_ = CreateJobObjectW(nullptr, nullptr);
    if (job_) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }

    std::wstring commandLine = L"\"" + exe + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    // Suspended until it is in the job, so not even its first window escapes.
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                        nullptr, nullptr, &startup, &info)) {
        return false;
    }
    if (job_) AssignProcessToJobObject(job_, info.hProcess);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
    process_ = info.hProcess;
    pid_ = info.dwProcessId;
    return true;
}

bool KelvaraProcess::launchWithHook(const wchar_t* variable, const wchar_t* value) {
    SetEnvironmentVariableW(variable, value);
    const bool launched = launch();
    SetEnvironmentVariableW(variable, nullptr);
    return launched;
}

bool KelvaraProcess::waitForWindows(DWORD timeoutMs) {
    return waitFor([&] {
        KelvaraWindows found;
        found.main = findTopWindow(pid_, L"MainWindow");
        found.panel = findPanel(found.main);
        found.wave = findChild(found.main, L"WaveDraw");
        found.spectrum = findChild(found.main, L"SPECTRAMDraw");
        found.voicePrint = findChild(found.main, L"SPECTDraw");
        found.winFunc = findChild(found.main, L"WinFunc");
        found.colorSample = findChild(found.main, L"ColorSample");
        windows_ = found;
        if (!found.complete()) return false;
        for (HWND window : {found.main, found.panel, found.wave, found.spectrum, found.voicePrint,
                            found.winFunc, found.colorSample}) {
            if (!IsWindowVisible(window)) return false;
        }
        return true;
    }, timeoutMs);
}

bool KelvaraProcess::running() const {
    return process_ && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT;
}

void KelvaraProcess::requestClose() {
    if (windows_.main) PostMessageW(windows_.main, WM_CLOSE, 0, 0);
}

bool KelvaraProcess::waitForExit(DWORD& exitCode, DWORD timeoutMs) {
    if (!process_ || WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return false;
    return GetExitCodeProcess(process_, &exitCode) != 0;
}

void KelvaraProcess::kill() {
    if (!running()) return;
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 10000);
}

namespace {

// A file for a child's standard handle: inheritable, readable while written.
HANDLE inheritableFile(const std::wstring& path) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, CREATE_ALWAYS, 0,
                       nullptr);
}

std::string fileContents(const std::wstring& path) {
    std::string contents;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return contents;
    char chunk[4096];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got > 0) contents.append(chunk, got);
    CloseHandle(file);
    return contents;
}

}  // namespace

FinishedRun runKelvaraToEnd(const std::wstring& arguments, DWORD timeoutMs) {
    static int serial = 0;
    const std::wstring base = tempFolder() + L"run-" + std::to_wstring(++serial);
    const std::wstring outPath = base + L".out", errPath = base + L".err";
    HANDLE out = inheritableFile(outPath), err = inheritableFile(errPath);
    FinishedRun run;
    const std::wstring exe = defaultExePath();
    std::wstring commandLine = L"\"" + exe + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION info{};
    const double started = seconds();
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE &&
        CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
        run.ended = WaitForSingleObject(info.hProcess, timeoutMs) == WAIT_OBJECT_0;
        run.seconds = seconds() - started;
        if (run.ended) {
            GetExitCodeProcess(info.hProcess, &run.exitCode);
        } else {
            TerminateProcess(info.hProcess, 1);
            WaitForSingleObject(info.hProcess, 10000);
        }
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
    run.out = fileContents(outPath);
    run.err = fileContents(errPath);
    DeleteFileW(outPath.c_str());
    DeleteFileW(errPath.c_str());
    return run;
}

void KelvaraSession::SetUp() {
    ASSERT_TRUE(app.launch()) << "could not start Kelvara.exe (KELVARA_EXE=\"" << environment("KELVARA_EXE")
                              << "\"; without it, the one beside the test program)";
    const bool ready = app.waitForWindows();
    w = app.windows();
    ASSERT_TRUE(ready) << "Kelvara's windows did not all appear: main " << w.main << ", panel " << w.panel
                       << ", WaveDraw " << w.wave << ", SPECTRAMDraw " << w.spectrum << ", SPECTDraw "
                       << w.voicePrint << ", WinFunc " << w.winFunc << ", ColorSample " << w.colorSample;
}

void KelvaraSession::TearDown() {
    if (!app.running()) return;
    app.requestClose();
    // A recording the test left unsaved asks first; the test is done with it.
    waitFor([&] {
        HWND box = findMessageBox(app.pid());
        if (box && messageBoxText(box) == unsavedRecordingQuestion) PostMessageW(GetDlgItem(box, IDNO), BM_CLICK, 0, 0);
        return !app.running();
    }, 5000);
    DWORD exitCode = 0;
    if (!app.waitForExit(exitCode, 1000)) app.kill();
}

}  // namespace ui
