#include "core/panel/ParameterRefresh.h"

#include <cmath>
#include <cstdlib>
#include <cwchar>

#include "core/analysis/Framing.h"
#include "core/base/Columns.h"

namespace pt = panelTables;

std::wstring formatInt(int value)
{
    wchar_t text[32];
    std::swprintf(text, 32, L"%d", value);
    return text;
}

std::wstring formatOneDecimal(double value)
{
    wchar_t text[64];
    std::swprintf(text, 64, L"%.1f", value);
    return text;
}

double samplesToMilliseconds(double samples, uint32_t rate)
{
    // A sound without a rate has no duration to show; "0.0" beats "inf".
    if (rate == 0) return 0.0;
    return samples / static_cast<double>(rate) * 1000.0;
}

namespace {

int framePeriodFromTrack(int position)
{
    // The track bar runs 1..16; the period must stay at least one sample even
    // if the control is missing and reports -1.
    int period = pt::framePeriodSamples(position);
    return period < 1 ? 1 : period;
}

// The column 551 frame periods after the selection start:
// trunc((trunc(selStartX * q) + framePeriod * 551) / q). Without samples
// (q = 0) there is no such column and the end stays where it is.
uint32_t selectionEndAfterPeriods(uint32_t selStartX, uint32_t selEndX, int framePeriod, double q)
{
    if (q <= 0.0) return selEndX;
    int64_t startSample = sampleOfColumn(selStartX, q);
    int64_t endSample = startSample + int64_t{framePeriod} * columnCount;
    return truncSaturatedUnsigned(static_cast<double>(endSample) / q);
}

void fullRefresh(const RefreshControls& controls, const RefreshSound& sound, double q, RefreshResult& result)
{
    RefreshState& s = result.state;
    RefreshEdits& e = result.edits;

    e.sampleRate = formatOneDecimal(sound.rate * 0.001);
    e.bitRate = formatOneDecimal(static_cast<double>(sound.bits));

    if (s.selStartX > s.selEndX) {
        uint32_t larger = s.selStartX;
        s.selStartX = s.selEndX;
        s.selEndX = larger;
    }
    s.analysisStart = sampleOfColumn(s.selStartX, q);

    // The combos have edit fields; typing into one can leave it without a
    // selection. A frame length or window of "index -1" means nothing, so the
    // previous choice stays in force then.
    if (pt::isEntryIndex(pt::frameLengthEntries, controls.frameLengthIndex))
        s.frameOrder = pt::frameOrderOfIndex(controls.frameLengthIndex);
    if (pt::isEntryIndex(pt::windowKindEntries, controls.windowIndex))
        s.windowKind = pt::windowKindOfIndex(controls.windowIndex);
    s.logScale = pt::logScaleOf(controls.scalePosition);
    s.rejection = controls.rejectionPosition;
    s.maxFreqStep = controls.maxFreqPosition;

    e.colorWidthEcho = formatOneDecimal(pt::colorWidthOf(controls.colorWidthPosition));
    e.scaleEcho = formatInt(pt::logScaleOf(controls.scalePosition));

    e.frameLengthMs = formatOneDecimal(samplesToMilliseconds(std::pow(2.0, s.frameOrder), sound.rate));
    e.framePeriodMs = formatOneDecimal(samplesToMilliseconds(s.framePeriod, sound.rate));

    s.appliedFramePeriod = s.framePeriod;

    if (s.selectionLocked != 1) {
        s.selEndX = selectionEndAfterPeriods(s.selStartX, s.selEndX, s.framePeriod, q);
        result.selectionEndMoved = true;
    }
}

}  // namespace

RefreshResult refreshParameters(int kind, const RefreshControls& controls, const RefreshSound& sound,
                                const RefreshState& state)
{
    RefreshResult result;
    result.state = state;
    if (sound.ready != 1) return result;
    result.ran = true;

    RefreshState& s = result.state;
    RefreshEdits& e = result.edits;
    const double q = positionsPerColumn(sound.sampleCount);

    switch (kind) {
    case 1:
        s.selectionLocked = 0;
        s.framePeriod = framePeriodFromTrack(controls.framePeriodPosition);
        e.framePeriodEcho = formatInt(s.framePeriod);
        e.framePeriodMs = formatOneDecimal(samplesToMilliseconds(s.framePeriod, sound.rate));
        s.selEndX = selectionEndAfterPeriods(s.selStartX, s.selEndX, s.framePeriod, q);
        result.selectionEndMoved = true;
        s.cursorSample = sampleOfColumn(s.selStartX, q);
        break;
    case 2: {
        s.selectionLocked = 1;
        int64_t span = std::llabs(sampleOfColumn(s.selEndX, q) - sampleOfColumn(s.selStartX, q));
        int period = static_cast<int>(span / columnCount);
        // The box shows the unclamped value, so a selection narrower than 551
        // samples reads 0 while the analysis uses 1.
        e.framePeriodEcho = formatInt(period);
        s.framePeriod = period < 1 ? 1 : period;
        s.cursorSample = sampleOfColumn(s.selEndX, q);
        break;
    }
    case 4:
        s.framePeriod = framePeriodFromTrack(controls.framePeriodPosition);
        e.framePeriodEcho = formatInt(s.framePeriod);
        fullRefresh(controls, sound, q, result);
        break;
    case 3:
        fullRefresh(controls, sound, q, result);
        break;
    default:
        break;
    }

    s.cursorX = s.selStartX;
    return result;
}
