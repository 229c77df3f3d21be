// Opening sound files as a person does: "..." (or the menu), the open-file
// dialog, and then what the panel and the waveform show. The expected trace
// is worked out here from the samples the test wrote, so a file read at the
// wrong offset, a wrong sample width or the wrong channel shows as pixels.
#include "driver/Pictures.h"
#include "driver/UiDriver.h"
#include "driver/UserSteps.h"
#include "driver/ViewExpectations.h"

#include <string>
#include <vector>

#include "core/base/CommandIds.h"
#include "tests/support/WavBytes.h"

using namespace ui;
using wavbytes::FileShape;

namespace {

// Frame period of the track bar at its start position (2 x 32 samples).
constexpr int trackBarPeriod = 64;

struct SoundFileCase {
    const char* what;
    std::wstring fileName;
    std::vector<uint8_t> bytes;
    std::vector<double> firstChannel;  // what the waveform must show
    std::wstring rateText;             // edit 1021, kHz
    std::wstring bitsText;             // edit 1022
};

std::vector<double> asDoubles(const std::vector<int16_t>& samples, double offset = 0.0)
{
    std::vector<double> out;
    out.reserve(samples.size());
    for (int16_t s : samples) out.push_back(s + offset);
    return out;
}

std::vector<SoundFileCase> soundFileCases()
{
    std::vector<SoundFileCase> cases;

    const std::vector<int16_t> plain = ui::risingTone(440, 22050, 2.0, 0.5, 20000);
    cases.push_back({"canonical 16-bit mono", L"plain16.wav", wavbytes::pcm16File(22050, 1, plain), asDoubles(plain),
                     L"22.1", L"16.0"});

    // A LIST chunk between "fmt " and "data": the samples start 34 bytes
    // later than in the canonical layout.
    const std::vector<int16_t> listed = ui::risingTone(700, 44100, 1.5, 0.5, 18000);
    FileShape withList;
    withList.rate = 44100;
    const std::string software = "Kelvara tests";  // 13 characters and a NUL
    std::vector<uint8_t> name(software.begin(), software.end());
    name.push_back(0);
    withList.chunksBeforeData = {{"LIST", wavbytes::concat({wavbytes::id("INFO"), wavbytes::chunk("ISFT", name)})}};
    cases.push_back({"16-bit mono with a LIST chunk before the data", L"list16.wav",
                     wavbytes::file(withList, wavbytes::pcm16(listed)), asDoubles(listed), L"44.1", L"16.0"});

    // 24-bit words carry the 16-bit sample in their top bytes; the low byte
    // 0x80 adds half a step.
    const std::vector<int16_t> wide = ui::risingTone(900, 48000, 1.0, 0.25, 20000);
    FileShape deep;
    deep.rate = 48000;
    deep.bits = 24;
    cases.push_back({"24-bit mono", L"deep24.wav", wavbytes::file(deep, wavbytes::pcm24Over16(wide, 0x80)),
                     asDoubles(wide, 0.5), L"48.0", L"24.0"});

    // Stereo: the left channel is shown; the right one is a loud tone of its
    // own that would fill the view if it were taken instead.
    const std::vector<int16_t> left = ui::risingTone(440, 22050, 2.0, 0.5, 16000);
    const std::vector<int16_t> right = tone(2000, 22050, 2.5, 30000);
    cases.push_back({"16-bit stereo", L"stereo16.wav", wavbytes::pcm16File(22050, 2, interleave(left, right)),
                     asDoubles(left), L"22.1", L"16.0"});

    // 8-bit: byte b stands for (b - 128) * 256.
    const std::vector<uint8_t> bytes8 = toEightBit(ui::risingTone(300, 11025, 2.0, 0.5, 20000));
    std::vector<double> shown8;
    for (uint8_t b : bytes8) shown8.push_back((b - 128) * 256.0);
    cases.push_back({"8-bit mono", L"small8.wav", wavbytes::pcm8File(11025, 1, bytes8), shown8, L"11.0", L"8.0"});

    // WAVE_FORMAT_EXTENSIBLE, 40-byte format chunk, PCM sub-format.
    const std::vector<int16_t> ext = ui::risingTone(500, 16000, 2.0, 0.5, 19000);
    FileShape extensible;
    extensible.rate = 16000;
    extensible.fmtSize = 40;
    cases.push_back({"extensible 16-bit mono", L"extensible16.wav",
                     wavbytes::file(extensible, wavbytes::pcm16(ext)), asDoubles(ext), L"16.0", L"16.0"});

    // 32-bit float, an 18-byte format chunk and a fact chunk before the data.
    const std::vector<int16_t> floats = ui::risingTone(250, 8000, 2.0, 0.5, 20000);
    FileShape floating;
    floating.formatTag = 3;
    floating.rate = 8000;
    floating.bits = 32;
    floating.fmtSize = 18;
    std::vector<uint8_t> fact;
    wavbytes::put(fact, floats.size(), 4);
    floating.chunksBeforeData = {{"fact", fact}};
    cases.push_back({"32-bit float with a fact chunk", L"float32.wav",
                     wavbytes::file(floating, wavbytes::float32Over16(floats)), asDoubles(floats), L"8.0", L"32.0"});
    return cases;
}

class LoadTest : public KelvaraSession {
protected:
    // Opens a file through the dialog and waits until the waveform shows the
    // expected picture (or the bound passes); returns the last capture.
    Image openAndSee(const std::wstring& path, const std::vector<double>& shown, const vpt::WaveformState& state,
                     vpt::Comparison& comparison)
    {
        EXPECT_TRUE(ui::openFile(app.pid(), w.panel, path)) << narrow(path);
        const Image image = ui::captureUntil(w.wave, [&](const Image& i) {
            return vpt::compareWaveform(i, shown, state).mismatches == 0;
        });
        comparison = vpt::compareWaveform(image, shown, state);
        return image;
    }

