// CWaveFile's thread, message loop and window-side job operations.
//
// Concurrency contract:
// - Window thread: PrepareJob, StartPlay, StopPlay, StartSave, StopSave,
//   QuitWorker, and every EffectStop (called from StopPlay/StopSave so that a
//   plug-in busy in EffectEnt can cut its work short). Also Consumed,
//   DataSize and State, from any thread.
// - Worker thread: every message handler, all file and device work,
//   Constructer, EffectEnt, Destructer and ResizeOutput.
// - Audio thread: only PostBufferDoneFromAudioThread.
// - Hand-over goes through the state word state_ (std::atomic<int>). The
//   window writes a request value and waits; the worker writes the result.
//   Job settings, paths and the entry-point lists are written by the window
//   only while the state is WS_OPEN_REQUESTED and before WM_WAVE_OPEN is
//   posted; the queue's lock orders them before the worker reads them.
// - A stop request can meet the job's own end. The window therefore changes
//   WS_SAVING/WS_PLAYING to its stop value only by compare-and-exchange: if
//   the worker has already left the running state, the stop fails at once
//   instead of waiting for a change that cannot come, and the worker's end
//   handling (with its Destructer calls) runs exactly once.
// - Consumed and data size are relaxed atomics: a stale read only shows an
//   older percentage.
#include "wave_file.h"

#include <chrono>
#include <utility>

#include "output_buffers.h"

namespace {

/// While a play job runs the worker also drains the returned-buffer ring, so
/// its wait for window messages is bounded by this interval.
constexpr std::chrono::milliseconds kBufferPollInterval{2};
constexpr int kWindowPollMilliseconds = 10;
constexpr int kSaveStartPollMilliseconds = 1;

bool IsPlayState(int state) {
    return state == WS_PLAY_REQUESTED || state == WS_PLAYING || state == WS_STOPPING_PLAY;
}

}  // namespace

CWaveFile::CWaveFile(PostToWindow postToWindow)
    : postToWindow_(std::move(postToWindow)), worker_([this] { RunWorker(); }) {}

CWaveFile::~CWaveFile() {
    QuitWorker();
    producer_.Release();
    for (PcmBlock& block : playBlocks_) {
        block.Release();
    }
    ReleaseOutputBuffers();
}

std::int64_t CWaveFile::Consumed() const { return source_.Consumed(); }
std::int64_t CWaveFile::DataSize() const { return source_.DataSize(); }
int CWaveFile::State() const { return state_.load(); }
bool CWaveFile::Flushing() const { return producer_.Flushing(); }

// ---- window side ----

void CWaveFile::PostToWorker(int message) { queue_.Post(WorkerMessage{message, 0, 0}); }

void CWaveFile::WaitWhileState(int value, int stepMilliseconds) const {
    while (state_.load() == value) {
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMilliseconds));
    }
}

void CWaveFile::CallStops() {
    for (ZarevoEffectStopFn stop : plugins_.stop) {
        stop();
    }
}

bool CWaveFile::PrepareJob(const std::vector<void*>& pluginModules, std::string sourcePath,
                           std::string outputPath, int outputChannels, int outputRate,
                           int outputBits, int blockFrames, int playbackDevice) {
    int expected = WS_IDLE;
    if (!state_.compare_exchange_strong(expected, WS_OPEN_REQUESTED)) {
        return false;
    }
    const bool formatUsable = (outputChannels == 1 || outputChannels == 2) &&
                              (outputBits == 8 || outputBits == 16) && outputRate > 0 &&
                              blockFrames > 0 && blockFrames <= SourceBlockFrames;
    if (!formatUsable || !BindPluginEntries(pluginModules, plugins_)) {
        state_.store(WS_IDLE);
        return false;
    }
    format_ = OutputFormat{outputChannels, outputRate, outputBits};
    playbackDevice_ = playbackDevice;
    blockFrames_ = blockFrames;
    exhaustedBuffers_ = 0;
    sourcePath_ = std::move(sourcePath);
    outputPath_ = std::move(outputPath);
    PostToWorker(WM_WAVE_OPEN);
    WaitWhileState(WS_OPEN_REQUESTED, kWindowPollMilliseconds);
    return state_.load() == WS_OPENED;
}

bool CWaveFile::RequestStart(int requested, int message, int stepMilliseconds) {
    int expected = WS_OPENED;
    jobStarted_.store(false);
    if (!state_.compare_exchange_strong(expected, requested)) {
        return false;
    }
    PostToWorker(message);
    WaitWhileState(requested, stepMilliseconds);
    return jobStarted_.exchange(false);
}

