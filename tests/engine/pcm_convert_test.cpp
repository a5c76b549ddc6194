// Tests of the conversions between PCM and working samples, including the
// sample-and-hold rate conversion and the rounding and clamping of encoding.
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>
#include <vector>

#include "block_producer.h"
#include "pcm_convert.h"
#include "support/wav_bytes.h"

namespace {

struct Working {
    std::vector<double> left, right;
};

// Both directions get buffers longer than the frames they convert; the
// guard values past the end must survive, or a conversion wrote out of bounds.
constexpr double kGuardSample = 99.0;
constexpr std::uint8_t kGuardByte = 0xEE;
constexpr std::size_t kGuardCount = 4;

Working Decode(int channels, int bits, int sourceFrames, const Bytes& raw, int workingFrames) {
    const std::size_t size = static_cast<std::size_t>(workingFrames) + kGuardCount;
    Working w{std::vector<double>(size, kGuardSample), std::vector<double>(size, kGuardSample)};
    PcmToWorking(channels, bits, sourceFrames, raw, workingFrames, w.left, w.right);
    for (std::vector<double>* channel : {&w.left, &w.right}) {
        EXPECT_EQ(std::vector<double>(channel->end() - kGuardCount, channel->end()),
                  std::vector<double>(kGuardCount, kGuardSample))
            << "decoding wrote past " << workingFrames << " frames";
        channel->resize(static_cast<std::size_t>(workingFrames));
    }
    return w;
}

Bytes Encode(const std::vector<double>& left, const std::vector<double>& right, int channels, int bits) {
    const std::size_t size = left.size() * static_cast<std::size_t>(channels * bits / 8);
    Bytes out(size + kGuardCount, kGuardByte);
    WorkingToPcm(left, right, static_cast<int>(left.size()), channels, bits, out);
    EXPECT_EQ(Bytes(out.begin() + static_cast<std::ptrdiff_t>(size), out.end()), Bytes(kGuardCount, kGuardByte))
        << "encoding wrote past " << left.size() << " frames";
    out.resize(size);
    return out;
}

std::vector<int> Encode16(const std::vector<double>& values) {
    const Bytes bytes = Encode(values, values, 1, 16);
    std::vector<int> result;
    for (std::size_t i = 0; i < bytes.size(); i += 2) {
        result.push_back(static_cast<std::int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return result;
}

TEST(PcmToWorking, EightBitScaleIsByteMinus128Over128) {
    const Working w = Decode(1, 8, 3, Bytes{0, 128, 255}, 3);
    EXPECT_EQ(w.left, (std::vector<double>{-1.0, 0.0, 0.9921875}));
    EXPECT_EQ(w.right, w.left) << "mono fills both channels";
}

TEST(PcmToWorking, SixteenBitScaleIsValueOver32768) {
    Bytes raw;
    for (int v : {-32768, 32767, 1, 0}) {
        AppendLe16(raw, static_cast<std::uint16_t>(v));
    }
    const Working w = Decode(2, 16, 2, raw, 2);
    EXPECT_EQ(w.left, (std::vector<double>{-1.0, 1.0 / 32768}));
    EXPECT_EQ(w.right, (std::vector<double>{32767.0 / 32768, 0.0}));
}

TEST(PcmToWorking, DecodesTwentyFourAndThirtyTwoBitInsteadOfSilence) {
    const Bytes raw24 = {0x00, 0x00, 0x80, 0xFF, 0xFF, 0x7F, 0x01, 0x00, 0x00};
    const Working w24 = Decode(1, 24, 3, raw24, 3);
    EXPECT_EQ(w24.left, (std::vector<double>{-1.0, 8388607.0 / 8388608, 1.0 / 8388608}));
    Bytes raw32;
    AppendLe32(raw32, 0x80000000u);
    AppendLe32(raw32, 0x40000000u);
    const Working w32 = Decode(2, 32, 1, raw32, 1);
    EXPECT_EQ(w32.left[0], -1.0);
    EXPECT_EQ(w32.right[0], 0.5);
}

TEST(PcmToWorking, KeepsTheFirstTwoOfMoreChannels) {
    Bytes raw;
    for (int v : {1000, -2000, 3000, 4000, 5000, -6000, 7000, 8000}) {
        AppendLe16(raw, static_cast<std::uint16_t>(v));
    }
    const Working w = Decode(4, 16, 2, raw, 2);
    EXPECT_EQ(w.left, (std::vector<double>{1000.0 / 32768, 5000.0 / 32768}));
    EXPECT_EQ(w.right, (std::vector<double>{-2000.0 / 32768, -6000.0 / 32768}));
}

TEST(PcmToWorking, SampleAndHoldTakesOrRepeatsSourceFrames) {
    Bytes raw;
    for (int f = 0; f < 8; ++f) {
        raw.push_back(static_cast<std::uint8_t>(128 + f));
    }
    const auto at = [](double v) { return static_cast<int>(v * 128); };
    const Working down = Decode(1, 8, 8, raw, 4);
    EXPECT_EQ(at(down.left[1]), 2);
    EXPECT_EQ(at(down.left[3]), 6);
    const Working up = Decode(1, 8, 8, raw, 16);
    EXPECT_EQ(at(up.left[0]), 0);
    EXPECT_EQ(at(up.left[1]), 0);
    EXPECT_EQ(at(up.left[2]), 1);
    EXPECT_EQ(at(up.left[15]), 7);
}

TEST(PcmToWorking, FortyEightKiloHertzBlockTruncatesItsFrameCount) {
    EXPECT_EQ(WorkingFramesPerBlock(65536, 48000, 44100), 71331);
    EXPECT_EQ(WorkingFramesPerBlock(65536, 22050, 44100), 32768);
    EXPECT_EQ(WorkingFramesPerBlock(65536, 44100, 22050), 131072);
    EXPECT_EQ(WorkingFramesPerBlock(65536, 11025, 44100), 16384);
    EXPECT_EQ(WorkingFramesPerBlock(65536, 44100, 44100), 65536);
    Bytes raw;
    for (int f = 0; f < 65536; ++f) {
        AppendLe16(raw, static_cast<std::uint16_t>(f - 32768));
    }
    const Working w = Decode(1, 16, 65536, raw, 71331);
    for (int i : {0, 1, 12, 13, 71330}) {
        const std::int64_t s = std::int64_t{i} * 65536 / 71331;
        EXPECT_EQ(w.left[static_cast<std::size_t>(i)], (s - 32768) / 32768.0) << "frame " << i;
    }
}

TEST(WorkingToPcm, SixteenBitRoundsHalfUpAndClamps) {
    EXPECT_EQ(Encode16({1.0, -1.0, 0.5 / 32768, -0.5 / 32768, 1.5 / 32768, 2.0, -3.0}),
              (std::vector<int>{32767, -32768, 1, 0, 2, 32767, -32768}));
}

TEST(WorkingToPcm, EightBitRoundsHalfUpAndStoresUnsigned) {
    const std::vector<double> values = {1.0, -1.0, 0.0, 0.5 / 128, -0.5 / 128, -1.5};
    EXPECT_EQ(Encode(values, values, 1, 8), (Bytes{255, 0, 128, 129, 128, 0}));
}

TEST(WorkingToPcm, MonoIsTheMeanAndStereoInterleaves) {
    const std::vector<double> left = {0.5, -1.0};
    const std::vector<double> right = {0.25, 1.0};
    EXPECT_EQ(Encode(left, right, 1, 8), (Bytes{128 + 48, 128}));
    EXPECT_EQ(Encode(left, right, 2, 8), (Bytes{192, 160, 0, 255}));
}

TEST(WorkingToPcm, NonFiniteSamplesStoreSilenceOrClamp) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    EXPECT_EQ(Encode16({nan, inf, -inf}), (std::vector<int>{0, 32767, -32768}));
}

TEST(WorkingToPcm, OtherWidthsStoreNothing) {
    const std::vector<double> values = {0.5};
    Bytes out(8, 0xEE);
    WorkingToPcm(values, values, 1, 2, 24, out);
    EXPECT_EQ(out, Bytes(8, 0xEE));
}

TEST(PcmRoundTrip, EightAndSixteenBitSamplesComeBackExactly) {
    Bytes raw8;
    for (int v = 0; v < 256; ++v) {
        raw8.push_back(static_cast<std::uint8_t>(v));
    }
    const Working w8 = Decode(1, 8, 256, raw8, 256);
    EXPECT_EQ(Encode(w8.left, w8.right, 1, 8), raw8);
    const Bytes raw16 = Pattern16Samples(3000, 2);
    const Working w16 = Decode(2, 16, 3000, raw16, 3000);
    EXPECT_EQ(Encode(w16.left, w16.right, 2, 16), raw16);
}

}  // namespace
