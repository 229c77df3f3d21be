// Opening the sound files people have (MP3, M4A, FLAC, Ogg Vorbis, Opus,
// WMA, AIFF) as a person does, through the open dialog, and checking what
// Kelvara made of them with tools we did not write: ffmpeg makes every file
// from one WAV written here, Kelvara saves what it decoded as a WAV through
// its own "名前を付けて保存", and Python's wave module reads that back.
// Lossless files must give every sample of the WAV; lossy ones its length
// within the codec's known delay and its loudness.
//
// Also: a damaged file and a video without sound are refused with the open
// failure message and the loaded sound stays; a file is told by its content,
// not its name; the command line opens the same files; and an hour of MP3
// decodes with its progress on the status line ("BENCH" line: decoding speed).
#include "driver/Pictures.h"
#include "driver/SaveDialog.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"

using namespace ui;

namespace {

constexpr int sourceRate = 44100;
constexpr double sourceSeconds = 3.0;

std::string quote(const std::string& s) { return "'" + s + "'"; }

// The sound every file is made from: a rising tone on the left, and on the
// right a quieter one of another pitch, so a decoder handing over the wrong
// channel shows in the loudness.
std::vector<int16_t> sourceSound()
{
    const std::vector<int16_t> left = risingTone(440, sourceRate, sourceSeconds - 0.5, 0.5, 20000);
    const std::vector<int16_t> right = tone(1700, sourceRate, sourceSeconds, 3000);
    return interleave(left, right);
}

// What Python's wave module reads in a WAV: its format, its frame count, the
// RMS of its first channel, and whether its frames equal another WAV's.
struct WavFacts {
    int rate = 0, width = 0, channels = 0;
    long frames = 0;
    double firstChannelRms = 0;
    bool sameFramesAsReference = false;
    std::string error;
};

WavFacts readWithPython(const std::wstring& path, const std::wstring& reference)
{
    static const std::wstring script = writeTempFile(L"wavfacts.py", [] {
        const std::string s =
            "import sys, wave, array, math\n"
            "def load(p):\n"
            "    w = wave.open(p, 'rb')\n"
            "    return w.getframerate(), w.getsampwidth(), w.getnchannels(), w.getnframes(), w.readframes(w.getnframes())\n"
            "rate, width, ch, n, data = load(sys.argv[1])\n"
            "ref = load(sys.argv[2])\n"
            "rms = 0.0\n"
            "if width == 2 and n > 0:\n"
            "    a = array.array('h', data)\n"
            "    first = a[0::ch]\n"
            "    rms = math.sqrt(sum(float(x) * x for x in first) / len(first))\n"
            "print(rate, width, ch, n, '%.3f' % rms, 1 if (width, ch, data) == (ref[1], ref[2], ref[4]) else 0)\n";
        return std::vector<uint8_t>(s.begin(), s.end());
    }());
    WavFacts facts;
    std::string out;
    const int code = runUnixCommand("python3 " + quote(unixPath(script)) + " " + quote(unixPath(path)) + " " +
                                        quote(unixPath(reference)), &out);
    if (code != 0) {
        facts.error = "python failed: " + out;
        return facts;
    }
    int same = 0;
    std::istringstream in(out);
    if (!(in >> facts.rate >> facts.width >> facts.channels >> facts.frames >> facts.firstChannelRms >> same))
        facts.error = "unreadable: " + out;
    facts.sameFramesAsReference = same == 1;
    return facts;
}

// Makes `name` from `source` with ffmpeg; true when it could.
bool makeWithFfmpeg(const std::wstring& source, const std::wstring& name, const std::string& options = "")
{
    const std::wstring target = tempFolder() + name;
    std::string out;
    const int code = runUnixCommand("ffmpeg -nostdin -y -v error -i " + quote(unixPath(source)) + " " + options + " " +
                                        quote(unixPath(target)), &out, 120000);
    if (code != 0) ADD_FAILURE() << "ffmpeg could not make " << narrow(name) << ": " << out;
    return code == 0;
}

struct FormatCase {
    const char* what;
    std::wstring fileName;
    std::string ffmpegOptions;
    bool lossless;
    int decodedRate;    // what the decoder delivers
    int otherRate;      // another rate a decoder may deliver instead (0: none)
    long lengthChange;  // decoded frames minus the source's, at the decoded rate (the codec's delay and padding)
    long lengthSlack;   // how far from lengthChange a length may be: a frame of the codec at most
};

class OpenFormatsTest : public KelvaraSession {
protected:
    std::wstring rateText() { return controlText(w.panel, IDC_SAMPLE_RATE); }
    std::wstring bitsText() { return controlText(w.panel, IDC_BIT_RATE); }

