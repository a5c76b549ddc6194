// Block production: fetch one block of source frames, convert it to the
// working pair at the output rate, run it through the plug-in chain and encode
// the chain's result as output PCM. After the data, blocks of silence flush
// what the plug-ins hold back and their declared tails, and the output ends
// where the source's length and the tails say (see EndOfData). The same
// producer feeds the sound device and the output file.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <span>

#include "end_of_data.h"
#include "grow_buffer.h"
#include "plugin_binding.h"
#include "wav_source.h"
#include "zarevo_plugin.h"

/// The output format of a job, checked by PrepareJob.
struct OutputFormat {
    int channels = 2;  ///< 1 or 2
    int rate = 44100;  ///< above 0
    int bits = 16;     ///< 8 or 16
};

/// Working frames a block of `sourceFrames` yields at `outputRate`:
/// sourceFrames x outputRate / sourceRate in 64 bits, truncated.
std::int64_t WorkingFramesPerBlock(int sourceFrames, int outputRate, int sourceRate);

/// Most working frames per block: every buffer of a job is sized by them, so
/// they bound its memory (about 40 MB of engine buffers at this size).
inline constexpr std::int64_t MaxWorkingFramesPerBlock = std::int64_t{1} << 20;

/// Source frames per block for a job: `blockFrames`, or fewer when a large
/// rate rise (a very low source rate) would make more than
/// MaxWorkingFramesPerBlock working frames of it. 0 when even one source
/// frame would (the job is refused).
int SourceFramesPerBlock(int blockFrames, int outputRate, int sourceRate);

class BlockProducer {
public:
    /// Starts a job: the next block is the first of the output.
    /// `stopRequested`, when given, tells whether the job is being stopped:
    /// such a job is not flushed.
    void StartJob(std::function<bool()> stopRequested = {});
    /// Produces the next block into `out`. True when `out` holds the block's
    /// PCM and length; false, leaving `out` unchanged, when the output has
    /// ended or a plug-in threw (see FailedPlugin). `plugins` are the
    /// chain's entry points, in chain order.
    /// Data blocks come first. The output keeps every frame up to the
    /// source's own length (its frames at the output rate, scaled by the
    /// chain's speed), then at most the sum of the plug-ins' EffectTail
    /// frames, asked once after the last data block, up to their last
    /// sound: the padding of the last block, a plug-in's smear past the end
    /// and trailing silence after the tail are left out. After the last data
    /// block, up to EndOfData::MaxFlushBlocks blocks of silence go through
    /// the chain to bring out what the plug-ins hold back or add (the first
    /// comes out in the same block as the last data), until that length has
    /// come out.
    /// A plug-in result outside 0 .. OutputCapacity is clamped into it, so a
    /// misbehaving plug-in cannot make the engine read past its buffers.
    bool ProduceBlock(BlockSource& source, int sourceFrames, const OutputFormat& format,
                      const PluginEntryLists& plugins, PcmBlock& out);
    /// Asks the plug-ins for their speed (EffectSpeed) at the start of a
    /// run: ChainSpeed() is then the product, 1 for a plug-in without the
    /// entry or with no usable answer. When every plug-in stated its speed,
    /// the output's end is placed by it. False when one threw (see
    /// FailedPlugin).
    bool AskChainSpeed(int sampleRate, std::span<const ZarevoEffectSpeedFn> speeds);
    /// Output frames per working frame of the run, from AskChainSpeed.
    double ChainSpeed() const { return chainSpeed_; }
    /// Feeds the next `sourceFrames` frames of the source through the chain
    /// (a pre-roll) and discards as many frames of the chain's output as
    /// they make at ChainSpeed(), in this call or in the blocks after it: a
    /// run that starts inside the data then begins at its first frame with
    /// the plug-ins already at full level. False when a plug-in threw (see
    /// FailedPlugin) or the source failed.
    /// Rationale: a plug-in that holds samples back gives the pre-roll's
    /// sound only in later calls, so discarding what this one call returns
    /// would let the pre-roll be heard.
    bool Preroll(BlockSource& source, int sourceFrames, const OutputFormat& format,
                 std::span<const ZarevoEffectEntFn> chain);
    /// [any thread] True from the first flush block to the next StartJob.
    bool Flushing() const { return flushing_.load(std::memory_order_relaxed); }
    /// Working frames of the last block (before the chain).
    int BlockFrames() const { return blockFrames_; }
    /// Frames handed to the last plug-in of the last block.
    int ChainFrames() const { return chainFrames_; }
    /// Chain position of the plug-in whose EffectEnt threw in the last
    /// ProduceBlock, or -1.
    int FailedPlugin() const { return failedPlugin_; }
    /// Frees every buffer.
    void Release();

private:
    int RunChain(int sampleRate, std::span<const ZarevoEffectEntFn> chain);
    /// Drops the front of the chain's `frames` output frames that the
    /// pre-roll still owes; returns the frames left.
    int DropPrerollOutput(int frames);
    /// Converts the next block of source data into the input pair. Returns
    /// how many of its working frames come from data rather than padding,
    /// or -1 when there were no data left.
    int FetchDataBlock(BlockSource& source, int sourceFrames);
    /// Runs a block of silence, as long as a data block, through the chain.
    /// Before the first, asks the plug-ins for their tails.
    int RunFlushBlock(int sampleRate, const PluginEntryLists& plugins);
    /// The sum of the plug-ins' tails at `sampleRate`; -1 when one threw.
    std::int64_t ChainTail(int sampleRate, std::span<const ZarevoEffectTailFn> tails);
    /// Encodes `frames` frames of OutputBuffers into encoded_ from frame
    /// `at` on; returns the frames encoded (fewer only at the int limit).
    int EncodeChainOutput(int frames, int at, const OutputFormat& format);
    /// Copies what EndOfData keeps of the encoded block into `out`.
    void EmitKept(const EndOfData::Kept& kept, int frameBytes, std::uint8_t silenceByte, PcmBlock& out);

    GrowBuffer<std::uint8_t> raw_;
    GrowBuffer<std::uint8_t> encoded_;
    GrowBuffer<double> inputLeft_;
    GrowBuffer<double> inputRight_;
    GrowBuffer<double> chainLeft_;
    GrowBuffer<double> chainRight_;
    int blockFrames_ = 0;
    int chainFrames_ = 0;
    std::int64_t prerollOutputLeft_ = 0;  // chain output frames still owed to the pre-roll
    double chainSpeed_ = 1.0;
    int failedPlugin_ = -1;
    EndOfData end_;
    std::function<bool()> stopRequested_;
    std::atomic<bool> flushing_{false};
};
