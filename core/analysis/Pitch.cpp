#include "core/analysis/Pitch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "core/analysis/RealFft.h"
#include "core/analysis/SincResampler.h"

namespace {

constexpr double pi = 3.14159265358979323846;
constexpr int sincDepth = 8;          // lags either side in the interpolation of r
constexpr double analysisRate = 7000.0;  // the lowest rate the frames are taken at
constexpr size_t peakBlock = 64;

struct Candidate {
    double hz;        // 0: the unvoiced candidate
    double strength;
    double octaves;   // log2 hz, for the cost of a jump
};

// r at a fractional lag by sinc interpolation over 2 * sincDepth lags, tapered
// by (1 - (d / depth)^2)^2; r is even, so lags below 0 mirror.
double interpolatedR(const std::vector<double>& r, double lag)
{
    const double whole = std::floor(lag);
    const double frac = lag - whole;
    if (frac == 0.0) return r[static_cast<size_t>(std::abs(static_cast<long>(whole)))];
    const long base = static_cast<long>(whole);
    const double sinPiFrac = std::sin(pi * frac);
    double sum = 0.0;
    for (long n = base - sincDepth + 1; n <= base + sincDepth; ++n) {
        const double d = lag - static_cast<double>(n);
        const double t = d / sincDepth;
        const double taper = (1.0 - t * t) * (1.0 - t * t);
        // sin(pi d) = sin(pi frac) * (-1)^(base - n)
        const double sign = ((base - n) & 1) ? -1.0 : 1.0;
        sum += r[static_cast<size_t>(std::labs(n))] * sign * sinPiFrac / (pi * d) * taper;
    }
    return sum;
}

// The maximum of the interpolated r near the discrete maximum at `lag`: a
// parabola through the three samples places it roughly, a second parabola
// through the interpolated r a tenth of a lag either side of that places it
// to a small fraction of a lag (the peak is smooth at that scale).
void refinePeak(const std::vector<double>& r, long lag, double& bestLag, double& bestR)
{
    const double left = r[static_cast<size_t>(lag - 1)], mid = r[static_cast<size_t>(lag)], right = r[static_cast<size_t>(lag + 1)];
    const double curve = left - 2.0 * mid + right;
    double x = static_cast<double>(lag);
    if (curve < 0.0) x += std::clamp(0.5 * (left - right) / curve, -0.5, 0.5);
    const double h = 0.1;
    const double a = interpolatedR(r, x - h), b = interpolatedR(r, x), c = interpolatedR(r, x + h);
    const double curve2 = a - 2.0 * b + c;
    if (curve2 < 0.0) x += std::clamp(0.5 * h * (a - c) / curve2, -h, h);
    bestLag = x;
    bestR = interpolatedR(r, x);
    if (mid > bestR) {  // never worse than the sample itself
        bestLag = static_cast<double>(lag);
        bestR = mid;
    }
}

bool settingsUsable(double rate, const PitchSettings& s)
{
    return std::isfinite(rate) && rate > 0.0 && std::isfinite(s.floorHz) && std::isfinite(s.ceilingHz) &&
           s.floorHz > 0.0 && s.ceilingHz > s.floorHz && s.maxCandidates >= 2 && s.maxCandidates <= 100 && std::isfinite(s.silenceThreshold) &&
           std::isfinite(s.voicingThreshold) && std::isfinite(s.octaveCost) && std::isfinite(s.octaveJumpCost) &&
           std::isfinite(s.voicedUnvoicedCost);
}

}  // namespace

