// Tests of the output WAV file: header, size patch, odd lengths, refused
// paths, failed and size-limited writes, and the temporary file that only
// replaces the output when the job keeps it; each read back with libsndfile.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>

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
    ASSERT_EQ(writer.Append(samples), WriteStatus::Written);
    ASSERT_EQ(writer.Append(samples), WriteStatus::Written);
    ASSERT_TRUE(writer.Publish());
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
    ASSERT_EQ(writer.Append(Bytes{0, 128, 255}), WriteStatus::Written);
    ASSERT_TRUE(writer.Publish());
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

TEST(WavWriter, RefusesPathsThatCannotBeCreatedOrAreNoRegularFiles) {
    TempDir dir;
    WavWriter writer;
    EXPECT_FALSE(writer.Begin("", 2, 44100, 16));
    EXPECT_FALSE(writer.Begin(dir.Path("no/such/folder.wav"), 2, 44100, 16));
    // A FIFO would block the open until a reader came; a device or a folder is
    // no place for a WAV file. None of them is opened or replaced.
    ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(dir.Path("folder").c_str(), 0700), 0);
    for (const std::string& path : {dir.Path("fifo"), dir.Path("folder"), std::string("/dev/null")}) {
        EXPECT_FALSE(writer.Begin(path, 2, 44100, 16)) << path;
    }
    struct stat fifo {};
    ASSERT_EQ(stat(dir.Path("fifo").c_str(), &fifo), 0);
    EXPECT_TRUE(S_ISFIFO(fifo.st_mode));
    EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"fifo", "folder"})) << "no file left behind";
}

TEST(WavWriter, ReplacesAnOutputOnlyWhenPublishedAndKeepsItsPermissions) {
    TempDir dir;
    const std::string output = dir.Path("out.wav");
    const Bytes before = {'o', 'l', 'd'};
    WriteFileBytes(output, before);
    ASSERT_EQ(chmod(output.c_str(), 0640), 0);
    const Bytes block = Pattern16Samples(500, 1);
    {
        WavWriter discarded;
        ASSERT_TRUE(discarded.Begin(output, 1, 8000, 16));
        ASSERT_EQ(discarded.Append(block), WriteStatus::Written);
        // While it is written the file is valid up to its last block.
        const SndfileContents partial = ReadWithSndfile(discarded.ReadablePath());
        ASSERT_TRUE(partial.opened);
        EXPECT_EQ(partial.info.frames, 500);
        EXPECT_EQ(ReadFileBytes(output), before);
        discarded.Discard();
    }
    EXPECT_EQ(ReadFileBytes(output), before);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.wav"});

    WavWriter published;
    ASSERT_TRUE(published.Begin(output, 1, 8000, 16));
    ASSERT_EQ(published.Append(block), WriteStatus::Written);
    ASSERT_TRUE(published.Publish());
    const SndfileContents read = ReadWithSndfile(output);
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.frames, 500);
    struct stat status {};
    ASSERT_EQ(stat(output.c_str(), &status), 0);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{"out.wav"});
}

TEST(WavWriter, AnOutputNameOfTheLongestLengthIsSavedAndReplaced) {
    // 83 three-byte characters and ".wav": 253 bytes, a valid file name that
    // leaves no room for the temporary file's dot and suffix.
    std::string name;
    for (int i = 0; i < 83; ++i) name += "音";
    name += ".wav";
    ASSERT_EQ(name.size(), 253u);
    TempDir dir;
    const std::string output = dir.Path(name);
    WriteFileBytes(output, {'o', 'l', 'd'});
    WavWriter writer;
    ASSERT_TRUE(writer.Begin(output, 1, 8000, 16));
    ASSERT_EQ(writer.Append(Pattern16Samples(100, 1)), WriteStatus::Written);
    ASSERT_TRUE(writer.Publish());
    const SndfileContents read = ReadWithSndfile(output);
    ASSERT_TRUE(read.opened);
    EXPECT_EQ(read.info.frames, 100);
    EXPECT_EQ(dir.Entries(), std::vector<std::string>{name});
}

TEST(WavWriter, FailedWritesTellAFullDiskFromOtherErrorsAndLaterBlocksFailToo) {
    TempDir dir;
    const Bytes block = Pattern16Samples(1000, 1);
    {
        WriterSeams full(WavWriterSeams{WavMaxDataBytes, static_cast<std::int64_t>(block.size()) + 10, ENOSPC});
        WavWriter writer;
        ASSERT_TRUE(writer.Begin(dir.Path("full.wav"), 1, 8000, 16));
        EXPECT_EQ(writer.Append(block), WriteStatus::Written);
        EXPECT_EQ(writer.Append(block), WriteStatus::DiskFull);
        EXPECT_EQ(writer.Append(block), WriteStatus::DiskFull) << "later blocks fail too";
        EXPECT_EQ(writer.DataBytes(), static_cast<std::int64_t>(block.size()));
    }
    WavWriter limited;
    {
        FileSizeLimit limit(44 + 2 * block.size() + 500);
        ASSERT_TRUE(limited.Begin(dir.Path("big.wav"), 1, 8000, 16));
        EXPECT_EQ(limited.Append(block), WriteStatus::Written);
        EXPECT_EQ(limited.Append(block), WriteStatus::Written);
        EXPECT_EQ(limited.Append(block), WriteStatus::Failed) << "a file too large is no full disk";
    }
    const SndfileContents partial = ReadWithSndfile(limited.ReadablePath());
    ASSERT_TRUE(partial.opened);
    EXPECT_EQ(partial.info.frames, 2000) << "the sizes describe the whole blocks";
    limited.Discard();
    EXPECT_TRUE(dir.Entries().empty());
}

TEST(WavWriter, TheSizeLimitStopsAtTheLastWholeFrameWithAValidHeader) {
    TempDir dir;
    const Bytes block = Pattern16Samples(1000, 2);  // 4000 bytes
    WriterSeams seams(WavWriterSeams{10001, -1, 0});
    WavWriter writer;
    ASSERT_TRUE(writer.Begin(dir.Path("limit.wav"), 2, 44100, 16));
    EXPECT_EQ(writer.Append(block), WriteStatus::Written);
    EXPECT_EQ(writer.Append(block), WriteStatus::Written);
    EXPECT_EQ(writer.Append(block), WriteStatus::SizeLimit);
    EXPECT_EQ(writer.Append(block), WriteStatus::SizeLimit);
    ASSERT_TRUE(writer.Publish());
    const Bytes file = ReadFileBytes(dir.Path("limit.wav"));
    ASSERT_EQ(file.size(), 44u + 10000);
    EXPECT_EQ(Le32At(file, 4), file.size() - 8);
    EXPECT_EQ(Le32At(file, 40), 10000u);
    const SndfileContents read = ReadWithSndfile(dir.Path("limit.wav"));
    ASSERT_TRUE(read.opened);
    ASSERT_EQ(read.info.frames, 2500);
    EXPECT_EQ(read.samples[2 * 2499 + 1], Pattern16(499, 1));
}

}  // namespace
