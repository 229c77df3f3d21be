// Reading an AIFF or AIFF-C file's bytes into a SoundBuffer.
//
// Windows has no AIFF decoder of its own, and under Wine the one that
// Media Foundation reaches through GStreamer now and then never returns
// (after which no file opens any more); AIFF is plain PCM in big-endian
// chunks, so it is read here, like a .wav. The samples are turned into the
// little-endian layout the sound keeps and plays (8-bit ones, signed in the
// file, to the unsigned bytes of a .wav).
#ifndef KELVARA_AIFF_FILE_H
#define KELVARA_AIFF_FILE_H

#include <cstddef>
#include <cstdint>

#include "core/audio/SoundBuffer.h"

// True when the bytes begin like an AIFF or AIFF-C file ("FORM" ... "AIFF"
// or "AIFC"); 12 bytes are enough to tell.
bool looksLikeAiff(const uint8_t* bytes, size_t size);

// Reads the file: integer PCM of 8, 16, 24 or 32 bits ("AIFF", and "AIFC"
// with the compression types NONE, twos and sowt) or 32-bit float (AIFC
// fl32). On success `target` holds the sound (ready = 1); a file without a
// usable COMM and SSND chunk, or of another kind, gives false with `target`
// exactly as it was. A file cut short keeps the whole frames it holds.
bool loadAiff(SoundBuffer& target, const uint8_t* bytes, size_t size);

#endif
