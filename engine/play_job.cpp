// The play job: the handlers of WM_WAVE_PLAY, WM_WAVE_BUFFER_DONE and
// WM_WAVE_STOP_PLAY (a play that moves is in play_moves.cpp). Three buffers of one block each rotate through the
// wave-out device: each one that comes back is refilled with the next block
// and queued again, until three in a row find no data left; the device then
// plays out what it holds before it closes. All of it runs on the worker; the
// device's callback only hands buffers back through the ring.
#include <algorithm>

#include "failure_log.h"
#include "output_buffers.h"
#include "wave_file.h"

namespace {

/// Output samples per channel prepared at the start of a play job; the
/// plug-ins (or the block production) grow them as the blocks need.
constexpr int kPlayOutputCapacity = 100;

/// Buffers that must come back empty in a row before the job ends: all three,
/// so the last block has gone to the device.
constexpr int kExhaustedToEnd = 3;

/// Device periods played from silence after the last buffer before the
/// device closes. Rationale: a buffer counts as done once it is in the
/// device's stream, which the sound server still holds about a period of;
/// closing at once would cut that off. Two periods cover it, and the close
/// itself lets SDL's last two periods drain as well.
constexpr int kDrainPeriods = 2;

/// Longest wait for that drain, for a device that stops asking for sound
/// without reporting itself lost.
constexpr std::chrono::milliseconds kDrainLimit{2000};

}  // namespace

void CWaveFile::HandlePlay() {
    const WaveOutFormat format{format_.channels, format_.rate, format_.bits};
    seekTarget_.store(-1);
    ResizeOutput(kPlayOutputCapacity);
    exhaustedBuffers_ = 0;
    draining_ = false;
    fadeTail_.clear();
    for (std::size_t i = 0; i < playHeaders_.size(); ++i) {
        playBlocks_[i].Release();
        playHeaders_[i] = WaveOutHeader{};
    }
    timeline_.StartPlay(blockFrames_, source_.Rate());
    const std::int64_t start = std::min(playStart_.load(), source_.LengthFrames());
    heardFrame_.store(start);

    // The three blocks are made before the device opens. An SDL device that
    // is open but paused still feeds silence to the sound server, which would
    // play that silence before the first block: opening last keeps the sound
    // within a sound-server buffer of the click.
    //
    // A header whose fill finds no data stays empty and is queued all the
    // same: the device hands an empty buffer back as soon as it reaches it,
    // so a source shorter than three blocks still ends by itself once its
    // last block has played.
    JobEnd failure = JobEnd::Completed;
    std::uintptr_t failedPlugin = 0;
    const auto startStopped = [this] { return state_.load() == WS_STOPPING_PLAY; };
    if (!StartRun(start, false, failedPlugin)) {
        failure = JobEnd::PluginFailed;
    }
    for (std::size_t i = 0; i < playHeaders_.size() && failure == JobEnd::Completed && !startStopped(); ++i) {
        if (!FillPlayBlock(i)) {
            failure = EndOfBlocks(failedPlugin);
        }
    }

    if (startStopped()) {
        // The window stopped the start (StopPlayStart): nothing is heard.
        CallDestructers();
        state_.store(WS_IDLE);
        return;
    }
    auto bufferDone = [](void* instance, WaveOutHeader* header) {
        static_cast<CWaveFile*>(instance)->PostBufferDoneFromAudioThread(header);
    };
    if (!waveOut_.Open(playbackDevice_, format, bufferDone, this)) {
        state_.store(WS_IDLE);  // no Destructer and no window message: the job never ran
        return;
    }
    waveOut_.Pause();  // held until the whole queue is in
    for (WaveOutHeader& header : playHeaders_) {
        waveOut_.Prepare(&header);
    }
    for (WaveOutHeader& header : playHeaders_) {
        waveOut_.Write(&header);
    }
    waveOut_.Restart();
    if (!EnterRunningState(WS_PLAYING)) {
        HandleStopPlay();  // stopped in the last moment of the start
        return;
    }
    if (failure != JobEnd::Completed) {
        EndPlay(failure, failedPlugin);  // a job that started and failed at once
    }
}

void CWaveFile::HandleBufferDone(WaveOutHeader* header) {
    // Returns handed back by the stop's reset arrive after the device closed.
    if (!waveOut_.IsOpen()) {
        return;
    }
    std::size_t index = 0;
    while (index < playHeaders_.size() && &playHeaders_[index] != header) {
        ++index;
    }
    if (index == playHeaders_.size()) {
        return;  // not one of ours
    }
    // A stop is on its way: producing another block would only delay it.
    if (state_.load() == WS_STOPPING_PLAY) {
        return;
    }
    waveOut_.Prepare(header);
    if (FillPlayBlock(index)) {
        waveOut_.Write(header);
        return;
    }
    std::uintptr_t failedPlugin = 0;
    const JobEnd end = EndOfBlocks(failedPlugin);
    if (end != JobEnd::Completed) {
        EndPlay(end, failedPlugin);
        return;
    }
    if (++exhaustedBuffers_ < kExhaustedToEnd) {
        return;  // stays out of the queue
    }
    exhaustedBuffers_ = 0;
    // Everything is in the device; PollPlayDevice ends the job once it has
    // been heard.
    draining_ = true;
    drainStarted_ = std::chrono::steady_clock::now();
}

void CWaveFile::PollPlayDevice() {
    if (!waveOut_.IsOpen() || state_.load() != WS_PLAYING) {
        return;
    }
    if (waveOut_.IsLost()) {
        // The sound server went away or the device was unplugged: no buffer
        // would ever come back, so the job ends here.
        LogEngineFailure("playback ended: the sound device stopped working (sound server gone or device removed)");
        EndPlay(JobEnd::DeviceLost, 0);
    } else if (draining_ && (waveOut_.IdlePeriods() >= kDrainPeriods ||
                             std::chrono::steady_clock::now() - drainStarted_ >= kDrainLimit)) {
        // Rationale: the window has always received the natural end of a
        // play with lParam 0, which it does not report.
        EndPlay(JobEnd::Stopped, 0);
    } else {
        UpdateHeardFrame();
    }
}

void CWaveFile::EndPlay(JobEnd end, std::uintptr_t failedPlugin) {
    // The window may be stopping the job at this very moment. Whoever moves
    // the state off WS_PLAYING first runs the stop handling; if it was the
    // window, its WM_WAVE_STOP_PLAY does it and no end message is sent.
    int expected = WS_PLAYING;
    if (!state_.compare_exchange_strong(expected, WS_STOPPING_PLAY)) {
        return;
    }
    HandleStopPlay();
    NoteEndFailures(end, failedPlugin);
    PostEnd(WM_WAVE_PLAY_ENDED, failedPlugin, end);
}

void CWaveFile::HandleStopPlay() {
    if (!waveOut_.IsOpen()) {
        // No play job runs (it has already ended): nothing to close and no
        // Destructer to call a second time. Only release a waiting window.
        int expected = WS_STOPPING_PLAY;
        state_.compare_exchange_strong(expected, WS_IDLE);
        return;
    }
    waveOut_.Reset();  // every queued buffer comes back now; the ring drops them later
    for (WaveOutHeader& header : playHeaders_) {
        waveOut_.Unprepare(&header);
    }
    waveOut_.Close();
    draining_ = false;
    CallDestructers();
    state_.store(WS_IDLE);
}
