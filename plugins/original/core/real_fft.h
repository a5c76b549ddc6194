// The packed real transform pair of the standard effect. RealFft turns n real
// samples into their spectrum in place: index k holds Re X(k) for
// 0 <= k <= n/2, index n-k holds -Im X(k) for 1 <= k < n/2. Neither transform
// is scaled on its own: InverseRealFft(RealFft(x)) = (n/2) x.
// The arithmetic is FFTW's (measured faster than our own radix-2 code by two
// to three times at the effect's lengths); this file only maps its layout and
// scaling onto ours.
#pragma once

#include <complex>
#include <cstdint>
#include <span>
#include <vector>

#include "aligned_allocator.h"

/// The transforms of one length n (a power of two, at least 2) and the
/// complex scratch spectrum that one thread works in. The plans behind it are
/// made once per length and process and shared by every FftTables; the
/// scratch is its own, so each thread that transforms uses its own FftTables.
class FftTables {
public:
    using Spectrum = std::vector<std::complex<double>, AlignedAllocator<std::complex<double>>>;
    /// FFTW's plans of one length (opaque outside the transform's own file).
    struct Plans;

    /// Prepares length n; n must be a power of two >= 2. May throw
    /// std::bad_alloc.
    explicit FftTables(std::int32_t n);

    std::int32_t Length() const { return length_; }

    /// Scratch of n/2 + 1 frequencies (0 .. n/2) in FFTW's unscaled layout.
    std::span<std::complex<double>> Scratch() const { return scratch_; }

    /// Scratch() := the unscaled spectrum X of the n samples at `time`.
    void Forward(const double* time) const;
    /// `time` := the n samples whose spectrum is Scratch(), times n (FFTW's
    /// scaling); Scratch() is left as it was.
    void Inverse(double* time) const;

private:
    std::int32_t length_;
    const Plans* plans_;
    // Rationale: mutable because the transforms work in it while the tables
    // stay logically constant; it makes FftTables usable by one thread only.
    mutable Spectrum scratch_;
};

/// Forward transform in place, unscaled, packed layout above.
/// values.size() must equal tables.Length().
void RealFft(std::span<double> values, const FftTables& tables);
/// Inverse transform in place: packed spectrum in, (n/2) times the time
/// signal out. values.size() must equal tables.Length().
void InverseRealFft(std::span<double> values, const FftTables& tables);
