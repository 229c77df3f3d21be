// The catalogue of broken and hostile .wav files that the tests feed Kelvara,
// with what each one should do; their bytes come from the tests' RIFF
// writer (tests/support/WavBytes.h), which will write any field, however
// wrong.
//
// Every expected outcome follows from the loader's stated rules, never from
// running it: a file is refused when no header can be found in it (shorter
// than the 44-byte layout and no complete chunks) or when its format cannot
// be decoded (no channels, or a width other than 8, 16, 24 or 32 bits, or an
// extensible format of another kind); anything else loads, taking its format
// from the "fmt " chunk when the chunks can be walked to both "fmt " and
// "data", and from bytes 20 to 35 otherwise.
#ifndef KELVARA_UI_HOSTILE_WAVS_H
#define KELVARA_UI_HOSTILE_WAVS_H

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/WavBytes.h"

namespace ui {

using Bytes = wavbytes::Bytes;

// A sine sweep from `fromHz` to `toHz`, amplitude `amplitude` of full scale.
std::vector<double> sweep(double fromHz, double toHz, int rate, double seconds, double amplitude = 0.5);

enum class Outcome { Refused, Loads };

struct HostileWav {
    std::string name;  // also the file name
    std::string why;   // what is wrong with it, and why it is refused or loads
    Bytes bytes;
    Outcome outcome = Outcome::Refused;
    // The test itself holds the file open without sharing while Kelvara tries it.
    bool heldOpenWithoutSharing = false;
    bool heldOpenForWriting = false;  // by a writer that shares reading and writing
    // For files that load: the format the panel must then show, and whether
    // the waveform has a trace (no trace for a sound without samples or rate).
    uint32_t rate = 0;
    uint16_t bits = 0;
    bool showsTrace = false;
};

// The catalogue, in the order the tests try them.
std::vector<HostileWav> hostileWavs();

// "%.1f" of rate / 1000 and of bits: what the panel's two format boxes show.
std::wstring kilohertzText(uint32_t rate);
std::wstring bitsText(uint16_t bits);

}  // namespace ui

#endif
