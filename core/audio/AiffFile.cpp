// Chunk sizes and offsets are kept in 64 bits and checked against the file
// before every read, as in the WAV reader, so no field can move a read
// outside the file.
#include "core/audio/AiffFile.h"

#include <cmath>
#include <cstring>
#include <vector>

#include "core/audio/DecodedSound.h"

namespace {

uint16_t readBigU16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }

uint32_t readBigU32(const uint8_t* p)
{
    return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
           (static_cast<uint32_t>(p[2]) << 8) | p[3];
}

bool hasId(const uint8_t* p, const char* id) { return std::memcmp(p, id, 4) == 0; }

// The sample rate, an 80-bit IEEE extended number: sign and 15-bit exponent,
// then a 64-bit mantissa with an explicit integer bit. 0 when it is no rate.
uint32_t extendedRate(const uint8_t* p)
{
    const int exponent = ((p[0] & 0x7F) << 8) | p[1];
    uint64_t mantissa = 0;
    for (int i = 2; i < 10; ++i) mantissa = (mantissa << 8) | p[i];
    if ((p[0] & 0x80) != 0 || mantissa == 0) return 0;
    const double rate = std::ldexp(static_cast<double>(mantissa), exponent - 16383 - 63);
    if (!(rate >= 1.0) || rate > 1000000.0) return 0;
    return static_cast<uint32_t>(std::lround(rate));
}

enum class Encoding { BigEndianInteger, LittleEndianInteger, BigEndianFloat };

struct AiffLayout {
    DecodedFormat format;
    Encoding encoding = Encoding::BigEndianInteger;
    uint64_t frames = 0;      // as COMM states it
    uint64_t dataOffset = 0;  // first sample byte
    uint64_t dataSize = 0;    // sample bytes present in the file
    bool haveCommon = false, haveSound = false;
};

bool readCommon(const uint8_t* body, uint64_t size, bool compressed, AiffLayout& layout)
{
    if (size < 18) return false;
    layout.format.channels = readBigU16(body);
    layout.frames = readBigU32(body + 2);
    layout.format.bits = readBigU16(body + 6);
    layout.format.rate = extendedRate(body + 8);
    layout.format.isFloat = false;
    layout.encoding = Encoding::BigEndianInteger;
    if (compressed) {
        if (size < 22) return false;
        const uint8_t* type = body + 18;
        if (hasId(type, "sowt")) {
            layout.encoding = Encoding::LittleEndianInteger;
        } else if (hasId(type, "fl32") || hasId(type, "FL32")) {
            layout.encoding = Encoding::BigEndianFloat;
            layout.format.isFloat = true;
        } else if (!hasId(type, "NONE") && !hasId(type, "twos")) {
            return false;
        }
    }
    // The file's width is rounded up to whole bytes, the sample in the high bits.
    layout.format.bits = static_cast<uint16_t>((layout.format.bits + 7) / 8 * 8);
    return isAcceptedDecodedFormat(layout.format);
}

bool findChunks(const uint8_t* bytes, size_t size, AiffLayout& layout)
{
    const bool compressed = hasId(bytes + 8, "AIFC");
    const uint64_t end = size;
    uint64_t offset = 12;
    while (offset + 8 <= end && !(layout.haveCommon && layout.haveSound)) {
        const uint8_t* header = bytes + offset;
        const uint64_t chunkSize = readBigU32(header + 4);
        const uint64_t body = offset + 8;
        const uint64_t present = chunkSize <= end - body ? chunkSize : end - body;
        if (hasId(header, "COMM") && !layout.haveCommon) {
            if (!readCommon(bytes + body, present, compressed, layout)) return false;
            layout.haveCommon = true;
        } else if (hasId(header, "SSND") && !layout.haveSound && present >= 8) {
            const uint64_t skip = readBigU32(bytes + body);
            layout.dataOffset = body + 8 + skip;
            layout.dataSize = layout.dataOffset <= body + present ? body + present - layout.dataOffset : 0;
            layout.haveSound = true;
        }
        offset = body + chunkSize + (chunkSize & 1);  // chunks are word-aligned
    }
    return layout.haveCommon && layout.haveSound;
}

// One sample of `width` bytes in the sound's little-endian layout.
void convertSample(const uint8_t* in, uint32_t width, Encoding encoding, uint8_t* out)
{
    if (encoding == Encoding::LittleEndianInteger) {
        std::memcpy(out, in, width);
    } else {
        for (uint32_t b = 0; b < width; ++b) out[b] = in[width - 1 - b];
    }
    // 8-bit samples are signed in AIFF and unsigned in the sound.
    if (width == 1 && encoding != Encoding::BigEndianFloat) out[0] = static_cast<uint8_t>(out[0] ^ 0x80);
}

}  // namespace

bool looksLikeAiff(const uint8_t* bytes, size_t size)
{
    return size >= 12 && hasId(bytes, "FORM") && (hasId(bytes + 8, "AIFF") || hasId(bytes + 8, "AIFC"));
}

bool loadAiff(SoundBuffer& target, const uint8_t* bytes, size_t size)
{
    if (!looksLikeAiff(bytes, size)) return false;
    AiffLayout layout;
    if (!findChunks(bytes, size, layout)) return false;

    const uint32_t width = layout.format.bits / 8u;
    const uint32_t frameBytes = width * layout.format.channels;
    uint64_t frames = layout.dataSize / frameBytes;
    if (layout.frames < frames) frames = layout.frames;
    if (frames == 0) return false;

    DecodedSoundAssembler assembler;
    if (!assembler.begin(layout.format, frames)) return false;
    // Converted a stretch at a time, so the file is never held twice over.
    constexpr uint64_t framesPerStretch = 16384;
    std::vector<uint8_t> stretch(static_cast<size_t>(framesPerStretch * frameBytes));
    const uint8_t* in = bytes + layout.dataOffset;
    for (uint64_t done = 0; done < frames;) {
        const uint64_t count = frames - done < framesPerStretch ? frames - done : framesPerStretch;
        const size_t samples = static_cast<size_t>(count * layout.format.channels);
        for (size_t i = 0; i < samples; ++i) convertSample(in + i * width, width, layout.encoding, stretch.data() + i * width);
        if (!assembler.append(stretch.data(), samples * width)) return false;
        in += samples * width;
        done += count;
    }
    return assembler.finish(target);
}
