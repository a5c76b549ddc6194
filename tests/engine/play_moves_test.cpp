// Known-answer tests of a play that moves, through SDL's disk driver running
// at about real time: a play from a start frame, a seek of the running play,
// and the loop's junction.
// Every source frame holds its own index, so each captured frame tells where
// in the source it came from.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "crossfade.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_file.h"

namespace {

using namespace std::chrono_literals;
constexpr int kRate = 44100;

// Never silent, so silence in a capture is the device waiting, not data.
std::int16_t SourceValue(std::int64_t frame) { return static_cast<std::int16_t>(1 + frame % 30000); }

std::vector<std::int16_t> SoundingFrames(const Bytes& pcm) {
    std::vector<std::int16_t> frames;
    for (std::size_t at = 0; at + 1 < pcm.size(); at += 2) {
        const auto value = static_cast<std::int16_t>(pcm[at] | (pcm[at + 1] << 8));
        if (value != 0) frames.push_back(value);
    }
    return frames;
}

// The count of frames from `from` on that continue the source from `frame`,
// taking every `step`th source frame.
std::size_t Matching(const std::vector<std::int16_t>& captured, std::size_t from, std::int64_t frame,
                     std::int64_t step = 1) {
    std::size_t k = 0;
    while (from + k < captured.size() &&
           captured[from + k] == SourceValue(frame + step * static_cast<std::int64_t>(k))) {
        ++k;
    }
    return k;
}

class PlayMoves : public ::testing::Test {
protected:
    void SetUp() override {
        capture_ = dir_.Path("capture.raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture_.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "46", 1);  // one 2048-frame period at 44.1 kHz: about real time
    }

    void StartPlay(int frames, std::int64_t from, const TestPlugin& chain) {
        Bytes samples;
        for (int f = 0; f < frames; ++f) AppendLe16(samples, static_cast<std::uint16_t>(SourceValue(f)));
        const std::string source = dir_.Path("source.wav");
        WriteFileBytes(source, PcmWav(1, kRate, 16, samples));
        ASSERT_TRUE(engine_.PrepareJob({chain.Handle()}, source, "", 1, kRate, 16, SourceBlockFrames, -1));
        engine_.SetPlayStart(from);
        ASSERT_TRUE(engine_.StartPlay());
    }

    std::vector<std::int16_t> WaitForEnd() {
        const std::optional<WindowInbox::Message> end = inbox_.Next();
        EXPECT_TRUE(end.has_value() && end->message == WM_WAVE_PLAY_ENDED && end->lParam == 0);
        return SoundingFrames(ReadFileBytes(capture_));
    }

    TempDir dir_;
    std::string capture_;
    WindowInbox inbox_;
    CWaveFile engine_{inbox_.Target()};
};

// The moves through a chain without delay, and through one that gives its
// sound 30000 frames late, as an effect working in long frames does: more
// than a moved run's pre-roll and first blocks, and more than the loop.
class PlayMovesThrough : public PlayMoves, public ::testing::WithParamInterface<const char*> {
protected:
    void SetUp() override {
        PlayMoves::SetUp();
        *chain_.Symbol<int>("HoldBack") = GetParam() == std::string("delaying") ? 30000 : 0;
    }
    TestPlugin chain_{"holdback"};
};

INSTANTIATE_TEST_SUITE_P(Chains, PlayMovesThrough, ::testing::Values("direct", "delaying"));

TEST_P(PlayMovesThrough, PlayFromAFrameAndASeekPlayTheSourceFromThere) {
    const std::int64_t start = 30000, target = 150000;
    const int frames = 170000;
    StartPlay(frames, start, chain_);
    std::this_thread::sleep_for(100ms);
    const std::int64_t heard = engine_.HeardFrame();
    EXPECT_GE(heard, start);
    EXPECT_LT(heard, start + kRate);
    ASSERT_TRUE(engine_.SeekPlay(target));
    const std::vector<std::int16_t> captured = WaitForEnd();
    // The source from the start up to where the seek met the device, the
    // old sound fading out under the new for the join, then the source from
    // the target to its end: nothing lost, nothing repeated, no silence.
    const auto fade = static_cast<std::size_t>(CrossfadeFrames(kRate));
    const std::size_t before = Matching(captured, 0, start);
    ASSERT_GT(before, 0u);
    ASSERT_EQ(captured.size(), before + static_cast<std::size_t>(frames - target));
    EXPECT_EQ(Matching(captured, before + fade, target + static_cast<std::int64_t>(fade)),
              captured.size() - before - fade);
    // The seek ran the chain anew: Destructer, then Constructer.
    // The seek ran the chain anew: Destructer, then Constructer.
    EXPECT_EQ(std::atomic_ref<int>(*chain_.Symbol<int>("ConstructerCalls")).load(), 2);
    EXPECT_EQ(std::atomic_ref<int>(*chain_.Symbol<int>("DestructerCalls")).load(), 2);
    EXPECT_NEAR(static_cast<double>(engine_.HeardFrame()), frames, 2048) << "heard to the end within a period";
}

TEST_P(PlayMovesThrough, ARestartGoesOnWhereTheSoundWasWithNothingTwice) {
    const std::int64_t start = 10000;
    const int frames = 90000;
    StartPlay(frames, start, chain_);
    std::this_thread::sleep_for(150ms);
    ASSERT_TRUE(engine_.RestartPlay());
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(engine_.RestartPlay());
    const std::vector<std::int16_t> captured = WaitForEnd();
    // The new runs make the very frames the old would have: the join blends
    // equal sound, so the capture is the source itself.
    EXPECT_EQ(captured.size(), static_cast<std::size_t>(frames - start));
    EXPECT_EQ(Matching(captured, 0, start), captured.size());
    EXPECT_EQ(std::atomic_ref<int>(*chain_.Symbol<int>("ConstructerCalls")).load(), 3);
}

TEST_P(PlayMovesThrough, LoopJoinsItsEndToItsStartWithoutAGap) {
    const std::int64_t loopStart = 20000, loopEnd = 40000;
    const std::size_t fade = static_cast<std::size_t>(CrossfadeFrames(kRate));
    engine_.SetLoop(true, loopStart, loopEnd);
    StartPlay(60000, loopStart, chain_);
    std::this_thread::sleep_for(700ms);  // a loop lasts 450 ms
    engine_.SetLoop(false, loopStart, loopEnd);
    const std::vector<std::int16_t> captured = WaitForEnd();
    // First pass up to the join, the join, then the second pass goes on
    // exactly where the fade-in left off: no frame lost or repeated.
    const std::size_t first = static_cast<std::size_t>(loopEnd - loopStart) - fade;
    ASSERT_GT(captured.size(), 2 * first + fade);
    EXPECT_EQ(Matching(captured, 0, loopStart), first);
    for (std::size_t k = 0; k < fade; ++k) {
        const int before = SourceValue(loopEnd - static_cast<std::int64_t>(fade - k));
        const int after = SourceValue(loopStart + static_cast<std::int64_t>(k));
        EXPECT_GE(captured[first + k], std::min(before, after)) << k;
        EXPECT_LE(captured[first + k], std::max(before, after)) << k;
    }
    EXPECT_GE(Matching(captured, first + fade, loopStart + static_cast<std::int64_t>(fade)), first - fade);
}

TEST_F(PlayMoves, AFasterChainStartsAndEndsWhereTheSourceDoes) {
    TestPlugin faster{"length_changer"};  // every second frame, and says so
    const std::int64_t start = 30000, target = 80000;
    const int frames = 120000;
    StartPlay(frames, start, faster);
    std::this_thread::sleep_for(100ms);
    ASSERT_TRUE(engine_.SeekPlay(target));
    const std::vector<std::int16_t> captured = WaitForEnd();
    // Played at its speed, the pre-roll's sound is dropped whole: the first
    // frame heard is the start's (within the odd frame of the pre-roll).
    ASSERT_FALSE(captured.empty());
    const int late = captured[0] - SourceValue(start);
    ASSERT_GE(late, 0);
    ASSERT_LE(late, 2);
    const std::size_t before = Matching(captured, 0, start + late, 2);
    EXPECT_NEAR(static_cast<double>(captured.size() - before), (frames - target) / 2.0, 4.0) << "from the target on";
    EXPECT_NEAR(static_cast<double>(engine_.HeardFrame()), frames, 2 * 2048) << "an output frame is two of the source";
}

TEST_F(PlayMoves, ASlowChainsRestartLeavesNoSilence) {
    TestPlugin slow{"sleepy"};
    *slow.Symbol<int>("SleepMilliseconds") = 60;  // a pre-roll and a block: more than two device periods
    const int frames = 100000;
    StartPlay(frames, 0, slow);
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(engine_.RestartPlay());
    EXPECT_EQ(WaitForEnd().size(), static_cast<std::size_t>(frames));
    const Bytes pcm = ReadFileBytes(capture_);
    std::vector<bool> silent;
    for (std::size_t at = 0; at + 1 < pcm.size(); at += 2) silent.push_back(pcm[at] == 0 && pcm[at + 1] == 0);
    const auto first = std::find(silent.begin(), silent.end(), false);
    const auto last = std::find(silent.rbegin(), silent.rend(), false).base();
    EXPECT_EQ(std::count(first, last, true), 0) << "the old sound plays on while the new run is made";
}

TEST_F(PlayMoves, ARestartInsideALoopKeepsTheLoopsEnd) {
    TestPlugin slow{"sleepy"};
    *slow.Symbol<int>("SleepMilliseconds") = 60;  // the new run's sound starts well past the restart's frame
    const std::int64_t loopEnd = kRate;
    engine_.SetLoop(true, 0, loopEnd);
    StartPlay(2 * kRate, 0, slow);
    std::this_thread::sleep_for(300ms);
    ASSERT_TRUE(engine_.RestartPlay());
    std::this_thread::sleep_for(1000ms);
    engine_.SetLoop(false, 0, loopEnd);
    const std::vector<std::int16_t> captured = WaitForEnd();
    // The first pass runs on through the restart up to the join at the
    // loop's end, then the second pass starts at the loop's start.
    const auto fade = static_cast<std::size_t>(CrossfadeFrames(kRate));
    EXPECT_EQ(Matching(captured, 0, 0), static_cast<std::size_t>(loopEnd) - fade);
    EXPECT_GE(Matching(captured, static_cast<std::size_t>(loopEnd), static_cast<std::int64_t>(fade)), fade);
}

}  // namespace
