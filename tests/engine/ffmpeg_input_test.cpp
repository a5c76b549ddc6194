// Files as users have them, made here with ffmpeg, lame and sox from one tone:
// AAC in .m4a, a video's soundtrack, WMA, MP3s joined with cat, a VBR MP3
// without a header, a chained Ogg. Each must decode to its whole length and
// to the tone, with its progress shown by the part of the file decoded.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "source_file.h"
#include "support/sound_tools.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_file.h"

namespace {

constexpr std::int64_t kToneFrames = 132300;  // 3 s at 44100 Hz
constexpr int kMp3Frame = 1152;

struct FfmpegFiles : ::testing::Test {
    TempDir dir;
    std::string tone = dir.Path("tone.wav");
    void SetUp() override {
        // A 441 Hz sine at half scale, the same on both channels.
        ASSERT_TRUE(RunTool("sox -n -r 44100 -c 2 -b 16 " + tone + " synth 3 sine 441 gain -6.02"));
    }
    std::string FromTone(const std::string& name, const std::string& options) {
        const std::string path = dir.Path(name);
        EXPECT_TRUE(RunTool("ffmpeg -v error -y -i " + tone + " " + options + " " + path)) << name;
        return path;
    }
};

TEST_F(FfmpegFiles, EveryContainerDecodesToItsWholeLengthAndItsSoundWithItsProgress) {
    ASSERT_TRUE(RunTool("cd " + dir.Path("") +
                        " && lame --quiet tone.wav one.mp3 && cat one.mp3 one.mp3 one.mp3 > joined.mp3"
                        " && lame --quiet -V 2 -t tone.wav vbr-no-header.mp3 && sox tone.wav link1.ogg trim 0 1.5"
                        " && sox tone.wav link2.ogg trim 1.5 && cat link1.ogg link2.ogg > chained.ogg"
                        " && ffmpeg -v error -f lavfi -i testsrc=size=64x48:rate=10 -i tone.wav -shortest"
                        " -c:v mpeg4 -c:a aac lesson.mp4"));
    struct Case {
        std::string path;
        std::int64_t frames;
        // One codec frame; for MP3s also the delay and padding no header
        // states, for a chained Ogg a Vorbis block from each link.
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

    // The MP3 without a header states no length: the progress is the part
    // of the file decoded, about half after the first of two blocks.
    const std::string mp3 = dir.Path("vbr-no-header.mp3");
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
