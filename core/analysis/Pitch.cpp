#include "core/analysis/Pitch.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <utility>

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

// Sum, lowest and highest sample of every whole block of the samples in so
// far, so that the peaks (global and of each frame) cost a pass over blocks,
// not samples.
class BlockPeaks {
public:
    explicit BlockPeaks(const double* samples) : samples_(samples) {}

    void extendTo(size_t count)
    {
        for (size_t k = sum_.size(); (k + 1) * peakBlock <= count; ++k) {
            double sum = 0.0, low = samples_[k * peakBlock], high = low;
            for (size_t i = k * peakBlock; i < (k + 1) * peakBlock; ++i) {
                sum += samples_[i];
                low = std::min(low, samples_[i]);
                high = std::max(high, samples_[i]);
            }
            sum_.push_back(sum);
            low_.push_back(low);
            high_.push_back(high);
        }
        count_ = std::max(count_, count);
    }
    size_t count() const { return count_; }

    // The largest distance from the mean over samples from .. to (in).
    double aroundMean(size_t from, size_t to) const
    {
        double sum = 0.0, low = samples_[from], high = low;
        size_t i = from;
        for (; i <= to && i % peakBlock != 0; ++i) {
            sum += samples_[i];
            low = std::min(low, samples_[i]);
            high = std::max(high, samples_[i]);
        }
        for (; i + peakBlock - 1 <= to; i += peakBlock) {
            const size_t k = i / peakBlock;
            sum += sum_[k];
            low = std::min(low, low_[k]);
            high = std::max(high, high_[k]);
        }
        for (; i <= to; ++i) {
            sum += samples_[i];
            low = std::min(low, samples_[i]);
            high = std::max(high, samples_[i]);
        }
        const double mean = sum / static_cast<double>(to - from + 1);
        return std::max(high - mean, mean - low);
    }

private:
    const double* samples_;
    size_t count_ = 0;
    std::vector<double> sum_, low_, high_;
};

}  // namespace

// What stays the same from frame to frame: the grid the frames are taken on,
// the window and its own autocorrelation, the transform and its buffers; and
// the candidates of the frames added so far.
struct PitchTracker::State {
    State(const double* samples, size_t capacity, double sampleRate, const PitchSettings& settings)
        : samples(samples), capacity(capacity), sampleRate(sampleRate), settings(settings), peaks(samples)
    {
        if (samples == nullptr || capacity == 0 || !settingsUsable(sampleRate, settings)) return;
        // The frames are taken at rate / step, a whole fraction of the rate
        // that keeps the ceiling and its first harmonics well inside the band.
        step = std::max(1.0, std::floor(sampleRate / std::max(analysisRate, 6.0 * settings.ceilingHz)));
        rate = sampleRate / step;
        ceilingHz = std::min(settings.ceilingHz, 0.5 * rate);
        // A window longer than the sound fits nowhere (and a floor near 0
        // would ask for one of any length).
        if (3.0 / settings.floorHz * sampleRate > static_cast<double>(capacity)) return;
        windowLength = static_cast<long>(std::floor(3.0 / settings.floorHz * rate));
        minLag = std::max(2L, static_cast<long>(std::floor(rate / ceilingHz)));
        maxLag = static_cast<long>(std::ceil(rate / settings.floorHz));
        if (windowLength < 8 || maxLag + sincDepth + 2 >= windowLength) return;
        size_t fftLength = 4;
        while (fftLength < static_cast<size_t>(windowLength + maxLag + sincDepth + 2)) fftLength *= 2;
        lagCount = static_cast<size_t>(maxLag + sincDepth + 2);

        fft.emplace(fftLength);
        // F0 needs no sharp band edge: a short kernel, cut off a little early.
        resampler.emplace(samples, capacity, step, 8, 0.47);
        window.resize(static_cast<size_t>(windowLength));
        for (long i = 0; i < windowLength; ++i)
            window[static_cast<size_t>(i)] = 0.5 - 0.5 * std::cos(2.0 * pi * (static_cast<double>(i) + 0.5) / windowLength);
        frame.assign(fftLength, 0.0);
        re.resize(fftLength / 2 + 1);
        im.resize(fftLength / 2 + 1);
        scratch.resize(fftLength);
        ac.resize(fftLength);
        r.resize(lagCount);
        windowR.resize(lagCount);
        found.reserve(static_cast<size_t>(maxLag));

        // The window's own autocorrelation, normalised at lag 0.
        std::copy(window.begin(), window.end(), frame.begin());
        autocorrelate();
        for (size_t l = 0; l < lagCount; ++l) windowR[l] = ac[l] / ac[0];
    }

