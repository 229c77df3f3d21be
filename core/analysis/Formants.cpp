#include "core/analysis/Formants.h"

#include <limits>

std::vector<FormantSet> trackFormants(const double*, size_t, double, const double*, size_t centreCount,
                                      const FormantSettings&)
{
    FormantSet missing;
    for (int i = 0; i < formantCount; ++i)
        missing.hz[i] = missing.bandwidthHz[i] = std::numeric_limits<double>::quiet_NaN();
    return std::vector<FormantSet>(centreCount, missing);
}
