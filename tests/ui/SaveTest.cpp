// Keeping a sound: "名前を付けて保存(&S)..." as a person uses it. The saved
// files are read back three ways: by this test's own strict reading of the
// canonical layout, by sox and Python's wave module on the Unix side, and by
// Kelvara itself when it opens them again.
#include "driver/SaveDialog.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "core/base/CommandIds.h"
#include "tests/support/WavBytes.h"

using namespace ui;

namespace {

using Bytes = std::vector<uint8_t>;

const wchar_t* const failureText = L"ファイルの保存に失敗しました。";

Bytes readBytes(const std::wstring& path)
{
    Bytes bytes;
    FILE* file = _wfopen(path.c_str(), L"rb");
    if (!file) return bytes;
    uint8_t chunk[1 << 16];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(file);
    return bytes;
}

using wavbytes::idAt;
using wavbytes::u16At;
using wavbytes::u32At;

// The test's own reading of a canonical file: every size exact, nothing
// before or after the chunks it names.
struct Canonical {
    std::string problem;  // empty when the file is canonical
    uint16_t tag = 0, channels = 0, bits = 0;
    uint32_t rate = 0;
    Bytes data;
};

Canonical readCanonical(const Bytes& f)
{
    Canonical c;
    if (f.size() < 44 || idAt(f, 0) != "RIFF" || idAt(f, 8) != "WAVE" || idAt(f, 12) != "fmt ") return {"no RIFF/WAVE/fmt"};
    if (u32At(f, 4) != f.size() - 8) return {"RIFF size " + std::to_string(u32At(f, 4)) + " in a file of " + std::to_string(f.size())};
    c.tag = u16At(f, 20), c.channels = u16At(f, 22), c.rate = u32At(f, 24), c.bits = u16At(f, 34);
    const uint32_t align = c.channels * c.bits / 8u;
    if (u16At(f, 32) != align || u32At(f, 28) != c.rate * align) return {"block alignment or byte rate"};
    size_t at = 36;
    if (c.tag == 3) {
        if (u32At(f, 16) != 18 || u16At(f, 36) != 0 || idAt(f, 38) != "fact" || u32At(f, 42) != 4) return {"float without an 18-byte fmt and fact"};
        at = 50;
    } else if (u32At(f, 16) != 16) {
        return {"PCM fmt of " + std::to_string(u32At(f, 16)) + " bytes"};
    }
    if (idAt(f, at) != "data") return {"no data chunk where it belongs"};
    const uint32_t size = u32At(f, at + 4);
    const size_t end = at + 8 + size + size % 2;
    if (end != f.size() || (size % 2 && f.back() != 0)) return {"data size or pad byte"};
    if (size % align != 0) return {"a part-frame in the data"};
    if (c.tag == 3 && u32At(f, 46) != size / align) return {"fact frame count"};
    c.data.assign(f.begin() + at + 8, f.begin() + at + 8 + size);
    return c;
}

// What sox says of a file: rate, channels, bits, samples per channel, encoding.
std::string soxView(const std::wstring& path)
{
    const std::string f = shellQuote(unixPath(path));
    std::string out;
    if (runUnixCommand("for o in -r -c -b -s -e; do soxi $o " + f + "; done", &out) != 0) return "soxi failed: " + out;
    std::istringstream lines(out);
    std::string line, view;
    while (std::getline(lines, line)) view += (view.empty() ? "" : " ") + line;
    return view;
}

// Python's wave module: "rate width channels frames", and the frames' bytes.
std::string pythonView(const std::wstring& path, Bytes& frames)
{
    const std::wstring script = writeTempFile(L"frames.py", [] {
        const std::string s = "import sys, wave\n"
                              "w = wave.open(sys.argv[1], 'rb')\n"
                              "print(w.getframerate(), w.getsampwidth(), w.getnchannels(), w.getnframes())\n"
                              "open(sys.argv[2], 'wb').write(w.readframes(w.getnframes()))\n";
        return Bytes(s.begin(), s.end());
    }());
    const std::wstring raw = tempFolder() + L"frames.raw";
    std::string out;
    const int code = runUnixCommand("python3 " + shellQuote(unixPath(script)) + " " + shellQuote(unixPath(path)) + " " +
                                        shellQuote(unixPath(raw)), &out);
    frames = readBytes(raw);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
    return code == 0 ? out : "python failed: " + out;
}

std::vector<int16_t> oddLengthTone(double hz, int rate, double seconds)
{
    std::vector<int16_t> t = tone(hz, rate, seconds, 20000);
    if (t.size() % 2 == 0) t.push_back(1234);
    return t;
}

class SaveTest : public KelvaraSession {
protected:
    void open(const std::wstring& path) { ASSERT_TRUE(ui::openFile(app.pid(), w.panel, path)) << narrow(status()); }

