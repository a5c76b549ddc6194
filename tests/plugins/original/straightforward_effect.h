// The effect's arithmetic transcribed step by step, with every sine, cosine,
// logarithm and exponential computed where it is used and no table. Tests
// compare the tabulated fast path of the core against it.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace straightforward {

inline void BitReverse(std::vector<double>& v) {
    const auto n = static_cast<std::int32_t>(v.size());
    std::int32_t j = 0;
    for (std::int32_t i = 1; i <= n - 2; ++i) {
        std::int32_t h = n / 2;
        j ^= h;
        while (h > j) {
            h /= 2;
            j ^= h;
        }
        if (i < j) std::swap(v[i], v[j]);
    }
}

/// The first butterfly of every block of `d` elements, alike in both
/// directions: the heads of its two halves become their sum and difference.
inline void HeadButterflies(std::vector<double>& v, std::int32_t d) {
    const auto n = static_cast<std::int32_t>(v.size());
    const std::int32_t b = d / 2;
    for (std::int32_t i = 0; i < n; i += d) {
        const double a = v[i], c = v[i + b];
        v[i] = a + c;
        v[i + b] = a - c;
    }
}

inline void RealFft(std::vector<double>& v) {
    const auto n = static_cast<std::int32_t>(v.size());
    BitReverse(v);
    double theta = -8.0 * std::atan(1.0);
    for (std::int32_t d = 2; d <= n; d *= 2) {
        theta *= 0.5;
        const std::int32_t b = d / 2, q = d / 4;
        HeadButterflies(v, d);
        for (std::int32_t j = 1; j < q; ++j) {
            const double cw = std::cos(j * theta), sw = std::sin(j * theta);
            for (std::int32_t i = 0; i < n; i += d) {
                const double t1 = cw * v[i + b + j] + sw * v[i + d - j];
                const double t2 = cw * v[i + d - j] - sw * v[i + b + j];
                const double front = v[i + j], mirror = v[i + b - j];
                v[i + b + j] = t2 - mirror;
                v[i + d - j] = mirror + t2;
                v[i + b - j] = front - t1;
                v[i + j] = front + t1;
            }
        }
    }
}

inline void InverseRealFft(std::vector<double>& v) {
    const auto n = static_cast<std::int32_t>(v.size());
    v[0] *= 0.5;
    v[n / 2] *= 0.5;
    double theta = 8.0 * std::atan(1.0) / n;
    for (std::int32_t d = n; d >= 2; d /= 2) {
        const std::int32_t b = d / 2, q = d / 4;
        HeadButterflies(v, d);
        for (std::int32_t j = 1; j < q; ++j) {
            const double cw = std::cos(j * theta), sw = std::sin(j * theta);
            for (std::int32_t i = 0; i < n; i += d) {
                const double D = v[i + j] - v[i + b - j];
                const double S = v[i + d - j] + v[i + b + j];
                v[i + j] = v[i + j] + v[i + b - j];
                v[i + b - j] = v[i + d - j] - v[i + b + j];
                v[i + b + j] = sw * S + cw * D;
                v[i + d - j] = cw * S - sw * D;
            }
        }
        theta *= 2.0;
    }
    BitReverse(v);
}

inline void FindRisingZeroCrossing(std::int32_t& position, const std::vector<double>& x, std::int32_t limit,
                                   std::int32_t span) {
    const std::int32_t start = position;
    const auto at = [&x](std::int32_t i) { return i < static_cast<std::int32_t>(x.size()) ? x[i] : 0.0; };
    for (std::int32_t i = start; i <= limit && i < start + span; ++i) {
        if (i >= 1 && at(i - 1) < 0.0 && at(i) >= 0.0) {
            position = i;
            return;
        }
    }
}

inline void Splice(const std::vector<double>& x, std::vector<double>& y, std::int32_t s) {
    const double pi = 4.0 * std::atan(1.0);
    const auto n = static_cast<std::int32_t>(x.size());
    const auto m = static_cast<std::int32_t>(y.size());
    const std::int32_t f = 2 * s;
    std::int32_t p = 0;
    FindRisingZeroCrossing(p, x, n, s);
    for (;;) {
        std::int32_t q = static_cast<std::int32_t>(static_cast<std::int64_t>(p) * n / m);
        FindRisingZeroCrossing(q, x, n, s);
        const std::int32_t pc = p, qc = q;
        std::int32_t w = pc - s, r = qc - s;
        for (std::int32_t k = 0; k < f; ++k) {
            if (w >= 0 && r >= 0) y[w] += (1 - std::cos(pi * k / f)) / 2 * x[r];
            ++w;
            ++r;
            if (w >= m || r >= n) return;
        }
        if (qc + f >= n) return;
        std::int32_t qd = qc + f;
        FindRisingZeroCrossing(qd, x, n, s);
        for (std::int32_t k = 0; k < qd - qc - f; ++k) {
            y[w] += x[r];
            ++w;
            ++r;
            if (w >= m || r >= n) return;
        }
        for (std::int32_t k = 0; k < f; ++k) {
            y[w] += (1 + std::cos(pi * k / f)) / 2 * x[r];
            ++w;
            ++r;
            if (w >= m || r >= n) return;
        }
        p = w - s;
    }
}