    // The sound as Kelvara holds it, written out through its own save.
    void saveAs(const std::wstring& path)
    {
        markStatus(w.panel);
        postCommand(w.main, IDM_SAVE_SOUND);
        ASSERT_TRUE(chooseFileInSaveDialog(app.pid(), path));
        ASSERT_TRUE(waitForStatus(L"Save A File...Done.", 60000)) << narrow(status());
    }

    // Chooses `path` in the open dialog and expects the failure message;
    // then everything the person sees of the loaded sound must be as it was.
    void expectRefused(const std::wstring& path, const Image& waveBefore)
    {
        const std::wstring rate = rateText(), bits = bitsText();
        ASSERT_TRUE(chooseThroughDialog(app.pid(), w.panel, path));
        HWND box = waitForMessageBox(app.pid(), 60000);
        ASSERT_NE(box, nullptr) << "no message box for " << narrow(path);
        EXPECT_EQ(messageBoxText(box), L"ファイルオープンに失敗しました。");
        EXPECT_EQ(windowText(box), L"!");
        ASSERT_TRUE(dismissMessageBox(box));
        ASSERT_TRUE(waitForStatus(L"Open A File...Done."));
        const Image after = captureUntil(w.wave, [&](const Image& i) { return i.pixels == waveBefore.pixels; }, 5000);
        EXPECT_TRUE(after.pixels == waveBefore.pixels) << "the waveform changed after " << narrow(path);
        EXPECT_EQ(rateText(), rate);
        EXPECT_EQ(bitsText(), bits);
    }
};

TEST_F(OpenFormatsTest, EveryFormatOpensAsTheSoundItWasMadeFrom)
{
    const std::vector<int16_t> stereo = sourceSound();
    const long sourceFrames = static_cast<long>(stereo.size() / 2);
    const std::wstring source = writeWav16(L"source.wav", sourceRate, 2, stereo);
    // The reference: the source as Kelvara saves a loaded WAV (what a lossless
    // file must give back to the byte), and its loudness.
    ASSERT_TRUE(openFile(app.pid(), w.panel, source));
    const std::wstring reference = tempFolder() + L"reference.wav";
    ASSERT_NO_FATAL_FAILURE(saveAs(reference));
    const WavFacts original = readWithPython(reference, reference);
    ASSERT_EQ(original.error, "");
    ASSERT_EQ(original.frames, sourceFrames);

    // MP3: the encoder's delay (1,105 frames) and the padding of the last
    // 1,152-frame block come out with the sound, 1,105 to 2,256 frames
    // more; AAC, Vorbis, WMA: within a frame of the codec. Opus is
    // decoded at 48 kHz (Wine's decoder has been seen to give 24 kHz).
    const FormatCase cases[] = {
        {"FLAC", L"sound.flac", "", true, sourceRate, 0, 0, 0},
        {"AIFF", L"sound.aiff", "", true, sourceRate, 0, 0, 0},
        {"MP3", L"sound.mp3", "-b:a 192k", false, sourceRate, 0, 1681, 576},
        {"M4A (AAC)", L"sound.m4a", "-c:a aac", false, sourceRate, 0, 0, 1024},
        {"Ogg Vorbis", L"sound.ogg", "-c:a libvorbis", false, sourceRate, 0, 0, 256},
        {"Opus", L"sound.opus", "-c:a libopus", false, 48000, 24000, 0, 960},
        {"WMA", L"sound.wma", "-c:a wmav2", false, sourceRate, 0, 0, 2048},
    };
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(makeWithFfmpeg(source, c.fileName, c.ffmpegOptions));
        markStatus(w.panel);
        ASSERT_TRUE(openFile(app.pid(), w.panel, tempFolder() + c.fileName)) << narrow(status());
        ASSERT_EQ(findMessageBox(app.pid()), nullptr) << "refused";
        const std::wstring shownRate = rateText();
        const int rate = c.otherRate != 0 && shownRate == oneDecimal(c.otherRate / 1000.0) ? c.otherRate : c.decodedRate;
        EXPECT_EQ(shownRate, oneDecimal(rate / 1000.0));
        EXPECT_EQ(bitsText(), L"16.0");

        const std::wstring saved = tempFolder() + L"decoded-" + c.fileName + L".wav";
        ASSERT_NO_FATAL_FAILURE(saveAs(saved));
        const WavFacts decoded = readWithPython(saved, reference);
        ASSERT_EQ(decoded.error, "");
        EXPECT_EQ(decoded.rate, rate);
        EXPECT_EQ(decoded.width, 2);
        EXPECT_EQ(decoded.channels, 2);
        if (c.lossless) {
            EXPECT_TRUE(decoded.sameFramesAsReference) << "a lossless file lost samples";
            continue;
        }
        const long expected = std::lround(sourceFrames * (rate / double(sourceRate))) + c.lengthChange;
        EXPECT_LE(std::labs(decoded.frames - expected), c.lengthSlack)
            << decoded.frames << " frames where " << expected << " were expected";
        // The right channel is a sixth as loud: the wrong channel, or noise, shows.
        EXPECT_NEAR(decoded.firstChannelRms / original.firstChannelRms, 1.0, 0.05);
    }
}

