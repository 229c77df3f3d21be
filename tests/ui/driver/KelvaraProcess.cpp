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
