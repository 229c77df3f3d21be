// The input level shown while recording: the peak of the last 100 ms in dB re
// full scale, and "CLIP" held for a second after a sample reached full scale.
// Time is counted in samples of the recording, so the meter says the same
// whatever the screen was doing when the blocks came in.
//
// Samples are the decoded ones, on the signed 16-bit scale (SoundBuffer.h):
// full scale is 32768, so a sine of amplitude 16384 reads -6.02 dB. A sample
// "reached full scale" when it is the largest or smallest value its width can
// hold: -32768 or 32767 for 16 bits, -32768 or 32512 for 8 bits.
#ifndef KELVARA_INPUT_LEVEL_H
#define KELVARA_INPUT_LEVEL_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class InputLevel {
public:
    InputLevel(uint32_t sampleRate, int bitsPerSample);

    void add(const double* samples, size_t count);

    // dB re full scale of the largest magnitude among the last 100 ms of
    // samples (fewer at the start); -infinity for silence or no samples.
    double peakDb() const;
    // A full-scale sample came in within the last second of samples.
    bool clipping() const;

private:
    std::vector<double> recent_;  // magnitudes of the last 100 ms, a ring
    size_t next_ = 0;
    size_t filled_ = 0;
    double clipPositive_;
    uint64_t sampleRate_;
    uint64_t samplesSeen_ = 0;
    uint64_t lastClipAt_ = 0;  // samplesSeen_ just after the last clip; 0 for none
};

// The level line: "Input -6.0 dB FS   [#########-----------]" with "   CLIP"
// after it while clipping; the bar has one '#' per 3 dB above -60 dB FS.
std::wstring inputLevelText(double peakDb, bool clipping);

#endif