inline double Window(double ratio, double t, bool firstFrame) {
    const double pi = 4.0 * std::atan(1.0);
    if (firstFrame && t < 0.5) return 1.0;
    const double d = std::min(std::fabs(ratio - 1) * 100, 1.0);
    return (1 - d) * (1 - std::cos(2 * pi * t)) / 2 + d * std::sin(pi * t);
}

/// Adds the chosen bands of `spectrum`, stretched to overlap.size() and
/// windowed, into overlap.
inline void BandStage(const std::vector<double>& spectrum, std::vector<double>& overlap, double ratio,
                      std::int32_t sampleRate, std::int32_t bandMask, bool firstFrame) {
    const double pi = 4.0 * std::atan(1.0);
    const auto n = static_cast<std::int32_t>(spectrum.size());
    const auto m = static_cast<std::int32_t>(overlap.size());
    const auto last = static_cast<std::int32_t>(std::log(static_cast<double>(n)) / std::log(2.0) - 1 + 0.5);
    std::int32_t e = 8;
    for (std::int32_t k = 7; k <= last; ++k, --e) {
        if (((bandMask >> (k - 7)) & 1) == 0) continue;
        std::vector<double> band = spectrum;
        for (std::int32_t i = 1; i <= n / 2; ++i) {
            const double x = std::clamp(std::log2(static_cast<double>(i)) - k, -1.0, 1.0);
            const double w = (1 + std::cos(pi * x)) / 2;
            band[i] *= w;
            band[n - i] *= w;
        }
        InverseRealFft(band);
        double g = ratio > 1 ? 18 / std::max(std::log10(ratio), 0.01) : ratio * 266.66666666666663;
        if (ratio > 1 && g > 400) g = 400;
        const auto s = static_cast<std::int32_t>(std::pow(2.0, e * 0.5) * g * (sampleRate * (1.0 / 22050)));
        std::vector<double> stretch(static_cast<std::size_t>(m), 0.0);
        Splice(band, stretch, s);
        for (std::int32_t i = 0; i < m; ++i) {
            overlap[i] += Window(ratio, static_cast<double>(i) / m, firstFrame) * stretch[i];
        }
    }
}

/// The reverb's generator, with its own state.
struct Generator {
    std::uint32_t state = 1;
    std::int32_t Next() {
        state = state * 214013u + 2531011u;
        return static_cast<std::int32_t>((state >> 16) & 0x7fff);
    }
};

inline std::vector<double> ReverbSpectrum(std::int32_t n, double amount, Generator& generator) {
    std::vector<double> impulse(static_cast<std::size_t>(n));
    for (std::int32_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / n;
        const std::int32_t r = generator.Next() % 30000 - 15000;
        impulse[i] = r * std::exp(-8 * t / amount) * (1.0 / 15000);
    }
    impulse[0] = 0.0;
    RealFft(impulse);
    for (double& v : impulse) v *= 500.0 / n;
    return impulse;
}

inline void ApplyReverb(std::vector<double>& x, const std::vector<double>& h) {
    const auto n = static_cast<std::int32_t>(x.size());
    for (std::int32_t k = 1; k <= n / 2 - 1; ++k) {
        const double xr = x[k], xi = x[n - k], hr = h[k], hi = h[n - k];
        x[k] = xr * hr - xi * hi;
        x[n - k] = xi * hr + xr * hi;
    }
}

/// Largest |a - b| relative to the largest |b|.
inline double RelativeDifference(const std::vector<double>& a, const std::vector<double>& b) {
    double diff = 0.0, scale = 0.0;
    for (std::size_t i = 0; i < b.size(); ++i) {
        diff = std::max(diff, std::fabs(a[i] - b[i]));
        scale = std::max(scale, std::fabs(b[i]));
    }
    return scale > 0.0 ? diff / scale : diff;
}

}  // namespace straightforward
