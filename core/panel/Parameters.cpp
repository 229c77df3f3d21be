#include "core/panel/Parameters.h"

#include "core/analysis/VoiceNumbers.h"
#include "core/panel/PanelTables.h"

namespace pt = panelTables;

std::atomic<int> recordRate{pt::defaultRecordRate};
std::atomic<int> recordBits{pt::defaultRecordBits};
std::atomic<int> recordSeconds{pt::defaultRecordSeconds};

std::atomic<int> windowKind{pt::defaultWindowKind};
std::atomic<int> frameOrder{pt::defaultFrameOrder};
std::atomic<int> framePeriod{pt::defaultFramePeriod};
std::atomic<int> appliedFramePeriod{pt::defaultFramePeriod};
std::atomic<int> logScale{pt::defaultLogScale};
std::atomic<int> rejection{pt::defaultRejection};
std::atomic<int> maxFreqStep{pt::defaultMaxFreqStep};
std::atomic<int> energyLogMode{pt::defaultEnergyLogMode};

std::atomic<double> colorWidth{pt::defaultColorWidth};
std::atomic<int> printMonoMode{pt::defaultPrintMonoMode};
std::atomic<int> sideGraduate{pt::defaultSideGraduate};
std::atomic<int> graduateLine{pt::defaultGraduateLine};

std::atomic<int> showPitch{0};
std::atomic<int> showFormants{0};
std::atomic<int> speakerKind{defaultSpeakerKind};

std::atomic<int> sourceMode{pt::defaultSourceMode};

SpectrumSettings currentSpectrumSettings()
{
    return {energyLogMode.load(), logScale.load(), rejection.load(), maxFreqStep.load()};
}

void resetParameters()
{
    recordRate = pt::defaultRecordRate;
    recordBits = pt::defaultRecordBits;
    recordSeconds = pt::defaultRecordSeconds;
    windowKind = pt::defaultWindowKind;
    frameOrder = pt::defaultFrameOrder;
    framePeriod = pt::defaultFramePeriod;
    appliedFramePeriod = pt::defaultFramePeriod;
    logScale = pt::defaultLogScale;
    rejection = pt::defaultRejection;
    maxFreqStep = pt::defaultMaxFreqStep;
    energyLogMode = pt::defaultEnergyLogMode;
    colorWidth = pt::defaultColorWidth;
    printMonoMode = pt::defaultPrintMonoMode;
    sideGraduate = pt::defaultSideGraduate;
    graduateLine = pt::defaultGraduateLine;
    showPitch = 0;
    showFormants = 0;
    speakerKind = defaultSpeakerKind;
    sourceMode = pt::defaultSourceMode;
}
