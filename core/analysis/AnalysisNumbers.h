// The numbers behind what the views show, kept for the readouts and the CSV
// export: those of the last voice-print run, column by column, and those of
// the current frame (the spectrum view's). Taking them from an engine copies
// a few kilobytes and allocates nothing, so a run can take every frame.
//
// Plain records of fixed size: VoicePrintNumbers is about 2.5 MB and wants
// static storage or the heap, never the stack. Like the engines they have no
// lock: a run must not write a record that a readout or an export is reading.
// Levels are worked out when read (FrameLevels.h), not when taken.
#ifndef KELVARA_ANALYSIS_NUMBERS_H
#define KELVARA_ANALYSIS_NUMBERS_H

#include <cstdint>

#include "core/analysis/DisplayBins.h"
#include "core/analysis/FrameLevels.h"
#include "core/base/Columns.h"

struct DftEngine;

// One voice-print column: what was painted and the raw magnitude behind each bin.
struct VoicePrintColumn {
    uint32_t firstSample = 0;
    double painted[displayBinCount] = {};  // displayBins as the engine held them
    double raw[displayBinCount] = {};      // rawMagnitude[entry of the bin]; 0 where the bin has no entry
};

struct VoicePrintNumbers {
    uint32_t rate = 0;
    int32_t frameLength = 0;
    int32_t windowKind = 0;  // as applied (appliedWindowKind)
    int32_t maxFreqStep = 0;
    int32_t columnsTaken = 0;  // columns 0..columnsTaken-1 belong to the last run
    int32_t binsWithEntry = 0;  // bins 0..binsWithEntry-1 have an entry, the rest none
    int32_t binEntry[displayBinCount] = {};  // entry behind each bin, -1 for none
    VoicePrintColumn columns[columnCount];
};

// Begins a run with these settings: no columns, the entries behind the bins
// worked out once for the whole run. Memory is kept.
void startVoicePrintRun(VoicePrintNumbers& numbers, uint32_t rate, int32_t frameLength, int32_t windowKind,
                        int32_t maxFreqStep);

// Copies the engine's last frame into column `column` (0..550) of the run;
// the run then has at least column + 1 columns. False, taking nothing, for a
// column outside 0..550 or an engine whose length or rate is not the run's.
bool takeVoicePrintColumn(VoicePrintNumbers& numbers, int column, const DftEngine& engine);

// Frequency bin `bin` stands for: bin * maxFrequencyHz(k) / 280.
double binFrequencyHz(int bin, int maxFreqStep);

// Time of a column's frame: its first sample / rate (0 without a rate).
double columnSeconds(const VoicePrintNumbers& numbers, int column);

// Whether (column, bin) has a level: a column of the last run and a bin with an entry.
bool hasVoicePrintLevel(const VoicePrintNumbers& numbers, int column, int bin);

// Level in dB FS of the entry behind (column, bin); NaN where there is none
// (hasVoicePrintLevel false), -infinity for a silent entry.
double voicePrintLevelDb(const VoicePrintNumbers& numbers, int column, int bin);

// The current frame, as the spectrum view draws it.
constexpr int maxFrameEntries = 4096 / 2 + 1;

struct FrameNumbers {
    int32_t length = 0;  // 0: no frame taken
    uint32_t rate = 0;
    int32_t windowKind = 0;
    uint32_t firstSample = 0;
    double magnitude[maxFrameEntries] = {};     // normalised, entries 0..N/2
    double rawMagnitude[maxFrameEntries] = {};  // before normalisation, 0..N/2
};

// Copies the engine's last frame; an engine without arrays leaves no frame.
void takeFrame(FrameNumbers& frame, const DftEngine& engine);

int frameEntryCount(const FrameNumbers& frame);  // N/2 + 1, or 0 without a frame

// i * rate / N.
double entryFrequencyHz(const FrameNumbers& frame, int entry);

// The entry whose centre lies nearest `hz`, held to 0..N/2; -1 without a frame.
int nearestEntry(const FrameNumbers& frame, double hz);

// dB FS of entry 0..N/2; NaN outside them.
double entryLevelDb(const FrameNumbers& frame, int entry);

FramePeak framePeak(const FrameNumbers& frame);

#endif
