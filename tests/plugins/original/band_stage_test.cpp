// The band stage: zero-crossing search, crossfade lengths, the splice, the
// frame window, and whole band stages against the step-by-step arithmetic.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <numbers>
#include <vector>

#include "band_stage.h"
#include "real_fft.h"
#include "straightforward_effect.h"

namespace {

std::vector<double> Tone(std::int32_t n, double period, double phase = 0.0) {
    std::vector<double> x(static_cast<std::size_t>(n));
    for (std::int32_t t = 0; t < n; ++t) x[t] = std::sin(2 * std::numbers::pi * t / period + phase);
    return x;
}

/// A frame with several tones and a little noise, as the core sees it:
/// scaled by 2/N and transformed.
std::vector<double> MusicSpectrum(std::int32_t n) {
    std::vector<double> x(static_cast<std::size_t>(n));
    std::uint32_t seed = 3;
    for (std::int32_t t = 0; t < n; ++t) {
        seed = seed * 1664525u + 1013904223u;
        const double noise = static_cast<double>(seed >> 8) / (1u << 24) - 0.5;
        x[t] =
            0.5 * std::sin(t * 0.0627) + 0.3 * std::sin(t * 0.311 + 1) + 0.1 * std::sin(t * 1.7) + 0.05 * noise + 0.01;
    }
    for (double& v : x) v /= n / 2;
    straightforward::RealFft(x);
    return x;
}

}  // namespace

TEST(FindRisingZeroCrossing, FindsTheFirstCrossingWithinTheSpan) {
    const std::vector<double> x = {0.5, -1.0, -0.5, 0.0, 1.0, -1.0, 2.0};
    std::int32_t position = 0;
    FindRisingZeroCrossing(position, x, 7, 10);
    EXPECT_EQ(position, 3);  // -0.5 then 0.0 counts as rising
    position = 4;
    FindRisingZeroCrossing(position, x, 7, 10);
    EXPECT_EQ(position, 6);
}

TEST(FindRisingZeroCrossing, KeepsThePositionWhenTheSpanEndsFirst) {
    const std::vector<double> x = {1.0, -1.0, -1.0, -1.0, 1.0};
    std::int32_t position = 1;
    FindRisingZeroCrossing(position, x, 5, 3);  // examines 1, 2, 3 only
    EXPECT_EQ(position, 1);
    FindRisingZeroCrossing(position, x, 5, 4);
    EXPECT_EQ(position, 4);
}

TEST(FindRisingZeroCrossing, ReadsIndexNAsZeroAndNeverIndexZero) {
    const std::vector<double> x = {1.0, 1.0, -1.0};
    std::int32_t position = 0;
    FindRisingZeroCrossing(position, x, 3, 10);
    EXPECT_EQ(position, 3);  // x[2] < 0 and the sample after the end is 0.0
    position = 0;
    FindRisingZeroCrossing(position, x, 2, 10);
    EXPECT_EQ(position, 0);  // limit 2 keeps index 3 out of reach
}

TEST(FindRisingZeroCrossing, AgreesWithTheSampleBySampleSearchEverywhere) {
    // Long stretches of one sign, a few crossings, exact zeros and a negative
    // end: every start, limit and span around them, against the plain loop.
    std::vector<double> x(203);
    std::uint32_t seed = 5;
    double sign = -1.0;
    for (std::size_t t = 0; t < x.size(); ++t) {
        seed = seed * 1664525u + 1013904223u;
        if (seed % 23 == 0) sign = -sign;
        x[t] = seed % 31 == 0 ? 0.0 : sign * (1 + seed % 7);
    }
    x.back() = -1.0;
    const auto n = static_cast<std::int32_t>(x.size());
    for (std::int32_t start = 0; start <= n + 1; ++start) {
        for (std::int32_t span : {0, 1, 7, 8, 9, 17, 64, 500}) {
            for (std::int32_t limit : {n, n - 1, start + 3}) {
                std::int32_t fast = start, plain = start;
                FindRisingZeroCrossing(fast, x, limit, span);
                straightforward::FindRisingZeroCrossing(plain, x, limit, span);
                ASSERT_EQ(fast, plain) << start << " " << span << " " << limit;
            }
        }
    }
}

TEST(SpliceFactor, FollowsTheStretch) {
    EXPECT_NEAR(SpliceFactor(1.0), 266.66666666666663, 1e-12);
    EXPECT_NEAR(SpliceFactor(2.0), 59.795, 1e-3);
    EXPECT_DOUBLE_EQ(SpliceFactor(1.005), 400.0);
    EXPECT_DOUBLE_EQ(SpliceFactor(1.109), 400.0);
    EXPECT_LT(SpliceFactor(1.12), 400.0);
    EXPECT_LT(SpliceFactor(0.999), 266.66666666666663);
    EXPECT_NEAR(SpliceFactor(0.5), 133.333, 1e-3);
}

