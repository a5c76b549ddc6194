// Tests of the source WAV header walk and the block fetch.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wav_source.h"

namespace {

struct SourceFixture : ::testing::Test {
    TempDir dir;
    WavSource source;

    bool OpenBytes(const Bytes& bytes, const std::string& name = "in.wav") {
        WriteFileBytes(dir.Path(name), bytes);
        return source.Open(dir.Path(name));
    }
};

using WavSourceOpen = SourceFixture;
using WavSourceFetch = SourceFixture;

TEST_F(WavSourceOpen, TakesFormatFieldsAndStandsAtDataOffset) {
    ASSERT_TRUE(OpenBytes(PcmWav(2, 22050, 16, Pattern16Samples(10, 2))));
    EXPECT_EQ(source.Channels(), 2);
    EXPECT_EQ(source.Rate(), 22050);
    EXPECT_EQ(source.Bits(), 16);
    EXPECT_EQ(source.DataOffset(), 44);
    EXPECT_EQ(source.DataSize(), 40);
    EXPECT_EQ(source.Consumed(), 0);
}

TEST_F(WavSourceOpen, SkipsOtherChunksAroundDataAndFindsFormatAfterData) {
    const Bytes samples = Pattern16Samples(4, 1);
    const Bytes list = Chunk("LIST", Bytes(10, 'x'));
    ASSERT_TRUE(OpenBytes(RiffWave(
        {list, Chunk("data", samples), Chunk("junk", Bytes(6, 1)), Chunk("fmt ", FormatBody(1, 1, 8000, 16))})));
    EXPECT_EQ(source.DataOffset(), 12 + 18 + 8);
    EXPECT_EQ(source.DataSize(), 8);
    EXPECT_EQ(source.Rate(), 8000);
}

TEST_F(WavSourceOpen, RefusesFilesWithoutExactlyOneFormatAndOneDataChunk) {
    const Bytes fmt = Chunk("fmt ", FormatBody(1, 1, 8000, 16));
    const Bytes data = Chunk("data", Pattern16Samples(4, 1));
    EXPECT_FALSE(OpenBytes(RiffWave({fmt, fmt, data})));
    EXPECT_FALSE(OpenBytes(RiffWave({fmt, data, data})));
    EXPECT_FALSE(OpenBytes(RiffWave({data})));
    EXPECT_FALSE(OpenBytes(RiffWave({fmt})));
    EXPECT_FALSE(source.IsOpen());
}

TEST_F(WavSourceOpen, RefusesWhatIsNotIntegerPcmRiffWave) {
    const Bytes data = Chunk("data", Pattern16Samples(4, 1));
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(3, 1, 8000, 32)), data})));
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(0xFFFE, 1, 8000, 16, 24)), data})));
    Bytes notRiff = PcmWav(1, 8000, 16, Pattern16Samples(4, 1));
    notRiff[0] = 'X';
    EXPECT_FALSE(OpenBytes(notRiff));
    Bytes notWave = PcmWav(1, 8000, 16, Pattern16Samples(4, 1));
    notWave[8] = 'X';
    EXPECT_FALSE(OpenBytes(notWave));
    EXPECT_FALSE(OpenBytes(Bytes{'R', 'I', 'F'}));
    EXPECT_FALSE(source.Open(""));
    EXPECT_FALSE(source.Open(dir.Path("missing.wav")));
}

TEST_F(WavSourceOpen, RefusesHeadersThatWouldNeverEndOrDivideByZero) {
    const Bytes data = Chunk("data", Bytes(64, 1));
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 0, 8000, 16)), data}))) << "no channels";
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 1, 8000, 4)), data}))) << "4 bits";
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 1, 0, 16)), data}))) << "rate 0";
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 1, 8000, 12)), data}))) << "12 bits";
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 1, 8000, 40)), data}))) << "40 bits";
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 300, 8000, 32)), data}))) << "huge frames";
    EXPECT_TRUE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 6, 8000, 24)), data})));
}

