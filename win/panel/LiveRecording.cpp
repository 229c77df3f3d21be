#include "win/panel/LiveRecording.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <new>

#include "core/analysis/DftEngine.h"
#include "core/analysis/Framing.h"
#include "core/analysis/LiveColumns.h"
#include "core/analysis/LiveVoice.h"
#include "core/audio/AudioBlocks.h"
#include "core/audio/InputLevel.h"
#include "core/base/CommandIds.h"
#include "core/panel/Activity.h"
#include "core/panel/Parameters.h"
#include "core/panel/SelectionState.h"
#include "core/views/ViewGeometry.h"
#include "win/audio/AudioJobs.h"
#include "win/base/FrameHandshake.h"
#include "win/base/LiveView.h"
#include "win/base/SoundAndEngines.h"
#include "win/base/WindowRegistry.h"
#include "win/panel/PanelCommands.h"

namespace {

struct Live {
    bool active = false;
    bool viewsStarted = false;
    WaveFormat format{};
    SampleLayout layout{};
    uint32_t capacity = 0;      // samples
    uint32_t decoded = 0;       // samples decoded into `sound`
    int32_t columnsDone = 0;    // voice-print columns handed over
    int32_t traceColumns = 0;   // waveform columns whose samples are all in
    int32_t frameOrder = 0;
    int32_t windowKind = 0;
    SpectrumSettings settings{};
    // The recording as far as it has come, decoded; sampleCount is the whole
    // capacity, so a frame fits where the finished recording's would.
    SoundBuffer sound;
    std::unique_ptr<InputLevel> level;
    std::unique_ptr<LiveVoice> voice;
};
Live live;

void waitForViews()
{
    waitServingSentMessages(voicePrintDoneEvent);
    waitServingSentMessages(spectrumDoneEvent);
}

// The views show the new recording from its first block on: the sound
// before it is gone from them (not from the program, should this recording
// fail).
void startViews()
{
    live.viewsStarted = true;
    for (HWND view : {voicePrintWindow.load(), spectrumWindow.load()})
        if (view && IsWindow(view)) SendMessageW(view, WM_COMMAND, MAKEWPARAM(CMD_FORGET_ANALYSIS, 0), 0);
    PostMessageW(voicePrintWindow, WM_COMMAND, MAKEWPARAM(CMD_RESET_COLUMN, 0), 0);
    PostMessageW(waveWindow, WM_COMMAND, MAKEWPARAM(CMD_LIVE_TRACE, 0), 0);
    workEngine.load()->setUp(live.frameOrder, live.format.samplesPerSec);
    displayEngine.load()->setUp(live.frameOrder, live.format.samplesPerSec);
}

void decodeUpTo(uint32_t captured, const uint8_t* data)
{
    const uint32_t from = live.decoded;
    for (uint32_t i = from; i < captured; ++i) {
        const double s = decodeSample(live.layout, data + static_cast<size_t>(i) * live.layout.frameBytes);
        live.sound.samples[i] = s;
        live.sound.peak = std::max(live.sound.peak, std::fabs(s));
    }
    live.level->add(live.sound.samples + from, captured - from);
    live.decoded = captured;
}

// Waveform columns whose share of the recording is all in.
void extendTrace(uint32_t captured)
{
    LiveView& view = liveView();
    int32_t n = live.traceColumns;
    while (n < columnCount) {
        const int64_t end = n + 1 < columnCount ? sampleOfColumn(static_cast<uint32_t>(n + 1), positionsPerColumn(live.capacity))
                                                : live.capacity;
        if (end > captured) break;
        const ColumnExtent e = columnExtentOf(live.sound.samples, live.capacity, n);
        view.lowDrawn[n] = e.low < 0;
        view.highDrawn[n] = e.high > 0;
        view.lowRow[n] = waveformRow(e.low);
        view.highRow[n] = waveformRow(e.high);
        ++n;
    }
    if (n == live.traceColumns) return;
    live.traceColumns = n;
    PostMessageW(waveWindow, WM_COMMAND, MAKEWPARAM(CMD_LIVE_TRACE, 0), n);
}

void showLevel()
{
    LiveView& view = liveView();
    {
        std::lock_guard<std::mutex> hold(view.lock);
        view.levelText = inputLevelText(live.level->peakDb(), live.level->clipping());
    }
    PostMessageW(readoutWindow, WM_COMMAND, MAKEWPARAM(CMD_INPUT_LEVEL, 0), 1);
}

void drawColumns(ColumnRange columns, int64_t arrivedMicros)
{
    for (int32_t k = columns.first; k < columns.end; ++k) {
        const int64_t start = liveFrameStart(k, live.capacity);
        // Frame k+1 is computed while the views take frame k.
        workEngine.load()->analyseFrame(live.sound, static_cast<uint32_t>(start), live.windowKind, live.settings);
        waitForViews();
        DftEngine* analysed = workEngine;
        workEngine = displayEngine.load();
        displayEngine = analysed;
        liveView().columnArrived[k] = arrivedMicros;
        postFrame(spectrumWindow, spectrumDoneEvent, analysed);
        postFrame(voicePrintWindow, voicePrintDoneEvent, analysed);
    }
    live.columnsDone = columns.end;
}

// The pitch and formants of the painted columns whose windows are in;
// measured whether or not the overlays are shown, so that one switched on
// during the recording shows all of it at the next block.
void extendVoice(uint32_t captured)
{
    if (!live.voice || !live.voice->catchUp(captured, live.columnsDone)) return;
    if (showPitch.load() != 1 && showFormants.load() != 1) return;
    // A record of its own, which the view deletes once it has taken it.
    auto voice = std::make_unique<VoiceNumbers>();
    live.voice->fill(*voice);
    if (PostMessageW(voicePrintWindow, WM_COMMAND, MAKEWPARAM(CMD_VOICE_NUMBERS, 1), reinterpret_cast<LPARAM>(voice.get())))
        voice.release();
}

}  // namespace

