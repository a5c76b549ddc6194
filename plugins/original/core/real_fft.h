// The packed real transform pair of the standard effect. RealFft turns n real
// samples into their spectrum in place: index k holds Re X(k) for
// 0 <= k <= n/2, index n-k holds -Im X(k) for 1 <= k < n/2. Neither transform
// is scaled on its own: InverseRealFft(RealFft(x)) = (n/2) x. Both are
// reentrant; the tables are read-only once built.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

/// Sines, cosines and the bit-reversal pattern for one transform length n (a
/// power of two, at least 2), computed once so that no trigonometric call
/// happens inside a transform.
class FftTables {
public:
    /// Builds the tables for length n; n must be a power of two >= 2.
    explicit FftTables(std::int32_t n);

    std::int32_t Length() const { return length_; }

private:
    friend void RealFft(std::span<double> values, const FftTables& tables);
    friend void InverseRealFft(std::span<double> values, const FftTables& tables);

    void BitReverse(std::span<double> values) const;
    /// Offset of the twiddles of the stage with block length d (d >= 8).
    std::size_t StageOffset(std::int32_t d) const;

    std::int32_t length_;
    std::vector<double> cosines_;  // per stage d: cos(j 2pi/d), j = 0 .. d/4-1
    std::vector<double> sines_;    // per stage d: sin(j 2pi/d)
    std::int32_t bits_ = 0;      // log2 n
    std::int32_t tileBits_ = 0;  // low and high bits swapped tile by tile
    std::vector<std::int32_t> reversedMiddle_;  // middle bits reversed, in place
    std::vector<std::int32_t> reversedEdge_;    // tileBits_-bit reversals
};

/// Forward transform in place, unscaled, packed layout above.
/// values.size() must equal tables.Length().
void RealFft(std::span<double> values, const FftTables& tables);
/// Inverse transform in place: packed spectrum in, (n/2) times the time
/// signal out. values.size() must equal tables.Length().
void InverseRealFft(std::span<double> values, const FftTables& tables);
