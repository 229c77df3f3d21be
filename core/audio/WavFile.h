// Reading a .wav file's bytes into a SoundBuffer.
//
// A well-formed RIFF/WAVE file is read by walking its chunks (word-aligned)
// to "fmt " and "data"; anything else falls back to the canonical 44-byte
// layout. WAVE_FORMAT_EXTENSIBLE with a PCM or float sub-format loads as that
// format. The sound is built in fresh blocks and replaces the target's only
// when it decoded; on refusal the target is untouched.
//
// The buffer's data is always in a layout the wave device plays: samples
// padded into wider containers are packed, and 64-bit float becomes 32-bit
// float, while the samples are decoded from the file's own bytes.
#ifndef KELVARA_WAV_FILE_H
#define KELVARA_WAV_FILE_H

#include <cstddef>
#include <cstdint>
#include <memory>

#include "core/audio/SoundBuffer.h"

struct WavLayout {
    WaveFormat format{};      // what the sound is handed on as; extraSize forced to 18
    SampleLayout stored{};    // how the file's sample bytes are laid out
    uint32_t dataOffset = 0;  // where the sample bytes start in the file
    uint32_t dataSize = 0;    // clamped to the file
};

// True when a file whose first `size` bytes (12 are enough) are these is
// read here and nowhere else, whatever its name: a RIFF/WAVE file, also a
// big-endian RIFX one (always read, and refused, here), and a file too
// short to be anything else. Every other file is for the system's decoders.
bool readsAsWav(const uint8_t* bytes, size_t size);
constexpr size_t bytesToTellWav = 12;

// Finds the format and the sample data in a file's bytes. False for a file
// that cannot be decoded (shorter than its header, no channels, a width of 0,
// below 8 bits, or one decode does not know; 64 bits only as float).
bool parseWav(const uint8_t* bytes, size_t size, WavLayout& layout);

// parseWav, then the sound decoded into new blocks; on success `target` takes
// them (ready = 1) and its old blocks are freed. On failure `target` is left
// exactly as it was. Also false when memory for the blocks cannot be had.
bool loadWav(SoundBuffer& target, const uint8_t* bytes, size_t size);

// The same, but the caller gives up the file's block (allocated with new[]):
// when the file's sample bytes already are in the layout the sound keeps, the
// sound adopts the block as its data (its sample bytes moved to its start)
// instead of copying them, and `bytes` is left empty. Otherwise, and on every
// failure, `bytes` keeps the block, whose contents are then unchanged.
bool loadWav(SoundBuffer& target, std::unique_ptr<uint8_t[]>& bytes, size_t size);

#endif
