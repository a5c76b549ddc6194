// What a listener hears: a tone shifted by an octave comes out an octave up,
// and doubled speed halves the duration without moving the pitch.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "effect_run.h"
#include "host_output.h"
#include "parameter_block.h"

namespace {

constexpr int Rate = 44100;
constexpr int Block = 65536;

/// Runs five blocks of a 440 Hz stereo tone through a fresh run; returns the
/// left output.
std::vector<double> ProcessTone(double pitch, double speed) {
    ResetParameterBlock();
    PitchOctaves.store(pitch);
    SpeedExponent.store(speed);
    HostOutput& host = HostOutput::Reset();
    std::vector<double> tone(static_cast<std::size_t>(Block) * 5);
    for (std::size_t t = 0; t < tone.size(); ++t) tone[t] = 0.5 * std::sin(2 * std::numbers::pi * 440 * t / Rate);
    std::vector<double> out;
    EffectRun run;
    run.Construct();
    for (int b = 0; b < 5; ++b) {
        const ChannelBuffers in{{tone.data() + b * Block, tone.data() + b * Block}};
        const int n = run.Process(Rate, Block, &in, &host.buffers, &host.capacity, HostOutput::Resize);
        out.insert(out.end(), host.channels[0].begin(), host.channels[0].begin() + n);
    }
    run.Destruct();
    ResetParameterBlock();
    return out;
}

/// The frequency (1 Hz steps) with the largest DFT magnitude over 16384
/// samples taken from the middle of `x`.
double DominantFrequency(const std::vector<double>& x) {
    const std::size_t length = 16384;
    const std::size_t start = x.size() / 2 - length / 2;
    double best = 0.0, bestMagnitude = -1.0;
    for (double f = 100; f <= 2000; f += 1.0) {
        double re = 0.0, im = 0.0;
        const double step = 2 * std::numbers::pi * f / Rate;
        for (std::size_t t = 0; t < length; ++t) {
            re += x[start + t] * std::cos(step * t);
            im += x[start + t] * std::sin(step * t);
        }
        const double magnitude = re * re + im * im;
        if (magnitude > bestMagnitude) {
            bestMagnitude = magnitude;
            best = f;
        }
    }
    return best;
}

double Rms(const std::vector<double>& x) {
    double sum = 0.0;
    for (std::size_t t = x.size() / 4; t < 3 * x.size() / 4; ++t) sum += x[t] * x[t];
    return std::sqrt(sum / static_cast<double>(x.size() / 2));
}

}  // namespace

TEST(EffectSignal, OctaveUpTurns440HzInto880Hz) {
    const std::vector<double> out = ProcessTone(1.0, 0.0);
    ASSERT_GT(out.size(), 4u * Block);
    EXPECT_NEAR(DominantFrequency(out), 880.0, 6.0);
    // The level stays that of the input tone (RMS 0.354) within a few dB.
    EXPECT_NEAR(Rms(out), 0.5 / std::sqrt(2.0), 0.12);
}

TEST(EffectSignal, DoubleSpeedHalvesTheDurationAndKeepsThePitch) {
    const std::vector<double> normal = ProcessTone(0.0, 0.0);
    const std::vector<double> fast = ProcessTone(0.0, 1.0);
    // Nothing is flushed: the output lags the input by at most a frame.
    EXPECT_GE(normal.size(), 5u * Block - Block);
    EXPECT_EQ(fast.size() * 2, normal.size());
    EXPECT_NEAR(DominantFrequency(fast), 440.0, 6.0);
    EXPECT_NEAR(DominantFrequency(normal), 440.0, 3.0);
}
