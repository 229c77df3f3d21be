// The panel's parameter refresh (command 32789) as a pure function: given
// what the controls show, the sound's format and the current selection and
// parameters, it works out the new values and the texts of the edit boxes.
// RefreshCommand.cpp gathers the inputs from the real controls and globals
// and writes the result back, so all of the arithmetic is testable here.
//
// Kinds: 1 frame period from the track bar (a click in the waveform or the
// track bar moved), 2 frame period from a dragged selection, 3 full refresh,
// 4 full refresh after a new sound (frame period from the track bar first).
// Any other kind only runs the closing step (cursorX = selStartX). Without a
// ready sound nothing at all happens.
#ifndef KELVARA_PARAMETER_REFRESH_H
#define KELVARA_PARAMETER_REFRESH_H

#include <cstdint>
#include <optional>
#include <string>

#include "core/panel/PanelTables.h"

// Positions and selections read from the panel's controls (-1 where a
// control is missing or a combo has no selection); by default, what they show
// at start-up.
struct RefreshControls {
    int framePeriodPosition = panelTables::framePeriodStartPosition;                     // track bar 1003
    int frameLengthIndex = panelTables::frameLengthStartIndex;                           // combo 1009
    int windowIndex = panelTables::defaultWindowKind;                                    // combo 1008
    int scalePosition = panelTables::scalePositionOf(panelTables::defaultLogScale);      // track bar 1007
    int rejectionPosition = panelTables::defaultRejection;                               // track bar 1005
    int colorWidthPosition = panelTables::colorWidthRange.minimum;                       // track bar 1015
    int maxFreqPosition = panelTables::defaultMaxFreqStep;                               // track bar 32794
};

struct RefreshSound {
    int32_t ready = 0;
    uint32_t rate = 0;             // samples per second
    uint32_t bits = 0;             // bits per sample
    uint32_t sampleCount = 0;
};

// The values the refresh reads and writes (names of the parameter model).
struct RefreshState {
    uint32_t selStartX = 0;
    uint32_t selEndX = 0;
    uint32_t cursorX = 0;
    int selectionLocked = 0;
    int framePeriod = panelTables::defaultFramePeriod;
    int appliedFramePeriod = panelTables::defaultFramePeriod;
    int64_t analysisStart = 0;
    int64_t cursorSample = 0;
    int frameOrder = panelTables::defaultFrameOrder;
    int windowKind = panelTables::defaultWindowKind;
    int logScale = panelTables::defaultLogScale;
    int rejection = panelTables::defaultRejection;
    int maxFreqStep = panelTables::defaultMaxFreqStep;
};

// Texts for the edit boxes; an empty optional leaves the box untouched.
struct RefreshEdits {
    std::optional<std::wstring> framePeriodEcho;  // 1010, "%d"
    std::optional<std::wstring> scaleEcho;        // 1014, "%d"
    std::optional<std::wstring> colorWidthEcho;   // 1016, "%.1f"
    std::optional<std::wstring> frameLengthMs;    // 1019, "%.1f"
    std::optional<std::wstring> framePeriodMs;    // 1020, "%.1f"
    std::optional<std::wstring> sampleRate;       // 1021, kHz, "%.1f"
    std::optional<std::wstring> bitRate;          // 1022, "%.1f"
};

struct RefreshResult {
    bool ran = false;               // false: the sound was not ready, nothing changes
    RefreshState state;             // the new values (the old ones where untouched)
    RefreshEdits edits;
    bool selectionEndMoved = false; // post 32789 with 0 to the waveform view
};

RefreshResult refreshParameters(int kind, const RefreshControls& controls, const RefreshSound& sound,
                                const RefreshState& state);

// Milliseconds that `samples` samples last at `rate`, as the panel shows
// them: samples / rate * 1000, or 0 for a rate of 0.
double samplesToMilliseconds(double samples, uint32_t rate);

std::wstring formatInt(int value);        // "%d"
std::wstring formatOneDecimal(double value);  // "%.1f"

#endif
