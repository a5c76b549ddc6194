// A play that moves: a seek of the running play, the loop's jump back to its
// start, and the block fill that both go through; also the start of a saved
// passage, which begins inside the data the same way. Each move starts a new run
// of the plug-in chain at the new place after a pre-roll, and the first block
// of the run fades in under the sound that would have come next. A run's
// sound is counted in output frames from its first source frame, at the speed
// the plug-ins state (see PlayTimeline).
//
// Rationale for keeping the device's stream on a seek: what the sound server
// holds (about 100 ms) cannot be dropped through SDL. Closing and reopening
// the stream would, but SDL lets a closing stream drain for two periods
// (92 ms at 44.1 kHz) before it lets go, so the new place came later that
// way (106 ms median against 67 ms) and after a gap. Kept, the stream plays
// out what the server holds, and the join fades from exactly the sound that
// came next, so a seek has neither gap nor click. A loop's jump is planned a
// block ahead and goes through the queue the same way.
#include <algorithm>
#include <cmath>

#include "crossfade.h"
#include "failure_log.h"
#include "output_buffers.h"
#include "source_passage.h"
#include "wave_file.h"

namespace {

/// Most source a run may take, in full blocks, before its first sound is
/// queued: far beyond the frame of any shipped effect, and a bound on the
/// work one move does for a plug-in that never gives sound.
constexpr int kFirstSoundBlocks = 2;

/// Most blocks a restart makes after its first sound to reach the frame the
/// old sound will have got to; a chain slower than that cannot keep up.
constexpr int kCatchUpBlocks = 4;
/// The new sound reaches at least 1/kCatchUpMargin s past the old sound's
/// frame: a device period or two, taken while the join is made.
constexpr int kCatchUpMargin = 10;

}  // namespace

bool CWaveFile::StartRun(std::int64_t frame, bool replacing, std::uintptr_t& failedPlugin) {
    if (replacing) {
        CallDestructers();
        const int failed = CallConstructers();
        if (failed >= 0) {
            failedPlugin = static_cast<std::uintptr_t>(failed);
            return false;
        }
    }
    const std::int64_t preroll = std::min({frame, PrerollFrames(source_.Rate()), std::int64_t{blockFrames_}});
    if (frame == 0) {
        source_.ResetConsumed();
    } else {
        source_.SeekToFrame(frame - preroll);
    }
    producer_.StartJob([this] { return state_.load() == WS_STOPPING_PLAY; });
    // A source that fails in the pre-roll fails the first block instead.
    const bool ready =
        producer_.AskChainSpeed(format_.rate, plugins_.speed) &&
        (preroll == 0 || producer_.Preroll(source_, static_cast<int>(preroll), format_, plugins_.process) ||
         producer_.FailedPlugin() < 0);
    if (!ready) {
        failedPlugin = static_cast<std::uintptr_t>(producer_.FailedPlugin());
        return false;
    }
    const double sourcePerOutput = static_cast<double>(source_.Rate()) / format_.rate / producer_.ChainSpeed();
    timeline_.StartRun(source_.NextFrame(), sourcePerOutput, replacing);
    runFresh_ = true;
    return true;
}

bool CWaveFile::ProduceRunSound(PcmBlock& block) {
    // Rationale: a plug-in that works in long frames gives nothing until a
    // whole frame has come in. The blocks before a run's first sound are made
    // here at once: queued empty, each would cost a trip through the device
    // before the new sound is heard.
    std::int64_t fed = 0;
    while (true) {
        const int frames = timeline_.NextBlockFrames();
        if (!producer_.ProduceBlock(source_, frames, format_, plugins_, block)) {
            return false;
        }
        fed += frames;
        if (block.length > 0 || !runFresh_ || fed >= std::int64_t{kFirstSoundBlocks} * blockFrames_ ||
            state_.load() == WS_STOPPING_PLAY || seekTarget_.load() >= 0) {
            return true;
        }
        timeline_.BlockQueued(0, 0);
    }
}

