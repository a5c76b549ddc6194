// The save job: the whole conversion of the source into a new WAV file runs
// inside the one handler of WM_WAVE_SAVE. The window stops it through the
// state word, which the loop tests before every block.
#include "output_buffers.h"
#include "wav_writer.h"
#include "wave_file.h"

namespace {

/// Output samples per channel prepared at the start of a save job.
constexpr int kSaveOutputCapacity = 1000000;

}  // namespace

void CWaveFile::HandleSave() {
    source_.ResetConsumed();
    producer_.StartJob([this] { return state_.load() == WS_STOP_SAVE_REQUESTED; });
    ResizeOutput(kSaveOutputCapacity);
    PcmBlock block;
    WavWriter writer;
    // Writing over the source would empty it while it is read: refused like
    // an output file that cannot be created.
    if (outputPath_.empty() || source_.IsSameFileAs(outputPath_) ||
        !writer.Begin(outputPath_, format_.channels, format_.rate, format_.bits)) {
        state_.store(WS_IDLE);
        return;
    }
    EnterRunningState(WS_SAVING);

    bool completed = false;
    for (;;) {
        // Tested before the flush blocks too: a stopped job ends with the
        // blocks it has, and the plug-ins (told to stop) are not flushed.
        if (state_.load() == WS_STOP_SAVE_REQUESTED) {
            break;
        }
        if (!ProduceBlock(block)) {
            completed = true;
            break;
        }
        if (!writer.Append(block.View())) {
            break;  // a full disk or a vanished drive: interrupted, not done
        }
    }
    if (!writer.Finish()) {
        completed = false;
    }
    CallDestructers();
    block.Release();
    state_.store(WS_IDLE);
    postToWindow_(WM_WAVE_SAVE_ENDED, 0, completed ? 1 : 0);
}
