// The per-frame transform. Every operation computes, element by element, the
// same IEEE double operations in the same order as the plain loops of the
// algorithm, so frames come out bit for bit the same (the tests hold a literal
// version to compare against). The speed comes from three things only: work
// that depends on the frame length alone (twiddles, window weights, the
// bit-reversal permutation) is done once per length, not once per frame;
// butterflies run two at a time in SSE2 lanes (four in AVX lanes, where the
// processor has them); and two stages are done per pass over the frame while
// their values sit in registers.
//
// The arithmetic must not be contracted into fused multiply-adds, which round
// once instead of twice. The builds target plain x86-64, which has none; a
// build for a CPU with FMA (-march=native and the like) would also need
// -ffp-contract=off, and the bit-for-bit test would catch its absence.
#include "core/analysis/DftEngine.h"

#include <cmath>
#include <cstring>
#include <mutex>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
// Four butterflies at a time where the processor has AVX, chosen when the
// program runs: the builds still target plain x86-64. AVX has no fused
// multiply-add either, so its lanes compute what SSE2's do.
#if defined(__SSE2__) && defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define KELVARA_DFT_AVX 1
#include <immintrin.h>
#endif

#include "core/analysis/Framing.h"
#include "core/analysis/WindowFunction.h"
#include "core/audio/SoundBuffer.h"

