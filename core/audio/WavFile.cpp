// Finding the format and the sample bytes of a .wav file.
//
// Real files carry LIST, fact, bext and other chunks, fmt chunks of 18 or 40
// bytes and odd-sized chunks padded to a word (or, from some writers, not
// padded); reading them at the canonical
// offsets would take the format from the wrong bytes. So a RIFF/WAVE file is
// walked chunk by chunk. Only when that finds no usable "fmt " and "data" is
// the file read at the fixed 44-byte layout, which is also how files with a
// damaged or foreign header (even a big-endian RIFX one) were always loaded.
//
// All offsets are kept in 64 bits and every read is checked against the file
// size first, so no size field in the file can move a read outside it.
#include "core/audio/WavFile.h"

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

// Four printable ASCII characters, as every registered chunk id is, within the file.
bool plausibleChunkIdAt(const uint8_t* bytes, uint64_t end, uint64_t offset)
{
    if (offset + 4 > end) return false;
    for (int i = 0; i < 4; ++i)
        if (bytes[offset + i] < 0x20 || bytes[offset + i] > 0x7E) return false;
    return true;
}

// Chunks are word-aligned, so an odd-sized one is followed by a pad byte; but
// some writers leave it out. Where the padded position holds no chunk id and
// the unpadded one does, the writer is taken at its word.
uint64_t nextChunkOffset(const uint8_t* bytes, uint64_t end, uint64_t body, uint64_t chunkSize)
{
    const uint64_t unpadded = body + chunkSize;
    if ((chunkSize & 1) == 0) return unpadded;
    if (!plausibleChunkIdAt(bytes, end, unpadded + 1) && plausibleChunkIdAt(bytes, end, unpadded)) return unpadded;
    return unpadded + 1;
}

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
    bool refused = false;     // an extensible format whose sub-format we cannot decode
    bool extensible = false;  // the chunk said WAVE_FORMAT_EXTENSIBLE
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
    scan.extensible = scan.format.formatTag == WaveFormatExtensible;
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
        offset = nextChunkOffset(bytes, end, body, chunkSize);
    }
    return scan;
}

bool isRiffWave(const uint8_t* bytes, size_t size) { return size >= 12 && hasId(bytes, "RIFF") && hasId(bytes + 8, "WAVE"); }

// How the header's samples lie in the file, or false for a width we cannot
// read. Anything but 32 or 64-bit float is integer PCM by its width, as it
// has always been read.
//
// A plain format chunk whose block alignment gives each sample more bytes
// than its width needs describes padded containers (arecord's S24_LE: 24
// bits in 4 bytes), and the sample stands in the low bytes of each. Only
// then is the header's alignment trusted, since it is the one field that
// says where the next frame starts. Smaller, zero or uneven alignments are
// a sloppy writer's and the frames are packed. Extensible chunks are left
// packed too: there the width already is the container, the valid bits in
// its high bytes, and reading the whole container gives them their weight.
// The fixed 44-byte fallback never trusts it, since a foreign header's
// alignment (RIFX is big-endian) is read from the wrong bytes.
bool storedLayoutOf(const WaveFormat& header, bool trustAlignment, SampleLayout& stored)
{
    // Without a rate a sound has no time scale: nothing could draw or play it.
    if (header.channels == 0 || header.samplesPerSec == 0) return false;
    stored.channels = header.channels;
    stored.bits = header.bitsPerSample;
    stored.isFloat = header.formatTag == WaveFormatFloat && (header.bitsPerSample == 32 || header.bitsPerSample == 64);
    if (!stored.isFloat && !isDecodableFormat(header)) return false;
    const uint32_t width = header.bitsPerSample / 8u;
    stored.frameBytes = width * header.channels;
    const uint32_t align = header.blockAlign;
    if (trustAlignment && align % header.channels == 0 && align / header.channels > width) stored.frameBytes = align;
    return true;
}

bool sameLayout(const SampleLayout& a, const SampleLayout& b)
{
    return a.channels == b.channels && a.bits == b.bits && a.isFloat == b.isFloat && a.frameBytes == b.frameBytes;
}

// Lays `count` frames of `stored` out as `packed` in `to`. Integer and 32-bit
// float samples are copied from the low bytes of their containers, which
// loses nothing; 64-bit float is written as the 32-bit float nearest the
// value the samples were decoded to, so what plays is what is shown.
void repack(const SampleLayout& stored, const SampleLayout& packed, const uint8_t* from, uint32_t count, uint8_t* to)
{
    const uint32_t container = stored.frameBytes / stored.channels;
    const uint32_t width = packed.bits / 8u;
    const bool narrowsFloat = stored.isFloat && stored.bits == 64;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* frame = from + static_cast<size_t>(i) * stored.frameBytes;
        uint8_t* out = to + static_cast<size_t>(i) * packed.frameBytes;
        for (uint32_t c = 0; c < stored.channels; ++c, out += width) {
            const uint8_t* sample = frame + static_cast<size_t>(c) * container;
            if (!narrowsFloat) {
                std::memcpy(out, sample, width);
                continue;
            }
            // Already limited to the float range, so the conversion is defined.
            const float value = static_cast<float>(decodeSample(stored, sample) / 32768.0);
            uint32_t raw;
            std::memcpy(&raw, &value, sizeof raw);
            for (int b = 0; b < 4; ++b) out[b] = static_cast<uint8_t>(raw >> (8 * b));
        }
    }
}

}  // namespace