TEST_F(WavSourceOpen, FormatBodySizes) {
    const Bytes data = Chunk("data", Pattern16Samples(4, 1));
    EXPECT_TRUE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 1, 8000, 16, 2)), data}))) << "18 bytes";
    Bytes shortBody = FormatBody(1, 1, 8000, 16);
    shortBody.resize(14);
    EXPECT_FALSE(OpenBytes(RiffWave({Chunk("fmt ", shortBody), data}))) << "14 bytes";
    ASSERT_TRUE(OpenBytes(RiffWave({Chunk("fmt ", FormatBody(1, 2, 11025, 8, 1500)), data}))) << "1516 bytes";
    EXPECT_EQ(source.Channels(), 2);
    EXPECT_EQ(source.Rate(), 11025);
    EXPECT_EQ(source.DataSize(), 8);
}

TEST_F(WavSourceOpen, ReadsChunksAfterAnOddBodyWithOrWithoutItsPadByte) {
    const Bytes odd = Bytes(7, 'z');
    const Bytes fmt = Chunk("fmt ", FormatBody(1, 1, 8000, 16));
    const Bytes data = Chunk("data", Pattern16Samples(4, 1));
    ASSERT_TRUE(OpenBytes(RiffWave({Chunk("LIST", odd, true), fmt, data}))) << "padded";
    EXPECT_EQ(source.DataOffset(), 12 + 8 + 8 + 8 + 16 + 8);
    ASSERT_TRUE(OpenBytes(RiffWave({Chunk("LIST", odd, false), fmt, data}))) << "pad left out";
    EXPECT_EQ(source.DataOffset(), 12 + 8 + 7 + 8 + 16 + 8);
}

TEST_F(WavSourceOpen, ClampsDataSizeToWhatTheFileHolds) {
    const Bytes fmt = Chunk("fmt ", FormatBody(1, 1, 8000, 16));
    ASSERT_TRUE(OpenBytes(RiffWave({fmt, ChunkWithDeclaredSize("data", 100000, Bytes(30, 5))})));
    EXPECT_EQ(source.DataSize(), 30);
    ASSERT_TRUE(OpenBytes(RiffWave({fmt, ChunkWithDeclaredSize("data", 0xFFFFFFFFu, Bytes(30, 5))})));
    EXPECT_EQ(source.DataSize(), 30) << "a streaming writer's size is not negative";
    ASSERT_TRUE(OpenBytes(RiffWave({fmt, ChunkWithDeclaredSize("data", 0x80000000u, Bytes(30, 5))})));
    EXPECT_EQ(source.DataSize(), 30);
}

TEST_F(WavSourceOpen, OpeningAgainClosesThePreviousSource) {
    ASSERT_TRUE(OpenBytes(PcmWav(1, 8000, 16, Pattern16Samples(4, 1)), "a.wav"));
    EXPECT_FALSE(OpenBytes(Bytes{'n', 'o'}, "b.wav"));
    EXPECT_FALSE(source.IsOpen());
}

TEST_F(WavSourceOpen, RecognisesTheSameFileUnderAnotherName) {
    ASSERT_TRUE(OpenBytes(PcmWav(1, 8000, 16, Pattern16Samples(4, 1)), "a.wav"));
    ASSERT_EQ(link(dir.Path("a.wav").c_str(), dir.Path("hard.wav").c_str()), 0);
    WriteFileBytes(dir.Path("other.wav"), PcmWav(1, 8000, 16, Pattern16Samples(4, 1)));
    EXPECT_TRUE(source.IsSameFileAs(dir.Path("a.wav")));
    EXPECT_TRUE(source.IsSameFileAs(dir.Path("hard.wav")));
    EXPECT_FALSE(source.IsSameFileAs(dir.Path("other.wav")));
    EXPECT_FALSE(source.IsSameFileAs(dir.Path("not-there.wav")));
}

