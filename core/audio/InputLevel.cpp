#include "core/audio/InputLevel.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "core/base/DecimalText.h"

namespace {

constexpr double fullScale = 32768.0;
constexpr int barCells = 20;
constexpr double barFloorDb = -60.0;

}  // namespace

InputLevel::InputLevel(uint32_t sampleRate, int bitsPerSample)
    : recent_(std::max<size_t>(1, sampleRate / 10)),
      clipPositive_(bitsPerSample == 8 ? 32512.0 : 32767.0),
      sampleRate_(sampleRate)
{
}

void InputLevel::add(const double* samples, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const double s = samples[i];
        ++samplesSeen_;
        if (s >= clipPositive_ || s <= -fullScale) lastClipAt_ = samplesSeen_;
        recent_[next_] = std::fabs(s);
        next_ = (next_ + 1) % recent_.size();
        filled_ = std::min(filled_ + 1, recent_.size());
    }
}

double InputLevel::peakDb() const
{
    const double peak = filled_ == 0 ? 0.0 : *std::max_element(recent_.begin(), recent_.begin() + static_cast<long>(filled_));
    if (!(peak > 0.0)) return -std::numeric_limits<double>::infinity();
    return 20.0 * std::log10(peak / fullScale);
}

bool InputLevel::clipping() const
{
    return lastClipAt_ != 0 && samplesSeen_ - lastClipAt_ < sampleRate_;
}

std::wstring inputLevelText(double peakDb, bool clipping)
{
    std::wstring text = L"Input ";
    text += std::isfinite(peakDb) ? fixedWideText(peakDb, 1) + L" dB FS" : L"-inf dB FS";
    int cells = std::isfinite(peakDb) ? static_cast<int>((peakDb - barFloorDb) / (-barFloorDb / barCells)) : 0;
    cells = std::clamp(cells, 0, barCells);
    text += L"   [" + std::wstring(static_cast<size_t>(cells), L'#') + std::wstring(static_cast<size_t>(barCells - cells), L'-') + L"]";
    if (clipping) text += L"   CLIP";
    return text;
}