    // The menu item: the main window forwards it to the panel, as it does Ctrl+S.
    void saveAs(const std::wstring& path, const std::wstring& outcome, SaveChoice* choice = nullptr)
    {
        ui::markStatus(w.panel);
        postCommand(w.main, IDM_SAVE_SOUND);
        ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), path, choice));
        ASSERT_TRUE(ui::waitForStatus(w.panel, outcome, 60000)) << narrow(status());
    }

    // A refused save: the status says so and no dialog comes up.
    void expectRefused()
    {
        ui::markStatus(w.panel);
        postCommand(w.main, IDM_SAVE_SOUND);
        ASSERT_TRUE(drainPostedMessages(control(w.panel, IDC_STATUS)));
        EXPECT_EQ(status(), L"Save A File...Busy.");
        EXPECT_EQ(findSaveDialog(app.pid()), nullptr);
    }
};

TEST_F(SaveTest, RecordingSavedAndOpenedAgainIsTheSameSound)
{
    if (environment("KELVARA_PULSE_CTL").empty()) GTEST_SKIP() << "needs the session sound server (scripts/headless.sh)";
    const std::string sink = sinkName();
    clickButton(w.panel, IDC_SOURCE_RECORD);
    ASSERT_TRUE(waitFor([&] { return isEnabled(w.panel, IDC_RECORD); }));
    selectComboItem(w.panel, IDC_RECORD_RATE, 0);     // 22050 Hz
    selectComboItem(w.panel, IDC_RECORD_BITS, 1);     // 16 bits
    selectComboItem(w.panel, IDC_RECORD_SECONDS, 0);  // 2 s
    const std::wstring tonePath = writeWav16(L"tone.wav", 22050, 1, tone(1000, 22050, 20.0));
    const std::string pidFile = shellQuote(unixPath(tempFolder() + L"paplay.pid"));
    ASSERT_EQ(runUnixCommand("paplay -d " + shellQuote(sink) + " " + shellQuote(unixPath(tonePath)) +
                             " >/dev/null 2>&1 </dev/null & echo $! >" + pidFile), 0);
    clickButton(w.panel, IDC_RECORD);
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Recording...Done.", 30000)) << narrow(status());
    runUnixCommand("kill $(cat " + pidFile + ")");

    const std::wstring saved = tempFolder() + L"recorded.wav";
    SaveChoice choice;
    saveAs(saved, L"Save A File...Done.", &choice);
    EXPECT_TRUE(std::regex_match(narrow(choice.proposed), std::regex(R"(recording-20\d{6}-\d{6}\.wav)")))
        << narrow(choice.proposed);

    const Canonical file = readCanonical(readBytes(saved));
    ASSERT_EQ(file.problem, "");
    EXPECT_EQ(file.tag, 1);
    EXPECT_EQ(file.channels, 1);
    EXPECT_EQ(file.rate, 22050u);
    EXPECT_EQ(file.bits, 16);
    EXPECT_EQ(file.data.size(), 2u * 22050 * 2);
    int loudest = 0;
    for (size_t i = 0; i + 1 < file.data.size(); i += 2)
        loudest = std::max(loudest, std::abs(static_cast<int16_t>(u16At(file.data, i))));
    EXPECT_GT(loudest, 4000) << "the tone did not reach the recording";
    Bytes frames;
    EXPECT_EQ(pythonView(saved, frames), "22050 2 1 44100");
    EXPECT_TRUE(frames == file.data);

    // Opened again, the sound is the recording: saved once more, its bytes
    // are the same, and the dialog now proposes the file's own name.
    open(saved);
    EXPECT_EQ(controlText(w.panel, IDC_SAMPLE_RATE), L"22.1");
    EXPECT_EQ(controlText(w.panel, IDC_BIT_RATE), L"16.0");
    const std::wstring again = tempFolder() + L"again.wav";
    saveAs(again, L"Save A File...Done.", &choice);
    EXPECT_EQ(choice.proposed, L"recorded.wav");
    EXPECT_TRUE(readBytes(again) == readBytes(saved));
}

