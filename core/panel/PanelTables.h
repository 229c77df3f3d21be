// What the control panel puts into its controls and how it reads them back:
// the combo lists, the track-bar ranges, the echo values shown beside the
// track bars and the enabled state of the colour and energy controls.
// Platform-neutral, so that the mappings can be checked without a screen.
#ifndef KELVARA_PANEL_TABLES_H
#define KELVARA_PANEL_TABLES_H

#include <cstddef>

namespace panelTables {

// Combo lists, in list order. The parameter each list feeds is a function of
// the selected index (see the mappings below), never of the text.
constexpr const wchar_t* windowKindEntries[] = {L"方形窓", L"ハニング窓", L"ハミング窓", L"ブラックマン窓"};
constexpr const wchar_t* frameLengthEntries[] = {L"2",   L"4",   L"8",   L"16",   L"32",   L"64",
                                                 L"128", L"256", L"512", L"1024", L"2048", L"4096"};
constexpr const wchar_t* recordRateEntries[] = {L"22050Hz", L"44100Hz"};
constexpr const wchar_t* recordBitsEntries[] = {L"8Bit", L"16Bit"};
constexpr const wchar_t* recordSecondsEntries[] = {L"2.0Sec",  L"4.0Sec",  L"6.0Sec",  L"8.0Sec",  L"10.0Sec",
                                                   L"12.0Sec", L"14.0Sec", L"16.0Sec", L"18.0Sec", L"20.0Sec"};

template <typename T, std::size_t N>
constexpr int entryCount(const T (&)[N]) { return static_cast<int>(N); }

// The frame-length combo starts on "1024".
constexpr int frameLengthStartIndex = 9;

constexpr int frameOrderOfIndex(int index) { return index + 1; }
constexpr int recordRateOfIndex(int index) { return (index + 1) * 22050; }
constexpr int recordBitsOfIndex(int index) { return (index + 1) * 8; }
constexpr int recordSecondsOfIndex(int index) { return index * 2 + 2; }

// Where the initialisation puts each combo for a parameter value.
constexpr int indexOfRecordRate(int rate) { return rate / 22050 - 1; }
constexpr int indexOfRecordBits(int bits) { return bits / 8 - 1; }
constexpr int indexOfRecordSeconds(int seconds) { return seconds / 2 - 1; }

struct TrackRange {
    int minimum;
    int maximum;
};
constexpr TrackRange framePeriodRange{1, 16};
constexpr TrackRange scaleRange{5, 25};
constexpr TrackRange rejectionRange{1, 10};
constexpr TrackRange colorWidthRange{10, 20};
constexpr TrackRange maxFreqRange{-10, 10};

constexpr int framePeriodStartPosition = 2;
constexpr int scalePositionOf(int logScale) { return logScale / 40; }

// Echo values written beside the track bars, as functions of the position.
constexpr int framePeriodSamples(int position) { return position * 32; }
constexpr int logScaleOf(int position) { return position * 40; }
constexpr double colorWidthOf(int position) { return position * 0.1; }

// Highest frequency the voice print shows: its 280 rows span 0 to this.
// 6029.296875 Hz is 280 rows of a 1024-point frame at 22050 Hz.
constexpr double maxFrequencyHz(int maxFreqStep) { return (1 + 0.05 * maxFreqStep) * 6029.296875; }

// The enabled state of every control that is ever disabled, from the four
// settings it depends on: the source decides whether the file or the
// recording controls can be used, the colour width means nothing in Mono,
// the scale and rejection nothing in Linear. Nothing is disabled while
// playing, recording or drawing: the activity state refuses a second worker
// or load instead, so it is an input that changes nothing, and the tests pin
// that. An unchecked group (-1) counts as the enabling side, but for the
// source, whose file side is enabled only when it is checked.
struct ControlEnabling {
    bool fileControls;    // edit 32777 and button "..." 32778
    bool recordControls;  // combos 1011, 1012, 1024 and buttons 32781, 32782
    bool colorWidth;      // track bar 1015 and edit 1016
    bool energyControls;  // track bars 1007, 1005 and edits 1014, 1013
};
constexpr ControlEnabling controlEnabling(int /*activityState*/, int sourceMode, int printMonoMode, int energyLogMode)
{
    return {sourceMode == 0, sourceMode != 0, printMonoMode != 1, energyLogMode != 0};
}

}  // namespace panelTables

#endif
