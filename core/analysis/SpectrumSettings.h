// The settings that turn a frame's magnitudes into what the views show. The
// caller takes them from the panel's parameter model for every frame, so the
// engine depends on no panel.
#ifndef KELVARA_SPECTRUM_SETTINGS_H
#define KELVARA_SPECTRUM_SETTINGS_H

struct SpectrumSettings {
    int energyLogMode;  // 0 Linear; anything else Log, as the panel shows the Log controls then
    int logScale;       // S, 200..1000
    int rejection;      // R, 1..10: in Log mode, entries below R/S of the strongest become 0
    int maxFreqStep;    // k, -10..10: the display bins span 0 to maxFrequencyHz(k)
};

#endif