namespace {

constexpr int maxLog2Length = 12;

// Everything that depends only on the frame length. Built once per length on
// first use and never changed afterwards, so both engines (and any thread)
// may share it.
struct LengthTables {
    std::vector<double> cosines;          // N/2 + 1, exactly what fillTwiddles stores
    std::vector<double> sines;            // N/2 + 1
    std::vector<uint32_t> reversed;       // N: the bit-reversed index of each position
    std::vector<double> weights[3];       // N: Hanning, Hamming and Blackman weights
    // The twiddles of the stages from half-span 4 up, each laid out in the
    // order its butterflies take them (entry l of the stage with `groups`
    // groups is cosines[l * groups]), so that four lanes load them at once.
    // Stage h starts at entry h - 4. The same numbers as cosines and sines:
    // no result changes.
    std::vector<double> stageCosines, stageSines;
};

void buildTables(LengthTables& tables, int log2Length)
{
    const int n = 1 << log2Length;
    const int half = n / 2;

    tables.cosines.resize(half + 1);
    tables.sines.resize(half + 1);
    const double angleStep = -6.2831853 / n;
    for (int t = 0; t <= half; ++t) {
        const double angle = angleStep * t;
        tables.cosines[t] = std::cos(angle);
        tables.sines[t] = std::sin(angle);
    }

    tables.reversed.resize(n);
    for (int i = 0; i < n; ++i) {
        uint32_t reversed = 0;
        int a = i;
        for (int w = half, j = 0; j < log2Length; ++j, a /= 2, w /= 2) reversed += static_cast<uint32_t>((a % 2) * w);
        tables.reversed[i] = reversed;
    }

    tables.stageCosines.resize(n);
    tables.stageSines.resize(n);
    for (int h = 4, g = n / 8; h <= half; h *= 2, g /= 2) {
        for (int l = 0; l < h; ++l) {
            tables.stageCosines[h - 4 + l] = tables.cosines[l * g];
            tables.stageSines[h - 4 + l] = tables.sines[l * g];
        }
    }

    for (int kind = WindowHanning; kind <= WindowBlackman; ++kind) {
        std::vector<double>& weights = tables.weights[kind - WindowHanning];
        weights.resize(n);
        for (int i = 0; i < n; ++i) weights[i] = windowValue(kind, i, n);
    }
}

const LengthTables& tablesFor(int log2Length)
{
    static LengthTables all[maxLog2Length + 1];
    static std::once_flag built[maxLog2Length + 1];
    std::call_once(built[log2Length], [log2Length] { buildTables(all[log2Length], log2Length); });
    return all[log2Length];
}

template <typename T>
T* allocate(size_t count)
{
    T* block = new (std::nothrow) T[count];
    return block != nullptr ? block : notAllocated<T>();
}

template <typename T>
void freeBlock(T*& block)
{
    if (isAllocated(block)) delete[] block;
    block = notAllocated<T>();
}

// x + W*y and x - W*y, formed in exactly this order.
inline void butterflyAt(double* re, double* im, int top, int bottom, double wr, double wi)
{
    const double yr = re[bottom];
    const double yi = im[bottom];
    const double pr = wr * yr - wi * yi;
    const double pi = wi * yr + wr * yi;
    const double xr = re[top];
    const double xi = im[top];
    re[top] = xr + pr;
    im[top] = xi + pi;
    re[bottom] = xr - pr;
    im[bottom] = xi - pi;
}

#if defined(__SSE2__)
// Two neighbouring butterflies at once. Each lane performs exactly the scalar
// sequence of butterflyAt, and SSE2 arithmetic is plain IEEE double
// arithmetic, so the results are the same bits.
inline void butterflyPair(double* re, double* im, int top, int bottom, __m128d wr, __m128d wi)
{
    const __m128d yr = _mm_loadu_pd(re + bottom);
    const __m128d yi = _mm_loadu_pd(im + bottom);
    const __m128d pr = _mm_sub_pd(_mm_mul_pd(wr, yr), _mm_mul_pd(wi, yi));
    const __m128d pi = _mm_add_pd(_mm_mul_pd(wi, yr), _mm_mul_pd(wr, yi));
    const __m128d xr = _mm_loadu_pd(re + top);
    const __m128d xi = _mm_loadu_pd(im + top);
    _mm_storeu_pd(re + top, _mm_add_pd(xr, pr));
    _mm_storeu_pd(im + top, _mm_add_pd(xi, pi));
    _mm_storeu_pd(re + bottom, _mm_sub_pd(xr, pr));
    _mm_storeu_pd(im + bottom, _mm_sub_pd(xi, pi));
}

// Twiddles of butterflies l and l + 1 of a stage with `groups` groups.
inline __m128d twiddlePair(const double* table, int l, int groups)
{
    return groups == 1 ? _mm_loadu_pd(table + l) : _mm_set_pd(table[(l + 1) * groups], table[l * groups]);
}
#endif

#if defined(__SSE2__)
constexpr int smallHalfSpan = 16;

// The pair butterfly on values held in registers.
inline void butterflyRegisters(__m128d& xr, __m128d& xi, __m128d& yr, __m128d& yi, __m128d wr, __m128d wi)
{
    const __m128d pr = _mm_sub_pd(_mm_mul_pd(wr, yr), _mm_mul_pd(wi, yi));
    const __m128d pi = _mm_add_pd(_mm_mul_pd(wi, yr), _mm_mul_pd(wr, yi));
    yr = _mm_sub_pd(xr, pr);
    yi = _mm_sub_pd(xi, pi);
    xr = _mm_add_pd(xr, pr);
    xi = _mm_add_pd(xi, pi);
}

// Two stages in one pass over the frame: the stage with half-span `half` and
// `groups` groups, then the one with half-span 2*half and groups/2 groups.
// Positions a, a+half, a+2*half, a+3*half only ever meet each other in these
// two stages, so each quartet goes through both while it sits in registers;
// every butterfly still gets exactly its own inputs and twiddle.
inline void twoStagesAt(double* re, double* im, int a, int half, __m128d w1r, __m128d w1i, __m128d w2r, __m128d w2i,
                        __m128d w3r, __m128d w3i)
{
    const int b = a + half, c = b + half, d = c + half;
    __m128d ar = _mm_loadu_pd(re + a), ai = _mm_loadu_pd(im + a);
    __m128d br = _mm_loadu_pd(re + b), bi = _mm_loadu_pd(im + b);
    __m128d cr = _mm_loadu_pd(re + c), ci = _mm_loadu_pd(im + c);
    __m128d dr = _mm_loadu_pd(re + d), di = _mm_loadu_pd(im + d);
    butterflyRegisters(ar, ai, br, bi, w1r, w1i);
    butterflyRegisters(cr, ci, dr, di, w1r, w1i);
    butterflyRegisters(ar, ai, cr, ci, w2r, w2i);
    butterflyRegisters(br, bi, dr, di, w3r, w3i);
    _mm_storeu_pd(re + a, ar), _mm_storeu_pd(im + a, ai);
    _mm_storeu_pd(re + b, br), _mm_storeu_pd(im + b, bi);
    _mm_storeu_pd(re + c, cr), _mm_storeu_pd(im + c, ci);
    _mm_storeu_pd(re + d, dr), _mm_storeu_pd(im + d, di);
}

inline void transformTwoStages(double* re, double* im, const double* wc, const double* ws, int n, int half, int groups)
{
    const int nextGroups = groups / 2;
    // Where the quartets of one twiddle set are few, walk them with the
    // twiddles held; where they are many and far apart, walk the frame in
    // order instead, so that each cache line is fetched once per pass.
    const bool fewTwiddles = half < smallHalfSpan;
    const int outerEnd = fewTwiddles ? half : n;
    const int outerStep = fewTwiddles ? 2 : 4 * half;
    const int innerEnd = fewTwiddles ? n : half;
    const int innerStep = fewTwiddles ? 4 * half : 2;
    for (int outer = 0; outer < outerEnd; outer += outerStep) {
        for (int inner = 0; inner < innerEnd; inner += innerStep) {
            const int l = fewTwiddles ? outer : inner;
            const int a = outer + inner;
            const __m128d w1r = twiddlePair(wc, l, groups), w1i = twiddlePair(ws, l, groups);
            const __m128d w2r = twiddlePair(wc, l, nextGroups), w2i = twiddlePair(ws, l, nextGroups);
            const __m128d w3r = twiddlePair(wc, l + half, nextGroups), w3i = twiddlePair(ws, l + half, nextGroups);
            twoStagesAt(re, im, a, half, w1r, w1i, w2r, w2i, w3r, w3i);
        }
    }
}

#if defined(KELVARA_DFT_AVX)
#define KELVARA_AVX __attribute__((target("avx")))

KELVARA_AVX inline void butterflyRegisters(__m256d& xr, __m256d& xi, __m256d& yr, __m256d& yi, __m256d wr, __m256d wi)
{
    const __m256d pr = _mm256_sub_pd(_mm256_mul_pd(wr, yr), _mm256_mul_pd(wi, yi));
    const __m256d pi = _mm256_add_pd(_mm256_mul_pd(wi, yr), _mm256_mul_pd(wr, yi));
    yr = _mm256_sub_pd(xr, pr);
    yi = _mm256_sub_pd(xi, pi);
    xr = _mm256_add_pd(xr, pr);
    xi = _mm256_add_pd(xi, pi);
}

// transformTwoStages four lanes wide, with the stages' twiddles laid out as
// LengthTables::stageCosines and stageSines; `half` is at least 4.
KELVARA_AVX void transformTwoStagesAvx(double* re, double* im, const double* stageCos, const double* stageSin, int n,
                                       int half)
{
    const double* const c1 = stageCos + (half - 4);
    const double* const s1 = stageSin + (half - 4);
    const double* const c2 = stageCos + (2 * half - 4);
    const double* const s2 = stageSin + (2 * half - 4);
    const bool fewTwiddles = half < smallHalfSpan;
    const int outerEnd = fewTwiddles ? half : n;
    const int outerStep = fewTwiddles ? 4 : 4 * half;
    const int innerEnd = fewTwiddles ? n : half;
    const int innerStep = fewTwiddles ? 4 * half : 4;
    for (int outer = 0; outer < outerEnd; outer += outerStep) {
        for (int inner = 0; inner < innerEnd; inner += innerStep) {
            const int l = fewTwiddles ? outer : inner;
            const int a = outer + inner, b = a + half, c = b + half, d = c + half;
            const __m256d w1r = _mm256_loadu_pd(c1 + l), w1i = _mm256_loadu_pd(s1 + l);
            const __m256d w2r = _mm256_loadu_pd(c2 + l), w2i = _mm256_loadu_pd(s2 + l);
            const __m256d w3r = _mm256_loadu_pd(c2 + l + half), w3i = _mm256_loadu_pd(s2 + l + half);
            __m256d ar = _mm256_loadu_pd(re + a), ai = _mm256_loadu_pd(im + a);
            __m256d br = _mm256_loadu_pd(re + b), bi = _mm256_loadu_pd(im + b);
            __m256d cr = _mm256_loadu_pd(re + c), ci = _mm256_loadu_pd(im + c);
            __m256d dr = _mm256_loadu_pd(re + d), di = _mm256_loadu_pd(im + d);
            butterflyRegisters(ar, ai, br, bi, w1r, w1i);
            butterflyRegisters(cr, ci, dr, di, w1r, w1i);
            butterflyRegisters(ar, ai, cr, ci, w2r, w2i);
            butterflyRegisters(br, bi, dr, di, w3r, w3i);
            _mm256_storeu_pd(re + a, ar), _mm256_storeu_pd(im + a, ai);
            _mm256_storeu_pd(re + b, br), _mm256_storeu_pd(im + b, bi);
            _mm256_storeu_pd(re + c, cr), _mm256_storeu_pd(im + c, ci);
            _mm256_storeu_pd(re + d, dr), _mm256_storeu_pd(im + d, di);
        }
    }
    _mm256_zeroupper();
}

bool wideTransformAllowed = true;

bool processorHasAvx()
{
    static const bool has = __builtin_cpu_supports("avx");
    return has;
}
#endif

// The first two stages (half-spans 1 and 2) in one pass. Their quartets are
// four neighbouring positions, so the pairs of the first stage sit inside one
// vector and are sorted into lanes with unpack; nothing is computed
// differently from the single butterflies.
inline void transformFirstTwoStages(double* re, double* im, const double* wc, const double* ws, int n)
{
    const int secondGroups = n / 4;
    const __m128d w1r = _mm_set1_pd(wc[0]), w1i = _mm_set1_pd(ws[0]);
    const __m128d w2r = _mm_set_pd(wc[secondGroups], wc[0]), w2i = _mm_set_pd(ws[secondGroups], ws[0]);
    for (int a = 0; a < n; a += 4) {
        const __m128d r01 = _mm_loadu_pd(re + a), r23 = _mm_loadu_pd(re + a + 2);
        const __m128d i01 = _mm_loadu_pd(im + a), i23 = _mm_loadu_pd(im + a + 2);
        // First stage: (a, a+1) and (a+2, a+3), as lanes of x = [a, a+2], y = [a+1, a+3].
        __m128d xr = _mm_unpacklo_pd(r01, r23), yr = _mm_unpackhi_pd(r01, r23);
        __m128d xi = _mm_unpacklo_pd(i01, i23), yi = _mm_unpackhi_pd(i01, i23);
        butterflyRegisters(xr, xi, yr, yi, w1r, w1i);
        // Second stage: (a, a+2) and (a+1, a+3), as lanes of [a, a+1] and [a+2, a+3].
        __m128d lowR = _mm_unpacklo_pd(xr, yr), highR = _mm_unpackhi_pd(xr, yr);
        __m128d lowI = _mm_unpacklo_pd(xi, yi), highI = _mm_unpackhi_pd(xi, yi);
        butterflyRegisters(lowR, lowI, highR, highI, w2r, w2i);
        _mm_storeu_pd(re + a, lowR), _mm_storeu_pd(re + a + 2, highR);
        _mm_storeu_pd(im + a, lowI), _mm_storeu_pd(im + a + 2, highI);
    }
}
#endif

// One stage with half-span `half` (at least 2, so butterflies come in
// neighbouring pairs) and `groups` groups.
inline void transformStage(double* re, double* im, const double* wc, const double* ws, int n, int half, int groups)
{
#if defined(__SSE2__)
    if (half < smallHalfSpan) {
        for (int l = 0; l < half; l += 2) {
            const __m128d wr = twiddlePair(wc, l, groups);
            const __m128d wi = twiddlePair(ws, l, groups);
            for (int base = 0; base < n; base += 2 * half) butterflyPair(re, im, base + l, base + l + half, wr, wi);
        }
    } else {
        for (int base = 0; base < n; base += 2 * half) {
            for (int l = 0; l < half; l += 2)
                butterflyPair(re, im, base + l, base + l + half, twiddlePair(wc, l, groups), twiddlePair(ws, l, groups));
        }
    }
#else
    for (int base = 0; base < n; base += 2 * half) {
        for (int l = 0; l < half; ++l) butterflyAt(re, im, base + l, base + l + half, wc[l * groups], ws[l * groups]);
    }
#endif
}

// The largest |values[i]|. Without NaNs the largest of a set does not depend
// on the order it is searched in, so the search may run in several lanes.
double largestMagnitude(const double* values, int count)
{
    double largest = 0.0;
    int i = 0;
#if defined(__SSE2__)
    const __m128d signBit = _mm_set1_pd(-0.0);
    __m128d lanesA = _mm_setzero_pd(), lanesB = _mm_setzero_pd();
    for (; i + 4 <= count; i += 4) {
        lanesA = _mm_max_pd(lanesA, _mm_andnot_pd(signBit, _mm_loadu_pd(values + i)));
        lanesB = _mm_max_pd(lanesB, _mm_andnot_pd(signBit, _mm_loadu_pd(values + i + 2)));
    }
    double lanes[2];
    _mm_storeu_pd(lanes, _mm_max_pd(lanesA, lanesB));
    largest = lanes[0] > lanes[1] ? lanes[0] : lanes[1];
#endif
    for (; i < count; ++i) {
        const double size = std::fabs(values[i]);
        largest = size > largest ? size : largest;
    }
    return largest;
}

// values[i] = values[i] / divisor * factor, for every i.
void divideThenScale(double* values, int count, double divisor, double factor)
{
    int i = 0;
#if defined(__SSE2__)
    const __m128d d = _mm_set1_pd(divisor), f = _mm_set1_pd(factor);
    for (; i + 2 <= count; i += 2) _mm_storeu_pd(values + i, _mm_mul_pd(_mm_div_pd(_mm_loadu_pd(values + i), d), f));
#endif
    for (; i < count; ++i) values[i] = values[i] / divisor * factor;
}

bool hasArrays(const DftEngine& engine)
{
    return isAllocated(engine.re) && isAllocated(engine.im) && isAllocated(engine.cosTable) &&
           isAllocated(engine.sinTable) && isAllocated(engine.magnitude) && isAllocated(engine.rawMagnitude);
}

}  // namespace