    // The selection a fresh session has after a load: from column 0 to 551
    // track-bar periods further.
    static vpt::WaveformState stateAfterLoad(size_t sampleCount)
    {
        return {0, vpt::selectionEndFromPeriod(0, trackBarPeriod, static_cast<uint32_t>(sampleCount)), 0};
    }

    std::wstring rateText() { return controlText(w.panel, IDC_SAMPLE_RATE); }
    std::wstring bitsText() { return controlText(w.panel, IDC_BIT_RATE); }
    std::wstring fileNameText() { return controlText(w.panel, IDC_FILE_NAME); }
};

TEST_F(LoadTest, EachLayoutLoadsAndDrawsItsFirstChannel)
{
    for (const SoundFileCase& c : soundFileCases()) {
        SCOPED_TRACE(c.what);
        const std::wstring path = writeTempFile(c.fileName, c.bytes);
        ASSERT_FALSE(path.empty());
        vpt::Comparison comparison;
        const Image image = openAndSee(path, c.firstChannel, stateAfterLoad(c.firstChannel.size()), comparison);

        EXPECT_EQ(ui::status(w.panel), L"Open A File...Done.");
        EXPECT_EQ(rateText(), c.rateText);
        EXPECT_EQ(bitsText(), c.bitsText);
        EXPECT_EQ(fileNameText(), path);
        EXPECT_EQ(comparison.mismatches, 0) << comparison;
        if (comparison.mismatches) ui::keepPicture(image, "LoadTest-" + narrow(c.fileName));
    }
}

TEST_F(LoadTest, SilentEndShowsOnlyTheGrid)
{
    // The last fifth of this sound is silence; its columns must hold nothing
    // but the grid (the model expects grid or black there, nothing green).
    const std::vector<int16_t> samples = ui::risingTone(440, 22050, 2.0, 0.5, 20000);
    const std::wstring path = writeWav16(L"silent-end.wav", 22050, 1, samples);
    std::vector<int> silentColumns;
    for (int x = 460; x < 551; ++x) silentColumns.push_back(x);

    ASSERT_TRUE(ui::openFile(app.pid(), w.panel, path));
    const std::vector<double> shown = asDoubles(samples);
    const vpt::WaveformState state = stateAfterLoad(samples.size());
    const Image image = ui::captureUntil(w.wave, [&](const Image& i) {
        return vpt::compareWaveform(i, shown, state, silentColumns).mismatches == 0;
    });
    const vpt::Comparison comparison = vpt::compareWaveform(image, shown, state, silentColumns);
    EXPECT_EQ(comparison.mismatches, 0) << comparison;
    int green = 0;
    for (int x : silentColumns)
        for (int y = vpt::waveformFirstModelRow; y < image.height; ++y)
            green += image.at(x, y) == vpt::traceGreen || image.at(x, y) == vpt::inverted(vpt::traceGreen);
    EXPECT_EQ(green, 0);
}

struct BrokenFileCase {
    const char* what;
    std::wstring fileName;
    FileShape layout;
};

TEST_F(LoadTest, FileThatCannotBeDecodedIsRefusedAndTheSoundStays)
{
    const std::vector<int16_t> samples = ui::risingTone(440, 22050, 2.0, 0.5, 20000);
    const std::wstring goodPath = writeWav16(L"good.wav", 22050, 1, samples);
    ASSERT_TRUE(ui::openFile(app.pid(), w.panel, goodPath));

    // A dragged selection, so that "the selection stays" is seen in the band.
    dragSelection(w.wave, 120, 330);
    const std::vector<double> shown = asDoubles(samples);
    const vpt::WaveformState dragged{120, 330, 120};
    const Image before = ui::captureUntil(w.wave, [&](const Image& i) {
        return vpt::compareWaveform(i, shown, dragged).mismatches == 0;
    });
    ASSERT_EQ(vpt::compareWaveform(before, shown, dragged).mismatches, 0);
    const std::wstring rate = rateText(), bits = bitsText();

    FileShape noChannels;
    noChannels.channels = 0;
    FileShape twelveBits;
    twelveBits.bits = 12;
    const BrokenFileCase broken[] = {
        {"no channels", L"no-channels.wav", noChannels},
        {"12 bits per sample", L"twelve-bits.wav", twelveBits},
    };
    for (const BrokenFileCase& c : broken) {
        SCOPED_TRACE(c.what);
        const std::wstring path = writeTempFile(c.fileName, wavbytes::file(c.layout, wavbytes::pcm16(samples)));
        ASSERT_TRUE(ui::chooseThroughDialog(app.pid(), w.panel, path));

        HWND box = waitForMessageBox(app.pid());
        ASSERT_NE(box, nullptr) << "no message box for the broken file";
        EXPECT_EQ(messageBoxText(box), L"ファイルオープンに失敗しました。");
        EXPECT_EQ(windowText(box), L"!");
        ASSERT_TRUE(dismissMessageBox(box));
        ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));

