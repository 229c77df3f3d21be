// The numbers of the last voice-print run and of the current frame as CSV,
// for a spreadsheet: UTF-8 (plain ASCII in fact), comma-separated, '.' as the
// decimal point whatever the locale, lines ended with "\r\n" as RFC 4180 and
// the spreadsheets on Windows expect.
//
//   time_s,<frequency of bin 0 in Hz>,...,<bin 279>      (3 decimals)
//   <time of column 0 in s, 6 decimals>,<280 levels in dB FS, 3 decimals>
//   ... one line per column of the last run
//   <blank line>
//   bin,frequency_hz,magnitude,level_db
//   <entry>,<i * rate / N, 3 decimals>,<normalised, 6 decimals>,<dB FS, 3 decimals>
//   ... one line per entry 0..N/2 of the current frame
//   <blank line>                                          (with the voice numbers)
//   centre_s,f0_hz,f1_hz,f2_hz,f3_hz,f4_hz,level_db
//   <centre of column 0's frame in s, 6 decimals>,<F0, 3 decimals>,<F1..F4, 1 decimal>,<dB FS, 3 decimals>
//   ... one line per column of the last run
//
// A silent entry's level is -inf; a bin without an entry has an empty field,
// and so has an unvoiced column's F0 and a missing formant.
// Times get 6 decimals so that neighbouring samples stay apart at any rate
// the program reads. Without a run, or without a frame, the part keeps its
// header line only.
#ifndef KELVARA_NUMBERS_CSV_H
#define KELVARA_NUMBERS_CSV_H

#include <string>

#include "core/analysis/AnalysisNumbers.h"
#include "core/analysis/VoiceNumbers.h"

// Without `voice` the third part is left out.
std::string numbersCsv(const VoicePrintNumbers& run, const FrameNumbers& frame, const VoiceNumbers* voice = nullptr);

#endif