    // ac = the autocorrelation of `frame`, by the transform.
    void autocorrelate()
    {
        fft->forward(frame.data(), re.data(), im.data(), scratch.data());
        for (size_t k = 0; k < re.size(); ++k) {
            re[k] = re[k] * re[k] + im[k] * im[k];
            im[k] = 0.0;
        }
        fft->inverse(re.data(), im.data(), ac.data(), scratch.data());
    }

    bool usable() const { return resampler.has_value(); }

    // First and last grid positions of the window around `centre`; nothing
    // when it reaches outside the capacity (or the centre is not a number).
    std::optional<std::pair<int64_t, int64_t>> windowAt(double centre) const
    {
        if (!usable() || !std::isfinite(centre)) return std::nullopt;
        const double firstPosition = std::round(centre / step) - static_cast<double>(windowLength / 2);
        const double lastPosition = firstPosition + static_cast<double>(windowLength - 1);
        if (firstPosition * step < 0.0 || lastPosition * step > static_cast<double>(capacity - 1)) return std::nullopt;
        return std::make_pair(static_cast<int64_t>(firstPosition), static_cast<int64_t>(lastPosition));
    }

    // Every input sample the resampler reads for grid positions up to `last`
    // is in (or past the capacity, where the sound counts as zero).
    bool readable(int64_t last) const
    {
        const int64_t end = static_cast<int64_t>(std::floor(static_cast<double>(last) * step)) + resampler->reach() + 1;
        return static_cast<size_t>(std::min<int64_t>(end, static_cast<int64_t>(capacity))) <= peaks.count();
    }

    // The voiced candidates of the window from grid position `first` and the
    // window's local peak, appended as the next frame.
    void analyse(int64_t first, int64_t last)
    {
        const size_t from = static_cast<size_t>(first * static_cast<int64_t>(step));
        const size_t to = static_cast<size_t>(last * static_cast<int64_t>(step));
        localPeak.push_back(peaks.aroundMean(from, to));
        const size_t base = candidates.size();
        candidates.push_back({0.0, 0.0, 0.0});  // the unvoiced one: its strength depends on the global peak

        const double* x = resampler->stretch(first, static_cast<size_t>(windowLength));
        double localMean = 0.0;
        for (long i = 0; i < windowLength; ++i) localMean += x[i];
        localMean /= static_cast<double>(windowLength);
        for (long i = 0; i < windowLength; ++i) frame[static_cast<size_t>(i)] = (x[i] - localMean) * window[static_cast<size_t>(i)];
        std::fill(frame.begin() + windowLength, frame.end(), 0.0);
        autocorrelate();
        if (ac[0] > 0.0 && std::isfinite(ac[0])) {
            const double voicing = settings.voicingThreshold;
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
            const size_t keep = std::min(found.size(), static_cast<size_t>(settings.maxCandidates) - 1);
            std::partial_sort(found.begin(), found.begin() + static_cast<long>(keep), found.end(),
                              [](const Candidate& a, const Candidate& b) { return a.strength > b.strength; });
            candidates.insert(candidates.end(), found.begin(), found.begin() + static_cast<long>(keep));
        }
        firstCandidate.push_back(base);
        candidateCount.push_back(static_cast<int>(candidates.size() - base));
    }

    void addUnanalysed()
    {
        localPeak.push_back(0.0);
        firstCandidate.push_back(candidates.size());
        candidateCount.push_back(0);
    }

    std::vector<double> bestPath() const;

    const double* samples;
    size_t capacity;
    double sampleRate;
    PitchSettings settings;
    BlockPeaks peaks;

    double step = 1.0, rate = 0.0, ceilingHz = 0.0;
    long windowLength = 0, minLag = 0, maxLag = 0;
    size_t lagCount = 0;
    std::optional<RealFft> fft;
    std::optional<SincResampler> resampler;
    std::vector<double> window, frame, re, im, scratch, ac, r, windowR;
    std::vector<Candidate> found;

    // Per frame added: its centre, its window's local peak, where its
    // candidates start in `candidates` and how many (0: not analysed).
    std::vector<double> centres, localPeak;
    std::vector<size_t> firstCandidate;
    std::vector<int> candidateCount;
    std::vector<Candidate> candidates;
};