DftEngine::DftEngine()
    : re(notAllocated<double>()),
      im(notAllocated<double>()),
      cosTable(notAllocated<double>()),
      sinTable(notAllocated<double>()),
      magnitude(notAllocated<double>()),
      rawMagnitude(notAllocated<double>())
{
}

DftEngine::~DftEngine() { release(); }

void DftEngine::release()
{
    freeBlock(re);
    freeBlock(im);
    freeBlock(cosTable);
    freeBlock(sinTable);
    freeBlock(magnitude);
    freeBlock(rawMagnitude);
}

void DftEngine::setUp(int32_t newLog2Length, uint32_t newSampleRate)
{
    release();
    // Beyond 4096 samples the frame outgrows the views; below 1 it is no frame.
    if (newLog2Length < 0) newLog2Length = 0;
    if (newLog2Length > maxLog2Length) newLog2Length = maxLog2Length;
    log2Length = newLog2Length;
    length = static_cast<int32_t>(std::pow(2.0, newLog2Length));
    sampleRate = newSampleRate;

    const size_t n = static_cast<size_t>(length);
    const size_t tableSize = n / 2 + 1;
    re = allocate<double>(n);
    im = allocate<double>(n);
    cosTable = allocate<double>(tableSize);
    sinTable = allocate<double>(tableSize);
    magnitude = allocate<double>(tableSize);
    rawMagnitude = allocate<double>(tableSize);
    if (!hasArrays(*this)) {
        // Out of memory: an engine without arrays analyses nothing, which the
        // views show as an empty frame rather than a crash.
        release();
        log2Length = 0;
        length = 0;
        return;
    }
    tablesFor(log2Length);  // built here so that the first frame is not the slow one
}

