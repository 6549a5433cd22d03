// The ideal triangle wave the tone tests compare against, evaluated in closed form:
//   x(i) = A * tri(f * i / 22050),  tri(p) = 4p (p < 1/4), 2 - 4p (p < 3/4), 4p - 4 (else), p mod 1,
// with A = 32767. The step-and-reflect synthesis must reproduce it to one unit in the last place.
#pragma once

#include "runtime/tones.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tone_reference {

inline long double idealTriangle(double freq_hz, std::size_t frame) {
    long double phase = static_cast<long double>(freq_hz) * frame / rt::kSampleRate_hz;
    phase -= std::floor(phase);
    if (phase < 0.25L) return 4 * phase;
    if (phase < 0.75L) return 2 - 4 * phase;
    return 4 * phase - 4;
}

inline long idealSample(double freq_hz, std::size_t frame) {
    return std::lrint(idealTriangle(freq_hz, frame) * rt::kToneAmplitude);
}

// Frames a tone keeps after the cut: it ends just before the last frame, among the n synthesised,
// at which the ideal wave turns positive again.
inline std::size_t expectedCutLength(double freq_hz, std::size_t n) {
    std::size_t best = 0;
    long previous = 1;
    for (std::size_t i = 0; i < n; ++i) {
        const long sample = idealSample(freq_hz, i);
        if (sample > 0 && previous < 1) best = i;
        previous = sample;
    }
    return best;
}

// Largest difference between samples[from ...] and the ideal wave over `count` frames.
inline long worstDeviation(const std::vector<std::int16_t>& samples, std::size_t from, std::size_t count,
                           double freq_hz) {
    long worst = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const long d = std::labs(static_cast<long>(samples[from + i]) - idealSample(freq_hz, i));
        if (d > worst) worst = d;
    }
    return worst;
}

} // namespace tone_reference
