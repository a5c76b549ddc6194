// The end of a job's output. Blocks are whole, so the last one is padded with
// silence, and plug-ins may hold samples back or add a tail after the sound.
// After the last data block the producer feeds blocks of silence through the
// chain (the flush), and this record decides which output frames are kept:
// all of them up to where the source's own data end, then at most the tail
// the plug-ins declare, and of that only up to its last frame that is not
// silence. What a plug-in smears past the end beyond its declared tail is
// not the user's sound and is dropped.
#pragma once

#include <cstdint>
#include <span>

class EndOfData {
public:
    /// Most blocks of silence fed through the chain after the data.
    static constexpr int MaxFlushBlocks = 4;

    /// What of one block's encoded output goes out: `leadingSilence` frames
    /// of silence held back from earlier blocks, then the block's first
    /// `frames` frames.
    struct Kept {
        std::int64_t leadingSilence = 0;
        int frames = 0;
    };

    /// Forgets the previous job.
    void Start();

    /// Sets the chain's speed, output frames per input frame, when every
    /// plug-in has stated it: where the blocks' counts disagree with it by
    /// more than a frame a block, the data's end is placed by it.
    void SetSpeed(double outputPerInput) { statedSpeed_ = outputPerInput; }
    /// Counts a data block: `inputFrames` handed to the chain, the first
    /// `realFrames` of them made from the source's data (the rest pads the
    /// block), `outputFrames` returned by the chain.
    void CountDataBlock(int inputFrames, int realFrames, int outputFrames);
    /// Sets the chain's tail: output frames of sound it may still produce
    /// after the data (negative counts as 0). Declared before the first
    /// flush block.
    void DeclareTail(std::int64_t frames);
    /// Counts a flush block: `inputFrames` of silence gave `outputFrames`.
    /// The first one fixes where the source's data end in the output.
    void CountFlushBlock(int inputFrames, int outputFrames);
    /// Ends the output after the data blocks, without a flush (the job was
    /// stopped): fixes where the data end from the data blocks alone.
    void EndWithoutFlush();

    /// True between the first flush block and the end of the flush.
    bool Flushing() const { return flushing_; }
    /// True once no more output follows.
    bool Finished() const { return finished_; }

    /// Decides what of a block goes out. `pcm` holds its `frames` frames of
    /// `frameBytes` bytes each, ending with the output of a flush block when
    /// `hasFlush`; a frame is silent when every byte equals `silenceByte`.
    /// The output ends after this block once it has reached the data's end
    /// plus the tail, or with the last flush block allowed.
    Kept Keep(std::span<const std::uint8_t> pcm, int frames, int frameBytes, std::uint8_t silenceByte, bool hasFlush);

private:
    void FixDataEnd();
    /// Output frames at and after this index are never kept.
    std::int64_t OutputEnd() const;

    int dataBlocks_ = 0;
    std::int64_t realInput_ = 0;  // frames handed to the chain made from source data
    // Input and output frames of the blocks after the first that gave sound,
    // flush blocks included: the chain's speed, free of what the blocks up
    // to the first sound hold back.
    std::int64_t steadyInput_ = 0;
    std::int64_t steadyOutput_ = 0;
    std::int64_t firstInput_ = 0;
    std::int64_t firstOutput_ = 0;
    double statedSpeed_ = 0;     // 0: not stated
    std::int64_t produced_ = 0;  // every output frame so far, kept or not
    // Output frames before this index are kept whatever they hold. Unbounded
    // until the end of the data is known.
    std::int64_t keepAllBelow_ = INT64_MAX;
    std::int64_t tail_ = 0;            // frames after keepAllBelow_ kept up to their last sound
    std::int64_t pendingSilence_ = 0;  // silent frames after the last sound, held back
    int flushBlocks_ = 0;
    bool flushing_ = false;
    bool finished_ = false;
};