void DftEngine::loadFrame(const SoundBuffer& sound, uint32_t start)
{
    if (!hasArrays(*this)) return;
    soundPeak = sound.peak;
    frameStartSample = start;
    const int n = length;
    // n is a power of two, so x * (1/n) is exactly x / n: both are the one
    // correctly rounded value of the same real number.
    const double scale = 1.0 / n;

    // The frame's peak is that of the raw samples, before scaling and window.
    const uint32_t count = sound.sampleCount;
    if (frameFits(start, n, count)) {
        const double* source = sound.samples + start;
        energy = largestMagnitude(source, n);
        for (int l = 0; l < n; ++l) im[l] = source[l] * scale;
    } else {
        // Only reached if a caller breaks the precondition; sampleAt pads the
        // frame with zeros past the end of the sound.
        for (int l = 0; l < n; ++l) im[l] = sound.sampleAt(start + static_cast<uint32_t>(l));
        energy = largestMagnitude(im, n);
        for (int l = 0; l < n; ++l) im[l] *= scale;
    }
    for (int l = 0; l < n; ++l) re[l] = 0.0;
    frameColumn = waveformColumnOf(start, count);
}

void DftEngine::applyWindow(int32_t kind)
{
    if (!hasArrays(*this)) return;
    windowKind = appliedWindowKind(kind);
    if (windowKind == WindowRectangular) return;
    const double* weights = tablesFor(log2Length).weights[windowKind - WindowHanning].data();
    const int n = length;
    for (int i = 0; i < n; ++i) im[i] *= weights[i];
}