struct RoundTripCase {
    const char* what;
    wavbytes::FileShape shape;
    Bytes data;
    uint16_t savedTag;
    std::string sox;     // rate channels bits samples encoding, as soxi prints them
    std::string python;  // "" where the wave module reads no such file (float)
};

std::vector<RoundTripCase> roundTripCases()
{
    const std::vector<int16_t> mono = oddLengthTone(440, 22050, 0.5);
    const std::string n = std::to_string(mono.size());
    wavbytes::FileShape pcm24;
    pcm24.bits = 24;
    wavbytes::FileShape extensible24 = pcm24;
    extensible24.formatTag = 0xFFFE, extensible24.fmtSize = 40, extensible24.subFormat = 1;
    wavbytes::FileShape float32;
    float32.formatTag = 3, float32.bits = 32, float32.rate = 48000;
    wavbytes::FileShape stereo;
    stereo.channels = 2, stereo.rate = 44100;
    wavbytes::FileShape eight;
    eight.bits = 8, eight.rate = 11025;
    const std::vector<int16_t> pair = interleave(mono, tone(700, 22050, double(mono.size()) / 22050, 9000));
    const std::vector<uint8_t> eightBit = toEightBit(mono);
    return {
        {"24-bit mono, odd length", pcm24, wavbytes::pcm24Over16(mono, 0x80), 1,
         "22050 1 24 " + n + " Signed Integer PCM", "22050 3 1 " + n},
        {"24-bit extensible", extensible24, wavbytes::pcm24Over16(mono, 0x7F), 1,
         "22050 1 24 " + n + " Signed Integer PCM", "22050 3 1 " + n},
        {"32-bit float", float32, wavbytes::float32Over16(mono), 3, "48000 1 32 " + n + " Floating Point PCM", ""},
        {"16-bit stereo", stereo, wavbytes::pcm16(pair), 1, "44100 2 16 " + n + " Signed Integer PCM",
         "44100 2 2 " + n},
        {"8-bit mono, odd length: a pad byte", eight, Bytes(eightBit.begin(), eightBit.end()), 1,
         "11025 1 8 " + n + " Unsigned Integer PCM", "11025 1 1 " + n},
    };
}

TEST_F(SaveTest, LoadedFilesRoundTripBitForBit)
{
    int serial = 0;
    for (const RoundTripCase& c : roundTripCases()) {
        SCOPED_TRACE(c.what);
        const std::wstring name = L"source" + std::to_wstring(++serial) + L".wav";
        const std::wstring source = writeTempFile(name, wavbytes::file(c.shape, c.data));
        open(source);
        const std::wstring saved = tempFolder() + L"saved" + std::to_wstring(serial) + L".wav";
        SaveChoice choice;
        saveAs(saved, L"Save A File...Done.", &choice);
        EXPECT_EQ(choice.proposed, name);

        const Canonical file = readCanonical(readBytes(saved));
        ASSERT_EQ(file.problem, "");
        EXPECT_EQ(file.tag, c.savedTag);
        EXPECT_EQ(file.channels, c.shape.channels);
        EXPECT_EQ(file.rate, c.shape.rate);
        EXPECT_EQ(file.bits, c.shape.bits);
        EXPECT_TRUE(file.data == c.data) << "the samples changed";
        EXPECT_EQ(soxView(saved), c.sox);
        if (!c.python.empty()) {
            Bytes frames;
            EXPECT_EQ(pythonView(saved, frames), c.python);
            EXPECT_TRUE(frames == c.data);
        }
    }
}

// A mounted 64 KiB disk, unmounted when the test is done with it.
class SmallDisk {
public:
    explicit SmallDisk(const std::wstring& folder) : unix_(shellQuote(unixPath(folder)))
    {
        mounted_ = runUnixCommand("mkdir -p " + unix_ + " && mount -t tmpfs -o size=64k tmpfs " + unix_) == 0;
    }
    ~SmallDisk()
    {
        if (mounted_) runUnixCommand("umount " + unix_);
    }
    bool mounted() const { return mounted_; }

private:
    std::string unix_;
    bool mounted_ = false;
};