TEST_F(OpenFormatsTest, DamagedFilesAndVideoWithoutSoundAreRefusedAndTheSoundStays)
{
    const std::wstring source = writeWav16(L"kept.wav", sourceRate, 2, sourceSound());
    ASSERT_TRUE(openFile(app.pid(), w.panel, source));
    // The waveform once it has stood still for two looks in a row.
    Image before;
    ASSERT_TRUE(waitFor([&] {
        Image now = captureVisibleClient(w.wave);
        const bool still = !now.pixels.empty() && now.pixels == before.pixels;
        before = std::move(now);
        return still;
    }));

    // Text that calls itself an MP3; the front of a FLAC file and nothing
    // more; a video with pictures and no sound.
    const std::string text = "This is not a sound at all, only a note that was given the wrong name.\n";
    const std::wstring notSound = writeTempFile(L"note.mp3", std::vector<uint8_t>(text.begin(), text.end()));
    ASSERT_TRUE(makeWithFfmpeg(source, L"whole.flac"));
    ASSERT_EQ(runUnixCommand("head -c 60 " + quote(unixPath(tempFolder() + L"whole.flac")) + " > " +
                             quote(unixPath(tempFolder() + L"cut.flac"))), 0);
    std::string out;
    ASSERT_EQ(runUnixCommand("ffmpeg -nostdin -y -v error -f lavfi -i testsrc=duration=2:size=160x120:rate=10 "
                             "-pix_fmt yuv420p " + quote(unixPath(tempFolder() + L"silent-film.mp4")), &out, 120000), 0)
        << out;

    for (const std::wstring& name : {std::wstring(L"note.mp3"), std::wstring(L"cut.flac"), std::wstring(L"silent-film.mp4")}) {
        SCOPED_TRACE(narrow(name));
        ASSERT_NO_FATAL_FAILURE(expectRefused(tempFolder() + name, before));
    }
    EXPECT_TRUE(app.running());
}

TEST_F(OpenFormatsTest, ContentNotTheNameDecides)
{
    // An MP3 called .wav goes to the system's decoder; a WAV called .mp3 is
    // read by Kelvara's own reader (8-bit: no MP3 decoder would hand that over).
    const std::wstring source = writeWav16(L"named.wav", 22050, 1, tone(500, 22050, 2.0, 12000));
    ASSERT_TRUE(makeWithFfmpeg(source, L"mp3-inside.wav", "-f mp3 -ar 32000"));
    ASSERT_TRUE(openFile(app.pid(), w.panel, tempFolder() + L"mp3-inside.wav"));
    ASSERT_EQ(findMessageBox(app.pid()), nullptr);
    EXPECT_EQ(rateText(), L"32.0");
    EXPECT_EQ(bitsText(), L"16.0");

    const std::wstring eightBit = writeWav8(L"wav-inside.mp3", 11025, 1, toEightBit(tone(300, 11025, 1.0, 12000)));
    ASSERT_TRUE(openFile(app.pid(), w.panel, eightBit));
    ASSERT_EQ(findMessageBox(app.pid()), nullptr);
    EXPECT_EQ(rateText(), L"11.0");
    EXPECT_EQ(bitsText(), L"8.0");
}