std::vector<double> trackPitch(const double* samples, size_t sampleCount, double sampleRate, const double* centres,
                               size_t centreCount, const PitchSettings& settings)
{
    std::vector<double> f0(centreCount, 0.0);
    if (samples == nullptr || centres == nullptr || sampleCount == 0 || !settingsUsable(sampleRate, settings)) return f0;

    // The frames are taken at rate / step, a whole fraction of the rate that
    // keeps the ceiling and its first harmonics well inside the band.
    const double step = std::max(1.0, std::floor(sampleRate / std::max(analysisRate, 6.0 * settings.ceilingHz)));
    const double rate = sampleRate / step;
    const double ceilingHz = std::min(settings.ceilingHz, 0.5 * rate);
    // A window longer than the sound fits nowhere (and a floor near 0 would
    // ask for one of any length).
    if (3.0 / settings.floorHz * sampleRate > static_cast<double>(sampleCount)) return f0;
    const long windowLength = static_cast<long>(std::floor(3.0 / settings.floorHz * rate));
    const long minLag = std::max(2L, static_cast<long>(std::floor(rate / ceilingHz)));
    const long maxLag = static_cast<long>(std::ceil(rate / settings.floorHz));
    if (windowLength < 8 || maxLag + sincDepth + 2 >= windowLength) return f0;
    size_t fftLength = 4;
    while (fftLength < static_cast<size_t>(windowLength + maxLag + sincDepth + 2)) fftLength *= 2;
    const size_t lagCount = static_cast<size_t>(maxLag + sincDepth + 2);

    // Sum, lowest and highest sample of every block of the sound, so that the
    // peaks (global and of each frame) cost a pass over blocks, not samples.
    const size_t blockCount = (sampleCount + peakBlock - 1) / peakBlock;
    std::vector<double> blockSum(blockCount), blockLow(blockCount), blockHigh(blockCount);
    for (size_t k = 0; k < blockCount; ++k) {
        const size_t end = std::min(sampleCount, (k + 1) * peakBlock);
        double sum = 0.0, low = samples[k * peakBlock], high = low;
        for (size_t i = k * peakBlock; i < end; ++i) {
            sum += samples[i];
            low = std::min(low, samples[i]);
            high = std::max(high, samples[i]);
        }
        blockSum[k] = sum;
        blockLow[k] = low;
        blockHigh[k] = high;
    }
    // The largest distance from the mean over samples from .. to.
    auto peakAroundMean = [&](size_t from, size_t to) {
        double sum = 0.0, low = samples[from], high = low;
        size_t i = from;
        for (; i <= to && i % peakBlock != 0; ++i) {
            sum += samples[i];
            low = std::min(low, samples[i]);
            high = std::max(high, samples[i]);
        }
        for (; i + peakBlock - 1 <= to; i += peakBlock) {
            const size_t k = i / peakBlock;
            sum += blockSum[k];
            low = std::min(low, blockLow[k]);
            high = std::max(high, blockHigh[k]);
        }
        for (; i <= to; ++i) {
            sum += samples[i];
            low = std::min(low, samples[i]);
            high = std::max(high, samples[i]);
        }
        const double mean = sum / static_cast<double>(to - from + 1);
        return std::max(high - mean, mean - low);
    };
    const double globalPeak = peakAroundMean(0, sampleCount - 1);
    if (!(globalPeak > 0.0) || !std::isfinite(globalPeak)) return f0;

    const RealFft fft(fftLength);
    std::vector<double> window(static_cast<size_t>(windowLength));
    for (long i = 0; i < windowLength; ++i)
        window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2.0 * pi * (static_cast<double>(i) + 0.5) / windowLength);
    std::vector<double> frame(fftLength, 0.0), re(fftLength / 2 + 1), im(fftLength / 2 + 1), scratch(fftLength);
    std::vector<double> ac(fftLength), r(lagCount), windowR(lagCount);

    // The window's own autocorrelation, normalised at lag 0.
    std::copy(window.begin(), window.end(), frame.begin());
    fft.forward(frame.data(), re.data(), im.data(), scratch.data());
    for (size_t k = 0; k < re.size(); ++k) {
        re[k] = re[k] * re[k] + im[k] * im[k];
        im[k] = 0.0;
    }
    fft.inverse(re.data(), im.data(), ac.data(), scratch.data());
    for (size_t l = 0; l < lagCount; ++l) windowR[l] = ac[l] / ac[0];

    const size_t slots = static_cast<size_t>(settings.maxCandidates);
    std::vector<Candidate> candidates(centreCount * slots);
    std::vector<int> candidateCount(centreCount, 0);
    std::vector<Candidate> found;
    found.reserve(static_cast<size_t>(maxLag));
    const double voicing = settings.voicingThreshold;
    const double silenceRatio = settings.silenceThreshold / (1.0 + voicing);
    // F0 needs no sharp band edge: a short kernel, cut off a little early.
    SincResampler resampler(samples, sampleCount, step, 8, 0.47);

    size_t firstFit = centreCount, lastFit = 0;
    for (size_t c = 0; c < centreCount; ++c) {
        const double centre = centres[c];
        if (!std::isfinite(centre)) continue;
        const double firstPosition = std::round(centre / step) - static_cast<double>(windowLength / 2);
        const double lastPosition = firstPosition + static_cast<double>(windowLength - 1);
        if (firstPosition * step < 0.0 || lastPosition * step > static_cast<double>(sampleCount - 1)) continue;
        firstFit = std::min(firstFit, c);
        lastFit = c;
        const int64_t first = static_cast<int64_t>(firstPosition);

        // The local peak, on the sound itself like the global one.
        const size_t from = static_cast<size_t>(first * static_cast<int64_t>(step));
        const size_t to = static_cast<size_t>(static_cast<int64_t>(lastPosition) * static_cast<int64_t>(step));
        const double localPeak = peakAroundMean(from, to);

        Candidate* slot = &candidates[c * slots];
        slot[0] = {0.0, voicing + std::max(0.0, 2.0 - (localPeak / globalPeak) / silenceRatio), 0.0};
        int count = 1;

        const double* x = resampler.stretch(first, static_cast<size_t>(windowLength));
        double localMean = 0.0;
        for (long i = 0; i < windowLength; ++i) localMean += x[i];
        localMean /= static_cast<double>(windowLength);
        for (long i = 0; i < windowLength; ++i) frame[static_cast<size_t>(i)] = (x[i] - localMean) * window[static_cast<size_t>(i)];
        std::fill(frame.begin() + windowLength, frame.end(), 0.0);
        fft.forward(frame.data(), re.data(), im.data(), scratch.data());
        for (size_t k = 0; k < re.size(); ++k) {
            re[k] = re[k] * re[k] + im[k] * im[k];
            im[k] = 0.0;
        }
        fft.inverse(re.data(), im.data(), ac.data(), scratch.data());
        if (ac[0] > 0.0 && std::isfinite(ac[0])) {
            for (size_t l = 0; l < lagCount; ++l) r[l] = ac[l] / ac[0] / windowR[l];
            found.clear();
            for (long lag = minLag; lag <= maxLag; ++lag) {
                const double here = r[static_cast<size_t>(lag)];
                if (here <= 0.5 * voicing || here <= r[static_cast<size_t>(lag - 1)] || here < r[static_cast<size_t>(lag + 1)])
                    continue;
                double bestLag = 0.0, bestR = 0.0;
                refinePeak(r, lag, bestLag, bestR);
                const double hz = rate / bestLag;
                if (hz < settings.floorHz || hz > ceilingHz) continue;
                // Above 1 the division by the window's autocorrelation has
                // overshot (a peak near the largest lags); count it as less.
                if (bestR > 1.0) bestR = 1.0 / bestR;
                found.push_back({hz, bestR - settings.octaveCost * std::log2(settings.floorHz / hz), std::log2(hz)});
            }
            const size_t keep = std::min(found.size(), slots - 1);
            std::partial_sort(found.begin(), found.begin() + static_cast<long>(keep), found.end(),
                              [](const Candidate& a, const Candidate& b) { return a.strength > b.strength; });
            for (size_t k = 0; k < keep; ++k) slot[count++] = found[k];
        }
        candidateCount[c] = count;
    }
    if (firstFit > lastFit) return f0;
    for (size_t c = firstFit; c <= lastFit; ++c)  // a centre that was not a number
        if (candidateCount[c] == 0) {
            candidates[c * slots] = {0.0, 0.0, 0.0};
            candidateCount[c] = 1;
        }

    // The best path through the frames that fit (they lie together: the
    // centres ascend).
    std::vector<double> score(slots), nextScore(slots);
    std::vector<int> from(centreCount * slots, 0);
    for (int k = 0; k < candidateCount[firstFit]; ++k) score[static_cast<size_t>(k)] = candidates[firstFit * slots + static_cast<size_t>(k)].strength;
    for (size_t c = firstFit + 1; c <= lastFit; ++c) {
        const double dt = std::max(centres[c] - centres[c - 1], 1.0) / sampleRate;
        const double correction = 0.01 / dt;
        const double jumpCost = settings.octaveJumpCost * correction;
        const double voicingCost = settings.voicedUnvoicedCost * correction;
        const Candidate* previous = &candidates[(c - 1) * slots];
        const Candidate* current = &candidates[c * slots];
        for (int k = 0; k < candidateCount[c]; ++k) {
            double best = -HUGE_VAL;
            int bestFrom = 0;
            for (int p = 0; p < candidateCount[c - 1]; ++p) {
                double cost = 0.0;
                const bool voicedNow = current[k].hz > 0.0, voicedBefore = previous[p].hz > 0.0;
                if (voicedNow && voicedBefore)
                    cost = jumpCost * std::fabs(current[k].octaves - previous[p].octaves);
                else if (voicedNow != voicedBefore)
                    cost = voicingCost;
                const double value = score[static_cast<size_t>(p)] - cost;
                if (value > best) {
                    best = value;
                    bestFrom = p;
                }
            }
            nextScore[static_cast<size_t>(k)] = best + current[k].strength;
            from[c * slots + static_cast<size_t>(k)] = bestFrom;
        }
        score.swap(nextScore);
    }
    int k = 0;
    for (int j = 1; j < candidateCount[lastFit]; ++j)
        if (score[static_cast<size_t>(j)] > score[static_cast<size_t>(k)]) k = j;
    for (size_t c = lastFit + 1; c-- > firstFit;) {
        f0[c] = candidates[c * slots + static_cast<size_t>(k)].hz;
        k = from[c * slots + static_cast<size_t>(k)];
    }
    return f0;
}
