// The resource script, read as text: the control panel's template and the
// menu. The panel reaches its controls by id and the views and UI tests find
// them by place, so a control that is missing, renumbered or moved is a fault
// that nothing else reports (the wrappers silently turn into no-ops).
#include "core/base/CommandIds.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string sourceRoot()
{
    std::string file = __FILE__;  // <root>/tests/core/ResourceScriptTest.cpp
    for (int i = 0; i < 3; ++i) file = file.substr(0, file.find_last_of("/\\"));
    return file;
}

std::vector<std::string> readLines(const std::string& path)
{
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string trim(const std::string& s)
{
    const auto first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// Splits "a, "b, c", d" at the commas outside quotes.
std::vector<std::string> splitArguments(const std::string& s)
{
    std::vector<std::string> parts(1);
    bool quoted = false;
    for (char c : s) {
        if (c == '"') quoted = !quoted;
        if (c == ',' && !quoted)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    for (std::string& p : parts) p = trim(p);
    return parts;
}

std::string unquote(const std::string& s)
{
    return s.size() >= 2 && s.front() == '"' && s.back() == '"' ? s.substr(1, s.size() - 2) : s;
}

// Symbols of core/base/CommandIds.h and the script's own #defines, by name.
std::map<std::string, std::string> readDefines(const std::vector<std::string>& lines)
{
    std::map<std::string, std::string> defines;
    for (const std::string& line : lines) {
        std::istringstream in(line);
        std::string directive, name;
        if (!(in >> directive >> name) || directive != "#define") continue;
        std::string value;
        std::getline(in, value);
        const auto comment = value.find("//");
        if (comment != std::string::npos) value.erase(comment);
        defines[name] = trim(value);
    }
    return defines;
}

enum class Kind { PushButton, TrackBar, GroupBox, Combo, Label, Edit, Radio, CheckBox, SunkenFrame, Unknown };

struct Item {
    Kind kind = Kind::Unknown;
    std::string text;
    int id = 0;
    int x = 0, y = 0, w = 0, h = 0;
    std::string style;  // with the script's style macros expanded
};

class ResourceScript : public ::testing::Test {
protected:
    void SetUp() override
    {
        script = readLines(sourceRoot() + "/resources/Kelvara.rc");
        ASSERT_FALSE(script.empty()) << "cannot read the resource script";
        defines = readDefines(readLines(sourceRoot() + "/core/base/CommandIds.h"));
        for (const auto& d : readDefines(script)) defines.insert(d);
    }

    int idOf(const std::string& symbol) const
    {
        auto it = defines.find(symbol);
        std::string value = it == defines.end() ? symbol : it->second;
        if (value.size() > 2 && value.front() == '(' && value.back() == ')') value = value.substr(1, value.size() - 2);
        return std::stoi(value);
    }

    std::string expandStyle(const std::string& style) const
    {
        std::string out;
        std::string words = style;
        for (char& c : words)
            if (c == '(' || c == ')') c = ' ';
        std::istringstream in(words);
        for (std::string word; in >> word;) {
            auto it = defines.find(word);
            out += " " + (it == defines.end() ? word : expandStyle(it->second));
        }
        return out + " ";
    }

    // The lines between BEGIN and END of the block that starts with `header`.
    std::vector<std::string> block(const std::string& header) const
    {
        std::vector<std::string> body;
        size_t i = 0;
        while (i < script.size() && script[i].rfind(header, 0) != 0) ++i;
        while (i < script.size() && trim(script[i]) != "BEGIN") ++i;
        int depth = 0;
        for (++i; i < script.size(); ++i) {
            const std::string line = trim(script[i]);
            if (line == "BEGIN") ++depth;
            if (line == "END" && depth-- == 0) break;
            if (!line.empty() && line.rfind("//", 0) != 0) body.push_back(line);
        }
        return body;
    }

    Item parseItem(const std::string& line) const
    {
        const auto space = line.find_first_of(" \t");
        const std::string keyword = line.substr(0, space);
        const std::vector<std::string> a = splitArguments(line.substr(space + 1));
        Item item;
        size_t place = 2;  // index of x in the argument list
        if (keyword == "CONTROL") {
            item.text = unquote(a[0]);
            item.id = idOf(a[1]);
            const std::string windowClass = unquote(a[2]);
            item.style = expandStyle(a[3]);
            place = 4;
            if (windowClass == "msctls_trackbar32") item.kind = Kind::TrackBar;
            if (windowClass == "Static" && item.style.find(" SS_SUNKEN ") != std::string::npos)
                item.kind = Kind::SunkenFrame;
            if (windowClass == "Button" && item.style.find(" BS_AUTORADIOBUTTON ") != std::string::npos)
                item.kind = Kind::Radio;
            if (windowClass == "Button" && item.style.find(" BS_AUTOCHECKBOX ") != std::string::npos)
                item.kind = Kind::CheckBox;
        } else if (keyword == "COMBOBOX" || keyword == "EDITTEXT") {
            item.kind = keyword == "COMBOBOX" ? Kind::Combo : Kind::Edit;
            item.id = idOf(a[0]);
            place = 1;
        } else {
            item.text = unquote(a[0]);
            item.id = idOf(a[1]);
            if (keyword == "PUSHBUTTON") item.kind = Kind::PushButton;
            if (keyword == "GROUPBOX") item.kind = Kind::GroupBox;
            if (keyword == "LTEXT") item.kind = Kind::Label;
        }
        item.x = std::stoi(a[place]);
        item.y = std::stoi(a[place + 1]);
        item.w = std::stoi(a[place + 2]);
        item.h = std::stoi(a[place + 3]);
        if (keyword != "CONTROL" && a.size() > place + 4) item.style = expandStyle(a[place + 4]);
        return item;
    }

    std::vector<Item> panelItems() const
    {
        std::vector<Item> items;
        for (const std::string& line : block("IDD_CONTROL_PANEL DIALOGEX")) items.push_back(parseItem(line));
        return items;
    }

    std::vector<std::string> script;
    std::map<std::string, std::string> defines;
};

struct Expected {
    Kind kind;
    int id;  // -1: a static item without an id of its own
    const char* text;
    int x, y, w, h;
};

// Every item of dialog 129, in template order.
const Expected panelTemplate[] = {
    {Kind::PushButton, 1023, "描画", 1, 91, 47, 14},
    {Kind::TrackBar, 1003, "", 5, 154, 60, 21},
    {Kind::GroupBox, -1, "DFT Parameter", 0, 107, 134, 114},
    {Kind::Combo, 1008, "", 6, 200, 63, 150},
    {Kind::Combo, 1009, "", 6, 127, 68, 150},
    {Kind::Label, -1, "32", 9, 175, 8, 8},
    {Kind::Label, -1, "512", 52, 175, 11, 8},
    {Kind::Edit, 1010, "", 65, 158, 21, 12},
    {Kind::PushButton, 32774, "再生", 89, 91, 21, 14},
    {Kind::PushButton, 32776, "停止", 112, 91, 20, 14},
    {Kind::GroupBox, -1, "File Parameter", 0, 2, 134, 58},
    {Kind::Edit, 32777, "", 51, 11, 63, 13},
    {Kind::PushButton, 32778, "...", 116, 10, 14, 15},
    {Kind::Radio, 32779, "ﾌｧｲﾙを開く", 4, 13, 45, 10},
    {Kind::Radio, 32780, "録音", 4, 30, 30, 10},
    {Kind::Combo, 1011, "", 3, 44, 45, 150},
    {Kind::PushButton, 32781, "●REC", 85, 28, 28, 14},
    {Kind::Combo, 1012, "", 51, 44, 30, 150},
    {Kind::PushButton, 32782, "■", 116, 28, 14, 14},
    {Kind::SunkenFrame, IDC_WINFUNC_FRAME, "", 72, 192, 55, 24},
    {Kind::GroupBox, -1, "Display Parameter", 0, 221, 134, 146},
    {Kind::Radio, 32784, "Color", 58, 240, 31, 10},
    {Kind::Radio, 32785, "Mono", 100, 240, 31, 10},
    {Kind::Radio, 32786, "Linear", 58, 229, 34, 10},
    {Kind::Radio, 32787, "Log", 100, 229, 26, 10},
    {Kind::TrackBar, 1005, "", 31, 279, 62, 21},
    {Kind::Label, -1, "1", 37, 300, 8, 8},
    {Kind::Label, -1, "10", 83, 300, 8, 8},
    {Kind::Edit, 1013, "", 93, 283, 21, 12},
    {Kind::Label, -1, "Rejection", 3, 283, 28, 8},
    {Kind::TrackBar, 1007, "", 31, 250, 62, 21},
    {Kind::Label, -1, "200", 33, 271, 12, 8},
    {Kind::Label, -1, "1000", 79, 271, 15, 8},
    {Kind::Edit, 1014, "", 93, 254, 21, 12},
    {Kind::Label, -1, "Scale", 3, 254, 17, 8},
    {Kind::Label, -1, "EnergyPlot", 5, 230, 32, 8},
    {Kind::Label, -1, "Voice-Print", 5, 240, 35, 8},
    {Kind::TrackBar, 1015, "", 31, 308, 62, 21},
    {Kind::Label, -1, "1", 37, 329, 8, 8},
    {Kind::Label, -1, "2", 85, 329, 8, 8},
    {Kind::Edit, 1016, "", 93, 312, 21, 12},
    {Kind::Label, -1, "ColorWidth", 3, 312, 32, 8},
    {Kind::Edit, 32788, "", 18, 373, 113, 12},
    {Kind::GroupBox, -1, "", 15, 366, 120, 19},
    {Kind::GroupBox, -1, "", 2, 366, 11, 19},
    {Kind::GroupBox, -1, "FrameLength", 3, 116, 126, 28},
    {Kind::Edit, 1021, "", 40, 72, 21, 12},
    {Kind::Label, -1, "SampleRate", 4, 74, 36, 8},
    {Kind::Label, -1, "KHz", 63, 74, 12, 8},
    {Kind::Edit, 1022, "", 100, 72, 21, 12},
    {Kind::Label, -1, "BitRate", 76, 74, 24, 8},
    {Kind::Label, -1, "Bit", 122, 74, 10, 8},
    {Kind::Edit, 1019, "", 77, 128, 38, 12},
    {Kind::Edit, 1020, "", 87, 158, 28, 12},
    {Kind::GroupBox, -1, "PCM Infomation", 0, 62, 134, 26},
    {Kind::Label, -1, "ms", 117, 130, 10, 8},
    {Kind::GroupBox, -1, "FramePeriod", 3, 146, 126, 39},
    {Kind::Label, -1, "ms", 117, 160, 10, 8},
    {Kind::SunkenFrame, IDC_COLOR_SAMPLE_FRAME, "", 117, 250, 13, 100},
    {Kind::CheckBox, 32792, "SideGraduate", 5, 337, 52, 10},
    {Kind::CheckBox, 32793, "GraduateLine", 58, 337, 52, 10},
    {Kind::Combo, 1024, "", 86, 44, 45, 150},
    {Kind::PushButton, 32775, "すべて再生", 51, 91, 36, 14},
    {Kind::TrackBar, 32794, "", 40, 349, 54, 15},
    {Kind::Edit, 1017, "", 97, 352, 24, 12},
    {Kind::GroupBox, -1, "WindowFunction", 3, 185, 126, 33},
    {Kind::Label, -1, "最大周波数", 3, 353, 35, 8},
    {Kind::Label, -1, "Hz", 123, 354, 8, 8},
};

bool has(const Item& item, const char* flag) { return item.style.find(std::string(" ") + flag + " ") != std::string::npos; }

TEST_F(ResourceScript, PanelTemplateHoldsEveryItemInOrderAtItsPlace)
{
    const std::vector<Item> items = panelItems();
    ASSERT_EQ(items.size(), std::size(panelTemplate));
    for (size_t i = 0; i < items.size(); ++i) {
        const Expected& want = panelTemplate[i];
        const Item& got = items[i];
        SCOPED_TRACE("item " + std::to_string(i) + " (id " + std::to_string(want.id) + ")");
        EXPECT_EQ(got.kind, want.kind);
        EXPECT_EQ(got.id, want.id);
        EXPECT_EQ(got.text, want.text);
        EXPECT_EQ(got.x, want.x);
        EXPECT_EQ(got.y, want.y);
        EXPECT_EQ(got.w, want.w);
        EXPECT_EQ(got.h, want.h);
    }
}

TEST_F(ResourceScript, PanelStylesMatchWhatThePanelReliesOn)
{
    for (const Item& item : panelItems()) {
        SCOPED_TRACE("id " + std::to_string(item.id) + " " + item.text);
        // Lists without an edit field: a typed text could leave no selection.
        if (item.kind == Kind::Combo) EXPECT_TRUE(has(item, "CBS_DROPDOWNLIST"));
        // Only the recording controls start disabled (open-file mode).
        const bool recording = item.id == 1011 || item.id == 1012 || item.id == 1024 || item.id == 32781 ||
                               item.id == 32782;
        EXPECT_EQ(has(item, "WS_DISABLED"), recording);
        // Every number box except the file name and status line is read-only;
        // the user types nowhere but in the file name.
        if (item.kind == Kind::Edit && item.id != 32777) EXPECT_TRUE(has(item, "ES_READONLY"));
        if (item.id == 32777) EXPECT_FALSE(has(item, "ES_READONLY"));
        // The first button of each radio pair starts a group, or a click on
        // one pair would clear the other.
        const bool groupStart = item.id == 32779 || item.id == 32784 || item.id == 32786;
        if (item.kind == Kind::Radio) EXPECT_EQ(has(item, "WS_GROUP"), groupStart);
    }
}

TEST_F(ResourceScript, MenuItemsCarryTheirCommands)
{
    std::vector<std::pair<std::string, int>> items;
    for (const std::string& line : block("IDR_MAIN_MENU MENU")) {
        if (line == "MENUITEM SEPARATOR") {
            items.emplace_back("-", 0);
        } else if (line.rfind("MENUITEM", 0) == 0) {
            const std::vector<std::string> a = splitArguments(line.substr(9));
            items.emplace_back(unquote(a[0]), idOf(a[1]));
        } else if (line.rfind("POPUP", 0) == 0) {
            items.emplace_back(unquote(trim(line.substr(6))), 0);
        }
    }
    const std::vector<std::pair<std::string, int>> expected = {
        {"ﾌｧｲﾙ(&F)", 0}, {"ﾌｧｲﾙを開く(&O)", 32771}, {"名前を付けて保存(&S)...", 32800},
        {"画像を保存(&P)...", 32801}, {"数値を保存(&N)...", 32803},
        {"-", 0}, {"設定を既定に戻す", 32840}, {"-", 0}, {"ｱﾌﾟﾘｹｰｼｮﾝの終了(&X)", 105},
        {"編集(&E)", 0}, {"ｺﾋﾟｰ(&C)", 32802},
        {"表示(&V)", 0}, {"ピッチ曲線(&P)", 32804}, {"フォルマント(&F)", 32805}, {"-", 0},
        {"男性 (0-5000 Hz)", 32806}, {"女性 (0-5500 Hz)", 32807}, {"子供 (0-8000 Hz)", 32808},
        {"ﾍﾙﾌﾟ(&H)", 0}, {"ﾊﾞｰｼﾞｮﾝ情報(&A) ...", 104},
    };
    EXPECT_EQ(items, expected);
}

TEST_F(ResourceScript, AcceleratorsGiveTheirCommands)
{
    std::map<std::string, std::pair<int, std::string>> keys;  // key -> command, modifiers
    for (const std::string& line : block("IDR_MAIN_MENU ACCELERATORS")) {
        const std::vector<std::string> a = splitArguments(line);
        std::string modifiers;
        for (size_t i = 2; i < a.size(); ++i) modifiers += a[i] + " ";
        if (a[0].front() == '"') keys[unquote(a[0]) + " " + modifiers] = {idOf(a[1]), modifiers};
    }
    for (const auto& [key, command] : std::map<std::string, int>{{"O VIRTKEY CONTROL ", 32771},
                                                                  {"S VIRTKEY CONTROL ", 32800},
                                                                  {"C VIRTKEY CONTROL ", 32802},
                                                                  {"P VIRTKEY CONTROL ", 32804},
                                                                  {"F VIRTKEY CONTROL ", 32805}}) {
        ASSERT_EQ(keys.count(key), 1u) << key;
        EXPECT_EQ(keys[key].first, command) << key;
    }
}

}  // namespace
