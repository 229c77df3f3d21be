#include "core/panel/CommandLine.h"

#include <cmath>
#include <cwctype>
#include <functional>

#include "core/analysis/DisplayBins.h"
#include "core/base/Columns.h"
#include "core/base/DecimalText.h"
#include "core/panel/PanelTables.h"

namespace pt = panelTables;

bool parseDecimal(const std::wstring& text, double& value)
{
    size_t at = 0;
    const bool negative = at < text.size() && text[at] == L'-';
    if (negative) ++at;
    double whole = 0.0;
    size_t digits = 0;
    for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at, ++digits)
        whole = whole * 10.0 + (text[at] - L'0');
    if (at < text.size() && text[at] == L'.') {
        ++at;
        double scale = 0.1;
        size_t fraction = 0;
        for (; at < text.size() && text[at] >= L'0' && text[at] <= L'9'; ++at, ++fraction, scale *= 0.1)
            whole += (text[at] - L'0') * scale;
        if (fraction == 0) return false;
        digits += fraction;
    }
    if (digits == 0 || at != text.size() || !std::isfinite(whole)) return false;
    value = negative ? -whole : whole;
    return true;
}

namespace {

// The spoken names of the window functions, in the order of the panel's list.
constexpr const wchar_t* windowNames[] = {L"rectangular", L"hanning", L"hamming", L"blackman"};
static_assert(pt::entryCount(windowNames) == pt::entryCount(pt::windowKindEntries), "one name per window kind");

constexpr const wchar_t* speakerNames[] = {L"male", L"female", L"child"};

bool sameLetters(const std::wstring& a, const wchar_t* b)
{
    size_t i = 0;
    for (; i < a.size() && b[i]; ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return i == a.size() && !b[i];
}

bool isOptionWord(const std::wstring& word)
{
    if (word.size() < 2 || (word[0] != L'/' && word[0] != L'-')) return false;
    if (word == L"/?" || word == L"-?") return true;
    for (size_t i = 1; i < word.size(); ++i)
        if (!std::iswalpha(word[i])) return false;
    return true;
}

std::wstring joined(const std::vector<std::wstring>& words, const wchar_t* last)
{
    std::wstring text;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? last : L", ";
        text += words[i];
    }
    return text;
}

std::wstring frameLengthList()
{
    return joined(std::vector<std::wstring>(std::begin(pt::frameLengthEntries), std::end(pt::frameLengthEntries)),
                  L" or ");
}

std::wstring windowNameList()
{
    return joined(std::vector<std::wstring>(std::begin(windowNames), std::end(windowNames)), L" or ");
}

std::wstring oneDecimal(double value) { return fixedWideText(value, 1); }

// The position of `range` whose value is `wanted`, within `tolerance`.
std::optional<int> positionOf(pt::TrackRange range, double wanted, const std::function<double(int)>& valueAt,
                              double tolerance)
{
    for (int p = range.minimum; p <= range.maximum; ++p)
        if (std::fabs(valueAt(p) - wanted) <= tolerance) return p;
    return std::nullopt;
}

// Whole numbers are matched exactly; the one-decimal values within what the
// panel's box shows of them ("5124.9" for 5124.90234375).
constexpr double exactly = 1e-9;
constexpr double asShown = 0.05 - 1e-9;

struct Parser {
    CommandLine line;
    bool batchOnlyGiven = false;
    std::wstring firstBatchOnly;
    bool usage = false;
    std::vector<std::wstring> paths;
    // The option that set each setting first, so a second one is named.
    std::vector<std::pair<const void*, std::wstring>> used;

    bool fail(const std::wstring& message)
    {
        if (line.error.empty()) line.error = message;
        return false;
    }

    // True if the setting at `slot` is still free; names both options otherwise.
    bool claim(const void* slot, const std::wstring& option)
    {
        for (const auto& [taken, by] : used)
            if (taken == slot)
                return fail(by == option ? option + L" is given twice" : by + L" and " + option + L" cannot both be given");
        used.emplace_back(slot, option);
        return true;
    }