// Every way a save can fail leaves the old file as it was, no temporary file
// behind, and the sound as it was loaded (which a later save shows).
TEST_F(SaveTest, FailedSavesChangeNothing)
{
    const std::vector<int16_t> samples = tone(300, 22050, 2.0);  // 88 KB: more than the small disk holds
    const Bytes sound = wavbytes::pcm16File(22050, 1, samples);
    open(writeTempFile(L"two-seconds.wav", sound));
    const Bytes old = wavbytes::pcm16File(8000, 1, tone(100, 8000, 0.1));

    enum class Way { FullDisk, HeldOpen, FolderGone };
    const struct {
        const char* what;
        Way way;
        std::wstring folder;
    } cases[] = {
        {"a full disk", Way::FullDisk, tempFolder() + L"small\\"},
        {"a target held open without sharing", Way::HeldOpen, tempFolder() + L"held\\"},
        {"a folder that is not there", Way::FolderGone, tempFolder() + L"gone\\"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::unique_ptr<SmallDisk> disk;
        HANDLE holder = INVALID_HANDLE_VALUE;
        const std::wstring target = c.folder + L"old.wav";
        if (c.way == Way::FullDisk) {
            disk = std::make_unique<SmallDisk>(c.folder);
            ASSERT_TRUE(disk->mounted());
        } else if (c.way == Way::HeldOpen) {
            CreateDirectoryW(c.folder.c_str(), nullptr);
        }
        if (c.way != Way::FolderGone) {
            ASSERT_TRUE(writeTempFile(target.substr(tempFolder().size()), old) == target);
        }
        if (c.way == Way::HeldOpen) {
            holder = CreateFileW(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
            ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        }

        saveAs(target, L"Save A File...Failed.");
        HWND box = waitForMessageBox(app.pid());
        ASSERT_TRUE(box);
        EXPECT_EQ(messageBoxText(box), failureText);
        EXPECT_TRUE(dismissMessageBox(box));
        if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);

        if (c.way == Way::FolderGone) {
            EXPECT_EQ(GetFileAttributesW(c.folder.c_str()), INVALID_FILE_ATTRIBUTES);
        } else {
            EXPECT_TRUE(readBytes(target) == old) << "the old file changed";
            WIN32_FIND_DATAW found;
            HANDLE search = FindFirstFileW((c.folder + L"*").c_str(), &found);
            std::vector<std::wstring> names;
            for (BOOL more = search != INVALID_HANDLE_VALUE; more; more = FindNextFileW(search, &found))
                if (found.cFileName[0] != L'.') names.push_back(found.cFileName);
            if (search != INVALID_HANDLE_VALUE) FindClose(search);
            EXPECT_EQ(names, std::vector<std::wstring>{L"old.wav"}) << "a temporary file was left behind";
        }
    }

    const std::wstring good = tempFolder() + L"after-failures.wav";
    saveAs(good, L"Save A File...Done.");
    EXPECT_TRUE(readBytes(good) == sound);
}

TEST_F(SaveTest, NothingToSaveAndBusyAreRefused)
{
    expectRefused();  // no sound yet
    open(writeWav16(L"long.wav", 22050, 1, tone(500, 22050, 20.0)));
    clickButton(w.panel, IDC_PLAY_ALL);
    if (!ui::waitForStatus(w.panel, L"Playing...", 5000)) GTEST_SKIP() << "no output device: " << narrow(status());
    expectRefused();
    clickButton(w.panel, IDC_STOP);
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Playing...Done.")) << narrow(status());

    // Idle again, the dialog comes; a cancel writes nothing and says
    // nothing: the status line keeps what it said before.
    ui::markStatus(w.panel);
    const std::wstring before = status();
    postCommand(w.main, IDM_SAVE_SOUND);
    ASSERT_TRUE(cancelSaveDialog(app.pid()));
    ASSERT_TRUE(drainPostedMessages(control(w.panel, IDC_STATUS)));
    EXPECT_EQ(status(), before);
}

// Ctrl+S typed on the keyboard (as input the system delivers, so the
// accelerator sees Ctrl held down) opens the same dialog.
TEST_F(SaveTest, CtrlSOpensTheSaveDialog)
{
    open(writeWav16(L"short.wav", 22050, 1, tone(500, 22050, 0.5)));
    SetForegroundWindow(w.main);
    SetFocus(w.main);
    ASSERT_TRUE(waitFor([&] { return GetForegroundWindow() == w.main; }, 5000));
    INPUT keys[4] = {};
    const WORD codes[4] = {VK_CONTROL, 'S', 'S', VK_CONTROL};
    for (int i = 0; i < 4; ++i) {
        keys[i].type = INPUT_KEYBOARD;
        keys[i].ki.wVk = codes[i];
        keys[i].ki.dwFlags = i >= 2 ? KEYEVENTF_KEYUP : 0;
    }
    ASSERT_EQ(SendInput(4, keys, sizeof(INPUT)), 4u);
    EXPECT_TRUE(cancelSaveDialog(app.pid()));
}

TEST_F(SaveTest, TenMinuteSoundSavesQuickly)
{
    const std::vector<int16_t> samples = tone(440, 44100, 600.0);
    const Bytes sound = wavbytes::pcm16File(44100, 1, samples);
    open(writeTempFile(L"ten-minutes.wav", sound));
    const std::wstring saved = tempFolder() + L"ten-minutes-saved.wav";
    SaveChoice choice;
    saveAs(saved, L"Save A File...Done.", &choice);
    std::printf("[ benchmark ] saving a 10-minute 44.1 kHz 16-bit sound (%zu bytes): %.0f ms from Save to \"Save A File...Done.\"\n",
                sound.size(), clockMs() - choice.pressedAtMs);
    EXPECT_TRUE(readBytes(saved) == sound);
}

// The path relative to tempFolder(), on the Unix side: Wine's own
// conversion is not asked to take paths longer than MAX_PATH.
std::string unixPathInTemp(const std::wstring& path)
{
    std::string tail = narrow(path.substr(tempFolder().size()));
    std::replace(tail.begin(), tail.end(), '\\', '/');
    return unixPath(tempFolder()) + "/" + tail;
}

// A folder path over 320 characters: more than MAX_PATH, and more than
// GetTempFileNameW takes. Wine's save dialog cannot hand such a path back, so
// the test names the target through a test hook in its place. The sound
// itself comes from that folder, named on the command line.
TEST(LongPaths, SavesIntoAFolderLongerThanMaxPath)
{
    const Bytes sound = wavbytes::pcm16File(22050, 1, tone(440, 22050, 0.5));
    std::wstring folder = tempFolder();
    for (wchar_t c = L'a'; folder.size() <= 320; ++c) folder += std::wstring(60, c) + L"\\";
    const std::string unixFolder = unixPathInTemp(folder);
    const std::wstring source = writeTempFile(L"deep-source.wav", sound);
    ASSERT_EQ(runUnixCommand("mkdir -p " + shellQuote(unixFolder) + " && cp " + shellQuote(unixPath(source)) + " " +
                             shellQuote(unixFolder + "/source.wav")), 0);
    struct Removed {
        std::string folder;
        ~Removed() { runUnixCommand("rm -rf " + shellQuote(folder)); }
    } removed{unixPathInTemp(tempFolder() + std::wstring(60, L'a'))};

    KelvaraProcess app;
    SetEnvironmentVariableW(L"KELVARA_TEST_SAVE_TARGET", (folder + L"deep.wav").c_str());
    const bool launched = app.launch(L"", L"\"" + folder + L"source.wav\"");
    SetEnvironmentVariableW(L"KELVARA_TEST_SAVE_TARGET", nullptr);
    ASSERT_TRUE(launched);
    ASSERT_TRUE(app.waitForWindows());
    const KelvaraWindows& w = app.windows();
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));
    ASSERT_EQ(controlText(w.panel, IDC_SAMPLE_RATE), L"22.1");

    // Written, and written again over itself.
    for (int round = 0; round < 2; ++round) {
        SCOPED_TRACE(round);
        ui::markStatus(w.panel);
        postCommand(w.main, IDM_SAVE_SOUND);
        ASSERT_TRUE(ui::waitForStatus(w.panel, L"Save A File...Done.")) << narrow(ui::status(w.panel));
        Bytes frames;
        EXPECT_EQ(pythonView(windowsPath(unixFolder + "/deep.wav"), frames), "22050 2 1 11025");
        EXPECT_TRUE(frames == Bytes(sound.begin() + 44, sound.end()));
        std::string listing;
        ASSERT_EQ(runUnixCommand("ls -A " + shellQuote(unixFolder), &listing), 0);
        EXPECT_EQ(listing, "deep.wav\nsource.wav\n") << "a temporary file was left behind";
    }
    app.requestClose();
    DWORD code = 1;
    EXPECT_TRUE(app.waitForExit(code));
}

