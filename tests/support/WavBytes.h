// RIFF/WAVE files built byte by byte, for every test that needs one: the core
// tests, the fuzzer's seeds and the UI tests. Nothing here checks anything:
// a field is written as the caller gives it, however wrong, so that hostile
// and damaged files are as easy to make as good ones. Whatever a function
// derives (a chunk's size, the RIFF size, a packed block alignment) it derives
// from the RIFF rules, never from the code under test.
//
// Platform-neutral and header-only, so that the native, clang and MinGW
// builds all take it without a library of its own. Multi-byte fields are
// little-endian as the format wants them, whatever the machine.
#ifndef KELVARA_TESTS_SUPPORT_WAV_BYTES_H
#define KELVARA_TESTS_SUPPORT_WAV_BYTES_H

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace wavbytes {

using Bytes = std::vector<uint8_t>;

// ---- Fields ------------------------------------------------------------------

// The low `bytes` bytes of `value`, little-endian.
inline void put(Bytes& out, uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void putBigEndian(Bytes& out, uint32_t value, int bytes)
{
    for (int i = bytes - 1; i >= 0; --i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void putId(Bytes& out, const char* four) { out.insert(out.end(), four, four + 4); }

inline Bytes id(const char* four) { return Bytes(four, four + 4); }

inline void append(Bytes& out, const Bytes& more) { out.insert(out.end(), more.begin(), more.end()); }

inline Bytes concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& p : parts) append(all, p);
    return all;
}

// For tables of files written as sums of their parts; a test takes it with
// `using wavbytes::operator+;`, since a std::vector finds no operator here by
// itself.
inline Bytes operator+(Bytes a, const Bytes& b)
{
    append(a, b);
    return a;
}

inline Bytes prefix(const Bytes& bytes, size_t count) { return Bytes(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(count)); }

inline Bytes repeated(const Bytes& piece, size_t times)
{
    Bytes out;
    out.reserve(piece.size() * times);
    for (size_t i = 0; i < times; ++i) append(out, piece);
    return out;
}

// ---- Chunks ------------------------------------------------------------------

// An id and a size with nothing after them: the body (and the pad byte, if
// any) is the caller's to add.
inline Bytes chunkHeader(const char* chunkId, uint32_t size)
{
    Bytes out = id(chunkId);
    put(out, size, 4);
    return out;
}

// A chunk that declares `declaredSize` whatever its body holds. An odd body
// gets its pad byte, as RIFF wants.
inline Bytes chunkDeclaring(const char* chunkId, uint32_t declaredSize, const Bytes& body)
{
    Bytes out = chunkHeader(chunkId, declaredSize);
    append(out, body);
    if (body.size() % 2 == 1) out.push_back(0);
    return out;
}

inline Bytes chunk(const char* chunkId, const Bytes& body)
{
    return chunkDeclaring(chunkId, static_cast<uint32_t>(body.size()), body);
}

// `riffId` <declaredSize> "WAVE", then the chunks as given.
inline Bytes riffDeclaring(uint32_t declaredSize, const Bytes& chunks, const char* riffId = "RIFF")
{
    Bytes out = chunkHeader(riffId, declaredSize);
    putId(out, "WAVE");
    append(out, chunks);
    return out;
}

// The same with the true size: everything after the size field.
inline Bytes riff(const Bytes& chunks, const char* riffId = "RIFF")
{
    return riffDeclaring(static_cast<uint32_t>(chunks.size() + 4), chunks, riffId);
}

// ---- The format chunk ----------------------------------------------------------

constexpr uint16_t pcmTag = 1;
constexpr uint16_t floatTag = 3;
constexpr uint16_t extensibleTag = 0xFFFE;

// The sixteen bytes every format chunk opens with, written as given.
struct Format {
    uint16_t tag = pcmTag;
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint32_t byteRate = 44100;
    uint16_t align = 2;
    uint16_t bits = 16;
};

// A format with the block alignment a writer chose (a wider container, or a
// deliberately wrong one) and the byte rate that follows from it.
inline Format aligned(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits, uint16_t align)
{
    Format f;
    f.tag = tag;
    f.channels = channels;
    f.rate = rate;
    f.align = align;
    f.byteRate = rate * align;
    f.bits = bits;
    return f;
}

// A format that agrees with itself: frames of whole bytes, packed.
inline Format packed(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t bits)
{
    return aligned(tag, channels, rate, bits, static_cast<uint16_t>(channels * (bits / 8)));
}

inline Bytes fmt16(const Format& f)
{
    Bytes out;
    put(out, f.tag, 2);
    put(out, f.channels, 2);
    put(out, f.rate, 4);
    put(out, f.byteRate, 4);
    put(out, f.align, 2);
    put(out, f.bits, 2);
    return out;
}

// With an extra-size field of 0.
inline Bytes fmt18(const Format& f)
{
    Bytes out = fmt16(f);
    put(out, 0, 2);
    return out;
}

// Front centre for mono, front left and right otherwise.
inline uint32_t speakersFor(uint16_t channels) { return channels == 1 ? 4 : 3; }

// WAVE_FORMAT_EXTENSIBLE, 40 bytes, wrapping `inner`: the tag becomes 0xFFFE,
// every valid bit of the sample counts, and inner's tag opens the sub-format
// GUID, whose fixed tail follows.
inline Bytes extensible(const Format& inner, uint32_t speakerMask)
{
    Format outer = inner;
    outer.tag = extensibleTag;
    Bytes out = fmt16(outer);
    put(out, 22, 2);
    put(out, inner.bits, 2);
    put(out, speakerMask, 4);
    put(out, inner.tag, 2);
    static const uint8_t guidTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
    out.insert(out.end(), guidTail, guidTail + 14);
    return out;
}

// A format chunk's body of 16, 18 or 40 bytes (the extensible form).
inline Bytes fmtOfSize(const Format& f, int size)
{
    if (size == 40) return extensible(f, speakersFor(f.channels));
    return size == 18 ? fmt18(f) : fmt16(f);
}

// ---- Whole files -----------------------------------------------------------------

// "fmt " then "data", the data padded to a word.
inline Bytes canonical(const Bytes& fmtBody, const Bytes& data, const char* riffId = "RIFF")
{
    return riff(chunk("fmt ", fmtBody) + chunk("data", data), riffId);
}

// The same with a 16-byte format chunk of `f`.
inline Bytes canonical(const Format& f, const Bytes& data) { return canonical(fmt16(f), data); }

// The 44-byte canonical header and the data with no pad byte after it, as
// the UI tests' plain files are: a sound of odd length then ends exactly at
// its last sample.
inline Bytes canonicalUnpadded(const Format& f, const Bytes& data)
{
    return riff(chunk("fmt ", fmt16(f)) + chunkHeader("data", static_cast<uint32_t>(data.size())) + data);
}

// A file described by its few choices: a packed format of `bits`, a format
// chunk of `fmtSize` bytes (40: extensible, with `subFormat` in place of
// `formatTag`), the given chunks between the format and the data, then the
// data, padded.
struct FileShape {
    uint16_t formatTag = pcmTag;
    uint16_t channels = 1;
    uint32_t rate = 22050;
    uint16_t bits = 16;
    int fmtSize = 16;
    uint16_t subFormat = pcmTag;
    std::vector<std::pair<std::string, Bytes>> chunksBeforeData;
};

inline Bytes file(const FileShape& shape, const Bytes& data)
{
    const uint16_t tag = shape.fmtSize == 40 ? shape.subFormat : shape.formatTag;
    Bytes chunks = chunk("fmt ", fmtOfSize(packed(tag, shape.channels, shape.rate, shape.bits), shape.fmtSize));
    for (const auto& c : shape.chunksBeforeData) append(chunks, chunk(c.first.c_str(), c.second));
    append(chunks, chunk("data", data));
    return riff(chunks);
}

// ---- Sample bytes -----------------------------------------------------------------

inline Bytes pcm16(const std::vector<int16_t>& samples)
{
    Bytes out;
    out.reserve(samples.size() * 2);
    for (int16_t s : samples) put(out, static_cast<uint16_t>(s), 2);
    return out;
}

// 24-bit words whose top two bytes are the 16-bit sample and whose low byte
// is `lowByte`: they stand for sample + lowByte / 256 on the 16-bit scale.
inline Bytes pcm24Over16(const std::vector<int16_t>& samples, uint8_t lowByte)
{
    Bytes out;
    out.reserve(samples.size() * 3);
    for (int16_t s : samples) {
        out.push_back(lowByte);
        put(out, static_cast<uint16_t>(s), 2);
    }
    return out;
}

// Values as their bit patterns: `Raw` is the unsigned integer of their width.
template <typename Raw, typename Value>
Bytes bitPatterns(const std::vector<Value>& values)
{
    static_assert(sizeof(Raw) == sizeof(Value), "a bit pattern is as wide as its value");
    Bytes out;
    out.reserve(values.size() * sizeof(Value));
    for (Value v : values) {
        Raw raw;
        std::memcpy(&raw, &v, sizeof raw);
        put(out, raw, static_cast<int>(sizeof raw));
    }
    return out;
}

inline Bytes float32(const std::vector<float>& values) { return bitPatterns<uint32_t>(values); }

// 32-bit floats sample / 32768, exact for every 16-bit value.
inline Bytes float32Over16(const std::vector<int16_t>& samples)
{
    std::vector<float> values;
    values.reserve(samples.size());
    for (int16_t s : samples) values.push_back(static_cast<float>(s) / 32768.0f);
    return float32(values);
}

inline Bytes float64(const std::vector<double>& values) { return bitPatterns<uint64_t>(values); }

// Interleaved samples on the -1..1 scale, encoded for `format`: 8-bit
// unsigned, 16, 24 or 32-bit signed (clamped, rounded), or 32-bit float when
// the tag is 3 (unclamped: a float file may hold anything, infinities too).
inline Bytes encode(const Format& format, const std::vector<double>& interleaved)
{
    Bytes out;
    for (double v : interleaved) {
        const double c = std::isnan(v) ? v : (v < -1.0 ? -1.0 : (v > 1.0 ? 1.0 : v));
        if (format.tag == floatTag && format.bits == 32) {
            append(out, float32({static_cast<float>(v)}));
            continue;
        }
        switch (format.bits) {
        case 8: out.push_back(static_cast<uint8_t>(std::lround(c * 127.0) + 128)); break;
        case 16: put(out, static_cast<uint16_t>(static_cast<int16_t>(std::lround(c * 32767.0))), 2); break;
        case 24: put(out, static_cast<uint32_t>(static_cast<int32_t>(std::lround(c * 8388607.0))), 3); break;
        default: put(out, static_cast<uint32_t>(static_cast<int32_t>(std::llround(c * 2147483647.0))), 4); break;
        }
    }
    return out;
}

// The canonical file of interleaved samples on the -1..1 scale.
inline Bytes encodedFile(const Format& format, const std::vector<double>& interleaved)
{
    return canonical(format, encode(format, interleaved));
}

// The UI tests' plain files: canonical PCM of interleaved samples.
inline Bytes pcm16File(uint32_t rate, uint16_t channels, const std::vector<int16_t>& samples)
{
    return canonicalUnpadded(packed(pcmTag, channels, rate, 16), pcm16(samples));
}

inline Bytes pcm8File(uint32_t rate, uint16_t channels, const std::vector<uint8_t>& samples)
{
    return canonicalUnpadded(packed(pcmTag, channels, rate, 8), samples);
}

// ---- Reading back, for the tests that check a file somebody else wrote --------------

inline uint16_t u16At(const Bytes& b, size_t at) { return static_cast<uint16_t>(b[at] | b[at + 1] << 8); }

inline uint32_t u32At(const Bytes& b, size_t at)
{
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<uint32_t>(b[at + 3]) << 24;
}

// The four characters of an id at `at`; "" where the bytes end before them.
inline std::string idAt(const Bytes& b, size_t at)
{
    return b.size() >= at + 4 ? std::string(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + 4)) : std::string();
}

}  // namespace wavbytes

#endif
