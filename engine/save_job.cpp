// The save job: the whole conversion of the source into a new file (WAV, or
// the format the output's name gives) runs inside the one handler of
// WM_WAVE_SAVE. The window stops it through the
// state word, which the loop tests before every block.
#include "failure_log.h"
#include "output_buffers.h"
#include "wave_file.h"

namespace {

/// Output samples per channel prepared at the start of a save job.
constexpr int kSaveOutputCapacity = 1000000;

JobEnd JobEndOf(WriteStatus status) {
    switch (status) {
    case WriteStatus::SizeLimit: return JobEnd::SizeLimit;
    case WriteStatus::DiskFull: return JobEnd::DiskFull;
    default: return JobEnd::WriteFailed;
    }
}

}  // namespace

OutputSink& CWaveFile::SinkForOutput() {
    const OutputKind kind = OutputKindOf(outputPath_);
    if (kind == OutputKind::Wav) return writer_;
    encoded_.Choose(kind, saveQuality_);
    return encoded_;
}

void CWaveFile::HandleSave() {
    producer_.StartJob([this] { return state_.load() == WS_STOP_SAVE_REQUESTED || quitRequested_.load(); });
    StartSavePassage();
    ResizeOutput(kSaveOutputCapacity);
    PcmBlock block;
    // Writing over the source would empty it while it is read: refused like
    // an output file that cannot be created.
    if (source_.IsSameFileAs(outputPath_)) {
        LogEngineFailure("the output %s is the source file", outputPath_.c_str());
        state_.store(WS_IDLE);
        return;
    }
    OutputSink& sink = SinkForOutput();
    sink_.store(&sink);
    if (!sink.Begin(outputPath_, format_.channels, format_.rate, format_.bits)) {
        state_.store(WS_IDLE);
        return;
    }
    EnterRunningState(WS_SAVING);

    JobEnd end = JobEnd::Stopped;
    std::uintptr_t failedPlugin = 0;
    for (;;) {
        // Tested before the flush blocks too: a stopped job ends with the
        // blocks it has, and the plug-ins (told to stop) are not flushed.
        if (state_.load() == WS_STOP_SAVE_REQUESTED || quitRequested_.load()) {
            break;
        }
        if (!ProduceBlock(block)) {
            end = EndOfBlocks(failedPlugin);
            break;
        }
        const WriteStatus written = sink.Append(block.View());
        if (written != WriteStatus::Written) {
            end = JobEndOf(written);
            break;
        }
    }
    CallDestructers();
    NoteEndFailures(end, failedPlugin);
    // A finished, stopped or size-limited file becomes the output; after a
    // failure the output stays as it was before the job. A caller that takes
    // only completed saves gets no output once it asked to stop.
    const bool stopAsked = state_.load() == WS_STOP_SAVE_REQUESTED || quitRequested_.load();
    const bool keep = publishOnlyCompleted_
                          ? end == JobEnd::Completed && !stopAsked
                          : end == JobEnd::Completed || end == JobEnd::Stopped || end == JobEnd::SizeLimit;
    if (!keep) {
        sink.Discard();
    } else if (!sink.Publish()) {
        end = JobEnd::WriteFailed;
    }
    block.Release();
    state_.store(WS_IDLE);
    PostEnd(WM_WAVE_SAVE_ENDED, failedPlugin, end);
}
