// Whole frames through the effect's block flow with answers known in advance:
// at stretch ratio one the bands and the overlapping windows give a tone back
// at its level and frequency, and a partial degree of application is exactly
// the mix of the dry input and the fully applied output, reverb included.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <thread>
#include <vector>

#include "effect_run.h"
#include "host_output.h"
#include "parameter_block.h"

namespace {

struct Setting {
    int rate;
    double pitch;
    double speed;
    double reverb;
    double apply;
    int length;  // input samples per channel, fed in one call
};

/// The same call through EffectRun, on a fresh thread so that the reverb's
/// generator starts at 1 as the reference's does.
std::vector<double> EffectOutput(const Setting& s, const std::vector<double> in[2], int outputChannel) {
    std::vector<double> out;
    std::thread worker([&] {
        ResetParameterBlock();
        PitchOctaves.store(s.pitch);
        SpeedExponent.store(s.speed);
        ReverbAmount.store(s.reverb);
        ApplyRatio.store(s.apply);
        HostOutput& host = HostOutput::Reset();
        EffectRun run;
        run.Construct();
        const ChannelBuffers block{{const_cast<double*>(in[0].data()), const_cast<double*>(in[1].data())}};
        const int count = run.Process(s.rate, s.length, &block, &host.buffers, &host.capacity, HostOutput::Resize);
        out.assign(host.channels[outputChannel].begin(), host.channels[outputChannel].begin() + count);
        run.Destruct();
        ResetParameterBlock();
    });
    worker.join();
    return out;
}

/// A tone of `period` samples, amplitude 0.5, on both channels.
std::vector<double> Tone(int length, int period) {
    std::vector<double> x(static_cast<std::size_t>(length));
    for (int t = 0; t < length; ++t) x[t] = 0.5 * std::sin(2 * std::numbers::pi * t / period);
    return x;
}

/// Two different, non-trivial channels.
std::vector<double> Mixture(int length, int channel) {
    std::vector<double> x(static_cast<std::size_t>(length));
    for (int t = 0; t < length; ++t) {
        x[t] = 0.3 * std::sin(0.043 * t + channel) + 0.2 * std::sin(0.29 * t * (1 + 0.1 * channel)) +
               0.1 * std::sin(1.9 * t);
    }
    return x;
}

}  // namespace

// Ratio one: every band is spliced back unchanged and the Hann windows of
// frames half a frame apart add up to one, so past the first frame a tone
// well inside the bands keeps its level (RMS 0.5 / sqrt 2) and its period.
TEST(EffectFlow, AtRatioOneAToneComesBackAtItsLevelAndPeriod) {
    for (int rate : {8000, 11025, 22050, 44100}) {
        const int frame = FrameLengthForRate(rate);
        const int period = 40;
        const Setting s{rate, 0.0, 0.0, 0.0, 1.0, frame * 6};
        const std::vector<double> in[2] = {Tone(s.length, period), Tone(s.length, period)};
        const std::vector<double> out = EffectOutput(s, in, 0);
        ASSERT_GE(out.size(), static_cast<std::size_t>(frame * 4)) << rate;
        double sum = 0.0;
        int crossings = 0;
        const std::size_t begin = frame, end = frame * 4;
        for (std::size_t t = begin; t < end; ++t) {
            sum += out[t] * out[t];
            if (out[t - 1] < 0.0 && out[t] >= 0.0) ++crossings;
        }
        EXPECT_NEAR(std::sqrt(sum / static_cast<double>(end - begin)), 0.5 / std::sqrt(2.0), 0.01) << rate;
        EXPECT_NEAR(crossings, static_cast<int>(end - begin) / period, 1) << rate;
    }
}

// Without pitch or speed change the output runs in step with the input, so
// a degree of application a gives (1 - a) x input + a x (the output at a = 1)
// sample for sample, whatever the reverb and the bands did.
TEST(EffectFlow, PartialApplicationIsTheExactMixOfDryAndApplied) {
    const Setting settings[] = {
        {8000, 0.0, 0.0, 0.3, 0.7, 8192 * 2},
        {22050, 0.0, 0.0, 0.0, 0.5, 32768 * 2 + 1000},
        {11025, 0.0, 0.0, 0.8, 0.25, 16384 * 3},
    };
    for (const Setting& s : settings) {
        const std::vector<double> in[2] = {Mixture(s.length, 0), Mixture(s.length, 1)};
        Setting full = s;
        full.apply = 1.0;
        for (int ch = 0; ch < 2; ++ch) {
            const std::vector<double> applied = EffectOutput(full, in, ch);
            const std::vector<double> mixed = EffectOutput(s, in, ch);
            ASSERT_EQ(mixed.size(), applied.size()) << s.rate;
            ASSERT_FALSE(mixed.empty());
            for (std::size_t t = 0; t < mixed.size(); ++t) {
                const double expected = (1 - s.apply) * in[ch][t] + s.apply * applied[t];
                ASSERT_NEAR(mixed[t], expected, 1e-12) << s.rate << " Hz, channel " << ch << ", sample " << t;
            }
        }
    }
}
