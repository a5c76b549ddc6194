// The little reverb: a decaying noise impulse of one frame's length, taken
// into the packed spectrum once per call and multiplied into each frame's
// spectrum, which convolves the frame circularly with the impulse. The
// impulse has no direct sound: the dry share carries that.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "real_fft.h"

/// The reverb is on only above this amount.
inline constexpr double ReverbThreshold = 0.005;

/// Next value 0 .. 32767 of the reverb's noise generator
/// (state = state x 214013 + 2531011 mod 2^32, bits 16 to 30). The state
/// belongs to the calling thread, starts at 1 and is never reseeded.
std::int32_t ReverbRandom();

/// Builds reverb spectra for one frame length. The envelope e^(-8t/R) is kept
/// from call to call while N and R stay the same.
class ReverbBuilder {
public:
    /// Fills `spectrum` (N values, N = fft.Length()) with the spectrum of a
    /// fresh impulse for amount R, scaled by 500 / N. Draws N random values.
    /// May throw std::bad_alloc when the envelope must grow.
    void Build(std::span<double> spectrum, double amount, const FftTables& fft);
    /// Frees the envelope.
    void Release();

private:
    std::vector<double> envelope_;
    double envelopeAmount_ = 0.0;
};

/// Multiplies the packed spectrum `values` by `reverb` (same length) as
/// complex numbers, frequency by frequency; the constant and the highest
/// component pass unchanged.
void ApplyReverb(std::span<double> values, std::span<const double> reverb);