    bool wholeNumber(const std::wstring& option, const std::wstring& text, double& value, const std::wstring& rule)
    {
        if (!parseDecimal(text, value) || value != std::floor(value)) return fail(option + L" " + rule + L", not \"" + text + L"\"");
        return true;
    }

    bool position(const std::wstring& option, const std::wstring& text, std::optional<int>& slot, pt::TrackRange range,
                  const std::function<double(int)>& valueAt, double tolerance, bool whole, const std::wstring& rule)
    {
        double value = 0;
        const bool number = whole ? wholeNumber(option, text, value, rule) : parseDecimal(text, value);
        if (!number) return fail(option + L" " + rule + L", not \"" + text + L"\"");
        const std::optional<int> p = positionOf(range, value, valueAt, tolerance);
        if (!p) return fail(option + L" " + rule + L", not " + text);
        if (!claim(&slot, option)) return false;
        slot = p;
        return true;
    }

    bool named(const std::wstring& option, const std::wstring& text, std::optional<int>& slot,
               const wchar_t* const* names, int count, const std::wstring& rule)
    {
        for (int i = 0; i < count; ++i) {
            if (!sameLetters(text, names[i])) continue;
            if (!claim(&slot, option)) return false;
            slot = i;
            return true;
        }
        return fail(option + L" " + rule + L", not \"" + text + L"\"");
    }

    bool flag(const std::wstring& option, std::optional<int>& slot, int value)
    {
        if (!claim(&slot, option)) return false;
        slot = value;
        return true;
    }

    bool seconds(const std::wstring& option, const std::wstring& text, std::optional<double>& slot)
    {
        double value = 0;
        if (!parseDecimal(text, value) || value < 0)
            return fail(option + L" must be a time in seconds, 0 or more, not \"" + text + L"\"");
        if (!claim(&slot, option)) return false;
        slot = value;
        return true;
    }

    bool output(const std::wstring& option, const std::wstring& text, std::wstring& slot)
    {
        if (!claim(&slot, option)) return false;
        slot = text;
        return true;
    }

