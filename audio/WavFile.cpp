// Finding the format and the sample bytes of a .wav file.
//
// Real files carry LIST, fact, bext and other chunks, fmt chunks of 18 or 40
// bytes and odd-sized chunks padded to a word; reading them at the canonical
// offsets would take the format from the wrong bytes. So a RIFF/WAVE file is
// walked chunk by chunk. Only when that finds no usable "fmt " and "data" is
// the file read at the fixed 44-byte layout, which is also how files with a
// damaged or foreign header (even a big-endian RIFX one) were always loaded.
//
// All offsets are kept in 64 bits and every read is checked against the file
// size first, so no size field in the file can move a read outside it.
#include "audio/WavFile.h"

#include <cstring>
#include <new>

namespace {

constexpr size_t canonicalHeaderSize = 44;
constexpr uint16_t forcedExtraSize = 18;

uint16_t readU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t readU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

bool hasId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// The sixteen bytes every format chunk and the canonical header share.
WaveFormat readFormatFields(const uint8_t* p)
{
    WaveFormat format{};
    format.formatTag = readU16(p);
    format.channels = readU16(p + 2);
    format.samplesPerSec = readU32(p + 4);
    format.avgBytesPerSec = readU32(p + 8);
    format.blockAlign = readU16(p + 12);
    format.bitsPerSample = readU16(p + 14);
    format.extraSize = forcedExtraSize;
    return format;
}

struct ChunkScan {
    bool haveFormat = false;
    bool haveData = false;
    bool refused = false;  // an extensible format whose sub-format we cannot decode
    WaveFormat format{};
    uint64_t dataOffset = 0;
    uint64_t dataSize = 0;
};

// A "fmt " chunk body of `size` bytes, all inside the file.
void takeFormatChunk(const uint8_t* body, uint32_t size, ChunkScan& scan)
{
    if (size < 16) return;  // no bits-per-sample field: not a format we can use
    scan.format = readFormatFields(body);
    scan.haveFormat = true;
    // WAVE_FORMAT_EXTENSIBLE keeps the real format in the first two bytes of
    // its sub-format GUID (byte 24 of the chunk). The device gets the plain
    // tag, since the record we hand it has no room for the extension.
    if (scan.format.formatTag == WaveFormatExtensible && size >= 40) {
        const uint16_t subFormat = readU16(body + 24);
        if (subFormat == WaveFormatPcm || subFormat == WaveFormatFloat)
            scan.format.formatTag = subFormat;
        else
            scan.refused = true;
    }
}

ChunkScan walkChunks(const uint8_t* bytes, size_t size)
{
    ChunkScan scan;
    const uint64_t end = size;
    uint64_t offset = 12;
    while (offset + 8 <= end && !(scan.haveFormat && scan.haveData)) {
        const uint8_t* header = bytes + offset;
        const uint64_t chunkSize = readU32(header + 4);
        const uint64_t body = offset + 8;
        const bool fits = chunkSize <= end - body;
        if (hasId(header, "data")) {
            if (!scan.haveData) {
                scan.haveData = true;
                scan.dataOffset = body;
                scan.dataSize = fits ? chunkSize : end - body;  // a truncated file keeps what it holds
            }
        } else if (hasId(header, "fmt ")) {
            if (fits && !scan.haveFormat) takeFormatChunk(bytes + body, static_cast<uint32_t>(chunkSize), scan);
        }
        if (!fits) break;
        offset = body + chunkSize + (chunkSize & 1);  // chunks are word-aligned
    }
    return scan;
}

bool isRiffWave(const uint8_t* bytes, size_t size) { return size >= 12 && hasId(bytes, "RIFF") && hasId(bytes + 8, "WAVE"); }

}  // namespace

bool parseWav(const uint8_t* bytes, size_t size, WavLayout& layout)
{
    if (bytes == nullptr) return false;
    WavLayout found;
    bool located = false;

    if (isRiffWave(bytes, size)) {
        const ChunkScan scan = walkChunks(bytes, size);
        if (scan.refused) return false;
        if (scan.haveFormat && scan.haveData && scan.dataOffset <= UINT32_MAX) {
            found.format = scan.format;
            found.dataOffset = static_cast<uint32_t>(scan.dataOffset);
            found.dataSize = static_cast<uint32_t>(scan.dataSize);  // a chunk size is 32 bits already
            located = true;
        }
    }

    if (!located) {
        if (size < canonicalHeaderSize) return false;  // not even the header is there
        found.format = readFormatFields(bytes + 20);
        found.dataOffset = canonicalHeaderSize;
        const uint64_t rest = size - canonicalHeaderSize;
        found.dataSize = rest > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rest);
    }

    if (!isDecodableFormat(found.format)) return false;
    // The tag handed on says how the bytes were decoded: anything but 32-bit
    // float was read as integer PCM by its width, and the player must tell
    // the device the same (an extensible tag without its extension, or
    // ADPCM's, would only make the device refuse a sound we can show).
    if (!(found.format.formatTag == WaveFormatFloat && found.format.bitsPerSample == 32)) found.format.formatTag = WaveFormatPcm;
    // Sloppy writers leave the block alignment or the byte rate wrong; the
    // samples are read by width and channels anyway, so make the two derived
    // fields agree with them: a device refuses a format that contradicts
    // itself, and the play range and audio blocks are cut by these fields.
    const uint32_t frameBytes = static_cast<uint32_t>(found.format.channels) * (found.format.bitsPerSample / 8u);
    found.format.blockAlign = static_cast<uint16_t>(frameBytes > UINT16_MAX ? UINT16_MAX : frameBytes);
    const uint64_t byteRate = static_cast<uint64_t>(found.format.samplesPerSec) * found.format.blockAlign;
    found.format.avgBytesPerSec = static_cast<uint32_t>(byteRate > UINT32_MAX ? UINT32_MAX : byteRate);
    layout = found;
    return true;
}

bool loadWav(SoundBuffer& target, const uint8_t* bytes, size_t size)
{
    WavLayout layout;
    if (!parseWav(bytes, size, layout)) return false;

    // The new sound is built beside the old one, so a refusal at any step
    // leaves the old sound, its blocks and its ready flag as they were.
    SoundBuffer fresh;
    fresh.format = layout.format;
    uint8_t* block = new (std::nothrow) uint8_t[layout.dataSize];
    if (block == nullptr) return false;
    if (layout.dataSize > 0) std::memcpy(block, bytes + layout.dataOffset, layout.dataSize);
    fresh.data = block;
    fresh.dataSize = layout.dataSize;
    if (!fresh.decode()) return false;

    target.takeFrom(fresh);
    target.ready = 1;
    return true;
}