std::int64_t CWaveFile::ApplyLoop() {
    // A decoded source may end a little before the length it states: once
    // its real end is known the loop ends there, so it still wraps.
    const std::int64_t sourceFrames = source_.StatedLengthFrames();
    const std::int64_t loopEnd = std::min(loopEnd_.load(), sourceFrames);
    timeline_.SetLoop(loopOn_.load(), loopStart_.load(), loopEnd > loopStart_.load() ? loopEnd : sourceFrames);
    return sourceFrames;
}

bool CWaveFile::FillPlayBlock(std::size_t index) {
    const std::int64_t sourceFrames = ApplyLoop();
    std::uintptr_t failedPlugin = 0;
    const auto wrap = [&] {
        if (StartRun(std::min(timeline_.LoopStart(), sourceFrames), true, failedPlugin)) return true;
        NoteFailedAtEnd(failedPlugin);  // the play ends with what it holds and reports the plug-in
        return false;
    };
    if (timeline_.AtLoopEnd() && !wrap()) {
        return false;
    }
    PcmBlock& block = playBlocks_[index];
    if (!ProduceRunSound(block)) {
        // The sound ended before the loop's end (a loop up to the end of the
        // file): the loop goes on at its start.
        if (!timeline_.Looping() || EndOfBlocks(failedPlugin) != JobEnd::Completed || !wrap() ||
            !ProduceRunSound(block)) {
            return false;
        }
    }
    QueuePlayBlock(index);
    return true;
}

void CWaveFile::QueuePlayBlock(std::size_t index) {
    PcmBlock& block = playBlocks_[index];
    const std::int64_t frameBytes = format_.channels * format_.bits / 8;
    const std::int64_t made = block.length / frameBytes;
    // The loop's end cuts the run's sound where the chain reaches it.
    const std::int64_t left = timeline_.OutputLeftInLoop();
    const bool endsLoop = timeline_.Looping() && made > 0 && made >= left;
    const std::int64_t taken = endsLoop ? std::max<std::int64_t>(left, 0) : made;
    block.length = static_cast<int>(taken * frameBytes);
    if (!fadeTail_.empty() && (block.length > 0 || !runFresh_)) {
        if (runFresh_) {
            CrossfadeInto(fadeTail_, {block.bytes.data(), static_cast<std::size_t>(block.length)}, format_.channels,
                          format_.bits);
        } else {
            // The loop was left before its end: the frames held back for the
            // join are played as they are.
            block.bytes.insert(block.bytes.begin(), fadeTail_.begin(), fadeTail_.end());
            block.length += static_cast<int>(fadeTail_.size());
        }
        fadeTail_.clear();
    }
    if (block.length > 0) {
        runFresh_ = false;
    }
    int length = block.length;
    if (endsLoop) {
        const std::size_t held = std::min(static_cast<std::size_t>(CrossfadeFrames(format_.rate) * frameBytes),
                                          static_cast<std::size_t>(length));
        fadeTail_.assign(block.bytes.begin() + (length - static_cast<std::ptrdiff_t>(held)),
                         block.bytes.begin() + length);
        length -= static_cast<int>(held);
    }
    timeline_.BlockQueued(length / frameBytes, taken);
    playHeaders_[index].data = block.bytes.data();
    playHeaders_[index].length = length;
}

bool CWaveFile::MakeMovedSound(PcmBlock& first, std::int64_t frame, bool restart) {
    ApplyLoop();
    if (!ProduceRunSound(first)) {
        return false;
    }
    // A restart goes on where the old sound will have got to: a chain
    // slower than its first block's sound makes more before the join.
    const std::int64_t frameBytes = format_.channels * format_.bits / 8;
    const auto covers = [&] {
        const double made = static_cast<double>(first.length / frameBytes) * timeline_.RunSourcePerOutput();
        return frame + std::llround(made) >=
               timeline_.SourceFrameAt(waveOut_.PlayedBytes() / frameBytes) + source_.Rate() / kCatchUpMargin;
    };
    for (int more = 0; restart && more < kCatchUpBlocks && !covers(); ++more) {
        timeline_.BlockQueued(0, 0);  // the next block's size
        if (!ProduceRunSound(moveSpare_)) break;
        first.bytes.resize(static_cast<std::size_t>(first.length));
        first.bytes.insert(first.bytes.end(), moveSpare_.bytes.begin(), moveSpare_.bytes.begin() + moveSpare_.length);
        first.length += moveSpare_.length;
    }
    return true;
}

