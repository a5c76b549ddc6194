// Sources in other formats than integer-PCM WAV, decoded with FFmpeg. The
// encoded files are made here (with libsndfile, or ffmpeg) from the same
// samples as a WAV: a lossless one must save exactly the WAV's bytes, a lossy
// one must decode to about the right sound and length, a cut one must fail.
#include <gtest/gtest.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <functional>
#include <limits>
#include <numbers>

#include "support/sound_tools.h"
#include "support/sndfile_read.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "job_end.h"
#include "source_file.h"
#include "source_length.h"
#include "wave_file.h"

namespace {

/// Writes `frames` frames through libsndfile in `format`; `sample(f, c)` is a
/// 32-bit left-justified integer sample.
void Encode(const std::string& path, int format, int rate, int channels, int frames,
            const std::function<int(int, int)>& sample) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    ASSERT_TRUE(sf_format_check(&info)) << std::hex << format;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<int> data(static_cast<std::size_t>(frames) * channels);
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) data[static_cast<std::size_t>(f) * channels + c] = sample(f, c);
    }
    // libsndfile stores integers in a float file unscaled: give it the
    // values at full scale 1.0 (exact: every sample has at most 24 bits).
    const int subtype = format & SF_FORMAT_SUBMASK;
    const bool floating = subtype == SF_FORMAT_FLOAT || subtype == SF_FORMAT_DOUBLE;
    std::vector<double> scaled(data.begin(), data.end());
    for (double& x : scaled) x /= 2147483648.0;
    // In pieces: libvorbis's encoder has crashed on very large single writes.
    constexpr int kPiece = 8192;
    for (int f = 0; f < frames; f += kPiece) {
        const int count = std::min(kPiece, frames - f);
        const std::size_t at = static_cast<std::size_t>(f) * channels;
        EXPECT_EQ(
            floating ? sf_writef_double(file, scaled.data() + at, count) : sf_writef_int(file, data.data() + at, count),
            count);
    }
    sf_close(file);
}

/// A 24-bit pattern whose low byte is not zero, so every bit counts.
std::int32_t Pattern24(int frame, int channel) {
    return Pattern16(frame, channel) * 256 + (frame * 13 + channel) % 256;
}

Bytes Pattern24Samples(int frames, int channels) {
    Bytes bytes;
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            const auto value = static_cast<std::uint32_t>(Pattern24(f, c));
            for (int b = 0; b < 3; ++b) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * b)));
        }
    }
    return bytes;
}

struct DecodedSaveTest : ::testing::Test {
    TempDir dir;
    WindowInbox inbox;
    CWaveFile engine{inbox.Target()};

    /// Saves `source` with no plug-in; returns the end code (-1 when the job
    /// did not start) and the output's bytes in `bytes`.
    long Save(const std::string& source, const OutputFormat& format, Bytes& bytes) {
        const std::string output = dir.Path("out.wav");
        unlink(output.c_str());
        if (!engine.PrepareJob({}, source, output, format.channels, format.rate, format.bits, SourceBlockFrames, -1) ||
            !engine.StartSave()) {
            return -1;
        }
        const auto message = inbox.Next();
        if (!message || message->message != WM_WAVE_SAVE_ENDED) return -1;
        bytes = ReadFileBytes(output);
        return static_cast<long>(message->lParam);
    }
};