void startLiveDrawing(uint32_t sampleRate, int bitsPerSample, int seconds)
{
    endLiveDrawing();
    live.format = recordFormat(sampleRate, bitsPerSample);
    live.layout = packedLayout(live.format);
    live.capacity = live.format.blockAlign == 0 ? 0 : recordCapacity(live.format, seconds) / live.format.blockAlign;
    if (live.capacity == 0) return;
    double* samples = new (std::nothrow) double[live.capacity]();
    if (!samples) return;
    live.sound.release();
    live.sound.format = live.format;
    live.sound.samples = samples;
    live.sound.sampleCount = live.capacity;
    live.sound.peak = 0.0;
    live.decoded = 0;
    live.columnsDone = 0;
    live.traceColumns = 0;
    live.level = std::make_unique<InputLevel>(sampleRate, bitsPerSample);
    {
        LiveView& view = liveView();
        std::lock_guard<std::mutex> hold(view.lock);
        view.latency.clear();  // the figures are the last recording's
    }

    // The panel's settings, with the frame period a whole-sound selection
    // of the planned length gives; nothing of the loaded sound's selection
    // changes.
    const LiveSettings s = settingsForWholeSound(live.format.samplesPerSec, live.format.bitsPerSample, live.capacity);
    live.frameOrder = s.frameOrder;
    live.windowKind = s.windowKind;
    live.settings = SpectrumSettings{energyLogMode.load(), s.logScale, s.rejection, s.maxFreqStep};
    if (frameLengthOf(live.frameOrder) == 0) return;
    live.voice = std::make_unique<LiveVoice>(live.sound.samples, live.capacity, live.format.samplesPerSec,
                                             frameLengthOf(live.frameOrder), speakerKind.load());
    liveView().plannedSeconds = static_cast<double>(live.capacity) / sampleRate;
    live.active = true;
}

void onLiveBlock(uint32_t recordedBytes, int64_t arrivedMicros)
{
    const uint8_t* data = recorderJob.capture.data;
    if (!live.active || !isAllocated(data) || live.format.blockAlign == 0) return;
    const uint32_t captured = std::min(recordedBytes / live.format.blockAlign, live.capacity);
    if (captured <= live.decoded) return;
    if (!live.viewsStarted) startViews();
    decodeUpTo(captured, data);
    showLevel();
    extendTrace(captured);
    drawColumns(ColumnRange{live.columnsDone, liveColumnsComplete(captured, live.capacity, frameLengthOf(live.frameOrder))},
                arrivedMicros);
    extendVoice(captured);
}

bool endLiveDrawing()
{
    const bool shown = live.viewsStarted;
    if (live.active || shown) {
        waitForViews();  // the views have taken the last live frame
        PostMessageW(readoutWindow, WM_COMMAND, MAKEWPARAM(CMD_INPUT_LEVEL, 0), 0);
    }
    live.active = false;
    live.viewsStarted = false;
    live.voice.reset();  // it reads the sound
    live.sound.release();
    live.sound.sampleCount = 0;
    live.level.reset();
    return shown;
}

void selectWholeSound(HWND panel)
{
    selStartX = 0;
    selEndX = lastColumn;
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(CMD_REFRESH, 0), static_cast<LPARAM>(RefreshKind::Selection));
    PostMessageW(waveWindow, WM_COMMAND, MAKEWPARAM(CMD_SELECTION_CHANGED, 0), 0);
}

int64_t liveLatency(int which)
{
    LiveView& view = liveView();
    std::lock_guard<std::mutex> hold(view.lock);
    switch (which) {
    case 0: return view.latency.median();
    case 1: return view.latency.percentile95();
    case 2: return static_cast<int64_t>(view.latency.count());
    default: return 0;
    }
}
