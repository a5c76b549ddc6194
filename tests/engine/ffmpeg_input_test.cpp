// Files as users have them, made here with ffmpeg, lame and sox from one tone:
// AAC and ALAC in .m4a, a video's soundtrack, PCM in MOV, WMA, MP3s joined
// with cat, a VBR MP3 without a header, a chained Ogg. Each must decode to its
// whole length and to the tone; the lossless ones must save exactly what the
// WAV saves; cut files and a video without sound must fail as what they are.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>

#include "job_end.h"
#include "source_file.h"
#include "support/decode_whole.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_file.h"

namespace {

constexpr std::int64_t kToneFrames = 132300;  // 3 s at 44100 Hz
constexpr int kMp3Frame = 1152;

/// Runs a shell command that makes a test file; true when it succeeded.
bool Make(const std::string& command) { return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0; }

struct FfmpegFiles : ::testing::Test {
    TempDir dir;
    std::string tone = dir.Path("tone.wav");
    void SetUp() override {
        // A 441 Hz sine at half scale, the same on both channels.
        ASSERT_TRUE(Make("sox -n -r 44100 -c 2 -b 16 " + tone + " synth 3 sine 441 gain -6.02"));
    }
    std::string FromTone(const std::string& name, const std::string& options) {
        const std::string path = dir.Path(name);
        EXPECT_TRUE(Make("ffmpeg -v error -y -i " + tone + " " + options + " " + path)) << name;
        return path;
    }
};

TEST_F(FfmpegFiles, EveryContainerDecodesToItsWholeLengthAndItsSound) {
    const std::string lame = "lame --quiet ";
    ASSERT_TRUE(Make(lame + tone + " " + dir.Path("one.mp3")));
    ASSERT_TRUE(Make("cat " + dir.Path("one.mp3") + " " + dir.Path("one.mp3") + " " + dir.Path("one.mp3") + " > " +
                     dir.Path("joined.mp3")));
    ASSERT_TRUE(Make(lame + "-V 2 -t " + tone + " " + dir.Path("vbr-no-header.mp3")));
    ASSERT_TRUE(Make("sox " + tone + " " + dir.Path("link1.ogg") + " trim 0 1.5"));
    ASSERT_TRUE(Make("sox " + tone + " " + dir.Path("link2.ogg") + " trim 1.5"));
    ASSERT_TRUE(Make("cat " + dir.Path("link1.ogg") + " " + dir.Path("link2.ogg") + " > " + dir.Path("chained.ogg")));
    ASSERT_TRUE(Make("ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -i " + tone +
                     " -shortest -c:v mpeg4 -c:a aac " + dir.Path("lesson.mp4")));
    struct Case {
        std::string path;
        std::int64_t frames;
        // How far the length may be off: one codec frame, and for MP3s the
        // encoder delay and padding that a file without a header cannot
        // state (and each joined file's header frame, decoded as silence);
        // at the seam of a chained Ogg up to a Vorbis block from each link.
        std::int64_t tolerance;
    };
    const Case cases[] = {
        {FromTone("aac.m4a", "-c:a aac"), kToneFrames, 1024},
        {FromTone("song.wma", "-c:a wmav2"), kToneFrames, 2048},
        {dir.Path("lesson.mp4"), kToneFrames, 1024},
        {dir.Path("one.mp3"), kToneFrames, kMp3Frame},
        {dir.Path("joined.mp3"), 3 * kToneFrames + 2 * 2 * kMp3Frame, 3 * kMp3Frame},
        {dir.Path("vbr-no-header.mp3"), kToneFrames + kMp3Frame, 2 * kMp3Frame},
        {dir.Path("chained.ogg"), kToneFrames, 2 * 2048},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        const DecodedWhole decoded = DecodeWhole(c.path);
        ASSERT_TRUE(decoded.opened);
        EXPECT_FALSE(decoded.readFailed);
        EXPECT_NEAR(static_cast<double>(decoded.frames), static_cast<double>(c.frames),
                    static_cast<double>(c.tolerance));
        EXPECT_NEAR(decoded.rms[0], 0.5 / std::sqrt(2.0), 0.03) << "the tone, not silence or noise";
    }
}

TEST_F(FfmpegFiles, LosslessFilesSaveWhatTheirWavSavesAndCutOrSilentFilesFail) {
    WindowInbox inbox;
    CWaveFile engine{inbox.Target()};
    const auto save = [&](const std::string& source) -> long {
        const std::string output = dir.Path("out.wav");
        unlink(output.c_str());
        if (!engine.PrepareJob({}, source, output, 2, 22050, 16, SourceBlockFrames, -1)) return -1;
        if (!engine.StartSave()) return -2;
        const auto message = inbox.Next();
        return message ? static_cast<long>(message->lParam) : -3;
    };
    ASSERT_EQ(save(tone), static_cast<long>(JobEnd::Completed));
    const Bytes expected = ReadFileBytes(dir.Path("out.wav"));
    for (const std::string& lossless : {FromTone("alac.m4a", "-c:a alac"), FromTone("pcm.mov", "-c:a pcm_s16le")}) {
        SCOPED_TRACE(lossless);
        EXPECT_EQ(save(lossless), static_cast<long>(JobEnd::Completed));
        EXPECT_TRUE(ReadFileBytes(dir.Path("out.wav")) == expected);
    }

    // Cut in the middle of its sound: a read failure, and no output. With
    // its index at the end (ffmpeg's default) a cut file does not open.
    const std::string whole = FromTone("index-first.m4a", "-c:a aac -movflags +faststart");
    const std::string cut = dir.Path("cut.m4a");
    ASSERT_EQ(truncate(whole.c_str(), static_cast<off_t>(std::filesystem::file_size(whole) / 2)), 0);
    std::filesystem::rename(whole, cut);
    testing::internal::CaptureStderr();
    EXPECT_EQ(save(cut), static_cast<long>(JobEnd::ReadFailed));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot decode the source " + cut), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.wav")));
    const std::string indexLast = FromTone("index-last.m4a", "-c:a aac");
    ASSERT_EQ(truncate(indexLast.c_str(), static_cast<off_t>(std::filesystem::file_size(indexLast) / 2)), 0);
    EXPECT_EQ(save(indexLast), -1);

    const std::string silent = dir.Path("silent.mp4");
    ASSERT_TRUE(Make("ffmpeg -v error -y -f lavfi -i testsrc=size=64x48:rate=10 -t 2 -c:v mpeg4 " + silent));
    testing::internal::CaptureStderr();
    EXPECT_EQ(save(silent), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zarevo engine: cannot open the source " + silent + ": it holds no sound (no audio stream)\n");
}

TEST_F(FfmpegFiles, AFileOfUnknownLengthShowsItsProgressByItsBytes) {
    // A VBR MP3 without a header states no length: the progress is the
    // part of the file decoded, about half after the first of two blocks.
    const std::string mp3 = dir.Path("vbr.mp3");
    ASSERT_TRUE(Make("lame --quiet -V 2 -t " + tone + " " + mp3));
    SourceFile source;
    ASSERT_TRUE(source.Open(mp3));
    EXPECT_EQ(source.ProgressWhole(), static_cast<std::int64_t>(std::filesystem::file_size(mp3)));
    EXPECT_EQ(ProgressPercent(source.ProgressDone(), source.ProgressWhole()), 0);
    GrowBuffer<std::uint8_t> raw;
    ASSERT_TRUE(source.FetchBlock(SourceBlockFrames, raw));
    const int afterFirst = ProgressPercent(source.ProgressDone(), source.ProgressWhole());
    EXPECT_GT(afterFirst, 40);
    EXPECT_LT(afterFirst, 60);
    while (source.FetchBlock(SourceBlockFrames, raw)) {}
    EXPECT_EQ(ProgressPercent(source.ProgressDone(), source.ProgressWhole()), 99);
}

}  // namespace
