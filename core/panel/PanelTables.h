// What the control panel puts into its controls and how it reads them back:
// the parameters' start-up values, the combo lists, the track-bar ranges,
// the values the positions stand for and the enabled state of the controls.
// Every mapping between a control and a parameter is written here once, for
// the panel, the parameter refresh and the tests alike. Platform-neutral, so
// that the mappings can be checked without a screen.
#ifndef KELVARA_PANEL_TABLES_H
#define KELVARA_PANEL_TABLES_H

#include <cstddef>

#include "core/analysis/DisplayBins.h"

namespace panelTables {

// The parameter model's values before any user action (core/panel/Parameters.h).
constexpr int defaultRecordRate = 22050;
constexpr int defaultRecordBits = 8;
constexpr int defaultRecordSeconds = 8;
constexpr int defaultWindowKind = 1;      // Hanning
constexpr int defaultFrameOrder = 0;      // until the first full refresh reads the combo
constexpr int defaultFramePeriod = 1;     // until the first refresh reads the track bar; also appliedFramePeriod's
constexpr int defaultLogScale = 320;
constexpr int defaultRejection = 1;
constexpr int defaultMaxFreqStep = -3;    // 5124.9 Hz
constexpr int defaultEnergyLogMode = 1;   // Log
constexpr double defaultColorWidth = 1.0;
constexpr int defaultPrintMonoMode = 0;   // Color
constexpr int defaultSideGraduate = 0;
constexpr int defaultGraduateLine = 0;
constexpr int defaultSourceMode = 0;      // open a file

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

// Whether a combo's selection is an entry of its list. A combo with an edit
// field has none (-1) once the user typed into it; the parameter then keeps
// the value it had.
template <typename T, std::size_t N>
constexpr bool isEntryIndex(const T (&entries)[N], int index) { return index >= 0 && index < entryCount(entries); }

// The frame-length combo starts on "1024".
constexpr int frameLengthStartIndex = 9;

constexpr int windowKindOfIndex(int index) { return index; }
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

// The maximum-frequency echo: the frequency the voice print's rows reach.
using ::maxFrequencyHz;

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
constexpr ControlEnabling controlEnabling(int /*activity*/, int sourceMode, int printMonoMode, int energyLogMode)
{
    return {sourceMode == 0, sourceMode != 0, printMonoMode != 1, energyLogMode != 0};
}

}  // namespace panelTables

#endif
