// Tests of the output WAV file: header, size patch, odd lengths and failed
// writes, each read back with libsndfile.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include "support/sndfile_read.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wav_writer.h"

namespace {

std::uint32_t Le32At(const Bytes& bytes, std::size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

TEST(WavWriter, WritesTheFixedHeaderAndPatchesBothSizes) {
    TempDir dir;
    WavWriter writer;
    ASSERT_TRUE(writer.Begin(dir.Path("out.wav"), 2, 22050, 16));
    const Bytes samples = Pattern16Samples(300, 2);
    ASSERT_TRUE(writer.Append(samples));
    ASSERT_TRUE(writer.Append(samples));
    ASSERT_TRUE(writer.Finish());
    const Bytes file = ReadFileBytes(dir.Path("out.wav"));
    ASSERT_EQ(file.size(), 44 + 2 * samples.size());
    const Bytes plain = PcmWav(2, 22050, 16, {});
    EXPECT_EQ(Bytes(file.begin() + 8, file.begin() + 36), Bytes(plain.begin() + 8, plain.begin() + 36))
        << "the header is the plain 16-byte PCM form";
    EXPECT_EQ(Le32At(file, 4), file.size() - 8);
    EXPECT_EQ(Le32At(file, 28), 22050u * 4);
    EXPECT_EQ(Le32At(file, 40), file.size() - 44);
    const SndfileContents read = ReadWithSndfile(dir.Path("out.wav"));
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.samplerate, 22050);
    EXPECT_EQ(read.info.channels, 2);
    EXPECT_EQ(read.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    ASSERT_EQ(read.info.frames, 600);
    EXPECT_EQ(read.samples[2 * 299 + 1], Pattern16(299, 1));
    EXPECT_EQ(read.samples[2 * 300], Pattern16(0, 0));
}

TEST(WavWriter, OddEightBitDataGetsNoPadAndMatchingSizes) {
    TempDir dir;
    WavWriter writer;
    ASSERT_TRUE(writer.Begin(dir.Path("odd.wav"), 1, 11025, 8));
    ASSERT_TRUE(writer.Append(Bytes{0, 128, 255}));
    ASSERT_TRUE(writer.Finish());
    const Bytes file = ReadFileBytes(dir.Path("odd.wav"));
    ASSERT_EQ(file.size(), 47u);
    EXPECT_EQ(Le32At(file, 4), 39u);
    EXPECT_EQ(Le32At(file, 40), 3u);
    EXPECT_EQ(file[32], 1) << "block align";
    const SndfileContents read = ReadWithSndfile(dir.Path("odd.wav"));
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.format, SF_FORMAT_WAV | SF_FORMAT_PCM_U8);
    EXPECT_EQ(read.samples, (std::vector<short>{-32768, 0, 127 * 256}));
}

TEST(WavWriter, RefusesPathsThatCannotBeCreated) {
    TempDir dir;
    WavWriter writer;
    EXPECT_FALSE(writer.Begin("", 2, 44100, 16));
    EXPECT_FALSE(writer.Begin(dir.Path("no/such/folder.wav"), 2, 44100, 16));
    EXPECT_FALSE(writer.Begin("/dev/full", 2, 44100, 16)) << "the header cannot be written";
}

/// Limits the size of files this process writes, for one scope.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit limit = previous_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

TEST(WavWriter, AFullDiskFailsTheJobAndLeavesWholeBlocksWithMatchingSizes) {
    TempDir dir;
    WavWriter writer;
    const Bytes block = Pattern16Samples(1000, 1);
    {
        FileSizeLimit limit(44 + 2 * block.size() + 500);
        ASSERT_TRUE(writer.Begin(dir.Path("full.wav"), 1, 8000, 16));
        EXPECT_TRUE(writer.Append(block));
        EXPECT_TRUE(writer.Append(block));
        EXPECT_FALSE(writer.Append(block));
        EXPECT_FALSE(writer.Append(block)) << "later blocks fail too";
        EXPECT_FALSE(writer.Finish());
    }
    const Bytes file = ReadFileBytes(dir.Path("full.wav"));
    ASSERT_EQ(file.size(), 44 + 2 * block.size());
    EXPECT_EQ(Le32At(file, 4), file.size() - 8);
    EXPECT_EQ(Le32At(file, 40), 2 * block.size());
    const SndfileContents read = ReadWithSndfile(dir.Path("full.wav"));
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.frames, 2000);
}

}  // namespace