TEST(OpenFormatsCommandLine, TheCommandLineOpensAnM4a)
{
    const std::wstring source = writeWav16(L"spoken.wav", 48000, 1, tone(220, 48000, 2.0, 15000));
    ASSERT_TRUE(makeWithFfmpeg(source, L"voice memo.m4a", "-c:a aac"));
    KelvaraProcess app;
    ASSERT_TRUE(app.launch(L"", L"\"" + tempFolder() + L"voice memo.m4a\""));
    ASSERT_TRUE(app.waitForWindows());
    const KelvaraWindows& w = app.windows();
    ASSERT_TRUE(waitForStatus(w.panel, L"Open A File...Done.", 60000)) << narrow(status(w.panel));
    EXPECT_EQ(findMessageBox(app.pid()), nullptr);
    EXPECT_EQ(controlText(w.panel, IDC_SAMPLE_RATE), L"48.0");
    EXPECT_EQ(controlText(w.panel, IDC_FILE_NAME), tempFolder() + L"voice memo.m4a");
    app.requestClose();
    DWORD code = 0;
    EXPECT_TRUE(app.waitForExit(code));
}

// An hour of MP3 (44.1 kHz mono, 64 kbit/s): the status line counts up while
// the window keeps answering, and the decoding speed is printed.
TEST_F(OpenFormatsTest, AnHourOfMp3ShowsItsProgressAndTheDecodingSpeed)
{
    std::string out;
    const std::string tenMinutes = unixPath(tempFolder() + L"ten-minutes.mp3");
    const std::wstring hourPath = tempFolder() + L"an hour.mp3";
    const std::string hour = unixPath(hourPath);
    ASSERT_EQ(runUnixCommand("ffmpeg -nostdin -y -v error -f lavfi -i 'sine=frequency=440:sample_rate=44100:duration=600' "
                             "-ac 1 -b:a 64k " + quote(tenMinutes) + " && ffmpeg -nostdin -y -v error -stream_loop 5 -i " +
                                 quote(tenMinutes) + " -c copy " + quote(hour), &out, 300000), 0)
        << out;
    std::string probed;
    ASSERT_EQ(runUnixCommand("ffprobe -v error -show_entries format=duration -of csv=p=0 " + quote(hour), &probed), 0);
    const double hourSeconds = std::atof(probed.c_str());
    ASSERT_GT(hourSeconds, 3500.0);

    // Three opens of the same file, each seen through to the end.
    constexpr int runs = 3;
    std::vector<double> times;
    size_t progressTexts = 0;
    for (int run = 0; run < runs; ++run) {
        SCOPED_TRACE(run);
        double pressedAt = 0;
        markStatus(w.panel);
        ASSERT_TRUE(chooseThroughDialog(app.pid(), w.panel, hourPath, &pressedAt));
        std::vector<int> percents;
        bool done = false;
        waitFor([&] {
            const std::wstring s = status();  // answered only while the window serves its messages
            done = s == L"Open A File...Done.";
            int percent = -1;
            if (std::swscanf(s.c_str(), L"Open A File...%d %%", &percent) == 1 &&
                (percents.empty() || percents.back() != percent))
                percents.push_back(percent);
            return done;
        }, 600000);
        times.push_back(seconds() - pressedAt);
        ASSERT_TRUE(done) << narrow(status());
        ASSERT_EQ(findMessageBox(app.pid()), nullptr);
        EXPECT_EQ(rateText(), L"44.1");
        EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
        const long between = std::count_if(percents.begin(), percents.end(), [](int p) { return p > 0 && p < 100; });
        EXPECT_GE(between, 3) << "the status line showed too little of the progress";
        progressTexts += percents.size();
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    std::printf("BENCH open %.0f min MP3 44.1 kHz mono 64 kbit/s through Media Foundation, Open pressed to "
                "\"Open A File...Done.\": %.1f s, %.0f x real time (median of %d; fastest %.1f s, slowest %.1f s; "
                "%zu progress texts seen)\n",
                hourSeconds / 60.0, median, hourSeconds / median, runs, times.front(), times.back(), progressTexts);
}

}  // namespace
