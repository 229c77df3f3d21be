// Decoding of the one sound into first-channel samples on the signed 16-bit
// scale. Every width lands on that scale so that the analysis, the waveform
// view and the peak need no knowledge of the source format:
//   8-bit unsigned:  (b - 128) * 256          -> -32768 .. 32512
//   16-bit signed:   taken as is              -> -32768 .. 32767
//   24-bit signed:   value / 256, at most 32767     -> -32768 .. 32767
//   32-bit signed:   value / 65536, at most 32767   -> -32768 .. 32767
//   32/64-bit float: value * 32768, not clamped     -> -32768 .. 32768 at full scale,
//                                                      beyond it when louder
// so a full-scale sine draws and analyses alike whatever it was stored as.
// The top fraction of a step that the wider integers reach above 32767 is
// cut, so every integer sample stays on the same scale as a 16-bit one.
// Float samples keep what they hold beyond full scale: clamping them would
// flatten every loud passage into a square wave and hide its true peak, and
// the views clip what they draw anyway.
//
// Blocks are allocated with new[] and freed with delete[]; whoever hands a
// block to the buffer (the recorder) must allocate it the same way.
#include "core/audio/SoundBuffer.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <new>

#include "core/base/TwoHalves.h"

namespace {

int32_t readInt16(const uint8_t* p) { return static_cast<int16_t>(static_cast<uint16_t>(p[0] | (p[1] << 8))); }

int32_t readInt24(const uint8_t* p)
{
    // Shift the top byte into the sign bit and back so the value sign-extends.
    const uint32_t raw = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16);
    return static_cast<int32_t>(raw << 8) >> 8;
}

int32_t readInt32(const uint8_t* p)
{
    const uint32_t raw = static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
                         (static_cast<uint32_t>(p[3]) << 24);
    return static_cast<int32_t>(raw);
}

uint64_t readU64(const uint8_t* p)
{
    uint64_t raw = 0;
    for (int i = 7; i >= 0; --i) raw = (raw << 8) | p[i];
    return raw;
}

// What a float sample in the file may turn into, so that nothing the
// analysis squares and sums can overflow to infinity or poison a frame:
// NaN and both infinities are silence (an infinity is no loudness anyone
// recorded, and as the peak it would scale every other sample to nothing),
// and a 64-bit value is held to the 32-bit float range, about 1.1e43 on this
// scale, whose squares stay far inside a double.
double floatSample(double value)
{
    if (!std::isfinite(value)) return 0.0;
    if (value > FLT_MAX) value = FLT_MAX;
    if (value < -FLT_MAX) value = -FLT_MAX;
    return value * 32768.0;
}

double readFloat32(const uint8_t* p)
{
    const uint32_t raw = static_cast<uint32_t>(readInt32(p));
    float value;
    std::memcpy(&value, &raw, sizeof value);
    return floatSample(value);
}

double readFloat64(const uint8_t* p)
{
    const uint64_t raw = readU64(p);
    double value;
    std::memcpy(&value, &raw, sizeof value);
    return floatSample(value);
}

double atMostTop(double value) { return value > 32767.0 ? 32767.0 : value; }

// One integer width each, as the table at the top of this file has it.
double fromUnsigned8(const uint8_t* p) { return (static_cast<int32_t>(p[0]) - 128) * 256.0; }
double fromInt16(const uint8_t* p) { return readInt16(p); }
double fromInt24(const uint8_t* p) { return atMostTop(readInt24(p) / 256.0); }
double fromInt32(const uint8_t* p) { return atMostTop(readInt32(p) / 65536.0); }

bool isFloatFormat(const WaveFormat& format) { return format.formatTag == WaveFormatFloat && format.bitsPerSample == 32; }