// A path that does not fit the dialog's buffer (made small here by a test
// hook; 32768 characters otherwise) is a failure, not a cancel: the open and
// the save say so with their failure messages.
TEST(DialogFailures, APathTheDialogCannotHandBackIsReportedAsAFailure)
{
    // A sound under a short name, opened from the command line without the dialog.
    const std::wstring source = L"Z:\\tmp\\kelvara-dialog-failure.wav";
    const Bytes sound = wavbytes::pcm16File(22050, 1, tone(440, 22050, 0.5));
    FILE* file = _wfopen(source.c_str(), L"wb");
    ASSERT_TRUE(file);
    std::fwrite(sound.data(), 1, sound.size(), file);
    std::fclose(file);
    struct Removed {
        std::wstring path;
        ~Removed() { DeleteFileW(path.c_str()); }
    } removed{source};

    KelvaraProcess app;
    SetEnvironmentVariableW(L"KELVARA_TEST_DIALOG_PATH_CAPACITY", L"40");
    const bool launched = app.launch(L"", L"\"" + source + L"\"");
    SetEnvironmentVariableW(L"KELVARA_TEST_DIALOG_PATH_CAPACITY", nullptr);
    ASSERT_TRUE(launched);
    ASSERT_TRUE(app.waitForWindows());
    const KelvaraWindows& w = app.windows();
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));

    const std::wstring longName = tempFolder() + L"a-name-longer-than-forty-characters.wav";
    ui::markStatus(w.panel);
    postCommand(w.main, IDM_SAVE_SOUND);
    ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), longName));
    HWND box = waitForMessageBox(app.pid());
    ASSERT_TRUE(box) << narrow(ui::status(w.panel));
    EXPECT_EQ(messageBoxText(box), failureText);
    ASSERT_TRUE(dismissMessageBox(box));
    EXPECT_TRUE(ui::waitForStatus(w.panel, L"Save A File...Failed.")) << narrow(ui::status(w.panel));
    EXPECT_EQ(GetFileAttributesW(longName.c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring other = writeWav16(L"another-name-longer-than-forty-characters.wav", 8000, 1, tone(300, 8000, 0.5));
    postCommand(w.main, IDM_OPEN);
    ASSERT_TRUE(chooseFileInOpenDialog(app.pid(), other));
    box = waitForMessageBox(app.pid());
    ASSERT_TRUE(box) << narrow(ui::status(w.panel));
    EXPECT_EQ(messageBoxText(box), L"ファイルオープンに失敗しました。");
    ASSERT_TRUE(dismissMessageBox(box));
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));
    EXPECT_EQ(controlText(w.panel, IDC_SAMPLE_RATE), L"22.1") << "the sound changed";

    app.requestClose();
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(code));
    EXPECT_EQ(code, 0u);
}

