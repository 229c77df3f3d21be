#include "driver/HostileWavs.h"
#include "driver/UiDriver.h"

#include <cmath>
#include <initializer_list>
#include <limits>

namespace ui {

namespace {

using wavbytes::canonical;
using wavbytes::chunk;
using wavbytes::chunkDeclaring;
using wavbytes::encode;
using wavbytes::fmt16;
using wavbytes::Format;
using wavbytes::packed;
using wavbytes::prefix;
using wavbytes::repeated;

// "RIFF" <size of the rest> "WAVE" followed by the chunks.
Bytes riffFile(std::initializer_list<Bytes> chunks) { return wavbytes::riff(wavbytes::concat(chunks)); }

constexpr uint32_t baseRate = 22050;

// Half a second of a 16-bit mono sweep: the sound inside most hostile files.
const Format& baseFormat()
{
    static const Format format = packed(wavbytes::pcmTag, 1, baseRate, 16);
    return format;
}

const Bytes& baseData()
{
    static const Bytes data = encode(baseFormat(), sweep(200, 3000, baseRate, 0.5));
    return data;
}

const Bytes& baseFile()
{
    static const Bytes file = canonical(baseFormat(), baseData());
    return file;
}

Format baseWith(void (*change)(Format&))
{
    Format format = baseFormat();
    change(format);
    return format;
}

HostileWav refused(std::string name, std::string why, Bytes bytes)
{
    HostileWav file;
    file.name = std::move(name);
    file.why = std::move(why);
    file.bytes = std::move(bytes);
    file.outcome = Outcome::Refused;
    return file;
}

HostileWav loads(std::string name, std::string why, Bytes bytes, uint32_t rate, uint16_t bits, bool trace)
{
    HostileWav file;
    file.name = std::move(name);
    file.why = std::move(why);
    file.bytes = std::move(bytes);
    file.outcome = Outcome::Loads;
    file.rate = rate;
    file.bits = bits;
    file.showsTrace = trace;
    return file;
}

Bytes extensibleBody(uint16_t subFormat)
{
    return wavbytes::extensible(packed(subFormat, 1, baseRate, 16), 0x4);  // front centre
}

Bytes bigEndianFile()
{
    using wavbytes::putBigEndian;
    using wavbytes::putId;
    Bytes out;
    putId(out, "RIFX");
    putBigEndian(out, 36 + static_cast<uint32_t>(baseData().size()), 4);
    putId(out, "WAVE");
    putId(out, "fmt ");
    putBigEndian(out, 16, 4);
    putBigEndian(out, 1, 2);
    putBigEndian(out, 1, 2);
    putBigEndian(out, baseRate, 4);
    putBigEndian(out, baseRate * 2, 4);
    putBigEndian(out, 2, 2);
    putBigEndian(out, 16, 2);
    putId(out, "data");
    putBigEndian(out, static_cast<uint32_t>(baseData().size()), 4);
    for (size_t i = 0; i + 1 < baseData().size(); i += 2) {
        out.push_back(baseData()[i + 1]);
        out.push_back(baseData()[i]);
    }
    return out;
}

Bytes floatWithNonNumbers()
{
    const Format format = packed(wavbytes::floatTag, 1, baseRate, 32);
    std::vector<double> samples = sweep(200, 3000, baseRate, 0.5);
    const double specials[] = {std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(), 1e30, -1e30};
    for (size_t i = 0; i < samples.size(); i += 7) samples[i] = specials[(i / 7) % 5];
    return canonical(format, encode(format, samples));
}

}  // namespace

std::vector<double> sweep(double fromHz, double toHz, int rate, double seconds, double amplitude)
{
    const size_t count = static_cast<size_t>(seconds * rate);
    std::vector<double> out(count);
    const double pi = 3.14159265358979323846;
    for (size_t i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / rate;
        // Phase of a linear sweep: the integral of its frequency.
        const double phase = 2.0 * pi * (fromHz * t + (toHz - fromHz) * t * t / (2.0 * seconds));
        out[i] = amplitude * std::sin(phase);
    }
    return out;
}

std::vector<HostileWav> hostileWavs()
{
    const Bytes& file = baseFile();
    const Bytes& data = baseData();
    const Bytes fmt = chunk("fmt ", fmt16(baseFormat()));
    const Bytes emptyJunk = chunk("JUNK", {});

    std::vector<HostileWav> all;

    // ---- Header cut short ----
    all.push_back(refused("empty.wav", "no bytes at all", {}));
    for (size_t cut : {4, 12, 20, 36, 43}) {
        all.push_back(refused("cut-at-" + std::to_string(cut) + ".wav",
                              "header cut at byte " + std::to_string(cut) + ": neither the 44-byte layout nor a "
                              "complete fmt and data chunk is there",
                              prefix(file, cut)));
    }
    all.push_back(loads("cut-at-44.wav", "the whole header and no sample byte: an empty sound", prefix(file, 44),
                        baseRate, 16, false));
    all.push_back(loads("cut-at-45.wav", "one byte of a two-byte sample: an empty sound", prefix(file, 45), baseRate,
                        16, false));

    // ---- Sizes that point beyond the file ----
    all.push_back(loads("data-size-beyond-file.wav", "the data chunk claims 1 MiB and holds 22050 bytes; what is there loads",
                        riffFile({fmt, chunkDeclaring("data", 1u << 20, data)}), baseRate, 16, true));
    all.push_back(loads("data-size-near-4gib.wav", "the data chunk claims 0xFFFFFFF0 bytes",
                        riffFile({fmt, chunkDeclaring("data", 0xFFFFFFF0u, data)}), baseRate, 16, true));
    {
        Bytes wrongRiff = file;
        wrongRiff[4] = wrongRiff[5] = wrongRiff[6] = wrongRiff[7] = 0xFF;
        all.push_back(loads("riff-size-4gib.wav", "the RIFF size claims 4 GiB; the chunks inside are sound", wrongRiff,
                            baseRate, 16, true));
    }
    all.push_back(loads("fmt-size-beyond-file.wav",
                        "the fmt chunk claims 0xFFFFFF00 bytes: the walk stops, and the fixed layout still finds "
                        "the format at byte 20 and the samples at byte 44",
                        riffFile({chunkDeclaring("fmt ", 0xFFFFFF00u, fmt16(baseFormat())), chunk("data", data)}),
                        baseRate, 16, true));
    all.push_back(refused("list-size-beyond-file.wav",
                          "a LIST chunk before fmt claims 2 GiB: the walk stops, and the fixed layout reads the fmt "
                          "chunk's header as the format (width = the high half of the rate = 0)",
                          riffFile({chunkDeclaring("LIST", 0x7FFFFFF0u, {}), fmt, chunk("data", data)})));
    all.push_back(loads("chunk-size-wraps-to-itself.wav",
                        "a JUNK chunk whose size brings a 32-bit offset back to its own start; the fixed layout "
                        "reads the canonical format and the bytes from 44 on",
                        riffFile({fmt, chunkDeclaring("JUNK", 0xFFFFFFF8u, {}), chunk("data", data)}), baseRate, 16,
                        true));
    all.push_back(loads("thousands-of-empty-chunks.wav", "5000 zero-size chunks before fmt and data",
                        riffFile({repeated(emptyJunk, 5000), fmt, chunk("data", data)}), baseRate, 16, true));
    all.push_back(refused("only-empty-chunks.wav",
                          "100000 zero-size chunks and nothing else: the fixed layout reads a width of 0",
                          riffFile({repeated(emptyJunk, 100000)})));

    // ---- Channels, widths, alignment, rate ----
    all.push_back(refused("no-channels.wav", "0 channels", canonical(baseWith([](Format& f) { f.channels = 0; }), data)));
    {
        // 8 sample frames of 65535 channels; every byte 0x40, so the first
        // channel reads 0x4040 throughout.
        Format f = packed(wavbytes::pcmTag, 1, baseRate, 16);
        f.channels = 65535;
        f.align = static_cast<uint16_t>(65535u * 2u);  // wraps, as a 16-bit field must
        f.byteRate = baseRate * 65535u * 2u;
        all.push_back(loads("65535-channels.wav", "65535 channels of 16 bits: eight sample frames of 128 KiB each",
                            canonical(f, Bytes(8u * 65535u * 2u, 0x40)), baseRate, 16, true));
    }
    for (uint16_t bits : {0, 7, 12, 64}) {
        Format f = baseFormat();
        f.bits = bits;
        all.push_back(refused("width-" + std::to_string(bits) + ".wav", std::to_string(bits) + " bits per sample",
                              canonical(f, data)));
    }
    all.push_back(loads("block-align-0.wav", "block alignment 0", canonical(baseWith([](Format& f) { f.align = 0; }), data),
                        baseRate, 16, true));
    {
        Format f = packed(wavbytes::pcmTag, 2, baseRate, 16);
        f.align = 3;
        all.push_back(loads("block-align-3-for-16-bit-stereo.wav", "block alignment 3 where channels x width is 4",
                            canonical(f, data), baseRate, 16, true));
    }
    all.push_back(refused("rate-0.wav", "0 samples per second: a sound without a time scale can be neither drawn nor played",
                          canonical(baseWith([](Format& f) { f.rate = 0; f.byteRate = 0; }), data)));
    all.push_back(loads("rate-4g.wav", "rate and byte rate 0xFFFFFFFF",
                        canonical(baseWith([](Format& f) { f.rate = 0xFFFFFFFFu; f.byteRate = 0xFFFFFFFFu; }), data),
                        0xFFFFFFFFu, 16, true));

    // ---- Formats of other kinds ----
    all.push_back(refused("extensible-mp3.wav", "WAVE_FORMAT_EXTENSIBLE whose sub-format is MPEG layer 3",
                          riffFile({chunk("fmt ", extensibleBody(0x0055)), chunk("data", data)})));
    all.push_back(refused("rifx-big-endian.wav",
                          "a big-endian RIFX file: read little-endian, 256 channels of 4096 bits", bigEndianFile()));
    all.push_back(loads("mp3-tag-16-bit.wav", "format tag 0x55 with 16-bit fields: its bytes decode as 16-bit PCM",
                        canonical(baseWith([](Format& f) { f.tag = 0x55; }), data), baseRate, 16, true));
    all.push_back(loads("float-nan-infinity.wav", "32-bit float with NaN, infinities and 1e30 among the samples",
                        floatWithNonNumbers(), baseRate, 32, true));
    {
        const Format f = packed(wavbytes::pcmTag, 1, baseRate, 24);
        Bytes odd = encode(f, sweep(200, 3000, baseRate, 0.5));
        odd.push_back(0x11);
        odd.push_back(0x22);
        all.push_back(loads("24-bit-ragged-end.wav", "24-bit data that ends two bytes into a sample", canonical(f, odd),
                            baseRate, 24, true));
    }

    // ---- A file the system will not let us read ----
    HostileWav locked = refused("held-open-without-sharing.wav",
                                "a sound file that another process holds open with share mode 0", file);
    locked.heldOpenWithoutSharing = true;
    all.push_back(locked);
    HostileWav beingWritten = loads("held-open-by-its-writer.wav",
                                    "a sound file that a recorder still holds open for writing, sharing reads and writes",
                                    file, baseRate, 16, true);
    beingWritten.heldOpenForWriting = true;
    all.push_back(beingWritten);

    return all;
}

std::wstring kilohertzText(uint32_t rate)
{
    return oneDecimal(rate * 0.001);
}

std::wstring bitsText(uint16_t bits)
{
    return oneDecimal(bits);
}

}  // namespace ui
