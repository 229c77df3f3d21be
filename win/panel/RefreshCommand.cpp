// The parameter refresh (command 32789) applied to the real controls. The
// arithmetic lives in ParameterRefresh.cpp; this file only reads the
// controls and globals, and writes the result back.
#include "win/panel/PanelCommands.h"

#include "core/base/CommandIds.h"
#include "core/base/Columns.h"
#include "core/panel/Parameters.h"
#include "core/panel/SelectionState.h"
#include "win/base/WindowRegistry.h"
#include "win/base/SoundAndEngines.h"
#include "core/audio/SoundBuffer.h"
#include "win/panel/ControlWrapper.h"
#include "core/panel/ParameterRefresh.h"

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

// Every value the refresh reads from its global and may write back, beside
// that global; cursorX, which only the closing steps write, is read apart.
template <typename Visit>
void forEachSharedValue(Visit visit)
{
    visit(&RefreshState::selStartX, selStartX);
    visit(&RefreshState::selEndX, selEndX);
    visit(&RefreshState::selectionLocked, selectionLocked);
    visit(&RefreshState::framePeriod, framePeriod);
    visit(&RefreshState::appliedFramePeriod, appliedFramePeriod);
    visit(&RefreshState::analysisStart, analysisStart);
    visit(&RefreshState::cursorSample, cursorSample);
    visit(&RefreshState::frameOrder, frameOrder);
    visit(&RefreshState::windowKind, windowKind);
    visit(&RefreshState::logScale, logScale);
    visit(&RefreshState::rejection, rejection);
    visit(&RefreshState::maxFreqStep, maxFreqStep);
}

RefreshState readState()
{
    RefreshState s;
    forEachSharedValue([&s](auto field, const auto& global) { s.*field = global.load(); });
    s.cursorX = cursorX;
    return s;
}

// Writes only what the refresh changed: the waveform view writes the
// selection columns on its own thread, and a posted refresh (track bar 1003)
// may run while the user drags there; rewriting an unchanged column with the
// value read a moment ago could undo the view's newer one.
void writeState(const RefreshState& before, const RefreshState& after)
{
    forEachSharedValue([&](auto field, auto& global) {
        if (before.*field != after.*field) global = after.*field;
    });
}

void writeEdits(const RefreshEdits& e)
{
    using namespace panelControls;
    const struct {
        const ControlWrapper& edit;
        std::optional<std::wstring> RefreshEdits::*text;
    } boxes[] = {
        {framePeriodEcho, &RefreshEdits::framePeriodEcho}, {scaleEcho, &RefreshEdits::scaleEcho},
        {colorWidthEcho, &RefreshEdits::colorWidthEcho},   {frameLengthMs, &RefreshEdits::frameLengthMs},
        {framePeriodMs, &RefreshEdits::framePeriodMs},     {sampleRateEdit, &RefreshEdits::sampleRate},
        {bitRateEdit, &RefreshEdits::bitRate},
    };
    // An empty text leaves its box as it is.
    for (const auto& box : boxes)
        if (const std::optional<std::wstring>& text = e.*box.text) box.edit.setText(text->c_str());
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
    // The resolution the readout line shows follows the settings just applied.
    PostMessageW(readoutWindow.load(), WM_COMMAND, CMD_SETTINGS_CHANGED, 0);
}

LiveSettings settingsForWholeSound(uint32_t rate, uint32_t bits, uint32_t sampleCount)
{
    RefreshSound sound;
    sound.ready = 1;
    sound.rate = rate;
    sound.bits = bits;
    sound.sampleCount = sampleCount;
    RefreshState state = readState();
    state.selStartX = 0;
    state.selEndX = lastColumn;
    const RefreshControls controls = readControls();
    state = refreshParameters(2, controls, sound, state).state;
    state = refreshParameters(3, controls, sound, state).state;
    return {state.frameOrder, state.windowKind, state.appliedFramePeriod, state.logScale, state.rejection, state.maxFreqStep};
}
