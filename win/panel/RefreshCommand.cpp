// The parameter refresh (command 32789) applied to the real controls. The
// arithmetic lives in ParameterRefresh.cpp; this file only reads the
// controls and globals, and writes the result back.
#include "win/panel/PanelCommands.h"

#include "core/base/CommandIds.h"
#include "win/base/Globals.h"
#include "core/audio/SoundBuffer.h"
#include "win/panel/ControlWrapper.h"
#include "core/panel/ParameterRefresh.h"
#include "core/panel/Parameters.h"

namespace {

RefreshControls readControls()
{
    using namespace panelControls;
    RefreshControls c;
    c.framePeriodPosition = framePeriodTrack.trackPosition();
    c.frameLengthIndex = frameLengthCombo.comboSelection();
    c.windowIndex = windowCombo.comboSelection();
    c.scalePosition = scaleTrack.trackPosition();
    c.rejectionPosition = rejectionTrack.trackPosition();
    c.colorWidthPosition = colorWidthTrack.trackPosition();
    c.maxFreqPosition = maxFreqTrack.trackPosition();
    return c;
}

RefreshSound readSound()
{
    RefreshSound s;
    s.ready = theSound.ready.load();
    s.rate = theSound.format.samplesPerSec;
    s.bits = theSound.format.bitsPerSample;
    s.sampleCount = theSound.sampleCount;
    return s;
}

RefreshState readState()
{
    RefreshState s;
    s.selStartX = selStartX;
    s.selEndX = selEndX;
    s.cursorX = cursorX;
    s.selectionLocked = selectionLocked;
    s.framePeriod = framePeriod;
    s.appliedFramePeriod = appliedFramePeriod;
    s.analysisStart = analysisStart;
    s.cursorSample = cursorSample;
    s.frameOrder = frameOrder;
    s.windowKind = windowKind;
    s.logScale = logScale;
    s.rejection = rejection;
    s.maxFreqStep = maxFreqStep;
    return s;
}

// Writes only what the refresh changed: the waveform view writes the
// selection columns on its own thread, and a posted refresh (track bar 1003)
// may run while the user drags there; rewriting an unchanged column with the
// value read a moment ago could undo the view's newer one.
template <typename T, typename V>
void storeIfChanged(std::atomic<T>& global, V before, V after)
{
    if (before != after) global = after;
}

void writeState(const RefreshState& before, const RefreshState& after)
{
    storeIfChanged(selStartX, before.selStartX, after.selStartX);
    storeIfChanged(selEndX, before.selEndX, after.selEndX);
    storeIfChanged(selectionLocked, before.selectionLocked, after.selectionLocked);
    storeIfChanged(framePeriod, before.framePeriod, after.framePeriod);
    storeIfChanged(appliedFramePeriod, before.appliedFramePeriod, after.appliedFramePeriod);
    storeIfChanged(analysisStart, before.analysisStart, after.analysisStart);
    storeIfChanged(cursorSample, before.cursorSample, after.cursorSample);
    storeIfChanged(frameOrder, before.frameOrder, after.frameOrder);
    storeIfChanged(windowKind, before.windowKind, after.windowKind);
    storeIfChanged(logScale, before.logScale, after.logScale);
    storeIfChanged(rejection, before.rejection, after.rejection);
    storeIfChanged(maxFreqStep, before.maxFreqStep, after.maxFreqStep);
}

void writeEdit(const ControlWrapper& edit, const std::optional<std::wstring>& text)
{
    if (text) edit.setText(text->c_str());
}

void writeEdits(const RefreshEdits& e)
{
    using namespace panelControls;
    writeEdit(framePeriodEcho, e.framePeriodEcho);
    writeEdit(scaleEcho, e.scaleEcho);
    writeEdit(colorWidthEcho, e.colorWidthEcho);
    writeEdit(frameLengthMs, e.frameLengthMs);
    writeEdit(framePeriodMs, e.framePeriodMs);
    writeEdit(sampleRateEdit, e.sampleRate);
    writeEdit(bitRateEdit, e.bitRate);
}

}  // namespace

void parameterRefresh(HWND panel, int kind)
{
    RefreshState before = readState();
    RefreshResult result = refreshParameters(kind, readControls(), readSound(), before);
    if (!result.ran) return;

    writeState(before, result.state);
    writeEdits(result.edits);
    if (result.selectionEndMoved) PostMessageW(waveWindow, WM_COMMAND, CMD_SELECTION_CHANGED, 0);

    // Closing steps: the cursor goes back to the selection start, and the
    // panel shows its new texts now rather than after a long run.
    cursorX = selStartX.load();
    if (GetUpdateRect(panel, nullptr, FALSE)) UpdateWindow(panel);
}