bool CWaveFile::StartPlay() {
    return RequestStart(WS_PLAY_REQUESTED, WM_WAVE_PLAY, kWindowPollMilliseconds);
}

bool CWaveFile::StartSave() {
    return RequestStart(WS_SAVE_REQUESTED, WM_WAVE_SAVE, kSaveStartPollMilliseconds);
}

bool CWaveFile::StopPlay() {
    int expected = WS_PLAYING;
    if (!state_.compare_exchange_strong(expected, WS_STOPPING_PLAY)) {
        // The job is ending by itself: let that end finish, so the caller
        // finds the engine idle rather than a job half closed.
        if (expected == WS_STOPPING_PLAY) {
            WaitWhileState(WS_STOPPING_PLAY, kWindowPollMilliseconds);
        }
        return false;
    }
    PostToWorker(WM_WAVE_STOP_PLAY);
    CallStops();
    WaitWhileState(WS_STOPPING_PLAY, kWindowPollMilliseconds);
    return state_.load() == WS_IDLE;
}

bool CWaveFile::StopSave() {
    int expected = WS_SAVING;
    if (!state_.compare_exchange_strong(expected, WS_STOP_SAVE_REQUESTED)) {
        return false;
    }
    // No message: the worker is inside the save handler and tests the state
    // before every block.
    CallStops();
    WaitWhileState(WS_STOP_SAVE_REQUESTED, kWindowPollMilliseconds);
    return state_.load() == WS_IDLE;
}

void CWaveFile::QuitWorker() {
    if (!worker_.joinable()) {
        return;
    }
    PostToWorker(WM_WAVE_QUIT);
    worker_.join();
}

void CWaveFile::PostBufferDoneFromAudioThread(WaveOutHeader* header) {
    // At most three buffers are ever in flight, so the ring of eight has room.
    buffersDone_.Push(header);
}

// ---- worker side ----

void CWaveFile::RunWorker() {
    for (;;) {
        while (WaveOutHeader* header = buffersDone_.Pop()) {
            HandleBufferDone(header);
        }
        PollPlayDevice();
        std::optional<std::chrono::milliseconds> bound;
        if (IsPlayState(state_.load())) {
            bound = kBufferPollInterval;
        }
        const std::optional<WorkerMessage> message = queue_.Wait(bound);
        if (!message) {
            continue;
        }
        if (message->message == WM_WAVE_QUIT) {
            // A play job still running: silence the device before its buffers
            // are freed (no Destructer: the plug-ins may be unloaded by now).
            waveOut_.Close();
            return;
        }
        Dispatch(*message);
    }
}

void CWaveFile::Dispatch(const WorkerMessage& message) {
    switch (message.message) {
        case WM_WAVE_OPEN:
            HandleOpen();
            break;
        case WM_WAVE_PLAY:
            HandlePlay();
            break;
        case WM_WAVE_STOP_PLAY:
            HandleStopPlay();
            break;
        case WM_WAVE_SAVE:
            HandleSave();
            break;
        case WM_WAVE_BUFFER_DONE:
            HandleBufferDone(reinterpret_cast<WaveOutHeader*>(message.lParam));
            break;
        default:
            break;
    }
}

void CWaveFile::CallConstructers() {
    for (ZarevoConstructerFn constructer : plugins_.constructer) {
        constructer();
    }
}

void CWaveFile::CallDestructers() {
    for (ZarevoDestructerFn destructer : plugins_.destructer) {
        destructer();
    }
}

void CWaveFile::EnterRunningState(int runningState) {
    jobStarted_.store(true);
    state_.store(runningState);
}

void CWaveFile::HandleOpen() {
    CallConstructers();
    bool opened = source_.Open(sourcePath_);
    if (opened) {
        // A rate ratio that would need more working frames per block than
        // the engine can hold is refused here, like any unusable source.
        const std::int64_t frames = WorkingFramesPerBlock(blockFrames_, format_.rate, source_.Rate());
        opened = frames <= MaxWorkingFramesPerBlock;
    }
    state_.store(opened ? WS_OPENED : WS_IDLE);
}

bool CWaveFile::ProduceBlock(PcmBlock& out) {
    return producer_.ProduceBlock(source_, blockFrames_, format_, plugins_.process, out);
}
