// Tests of the built vocal cancel plug-in through its exported entry points,
// with a small stand-in for the engine's output pair and resize callback.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "sample_library.h"

namespace {

/// Stand-in for the engine's OutputBuffers, OutputCapacity and ResizeOutput.
struct FakeOutput {
    std::vector<double> left, right;
    ChannelBuffers pair{};
    int capacity = 0;
    std::vector<int> resizeCalls;
    bool refuseResize = false;

    void SetSize(int n, double fill) {
        left.assign(n, fill);
        right.assign(n, fill);
        pair.channel[0] = left.data();
        pair.channel[1] = right.data();
        capacity = n;
    }
};

FakeOutput* activeOutput = nullptr;

void ResizeOutput(int n) {
    FakeOutput& output = *activeOutput;
    output.resizeCalls.push_back(n);
    if (output.refuseResize) return;  // the engine's arrays stay as they were
    output.left.resize(n);
    output.right.resize(n);
    output.pair.channel[0] = output.left.data();
    output.pair.channel[1] = output.right.data();
    output.capacity = n;
}

constexpr double kUntouched = 12345.0;

class VocalCancelTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib_ = &SampleLibrary::Get();
        ASSERT_NE(lib_->handle, nullptr);
        activeOutput = &output_;
        output_.SetSize(100, kUntouched);
        lib_->vocalCancel->store(0);
        lib_->constructer();
    }
    void TearDown() override {
        lib_->destructer();
        lib_->vocalCancel->store(0);
        activeOutput = nullptr;
    }

    void SetInput(std::vector<double> left, std::vector<double> right) {
        inLeft_ = std::move(left);
        inRight_ = std::move(right);
        in_.channel[0] = inLeft_.data();
        in_.channel[1] = inRight_.data();
    }

    int Run(int count) { return lib_->effectEnt(44100, count, &in_, &output_.pair, &output_.capacity, ResizeOutput); }

    const SampleLibrary* lib_ = nullptr;
    FakeOutput output_;
    std::vector<double> inLeft_, inRight_;
    ChannelBuffers in_{};
};

}  // namespace

TEST_F(VocalCancelTest, IdenticalChannelsGiveSilence) {
    lib_->vocalCancel->store(1);
    const std::vector<double> voice = {0.5, -0.25, 0.9, -1.0, 0.0, 0.125};
    SetInput(voice, voice);
    EXPECT_EQ(Run(6), 6);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(output_.left[i], 0.0) << i;
        EXPECT_EQ(output_.right[i], 0.0) << i;
    }
    EXPECT_EQ(output_.left[6], kUntouched);  // nothing beyond the block
}

TEST_F(VocalCancelTest, DifferenceIsNotHalvedNorClipped) {
    lib_->vocalCancel->store(1);
    SetInput({0.6, 1.0, 0.0, 0.25}, {-0.6, 0.0, 0.5, 0.75});
    EXPECT_EQ(Run(4), 4);
    const double expected[] = {1.2, 1.0, -0.5, -0.5};
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(output_.left[i], expected[i]) << i;
        EXPECT_DOUBLE_EQ(output_.right[i], expected[i]) << i;
    }
}

TEST_F(VocalCancelTest, OffPassesEachChannelThrough) {
    SetInput({0.1, 0.2, -0.3, 0.4, 0.5}, {-0.9, 0.8, 0.7, -0.6, 0.0});
    EXPECT_EQ(Run(5), 5);
    EXPECT_EQ(std::vector<double>(output_.left.begin(), output_.left.begin() + 5), inLeft_);
    EXPECT_EQ(std::vector<double>(output_.right.begin(), output_.right.begin() + 5), inRight_);
    EXPECT_TRUE(output_.resizeCalls.empty());
}

TEST_F(VocalCancelTest, SmallOutputIsResizedToExactlyTheCount) {
    lib_->vocalCancel->store(1);
    const int count = 65536;
    std::vector<double> left(count), right(count);
    for (int i = 0; i < count; ++i) {
        left[i] = (i % 200) / 200.0;
        right[i] = (i % 7) / 7.0;
    }
    SetInput(left, right);
    EXPECT_EQ(Run(count), count);
    EXPECT_EQ(output_.resizeCalls, std::vector<int>{count});
    EXPECT_EQ(output_.capacity, count);
    for (int i : {0, 1, 99, 100, 4097, count - 1}) {
        EXPECT_DOUBLE_EQ(output_.left[i], left[i] - right[i]) << i;
        EXPECT_DOUBLE_EQ(output_.right[i], left[i] - right[i]) << i;
    }
}

TEST_F(VocalCancelTest, AfterAStopBlocksPassThroughWholeUntilTheNextJob) {
    lib_->vocalCancel->store(1);
    output_.SetSize(3, kUntouched);
    SetInput({0.1, 0.2, 0.3}, {0.4, 0.5, 0.6});
    lib_->effectStop();
    // Dry and whole: an interrupted save keeps the block it was writing.
    EXPECT_EQ(Run(3), 3);
    EXPECT_EQ(output_.left, (std::vector<double>{0.1, 0.2, 0.3}));
    EXPECT_EQ(output_.right, (std::vector<double>{0.4, 0.5, 0.6}));
    // The stop lasts until the next job's Constructer, which cancels again.
    lib_->destructer();
    output_.SetSize(3, kUntouched);
    EXPECT_EQ(Run(3), 3);
    EXPECT_EQ(output_.left[0], 0.1);
    lib_->constructer();
    EXPECT_EQ(Run(3), 3);
    EXPECT_DOUBLE_EQ(output_.left[0], 0.1 - 0.4);
    EXPECT_DOUBLE_EQ(output_.right[2], 0.3 - 0.6);
}

TEST_F(VocalCancelTest, StopDuringABlockCancelsAPrefixAndPassesTheRestDry) {
    const int count = 1'000'000;
    lib_->vocalCancel->store(1);
    output_.SetSize(count, kUntouched);
    SetInput(std::vector<double>(count, 0.5), std::vector<double>(count, 0.25));
    std::atomic<int> result{-1};
    std::thread worker([&] { result = Run(count); });
    lib_->effectStop();
    worker.join();
    EXPECT_EQ(result.load(), count);
    // A cancelled prefix (0.5 - 0.25 on both), then the input unchanged:
    // once a sample is dry, every later one is.
    int cancelled = 0;
    while (cancelled < count && output_.left[cancelled] == 0.25 && output_.right[cancelled] == 0.25) ++cancelled;
    for (int i = cancelled; i < count; ++i) {
        ASSERT_EQ(output_.left[i], 0.5) << i;
        ASSERT_EQ(output_.right[i], 0.25) << i;
    }
}

TEST_F(VocalCancelTest, RefusedResizeWritesOnlyWhatFits) {
    output_.refuseResize = true;
    SetInput(std::vector<double>(1000, 0.5), std::vector<double>(1000, 0.5));
    // The output holds 100 samples; writing 1000 would run past its end.
    EXPECT_EQ(Run(1000), 100);
    EXPECT_EQ(output_.resizeCalls, std::vector<int>{1000});
    EXPECT_EQ(output_.left.size(), 100u);
    EXPECT_EQ(output_.left[99], 0.5);
}

TEST_F(VocalCancelTest, EmptyOrNegativeCountWritesNothing) {
    SetInput({0.5}, {0.5});
    EXPECT_EQ(Run(0), 0);
    EXPECT_EQ(Run(-5), 0);
    EXPECT_TRUE(output_.resizeCalls.empty());
    EXPECT_EQ(output_.left[0], kUntouched);
}
