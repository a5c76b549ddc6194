// Known answers for the end of a job's output: without plug-ins, or with
// plug-ins that keep the length, exactly the source's frames at the output
// rate; what a plug-in holds back comes out once; a shortened sound ends at
// its length; a declared tail rings on to its last sound, and no further
// than declared; an endless sound stops after the most flush blocks allowed.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "block_producer.h"
#include "output_buffers.h"
#include "plugin_binding.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_messages.h"

namespace {

constexpr int F = SourceBlockFrames;

struct Source {
    int channels;
    int rate;
    int bits;
    int frames;
    int silentTail = 0;  ///< last frames set to digital silence
    int FrameBytes() const { return channels * bits / 8; }
    Bytes Samples() const {
        Bytes samples = bits == 8 ? Pattern8Samples(frames, channels) : Pattern16Samples(frames, channels);
        const auto tailBytes = static_cast<std::size_t>(silentTail * FrameBytes());
        std::fill(samples.end() - static_cast<std::ptrdiff_t>(tailBytes), samples.end(), bits == 8 ? 0x80 : 0x00);
        return samples;
    }
};

/// The source's frames at `outputRate`, block by block as the engine
/// converts them (sample-and-hold), without the padding of the last block.
/// Works at the source's own width and channels, so bytes compare exactly.
Bytes SourceAtRate(const Source& source, int outputRate) {
    const Bytes samples = source.Samples();
    const auto frameBytes = static_cast<std::size_t>(source.FrameBytes());
    const std::int64_t e = std::int64_t{F} * outputRate / source.rate;
    Bytes converted;
    for (std::int64_t block = 0;; ++block) {
        for (std::int64_t i = 0; i < e; ++i) {
            const std::int64_t frame = block * F + i * F / e;
            if (frame >= source.frames) return converted;
            const auto at = static_cast<std::size_t>(frame) * frameBytes;
            converted.insert(converted.end(), samples.begin() + at, samples.begin() + at + frameBytes);
        }
    }
}

struct EndOfDataTest : ::testing::Test {
    TempDir dir;
    WavSource source;
    BlockProducer producer;
    PluginEntryLists lists;
    int blocks = 0;

    void Open(const Source& s) {
        WriteFileBytes(dir.Path("in.wav"), PcmWav(s.channels, s.rate, s.bits, s.Samples()));
        ASSERT_TRUE(source.Open(dir.Path("in.wav")));
    }
    void Bind(const std::vector<void*>& modules) {
        ASSERT_TRUE(BindPluginEntries(modules, lists));
        for (ZarevoConstructerFn constructer : lists.constructer) constructer();
    }
    /// Every block of a whole job, concatenated.
    Bytes RunJob(const OutputFormat& format) {
        source.ResetConsumed();
        producer.StartJob();
        ResizeOutput(100);
        Bytes all;
        PcmBlock block;
        blocks = 0;
        while (producer.ProduceBlock(source, F, format, lists, block)) {
            all.insert(all.end(), block.bytes.begin(), block.bytes.begin() + block.length);
            ++blocks;
        }
        EXPECT_FALSE(producer.ProduceBlock(source, F, format, lists, block)) << "the end stays the end";
        return all;
    }
    void TearDown() override { ReleaseOutputBuffers(); }
};

std::int16_t Sample16(const Bytes& pcm, std::size_t index) {
    return static_cast<std::int16_t>(pcm[2 * index] | (pcm[2 * index + 1] << 8));
}

TEST_F(EndOfDataTest, WithoutPluginsOrWithPassThroughTheOutputIsTheSourcesFramesAtTheOutputRate) {
    struct Case {
        Source source;
        int outputRate;
    };
    const Case cases[] = {
        {{2, 44100, 16, 132300}, 22050},       // 3 s: 66150 frames
        {{1, 22050, 8, 70000}, 44100},         // frames repeated
        {{2, 44100, 16, 100000}, 48000},       // 71331 frames per block, truncated
        {{1, 8000, 16, 2 * F}, 8000},          // whole blocks, no padding
        {{2, 11025, 16, 30000, 3000}, 11025},  // trailing digital silence is the source's own
        {{1, 11025, 8, 5000, 5000}, 11025},    // nothing but silence
    };
    TestPlugin passthrough("passthrough");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.source.rate << " Hz, " << c.source.frames << " frames -> "
                                        << c.outputRate);
        Open(c.source);
        const Bytes expected = SourceAtRate(c.source, c.outputRate);
        const OutputFormat format{c.source.channels, c.outputRate, c.source.bits};
        Bind({});
        EXPECT_EQ(RunJob(format), expected);
        Bind({passthrough.Handle()});
        EXPECT_EQ(RunJob(format), expected);
    }
    EXPECT_EQ(SourceAtRate({2, 44100, 16, 132300}, 22050).size(), 66150u * 4);
}

