// Radix-2 real transforms: decimation in time forward, decimation in
// frequency back. The butterflies work on each block of d values at once
// (all j of one block before the next block), which keeps them in cache; the
// order does not change any result because the blocks are independent.
#include "real_fft.h"

#include <cmath>
#include <utility>

FftTables::FftTables(std::int32_t n) : length_(n) {
    // Stage d uses j = 1 .. d/4 - 1 at angle step 2pi/d, with 2pi taken as
    // 8 atan(1) and divided by d exactly (d is a power of two).
    const double fullTurn = 8.0 * std::atan(1.0);
    for (std::int32_t d = 8; d <= n; d *= 2) {
        const double step = fullTurn / d;
        for (std::int32_t j = 0; j < d / 4; ++j) {
            cosines_.push_back(std::cos(j * step));
            sines_.push_back(std::sin(j * step));
        }
    }
    std::int32_t j = 0;
    for (std::int32_t i = 1; i <= n - 2; ++i) {
        std::int32_t h = n / 2;
        j ^= h;
        while (h > j) {
            h /= 2;
            j ^= h;
        }
        if (i < j) {
            swapPairs_.push_back(i);
            swapPairs_.push_back(j);
        }
    }
}

std::size_t FftTables::StageOffset(std::int32_t d) const {
    // Stages 8, 16, ... d/2 come first: 2 + 4 + ... + d/8 = d/4 - 2 entries.
    return static_cast<std::size_t>(d / 4 - 2);
}

void FftTables::BitReverse(std::span<double> values) const {
    double* v = values.data();
    for (std::size_t p = 0; p < swapPairs_.size(); p += 2) {
        std::swap(v[swapPairs_[p]], v[swapPairs_[p + 1]]);
    }
}

void RealFft(std::span<double> values, const FftTables& tables) {
    const std::int32_t n = tables.length_;
    double* v = values.data();
    tables.BitReverse(values);
    for (std::int32_t d = 2; d <= n; d *= 2) {
        const std::int32_t b = d / 2;
        const std::int32_t q = d / 4;
        const double* cw = d >= 8 ? tables.cosines_.data() + tables.StageOffset(d) : nullptr;
        const double* sw = d >= 8 ? tables.sines_.data() + tables.StageOffset(d) : nullptr;
        for (std::int32_t i = 0; i < n; i += d) {
            const double a = v[i];
            const double c = v[i + b];
            v[i] = a + c;
            v[i + b] = a - c;
            for (std::int32_t j = 1; j < q; ++j) {
                // Forward angle steps are negative: sin(-x) = -sin(x).
                const double c0 = cw[j];
                const double s0 = -sw[j];
                const double upper = v[i + b + j];
                const double lower = v[i + d - j];
                const double t1 = c0 * upper + s0 * lower;
                const double t2 = c0 * lower - s0 * upper;
                const double mirror = v[i + b - j];
                const double front = v[i + j];
                v[i + b + j] = t2 - mirror;
                v[i + d - j] = mirror + t2;
                v[i + b - j] = front - t1;
                v[i + j] = front + t1;
            }
        }
    }
}

void InverseRealFft(std::span<double> values, const FftTables& tables) {
    const std::int32_t n = tables.length_;
    double* v = values.data();
    v[0] *= 0.5;
    v[n / 2] *= 0.5;
    for (std::int32_t d = n; d >= 2; d /= 2) {
        const std::int32_t b = d / 2;
        const std::int32_t q = b / 2;
        const double* cw = d >= 8 ? tables.cosines_.data() + tables.StageOffset(d) : nullptr;
        const double* sw = d >= 8 ? tables.sines_.data() + tables.StageOffset(d) : nullptr;
        for (std::int32_t i = 0; i < n; i += d) {
            const double a = v[i];
            const double c = v[i + b];
            v[i] = a + c;
            v[i + b] = a - c;
            for (std::int32_t j = 1; j < q; ++j) {
                const double front = v[i + j];
                const double mirror = v[i + b - j];
                const double lower = v[i + d - j];
                const double upper = v[i + b + j];
                const double diff = front - mirror;
                const double sum = lower + upper;
                v[i + j] = front + mirror;
                v[i + b - j] = lower - upper;
                v[i + b + j] = sw[j] * sum + cw[j] * diff;
                v[i + d - j] = cw[j] * sum - sw[j] * diff;
            }
        }
    }
    tables.BitReverse(values);
}
