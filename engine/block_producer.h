// Block production: fetch one block of source frames, convert it to the
// working pair at the output rate, run it through the plug-in chain and encode
// the chain's result as output PCM. The same producer feeds the sound device
// and the output file.
#pragma once

#include <cstdint>
#include <span>

#include "grow_buffer.h"
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
    /// Produces the next block into `out`. True when `out` holds the block's
    /// PCM and length; false, leaving `out` unchanged, when the source's data
    /// are exhausted or a plug-in threw (see FailedPlugin). `chain` is each
    /// plug-in's EffectEnt, in chain order.
    /// A plug-in result outside 0 .. OutputCapacity is clamped into it, so a
    /// misbehaving plug-in cannot make the engine read past its buffers.
    bool ProduceBlock(WavSource& source, int sourceFrames, const OutputFormat& format,
                      std::span<const ZarevoEffectEntFn> chain, PcmBlock& out);
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

    GrowBuffer<std::uint8_t> raw_;
    GrowBuffer<double> inputLeft_;
    GrowBuffer<double> inputRight_;
    GrowBuffer<double> chainLeft_;
    GrowBuffer<double> chainRight_;
    int blockFrames_ = 0;
    int chainFrames_ = 0;
    int failedPlugin_ = -1;
};
