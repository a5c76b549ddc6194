// The block flow: frame lengths, call counts, dry mixing, channel rules, the
// stop flag, and the guards for extreme settings and refused memory.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <numbers>
#include <vector>

#include "effect_run.h"
#include "host_output.h"
#include "parameter_block.h"

namespace {

/// Two different, non-trivial channels.
std::vector<double> Channel(std::size_t length, int channel) {
    std::vector<double> x(length);
    for (std::size_t t = 0; t < length; ++t) {
        x[t] =
            0.4 * std::sin(0.031 * t + channel) + 0.2 * std::sin(0.0071 * t * (channel + 1)) + 0.05 * std::cos(1.3 * t);
    }
    return x;
}

class EffectRunTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetParameterBlock();
        host_ = &HostOutput::Reset();
        run_.Construct();
    }
    void TearDown() override {
        run_.Destruct();
        ResetParameterBlock();
    }

    /// Feeds `blocks` blocks of `count` samples of the signals; returns each
    /// call's count and gathers the output.
    std::vector<int> Feed(int rate, int count, int blocks) {
        std::vector<int> counts;
        const auto length = static_cast<std::size_t>(count) * blocks;
        input_[0] = Channel(length, 0);
        input_[1] = Channel(length, 1);
        for (int b = 0; b < blocks; ++b) {
            const ChannelBuffers in{{input_[0].data() + static_cast<std::size_t>(b) * count,
                                     input_[1].data() + static_cast<std::size_t>(b) * count}};
            const int n = run_.Process(rate, count, &in, &host_->buffers, &host_->capacity, HostOutput::Resize);
            counts.push_back(n);
            for (int ch = 0; ch < 2; ++ch) {
                output_[ch].insert(output_[ch].end(), host_->channels[ch].begin(), host_->channels[ch].begin() + n);
            }
        }
        return counts;
    }

    EffectRun run_;
    HostOutput* host_ = nullptr;
    std::vector<double> input_[2];
    std::vector<double> output_[2];
};

}  // namespace

TEST(FrameLengthForRate, SwitchesAtTheRateBoundaries) {
    EXPECT_EQ(FrameLengthForRate(66150), 131072);
    EXPECT_EQ(FrameLengthForRate(66149), 65536);
    EXPECT_EQ(FrameLengthForRate(33075), 65536);
    EXPECT_EQ(FrameLengthForRate(33074), 32768);
    EXPECT_EQ(FrameLengthForRate(16537), 32768);
    EXPECT_EQ(FrameLengthForRate(16536), 16384);
    EXPECT_EQ(FrameLengthForRate(8268), 16384);
    EXPECT_EQ(FrameLengthForRate(8267), 8192);
    EXPECT_EQ(FrameLengthForRate(44100), 65536);
    EXPECT_EQ(FrameLengthForRate(48000), 65536);
    EXPECT_EQ(FrameLengthForRate(22050), 32768);
    EXPECT_EQ(FrameLengthForRate(11025), 16384);
    EXPECT_EQ(FrameLengthForRate(8000), 8192);
    EXPECT_EQ(FrameLengthForRate(0), 8192);
}

TEST_F(EffectRunTest, FirstCallCompletesOneFrameThenTwoPerCall) {
    const std::vector<int> counts = Feed(44100, 65536, 4);
    EXPECT_EQ(counts, (std::vector<int>{32768, 65536, 65536, 65536}));
    EXPECT_EQ(run_.HeldSamples(), 32768);
}

TEST_F(EffectRunTest, EmptyBlockReturnsNothingAndKeepsTheQueue) {
    Feed(8000, 5000, 1);
    const int held = run_.HeldSamples();
    EXPECT_EQ(run_.Process(8000, 0, nullptr, &host_->buffers, &host_->capacity, HostOutput::Resize), 0);
    EXPECT_EQ(run_.HeldSamples(), held);
}

TEST_F(EffectRunTest, NoApplicationReproducesTheInputExactly) {
    ApplyRatio.store(0.0);
    Feed(44100, 65536, 3);
    ASSERT_EQ(output_[0].size(), 32768u + 2 * 65536u);
    for (int ch = 0; ch < 2; ++ch) {
        for (std::size_t i = 0; i < output_[ch].size(); ++i) {
            ASSERT_EQ(output_[ch][i], input_[ch][i]) << ch << " at " << i;
        }
    }
}