// ---- Recordings that were never saved -------------------------------------------

class UnsavedRecordingTest : public SaveTest {
protected:
    void SetUp() override
    {
        if (environment("KELVARA_PULSE_CTL").empty()) GTEST_SKIP() << "needs the session sound server (scripts/headless.sh)";
        SaveTest::SetUp();
    }

    // 2 s at 22050 Hz, 16 bits, of what the sink plays (silence will do).
    void record()
    {
        if (!isEnabled(w.panel, IDC_RECORD)) {
            clickButton(w.panel, IDC_SOURCE_RECORD);
            ASSERT_TRUE(waitFor([&] { return isEnabled(w.panel, IDC_RECORD); }));
            selectComboItem(w.panel, IDC_RECORD_RATE, 0);
            selectComboItem(w.panel, IDC_RECORD_BITS, 1);
            selectComboItem(w.panel, IDC_RECORD_SECONDS, 0);
        }
        ui::markStatus(w.panel);
        clickButton(w.panel, IDC_RECORD);
        ASSERT_TRUE(ui::waitForStatus(w.panel, L"Recording...Done.", 30000)) << narrow(status());
    }

    void answer(int button)
    {
        HWND question = waitForUnsavedQuestion(app.pid());
        ASSERT_TRUE(question) << "nothing was asked; the status says " << narrow(status());
        ASSERT_TRUE(answerMessageBox(question, button));
    }