void CWaveFile::HandleSeek() {
    const std::int64_t target = seekTarget_.exchange(-1);
    if (target < 0 || !waveOut_.IsOpen() || state_.load() != WS_PLAYING) {
        return;
    }
    const std::int64_t frameBytes = format_.channels * format_.bits / 8;
    const std::int64_t takenBefore = waveOut_.PlayedBytes() / frameBytes;
    const std::int64_t frame =
        std::min(target == kRestartInPlace ? timeline_.SourceFrameAt(takenBefore) : target, source_.LengthFrames());
    std::uintptr_t failedPlugin = 0;
    if (!StartRun(frame, true, failedPlugin)) {
        EndPlay(JobEnd::PluginFailed, failedPlugin);
        return;
    }
    // Rationale: the old sound plays on while the new run makes its first
    // sound, which takes a chain working in long frames tens of
    // milliseconds: dropped first, the device would play a period of
    // silence meanwhile. The join is made where the device has got to.
    PcmBlock& first = moveBlock_;
    const bool sounded = MakeMovedSound(first, frame, target == kRestartInPlace);
    std::span<const std::uint8_t> unplayed;
    waveOut_.Reset(&unplayed);
    const std::size_t fadeBytes = static_cast<std::size_t>(CrossfadeFrames(format_.rate) * frameBytes);
    fadeTail_.assign(unplayed.begin(),
                     unplayed.begin() + static_cast<std::ptrdiff_t>(std::min(fadeBytes, unplayed.size())));
    // Every buffer is back: all three are refilled below, so the returns
    // the reset posted are void.
    while (buffersDone_.Pop() != nullptr) {}
    draining_ = false;
    exhaustedBuffers_ = 0;
    const std::int64_t cut = waveOut_.PlayedBytes() / frameBytes;
    // A restart goes on with the new run's sound of the frame the old sound
    // had reached when it was cut.
    std::int64_t skipped = 0;
    if (target == kRestartInPlace && sounded) {
        const double ahead = static_cast<double>(timeline_.SourceFrameAt(cut) - frame) / timeline_.RunSourcePerOutput();
        skipped = std::clamp<std::int64_t>(std::llround(ahead), 0, first.length / frameBytes);
    }
    timeline_.DropUnplayed(cut);
    if (skipped > 0) {
        first.bytes.erase(first.bytes.begin(), first.bytes.begin() + static_cast<std::ptrdiff_t>(skipped * frameBytes));
        first.length -= static_cast<int>(skipped * frameBytes);
        timeline_.SkipRunSound(skipped);
    }
    std::swap(playBlocks_[0], first);
    for (std::size_t i = 0; i < playHeaders_.size(); ++i) {
        waveOut_.Prepare(&playHeaders_[i]);
        const bool filled = i == 0 ? sounded : FillPlayBlock(i);
        if (i == 0 && filled) {
            QueuePlayBlock(0);
        }
        if (!filled) {
            const JobEnd end = EndOfBlocks(failedPlugin);
            if (end != JobEnd::Completed) {
                EndPlay(end, failedPlugin);
                return;
            }
            playHeaders_[i].length = 0;  // comes back at once and counts as exhausted
        }
        waveOut_.Write(&playHeaders_[i]);
    }
}

void CWaveFile::UpdateHeardFrame() {
    const std::int64_t frameBytes = format_.channels * format_.bits / 8;
    const std::int64_t heard = waveOut_.PlayedBytes() / frameBytes - waveOut_.HeldFrames();
    heardFrame_.store(timeline_.HeardFrame(std::max<std::int64_t>(heard, 0)));
}

void CWaveFile::StartSavePassage() {
    const std::int64_t preroll = passage_.StartJob(blockFrames_);
    // A plug-in that throws here has the job end as failed, with what it made.
    const bool ready =
        producer_.AskChainSpeed(format_.rate, plugins_.speed) &&
        (preroll == 0 || producer_.Preroll(source_, static_cast<int>(preroll), format_, plugins_.process));
    if (!ready && producer_.FailedPlugin() >= 0) {
        NoteFailedAtEnd(static_cast<std::size_t>(producer_.FailedPlugin()));
    }
}