TEST_F(EffectRunTest, SpeedTwoGivesAQuarterFramePerHopAndHalfGivesAWholeFrame) {
    SpeedExponent.store(1.0);
    EXPECT_EQ(Feed(22050, 32768, 3), (std::vector<int>{8192, 16384, 16384}));
    run_.Construct();
    SpeedExponent.store(-1.0);
    ApplyRatio.store(0.0);
    output_[0].clear();
    output_[1].clear();
    EXPECT_EQ(Feed(22050, 32768, 2), (std::vector<int>{32768, 65536}));
    // The dry share of each hop is its whole frame.
    for (std::size_t i = 0; i < 32768; ++i) {
        ASSERT_EQ(output_[0][i], input_[0][i]);
        ASSERT_EQ(output_[0][32768 + i], input_[0][16384 + i]);
    }
}

TEST_F(EffectRunTest, TheStatedSpeedIsWhatTheBlocksGive) {
    // A block of N input samples gives two hops once the first frame is in.
    ApplyRatio.store(0.0);
    for (const auto [pitch, speed] : {std::array{0.0, 0.0}, std::array{0.5, 0.0}, std::array{-0.3, 0.7}}) {
        PitchOctaves.store(pitch);
        SpeedExponent.store(speed);
        run_.Construct();
        const std::vector<int> counts = Feed(22050, 32768, 3);
        EXPECT_EQ(OutputPerInput(22050), counts[2] / 32768.0) << pitch << ", " << speed;
    }
}

TEST_F(EffectRunTest, StopCutsBandWorkWhileCountsStay) {
    const std::vector<int> expected = Feed(8000, 8192, 4);
    run_.Construct();
    output_[0].clear();
    output_[1].clear();
    std::vector<int> counts = Feed(8000, 8192, 1);
    run_.RequestStop();
    // The signal continues where the first call left it.
    std::vector<double> more[2] = {Channel(8192 * 4, 0), Channel(8192 * 4, 1)};
    for (int b = 1; b < 4; ++b) {
        const ChannelBuffers in{{more[0].data() + b * 8192, more[1].data() + b * 8192}};
        const int n = run_.Process(8000, 8192, &in, &host_->buffers, &host_->capacity, HostOutput::Resize);
        counts.push_back(n);
        if (b == 1) {
            // First hop: the tail the frame before the stop left; second: silence.
            double tail = 0.0;
            for (int i = 0; i < 4096; ++i) tail = std::max(tail, std::fabs(host_->channels[0][i]));
            EXPECT_GT(tail, 0.01);
            for (int i = 4096; i < n; ++i) ASSERT_EQ(host_->channels[0][i], 0.0) << i;
        }
    }
    EXPECT_EQ(counts, expected);
    EXPECT_TRUE(run_.StopRequested());
    run_.Destruct();
    EXPECT_TRUE(run_.StopRequested());
    run_.Construct();
    EXPECT_FALSE(run_.StopRequested());
}

TEST_F(EffectRunTest, UnprocessedChannelsPassDryEvenAtFullApplication) {
    ProcessLeft.store(0);
    ProcessRight.store(0);
    Feed(8000, 8192, 3);
    for (int ch = 0; ch < 2; ++ch) {
        for (std::size_t i = 0; i < output_[ch].size(); ++i) ASSERT_EQ(output_[ch][i], input_[ch][i]);
    }
}

TEST_F(EffectRunTest, OnlyTheProcessedChannelChanges) {
    ProcessLeft.store(0);
    Feed(8000, 8192, 3);
    double rightChange = 0.0;
    for (std::size_t i = 0; i < output_[0].size(); ++i) {
        ASSERT_EQ(output_[0][i], input_[0][i]);
        rightChange = std::max(rightChange, std::fabs(output_[1][i] - input_[1][i]));
    }
    EXPECT_GT(rightChange, 0.01);
}

TEST_F(EffectRunTest, NoBandLeavesOnlyTheDryShare) {
    BandMask.store(0);
    ApplyRatio.store(0.25);
    Feed(8000, 8192, 3);
    for (int ch = 0; ch < 2; ++ch) {
        for (std::size_t i = 0; i < output_[ch].size(); ++i) {
            ASSERT_NEAR(output_[ch][i], 0.75 * input_[ch][i], 1e-15);
        }
    }
}

