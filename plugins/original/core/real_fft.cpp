// Radix-2 real transforms: decimation in time forward, decimation in
// frequency back. The butterflies work on each block of d values at once
// (all j of one block before the next block), which keeps them in cache; the
// order does not change any result because the blocks are independent.
#include "real_fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
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
    // The permutation is bit reversal: the classic walk j := j XOR h visits
    // exactly the bit-reversed partner of every i.
    while ((std::int32_t{1} << bits_) < n) {
        ++bits_;
    }
    tileBits_ = std::min(4, bits_ / 2);
    const auto reverse = [](std::int32_t value, std::int32_t width) {
        std::int32_t result = 0;
        for (std::int32_t bit = 0; bit < width; ++bit) {
            result = (result << 1) | ((value >> bit) & 1);
        }
        return result;
    };
    const std::int32_t middleBits = bits_ - 2 * tileBits_;
    for (std::int32_t middle = 0; middle < (std::int32_t{1} << middleBits); ++middle) {
        reversedMiddle_.push_back(reverse(middle, middleBits) << tileBits_);
    }
    for (std::int32_t edge = 0; edge < (std::int32_t{1} << tileBits_); ++edge) {
        reversedEdge_.push_back(reverse(edge, tileBits_));
    }
}

std::size_t FftTables::StageOffset(std::int32_t d) const {
    // Stages 8, 16, ... d/2 come first: 2 + 4 + ... + d/8 = d/4 - 2 entries.
    return static_cast<std::size_t>(d / 4 - 2);
}

void FftTables::BitReverse(std::span<double> values) const {
    // Rationale: swapping in index order jumps across the whole array for
    // every pair. Splitting an index into top, middle and bottom bits and
    // letting top and bottom vary fastest keeps both ends of each swap
    // within a few cache lines; each pair is still swapped once.
    double* v = values.data();
    const std::int32_t tile = std::int32_t{1} << tileBits_;
    const std::int32_t topShift = bits_ - tileBits_;
    const auto middleCount = static_cast<std::int32_t>(reversedMiddle_.size());
    for (std::int32_t middle = 0; middle < middleCount; ++middle) {
        const std::int32_t base = middle << tileBits_;
        const std::int32_t reversedBase = reversedMiddle_[middle];
        for (std::int32_t top = 0; top < tile; ++top) {
            const std::int32_t from = (top << topShift) | base;
            const std::int32_t to = reversedBase | reversedEdge_[top];
            for (std::int32_t bottom = 0; bottom < tile; ++bottom) {
                const std::int32_t i = from | bottom;
                const std::int32_t j = to | (reversedEdge_[bottom] << topShift);
                if (i < j) {
                    std::swap(v[i], v[j]);
                }
            }
        }
    }
}

namespace {

// The butterflies of j = 1 .. q-1 in one block of d = 2b values touch four
// quarters that never overlap: front [1, q), mirror (q, b), upper (b, b+q)
// and lower (b+q, d); front and upper run upwards, mirror and lower
// downwards. Two neighbouring j are done at once in a two-lane vector (the
// downward quarters loaded and stored lane-swapped); each lane does exactly
// the scalar arithmetic, so the results do not change.

using Pair = double __attribute__((vector_size(16)));

Pair LoadUp(const double* at) {
    Pair p;
    std::memcpy(&p, at, sizeof p);
    return p;
}
/// Loads at[0] and at[-1], in that order.
Pair LoadDown(const double* at) {
    const Pair p = LoadUp(at - 1);
    return Pair{p[1], p[0]};
}
void StoreUp(double* at, Pair p) { std::memcpy(at, &p, sizeof p); }
/// Stores p[0] at at[0] and p[1] at at[-1].
void StoreDown(double* at, Pair p) { StoreUp(at - 1, Pair{p[1], p[0]}); }

/// One forward butterfly, on scalars or on pairs. The forward angle step is
/// negative, so its sines are the negated table sines.
template <typename T>
void Forward(T& front, T& mirror, T& upper, T& lower, T c0, T s0) {
    const T t1 = c0 * upper + s0 * lower;
    const T t2 = c0 * lower - s0 * upper;
    const T m = mirror;
    const T f = front;
    upper = t2 - m;
    lower = m + t2;
    mirror = f - t1;
    front = f + t1;
}

/// One inverse butterfly, on scalars or on pairs.
template <typename T>
void Inverse(T& front, T& mirror, T& upper, T& lower, T cw, T sw) {
    const T diff = front - mirror;
    const T sum = lower + upper;
    front = front + mirror;
    mirror = lower - upper;
    upper = sw * sum + cw * diff;
    lower = cw * sum - sw * diff;
}

template <bool IsForward>
void Butterflies(double* block, std::int32_t b, std::int32_t q, const double* cw, const double* sw) {
    double* front = block;
    double* mirror = block + b;
    double* upper = block + b;
    double* lower = block + 2 * b;
    std::int32_t j = 1;
    for (; j + 1 < q; j += 2) {
        Pair f = LoadUp(front + j), m = LoadDown(mirror - j);
        Pair u = LoadUp(upper + j), l = LoadDown(lower - j);
        const Pair c = LoadUp(cw + j), s = LoadUp(sw + j);
        if constexpr (IsForward) {
            Forward<Pair>(f, m, u, l, c, -s);
        } else {
            Inverse<Pair>(f, m, u, l, c, s);
        }
        StoreUp(front + j, f);
        StoreDown(mirror - j, m);
        StoreUp(upper + j, u);
        StoreDown(lower - j, l);
    }
    for (; j < q; ++j) {
        if constexpr (IsForward) {
            Forward<double>(front[j], mirror[-j], upper[j], lower[-j], cw[j], -sw[j]);
        } else {
            Inverse<double>(front[j], mirror[-j], upper[j], lower[-j], cw[j], sw[j]);
        }
    }
}

}  // namespace

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
            Butterflies<true>(v + i, b, q, cw, sw);
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
            Butterflies<false>(v + i, b, q, cw, sw);
        }
    }
    tables.BitReverse(values);
}
