// Tests of block production without a worker thread: the chain with 0, 1 and
// 2 plug-ins, counts that change, output growth, and the whole spine from a
// source file to encoded bytes.
#include <gtest/gtest.h>

#include <vector>

#include "block_producer.h"
#include "output_buffers.h"
#include "plugin_binding.h"
#include "support/test_env.h"
#include "support/wav_bytes.h"
#include "wave_messages.h"

namespace {

struct BlockProducerTest : ::testing::Test {
    TempDir dir;
    WavSource source;
    BlockProducer producer;
    PluginEntryLists lists;
    PcmBlock block;

    void OpenSource(const Bytes& wav) {
        WriteFileBytes(dir.Path("in.wav"), wav);
        ASSERT_TRUE(source.Open(dir.Path("in.wav")));
    }
    void Bind(const std::vector<void*>& modules) { ASSERT_TRUE(BindPluginEntries(modules, lists)); }
    /// The next block of the job, in `block`.
    bool Produce(const OutputFormat& format) {
        return producer.ProduceBlock(source, SourceBlockFrames, format, lists, block);
    }
    /// A new job over the same source, from its start.
    void RestartJob() {
        source.ResetConsumed();
        producer.StartJob();
    }
    void TearDown() override { ReleaseOutputBuffers(); }
};

std::int16_t Sample16(const PcmBlock& block, std::size_t index) {
    return static_cast<std::int16_t>(block.bytes[2 * index] | (block.bytes[2 * index + 1] << 8));
}

TEST_F(BlockProducerTest, WithoutPluginsASourceComesBackExactlyWithoutItsPadding) {
    OpenSource(PcmWav(2, 44100, 16, Pattern16Samples(1000, 2)));
    ASSERT_TRUE(Produce({2, 44100, 16}));
    ASSERT_EQ(block.length, 1000 * 4);
    const Bytes expected = Pattern16Samples(1000, 2);
    EXPECT_TRUE(std::equal(expected.begin(), expected.end(), block.bytes.begin()));
    EXPECT_EQ(OutputCapacity, 65536);
    const PcmBlock before = block;
    EXPECT_FALSE(Produce({2, 44100, 16}));
    EXPECT_EQ(block.length, before.length) << "an exhausted source leaves the block unchanged";
}

TEST_F(BlockProducerTest, SpineAt48kHzMatchesTheArithmeticThroughTwoPlugins) {
    constexpr int kFrames = 100000;
    constexpr int kWorking = 71331;
    OpenSource(PcmWav(2, 44100, 16, Pattern16Samples(kFrames, 2)));
    TestPlugin first("passthrough", &dir, "first");
    TestPlugin second("passthrough", &dir, "second");
    Bind({first.Handle(), second.Handle()});
    ResizeOutput(1000000);
    for (int b = 0; b < 2; ++b) {
        ASSERT_TRUE(Produce({2, 48000, 16})) << "block " << b;
        EXPECT_EQ(producer.BlockFrames(), kWorking);
        // Every working frame that holds a source frame; the last block
        // leaves out the frames of its padding.
        int frames = 0;
        while (frames < kWorking && std::int64_t{b} * 65536 + std::int64_t{frames} * 65536 / kWorking < kFrames) {
            ++frames;
        }
        ASSERT_EQ(block.length, frames * 4);
        for (int i = 0; i < frames; ++i) {
            const std::int64_t frame = std::int64_t{b} * 65536 + std::int64_t{i} * 65536 / kWorking;
            for (int c = 0; c < 2; ++c) {
                ASSERT_EQ(Sample16(block, static_cast<std::size_t>(2 * i + c)), Pattern16(static_cast<int>(frame), c))
                    << "block " << b << " frame " << i << " channel " << c;
            }
        }
    }
    EXPECT_EQ(block.length, (std::int64_t{kFrames} * 48000 / 44100 - kWorking) * 4) << "the source's frames at 48 kHz";
    EXPECT_FALSE(Produce({2, 48000, 16}));
    EXPECT_EQ(*second.Symbol<int>("LastCount"), kWorking);
    EXPECT_EQ(*second.Symbol<int>("LastSampleRate"), 48000);
    EXPECT_EQ(*first.Symbol<int>("EffectEntCalls"), 3) << "two data blocks and a silent flush block";
}

TEST_F(BlockProducerTest, ChainRunsInListOrder) {
    Bytes raw;
    AppendLe16(raw, 16384);  // 0.5
    OpenSource(PcmWav(1, 8000, 16, raw));
    TestPlugin halve("passthrough", &dir, "halve");
    TestPlugin shift("passthrough", &dir, "shift");
    *halve.Symbol<double>("Gain") = 0.5;
    *shift.Symbol<double>("Offset") = 0.25;
    Bind({halve.Handle(), shift.Handle()});
    ASSERT_TRUE(Produce({1, 8000, 16}));
    EXPECT_EQ(Sample16(block, 0), 16384) << "0.5 x 0.5 + 0.25";
    RestartJob();
    Bind({shift.Handle(), halve.Handle()});
    ASSERT_TRUE(Produce({1, 8000, 16}));
    EXPECT_EQ(Sample16(block, 0), 12288) << "(0.5 + 0.25) x 0.5";
}

TEST_F(BlockProducerTest, ReturnedCountBecomesTheNextInputAndTheBlockLength) {
    OpenSource(PcmWav(1, 22050, 8, Pattern8Samples(200000, 1)));
    TestPlugin shorter("length_changer");
    TestPlugin after("passthrough");
    Bind({shorter.Handle(), after.Handle()});
    ASSERT_TRUE(Produce({1, 44100, 8}));
    EXPECT_EQ(producer.BlockFrames(), 131072);
    EXPECT_EQ(*after.Symbol<int>("LastCount"), 65536);
    EXPECT_EQ(producer.ChainFrames(), 65536);
    EXPECT_EQ(block.length, 65536);
    *shorter.Symbol<int>("Numerator") = 3;
    ASSERT_TRUE(Produce({1, 44100, 8}));
    EXPECT_EQ(block.length, 196608) << "the length follows the plug-in from block to block";
    EXPECT_EQ(block.bytes[1], Pattern8(65536, 0));
}

TEST_F(BlockProducerTest, ZeroFramesMakeAnEmptyBlockAndAnEmptyNextCall) {
    OpenSource(PcmWav(1, 8000, 16, Pattern16Samples(10, 1)));
    TestPlugin nothing("length_changer");
    TestPlugin after("passthrough");
    *nothing.Symbol<int>("Numerator") = 0;
    *after.Symbol<int>("LastCount") = -1;
    Bind({nothing.Handle(), after.Handle()});
    ASSERT_TRUE(Produce({2, 8000, 16}));
    EXPECT_EQ(block.length, 0);
    EXPECT_EQ(*after.Symbol<int>("LastCount"), 0);
}

TEST_F(BlockProducerTest, ResizeForMoreThanWrittenKeepsTheLargerCapacityAndTheData) {
    OpenSource(PcmWav(2, 11025, 16, Pattern16Samples(100000, 2)));
    TestPlugin grower("over_resizer");
    Bind({grower.Handle()});
    ResizeOutput(100);
    ASSERT_TRUE(Produce({2, 11025, 16}));
    EXPECT_EQ(*grower.Symbol<int>("CapacityOnEntry"), 100);
    EXPECT_EQ(OutputCapacity, 3 * 65536);
    ASSERT_EQ(block.length, 65536 * 4);
    for (int i : {0, 32767, 32768, 39999}) {
        EXPECT_EQ(Sample16(block, static_cast<std::size_t>(2 * i + 1)), Pattern16(i, 1)) << "frame " << i;
    }
    RestartJob();
    ASSERT_TRUE(Produce({2, 11025, 16}));
    EXPECT_EQ(*grower.Symbol<int>("CapacityOnEntry"), 3 * 65536);
}

TEST_F(BlockProducerTest, ACountBeyondTheOutputIsClampedToWhatItHolds) {
    OpenSource(PcmWav(1, 8000, 16, Pattern16Samples(70000, 1)));
    TestPlugin liar("length_changer");
    Bind({liar.Handle()});
    ResizeOutput(500);
    *liar.Symbol<int>("Misreport") = 1 << 30;
    ASSERT_TRUE(Produce({2, 8000, 16}));
    EXPECT_EQ(block.length, 500 * 4);
    *liar.Symbol<int>("Misreport") = -7;
    RestartJob();
    ASSERT_TRUE(Produce({2, 8000, 16}));
    EXPECT_EQ(block.length, 0);
}

TEST_F(BlockProducerTest, MoreSourceChannelsKeepLeftAndRight) {
    Bytes raw;
    for (int v : {100, 200, 300, 400, 500, 600}) {
        AppendLe16(raw, static_cast<std::uint16_t>(v));
    }
    OpenSource(PcmWav(6, 8000, 16, raw));
    ASSERT_TRUE(Produce({2, 8000, 16}));
    EXPECT_EQ(Sample16(block, 0), 100);
    EXPECT_EQ(Sample16(block, 1), 200);
}

}  // namespace
