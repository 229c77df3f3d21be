// .wav files built byte by byte for the tests that feed Kelvara broken and
// hostile files: a small RIFF writer that will write any field, however
// wrong, and the catalogue of hostile files with what each one should do.
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

namespace ui {

using Bytes = std::vector<uint8_t>;

// The sixteen bytes every format chunk starts with, written as given.
struct FormatFields {
    uint16_t tag = 1;  // PCM
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint32_t avgBytes = 44100;
    uint16_t align = 2;
    uint16_t bits = 16;
};

// A consistent PCM (or, with tag 3 and 32 bits, float) format.
FormatFields pcmFormat(uint32_t rate, uint16_t channels, uint16_t bits, uint16_t tag = 1);

Bytes formatBody(const FormatFields& format);
// A chunk: id, size (the body's own unless `declaredSize` is given), body,
// and a pad byte after an odd body.
Bytes chunk(const char* id, const Bytes& body);
Bytes chunkDeclaring(const char* id, uint32_t declaredSize, const Bytes& body);
// "RIFF" <size of the rest> "WAVE" followed by the chunks.
Bytes riffFile(const std::vector<Bytes>& chunks, const char* riffId = "RIFF");
// The canonical file: "fmt " of 16 bytes, then "data" with `data`.
Bytes canonicalWav(const FormatFields& format, const Bytes& data);

// Interleaved samples on the -1..1 scale, encoded for `format` (8-bit
// unsigned, 16/24/32-bit signed, or 32-bit float when tag is 3).
Bytes encodeSamples(const FormatFields& format, const std::vector<double>& interleaved);
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
