// Saving in the format the output's name gives: FLAC holds exactly the
// samples of the WAV save, the lossy formats hold the tone at the right
// length, an unknown extension saves the WAV bytes, a rate a format cannot
// hold is refused before anything is written, and a stopped save is a whole
// file. Outputs are read back with libsndfile.
#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <numbers>

#include "job_end.h"
#include "support/sndfile_read.h"
#include "support/sound_tools.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_file.h"

namespace {

constexpr int kRate = 48000;
constexpr int kFrames = 3 * kRate;

struct EncodedSaveTest : ::testing::Test {
    TempDir dir;
    WindowInbox inbox;
    CWaveFile engine{inbox.Target()};
    std::string tone = dir.Path("tone.wav");

    void SetUp() override {
        ASSERT_TRUE(RunTool("sox -n -r 48000 -c 2 -b 16 " + tone + " synth 3 sine 441 gain -6.02"));
    }
    /// Saves the tone as `name` with no plug-in; the end code, -1 when the
    /// save did not start.
    long Save(const std::string& name, int channels = 2, int bits = 16) {
        if (!engine.PrepareJob({}, tone, dir.Path(name), channels, kRate, bits, SourceBlockFrames, -1) ||
            !engine.StartSave()) {
            return -1;
        }
        const auto message = inbox.Next();
        return message && message->message == WM_WAVE_SAVE_ENDED ? static_cast<long>(message->lParam) : -1;
    }
};

TEST_F(EncodedSaveTest, EachExtensionSavesItsFormatWithTheSound) {
    constexpr long kCompleted = static_cast<long>(JobEnd::Completed);
    for (const int bits : {16, 8}) {
        SCOPED_TRACE(bits);
        const std::string wav = "ref" + std::to_string(bits) + ".wav";
        const std::string flac = "out" + std::to_string(bits) + ".FLAC";
        ASSERT_EQ(Save(wav, 1, bits), kCompleted);
        ASSERT_EQ(Save(flac, 1, bits), kCompleted);
        const SndfileContents fromWav = ReadWithSndfile(dir.Path(wav));
        const SndfileContents fromFlac = ReadWithSndfile(dir.Path(flac));
        ASSERT_TRUE(fromFlac.opened);
        EXPECT_EQ(fromFlac.info.format, SF_FORMAT_FLAC | (bits == 8 ? SF_FORMAT_PCM_S8 : SF_FORMAT_PCM_16));
        EXPECT_TRUE(fromFlac.samples == fromWav.samples) << "FLAC holds exactly the WAV's samples";
    }
    // An unknown extension is WAV, byte for byte.
    ASSERT_EQ(Save("out.wav"), kCompleted);
    ASSERT_EQ(Save("out.snd"), kCompleted);
    EXPECT_TRUE(ReadFileBytes(dir.Path("out.snd")) == ReadFileBytes(dir.Path("out.wav")));

    struct Lossy {
        const char* name;
        int format;
    };
    for (const Lossy& lossy :
         {Lossy{"out.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS}, Lossy{"out.oga", SF_FORMAT_OGG | SF_FORMAT_VORBIS},
          Lossy{"out.opus", SF_FORMAT_OGG | SF_FORMAT_OPUS},
          Lossy{"out.mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III}}) {
        SCOPED_TRACE(lossy.name);
        ASSERT_EQ(Save(lossy.name), kCompleted);
        const SndfileContents sound = ReadWithSndfile(dir.Path(lossy.name));
        ASSERT_TRUE(sound.opened);
        EXPECT_EQ(sound.info.format, lossy.format);
        EXPECT_EQ(sound.info.samplerate, kRate);
        EXPECT_EQ(sound.info.channels, 2);
        // Within an MP3 frame, and the encoder delay and padding it keeps.
        EXPECT_NEAR(static_cast<double>(sound.info.frames), kFrames, 3 * 1152);
        double squares = 0;
        for (const short sample : sound.samples) squares += std::pow(sample / 32768.0, 2);
        EXPECT_NEAR(std::sqrt(squares / static_cast<double>(sound.samples.size())), 0.5 / std::numbers::sqrt2, 0.03);
    }
}

TEST_F(EncodedSaveTest, ARateTheFormatCannotHoldIsRefusedAndAStoppedSaveIsWhole) {
    // 22050 Hz is no Opus rate: the save does not start and leaves nothing.
    testing::internal::CaptureStderr();
    EXPECT_FALSE(engine.PrepareJob({}, tone, dir.Path("out.opus"), 2, 22050, 16, SourceBlockFrames, -1) &&
                 engine.StartSave());
    EXPECT_NE(testing::internal::GetCapturedStderr().find("Opus"), std::string::npos);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"tone.wav"});

    // Stopped after its first block, a FLAC save is a whole file that
    // libsndfile reads to its end.
    TestPlugin sleepy("sleepy");
    ASSERT_TRUE(engine.PrepareJob({sleepy.Handle()}, tone, dir.Path("stopped.flac"), 2, kRate, 16, 4096, -1));
    ASSERT_TRUE(engine.StartSave());
    while (engine.Consumed() == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(engine.StopSave());
    const auto message = inbox.Next();
    ASSERT_TRUE(message);
    EXPECT_EQ(message->lParam, static_cast<long>(JobEnd::Stopped));
    const SndfileContents stopped = ReadWithSndfile(dir.Path("stopped.flac"));
    ASSERT_TRUE(stopped.opened);
    EXPECT_GT(stopped.info.frames, 0);
    EXPECT_LT(stopped.info.frames, kFrames);
    EXPECT_EQ(static_cast<sf_count_t>(stopped.samples.size()), 2 * stopped.info.frames);
}

}  // namespace
