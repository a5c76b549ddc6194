// The packed real transform pair: known spectra, the round trip, and the
// tabulated transforms against the step-by-step arithmetic.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "real_fft.h"
#include "straightforward_effect.h"

namespace {

std::vector<double> Noise(std::int32_t n, std::uint32_t seed) {
    std::vector<double> v(static_cast<std::size_t>(n));
    for (double& x : v) {
        seed = seed * 1664525u + 1013904223u;
        x = static_cast<double>(seed >> 8) / (1u << 24) - 0.5;
    }
    return v;
}

double MaxAbsExcept(const std::vector<double>& v, std::size_t skipped) {
    double largest = 0.0;
    for (std::size_t i = 0; i < v.size(); ++i) {
        if (i != skipped) largest = std::max(largest, std::fabs(v[i]));
    }
    return largest;
}

}  // namespace

TEST(RealFft, ConstantFrameIsPurelyDc) {
    for (std::int32_t n : {2, 8, 1024, 8192}) {
        const FftTables tables(n);
        std::vector<double> v(static_cast<std::size_t>(n), 0.75);
        RealFft(v, tables);
        EXPECT_NEAR(v[0], n * 0.75, 1e-9 * n) << n;
        EXPECT_LT(MaxAbsExcept(v, 0), 1e-9 * n) << n;
    }
}

TEST(RealFft, CosineAndSineLandOnTheirPackedIndices) {
    const std::int32_t n = 4096;
    const FftTables tables(n);
    for (std::int32_t k : {1, 5, 100, n / 2 - 1}) {
        std::vector<double> c(n), s(n);
        for (std::int32_t t = 0; t < n; ++t) {
            c[t] = std::cos(2 * std::numbers::pi * k * t / n);
            s[t] = std::sin(2 * std::numbers::pi * k * t / n);
        }
        RealFft(c, tables);
        RealFft(s, tables);
        EXPECT_NEAR(c[k], n / 2.0, 1e-7) << k;
        EXPECT_LT(MaxAbsExcept(c, k), 1e-7) << k;
        // The sine's X(k) is -n/2 i; its negated imaginary part sits at n - k.
        EXPECT_NEAR(s[n - k], n / 2.0, 1e-7) << k;
        EXPECT_LT(MaxAbsExcept(s, n - k), 1e-7) << k;
    }
}

TEST(RealFft, NyquistComponentSitsAtHalfLength) {
    const std::int32_t n = 64;
    const FftTables tables(n);
    std::vector<double> v(n);
    for (std::int32_t t = 0; t < n; ++t) v[t] = t % 2 == 0 ? 1.0 : -1.0;
    RealFft(v, tables);
    EXPECT_NEAR(v[n / 2], n, 1e-12);
    EXPECT_LT(MaxAbsExcept(v, n / 2), 1e-12);
}

TEST(RealFft, RoundTripReturnsHalfLengthTimesTheInput) {
    for (std::int32_t n : {2, 4, 16, 8192, 65536}) {
        const FftTables tables(n);
        const std::vector<double> original = Noise(n, 7);
        std::vector<double> v = original;
        RealFft(v, tables);
        InverseRealFft(v, tables);
        for (std::int32_t i = 0; i < n; ++i) {
            ASSERT_NEAR(v[i], original[i] * (n / 2), 1e-9 * n) << n << " at " << i;
        }
    }
}

TEST(RealFft, TablesMatchTheStepByStepArithmetic) {
    for (std::int32_t n : {8, 256, 8192, 131072}) {
        const FftTables tables(n);
        std::vector<double> fast = Noise(n, 11);
        std::vector<double> reference = fast;
        RealFft(fast, tables);
        straightforward::RealFft(reference);
        EXPECT_LT(straightforward::RelativeDifference(fast, reference), 1e-12) << n;

        InverseRealFft(fast, tables);
        straightforward::InverseRealFft(reference);
        EXPECT_LT(straightforward::RelativeDifference(fast, reference), 1e-12) << n;
    }
}
