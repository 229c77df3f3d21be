// Formants by linear prediction. Stand-in until the tracker lands: same
// contract, every formant missing.
#ifndef KELVARA_FORMANTS_H
#define KELVARA_FORMANTS_H

#include <cstddef>
#include <vector>

constexpr int formantCount = 4;

struct FormantSettings {
    double ceilingHz = 5500.0;
    int maxFormants = 5;
    double windowSeconds = 0.025;
    double preEmphasisFromHz = 50.0;
};

struct FormantSet {
    double hz[formantCount];
    double bandwidthHz[formantCount];
};  // NaN where missing

std::vector<FormantSet> trackFormants(const double* samples, size_t sampleCount, double sampleRate,
                                      const double* centres, size_t centreCount, const FormantSettings& settings = {});

#endif
