#include "LevelCalc.h"

#include <cmath>
#include <cstdlib>

namespace {
// log10(32767): full scale maps to 100.
constexpr double FullScaleLog = 4.515436681141699;
// More positive full-scale samples than this in one buffer count as clipping.
constexpr int ClipCount = 10;
// Per-sample contributions at or below this are treated as noise.
constexpr double NoiseThreshold = 0.12;
} // namespace

LevelCalc::Result LevelCalc::GetSoundLevel(const short* samples, int count)
{
    Result result;
    if (count <= 0 || !samples)
        return result;

    int peaks = 0;
    double sum = 0.0;
    for (int i = 0; i < count; ++i) {
        const int sample = samples[i];
        if (sample == 32767)
            ++peaks;
        const double term = static_cast<double>(std::abs(sample - 1)) / count;
        if (term > NoiseThreshold)
            sum += term;
    }

    if (peaks > ClipCount) {
        result.clipped = true;
        result.level = 100;
        return result;
    }
    if (sum < 0.0)
        return result;
    const double x = std::log10(sum);
    if (x < 0.0)
        return result;
    const int level = static_cast<int>(x / FullScaleLog * 100.0);
    result.level = level > 100 ? 100 : level;
    return result;
}