TEST_F(DecodedSaveTest, LosslessFilesSaveExactlyTheBytesOfTheirWav) {
    constexpr int kFrames = 70000;  // two blocks, the last one mostly silence
    struct Case {
        const char* name;
        int format;
        bool wide;  // 24-bit values instead of 16-bit ones
    };
    const Case cases[] = {
        {"flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, false},
        {"float.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, false},
        {"double.wav", SF_FORMAT_WAV | SF_FORMAT_DOUBLE, false},
        {"ext.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_16, false},
        {"aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, false},
        {"w64", SF_FORMAT_W64 | SF_FORMAT_PCM_16, false},
        {"rf64", SF_FORMAT_RF64 | SF_FORMAT_PCM_16, false},
        {"caf", SF_FORMAT_CAF | SF_FORMAT_PCM_16, false},
        {"24.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, true},
        {"24.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, true},
        {"24f.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, true},
        {"24ext.wav", SF_FORMAT_WAVEX | SF_FORMAT_PCM_24, true},
    };
    const OutputFormat formats[] = {{2, 44100, 16}, {1, 48000, 8}};
    for (const bool wide : {false, true}) {
        const std::string wav = dir.Path(wide ? "ref24.wav" : "ref16.wav");
        WriteFileBytes(wav, wide ? PcmWav(2, 44100, 24, Pattern24Samples(kFrames, 2))
                                 : PcmWav(2, 44100, 16, Pattern16Samples(kFrames, 2)));
        for (const OutputFormat& format : formats) {
            Bytes expected;
            ASSERT_EQ(Save(wav, format, expected), 1);
            ASSERT_GT(expected.size(), 44u);
            for (const Case& c : cases) {
                if (c.wide != wide) continue;
                SCOPED_TRACE(std::string(c.name) + " at " + std::to_string(format.rate));
                const std::string encoded = dir.Path(std::string("in.") + c.name);
                Encode(encoded, c.format, 44100, 2, kFrames,
                       [&](int f, int ch) { return wide ? Pattern24(f, ch) * 256 : Pattern16(f, ch) * 65536; });
                Bytes saved;
                EXPECT_EQ(Save(encoded, format, saved), 1);
                EXPECT_TRUE(saved == expected) << "saved " << saved.size() << " bytes, the WAV " << expected.size();
                // A decoded source counts its progress in bytes of the file,
                // and reaches its end.
                EXPECT_EQ(engine.DataSize(), static_cast<std::int64_t>(std::filesystem::file_size(encoded)));
                EXPECT_EQ(engine.Consumed(), engine.DataSize());
            }
        }
    }
}

TEST_F(DecodedSaveTest, FloatSamplesClipAtFullScaleAndRoundHalfUp) {
    // Beyond full scale a float file clips; it never wraps to the other sign.
    const float samples[] = {1.0f,
                             1.5f,
                             -1.5f,
                             -1.0f,
                             std::numeric_limits<float>::quiet_NaN(),
                             0.5f / 32768,
                             -0.5f / 32768,
                             32767.0f / 32768,
                             1e9f};
    const short expected[] = {32767, 32767, -32768, -32768, 0, 1, 0, 32767, 32767};
    const std::string source = dir.Path("loud.wav");
    SF_INFO info{};
    info.samplerate = 8000;
    info.channels = 1;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(source.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(sf_writef_float(file, samples, std::size(samples)), static_cast<sf_count_t>(std::size(samples)));
    sf_close(file);

    Bytes saved;
    ASSERT_EQ(Save(source, {1, 8000, 16}, saved), 1);
    ASSERT_GE(saved.size(), 44 + 2 * std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const auto value = static_cast<short>(saved[44 + 2 * i] | (saved[45 + 2 * i] << 8));
        EXPECT_EQ(value, expected[i]) << "sample " << i;
    }
}

TEST_F(DecodedSaveTest, ADecodedFileThatEndsEarlyFailsTheSave) {
    // The FLAC header states 200000 frames; the file holds about half.
    const std::string source = dir.Path("cut.flac");
    Encode(source, SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 44100, 2, 200000,
           [](int f, int c) { return Pattern16(f, c) * 65536; });
    struct stat status {};
    ASSERT_EQ(stat(source.c_str(), &status), 0);
    ASSERT_EQ(truncate(source.c_str(), status.st_size / 2), 0);
    Bytes saved;
    EXPECT_EQ(Save(source, {2, 44100, 16}, saved), static_cast<long>(JobEnd::ReadFailed));
    EXPECT_EQ(engine.State(), WS_IDLE);
}

TEST_F(DecodedSaveTest, AStreamEndingWhereABlockEndsIsStillFlushed) {
    // A cut Ogg stream does not state its length. With blocks as long as its
    // sound, the second fetch brings nothing: what the plug-in holds back must
    // come out all the same, so the output is as long as the source.
    const std::string source = dir.Path("cut.ogg");
    Encode(source, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1, 100000,
           [](int f, int) { return Pattern16(f, 0) * 32768; });
    struct stat status {};
    ASSERT_EQ(stat(source.c_str(), &status), 0);
    ASSERT_EQ(truncate(source.c_str(), status.st_size / 2), 0);
    SourceFile measure;
    ASSERT_TRUE(measure.Open(source));
    GrowBuffer<std::uint8_t> raw;
    while (measure.FetchBlock(SourceBlockFrames, raw)) {}
    const auto length = static_cast<int>(measure.DataSize());
    ASSERT_GT(length, 2000);
    ASSERT_LE(length, SourceBlockFrames);

    TestPlugin holdback("holdback");  // 1000 samples
    const std::string output = dir.Path("out.wav");
    ASSERT_TRUE(engine.PrepareJob({holdback.Handle()}, source, output, 1, 44100, 16, length, -1));
    ASSERT_TRUE(engine.StartSave());
    const auto message = inbox.Next();
    ASSERT_TRUE(message && message->message == WM_WAVE_SAVE_ENDED);
    EXPECT_EQ(message->lParam, static_cast<long>(JobEnd::Completed));
    const SndfileContents saved = ReadWithSndfile(output);
    ASSERT_TRUE(saved.opened);
    EXPECT_EQ(saved.info.frames, length);
    EXPECT_EQ(*holdback.Symbol<int>("EffectEntCalls"), 2) << "one data block, then one of silence";
}

TEST_F(DecodedSaveTest, AlacAndPcmInMovSaveTheWavsBytesAndCutOrSilentFilesFail) {
    const std::string tone = dir.Path("tone.wav");
    const auto make = [&](const std::string& name, const std::string& options) {
        EXPECT_TRUE(RunTool("ffmpeg -v error " + options + " " + dir.Path(name)));
        return dir.Path(name);
    };
    ASSERT_TRUE(RunTool("sox -n -r 44100 -c 2 -b 16 " + tone + " synth 3 sine 441 gain -6.02"));
    Bytes expected;
    Bytes saved;
    ASSERT_EQ(Save(tone, {2, 22050, 16}, expected), 1);
    for (const std::string& lossless :
         {make("alac.m4a", "-i " + tone + " -c:a alac"), make("pcm.mov", "-i " + tone + " -c:a pcm_s16le")}) {
        EXPECT_EQ(Save(lossless, {2, 22050, 16}, saved), 1) << lossless;
        EXPECT_TRUE(saved == expected) << lossless;
        EXPECT_EQ(ReadSourceLength(lossless)->frames, 3 * 44100);
    }
    EXPECT_FALSE(ReadSourceLength(make("bare.mp3", "-i " + tone + " -write_xing 0"))->known) << "a bit-rate estimate";
    testing::internal::CaptureStderr();
    EXPECT_FALSE(ReadSourceLength(tone.substr(0, tone.size() - 2)));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a half-typed path is read quietly";
    // Cut in the middle of its sound: a read failure, and no output.
    const std::string cut = make("cut.m4a", "-i " + tone + " -c:a aac -movflags +faststart");
    ASSERT_EQ(truncate(cut.c_str(), static_cast<off_t>(std::filesystem::file_size(cut) / 2)), 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(Save(cut, {2, 22050, 16}, saved), static_cast<long>(JobEnd::ReadFailed));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("cannot decode the source " + cut), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("out.wav")));
    const std::string silent = make("silent.mp4", "-f lavfi -i testsrc=size=64x48:rate=10 -t 2 -c:v mpeg4");
    testing::internal::CaptureStderr();
    EXPECT_EQ(Save(silent, {2, 22050, 16}, saved), -1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "zarevo engine: cannot open the source " + silent + ": it holds no sound (no audio stream)\n");
}

/// Descriptors this process holds open.
int OpenDescriptors() {
    return static_cast<int>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"), std::filesystem::directory_iterator()));
}

TEST(SourceFileOpen, LeavesIntegerPcmWavToTheOwnReaderAndRefusesWhatNeitherTakes) {
    TempDir dir;
    SourceFile source;
    const int descriptorsBefore = OpenDescriptors();
    WriteFileBytes(dir.Path("plain.wav"), PcmWav(2, 8000, 16, Pattern16Samples(100, 2)));
    ASSERT_TRUE(source.Open(dir.Path("plain.wav")));
    EXPECT_FALSE(source.IsDecoded());
    EXPECT_EQ(source.DataSize(), 400) << "bytes, as the own reader counts";
    // A WAV that only the decoder takes opens without a failure line.
    for (const int format : {SF_FORMAT_WAV | SF_FORMAT_FLOAT, SF_FORMAT_WAVEX | SF_FORMAT_PCM_16}) {
        const std::string decoded = dir.Path("decoded.wav");
        Encode(decoded, format, 8000, 1, 100, [](int f, int) { return Pattern16(f, 0) * 65536; });
        testing::internal::CaptureStderr();
        EXPECT_TRUE(source.Open(decoded));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_TRUE(source.IsDecoded());
    }

    // Integer PCM that the own reader refuses (12-bit samples) stays refused,
    // although libsndfile would read it.
    const std::string odd = dir.Path("twelve.wav");
    WriteFileBytes(odd, PcmWav(1, 8000, 12, Pattern16Samples(100, 1)));
    SF_INFO info{};
    SNDFILE* libsndfileTakesIt = sf_open(odd.c_str(), SFM_READ, &info);
    ASSERT_NE(libsndfileTakesIt, nullptr) << "the case needs a file libsndfile opens";
    sf_close(libsndfileTakesIt);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(source.Open(odd));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("the source " + odd + " is not a WAV file of integer PCM"),
              std::string::npos);
    // Big-endian WAV is neither reader's (FFmpeg would read it as
    // little-endian noise), and the refusal says why.
    const std::string rifx = dir.Path("rifx.wav");
    Encode(rifx, SF_FORMAT_WAV | SF_FORMAT_PCM_16 | SF_ENDIAN_BIG, 8000, 1, 100,
           [](int f, int) { return Pattern16(f, 0) * 65536; });
    testing::internal::CaptureStderr();
    EXPECT_FALSE(source.Open(rifx));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("zarevo engine: the source " + rifx), std::string::npos);

    WriteFileBytes(dir.Path("text.wav"), Bytes{'n', 'o', ' ', 's', 'o', 'u', 'n', 'd'});
    EXPECT_FALSE(source.Open(dir.Path("text.wav")));
    EXPECT_FALSE(source.Open(dir.Path("missing.flac")));
    EXPECT_FALSE(source.Open(""));
    // Neither reader blocks on a FIFO or takes a directory or a device.
    const std::string fifo = dir.Path("fifo.flac");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(source.Open(fifo));
    EXPECT_FALSE(source.Open(dir.Path("")));
    EXPECT_FALSE(source.Open("/dev/zero"));
    // Every refusal closed what it opened, exactly once.
    EXPECT_EQ(OpenDescriptors(), descriptorsBefore);
}

TEST(SourceFileOpen, LossyFilesDecodeToTheSoundAndLengthTheyWereMadeFrom) {
    constexpr int kFrames = 100000;
    struct Case {
        const char* name;
        int format;
        int rate;
        int codecFrame;  // frames of one codec frame: the length tolerance
    };
    const Case cases[] = {
        {"mp3", SF_FORMAT_MPEG | SF_FORMAT_MPEG_LAYER_III, 44100, 1152},
        {"ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 2048},
        {"opus", SF_FORMAT_OGG | SF_FORMAT_OPUS, 48000, 960},
    };
    TempDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.Path(std::string("tone.") + c.name);
        // 441 Hz at half scale on the left, silence on the right.
        const double step = 2 * std::numbers::pi * 441.0 / c.rate;
        Encode(path, c.format, c.rate, 2, kFrames, [&](int f, int ch) {
            return ch == 0 ? static_cast<int>(std::lround(0.5 * std::sin(step * f) * 2147483647.0)) : 0;
        });
        SourceFile source;
        ASSERT_TRUE(source.Open(path));
        EXPECT_TRUE(source.IsDecoded());
        EXPECT_EQ(source.Rate(), c.rate);
        const DecodedWhole decoded = DecodeWhole(path);
        ASSERT_EQ(decoded.rms.size(), 2u);
        EXPECT_FALSE(decoded.readFailed);
        EXPECT_EQ(decoded.frames, decoded.dataSize);
        EXPECT_NEAR(static_cast<double>(decoded.frames), kFrames, c.codecFrame);
        EXPECT_NEAR(decoded.rms[0], 0.5 / std::numbers::sqrt2, 0.05) << "the tone, not silence";
        EXPECT_LT(decoded.rms[1], 0.02);
    }
}

TEST(SourceFileOpen, AnOggStreamCutShortDecodesWhatItHolds) {
    // Without its last page an Ogg file does not state its length: the data
    // end where the decoder ends, and that is no failure.
    TempDir dir;
    const std::string path = dir.Path("cut.ogg");
    Encode(path, SF_FORMAT_OGG | SF_FORMAT_VORBIS, 44100, 1, 200000,
           [](int f, int) { return Pattern16(f, 0) * 32768; });
    struct stat status {};
    ASSERT_EQ(stat(path.c_str(), &status), 0);
    ASSERT_EQ(truncate(path.c_str(), status.st_size / 2), 0);

    SourceFile source;
    ASSERT_TRUE(source.Open(path));
    EXPECT_GT(source.DataSize(), 200000) << "the length is not known yet";
    EXPECT_EQ(ProgressPercent(0, source.DataSize()), 0);
    GrowBuffer<std::uint8_t> raw;
    int blocks = 0;
    while (source.FetchBlock(SourceBlockFrames, raw)) ++blocks;
    EXPECT_FALSE(source.ReadFailed());
    EXPECT_EQ(source.Consumed(), source.DataSize());
    EXPECT_GT(source.DataSize(), 20000);
    EXPECT_LT(source.DataSize(), 150000);
    EXPECT_EQ(blocks, (source.DataSize() + SourceBlockFrames - 1) / SourceBlockFrames);
}

}  // namespace