    // Everything posted so far is handled, and no message box is up.
    void expectSettledWithoutQuestion()
    {
        ASSERT_TRUE(drainPostedMessages(control(w.panel, IDC_STATUS)));
        EXPECT_EQ(findMessageBox(app.pid()), nullptr);
    }

    // What Python's wave module makes of a 2 s recording saved at `path`.
    void expectSavedRecording(const std::wstring& path)
    {
        Bytes frames;
        EXPECT_EQ(pythonView(path, frames), "22050 2 1 44100");
    }
};

TEST_F(UnsavedRecordingTest, RecordingAgainAsksFirst)
{
    record();
    ui::markStatus(w.panel);
    const std::wstring before = status();
    // Cancel, and Yes with the save dialog cancelled: nothing starts.
    clickButton(w.panel, IDC_RECORD);
    answer(IDCANCEL);
    expectSettledWithoutQuestion();
    EXPECT_EQ(status(), before);
    clickButton(w.panel, IDC_RECORD);
    answer(IDYES);
    ASSERT_TRUE(cancelSaveDialog(app.pid()));
    expectSettledWithoutQuestion();
    EXPECT_EQ(status(), before);

    // Yes and saved: the recording is in the file, then the new one runs.
    const std::wstring kept = tempFolder() + L"kept-before-recording-again.wav";
    clickButton(w.panel, IDC_RECORD);
    answer(IDYES);
    ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), kept));
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Recording...Done.", 30000)) << narrow(status());
    expectSavedRecording(kept);

    // The new recording was never saved either: No records over it.
    ui::markStatus(w.panel);
    clickButton(w.panel, IDC_RECORD);
    answer(IDNO);
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Recording...Done.", 30000)) << narrow(status());
}

TEST_F(UnsavedRecordingTest, OpeningOrDroppingAFileAsksFirst)
{
    const std::wstring eightK = writeWav16(L"eight-k.wav", 8000, 1, tone(440, 8000, 0.5));
    record();
    // From the menu, Cancel: no open dialog, the recording stays.
    postCommand(w.main, IDM_OPEN);
    answer(IDCANCEL);
    expectSettledWithoutQuestion();
    EXPECT_EQ(findTopWindow(app.pid(), L"#32770", L"ファイルを開く"), nullptr);
    // Dropped, Yes, the save dialog cancelled: the recording stays.
    ASSERT_TRUE(dropFiles(app.handle(), w.main, {eightK}));
    answer(IDYES);
    ASSERT_TRUE(cancelSaveDialog(app.pid()));
    expectSettledWithoutQuestion();
    EXPECT_EQ(controlText(w.panel, IDC_SAMPLE_RATE), L"22.1");

    // Dropped, No: the file opens; a file's sound then asks nothing.
    ui::markStatus(w.panel);
    ASSERT_TRUE(dropFiles(app.handle(), w.main, {eightK}));
    answer(IDNO);
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done.")) << narrow(status());
    EXPECT_EQ(controlText(w.panel, IDC_SAMPLE_RATE), L"8.0");
    ASSERT_TRUE(ui::openFromMenu(app.pid(), w.main, w.panel, eightK));

    // Recorded again, the menu's open with Yes: saved, then the dialog.
    record();
    const std::wstring kept = tempFolder() + L"kept-before-opening.wav";
    postCommand(w.main, IDM_OPEN);
    answer(IDYES);
    ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), kept));
    ASSERT_TRUE(chooseFileInOpenDialog(app.pid(), eightK));
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done.")) << narrow(status());
    EXPECT_EQ(controlText(w.panel, IDC_SAMPLE_RATE), L"8.0");
    expectSavedRecording(kept);
}