TEST(HalfCrossfade, MatchesTheTableOfLengths) {
    struct Row {
        std::int32_t rate;
        double ratio;
        std::vector<std::int32_t> lengths;  // k = 7, 8, ...
    };
    const std::vector<Row> rows = {
        {44100, 1.0, {8533, 6033, 4266, 3016, 2133, 1508, 1066, 754, 533}},
        {44100, 2.0, {1913, 1352, 956, 676, 478, 338, 239, 169, 119}},
        {44100, 0.5, {4266, 3016, 2133, 1508, 1066, 754, 533, 377, 266}},
        {44100, 1.005, {12800, 9050, 6400, 4525, 3200, 2262, 1600, 1131, 800}},
        {22050, 1.0, {4266, 3016, 2133, 1508, 1066, 754, 533, 377}},
    };
    for (const Row& row : rows) {
        for (std::size_t b = 0; b < row.lengths.size(); ++b) {
            const auto band = static_cast<std::int32_t>(7 + b);
            EXPECT_EQ(HalfCrossfade(band, row.ratio, row.rate), row.lengths[b])
                << row.rate << " Hz, ratio " << row.ratio << ", band " << band;
        }
    }
}

TEST(HalfCrossfade, IsAtLeastOneSoTheSpliceAdvances) {
    EXPECT_EQ(HalfCrossfade(15, 0.0001, 8000), 1);
    EXPECT_EQ(HalfCrossfade(15, 1.0, 1), 1);
    EXPECT_EQ(HalfCrossfade(15, 1.0, 0), 1);
}

TEST(SpliceBand, WorkedExampleGivesTheKnownPieces) {
    const std::vector<double> x = Tone(4000, 37.3);
    std::vector<double> y(6000, 0.0);
    std::vector<SplicePiece> pieces;
    SpliceBand(x, y, Crossfade(20, 4000 + 21), &pieces);
    ASSERT_GE(pieces.size(), 4u);
    const std::int32_t expected[4][3] = {{0, 0, 40}, {40, 38, 78}, {80, 53, 112}, {139, 92, 150}};
    for (int p = 0; p < 4; ++p) {
        EXPECT_EQ(pieces[p].outputAnchor, expected[p][0]) << p;
        EXPECT_EQ(pieces[p].inputAnchor, expected[p][1]) << p;
        EXPECT_EQ(pieces[p].nextCut, expected[p][2]) << p;
    }
    // The stretch fills the output: the last piece ends near M.
    EXPECT_GT(pieces.back().outputAnchor, 6000 - 2 * 40 - 100);
}

TEST(SpliceBand, RatioOneReproducesTheBandBetweenItsEdges) {
    const std::int32_t n = 8192, s = 50;
    const std::vector<double> x = Tone(n, 91.7, 0.3);
    std::vector<double> y(n, 0.0);
    SpliceBand(x, y, Crossfade(s, n + s + 1));
    std::int32_t firstAnchor = 0;
    FindRisingZeroCrossing(firstAnchor, x, n, s);
    for (std::int32_t i = firstAnchor + s; i < n - 3 * s; ++i) {
        ASSERT_NEAR(y[i], x[i], 1e-12) << i;
    }
    // No crossing within s of the start: the first anchor is 0, and its
    // fade-in, centred there, gives index 0 half weight.
    ASSERT_EQ(firstAnchor, 0);
    EXPECT_NEAR(y[0], 0.5 * x[0], 1e-12);
    EXPECT_NEAR(y[s / 2], (1 - std::cos(std::numbers::pi * (s + s / 2) / (2 * s))) / 2 * x[s / 2], 1e-12);
}

TEST(SpliceBand, WithoutCrossingsCutsAtTheSearchStarts) {
    const std::vector<double> x(1000, 1.0);
    std::vector<double> y(1000, 0.0);
    std::vector<SplicePiece> pieces;
    SpliceBand(x, y, Crossfade(10, 1011), &pieces);
    ASSERT_GE(pieces.size(), 3u);
    EXPECT_EQ(pieces[1].outputAnchor, 20);
    EXPECT_EQ(pieces[1].inputAnchor, 20);
    EXPECT_EQ(pieces[1].nextCut, 40);
    for (std::int32_t i = 10; i < 900; ++i) ASSERT_NEAR(y[i], 1.0, 1e-12) << i;
}

TEST(SpliceBand, MatchesTheStepByStepSpliceWhenStretchingAndShrinking) {
    const std::vector<double> x = Tone(8192, 53.1, 1.0);
    for (std::int32_t m : {8192, 12345, 4000, 16384, 100}) {
        for (std::int32_t s : {1, 7, 300, 5000}) {
            std::vector<double> fast(static_cast<std::size_t>(m), 0.0);
            std::vector<double> reference = fast;
            SpliceBand(x, fast, Crossfade(s, 8192 + s + 1));
            straightforward::Splice(x, reference, s);
            ASSERT_LT(straightforward::RelativeDifference(fast, reference), 1e-12) << m << " " << s;
        }
    }
}