    // One option and, for those that take one, its value. False on a mistake.
    bool option(const std::wstring& word, const std::wstring* value, bool& tookValue);
};

bool Parser::option(const std::wstring& word, const std::wstring* value, bool& tookValue)
{
    // Messages name an option as the usage spells it, whatever was typed.
    std::wstring name = L"/" + word.substr(1);
    for (wchar_t& c : name) c = static_cast<wchar_t>(std::towlower(c));
    const auto is = [&name](const wchar_t* candidate) { return sameLetters(name, candidate); };
    tookValue = false;

    if (is(L"/?")) return usage = true;
    if (is(L"/draw")) return line.draw = true;
    if (is(L"/defaults")) return line.defaults = true;

    // The rest belongs to a batch run.
    if (!batchOnlyGiven) firstBatchOnly = name;
    batchOnlyGiven = true;
    PanelChoices& p = line.panel;
    if (is(L"/color")) return flag(name, p.printMonoMode, 0);
    if (is(L"/mono")) return flag(name, p.printMonoMode, 1);
    if (is(L"/linear")) return flag(name, p.energyLogMode, 0);
    if (is(L"/log")) return flag(name, p.energyLogMode, 1);
    if (is(L"/sidegraduate")) return flag(name, p.sideGraduate, 1);
    if (is(L"/nosidegraduate")) return flag(name, p.sideGraduate, 0);
    if (is(L"/graduateline")) return flag(name, p.graduateLine, 1);
    if (is(L"/nograduateline")) return flag(name, p.graduateLine, 0);
    // The overlays and the speaker: the batch run applies them through the
    // "表示" menu's own commands.
    if (is(L"/pitch")) return claim(&line.overlays.pitch, name) && (line.overlays.pitch = true);
    if (is(L"/formants")) return claim(&line.overlays.formants, name) && (line.overlays.formants = true);
    if (is(L"/remembered")) return claim(&line.remembered, name) && (line.remembered = true);

    static const wchar_t* const valued[] = {L"/png",  L"/print",      L"/csv",     L"/frame",   L"/window",
                                            L"/period", L"/scale",     L"/rejection", L"/colorwidth",
                                            L"/maxfreq", L"/from",      L"/to",      L"/speaker"};
    bool known = false;
    for (const wchar_t* candidate : valued) known = known || is(candidate);
    if (!known) return fail(L"unknown option " + word + L" (Kelvara.exe /? lists them)");
    if (!value) return fail(name + L" needs a value");
    tookValue = true;
    const std::wstring& v = *value;

    if (is(L"/png")) return output(name, v, line.pngPath);
    if (is(L"/print")) return output(name, v, line.printPath);
    if (is(L"/csv")) return output(name, v, line.csvPath);
    if (is(L"/from")) return seconds(name, v, line.fromSeconds);
    if (is(L"/to")) return seconds(name, v, line.toSeconds);
    if (is(L"/window"))
        return named(name, v, p.windowIndex, windowNames, pt::entryCount(windowNames), L"must be " + windowNameList());
    if (is(L"/speaker")) {
        for (int i = 0; i < pt::entryCount(speakerNames); ++i) {
            if (!sameLetters(v, speakerNames[i])) continue;
            if (!claim(&line.overlays.speaker, name)) return false;
            line.overlays.speaker = static_cast<Speaker>(i);
            return true;
        }
        return fail(name + L" must be male, female or child, not \"" + v + L"\"");
    }
    if (is(L"/frame")) {
        const pt::TrackRange entries{0, pt::entryCount(pt::frameLengthEntries) - 1};
        return position(name, v, p.frameLengthIndex, entries,
                        [](int i) { return std::pow(2.0, pt::frameOrderOfIndex(i)); }, exactly, true,
                        L"must be " + frameLengthList());
    }
    if (is(L"/period")) {
        const pt::TrackRange r = pt::framePeriodRange;
        return position(name, v, p.framePeriodPosition, r, [](int i) { return pt::framePeriodSamples(i); }, exactly,
                        true,
                        L"must be a multiple of " + std::to_wstring(pt::framePeriodSamples(1)) + L" from " +
                            std::to_wstring(pt::framePeriodSamples(r.minimum)) + L" to " +
                            std::to_wstring(pt::framePeriodSamples(r.maximum)) + L" (samples)");
    }
    if (is(L"/scale")) {
        const pt::TrackRange r = pt::scaleRange;
        return position(name, v, p.scalePosition, r, [](int i) { return pt::logScaleOf(i); }, exactly, true,
                        L"must be a multiple of " + std::to_wstring(pt::logScaleOf(1)) + L" from " +
                            std::to_wstring(pt::logScaleOf(r.minimum)) + L" to " +
                            std::to_wstring(pt::logScaleOf(r.maximum)));
    }
    if (is(L"/rejection")) {
        const pt::TrackRange r = pt::rejectionRange;
        return position(name, v, p.rejectionPosition, r, [](int i) { return i; }, exactly, true,
                        L"must be a whole number from " + std::to_wstring(r.minimum) + L" to " +
                            std::to_wstring(r.maximum));
    }
    if (is(L"/colorwidth")) {
        const pt::TrackRange r = pt::colorWidthRange;
        return position(name, v, p.colorWidthPosition, r, [](int i) { return pt::colorWidthOf(i); }, asShown, false,
                        L"must be " + oneDecimal(pt::colorWidthOf(r.minimum)) + L" to " +
                            oneDecimal(pt::colorWidthOf(r.maximum)) + L" in steps of " +
                            oneDecimal(pt::colorWidthOf(1)));
    }
    // is(L"/maxfreq")
    const pt::TrackRange r = pt::maxFreqRange;
    return position(name, v, p.maxFreqPosition, r, [](int i) { return pt::maxFrequencyHz(i); }, asShown, false,
                    L"must be one of the panel's frequencies, " + oneDecimal(pt::maxFrequencyHz(r.minimum)) + L" to " +
                        oneDecimal(pt::maxFrequencyHz(r.maximum)) + L" Hz in steps of " +
                        oneDecimal(pt::maxFrequencyHz(1) - pt::maxFrequencyHz(0)) + L" (as the panel shows them)");
}

bool sameFile(const std::wstring& a, const std::wstring& b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::towlower(a[i]) != std::towlower(b[i])) return false;
    return true;
}

