// The reverb's impulse, its noise generator and the packed spectral product.
#include "reverb.h"

#include <cmath>

std::int32_t ReverbRandom() {
    // Rationale: thread-local so that each thread draws its own sequence and
    // the worker's sequence continues across calls and runs.
    thread_local std::uint32_t state = 1;
    state = state * 214013u + 2531011u;
    return static_cast<std::int32_t>((state >> 16) & 0x7fffu);
}

void ReverbBuilder::Build(std::span<double> spectrum, double amount, const FftTables& fft) {
    const std::int32_t n = fft.Length();
    if (envelope_.size() != static_cast<std::size_t>(n) || envelopeAmount_ != amount) {
        envelope_.resize(static_cast<std::size_t>(n));
        for (std::int32_t i = 0; i < n; ++i) {
            const double t = static_cast<double>(i) / n;
            envelope_[i] = std::exp(-8.0 * t / amount);
        }
        envelopeAmount_ = amount;
    }
    for (std::int32_t i = 0; i < n; ++i) {
        const std::int32_t r = ReverbRandom() % 30000 - 15000;
        spectrum[i] = r * envelope_[i] * (1.0 / 15000);
    }
    spectrum[0] = 0.0;
    RealFft(spectrum, fft);
    const double scale = 500.0 / n;
    for (double& value : spectrum) {
        value *= scale;
    }
}

void ReverbBuilder::Release() {
    std::vector<double>().swap(envelope_);
    envelopeAmount_ = 0.0;
}

void ApplyReverb(std::span<double> values, std::span<const double> reverb) {
    const std::size_t n = values.size();
    for (std::size_t k = 1; k < n / 2; ++k) {
        const double xr = values[k];
        const double xi = values[n - k];
        const double hr = reverb[k];
        const double hi = reverb[n - k];
        values[k] = xr * hr - xi * hi;
        values[n - k] = xi * hr + xr * hi;
    }
}
