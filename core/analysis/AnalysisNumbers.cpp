#include "core/analysis/AnalysisNumbers.h"

#include <cmath>
#include <cstring>
#include <limits>

#include "core/analysis/DftEngine.h"
#include "core/audio/SoundBuffer.h"

namespace {

constexpr double noLevel = std::numeric_limits<double>::quiet_NaN();

}  // namespace

void startVoicePrintRun(VoicePrintNumbers& numbers, uint32_t rate, int32_t frameLength, int32_t windowKind,
                        int32_t maxFreqStep)
{
    numbers.rate = rate;
    numbers.frameLength = frameLength;
    numbers.windowKind = appliedWindowKind(windowKind);
    numbers.maxFreqStep = maxFreqStep;
    numbers.columnsTaken = 0;
    numbers.binsWithEntry = displayBinEntries(frameLength / 2, rate, maxFreqStep, numbers.binEntry);
}

bool takeVoicePrintColumn(VoicePrintNumbers& numbers, int column, const DftEngine& engine)
{
    if (column < 0 || column >= columnCount) return false;
    if (engine.length != numbers.frameLength || engine.sampleRate != numbers.rate || !isAllocated(engine.rawMagnitude))
        return false;
    VoicePrintColumn& target = numbers.columns[column];
    target.firstSample = engine.frameStartSample;
    std::memcpy(target.painted, engine.displayBins, sizeof target.painted);
    const int bins = numbers.binsWithEntry;
    for (int j = 0; j < bins; ++j) target.raw[j] = engine.rawMagnitude[numbers.binEntry[j]];
    for (int j = bins; j < displayBinCount; ++j) target.raw[j] = 0.0;
    if (numbers.columnsTaken < column + 1) numbers.columnsTaken = column + 1;
    return true;
}

double binFrequencyHz(int bin, int maxFreqStep)
{
    return bin * maxFrequencyHz(maxFreqStep) / displayBinCount;
}

double columnSeconds(const VoicePrintNumbers& numbers, int column)
{
    if (numbers.rate == 0 || column < 0 || column >= columnCount) return 0.0;
    return static_cast<double>(numbers.columns[column].firstSample) / numbers.rate;
}

bool hasVoicePrintLevel(const VoicePrintNumbers& numbers, int column, int bin)
{
    return column >= 0 && column < numbers.columnsTaken && bin >= 0 && bin < numbers.binsWithEntry;
}

double voicePrintLevelDb(const VoicePrintNumbers& numbers, int column, int bin)
{
    if (!hasVoicePrintLevel(numbers, column, bin)) return noLevel;
    return levelDbFs(numbers.columns[column].raw[bin], numbers.binEntry[bin], numbers.frameLength, numbers.windowKind);
}

void takeFrame(FrameNumbers& frame, const DftEngine& engine)
{
    if (!isAllocated(engine.magnitude) || !isAllocated(engine.rawMagnitude) || engine.length < 2 ||
        engine.length / 2 + 1 > maxFrameEntries) {
        frame.length = 0;
        return;
    }
    frame.length = engine.length;
    frame.rate = engine.sampleRate;
    frame.windowKind = engine.windowKind;
    frame.firstSample = engine.frameStartSample;
    const size_t bytes = static_cast<size_t>(engine.length / 2 + 1) * sizeof(double);
    std::memcpy(frame.magnitude, engine.magnitude, bytes);
    std::memcpy(frame.rawMagnitude, engine.rawMagnitude, bytes);
}

int frameEntryCount(const FrameNumbers& frame)
{
    return frame.length >= 2 ? frame.length / 2 + 1 : 0;
}

double entryFrequencyHz(const FrameNumbers& frame, int entry)
{
    if (frame.length <= 0) return 0.0;
    return static_cast<double>(int64_t{entry} * frame.rate) / frame.length;
}

int nearestEntry(const FrameNumbers& frame, double hz)
{
    if (frame.length < 2 || frame.rate == 0) return -1;
    const double position = std::floor(hz * frame.length / frame.rate + 0.5);
    const int last = frame.length / 2;
    if (!(position > 0.0)) return 0;  // NaN too
    return position >= last ? last : static_cast<int>(position);
}

double entryLevelDb(const FrameNumbers& frame, int entry)
{
    if (entry < 0 || entry >= frameEntryCount(frame)) return noLevel;
    return levelDbFs(frame.rawMagnitude[entry], entry, frame.length, frame.windowKind);
}

FramePeak framePeak(const FrameNumbers& frame)
{
    if (frame.length < 2) return FramePeak{};
    return findFramePeak(frame.rawMagnitude, frame.length, frame.rate, frame.windowKind);
}