TEST_F(UnsavedRecordingTest, ClosingAsksFirstAndEndsOnlyWhenLetGo)
{
    record();
    app.requestClose();
    answer(IDCANCEL);
    postCommand(w.main, IDM_EXIT);  // the menu's exit asks alike
    answer(IDYES);
    ASSERT_TRUE(cancelSaveDialog(app.pid()));
    expectSettledWithoutQuestion();
    EXPECT_TRUE(app.running());
    EXPECT_TRUE(IsWindowVisible(w.main));

    const std::wstring kept = tempFolder() + L"kept-at-close.wav";
    app.requestClose();
    answer(IDYES);
    ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), kept));
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(code));
    EXPECT_EQ(code, 0u);
    expectSavedRecording(kept);
}

TEST_F(UnsavedRecordingTest, ClosingWithNoEndsWithoutSaving)
{
    record();
    app.requestClose();
    answer(IDNO);
    DWORD code = 1;
    ASSERT_TRUE(app.waitForExit(code));
    EXPECT_EQ(code, 0u);
}

// WM_QUERYENDSESSION, as Windows sends it to every top-level window before
// it logs off or shuts down, from a thread of its own: it waits for the answer.
class SessionQuery {
public:
    explicit SessionQuery(HWND window)
        : thread_([this, window] {
              answered_ = SendMessageTimeoutW(window, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF, SMTO_NORMAL, 60000,
                                              &result_) != 0;
          })
    {
    }
    ~SessionQuery()
    {
        if (thread_.joinable()) thread_.join();
    }
    // TRUE or FALSE as the program answered; -1 when it did not.
    LRESULT answer()
    {
        thread_.join();
        return answered_ ? static_cast<LRESULT>(result_) : -1;
    }

private:
    DWORD_PTR result_ = 0;
    bool answered_ = false;
    std::thread thread_;
};

TEST_F(UnsavedRecordingTest, TheEndOfTheSessionAsksFirst)
{
    record();
    {
        SessionQuery query(w.main);
        answer(IDCANCEL);
        EXPECT_EQ(query.answer(), FALSE);
    }
    {
        SessionQuery query(w.main);
        answer(IDYES);
        ASSERT_TRUE(cancelSaveDialog(app.pid()));
        EXPECT_EQ(query.answer(), FALSE);
    }
    {
        SessionQuery query(w.main);
        answer(IDNO);
        EXPECT_EQ(query.answer(), TRUE);
    }
    const std::wstring kept = tempFolder() + L"kept-at-logoff.wav";
    {
        SessionQuery query(w.main);
        answer(IDYES);
        ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), kept));
        EXPECT_EQ(query.answer(), TRUE);
    }
    expectSavedRecording(kept);
    // Saved now: the session may end without a question.
    SessionQuery query(w.main);
    EXPECT_EQ(query.answer(), TRUE);
    EXPECT_EQ(findMessageBox(app.pid()), nullptr);
}

TEST_F(UnsavedRecordingTest, ExportsAreNamedAfterTheSoundReallyLoaded)
{
    auto proposal = [&](int command) {
        std::wstring proposed;
        postCommand(w.main, command);
        EXPECT_TRUE(proposedNameThenCancel(app.pid(), proposed));
        return proposed;
    };
    open(writeWav16(L"good take.wav", 22050, 1, tone(440, 22050, 0.5)));
    // Numbers to export come from a run.
    ASSERT_TRUE(ui::drawVoicePrint(w.panel));
    // A file that fails to open keeps the sound, and its name in the proposals.
    const std::wstring broken = writeTempFile(L"broken.wav", Bytes{'n', 'o', 't'});
    ASSERT_TRUE(ui::chooseThroughDialog(app.pid(), w.panel, broken));
    HWND box = waitForMessageBox(app.pid());
    ASSERT_TRUE(box);
    ASSERT_TRUE(dismissMessageBox(box));
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));
    EXPECT_EQ(proposal(IDM_SAVE_NUMBERS), L"good take.csv");
    const std::wstring picture = proposal(IDM_SAVE_PICTURE);
    EXPECT_TRUE(picture == L"good take.png" || picture == L"good take.bmp") << narrow(picture);

    // A recording is "Kelvara".
    record();
    ASSERT_TRUE(ui::drawVoicePrint(w.panel));
    EXPECT_EQ(proposal(IDM_SAVE_NUMBERS), L"Kelvara.csv");
    EXPECT_EQ(proposal(IDM_SAVE_PICTURE), picture == L"good take.png" ? L"Kelvara.png" : L"Kelvara.bmp");
}

}  // namespace
