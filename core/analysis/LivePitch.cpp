#include "core/analysis/LivePitch.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/analysis/LiveColumns.h"

LivePitch::LivePitch(const double* samples, uint32_t capacity, uint32_t rate, int32_t frameLength)
    : samples_(samples), capacity_(capacity), rate_(rate), frameLength_(frameLength), tracker_(samples, capacity, rate)
{
}

bool LivePitch::catchUp(uint32_t captured, int32_t painted)
{
    if (frameLength_ <= 0 || rate_ == 0) return false;
    tracker_.samplesArrived(captured);
    const int32_t before = columnsMeasured();
    for (int32_t k = before; k < std::min<int32_t>(painted, columnCount); ++k) {
        const uint32_t first = static_cast<uint32_t>(liveFrameStart(k, capacity_));
        if (!tracker_.addFrame(static_cast<double>(first) + frameLength_ / 2)) break;
        firstSamples_.push_back(first);
        levels_.push_back(stretchLevelDb(samples_, first, frameLength_));
    }
    return columnsMeasured() > before;
}

void LivePitch::fill(VoiceNumbers& voice) const
{
    clearVoice(voice);
    voice.rate = rate_;
    voice.frameLength = frameLength_;
    const std::vector<double> f0 = tracker_.bestPath();
    for (size_t k = 0; k < firstSamples_.size(); ++k) {
        VoiceColumn& c = voice.column[k];
        c.firstSample = firstSamples_[k];
        c.centreSeconds = (static_cast<double>(firstSamples_[k]) + frameLength_ / 2) / rate_;
        c.f0Hz = f0[k];
        std::fill(std::begin(c.formantHz), std::end(c.formantHz), std::numeric_limits<double>::quiet_NaN());
        c.levelDb = levels_[k];
        voice.loudestDb = std::max(voice.loudestDb, c.levelDb);
    }
    voice.columns = columnsMeasured();
}
