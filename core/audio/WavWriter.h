// The bytes of a canonical RIFF/WAVE file for a sound: "RIFF", "WAVE", a
// 16-byte "fmt " chunk for integer PCM (18 bytes, with an empty extension,
// plus a "fact" chunk for float, as the format's rules ask of every non-PCM
// tag), then "data" and a pad byte when the data has an odd length.
//
// Only whole sample frames are written: a trailing part-frame is no sample,
// and a data chunk that is not a whole number of frames is one that readers
// refuse or warn about. The block alignment and byte rate are written as the
// channels, width and rate make them, whatever the format record says.
#ifndef KELVARA_WAV_WRITER_H
#define KELVARA_WAV_WRITER_H

#include <cstdint>
#include <vector>

#include "core/audio/SoundBuffer.h"

// What goes into the file around the sound's own bytes: `header`, then the
// first `dataBytes` bytes of the sound, then one zero byte if `padByte`.
struct WavFilePlan {
    std::vector<uint8_t> header;
    uint32_t dataBytes = 0;
    bool padByte = false;
    uint64_t fileSize() const { return header.size() + uint64_t{dataBytes} + (padByte ? 1u : 0u); }
};

// False for a format that has no canonical file (a tag other than PCM or
// float, no channels, a width that is not a whole number of bytes, float
// other than 32 or 64 bits) and for a sound too long for the 32-bit RIFF
// size.
bool planWavFile(const WaveFormat& format, uint32_t dataSize, WavFilePlan& plan);

// The whole file in memory; false as planWavFile.
bool wavFileBytes(const WaveFormat& format, const uint8_t* data, uint32_t dataSize, std::vector<uint8_t>& out);

#endif
