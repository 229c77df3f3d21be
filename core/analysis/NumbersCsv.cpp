#include "core/analysis/NumbersCsv.h"

#include <cmath>

#include "core/base/DecimalText.h"

namespace {

const char* const lineEnd = "\r\n";

void appendLevel(std::string& csv, double levelDb)
{
    if (std::isinf(levelDb) && levelDb < 0)
        csv += "-inf";
    else
        appendFixed(csv, levelDb, 3);
}

void appendVoice(std::string& csv, const VoiceNumbers& voice)
{
    csv += lineEnd;
    csv += "centre_s,f0_hz,f1_hz,f2_hz,f3_hz,f4_hz,level_db";
    csv += lineEnd;
    for (int k = 0; k < voice.columns; ++k) {
        const VoiceColumn& c = voice.column[k];
        appendFixed(csv, c.centreSeconds, 6);
        csv += ',';
        if (c.f0Hz > 0.0) appendFixed(csv, c.f0Hz, 3);
        for (double hz : c.formantHz) {
            csv += ',';
            if (std::isfinite(hz)) appendFixed(csv, hz, 1);
        }
        csv += ',';
        appendLevel(csv, c.levelDb);
        csv += lineEnd;
    }
}

}  // namespace

std::string numbersCsv(const VoicePrintNumbers& run, const FrameNumbers& frame, const VoiceNumbers* voice)
{
    std::string csv;
    // About 9 characters a level: reserved once so the export does not grow
    // the string two hundred times over.
    const size_t runChars = static_cast<size_t>(run.columnsTaken + 1) * (displayBinCount * 9 + 16);
    const size_t voiceChars = voice ? static_cast<size_t>(voice->columns + 2) * 80 : 0;
    csv.reserve(runChars + static_cast<size_t>(frameEntryCount(frame)) * 40 + voiceChars + 64);

    csv += "time_s";
    for (int bin = 0; bin < displayBinCount; ++bin) {
        csv += ',';
        appendFixed(csv, binFrequencyHz(bin, run.maxFreqStep), 3);
    }
    csv += lineEnd;

    // The offset of a level depends only on the entry (and the run), so the
    // loop below takes one logarithm a field.
    double offset[displayBinCount];
    for (int bin = 0; bin < run.binsWithEntry; ++bin)
        offset[bin] = levelOffsetDb(run.binEntry[bin], run.frameLength, run.windowKind);
    for (int column = 0; column < run.columnsTaken; ++column) {
        appendFixed(csv, columnSeconds(run, column), 6);
        const double* raw = run.columns[column].raw;
        for (int bin = 0; bin < displayBinCount; ++bin) {
            csv += ',';
            if (bin >= run.binsWithEntry) continue;
            if (raw[bin] > 0.0)
                appendFixed(csv, 20.0 * std::log10(raw[bin]) + offset[bin], 3);
            else
                csv += "-inf";
        }
        csv += lineEnd;
    }

    csv += lineEnd;
    csv += "bin,frequency_hz,magnitude,level_db";
    csv += lineEnd;
    const int entries = frameEntryCount(frame);
    for (int i = 0; i < entries; ++i) {
        csv += std::to_string(i);
        csv += ',';
        appendFixed(csv, entryFrequencyHz(frame, i), 3);
        csv += ',';
        appendFixed(csv, frame.magnitude[i], 6);
        csv += ',';
        appendFixed(csv, entryLevelDb(frame, i), 3);
        csv += lineEnd;
    }
    if (voice) appendVoice(csv, *voice);
    return csv;
}
