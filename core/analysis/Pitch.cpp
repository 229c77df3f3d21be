#include "core/analysis/Pitch.h"

std::vector<double> trackPitch(const double*, size_t, double, const double*, size_t centreCount, const PitchSettings&)
{
    return std::vector<double>(centreCount, 0.0);
}
