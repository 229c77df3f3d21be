#include "core/audio/WavWriter.h"

#include <cstring>

namespace {

void putU16(std::vector<uint8_t>& out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
}

void putU32(std::vector<uint8_t>& out, uint32_t value)
{
    putU16(out, value & 0xFFFFu);
    putU16(out, value >> 16);
}

void putId(std::vector<uint8_t>& out, const char (&id)[5]) { out.insert(out.end(), id, id + 4); }

bool writable(const WaveFormat& format)
{
    if (format.channels == 0 || format.bitsPerSample == 0 || format.bitsPerSample % 8 != 0) return false;
    if (static_cast<uint32_t>(format.channels) * (format.bitsPerSample / 8u) > UINT16_MAX) return false;
    if (format.formatTag == WaveFormatPcm) return true;
    return format.formatTag == WaveFormatFloat && (format.bitsPerSample == 32 || format.bitsPerSample == 64);
}

}  // namespace

bool planWavFile(const WaveFormat& format, uint32_t dataSize, WavFilePlan& plan)
{
    if (!writable(format)) return false;
    const bool isFloat = format.formatTag == WaveFormatFloat;
    const uint32_t blockAlign = format.channels * (format.bitsPerSample / 8u);
    const uint64_t byteRate = uint64_t{format.samplesPerSec} * blockAlign;
    if (byteRate > UINT32_MAX) return false;

    const uint32_t frames = dataSize / blockAlign;
    const uint32_t dataBytes = frames * blockAlign;
    const bool pad = dataBytes % 2 != 0;
    const uint32_t fmtSize = isFloat ? 18 : 16;
    const uint32_t factChunk = isFloat ? 12 : 0;
    // "WAVE" + the chunks, each with its 8-byte head.
    const uint64_t riffSize = 4 + (8 + fmtSize) + factChunk + 8 + uint64_t{dataBytes} + (pad ? 1 : 0);
    if (riffSize > UINT32_MAX) return false;

    std::vector<uint8_t> h;
    h.reserve(8 + 4 + 8 + fmtSize + factChunk + 8);
    putId(h, "RIFF");
    putU32(h, static_cast<uint32_t>(riffSize));
    putId(h, "WAVE");
    putId(h, "fmt ");
    putU32(h, fmtSize);
    putU16(h, format.formatTag);
    putU16(h, format.channels);
    putU32(h, format.samplesPerSec);
    putU32(h, static_cast<uint32_t>(byteRate));
    putU16(h, blockAlign);
    putU16(h, format.bitsPerSample);
    if (isFloat) {
        putU16(h, 0);  // no extension
        putId(h, "fact");
        putU32(h, 4);
        putU32(h, frames);
    }
    putId(h, "data");
    putU32(h, dataBytes);

    plan.header = std::move(h);
    plan.dataBytes = dataBytes;
    plan.padByte = pad;
    return true;
}

bool wavFileBytes(const WaveFormat& format, const uint8_t* data, uint32_t dataSize, std::vector<uint8_t>& out)
{
    WavFilePlan plan;
    if (!planWavFile(format, dataSize, plan)) return false;
    if (plan.dataBytes > 0 && data == nullptr) return false;
    const size_t headerSize = plan.header.size();
    const size_t fileSize = static_cast<size_t>(plan.fileSize());
    std::vector<uint8_t> file = std::move(plan.header);
    file.resize(fileSize, 0);
    if (plan.dataBytes > 0) std::memcpy(file.data() + headerSize, data, plan.dataBytes);
    out = std::move(file);
    return true;
}
