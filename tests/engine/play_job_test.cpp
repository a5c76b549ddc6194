// Tests of the play job through the real SDL code: SDL's disk driver captures
// what the device is given, which must be exactly what a save job writes for
// the same source, plug-ins and format. Also the job's end by itself, the
// stop (and its race with the end), and devices that do not exist.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "support/sndfile_read.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_file.h"
#include "wave_out_devices.h"

namespace {

using namespace std::chrono_literals;

struct PcmFormat {
    int channels;
    int rate;
    int bits;
    int FrameBytes() const { return channels * bits / 8; }
    std::uint8_t SilenceByte() const { return bits == 8 ? 0x80 : 0x00; }
};

bool IsSilentFrame(const Bytes& pcm, std::size_t at, const PcmFormat& format) {
    for (int i = 0; i < format.FrameBytes(); ++i) {
        if (pcm[at + static_cast<std::size_t>(i)] != format.SilenceByte()) return false;
    }
    return true;
}

// Frames that are not silence, in order. While the device waits for the
// worker to refill a buffer it plays silence, so captures of long sources
// are compared this way.
Bytes WithoutSilentFrames(const Bytes& pcm, const PcmFormat& format) {
    Bytes kept;
    const auto frame = static_cast<std::size_t>(format.FrameBytes());
    for (std::size_t at = 0; at + frame <= pcm.size(); at += frame) {
        if (!IsSilentFrame(pcm, at, format)) kept.insert(kept.end(), pcm.begin() + at, pcm.begin() + at + frame);
    }
    return kept;
}

std::size_t FirstSoundingFrame(const Bytes& pcm, const PcmFormat& format) {
    const auto frame = static_cast<std::size_t>(format.FrameBytes());
    std::size_t at = 0;
    while (at + frame <= pcm.size() && IsSilentFrame(pcm, at, format)) at += frame;
    return at;
}

// When all of a job's buffers were queued before the sound started (three
// blocks or fewer), the capture is silence, then the saved data without a
// single gap, then silence until the device closed.
void ExpectPlayedWithoutGap(const Bytes& captured, const Bytes& saved, const PcmFormat& format) {
    const std::size_t savedStart = FirstSoundingFrame(saved, format);
    const std::size_t capturedStart = FirstSoundingFrame(captured, format);
    ASSERT_LT(savedStart, saved.size()) << "the saved data are all silence: nothing to compare";
    const std::size_t length = saved.size() - savedStart;
    ASSERT_GE(captured.size() - capturedStart, length) << "the device received less than was saved";
    EXPECT_TRUE(std::equal(saved.begin() + savedStart, saved.end(), captured.begin() + capturedStart));
    const Bytes after(captured.begin() + capturedStart + length, captured.end());
    EXPECT_TRUE(WithoutSilentFrames(after, format).empty()) << "sound after the end of the data";
}

// The data bytes of a saved file, rebuilt from what libsndfile reads.
Bytes SavedPcm(const std::string& path, const PcmFormat& format) {
    const SndfileContents file = ReadWithSndfile(path);
    EXPECT_TRUE(file.opened) << path;
    EXPECT_EQ(file.info.channels, format.channels);
    EXPECT_EQ(file.info.samplerate, format.rate);
    EXPECT_EQ(file.info.format & SF_FORMAT_SUBMASK, format.bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    Bytes pcm;
    for (short sample : file.samples) {
        if (format.bits == 8) {
            pcm.push_back(static_cast<std::uint8_t>((sample >> 8) + 128));
        } else {
            AppendLe16(pcm, static_cast<std::uint16_t>(sample));
        }
    }
    return pcm;
}

// A plug-in's call counter, read atomically: the worker may still write it.
int Counter(const TestPlugin& plugin, const std::string& name) {
    return std::atomic_ref<int>(*plugin.Symbol<int>(name)).load();
}

class PlayJob : public ::testing::Test {
protected:
    void SetUp() override {
        capture_ = dir_.Path("capture.raw");
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", capture_.c_str(), 1);
        setenv("SDL_DISKAUDIODELAY", "0", 1);
    }

    std::string WriteSource(const std::string& name, const Bytes& wav) {
        const std::string path = dir_.Path(name);
        WriteFileBytes(path, wav);
        return path;
    }

    bool Prepare(const std::vector<void*>& modules, const std::string& source, const std::string& output,
                 const PcmFormat& format, int device = -1) {
        return engine_->PrepareJob(modules, source, output, format.channels, format.rate, format.bits,
                                   SourceBlockFrames, device);
    }

    // Saves `source` and returns the output's data as libsndfile reads them.
    Bytes Save(const std::vector<void*>& modules, const std::string& source, const PcmFormat& format) {
        const std::string output = dir_.Path("saved.wav");
        EXPECT_TRUE(Prepare(modules, source, output, format, -1));
        EXPECT_TRUE(engine_->StartSave());
        ExpectNextMessage(WM_WAVE_SAVE_ENDED, 1);
        return SavedPcm(output, format);
    }

    // Plays `source` to its end and returns what the device received.
    Bytes PlayToEnd(const std::vector<void*>& modules, const std::string& source, const PcmFormat& format) {
        EXPECT_TRUE(Prepare(modules, source, "", format, -1));
        EXPECT_TRUE(engine_->StartPlay());
        ExpectNextMessage(WM_WAVE_PLAY_ENDED, 0);
        EXPECT_EQ(engine_->State(), WS_IDLE);
        EXPECT_EQ(engine_->Consumed(), engine_->DataSize());
        return ReadFileBytes(capture_);
    }

    void ExpectNextMessage(int message, std::intptr_t lParam) {
        const std::optional<WindowInbox::Message> next = inbox_.Next();
        ASSERT_TRUE(next.has_value()) << "no message within the time limit";
        EXPECT_EQ(next->message, message);
        EXPECT_EQ(next->lParam, lParam);
    }

    void ExpectNoMessage(std::chrono::milliseconds within = 300ms) {
        const std::optional<WindowInbox::Message> next = inbox_.Next(within);
        EXPECT_FALSE(next.has_value()) << "unexpected message " << next->message;
    }

    TempDir dir_;
    std::string capture_;
    WindowInbox inbox_;
    /// The one engine of the process; a test may replace it.
    std::unique_ptr<CWaveFile> engine_ = std::make_unique<CWaveFile>(inbox_.Target());
};

TEST_F(PlayJob, DeviceReceivesWhatASaveWritesU8Mono11025) {
    // 2.5 blocks of a stereo 44100 Hz source, through a plug-in that changes
    // every sample, so both conversions and the chain take part.
    const int frames = SourceBlockFrames * 5 / 2;
    const std::string source = WriteSource("source.wav", PcmWav(2, 44100, 16, Pattern16Samples(frames, 2)));
    TestPlugin gain("passthrough");
    *gain.Symbol<double>("Gain") = 0.75;
    const PcmFormat format{1, 11025, 8};

    const Bytes saved = Save({gain.Handle()}, source, format);
    ASSERT_EQ(saved.size(), static_cast<std::size_t>(frames / 4)) << "the source's frames at a quarter of the rate";
    const Bytes captured = PlayToEnd({gain.Handle()}, source, format);
    ExpectPlayedWithoutGap(captured, saved, format);
    EXPECT_EQ(Counter(gain, "ConstructerCalls"), 2);
    EXPECT_EQ(Counter(gain, "DestructerCalls"), 2);
    EXPECT_EQ(Counter(gain, "EffectStopCalls"), 0);
    ExpectNoMessage();
}

TEST_F(PlayJob, DeviceReceivesWhatASaveWritesS16Stereo22050OverManyBlocks) {
    // Seven blocks: buffers are refilled and requeued while the sound runs,
    // and a plug-in that shortens each block changes the buffer lengths.
    const int frames = SourceBlockFrames * 7 - 1234;
    const std::string source = WriteSource("source.wav", PcmWav(1, 22050, 8, Pattern8Samples(frames, 1)));
    TestPlugin shorter("length_changer");
    *shorter.Symbol<int>("Numerator") = 2;
    *shorter.Symbol<int>("Denominator") = 3;
    const PcmFormat format{2, 22050, 16};

    const Bytes saved = Save({shorter.Handle()}, source, format);
    // Six blocks of 43690 frames, and of the last block's 43690 the 42868
    // that come from its 64302 source frames: its padding is left out.
    ASSERT_EQ(saved.size(), (6u * 43690 + 42868) * 4);
    const Bytes captured = PlayToEnd({shorter.Handle()}, source, format);
    EXPECT_EQ(WithoutSilentFrames(captured, format), WithoutSilentFrames(saved, format));
    ExpectNoMessage();
}

TEST_F(PlayJob, DeviceReceivesWhatASaveWritesAt48000From44100) {
    // 71331 working frames per block (truncated), for a rate SDL must convert.
    const int frames = SourceBlockFrames * 2 + 999;
    const std::string source = WriteSource("source.wav", PcmWav(2, 44100, 16, Pattern16Samples(frames, 2)));
    const PcmFormat format{2, 48000, 16};

    const Bytes saved = Save({}, source, format);
    ASSERT_EQ(saved.size(), (2u * 71331 + 1088) * 4) << "999 source frames give 1088 at 48 kHz";
    ExpectPlayedWithoutGap(PlayToEnd({}, source, format), saved, format);
    ExpectNoMessage();
}

TEST_F(PlayJob, SoundStartsWithTheFirstBlockNotAfterTheTimeTheBlocksTookToMake) {
    // A device that is open while the blocks are made plays silence all that
    // while (10 periods here), and a sound server buffers it ahead of the
    // first block. The device may play at most the period it starts in.
    setenv("SDL_DISKAUDIODELAY", "10", 1);
    const std::string source =
        WriteSource("source.wav", PcmWav(2, 44100, 16, Pattern16Samples(SourceBlockFrames / 2, 2)));
    TestPlugin slow("sleepy");
    *slow.Symbol<int>("SleepMilliseconds") = 100;
    const PcmFormat format{2, 44100, 16};

    const Bytes saved = Save({slow.Handle()}, source, format);
    const Bytes captured = PlayToEnd({slow.Handle()}, source, format);
    ExpectPlayedWithoutGap(captured, saved, format);
    const std::size_t periodBytes = 2048 * 4;  // SDL's period at 44100 Hz, 16-bit stereo
    EXPECT_LE(FirstSoundingFrame(captured, format), FirstSoundingFrame(saved, format) + periodBytes);
}

TEST_F(PlayJob, SourceShorterThanOneBlockEndsByItselfOnce) {
    // Two of the three buffers find no data at the start.
    const std::string source = WriteSource("short.wav", PcmWav(1, 11025, 8, Pattern8Samples(1000, 1)));
    TestPlugin counter("passthrough");
    const PcmFormat format{1, 11025, 8};

    const Bytes captured = PlayToEnd({counter.Handle()}, source, format);
    ExpectPlayedWithoutGap(captured, Pattern8Samples(1000, 1), format);
    ExpectNoMessage();
    EXPECT_EQ(Counter(counter, "DestructerCalls"), 1);
    EXPECT_EQ(Counter(counter, "EffectEntCalls"), 2) << "the block and a silent flush block";
    EXPECT_FALSE(engine_->StopPlay()) << "the job has already ended";
}

TEST_F(PlayJob, SourceWithoutDataEndsByItself) {
    const std::string source = WriteSource("empty.wav", PcmWav(2, 44100, 16, Bytes{}));
    TestPlugin counter("passthrough");
    const PcmFormat format{2, 44100, 16};
    ASSERT_TRUE(Prepare({counter.Handle()}, source, "", format));
    ASSERT_TRUE(engine_->StartPlay());
    ExpectNextMessage(WM_WAVE_PLAY_ENDED, 0);
    ExpectNoMessage();
    EXPECT_EQ(engine_->State(), WS_IDLE);
    EXPECT_EQ(Counter(counter, "EffectEntCalls"), 0);
    EXPECT_EQ(Counter(counter, "DestructerCalls"), 1);
}

TEST_F(PlayJob, StopDuringPlaybackClosesTheDeviceAndCallsEachDestructerOnce) {
    // About 2.5 times faster than real time: a 30-block source plays for
    // several seconds, so the stop surely comes while it runs.
    setenv("SDL_DISKAUDIODELAY", "20", 1);
    const std::string source =
        WriteSource("long.wav", PcmWav(2, 44100, 16, Pattern16Samples(SourceBlockFrames * 30, 2)));
    TestPlugin first("passthrough", &dir_, "first"), second("passthrough", &dir_, "second");
    const std::vector<void*> modules{first.Handle(), second.Handle()};
    const PcmFormat format{2, 44100, 16};

    for (int job = 1; job <= 2; ++job) {  // the second job finds every buffer back
        ASSERT_TRUE(Prepare(modules, source, "", format));
        ASSERT_TRUE(engine_->StartPlay());
        std::this_thread::sleep_for(300ms);
        ASSERT_EQ(engine_->State(), WS_PLAYING);
        EXPECT_TRUE(engine_->StopPlay());
        EXPECT_EQ(engine_->State(), WS_IDLE);
        EXPECT_LT(engine_->Consumed(), engine_->DataSize());

        // Closed: the capture stops growing, and it holds sound.
        const auto size = std::filesystem::file_size(capture_);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(std::filesystem::file_size(capture_), size);
        EXPECT_FALSE(WithoutSilentFrames(ReadFileBytes(capture_), format).empty());

        ExpectNoMessage();
        for (const TestPlugin* plugin : {&first, &second}) {
            EXPECT_EQ(Counter(*plugin, "DestructerCalls"), job);
            EXPECT_EQ(Counter(*plugin, "EffectStopCalls"), job);
        }
    }
}

TEST_F(PlayJob, QuittingTheWorkerWhilePlayingSilencesTheDeviceFirst) {
    // An engine quit and destroyed mid-playback (the window closing
    // without a stop): its buffers are freed, so the device must be closed
    // before that, or SDL's audio thread would read freed memory.
    setenv("SDL_DISKAUDIODELAY", "20", 1);
    const std::string source =
        WriteSource("long.wav", PcmWav(2, 44100, 16, Pattern16Samples(SourceBlockFrames * 10, 2)));
    const PcmFormat format{2, 44100, 16};
    engine_.reset();  // one engine per process
    {
        WindowInbox inbox;
        CWaveFile closing(inbox.Target());
        ASSERT_TRUE(
            closing.PrepareJob({}, source, "", format.channels, format.rate, format.bits, SourceBlockFrames, -1));
        ASSERT_TRUE(closing.StartPlay());
        std::this_thread::sleep_for(200ms);
        ASSERT_EQ(closing.State(), WS_PLAYING);
        closing.QuitWorker();
        const auto size = std::filesystem::file_size(capture_);
        std::this_thread::sleep_for(100ms);
        EXPECT_EQ(std::filesystem::file_size(capture_), size) << "the device still plays";
        EXPECT_EQ(inbox.Pending(), 0u);
    }
    // The sound system is free again for the next engine.
    engine_ = std::make_unique<CWaveFile>(inbox_.Target());
    ASSERT_TRUE(Prepare({}, source, "", format));
    EXPECT_TRUE(engine_->StartPlay());
    EXPECT_TRUE(engine_->StopPlay());
}

TEST_F(PlayJob, StopWhileABlockIsBeingProducedEndsTheJob) {
    const std::string source =
        WriteSource("long.wav", PcmWav(1, 22050, 16, Pattern16Samples(SourceBlockFrames * 10, 1)));
    TestPlugin stall("stall");
    ASSERT_TRUE(Prepare({stall.Handle()}, source, "", PcmFormat{1, 22050, 16}));
    ASSERT_TRUE(engine_->StartPlay());
    // The first returned buffer's refill now waits inside EffectEnt until
    // the window's stop reaches the plug-in.
    std::atomic_ref<int>(*stall.Symbol<int>("StallInEffectEnt")).store(1);
    for (int waited = 0; waited < 2000 && Counter(stall, "Stalling") == 0; ++waited) {
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_EQ(Counter(stall, "Stalling"), 1);
    EXPECT_TRUE(engine_->StopPlay());
    EXPECT_EQ(engine_->State(), WS_IDLE);
    EXPECT_EQ(Counter(stall, "DestructerCalls"), 1);
    ExpectNoMessage();
}

TEST_F(PlayJob, StopRacingTheEndRunsTheEndHandlingOnce) {
    // A one-block source ends within milliseconds; stop requests land
    // before, during and after that end.
    const std::string source = WriteSource("one.wav", PcmWav(1, 11025, 8, Pattern8Samples(5000, 1)));
    TestPlugin counter("passthrough");
    const PcmFormat format{1, 11025, 8};
    int stopped = 0;
    int ended = 0;
    for (int job = 1; job <= 30; ++job) {
        ASSERT_TRUE(Prepare({counter.Handle()}, source, "", format));
        ASSERT_TRUE(engine_->StartPlay());
        std::this_thread::sleep_for(std::chrono::milliseconds(job % 10 * 2));
        const bool stoppedByWindow = engine_->StopPlay();
        if (!stoppedByWindow) {
            ExpectNextMessage(WM_WAVE_PLAY_ENDED, 0);  // the job ended by itself first
            ++ended;
        } else {
            ++stopped;
        }
        ExpectNoMessage(20ms);
        EXPECT_EQ(engine_->State(), WS_IDLE);
        EXPECT_EQ(Counter(counter, "DestructerCalls"), job);
    }
    EXPECT_EQ(stopped + ended, 30);
}

TEST_F(PlayJob, DeviceIndexThatDoesNotExistFailsStartPlay) {
    const std::string source = WriteSource("source.wav", PcmWav(1, 11025, 8, Pattern8Samples(1000, 1)));
    TestPlugin counter("passthrough");
    const PcmFormat format{1, 11025, 8};
    ASSERT_TRUE(Prepare({counter.Handle()}, source, "", format, WaveOutDeviceCount()));
    EXPECT_FALSE(engine_->StartPlay());
    EXPECT_EQ(engine_->State(), WS_IDLE);
    EXPECT_EQ(Counter(counter, "DestructerCalls"), 0) << "a job that never started is not ended";
    ExpectNoMessage();

    // The next job, on the default device, plays.
    ASSERT_TRUE(Prepare({counter.Handle()}, source, "", format, -1));
    EXPECT_TRUE(engine_->StartPlay());
    ExpectNextMessage(WM_WAVE_PLAY_ENDED, 0);
    EXPECT_EQ(Counter(counter, "ConstructerCalls"), 2);
    EXPECT_EQ(Counter(counter, "DestructerCalls"), 1);
}

TEST_F(PlayJob, WithoutSoundNoDeviceIsListedAndSavingStillWorks) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    EXPECT_EQ(WaveOutDeviceCount(), 0);
    const int frames = 3000;
    const std::string source = WriteSource("source.wav", PcmWav(2, 22050, 16, Pattern16Samples(frames, 2)));
    const PcmFormat format{2, 22050, 16};

    ASSERT_TRUE(Prepare({}, source, "", format));
    EXPECT_FALSE(engine_->StartPlay());
    EXPECT_EQ(engine_->State(), WS_IDLE);

    const Bytes saved = Save({}, source, format);
    EXPECT_EQ(saved, Pattern16Samples(frames, 2));
    ExpectNoMessage();
}

}  // namespace