bool readsAsWav(const uint8_t* bytes, size_t size)
{
    if (size < bytesToTellWav) return true;
    return (hasId(bytes, "RIFF") || hasId(bytes, "RIFX")) && hasId(bytes + 8, "WAVE");
}

bool parseWav(const uint8_t* bytes, size_t size, WavLayout& layout)
{
    if (bytes == nullptr) return false;
    WavLayout found;
    bool located = false;
    bool plainChunk = false;

    if (isRiffWave(bytes, size)) {
        const ChunkScan scan = walkChunks(bytes, size);
        if (scan.refused) return false;
        if (scan.haveFormat && scan.haveData && scan.dataOffset <= UINT32_MAX) {
            found.format = scan.format;
            found.dataOffset = static_cast<uint32_t>(scan.dataOffset);
            found.dataSize = static_cast<uint32_t>(scan.dataSize);  // a chunk size is 32 bits already
            located = true;
            plainChunk = !scan.extensible;
        }
    }

    if (!located) {
        if (size < canonicalHeaderSize) return false;  // not even the header is there
        found.format = readFormatFields(bytes + 20);
        found.dataOffset = canonicalHeaderSize;
        const uint64_t rest = size - canonicalHeaderSize;
        found.dataSize = rest > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rest);
    }

    if (!storedLayoutOf(found.format, plainChunk, found.stored)) return false;
    // The tag handed on says how the bytes were decoded: anything but float
    // was read as integer PCM by its width, and the player must tell the
    // device the same (an extensible tag without its extension, or ADPCM's,
    // would only make the device refuse a sound we can show). The device
    // takes no 64-bit float, so such a sound is handed on as 32-bit float.
    found.format.formatTag = found.stored.isFloat ? WaveFormatFloat : WaveFormatPcm;
    if (found.stored.isFloat) found.format.bitsPerSample = 32;
    // Sloppy writers leave the block alignment or the byte rate wrong, and
    // padded containers are packed on loading; make the two derived fields
    // agree with the packed frames: a device refuses a format that
    // contradicts itself, and the play range and audio blocks are cut by
    // these fields.
    const uint32_t frameBytes = static_cast<uint32_t>(found.format.channels) * (found.format.bitsPerSample / 8u);
    found.format.blockAlign = static_cast<uint16_t>(frameBytes > UINT16_MAX ? UINT16_MAX : frameBytes);
    const uint64_t byteRate = static_cast<uint64_t>(found.format.samplesPerSec) * found.format.blockAlign;
    found.format.avgBytesPerSec = static_cast<uint32_t>(byteRate > UINT32_MAX ? UINT32_MAX : byteRate);
    layout = found;
    return true;
}

namespace {

// Both loadWav: `owned` is the block `bytes` lies at the start of when the
// caller gives it up, or null.
bool loadWavFrom(SoundBuffer& target, const uint8_t* bytes, size_t size, std::unique_ptr<uint8_t[]>* owned)
{
    WavLayout layout;
    if (!parseWav(bytes, size, layout)) return false;

    // The new sound is built beside the old one, so a refusal at any step
    // leaves the old sound, its blocks and its ready flag as they were.
    SoundBuffer fresh;
    fresh.format = layout.format;
    const uint8_t* stored = bytes + layout.dataOffset;
    if (!fresh.decodeFrom(layout.stored, stored, layout.dataSize)) return false;

    // The player hands `format` and `data` to the wave device as they are,
    // and the device wants frames of exactly channels * bits / 8 bytes in a
    // width it knows. A file already in that layout is kept byte for byte;
    // any other is packed, frame by frame, and its trailing part-frame left
    // out, so the data, the block alignment and the byte rate agree. A file
    // kept as it is loses its trailing part-frame too: the device's last
    // block must hold whole frames.
    const SampleLayout packed = packedLayout(layout.format);
    const bool asStored = sameLayout(layout.stored, packed);
    const uint32_t bytesKept = fresh.sampleCount * packed.frameBytes;
    uint8_t* block = nullptr;
    if (asStored && owned != nullptr) {
        // Nothing can fail from here on, so the caller's block may change.
        block = owned->release();
        if (bytesKept > 0) std::memmove(block, block + layout.dataOffset, bytesKept);
    } else {
        block = new (std::nothrow) uint8_t[bytesKept];
        if (block == nullptr) return false;
        if (asStored && bytesKept > 0) std::memcpy(block, stored, bytesKept);
        if (!asStored) repack(layout.stored, packed, stored, fresh.sampleCount, block);
    }
    fresh.data = block;
    fresh.dataSize = bytesKept;

    target.takeFrom(fresh);
    target.ready = 1;
    return true;
}

}  // namespace

bool loadWav(SoundBuffer& target, const uint8_t* bytes, size_t size)
{
    return loadWavFrom(target, bytes, size, nullptr);
}

bool loadWav(SoundBuffer& target, std::unique_ptr<uint8_t[]>& bytes, size_t size)
{
    return loadWavFrom(target, bytes.get(), size, &bytes);
}