TEST_F(EndOfDataTest, HeldBackSamplesComeOutOnceAndTheLengthStaysTheSources) {
    TestPlugin holdback("holdback");
    // 40000 held samples are more than the 31072 that pad the last block, so
    // part of the source's own end arrives only with the flush.
    for (int held : {1000, 40000}) {
        for (const Source& s :
             {Source{2, 8000, 16, 100000}, Source{2, 8000, 16, 100000, 2000}, Source{1, 8000, 16, F}}) {
            SCOPED_TRACE(testing::Message()
                         << "holding " << held << ", " << s.frames << " frames, silent tail " << s.silentTail);
            *holdback.Symbol<int>("HoldBack") = held;
            *holdback.Symbol<int>("EffectEntCalls") = 0;
            Open(s);
            Bind({holdback.Handle()});
            EXPECT_EQ(RunJob({s.channels, 8000, 16}), SourceAtRate(s, 8000));
            // The data blocks and one flush block, which brings the held
            // samples and so the source's whole length: without a tail, that is all.
            const int dataBlocks = (s.frames + F - 1) / F;
            EXPECT_EQ(*holdback.Symbol<int>("EffectEntCalls"), dataBlocks + 1);
        }
    }
}

TEST_F(EndOfDataTest, AHalvingChainEndsAtItsLastSoundWithoutPadding) {
    TestPlugin halve("length_changer");
    const Source s{2, 8000, 16, 100000};
    Open(s);
    Bind({halve.Handle()});
    const Bytes out = RunJob({2, 8000, 16});
    // Each block keeps every second frame; the last block's real frames
    // (34464) give 17232, and nothing of its padding follows.
    ASSERT_EQ(out.size(), static_cast<std::size_t>(32768 + 17232) * 4);
    const Bytes samples = s.Samples();
    for (int frame : {0, 32767, 32768, 49999}) {
        const int source = frame < 32768 ? 2 * frame : F + 2 * (frame - 32768);
        EXPECT_EQ(Sample16(out, 2 * frame), Pattern16(source, 0)) << frame;
    }
    EXPECT_EQ(blocks, 2) << "the flush block came out silent and added nothing";
}

TEST_F(EndOfDataTest, ADeclaredTailRingsOnToItsLastSoundAndNoFurther) {
    TestPlugin tail("tail");
    // A constant sound: left 0.25, right -0.5.
    Bytes samples;
    for (int f = 0; f < 70000; ++f) {
        AppendLe16(samples, 8192);
        AppendLe16(samples, static_cast<std::uint16_t>(-16384));
    }
    WriteFileBytes(dir.Path("in.wav"), PcmWav(2, 8000, 16, samples));
    ASSERT_TRUE(source.Open(dir.Path("in.wav")));
    // Tail frames produced, declared, and kept after the source's 70000 (150000
    // reach into the second flush block): a tail ends at its last sound or its declared length.
    for (const auto [produced, declared, kept] :
         {std::array{500, 500, 500}, std::array{150000, 150000, 150000}, std::array{500, 150000, 500},
          std::array{500, 0, 0}, std::array{1000, 500, 500}}) {
        SCOPED_TRACE(testing::Message() << produced << " produced, " << declared << " declared");
        *tail.Symbol<int>("TailFrames") = produced;
        *tail.Symbol<int>("DeclaredTail") = declared;
        Bind({tail.Handle()});
        const Bytes out = RunJob({2, 8000, 16});
        ASSERT_EQ(out.size(), static_cast<std::size_t>(70000 + kept) * 4);
        const int last = 70000 + kept - 1;
        const bool echoes = last >= produced && last - produced < 70000;
        EXPECT_EQ(Sample16(out, 2 * static_cast<std::size_t>(last)), (last < 70000 ? 8192 : 0) + (echoes ? 4096 : 0));
        EXPECT_EQ(blocks, kept > 2 * F - 70000 ? 3 : 2) << "the flush ends once the tail is out";
    }
}

TEST_F(EndOfDataTest, AnEndlessSoundEndsWithTheSourceOrAfterFourFlushBlocks) {
    TestPlugin hum("passthrough");
    *hum.Symbol<double>("Offset") = 0.25;  // never silent, even from silence
    Open({1, 8000, 16, 1000});
    Bind({hum.Handle()});
    for (const int declared : {0, 1 << 30}) {
        *hum.Symbol<int>("DeclaredTail") = declared;
        *hum.Symbol<int>("EffectEntCalls") = 0;
        const int flushBlocks = declared == 0 ? 1 : EndOfData::MaxFlushBlocks;
        EXPECT_EQ(RunJob({1, 8000, 16}).size(), declared == 0 ? 1000u * 2 : (1u + flushBlocks) * F * 2) << declared;
        EXPECT_EQ(*hum.Symbol<int>("EffectEntCalls"), 1 + flushBlocks) << declared;
    }
}

}  // namespace