void DftEngine::bitReverse()
{
    if (!hasArrays(*this)) return;
    // The permutation is precomputed rather than accumulated in re, so that
    // whatever re held before cannot turn into an index outside the frame.
    const uint32_t* reversed = tablesFor(log2Length).reversed.data();
    const int n = length;
    for (int i = 0; i < n; ++i) re[i] = im[reversed[i]];
    for (int i = 0; i < n; ++i) im[i] = 0.0;
}

void DftEngine::fillTwiddles()
{
    if (!hasArrays(*this)) return;
    const LengthTables& tables = tablesFor(log2Length);
    const size_t entries = static_cast<size_t>(length / 2 + 1);
    std::memcpy(cosTable, tables.cosines.data(), entries * sizeof(double));
    std::memcpy(sinTable, tables.sines.data(), entries * sizeof(double));
}

void DftEngine::butterfly(int32_t l, double groups, int32_t top, int32_t bottom)
{
    const int32_t t = static_cast<int32_t>(l * groups);
    butterflyAt(re, im, top, bottom, cosTable[t], sinTable[t]);
}

void DftEngine::transform()
{
    if (!hasArrays(*this) || length < 2) return;
    const int n = length;
    // Stage by stage, as butterfly() would be called for each (l, group);
    // within a stage the butterflies touch disjoint pairs, so the order in
    // which they are done does not change a bit. The first stage has only
    // twiddle 0 and one butterfly per group.
    int half = 1;
    int groups = n / 2;
#if defined(__SSE2__)
    if (n >= 4) {
        transformFirstTwoStages(re, im, cosTable, sinTable, n);
        half = 4;
        groups = n / 8;
    }
#if defined(KELVARA_DFT_AVX)
    if (wideTransformAllowed && processorHasAvx()) {
        const LengthTables& tables = tablesFor(log2Length);
        for (; 2 * half < n; half *= 4, groups /= 4)
            transformTwoStagesAvx(re, im, tables.stageCosines.data(), tables.stageSines.data(), n, half);
    }
#endif
    for (; 2 * half < n; half *= 4, groups /= 4) transformTwoStages(re, im, cosTable, sinTable, n, half, groups);
#endif
    if (half == 1) {
        for (int top = 0; top < n; top += 2) butterflyAt(re, im, top, top + 1, cosTable[0], sinTable[0]);
        half = 2;
        groups = n / 4;
    }
    for (; half < n; half *= 2, groups /= 2) transformStage(re, im, cosTable, sinTable, n, half, groups);
}

