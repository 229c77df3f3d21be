#include "core/analysis/NumbersCsv.h"

#include <cmath>

#include "core/base/DecimalText.h"

namespace {

const char* const lineEnd = "\r\n";

}  // namespace

std::string numbersCsv(const VoicePrintNumbers& run, const FrameNumbers& frame)
{
    std::string csv;
    // About 9 characters a level: reserved once so the export does not grow
    // the string two hundred times over.
    const size_t runChars = static_cast<size_t>(run.columnsTaken + 1) * (displayBinCount * 9 + 16);
    csv.reserve(runChars + static_cast<size_t>(frameEntryCount(frame)) * 40 + 64);

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
    return csv;
}