TEST(FrameWindow, HannAtRatioOneAndSineFromOnePercent) {
    EXPECT_NEAR(FrameWindow(1.0, 0.25, false), 0.5, 1e-15);
    EXPECT_NEAR(FrameWindow(1.0, 0.5, false), 1.0, 1e-15);
    EXPECT_NEAR(FrameWindow(1.0, 0.0, false), 0.0, 1e-15);
    for (double t : {0.1, 0.2, 0.37}) {
        EXPECT_NEAR(FrameWindow(1.0, t, false) + FrameWindow(1.0, t + 0.5, false), 1.0, 1e-12);
        const double a = FrameWindow(2.0, t, false), b = FrameWindow(2.0, t + 0.5, false);
        EXPECT_NEAR(a * a + b * b, 1.0, 1e-12);
        EXPECT_NEAR(FrameWindow(0.99, t, false), std::sin(std::numbers::pi * t), 1e-9);
    }
    // Half a percent blends the two windows equally.
    const double t = 0.2;
    EXPECT_NEAR(FrameWindow(1.005, t, false), 0.5 * FrameWindow(1.0, t, false) + 0.5 * std::sin(std::numbers::pi * t),
                1e-9);
}

TEST(FrameWindow, FirstFrameIsFlatInItsFirstHalfOnly) {
    EXPECT_EQ(FrameWindow(1.0, 0.0, true), 1.0);
    EXPECT_EQ(FrameWindow(1.7, 0.49, true), 1.0);
    EXPECT_NEAR(FrameWindow(1.0, 0.75, true), 0.5, 1e-15);
}

TEST(RunBandStage, MatchesTheStepByStepArithmeticOnSeveralFrames) {
    struct Case {
        std::int32_t n;
        std::int32_t rate;
        double ratio;
        std::int32_t mask;
        bool firstFrame;
    };
    const std::vector<Case> cases = {
        {65536, 44100, 1.0, -1, true},    {65536, 44100, std::pow(2.0, 0.4166666), -1, false},
        {32768, 22050, 0.5, 0x55, false}, {8192, 8000, 1.3, 0x3f, false},
        {131072, 96000, 0.75, -1, false},
    };
    for (const Case& c : cases) {
        const auto m = static_cast<std::int32_t>(c.n * c.ratio);
        const std::vector<double> spectrum = MusicSpectrum(c.n);
        std::vector<double> reference(static_cast<std::size_t>(m), 0.0);
        straightforward::BandStage(spectrum, reference, c.ratio, c.rate, c.mask, c.firstFrame);

        const FftTables fft(c.n);
        const BandTables tables(c.n, m, c.ratio, c.rate);
        std::vector<double> bandSignal(static_cast<std::size_t>(c.n)), bandStretch(static_cast<std::size_t>(m));
        std::vector<double> overlap(static_cast<std::size_t>(m), 0.0);
        const std::atomic<std::int32_t> stop{0};
        BandStageFrame frame{spectrum, bandSignal, bandStretch, overlap, c.mask, c.firstFrame, &stop};
        RunBandStage(tables, fft, frame);
        EXPECT_LT(straightforward::RelativeDifference(overlap, reference), 1e-9) << c.n << " " << c.ratio;
    }
}

TEST(RunBandStage, AtRatioOneAddsTheHighPassedFrameTimesHann) {
    const std::int32_t n = 65536;
    std::vector<double> x = Tone(n, static_cast<double>(n) / 1500);  // exactly on bin 1500
    std::vector<double> spectrum = x;
    for (double& v : spectrum) v /= n / 2;
    const FftTables fft(n);
    RealFft(spectrum, fft);
    const BandTables tables(n, n, 1.0, 44100);
    std::vector<double> bandSignal(n), bandStretch(n), overlap(n, 0.0);
    const std::atomic<std::int32_t> stop{0};
    BandStageFrame frame{spectrum, bandSignal, bandStretch, overlap, -1, false, &stop};
    RunBandStage(tables, fft, frame);
    for (std::int32_t i = n / 4; i < 3 * n / 4; ++i) {
        ASSERT_NEAR(overlap[i], x[i] * FrameWindow(1.0, static_cast<double>(i) / n, false), 1e-9) << i;
    }
}

TEST(RunBandStage, ClearMaskOrStopAddsNothing) {
    const std::int32_t n = 8192;
    const std::vector<double> spectrum = MusicSpectrum(n);
    const FftTables fft(n);
    const BandTables tables(n, n, 1.0, 8000);
    std::vector<double> bandSignal(n), bandStretch(n), overlap(n, 0.25);
    std::atomic<std::int32_t> stop{0};
    // Bits above the highest band (bit 5 at N = 8192) select nothing.
    BandStageFrame frame{spectrum, bandSignal, bandStretch, overlap, ~0x3f, false, &stop};
    RunBandStage(tables, fft, frame);
    for (double v : overlap) ASSERT_EQ(v, 0.25);
    stop.store(1);
    frame.bandMask = -1;
    RunBandStage(tables, fft, frame);
    for (double v : overlap) ASSERT_EQ(v, 0.25);
    stop.store(0);
    RunBandStage(tables, fft, frame);
    double changed = 0.0;
    for (double v : overlap) changed = std::max(changed, std::fabs(v - 0.25));
    EXPECT_GT(changed, 0.01);
}