TEST_F(EffectRunTest, MonoSendsTheLeftResultToBothOutputs) {
    ProcessMono.store(1);
    Feed(8000, 8192, 3);
    for (std::size_t i = 0; i < output_[0].size(); ++i) ASSERT_EQ(output_[1][i], output_[0][i]);
    run_.Construct();
    output_[0].clear();
    output_[1].clear();
    ProcessRight.store(0);
    Feed(8000, 8192, 3);
    for (std::size_t i = 0; i < output_[1].size(); ++i) ASSERT_EQ(output_[1][i], input_[0][i]);
}

TEST_F(EffectRunTest, ApplicationAboveOneActsAsOne) {
    ApplyRatio.store(1.0);
    Feed(8000, 8192, 2);
    const std::vector<double> full = output_[0];
    run_.Construct();
    output_[0].clear();
    output_[1].clear();
    ApplyRatio.store(3.0);
    Feed(8000, 8192, 2);
    EXPECT_EQ(output_[0], full);
}

TEST_F(EffectRunTest, VanishingStretchGivesNoBandContentAndNoHang) {
    // Speed x2^17 shrinks a frame of 65536 below one sample: M = 0.
    SpeedExponent.store(17.0);
    EXPECT_EQ(Feed(44100, 65536, 2), (std::vector<int>{0, 0}));
    EXPECT_EQ(run_.HeldSamples(), 32768);
    // At 8000 Hz and speed x1024, the shortest crossfades truncate to 0.
    run_.Construct();
    SpeedExponent.store(10.0);
    EXPECT_EQ(Feed(8000, 8192, 2), (std::vector<int>{4, 8}));
}

TEST_F(EffectRunTest, StretchBeyondTheMemoryBoundGivesBackNothing) {
    // A typed 9.5 octaves stretches a frame of 65536 to 47 million samples,
    // over the bound of 2^25: nothing is allocated and nothing comes back.
    PitchOctaves.store(9.5);
    EXPECT_EQ(Feed(44100, 65536, 1), (std::vector<int>{0}));
    EXPECT_EQ(run_.HeldSamples(), 0);
    PitchOctaves.store(40.0);
    EXPECT_EQ(Feed(44100, 65536, 1), (std::vector<int>{0}));
    PitchOctaves.store(std::nan(""));
    EXPECT_EQ(Feed(44100, 65536, 1), (std::vector<int>{0}));
}

TEST_F(EffectRunTest, RefusedOutputGrowthKeepsTheFrameForTheNextCall) {
    Feed(44100, 65536, 3);
    const std::vector<double> unlimited = output_[0];
    output_[0].clear();
    output_[1].clear();
    run_.Construct();
    host_ = &HostOutput::Reset(50000, 50000);
    const std::vector<int> counts = Feed(44100, 65536, 3);
    // One hop of 32768 fits in 50000, a second does not and the host refuses
    // to grow: each call gives back its first hop, and the frame that found
    // no room waits for the next call.
    EXPECT_EQ(counts, (std::vector<int>{32768, 32768, 32768}));
    EXPECT_EQ(run_.HeldSamples(), 3 * 65536 - 3 * 32768);
    EXPECT_EQ(host_->capacity, 50000);
    EXPECT_EQ(host_->resizeCalls, 2);
    // No sound is lost: the output is the unlimited output's beginning.
    ASSERT_LE(output_[0].size(), unlimited.size());
    EXPECT_TRUE(std::equal(output_[0].begin(), output_[0].end(), unlimited.begin()));

    // Blocks of four frames against one hop per call: the waiting frames
    // stay within 2^22 samples, however long the host keeps refusing.
    run_.Construct();
    Feed(44100, 4 * 65536, 24);
    EXPECT_LE(run_.HeldSamples(), (1 << 22) + 4 * 65536);
}

TEST_F(EffectRunTest, AskForTwiceTheRunningTotal) {
    Feed(44100, 65536, 3);
    // One request for 2 x 32768 in the first call; later calls fit in it.
    EXPECT_EQ(host_->capacity, 2 * 32768);
    EXPECT_EQ(host_->resizeCalls, 1);
}

TEST_F(EffectRunTest, ConstructTakesOverARunThatNeverEnded) {
    Feed(44100, 65536, 2);
    run_.Construct();
    EXPECT_EQ(run_.HeldSamples(), 0);
    EXPECT_EQ(Feed(44100, 65536, 1), (std::vector<int>{32768}));
}
