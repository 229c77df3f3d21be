// The control panel as a person meets it: what every control shows at start,
// what the track bars echo while they move, and which controls the radio
// buttons enable and disable. Figures come from the panel's design (the
// defaults, the combo lists, the echo formulas), never from a first run.
#include "driver/UiDriver.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "core/base/CommandIds.h"

using namespace ui;

namespace {

class Panel : public KelvaraSession {
protected:
    // Waits for control `id` to show `text`; the failure names what it shows.
    void expectTextSoon(int id, const std::wstring& text)
    {
        waitFor([&] { return controlText(w.panel, id) == text; });
        EXPECT_EQ(narrow(controlText(w.panel, id)), narrow(text)) << "control " << id;
    }

    void expectEnabledSoon(int id, bool enabled)
    {
        waitFor([&] { return isEnabled(w.panel, id) == enabled; });
        EXPECT_EQ(isEnabled(w.panel, id), enabled) << "control " << id;
    }

    // The panel has handled everything posted to it so far.
    void drain() { ASSERT_TRUE(drainPostedMessages(control(w.panel, IDC_STATUS))); }
};

// ---- Start ------------------------------------------------------------------

struct TextCase {
    int id;
    const wchar_t* text;
};

const TextCase startEchoes[] = {
    {IDC_FRAME_PERIOD_ECHO, L"64"},
    {IDC_SCALE_ECHO, L"320"},
    {IDC_REJECTION_ECHO, L"1"},
    {IDC_COLOR_WIDTH_ECHO, L"1.0"},
    {IDC_MAX_FREQ_ECHO, L"5124.9"},
};

const TextCase startComboChoices[] = {
    {IDC_WINDOW_FUNCTION, L"ハニング窓"},
    {IDC_FRAME_LENGTH, L"1024"},
    {IDC_RECORD_RATE, L"22050Hz"},
    {IDC_RECORD_BITS, L"8Bit"},
    {IDC_RECORD_SECONDS, L"8.0Sec"},
};

struct CheckCase {
    int id;
    bool checked;
};

const CheckCase startChecks[] = {
    {IDC_SOURCE_FILE, true},  {IDC_SOURCE_RECORD, false},  // ﾌｧｲﾙを開く / 録音
    {IDC_LINEAR, false},      {IDC_LOG, true},
    {IDC_COLOR, true},        {IDC_MONO, false},
    {IDC_SIDE_GRADUATE, false}, {IDC_GRADUATE_LINE, false},
};

TEST_F(Panel, StartsWithEveryDefault)
{
    for (const TextCase& c : startEchoes) expectTextSoon(c.id, c.text);
    for (const TextCase& c : startComboChoices)
        EXPECT_EQ(narrow(comboSelectionText(w.panel, c.id)), narrow(c.text)) << "combo " << c.id;
    for (const CheckCase& c : startChecks) EXPECT_EQ(isChecked(w.panel, c.id), c.checked) << "button " << c.id;
    // The derived boxes and the status line stay empty until a sound comes.
    for (int id : {IDC_FRAME_LENGTH_MS, IDC_FRAME_PERIOD_MS, IDC_SAMPLE_RATE, IDC_BIT_RATE, IDC_STATUS})
        EXPECT_EQ(narrow(controlText(w.panel, id)), "") << "control " << id;
}

struct ComboCase {
    int id;
    std::vector<std::wstring> entries;
};

const ComboCase comboLists[] = {
    {IDC_WINDOW_FUNCTION, {L"方形窓", L"ハニング窓", L"ハミング窓", L"ブラックマン窓"}},
    {IDC_FRAME_LENGTH, {L"2", L"4", L"8", L"16", L"32", L"64", L"128", L"256", L"512", L"1024", L"2048", L"4096"}},
    {IDC_RECORD_RATE, {L"22050Hz", L"44100Hz"}},
    {IDC_RECORD_BITS, {L"8Bit", L"16Bit"}},
    {IDC_RECORD_SECONDS,
     {L"2.0Sec", L"4.0Sec", L"6.0Sec", L"8.0Sec", L"10.0Sec", L"12.0Sec", L"14.0Sec", L"16.0Sec", L"18.0Sec",
      L"20.0Sec"}},
};

TEST_F(Panel, CombosHoldExactlyTheirEntriesInOrder)
{
    for (const ComboCase& c : comboLists) {
        std::vector<std::string> got, want;
        for (const std::wstring& item : comboItems(w.panel, c.id)) got.push_back(narrow(item));
        for (const std::wstring& item : c.entries) want.push_back(narrow(item));
        EXPECT_EQ(got, want) << "combo " << c.id;
    }
}

struct TrackBarCase {
    int id;
    int low, high, start;
};

const TrackBarCase trackBars[] = {
    {IDC_FRAME_PERIOD, 1, 16, 2},
    {IDC_SCALE, 5, 25, 8},
    {IDC_REJECTION, 1, 10, 1},
    {IDC_COLOR_WIDTH, 10, 20, 10},
    {IDC_MAX_FREQ, -10, 10, -3},
};

TEST_F(Panel, TrackBarsStartWithTheirRangesAndPositions)
{
    for (const TrackBarCase& c : trackBars) {
        int low = 0, high = 0;
        trackBarRange(w.panel, c.id, low, high);
        EXPECT_EQ(low, c.low) << "track bar " << c.id;
        EXPECT_EQ(high, c.high) << "track bar " << c.id;
        EXPECT_EQ(trackBarPosition(w.panel, c.id), c.start) << "track bar " << c.id;
    }
}

// ---- Enabled states -------------------------------------------------------------

struct EnabledCase {
    int id;
    bool enabled;
};

// Open-file mode: the file controls work, the recording ones do not.
const EnabledCase openFileMode[] = {
    {IDC_FILE_NAME, true},      {IDC_BROWSE, true},
    {IDC_RECORD_RATE, false},   {IDC_RECORD_BITS, false}, {IDC_RECORD_SECONDS, false},
    {IDC_RECORD, false},        {IDC_STOP_RECORD, false},
};
const EnabledCase recordMode[] = {
    {IDC_FILE_NAME, false},     {IDC_BROWSE, false},
    {IDC_RECORD_RATE, true},    {IDC_RECORD_BITS, true},  {IDC_RECORD_SECONDS, true},
    {IDC_RECORD, true},         {IDC_STOP_RECORD, true},
};
// Never disabled by anything at start.
const int alwaysEnabledAtStart[] = {
    IDC_DRAW, IDC_PLAY, IDC_PLAY_ALL, IDC_STOP, IDC_SOURCE_FILE, IDC_SOURCE_RECORD, IDC_WINDOW_FUNCTION,
    IDC_FRAME_LENGTH, IDC_FRAME_PERIOD, IDC_SCALE, IDC_SCALE_ECHO, IDC_REJECTION, IDC_REJECTION_ECHO,
    IDC_COLOR_WIDTH, IDC_COLOR_WIDTH_ECHO, IDC_MAX_FREQ, IDC_COLOR, IDC_MONO, IDC_LINEAR, IDC_LOG,
    IDC_SIDE_GRADUATE, IDC_GRADUATE_LINE,
};

TEST_F(Panel, StartsInOpenFileModeWithTheRecordingControlsDisabled)
{
    for (const EnabledCase& c : openFileMode) EXPECT_EQ(isEnabled(w.panel, c.id), c.enabled) << "control " << c.id;
    for (int id : alwaysEnabledAtStart) EXPECT_TRUE(isEnabled(w.panel, id)) << "control " << id;
}

TEST_F(Panel, RecordSourceEnablesTheRecordingControlsAndOpenFileTakesThemBack)
{
    clickButton(w.panel, IDC_SOURCE_RECORD);
    for (const EnabledCase& c : recordMode) expectEnabledSoon(c.id, c.enabled);
    EXPECT_TRUE(isChecked(w.panel, IDC_SOURCE_RECORD));
    EXPECT_FALSE(isChecked(w.panel, IDC_SOURCE_FILE));
    // The recording combos keep their choices through the switch.
    EXPECT_EQ(narrow(comboSelectionText(w.panel, IDC_RECORD_SECONDS)), "8.0Sec");

    clickButton(w.panel, IDC_SOURCE_FILE);
    for (const EnabledCase& c : openFileMode) expectEnabledSoon(c.id, c.enabled);
    EXPECT_TRUE(isChecked(w.panel, IDC_SOURCE_FILE));
    EXPECT_FALSE(isChecked(w.panel, IDC_SOURCE_RECORD));
}

TEST_F(Panel, MonoDisablesColorWidthAndColorEnablesItAgain)
{
    clickButton(w.panel, IDC_MONO);
    expectEnabledSoon(IDC_COLOR_WIDTH, false);
    expectEnabledSoon(IDC_COLOR_WIDTH_ECHO, false);
    EXPECT_TRUE(isChecked(w.panel, IDC_MONO));
    EXPECT_FALSE(isChecked(w.panel, IDC_COLOR));
    // Only the colour controls: the energy-plot group is a group of its own.
    EXPECT_TRUE(isChecked(w.panel, IDC_LOG));
    EXPECT_TRUE(isEnabled(w.panel, IDC_SCALE));

    clickButton(w.panel, IDC_COLOR);
    expectEnabledSoon(IDC_COLOR_WIDTH, true);
    expectEnabledSoon(IDC_COLOR_WIDTH_ECHO, true);
    EXPECT_TRUE(isChecked(w.panel, IDC_COLOR));
    EXPECT_FALSE(isChecked(w.panel, IDC_MONO));
}

TEST_F(Panel, LinearDisablesScaleAndRejectionAndLogEnablesThem)
{
    const int energyControls[] = {IDC_SCALE, IDC_REJECTION, IDC_SCALE_ECHO, IDC_REJECTION_ECHO};

    clickButton(w.panel, IDC_LINEAR);
    for (int id : energyControls) expectEnabledSoon(id, false);
    EXPECT_TRUE(isChecked(w.panel, IDC_LINEAR));
    EXPECT_FALSE(isChecked(w.panel, IDC_LOG));
    EXPECT_TRUE(isChecked(w.panel, IDC_COLOR)) << "the voice-print group is a group of its own";
    EXPECT_TRUE(isEnabled(w.panel, IDC_COLOR_WIDTH));
    EXPECT_TRUE(isEnabled(w.panel, IDC_MAX_FREQ)) << "the maximum frequency is no energy setting";

    clickButton(w.panel, IDC_LOG);
    for (int id : energyControls) expectEnabledSoon(id, true);
    EXPECT_TRUE(isChecked(w.panel, IDC_LOG));
}

// ---- Track-bar echoes -------------------------------------------------------------

TEST_F(Panel, MaximumFrequencyEchoesTheHighestShownFrequency)
{
    struct {
        int position;
        const wchar_t* text;
    } const stated[] = {{-10, L"3014.6"}, {0, L"6029.3"}, {10, L"9043.9"}, {-3, L"5124.9"}};
    for (const auto& c : stated) {
        setTrackBar(w.panel, IDC_MAX_FREQ, c.position);
        expectTextSoon(IDC_MAX_FREQ_ECHO, c.text);
    }
    // Every other position: (1 + 0.05 p) x 6029.296875 Hz, one decimal.
    for (int p = -10; p <= 10; ++p) {
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", (1 + 0.05 * p) * 6029.296875);
        setTrackBar(w.panel, IDC_MAX_FREQ, p, TB_THUMBTRACK);
        expectTextSoon(IDC_MAX_FREQ_ECHO, widen(text));
    }
}

struct EchoCase {
    int trackBar;
    int position;
    int scrollCode;
    int echo;
    const wchar_t* text;
};

// Any scroll code echoes, so the box follows a drag continuously.
const EchoCase echoes[] = {
    {IDC_FRAME_PERIOD, 5, TB_THUMBPOSITION, IDC_FRAME_PERIOD_ECHO, L"160"},
    {IDC_FRAME_PERIOD, 16, TB_THUMBTRACK, IDC_FRAME_PERIOD_ECHO, L"512"},
    {IDC_FRAME_PERIOD, 1, TB_LINEUP, IDC_FRAME_PERIOD_ECHO, L"32"},
    {IDC_SCALE, 25, TB_THUMBTRACK, IDC_SCALE_ECHO, L"1000"},
    {IDC_SCALE, 5, TB_PAGEUP, IDC_SCALE_ECHO, L"200"},
    {IDC_SCALE, 13, TB_ENDTRACK, IDC_SCALE_ECHO, L"520"},
    {IDC_REJECTION, 10, TB_THUMBPOSITION, IDC_REJECTION_ECHO, L"10"},
    {IDC_REJECTION, 4, TB_LINEDOWN, IDC_REJECTION_ECHO, L"4"},
    {IDC_COLOR_WIDTH, 20, TB_THUMBTRACK, IDC_COLOR_WIDTH_ECHO, L"2.0"},
    {IDC_COLOR_WIDTH, 15, TB_THUMBPOSITION, IDC_COLOR_WIDTH_ECHO, L"1.5"},
    {IDC_COLOR_WIDTH, 10, TB_BOTTOM, IDC_COLOR_WIDTH_ECHO, L"1.0"},
};

const int echoBoxes[] = {IDC_FRAME_PERIOD_ECHO, IDC_SCALE_ECHO, IDC_REJECTION_ECHO, IDC_COLOR_WIDTH_ECHO,
                         IDC_MAX_FREQ_ECHO};

TEST_F(Panel, EachTrackBarEchoesIntoItsOwnBoxOnly)
{
    for (const TextCase& c : startEchoes) expectTextSoon(c.id, c.text);
    for (const EchoCase& c : echoes) {
        SCOPED_TRACE("track bar " + std::to_string(c.trackBar) + " to " + std::to_string(c.position));
        std::vector<std::wstring> before;
        for (int box : echoBoxes) before.push_back(controlText(w.panel, box));

        setTrackBar(w.panel, c.trackBar, c.position, c.scrollCode);
        expectTextSoon(c.echo, c.text);
        drain();
        for (size_t i = 0; i < std::size(echoBoxes); ++i) {
            if (echoBoxes[i] == c.echo) continue;
            EXPECT_EQ(narrow(controlText(w.panel, echoBoxes[i])), narrow(before[i])) << "box " << echoBoxes[i];
        }
    }
}

// ---- Texts of the template ------------------------------------------------------------

struct ChildTexts {
    std::vector<std::string> labels;     // static texts with a text
    std::vector<std::string> groupBoxes;  // titled group boxes
};

BOOL CALLBACK collectChildText(HWND child, LPARAM param)
{
    auto* texts = reinterpret_cast<ChildTexts*>(param);
    const std::wstring cls = className(child);
    const std::string text = narrow(windowText(child));
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    if (cls == L"Static" && !text.empty()) texts->labels.push_back(text);
    if (cls == L"Button" && (style & BS_TYPEMASK) == BS_GROUPBOX && !text.empty()) texts->groupBoxes.push_back(text);
    return TRUE;
}

std::vector<std::string> sorted(std::vector<std::string> v)
{
    std::sort(v.begin(), v.end());
    return v;
}

TEST_F(Panel, LabelsAndGroupBoxesShowTheTemplateTexts)
{
    ChildTexts texts;
    EnumChildWindows(w.panel, collectChildText, reinterpret_cast<LPARAM>(&texts));

    const std::vector<std::string> labels = {
        "32", "512", "1", "10", "Rejection", "200", "1000", "Scale", "EnergyPlot", "Voice-Print", "1", "2",
        "ColorWidth", "SampleRate", "KHz", "BitRate", "Bit", "ms", "ms", "最大周波数", "Hz",
    };
    const std::vector<std::string> groups = {
        "DFT Parameter", "File Parameter", "Display Parameter", "FrameLength",
        "PCM Infomation", "FramePeriod", "WindowFunction",
    };
    EXPECT_EQ(sorted(texts.labels), sorted(labels));
    EXPECT_EQ(sorted(texts.groupBoxes), sorted(groups));
}

const TextCase buttonTexts[] = {
    {IDC_DRAW, L"描画"},
    {IDC_PLAY, L"再生"},
    {IDC_PLAY_ALL, L"すべて再生"},
    {IDC_STOP, L"停止"},
    {IDC_BROWSE, L"..."},
    {IDC_SOURCE_FILE, L"ﾌｧｲﾙを開く"},
    {IDC_SOURCE_RECORD, L"録音"},
    {IDC_RECORD, L"●REC"},
    {IDC_STOP_RECORD, L"■"},
    {IDC_COLOR, L"Color"},
    {IDC_MONO, L"Mono"},
    {IDC_LINEAR, L"Linear"},
    {IDC_LOG, L"Log"},
    {IDC_SIDE_GRADUATE, L"SideGraduate"},
    {IDC_GRADUATE_LINE, L"GraduateLine"},
};

TEST_F(Panel, ButtonsShowTheirTexts)
{
    for (const TextCase& c : buttonTexts)
        EXPECT_EQ(narrow(controlText(w.panel, c.id)), narrow(c.text)) << "button " << c.id;
}

}  // namespace