// The rules that concern the whole line of a batch run.
void checkBatch(Parser& parser)
{
    CommandLine& line = parser.line;
    if (parser.paths.empty()) {
        parser.fail(L"no sound file given to draw");
    } else if (parser.paths.size() > 1) {
        parser.fail(L"one sound file at a time: " + parser.paths[0] + L" and " + parser.paths[1] + L" were given");
    } else if (line.draw) {
        parser.fail(L"/draw is for the window; /png, /print and /csv always draw");
    } else if (line.panel.framePeriodPosition && line.toSeconds) {
        parser.fail(L"/period and /to cannot both be given: /to sets the period from the selection's length");
    } else if (line.fromSeconds && line.toSeconds && *line.toSeconds <= *line.fromSeconds) {
        parser.fail(L"/to must come after /from");
    } else {
        const std::wstring* outputs[] = {&line.pngPath, &line.printPath, &line.csvPath};
        for (int i = 0; i < 3; ++i)
            for (int j = i + 1; j < 3; ++j)
                if (!outputs[i]->empty() && sameFile(*outputs[i], *outputs[j]))
                    parser.fail(L"two outputs would go to the same file " + *outputs[i]);
    }
}

}  // namespace

CommandLine parseCommandLine(const std::vector<std::wstring>& arguments)
{
    Parser parser;
    for (size_t i = 0; i < arguments.size() && parser.line.error.empty(); ++i) {
        const std::wstring& word = arguments[i];
        if (!isOptionWord(word)) {
            parser.paths.push_back(word);
            continue;
        }
        bool tookValue = false;
        parser.option(word, i + 1 < arguments.size() ? &arguments[i + 1] : nullptr, tookValue);
        if (tookValue) ++i;
    }

    CommandLine& line = parser.line;
    const bool batch = !line.pngPath.empty() || !line.printPath.empty() || !line.csvPath.empty();
    if (line.error.empty() && parser.usage) {
        line.mode = LaunchMode::Usage;
        return line;
    }
    if (line.error.empty()) {
        if (batch)
            checkBatch(parser);
        else if (parser.batchOnlyGiven)
            parser.fail(parser.firstBatchOnly + L" is for drawing into files: add /png, /print or /csv");
    }
    if (!line.error.empty()) {
        line.mode = LaunchMode::Error;
        return line;
    }
    line.mode = batch ? LaunchMode::Batch : LaunchMode::Window;
    if (!parser.paths.empty()) line.path = parser.paths[0];
    return line;
}

SelectionColumns selectionColumns(const CommandLine& line, uint32_t sampleCount, uint32_t sampleRate)
{
    SelectionColumns columns;
    const double length = sampleRate > 0 ? static_cast<double>(sampleCount) / sampleRate : 0.0;
    const auto inside = [&](const std::optional<double>& time, const wchar_t* option, bool endMayTouch) {
        if (!time || *time < length || (endMayTouch && *time == length)) return true;
        columns.error = std::wstring(option) + L" " + fixedWideText(*time, 3) + L" s lies beyond the end of the sound (" +
                        fixedWideText(length, 3) + L" s)";
        return false;
    };
    if (!inside(line.fromSeconds, L"/from", false) || !inside(line.toSeconds, L"/to", true)) return columns;
    const auto columnAt = [&](double seconds) {
        const double sample = std::floor(seconds * sampleRate);
        return static_cast<uint32_t>(columnOfPosition(sample < sampleCount ? static_cast<uint32_t>(sample) : sampleCount,
                                                      sampleCount));
    };
    columns.startColumn = line.fromSeconds ? columnAt(*line.fromSeconds) : 0;
    // With a period of its own the selection is a click at its start, as in
    // the panel: the run then covers 551 periods from there.
    if (line.panel.framePeriodPosition)
        columns.endColumn = columns.startColumn;
    else
        columns.endColumn = line.toSeconds ? columnAt(*line.toSeconds) : static_cast<uint32_t>(lastColumn);
    return columns;
}

