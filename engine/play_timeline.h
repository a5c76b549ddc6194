// The play's timeline: where in the source the sound being heard comes from,
// and where the play goes next (the size of the next block, the end of a
// loop). The play job tells it where each run of the chain starts and how
// much sound each block brought; it knows nothing of the device or the
// plug-ins.
//
// Rationale for counting in output frames: a plug-in that works in long
// frames gives a block's sound only blocks later, and in lumps, so the source
// a block took says little about the sound it brought. A run's output starts
// at its first source frame (the pre-roll's sound is dropped) and goes on at
// the chain's speed, so output frame k of a run stands for source frame
// start + k x sourcePerOutput, whatever the blocks were.
#pragma once

#include <cstdint>
#include <deque>

class PlayTimeline {
public:
    /// Starts a play whose full blocks take `blockFrames` source frames.
    void StartPlay(int blockFrames, int sourceRate);
    /// A new run of the chain begins at source frame `frame`; each of its
    /// output frames stands for `sourcePerOutput` source frames. A run that
    /// replaces sound already playing (`soon`) begins with short blocks that
    /// double up to kMovedRunBlocks times the first, so the next move is
    /// never held back for long.
    void StartRun(std::int64_t frame, double sourcePerOutput, bool soon);
    /// The device's queue was dropped after `playedFrames` output frames had
    /// been played: what was written beyond them will not be heard. A run
    /// that has given no sound yet goes on from there.
    void DropUnplayed(std::int64_t playedFrames);
    /// Source frames per output frame of the current run.
    double RunSourcePerOutput() const { return runs_.empty() ? 1.0 : runs_.back().sourcePerOutput; }
    /// The current run's first `frames` frames of sound are dropped unheard:
    /// its sound starts that much later in the source.
    void SkipRunSound(std::int64_t frames);

    /// The loop in force: from `start` to `end` (source frames), or none.
    void SetLoop(bool on, std::int64_t start, std::int64_t end);
    bool Looping() const { return loopOn_; }
    std::int64_t LoopStart() const { return loopStart_; }
    /// Output frames the run may still give before the loop's end; when no
    /// loop is in force, more than any block holds.
    std::int64_t OutputLeftInLoop() const;
    /// True when the run has given all its sound up to the loop's end: the
    /// play goes on at LoopStart() with a new run.
    bool AtLoopEnd() const { return loopOn_ && OutputLeftInLoop() <= 0; }

    /// Source frames the next block takes.
    int NextBlockFrames() const { return runBlock_; }
    /// Records a block made for the device: it took `taken` frames of the
    /// run's sound (0 for a block that brought none yet) and puts `written`
    /// frames into the device's stream. They differ where a loop's end holds
    /// frames back to blend them into the next run's start, and where such
    /// frames are played after all.
    void BlockQueued(std::int64_t written, std::int64_t taken);

    /// The source frame being heard, given the output frames the device has
    /// played since the stream was (re)started. Before any sound: the start.
    std::int64_t HeardFrame(std::int64_t playedFrames);
    /// The source frame that output frame `outputFrame` of the stream stands
    /// for; past the sound written so far, the last one's.
    std::int64_t SourceFrameAt(std::int64_t outputFrame) const;

    /// Largest block of a moved run, in first blocks (0.4 s of source).
    static constexpr int kMovedRunBlocks = 4;

private:
    /// One run's sound in the device's stream.
    struct Run {
        std::int64_t outputStart;   // output frames written before it
        std::int64_t outputFrames;  // written
        std::int64_t taken;         // of the run's sound, up to the loop's end
        std::int64_t sourceStart;
        double sourcePerOutput;
        std::int64_t SourceAt(std::int64_t output) const;
    };

    int blockFrames_ = 1;
    int firstRunBlock_ = 1;
    int runBlock_ = 1;       // size of the next block of the current run
    int runBlockLimit_ = 1;  // largest block of the current run
    std::int64_t written_ = 0;
    std::int64_t lastHeard_ = 0;
    bool loopOn_ = false;
    std::int64_t loopStart_ = 0;
    std::int64_t loopEnd_ = 0;
    std::deque<Run> runs_;  // the last one is the current run
};