void DftEngine::computeMagnitudes(const SpectrumSettings& settings)
{
    if (!hasArrays(*this)) return;
    const int half = length / 2;
    int i = 0;
#if defined(__SSE2__)
    // sqrtpd is the same correctly rounded square root as sqrtsd, two at a time.
    for (; i + 2 <= half; i += 2) {
        const __m128d r = _mm_loadu_pd(re + i);
        const __m128d m = _mm_loadu_pd(im + i);
        const __m128d size = _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(r, r), _mm_mul_pd(m, m)));
        _mm_storeu_pd(magnitude + i, size);
        // Stored here rather than copied afterwards: one more store per pair
        // is all the true levels cost a frame.
        _mm_storeu_pd(rawMagnitude + i, size);
    }
#endif
    for (; i < half; ++i) magnitude[i] = rawMagnitude[i] = std::sqrt(re[i] * re[i] + im[i] * im[i]);
    rawMagnitude[half] = 0.0;

    const double strongest = largestMagnitude(magnitude, half);

    // The energy factor does not depend on the spectrum; it is worked out
    // first so that each value can be normalised and scaled in one go (the
    // same two roundings as normalising all, then scaling all).
    double e = energy / soundPeak * 200.0;
    if (!(e >= 1.0)) e = 1.0;  // also a silent sound, where the quotient is undefined
    if (e > 200.0) e = 200.0;  // a frame louder than its sound's peak is still at most 1
    const double factor = std::log(e) / std::log(200.0);

    // The panel shows the Log controls for any mode but 0, so every other
    // value is Log here too.
    if (settings.energyLogMode != 0) {
        // Out-of-range settings would make ln S zero or let ln v go negative;
        // the panel never writes them, but a NaN here would reach the views.
        int scale = settings.logScale;
        int threshold = settings.rejection;
        if (scale < 2) scale = 2;
        if (threshold < 1) threshold = 1;
        const double s = scale;
        const double r = threshold;
        const double logS = std::log(s);
        divideThenScale(magnitude, half, strongest, s);  // v = magnitude / M * S
        for (i = 0; i < half; ++i) {
            const double v = magnitude[i];
            // A NaN v (an all-zero frame, M = 0) fails the test too.
            magnitude[i] = v >= r ? std::log(v) / logS * factor : 0.0;
        }
    } else if (strongest > 0.0) {
        divideThenScale(magnitude, half, strongest, factor);
    } else {
        // An all-zero frame: nothing to normalise, and 0/0 must not reach the views.
        for (i = 0; i < half; ++i) magnitude[i] = 0.0;
    }
    energy = factor;
    magnitude[half] = 0.0;
}

void DftEngine::resampleToDisplay(int maxFreqStep)
{
    if (!hasArrays(*this)) return;
    mapToDisplayBins(magnitude, length / 2, sampleRate, maxFreqStep, displayBins);
}

void DftEngine::analyseFrame(const SoundBuffer& sound, uint32_t start, int32_t kind, const SpectrumSettings& settings)
{
    loadFrame(sound, start);
    applyWindow(kind);
    bitReverse();
    fillTwiddles();
    transform();
    computeMagnitudes(settings);
    resampleToDisplay(settings.maxFreqStep);
}

bool allowWideTransform(bool allowed)
{
#if defined(KELVARA_DFT_AVX)
    const bool before = wideTransformAllowed;
    wideTransformAllowed = allowed;
    return before && processorHasAvx();
#else
    (void)allowed;
    return false;
#endif
}