bool isValidLayout(const SampleLayout& layout)
{
    if (layout.channels == 0 || layout.frameBytes % layout.channels != 0) return false;
    if (layout.frameBytes / layout.channels < layout.bits / 8u) return false;
    if (layout.isFloat) return layout.bits == 32 || layout.bits == 64;
    switch (layout.bits) {
    case 8:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

}  // namespace

double decodeSample(const SampleLayout& layout, const uint8_t* p)
{
    if (layout.isFloat) return layout.bits == 64 ? readFloat64(p) : readFloat32(p);
    switch (layout.bits) {
    case 8: return fromUnsigned8(p);
    case 16: return fromInt16(p);
    case 24: return fromInt24(p);
    default: return fromInt32(p);
    }
}

namespace {

// Column `column`'s share of a sound of `count` samples as a run of indices.
// The drawings read position base + k for each whole k below step, truncate
// it, stop at the first position at or past `count`, and hold indices to the
// last sample. Below 2^33 a double's spacing is at most 2^-19, so a sum
// base + k rounds by at most 2^-20; base + k has the fraction of base, and
// unless that fraction lies within that rounding of the next whole number,
// the sum truncates to trunc(base) + k. Then the positions read exactly the
// indices first .. first + ceil(step) - 1 below count, and `plain` is set;
// otherwise (or when base is at or past the end) only the scan by positions
// gives the column's samples. first and end grow with the column either way.
struct ColumnRun {
    uint32_t first;
    uint32_t end;
    bool plain;
};

constexpr double plainFraction = 1.0 - 1.0 / 65536.0;

ColumnRun columnRun(uint32_t count, int column)
{
    const double step = positionsPerColumn(count);
    const double base = columnStart(column, count);
    const double whole = std::floor(base);
    const bool inside = base >= 0.0 && whole < static_cast<double>(count);
    const uint32_t first = inside ? static_cast<uint32_t>(whole) : count;
    const uint64_t wanted = static_cast<uint64_t>(std::ceil(step));
    const uint32_t end = static_cast<uint32_t>(std::min<uint64_t>(uint64_t{first} + wanted, count));
    return {first, end, inside && base - whole < plainFraction};
}

ColumnExtent extentByPositions(const double* samples, uint32_t count, int column)
{
    const double step = positionsPerColumn(count);
    const double base = columnStart(column, count);
    const uint32_t last = count - 1;
    const auto indexAt = [last](double position) {
        return position >= static_cast<double>(last) ? last : static_cast<uint32_t>(position);
    };
    ColumnExtent extent{samples[indexAt(base)], samples[indexAt(base)]};
    for (double k = 0; k < step; k += 1) {
        const double position = base + k;
        if (position >= static_cast<double>(count)) break;
        const double s = samples[indexAt(position)];
        if (s < extent.low) extent.low = s;
        if (s > extent.high) extent.high = s;
    }
    return extent;
}

// Widens `extent` by samples [from, to).
void widen(ColumnExtent& extent, const double* samples, uint32_t from, uint32_t to)
{
    for (uint32_t i = from; i < to; ++i) {
        const double s = samples[i];
        if (s < extent.low) extent.low = s;
        if (s > extent.high) extent.high = s;
    }
}

}  // namespace

ColumnExtent columnExtentOf(const double* samples, uint32_t count, int column)
{
    const ColumnRun run = columnRun(count, column);
    if (!run.plain) return extentByPositions(samples, count, column);
    ColumnExtent extent{samples[run.first], samples[run.first]};
    widen(extent, samples, run.first, run.end);
    return extent;
}

SampleLayout packedLayout(const WaveFormat& format)
{
    SampleLayout layout;
    layout.channels = format.channels;
    layout.bits = format.bitsPerSample;
    layout.isFloat = isFloatFormat(format);
    layout.frameBytes = static_cast<uint32_t>(format.bitsPerSample >> 3) * format.channels;
    return layout;
}

bool isDecodableFormat(const WaveFormat& format)
{
    if (format.channels == 0) return false;
    switch (format.bitsPerSample) {
    case 8:
    case 16:
    case 24:
    case 32: return true;
    default: return false;
    }
}

SoundBuffer::~SoundBuffer() { release(); }

void SoundBuffer::release()
{
    if (isAllocated(data)) delete[] data;
    if (isAllocated(samples)) delete[] samples;
    data = notAllocated<uint8_t>();
    samples = notAllocated<double>();
    extentsOfSamples = nullptr;
}

bool SoundBuffer::decode()
{
    // The callers release first; a block left here anyway would leak.
    if (isAllocated(samples)) delete[] samples;
    samples = notAllocated<double>();
    sampleCount = 0;
    peak = 0.0;
    if (!isDecodableFormat(format)) return false;

    // The frame stride is worked out from the width and the channel count, not
    // taken from blockAlign: sampleCount is defined by the same two numbers,
    // so a blockAlign that disagrees with them (a hostile or sloppy header)
    // can never carry a read beyond dataSize.
    const SampleLayout layout = packedLayout(format);
    if (dataSize >= layout.frameBytes && !isAllocated(data)) return false;
    return decodeFrom(layout, data, dataSize);
}

namespace {

// Decodes frames [first, end) into `out` with `decodeOne` (one sample kind, so
// the loop holds no switch) and returns their largest absolute value.
template <typename DecodeOne>
double decodeRange(const uint8_t* bytes, uint32_t frameBytes, uint32_t first, uint32_t end, double* out,
                   DecodeOne decodeOne)
{
    double largest = 0.0;
    const uint8_t* frame = bytes + static_cast<size_t>(first) * frameBytes;
    for (uint32_t i = first; i < end; ++i, frame += frameBytes) {
        const double value = decodeOne(frame);
        out[i] = value;
        if (std::fabs(value) > largest) largest = std::fabs(value);
    }
    return largest;
}

double decodeRangeOf(const SampleLayout& layout, const uint8_t* bytes, uint32_t first, uint32_t end, double* out)
{
    const uint32_t stride = layout.frameBytes;
    if (layout.isFloat) {
        if (layout.bits == 64) return decodeRange(bytes, stride, first, end, out, readFloat64);
        return decodeRange(bytes, stride, first, end, out, readFloat32);
    }
    switch (layout.bits) {
    case 8: return decodeRange(bytes, stride, first, end, out, fromUnsigned8);
    case 16: return decodeRange(bytes, stride, first, end, out, fromInt16);
    case 24: return decodeRange(bytes, stride, first, end, out, fromInt24);
    default: return decodeRange(bytes, stride, first, end, out, fromInt32);
    }
}

// The extents of the plain columns over the samples one thread decodes,
// gathered chunk by chunk while each chunk is still in the cache.
struct PartialExtents {
    ColumnExtent extent[columnCount];
    bool seen[columnCount] = {};
    int next = 0;  // the first column whose run may reach the next chunk

    void add(const ColumnRun* runs, const double* samples, uint32_t begin, uint32_t end)
    {
        while (next < columnCount && runs[next].end <= begin) ++next;
        for (int j = next; j < columnCount && runs[j].first < end; ++j) {
            if (!runs[j].plain) continue;
            const uint32_t from = std::max(runs[j].first, begin);
            const uint32_t to = std::min(runs[j].end, end);
            if (from >= to) continue;
            if (!seen[j]) extent[j] = {samples[from], samples[from]};
            seen[j] = true;
            widen(extent[j], samples, from, to);
        }
    }
};

// Samples decoded between two looks at the columns: 256 KiB of doubles.
constexpr uint32_t chunkSamples = uint32_t{1} << 15;

// Decodes frames [first, end) into `out`, gathers their columns' extents into
// `part` and returns their largest absolute value.
double decodeAndScan(const SampleLayout& layout, const uint8_t* bytes, uint32_t first, uint32_t end, double* out,
                     const ColumnRun* runs, PartialExtents& part)
{
    double largest = 0.0;
    for (uint32_t at = first; at < end;) {
        const uint32_t stop = at + std::min(chunkSamples, end - at);
        const double chunkLargest = decodeRangeOf(layout, bytes, at, stop, out);
        if (chunkLargest > largest) largest = chunkLargest;
        part.add(runs, out, at, stop);
        at = stop;
    }
    return largest;
}

// From this many samples on, the second half is decoded on a thread of its
// own. Most of a long decode is the first touch of each page of the fresh
// sample block (on a virtual machine, and under Wine, a few microseconds a
// page, 52,000 pages for ten minutes at 44.1 kHz).
constexpr uint32_t twoThreadSamples = uint32_t{1} << 20;

}  // namespace

bool SoundBuffer::decodeFrom(const SampleLayout& layout, const uint8_t* bytes, uint32_t size)
{
    if (isAllocated(samples)) delete[] samples;
    samples = notAllocated<double>();
    sampleCount = 0;
    peak = 0.0;
    extentsOfSamples = nullptr;
    if (!isValidLayout(layout)) return false;

    const uint32_t count = size / layout.frameBytes;
    if (count > 0 && bytes == nullptr) return false;
    // Not value-initialised: every element is written below.
    double* decoded = new (std::nothrow) double[count];
    if (decoded == nullptr) return false;

    ColumnRun runs[columnCount];
    for (int j = 0; j < columnCount && count > 0; ++j) runs[j] = columnRun(count, j);

    // The largest absolute value, and the smallest and largest sample of a
    // run, do not depend on the order the samples are visited in, so the
    // halves' results give the same peak and extents.
    PartialExtents parts[2];
    double largestOf[2] = {0.0, 0.0};
    inTwoHalves(count, twoThreadSamples, [&](int part, size_t from, size_t to) {
        largestOf[part] = decodeAndScan(layout, bytes, static_cast<uint32_t>(from), static_cast<uint32_t>(to), decoded,
                                        runs, parts[part]);
    });
    const double largest = std::max(largestOf[0], largestOf[1]);
    const PartialExtents& firstPart = parts[0];
    const PartialExtents& secondPart = parts[1];

    for (int j = 0; j < columnCount && count > 0; ++j) {
        if (!runs[j].plain) {
            columnExtents[j] = extentByPositions(decoded, count, j);
            continue;
        }
        ColumnExtent e = firstPart.seen[j] ? firstPart.extent[j] : secondPart.extent[j];
        if (firstPart.seen[j] && secondPart.seen[j]) {
            e.low = std::min(e.low, secondPart.extent[j].low);
            e.high = std::max(e.high, secondPart.extent[j].high);
        }
        columnExtents[j] = e;
    }
    samples = decoded;
    sampleCount = count;
    peak = largest;
    extentsOfSamples = decoded;
    return true;
}

void SoundBuffer::takeFrom(SoundBuffer& other)
{
    if (&other == this) return;
    release();
    format = other.format;
    data = other.data;
    dataSize = other.dataSize;
    samples = other.samples;
    sampleCount = other.sampleCount;
    peak = other.peak;
    std::copy(other.columnExtents, other.columnExtents + columnCount, columnExtents);
    extentsOfSamples = other.extentsOfSamples;

    other.data = notAllocated<uint8_t>();
    other.samples = notAllocated<double>();
    other.dataSize = 0;
    other.sampleCount = 0;
    other.peak = 0.0;
    other.extentsOfSamples = nullptr;
    other.ready = 0;
}
