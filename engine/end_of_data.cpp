// Which output frames end a job: the source's own length in full, then the
// chain's declared tail up to its last sound.
#include "end_of_data.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

bool IsSilentFrame(const std::uint8_t* frame, int frameBytes, std::uint8_t silenceByte) {
    return std::all_of(frame, frame + frameBytes, [silenceByte](std::uint8_t b) { return b == silenceByte; });
}

}  // namespace

void EndOfData::Start() { *this = EndOfData(); }

void EndOfData::CountDataBlock(int inputFrames, int realFrames, int outputFrames) {
    realInput_ += realFrames;
    ++dataBlocks_;
    if (firstOutput_ == 0) {
        firstInput_ += inputFrames;
        firstOutput_ = outputFrames;
    } else {
        steadyInput_ += inputFrames;
        steadyOutput_ += outputFrames;
    }
}

void EndOfData::DeclareTail(std::int64_t frames) { tail_ = std::max<std::int64_t>(frames, 0); }

void EndOfData::CountFlushBlock(int inputFrames, int outputFrames) {
    if (flushBlocks_ == 0) {
        steadyInput_ += inputFrames;
        steadyOutput_ += outputFrames;
        FixDataEnd();
        flushing_ = true;
    }
}

void EndOfData::EndWithoutFlush() {
    FixDataEnd();
    // Rationale: a stopped job ends where the user stopped it, not at the
    // source's end; what the chain gave for its blocks is the user's sound
    // up to its last frame (only the padding goes), even when the ratio of
    // a first block that was held back puts the source's end earlier.
    tail_ = INT64_MAX;
    finished_ = true;
}

void EndOfData::FixDataEnd() {
    // The source's length in output frames: the real frames scaled by the
    // chain's ratio of output to input, so that a chain that changes the
    // speed moves the end with the sound and the padding of the last block
    // never counts as sound. The ratio is taken over the blocks after the
    // first that gave sound, since a plug-in that holds samples back returns
    // fewer for the blocks up to it only. A chain that keeps the length (or
    // none) gives the real frame count itself. Rounded up: an output frame
    // that holds any part of the source's sound is the source's.
    const std::int64_t input = steadyInput_ > 0 ? steadyInput_ : firstInput_;
    const std::int64_t output = steadyInput_ > 0 ? steadyOutput_ : firstOutput_;
    keepAllBelow_ =
        input > 0 ? static_cast<std::int64_t>((static_cast<__int128>(realInput_) * output + input - 1) / input) : 0;
    if (!(statedSpeed_ > 0)) {
        return;
    }
    // Rationale: a plug-in that gives its sound in frames that do not divide
    // the blocks gives it in lumps, so a few blocks show a ratio far from its
    // speed (at 48 kHz from 44.1 kHz, the standard effect's blocks showed
    // 8 % too little). The stated speed then places the end. Where the
    // blocks agree with it up to a frame a block, they are kept: they hold
    // what the plug-in rounds off in each block exactly. The margin keeps a
    // whole product from rounding up past itself.
    const auto stated = static_cast<std::int64_t>(std::ceil(static_cast<double>(realInput_) * statedSpeed_ - 1e-6));
    if (std::abs(stated - keepAllBelow_) > dataBlocks_ + 1) {
        keepAllBelow_ = stated;
    }
}

std::int64_t EndOfData::OutputEnd() const {
    return keepAllBelow_ > INT64_MAX - tail_ ? INT64_MAX : keepAllBelow_ + tail_;
}

EndOfData::Kept EndOfData::Keep(std::span<const std::uint8_t> pcm, int frames, int frameBytes, std::uint8_t silenceByte,
                                bool hasFlush) {
    const std::int64_t start = produced_;
    produced_ += frames;
    Kept kept;
    auto silentAt = [&](int i) {
        return IsSilentFrame(pcm.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(frameBytes),
                             frameBytes, silenceByte);
    };
    // Rationale: once the data's end plus the tail has come out, nothing the
    // chain still gives can be kept, so the flush ends there. A silent flush
    // block does not end it earlier: a declared echo may follow a pause.
    if (hasFlush && (produced_ >= OutputEnd() || ++flushBlocks_ == MaxFlushBlocks)) {
        finished_ = true;
        flushing_ = false;
    }
    if (start + frames <= keepAllBelow_) {
        kept.frames = frames;
        return kept;
    }
    // Frames before keepAllBelow_ go out whatever they hold; after it, only
    // those of the tail, up to the last one with sound. Trailing silence is
    // held back, since a later block may still bring sound after it.
    const int keptInFull = static_cast<int>(std::clamp<std::int64_t>(keepAllBelow_ - start, 0, frames));
    const int inTail = static_cast<int>(std::clamp<std::int64_t>(OutputEnd() - start, keptInFull, frames));
    int keptFrames = keptInFull;
    for (int i = inTail; i > keptInFull; --i) {
        if (!silentAt(i - 1)) {
            keptFrames = i;
            break;
        }
    }
    if (keptFrames > 0) {
        kept.leadingSilence = pendingSilence_;
        kept.frames = keptFrames;
        pendingSilence_ = 0;
    }
    pendingSilence_ += frames - keptFrames;
    return kept;
}