std::wstring usageText()
{
    const auto range = [](pt::TrackRange r, const std::function<std::wstring(int)>& shown) {
        return shown(r.minimum) + L" to " + shown(r.maximum);
    };
    const auto whole = [](double v) { return std::to_wstring(static_cast<int>(v)); };
    std::wstring text;
    text += L"Kelvara draws the voice print of a sound.\n";
    text += L"\n";
    text += L"  Kelvara.exe [FILE]                  open FILE in the window\n";
    text += L"  Kelvara.exe /draw FILE              open FILE and draw its voice print\n";
    text += L"  Kelvara.exe OUTPUTS [OPTIONS] FILE  draw FILE without a window, write the outputs, exit\n";
    text += L"  Kelvara.exe /?                      show this text\n";
    text += L"\n";
    text += L"Outputs (at least one):\n";
    text += L"  /png PATH        the window's picture, as \"画像を保存\" saves it\n";
    text += L"  /print PATH      the voice print alone, 551 x 280, as a PNG\n";
    text += L"  /csv PATH        the numbers, as \"数値を保存\" saves them\n";
    text += L"\n";
    text += L"Options (default: the panel's own start):\n";
    text += L"  /frame N         frame length: " + frameLengthList() + L" (1024)\n";
    text += L"  /window NAME     " + windowNameList() + L" (hanning)\n";
    text += L"  /period N        frame period in samples, " +
            range(pt::framePeriodRange, [&](int p) { return whole(pt::framePeriodSamples(p)); }) + L" in steps of " +
            whole(pt::framePeriodSamples(1)) + L"; the run covers 551 periods from /from\n";
    text += L"  /from SECONDS    start of the selection (0)\n";
    text += L"  /to SECONDS      end of the selection (the end of the sound); the period is its length / 551\n";
    text += L"  /scale N         " + range(pt::scaleRange, [&](int p) { return whole(pt::logScaleOf(p)); }) +
            L" in steps of " + whole(pt::logScaleOf(1)) + L" (" + whole(pt::defaultLogScale) + L")\n";
    text += L"  /rejection N     " + range(pt::rejectionRange, [&](int p) { return whole(p); }) + L" (" +
            whole(pt::defaultRejection) + L")\n";
    text += L"  /colorwidth X    " + range(pt::colorWidthRange, [](int p) { return oneDecimal(pt::colorWidthOf(p)); }) +
            L" in steps of 0.1 (" + oneDecimal(pt::defaultColorWidth) + L")\n";
    text += L"  /maxfreq HZ      " + range(pt::maxFreqRange, [](int p) { return oneDecimal(pt::maxFrequencyHz(p)); }) +
            L" Hz, as the panel shows them (" + oneDecimal(pt::maxFrequencyHz(pt::defaultMaxFreqStep)) + L")\n";
    text += L"  /color, /mono    voice print in colour (default) or grey\n";
    text += L"  /log, /linear    energy plot (default log)\n";
    text += L"  /sidegraduate, /nosidegraduate, /graduateline, /nograduateline\n";
    text += L"                   the frequency scale beside and the lines across the voice print (off)\n";
    text += L"  /pitch, /formants, /speaker male|female|child\n";
    text += L"                   what is drawn over the voice print\n";
    text += L"  /remembered      start from the remembered settings rather than the defaults\n";
    text += L"\n";
    text += L"Exit code 0 when every output was written, 1 when the sound could not be read\n";
    text += L"or an output not written (with a message), 2 for a mistake on the command line.\n";
    return text;
}
