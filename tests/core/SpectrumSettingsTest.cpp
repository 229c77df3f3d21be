// The settings the analysis runs hand the engine come from the panel's
// parameters, each from its own.
#include <gtest/gtest.h>

#include "core/panel/Parameters.h"

namespace {

TEST(SpectrumSettings, AreTheAnalysisParametersAsTheyStandNow)
{
    resetParameters();
    const SpectrumSettings startUp = currentSpectrumSettings();
    EXPECT_EQ(startUp.energyLogMode, 1);
    EXPECT_EQ(startUp.logScale, 320);
    EXPECT_EQ(startUp.rejection, 1);
    EXPECT_EQ(startUp.maxFreqStep, -3);

    energyLogMode = 0;
    logScale = 840;
    rejection = 7;
    maxFreqStep = 4;
    const SpectrumSettings changed = currentSpectrumSettings();
    EXPECT_EQ(changed.energyLogMode, 0);
    EXPECT_EQ(changed.logScale, 840);
    EXPECT_EQ(changed.rejection, 7);
    EXPECT_EQ(changed.maxFreqStep, 4);
    resetParameters();
}

}  // namespace