// The best path through the frames that were analysed (they lie together:
// the centres ascend), with the unvoiced strengths of the sound as far as it
// is in.
std::vector<double> PitchTracker::State::bestPath() const
{
    const size_t frames = centres.size();
    std::vector<double> f0(frames, 0.0);
    size_t firstFit = frames, lastFit = 0;
    for (size_t c = 0; c < frames; ++c)
        if (candidateCount[c] > 0) {
            firstFit = std::min(firstFit, c);
            lastFit = c;
        }
    if (firstFit > lastFit || peaks.count() == 0) return f0;
    const double globalPeak = peaks.aroundMean(0, peaks.count() - 1);
    if (!(globalPeak > 0.0) || !std::isfinite(globalPeak)) return f0;

    const double voicing = settings.voicingThreshold;
    const double silenceRatio = settings.silenceThreshold / (1.0 + voicing);
    // A frame in between that was not analysed (its centre was not a number)
    // has the unvoiced candidate alone, of strength 0.
    std::vector<Candidate> unvoiced(frames, Candidate{0.0, 0.0, 0.0});
    for (size_t c = firstFit; c <= lastFit; ++c)
        if (candidateCount[c] > 0) unvoiced[c].strength = voicing + std::max(0.0, 2.0 - (localPeak[c] / globalPeak) / silenceRatio);
    const auto count = [&](size_t c) { return std::max(candidateCount[c], 1); };
    const auto candidate = [&](size_t c, int k) -> const Candidate& {
        return k == 0 ? unvoiced[c] : candidates[firstCandidate[c] + static_cast<size_t>(k)];
    };

    const size_t slots = static_cast<size_t>(settings.maxCandidates);
    std::vector<double> score(slots), nextScore(slots);
    std::vector<int> from(frames * slots, 0);
    for (int k = 0; k < count(firstFit); ++k) score[static_cast<size_t>(k)] = candidate(firstFit, k).strength;
    for (size_t c = firstFit + 1; c <= lastFit; ++c) {
        const double dt = std::max(centres[c] - centres[c - 1], 1.0) / sampleRate;
        const double correction = 0.01 / dt;
        const double jumpCost = settings.octaveJumpCost * correction;
        const double voicingCost = settings.voicedUnvoicedCost * correction;
        for (int k = 0; k < count(c); ++k) {
            const Candidate& current = candidate(c, k);
            double best = -HUGE_VAL;
            int bestFrom = 0;
            for (int p = 0; p < count(c - 1); ++p) {
                const Candidate& previous = candidate(c - 1, p);
                double cost = 0.0;
                const bool voicedNow = current.hz > 0.0, voicedBefore = previous.hz > 0.0;
                if (voicedNow && voicedBefore)
                    cost = jumpCost * std::fabs(current.octaves - previous.octaves);
                else if (voicedNow != voicedBefore)
                    cost = voicingCost;
                const double value = score[static_cast<size_t>(p)] - cost;
                if (value > best) {
                    best = value;
                    bestFrom = p;
                }
            }
            nextScore[static_cast<size_t>(k)] = best + current.strength;
            from[c * slots + static_cast<size_t>(k)] = bestFrom;
        }
        score.swap(nextScore);
    }
    int k = 0;
    for (int j = 1; j < count(lastFit); ++j)
        if (score[static_cast<size_t>(j)] > score[static_cast<size_t>(k)]) k = j;
    for (size_t c = lastFit + 1; c-- > firstFit;) {
        f0[c] = candidate(c, k).hz;
        k = from[c * slots + static_cast<size_t>(k)];
    }
    return f0;
}

PitchTracker::PitchTracker(const double* samples, size_t capacity, double sampleRate, const PitchSettings& settings)
    : state_(std::make_unique<State>(samples, capacity, sampleRate, settings))
{
}

PitchTracker::~PitchTracker() = default;

void PitchTracker::samplesArrived(size_t count)
{
    if (state_->samples == nullptr) return;
    state_->peaks.extendTo(std::min(count, state_->capacity));
}

bool PitchTracker::addFrame(double centre)
{
    State& s = *state_;
    const auto span = s.windowAt(centre);
    if (!span) {
        s.addUnanalysed();
    } else {
        if (!s.readable(span->second)) return false;
        s.analyse(span->first, span->second);
    }
    s.centres.push_back(centre);
    return true;
}

size_t PitchTracker::frameCount() const { return state_->centres.size(); }

std::vector<double> PitchTracker::bestPath() const { return state_->bestPath(); }

std::vector<double> trackPitch(const double* samples, size_t sampleCount, double sampleRate, const double* centres,
                               size_t centreCount, const PitchSettings& settings)
{
    if (samples == nullptr || centres == nullptr || sampleCount == 0) return std::vector<double>(centreCount, 0.0);
    PitchTracker tracker(samples, sampleCount, sampleRate, settings);
    tracker.samplesArrived(sampleCount);
    for (size_t c = 0; c < centreCount; ++c) tracker.addFrame(centres[c]);
    return tracker.bestPath();
}