        // The panel's refresh posts a repaint of the waveform; wait for the
        // picture to settle back to the old one, then compare every pixel.
        const Image after = ui::captureUntil(w.wave, [&](const Image& i) { return i.pixels == before.pixels; }, 5000);
        EXPECT_TRUE(after.pixels == before.pixels) << "the waveform changed after a refused file";
        if (after.pixels != before.pixels) ui::keepPicture(after, "LoadTest-after-" + narrow(c.fileName));
        EXPECT_EQ(rateText(), rate);
        EXPECT_EQ(bitsText(), bits);
        EXPECT_EQ(fileNameText(), path);  // the path that failed, as the person chose it
    }
}

TEST_F(LoadTest, CancelledDialogChangesNothing)
{
    const std::vector<int16_t> samples = ui::risingTone(440, 22050, 2.0, 0.5, 20000);
    const std::wstring path = writeWav16(L"kept.wav", 22050, 1, samples);
    ASSERT_TRUE(ui::openFile(app.pid(), w.panel, path));
    const std::vector<double> shown = asDoubles(samples);
    const vpt::WaveformState state = stateAfterLoad(samples.size());
    const Image before = ui::captureUntil(w.wave, [&](const Image& i) {
        return vpt::compareWaveform(i, shown, state).mismatches == 0;
    });
    const std::wstring rate = rateText(), bits = bitsText();

    // This time through the menu item, which the main window hands on.
    ui::markStatus(w.panel);
    postCommand(w.main, IDM_OPEN);
    ASSERT_TRUE(cancelOpenDialog(app.pid()));
    ASSERT_TRUE(ui::waitForStatus(w.panel, L"Open A File...Done."));

    EXPECT_EQ(rateText(), rate);
    EXPECT_EQ(bitsText(), bits);
    EXPECT_EQ(fileNameText(), path);
    // The dialog may have covered the view; wait for its repaint.
    const Image after = ui::captureUntil(w.wave, [&](const Image& i) { return i.pixels == before.pixels; }, 5000);
    EXPECT_TRUE(after.pixels == before.pixels) << "the waveform changed after a cancelled dialog";
}

TEST_F(LoadTest, OpenIsRefusedWhilePlaying)
{
    const std::vector<int16_t> samples = tone(440, 22050, 10.0, 12000);
    const std::wstring path = writeWav16(L"long.wav", 22050, 1, samples);
    ASSERT_TRUE(ui::openFile(app.pid(), w.panel, path));

    clickButton(w.panel, IDC_PLAY_ALL);
    if (!ui::waitForStatus(w.panel, L"Playing...", 5000)) {
        if (HWND box = findMessageBox(app.pid())) dismissMessageBox(box);
        GTEST_SKIP() << "no output device in this session, so nothing plays";
    }

    postCommand(w.panel, IDM_OPEN);
    ASSERT_TRUE(drainPostedMessages(control(w.panel, IDC_STATUS)));
    EXPECT_EQ(findTopWindow(app.pid(), L"#32770", L"ファイルを開く"), nullptr) << "the open dialog came up while playing";
    EXPECT_EQ(ui::status(w.panel), L"Open A File...Busy.");

    clickButton(w.panel, IDC_STOP);
    EXPECT_TRUE(ui::waitForStatus(w.panel, L"Playing...Done."));
    EXPECT_EQ(fileNameText(), path);
}

}  // namespace
