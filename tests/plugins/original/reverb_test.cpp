// The little reverb: its generator, the impulse spectrum against the
// step-by-step arithmetic, the packed product, and the on/off threshold.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "effect_run.h"
#include "host_output.h"
#include "parameter_block.h"
#include "real_fft.h"
#include "reverb.h"
#include "straightforward_effect.h"

namespace {

/// Runs `work` on a fresh thread, whose generator starts at 1.
template <typename Work>
void OnFreshThread(Work work) {
    std::thread thread(work);
    thread.join();
}

std::vector<double> ReverbOutput(double amount) {
    ResetParameterBlock();
    ReverbAmount.store(amount);
    HostOutput& host = HostOutput::Reset();
    std::vector<double> in[2] = {std::vector<double>(8192 * 3), std::vector<double>(8192 * 3)};
    for (std::size_t t = 0; t < in[0].size(); ++t) {
        in[0][t] = std::sin(0.05 * t);
        in[1][t] = std::sin(0.07 * t);
    }
    std::vector<double> out;
    EffectRun run;
    run.Construct();
    for (int b = 0; b < 3; ++b) {
        const ChannelBuffers block{{in[0].data() + b * 8192, in[1].data() + b * 8192}};
        const int n = run.Process(8000, 8192, &block, &host.buffers, &host.capacity, HostOutput::Resize);
        out.insert(out.end(), host.channels[0].begin(), host.channels[0].begin() + n);
    }
    run.Destruct();
    ResetParameterBlock();
    return out;
}

}  // namespace

TEST(ReverbRandom, EachThreadStartsFromStateOne) {
    std::vector<std::int32_t> first, second;
    OnFreshThread([&first] {
        for (int i = 0; i < 5; ++i) first.push_back(ReverbRandom());
    });
    OnFreshThread([&second] {
        for (int i = 0; i < 5; ++i) second.push_back(ReverbRandom());
    });
    straightforward::Generator generator;
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(first[i], generator.Next()) << i;
    }
    EXPECT_EQ(first[0], 41);  // (1 x 214013 + 2531011) >> 16
    EXPECT_EQ(first, second);
}

TEST(ReverbBuilder, MatchesTheStepByStepImpulseAndContinuesTheSequence) {
    OnFreshThread([] {
        const std::int32_t n = 8192;
        const FftTables fft(n);
        ReverbBuilder builder;
        std::vector<double> first(n), second(n);
        builder.Build(first, 0.5, fft);
        builder.Build(second, 0.5, fft);
        straightforward::Generator generator;
        const std::vector<double> expectedFirst = straightforward::ReverbSpectrum(n, 0.5, generator);
        const std::vector<double> expectedSecond = straightforward::ReverbSpectrum(n, 0.5, generator);
        EXPECT_LT(straightforward::RelativeDifference(first, expectedFirst), 1e-9);
        EXPECT_LT(straightforward::RelativeDifference(second, expectedSecond), 1e-9);
        EXPECT_GT(straightforward::RelativeDifference(second, first), 0.1);
        // A changed amount rebuilds the envelope.
        std::vector<double> third(n);
        builder.Build(third, 0.2, fft);
        EXPECT_LT(straightforward::RelativeDifference(third, straightforward::ReverbSpectrum(n, 0.2, generator)), 1e-9);
    });
}

TEST(ApplyReverb, MultipliesEveryFrequencyButTheEnds) {
    const std::int32_t n = 16;
    std::vector<double> x(n), h(n);
    for (std::int32_t i = 0; i < n; ++i) {
        x[i] = 0.3 * i - 1.0;
        h[i] = std::cos(i * 0.7);
    }
    std::vector<double> expected = x;
    straightforward::ApplyReverb(expected, h);
    std::vector<double> actual = x;
    ApplyReverb(actual, h);
    EXPECT_EQ(actual, expected);
    EXPECT_EQ(actual[0], x[0]);
    EXPECT_EQ(actual[n / 2], x[n / 2]);
    // Frequency 3: (x3 - i x13) (h3 - i h13), stored as real at 3, -imag at 13.
    EXPECT_DOUBLE_EQ(actual[3], x[3] * h[3] - x[13] * h[13]);
    EXPECT_DOUBLE_EQ(actual[13], x[13] * h[3] + x[3] * h[13]);
}

TEST(Reverb, IsOffAtTheThresholdAndOnJustAbove) {
    const std::vector<double> dry = ReverbOutput(0.0);
    EXPECT_EQ(ReverbOutput(0.005), dry);
    const std::vector<double> wet = ReverbOutput(0.0051);
    ASSERT_EQ(wet.size(), dry.size());
    EXPECT_GT(straightforward::RelativeDifference(wet, dry), 0.01);
}
