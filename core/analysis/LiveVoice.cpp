#include "core/analysis/LiveVoice.h"

#include <algorithm>
#include <cmath>

#include "core/analysis/LiveColumns.h"

LiveVoice::LiveVoice(const double* samples, uint32_t capacity, uint32_t rate, int32_t frameLength, int speakerKind)
    : samples_(samples), capacity_(capacity), rate_(rate), frameLength_(frameLength), tracker_(samples, capacity, rate)
{
    formantSettings_.ceilingHz = formantCeilingHz(speakerKind);
}

bool LiveVoice::catchUp(uint32_t captured, int32_t painted)
{
    if (frameLength_ <= 0 || rate_ == 0) return false;
    captured = std::min(captured, capacity_);
    tracker_.samplesArrived(captured);
    newCentres_.clear();
    for (int32_t k = columnsMeasured(); k < std::min<int32_t>(painted, columnCount); ++k) {
        const uint32_t first = static_cast<uint32_t>(liveFrameStart(k, capacity_));
        const double centre = static_cast<double>(first) + frameLength_ / 2;
        // Past the capacity the sound counts as zero, there as in the end.
        const size_t formantEnd = std::min<size_t>(formantSamplesNeeded(centre, rate_, formantSettings_), capacity_);
        if (formantEnd > captured || !tracker_.addFrame(centre)) break;
        firstSamples_.push_back(first);
        levels_.push_back(stretchLevelDb(samples_, first, frameLength_));
        newCentres_.push_back(centre);
    }
    if (newCentres_.empty()) return false;
    // With the whole capacity as the sound's length, a frame's formants are
    // what they will be once the recording is in.
    const std::vector<FormantSet> sets =
        trackFormants(samples_, capacity_, rate_, newCentres_.data(), newCentres_.size(), formantSettings_);
    formants_.insert(formants_.end(), sets.begin(), sets.end());
    return true;
}

void LiveVoice::fill(VoiceNumbers& voice) const
{
    clearVoice(voice);
    voice.rate = rate_;
    voice.frameLength = frameLength_;
    const std::vector<double> f0 = tracker_.bestPath();
    for (size_t k = 0; k < firstSamples_.size(); ++k)
        appendVoiceColumn(voice, firstSamples_[k], f0[k], formants_[k].hz, levels_[k]);
}