TEST_F(WavSourceOpen, RefusesFifosDirectoriesAndDevicesWithoutBlocking) {
    // A FIFO with no writer would block a plain open() for ever.
    const std::string fifo = dir.Path("fifo.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(source.Open(fifo));
    EXPECT_FALSE(source.Open(dir.Path("")));
    EXPECT_FALSE(source.Open("/dev/zero"));
}

TEST_F(WavSourceFetch, PadsTheLastBlockWithSilenceAndThenEnds) {
    constexpr int kFrames = 100000;
    ASSERT_TRUE(OpenBytes(PcmWav(1, 44100, 16, Pattern16Samples(kFrames, 1))));
    GrowBuffer<std::uint8_t> raw;
    ASSERT_TRUE(source.FetchBlock(65536, raw));
    EXPECT_EQ(raw.Count(), 65536 * 2);
    EXPECT_EQ(source.Consumed(), 65536 * 2);
    EXPECT_EQ(static_cast<std::int16_t>(raw.Data()[2 * 65535] | (raw.Data()[2 * 65535 + 1] << 8)), Pattern16(65535, 0));

    ASSERT_TRUE(source.FetchBlock(65536, raw));
    EXPECT_EQ(source.Consumed(), kFrames * 2);
    const int tailFrame = kFrames - 65536 - 1;
    EXPECT_EQ(static_cast<std::int16_t>(raw.Data()[2 * tailFrame] | (raw.Data()[2 * tailFrame + 1] << 8)),
              Pattern16(kFrames - 1, 0));
    for (int i = 2 * (kFrames - 65536); i < raw.Count(); ++i) {
        ASSERT_EQ(raw.Data()[i], 0) << "byte " << i;
    }
    EXPECT_FALSE(source.FetchBlock(65536, raw));
    EXPECT_EQ(raw.Count(), 65536 * 2) << "an exhausted fetch leaves the buffer alone";
}

TEST_F(WavSourceFetch, EightBitSilenceIsTheMidValue) {
    ASSERT_TRUE(OpenBytes(PcmWav(2, 8000, 8, Pattern8Samples(3, 2))));
    GrowBuffer<std::uint8_t> raw;
    ASSERT_TRUE(source.FetchBlock(16, raw));
    EXPECT_EQ(raw.Data()[5], Pattern8(2, 1));
    for (int i = 6; i < 32; ++i) {
        EXPECT_EQ(raw.Data()[i], 0x80);
    }
}

TEST_F(WavSourceFetch, TruncatedDataNeverShowsThePreviousBlocksBytes) {
    GrowBuffer<std::uint8_t> raw;
    ASSERT_TRUE(OpenBytes(PcmWav(1, 8000, 16, Bytes(400, 0x55)), "full.wav"));
    ASSERT_TRUE(source.FetchBlock(100, raw));
    const Bytes fmt = Chunk("fmt ", FormatBody(1, 1, 8000, 16));
    ASSERT_TRUE(OpenBytes(RiffWave({fmt, ChunkWithDeclaredSize("data", 200, Bytes(10, 0x11))}), "cut.wav"));
    source.ResetConsumed();
    ASSERT_TRUE(source.FetchBlock(100, raw));
    EXPECT_EQ(raw.Data()[9], 0x11);
    for (int i = 10; i < 200; ++i) {
        ASSERT_EQ(raw.Data()[i], 0) << "byte " << i;
    }
    EXPECT_FALSE(source.FetchBlock(100, raw));
}

TEST_F(WavSourceFetch, FileShrunkAfterOpenFailsTheFetchInsteadOfInventingSilence) {
    ASSERT_TRUE(OpenBytes(PcmWav(1, 8000, 8, Bytes(30000, 0x10))));
    GrowBuffer<std::uint8_t> raw;
    ASSERT_TRUE(source.FetchBlock(100, raw));
    EXPECT_FALSE(source.ReadFailed());
    ASSERT_EQ(truncate(dir.Path("in.wav").c_str(), 44 + 1000), 0);
    EXPECT_FALSE(source.FetchBlock(20000, raw));
    EXPECT_TRUE(source.ReadFailed());
    EXPECT_EQ(source.Consumed(), 100) << "nothing counted as read";
    source.ResetConsumed();
    EXPECT_FALSE(source.ReadFailed()) << "the next job starts clean";
}

}  // namespace
