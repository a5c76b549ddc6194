// The play's timeline: where in the source the sound being heard comes from,
// and where the play goes next (the size of the next block, the end of a
// loop). The play job asks it before each block and tells it what each
// block held; it knows nothing of the device or the plug-ins.
#pragma once

#include <cstdint>
#include <deque>

class PlayTimeline {
public:
    /// Starts a play whose full blocks take `blockFrames` source frames.
    void StartPlay(int blockFrames, int sourceRate);
    /// A new run of the chain begins at source frame `frame`. A run that
    /// replaces sound already playing (`soon`) begins with short blocks that
    /// double up to kMovedRunBlocks times the first, so its first sound is
    /// made quickly and the next move is never held back for long.
    void StartRun(std::int64_t frame, bool soon);
    /// The device's queue was dropped after `playedFrames` output frames had
    /// been played: what was written beyond them will not be heard.
    void DropUnplayed(std::int64_t playedFrames);

    /// The loop in force: from `start` to `end` (source frames), or none.
    void SetLoop(bool on, std::int64_t start, std::int64_t end);
    bool Looping() const { return loopOn_; }
    std::int64_t LoopStart() const { return loopStart_; }
    /// True when the run has reached the loop's end: the play goes on at
    /// LoopStart() with a new run.
    bool AtLoopEnd() const { return loopOn_ && nextFrame_ >= loopEnd_; }
    /// True when the next block ends exactly at the loop's end, so its last
    /// frames are to be held back for the join.
    bool NextBlockEndsLoop() const { return loopOn_ && nextFrame_ + NextBlockFrames() >= loopEnd_; }

    /// Source frames the next block takes.
    int NextBlockFrames() const;
    /// Records a block queued for the device: it holds source frames from the
    /// run's next frame up to `sourceEnd` and `outputFrames` frames of sound.
    void BlockQueued(std::int64_t sourceEnd, std::int64_t outputFrames);

    /// The source frame being heard, given the output frames the device has
    /// played since the stream was (re)started. Before any block: the start.
    std::int64_t HeardFrame(std::int64_t playedFrames);

    /// Largest block of a moved run, in first blocks (0.4 s of source).
    static constexpr int kMovedRunBlocks = 4;

private:
    struct Segment {
        std::int64_t outputStart;  // output frames written before it
        std::int64_t outputFrames;
        std::int64_t sourceStart;
        std::int64_t sourceFrames;
    };

    int blockFrames_ = 1;
    int firstRunBlock_ = 1;
    int runBlock_ = 1;       // size of the next block of the current run
    int runBlockLimit_ = 1;  // largest block of the current run
    std::int64_t nextFrame_ = 0;
    std::int64_t written_ = 0;
    std::int64_t lastHeard_ = 0;
    bool loopOn_ = false;
    std::int64_t loopStart_ = 0;
    std::int64_t loopEnd_ = 0;
    std::deque<Segment> segments_;
};
