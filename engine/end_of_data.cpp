// Which output frames end a job: the source's own length in full, then the
// chain's output up to its last sound.
#include "end_of_data.h"

#include <algorithm>

namespace {

bool IsSilentFrame(const std::uint8_t* frame, int frameBytes, std::uint8_t silenceByte) {
    return std::all_of(frame, frame + frameBytes, [silenceByte](std::uint8_t b) { return b == silenceByte; });
}

}  // namespace

void EndOfData::Start() { *this = EndOfData(); }

void EndOfData::CountDataBlock(int inputFrames, int realFrames, int outputFrames) {
    realInput_ += realFrames;
    if (++dataBlocks_ == 1) {
        firstInput_ = inputFrames;
        firstOutput_ = outputFrames;
    } else {
        steadyInput_ += inputFrames;
        steadyOutput_ += outputFrames;
    }
}

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
    finished_ = true;
}

void EndOfData::FixDataEnd() {
    // The source's length in output frames: the real frames scaled by the
    // chain's ratio of output to input, so that a chain that changes the
    // speed moves the end with the sound and the padding of the last block
    // never counts as sound. The ratio is taken over the blocks after the
    // first, since a plug-in that holds samples back returns fewer for the
    // first block only. A chain that keeps the length (or none) gives the
    // real frame count itself.
    const std::int64_t input = steadyInput_ > 0 ? steadyInput_ : firstInput_;
    const std::int64_t output = steadyInput_ > 0 ? steadyOutput_ : firstOutput_;
    keepAllBelow_ = input > 0 ? static_cast<std::int64_t>(static_cast<__int128>(realInput_) * output / input) : 0;
}

EndOfData::Kept EndOfData::Keep(std::span<const std::uint8_t> pcm, int frames, int frameBytes, std::uint8_t silenceByte,
                                std::optional<int> flushFrames) {
    const std::int64_t start = produced_;
    produced_ += frames;
    Kept kept;
    auto silentAt = [&](int i) {
        return IsSilentFrame(pcm.data() + static_cast<std::size_t>(i) * static_cast<std::size_t>(frameBytes),
                             frameBytes, silenceByte);
    };
    if (flushFrames) {
        bool flushHasSound = false;
        for (int i = frames - *flushFrames; i < frames && !flushHasSound; ++i) flushHasSound = !silentAt(i);
        // A flush block without sound: the chain has given back all it held.
        if (!flushHasSound || ++flushBlocks_ == MaxFlushBlocks) {
            finished_ = true;
            flushing_ = false;
        }
    }
    if (start + frames <= keepAllBelow_) {
        kept.frames = frames;
        return kept;
    }
    // Frames before keepAllBelow_ go out whatever they hold; after it, only
    // up to the last frame with sound. Trailing silence is held back, since
    // a later block may still bring sound after it.
    const int keptInFull = static_cast<int>(std::clamp<std::int64_t>(keepAllBelow_ - start, 0, frames));
    int keptFrames = keptInFull;
    for (int i = frames; i > keptInFull; --i) {
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
