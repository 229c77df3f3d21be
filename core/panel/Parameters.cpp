#include "core/panel/Parameters.h"

std::atomic<int> recordRate{22050};
std::atomic<int> recordBits{8};
std::atomic<int> recordSeconds{8};

std::atomic<int> windowKind{1};
std::atomic<int> frameOrder{0};
std::atomic<int> framePeriod{1};
std::atomic<int> appliedFramePeriod{1};
std::atomic<int> logScale{320};
std::atomic<int> rejection{1};
std::atomic<int> maxFreqStep{-3};
std::atomic<int> energyLogMode{1};

std::atomic<double> colorWidth{1.0};
std::atomic<int> printMonoMode{0};
std::atomic<int> sideGraduate{0};
std::atomic<int> graduateLine{0};

std::atomic<int> sourceMode{0};

std::atomic<uint32_t> selStartX{0};
std::atomic<uint32_t> selEndX{0};
std::atomic<uint32_t> cursorX{0};
std::atomic<int> selectionLocked{0};
std::atomic<int> analysisStart{0};
std::atomic<int> cursorSample{0};

std::atomic<int> activityState{ActivityIdle};

void resetParameters()
{
    recordRate = 22050;
    recordBits = 8;
    recordSeconds = 8;
    windowKind = 1;
    frameOrder = 0;
    framePeriod = 1;
    appliedFramePeriod = 1;
    logScale = 320;
    rejection = 1;
    maxFreqStep = -3;
    energyLogMode = 1;
    colorWidth = 1.0;
    printMonoMode = 0;
    sideGraduate = 0;
    graduateLine = 0;
    sourceMode = 0;
    selStartX = 0;
    selEndX = 0;
    cursorX = 0;
    selectionLocked = 0;
    analysisStart = 0;
    cursorSample = 0;
    activityState = ActivityIdle;
}
