// The play's timeline: block sizes, the loop's end, and the heard position
// read back from the output frames the device has played.
#include "play_timeline.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

std::int64_t PlayTimeline::Run::SourceAt(std::int64_t output) const {
    const std::int64_t into = std::clamp<std::int64_t>(output - outputStart, 0, outputFrames);
    return sourceStart + std::llround(static_cast<double>(into) * sourcePerOutput);
}

void PlayTimeline::StartPlay(int blockFrames, int sourceRate) {
    blockFrames_ = std::max(1, blockFrames);
    // Rationale: a tenth of a second of sound is made in a few milliseconds
    // even by a slow chain, and it plays long enough to make the next,
    // twice as long block behind it.
    firstRunBlock_ = std::clamp(sourceRate / 10, 1, blockFrames_);
    runs_.clear();
    written_ = 0;
}

void PlayTimeline::StartRun(std::int64_t frame, double sourcePerOutput, bool soon) {
    runBlock_ = soon ? firstRunBlock_ : blockFrames_;
    // Rationale: the worker takes a move only between two blocks, so a run
    // that is moved around (seeks, loops, changed parameters) keeps blocks
    // short enough that making one never holds the next move back for long.
    runBlockLimit_ = soon ? std::min(blockFrames_, firstRunBlock_ * kMovedRunBlocks) : blockFrames_;
    if (runs_.empty()) lastHeard_ = frame;
    // A run that never sounded stands for nothing.
    if (!runs_.empty() && runs_.back().outputFrames == 0) runs_.pop_back();
    runs_.push_back(Run{written_, 0, 0, frame, sourcePerOutput > 0 ? sourcePerOutput : 1.0});
}

void PlayTimeline::DropUnplayed(std::int64_t playedFrames) {
    std::optional<Run> fresh;
    if (!runs_.empty() && runs_.back().taken == 0) {
        fresh = runs_.back();
        runs_.pop_back();
    }
    while (!runs_.empty() && runs_.back().outputStart >= playedFrames) {
        runs_.pop_back();
    }
    if (!runs_.empty()) {
        Run& last = runs_.back();
        last.outputFrames = std::clamp<std::int64_t>(playedFrames - last.outputStart, 0, last.outputFrames);
    }
    written_ = std::min(written_, playedFrames);
    if (fresh) {
        fresh->outputStart = written_;
        runs_.push_back(*fresh);
    }
}

void PlayTimeline::SkipRunSound(std::int64_t frames) {
    if (runs_.empty()) return;
    Run& run = runs_.back();
    // The run now starts later in the source; its loop's end stays put.
    run.sourceStart += std::llround(static_cast<double>(frames) * run.sourcePerOutput);
}

void PlayTimeline::SetLoop(bool on, std::int64_t start, std::int64_t end) {
    loopOn_ = on && end > start;
    loopStart_ = start;
    loopEnd_ = end;
}

std::int64_t PlayTimeline::OutputLeftInLoop() const {
    if (!loopOn_ || runs_.empty()) {
        return std::numeric_limits<std::int64_t>::max();
    }
    const Run& run = runs_.back();
    const auto loopOutput = std::llround(static_cast<double>(loopEnd_ - run.sourceStart) / run.sourcePerOutput);
    return loopOutput - run.taken;
}

void PlayTimeline::BlockQueued(std::int64_t written, std::int64_t taken) {
    if (!runs_.empty()) {
        runs_.back().outputFrames += written;
        runs_.back().taken += taken;
    }
    written_ += written;
    runBlock_ = std::min(runBlock_ * 2, runBlockLimit_);
}

std::int64_t PlayTimeline::HeardFrame(std::int64_t playedFrames) {
    // Runs wholly heard are forgotten; the one being heard is kept.
    while (runs_.size() > 1 && runs_[1].outputStart <= playedFrames && runs_[1].outputFrames > 0) {
        runs_.pop_front();
    }
    if (runs_.empty() || runs_.front().outputFrames == 0 || playedFrames < runs_.front().outputStart) {
        return lastHeard_;
    }
    lastHeard_ = runs_.front().SourceAt(playedFrames);
    return lastHeard_;
}

std::int64_t PlayTimeline::SourceFrameAt(std::int64_t outputFrame) const {
    for (auto run = runs_.rbegin(); run != runs_.rend(); ++run) {
        if (run->outputStart <= outputFrame && run->outputFrames > 0) return run->SourceAt(outputFrame);
    }
    return lastHeard_;
}
