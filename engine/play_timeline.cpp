// The play's timeline: block sizes, the loop's end, and the heard position
// read back from the output frames the device has played.
#include "play_timeline.h"

#include <algorithm>

void PlayTimeline::StartPlay(int blockFrames, int sourceRate) {
    blockFrames_ = std::max(1, blockFrames);
    // Rationale: a tenth of a second of sound is made in a few milliseconds
    // even by a slow chain, and it plays long enough to make the next,
    // twice as long block behind it.
    firstRunBlock_ = std::clamp(sourceRate / 10, 1, blockFrames_);
    segments_.clear();
    written_ = 0;
}

void PlayTimeline::StartRun(std::int64_t frame, bool soon) {
    nextFrame_ = frame;
    runBlock_ = soon ? firstRunBlock_ : blockFrames_;
    // Rationale: the worker takes a move only between two blocks, so a run
    // that is moved around (seeks, loops, changed parameters) keeps blocks
    // short enough that making one never holds the next move back for long.
    runBlockLimit_ = soon ? std::min(blockFrames_, firstRunBlock_ * kMovedRunBlocks) : blockFrames_;
    if (segments_.empty()) lastHeard_ = frame;
}

void PlayTimeline::DropUnplayed(std::int64_t playedFrames) {
    while (!segments_.empty() && segments_.back().outputStart >= playedFrames) {
        segments_.pop_back();
    }
    if (!segments_.empty()) {
        Segment& last = segments_.back();
        const std::int64_t kept = std::min(playedFrames - last.outputStart, last.outputFrames);
        last.sourceFrames = last.outputFrames > 0 ? last.sourceFrames * kept / last.outputFrames : 0;
        last.outputFrames = kept;
    }
    written_ = std::min(written_, playedFrames);
}

void PlayTimeline::SetLoop(bool on, std::int64_t start, std::int64_t end) {
    loopOn_ = on && end > start;
    loopStart_ = start;
    loopEnd_ = end;
}

int PlayTimeline::NextBlockFrames() const {
    if (loopOn_ && nextFrame_ < loopEnd_) {
        return static_cast<int>(std::min<std::int64_t>(runBlock_, loopEnd_ - nextFrame_));
    }
    return runBlock_;
}

void PlayTimeline::BlockQueued(std::int64_t sourceEnd, std::int64_t outputFrames) {
    segments_.push_back(Segment{written_, outputFrames, nextFrame_, sourceEnd - nextFrame_});
    written_ += outputFrames;
    nextFrame_ = sourceEnd;
    runBlock_ = std::min(runBlock_ * 2, runBlockLimit_);
}

std::int64_t PlayTimeline::HeardFrame(std::int64_t playedFrames) {
    // Segments wholly heard are forgotten; the one being heard is kept.
    while (segments_.size() > 1 && segments_[1].outputStart <= playedFrames) {
        segments_.pop_front();
    }
    if (segments_.empty() || playedFrames < segments_.front().outputStart) {
        return lastHeard_;
    }
    const Segment& now = segments_.front();
    const std::int64_t into = std::min(playedFrames - now.outputStart, now.outputFrames);
    lastHeard_ = now.outputFrames > 0 ? now.sourceStart + into * now.sourceFrames / now.outputFrames : now.sourceStart;
    return lastHeard_;
}
