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
// - Every call into a plug-in is guarded (guarded_call.h): one that throws
//   ends the job as JobEnd::PluginFailed. An EffectStop that throws on the
//   window thread is noted in endFailedPlugin_ and reported by the job's end.
// - The window's waits call the wait hook once they have lasted 100 ms, so
//   the window keeps painting while a plug-in is slow; the hook may give a
//   wait up. A worker that does not end when asked to quit is abandoned:
//   postMutex_ makes sure that nothing is posted to the window afterwards.
#include "wave_file.h"

#include <algorithm>
#include <csignal>
#include <stdexcept>
#include <utility>

#include "failure_log.h"
#include "guarded_call.h"
#include "output_buffers.h"
#include "thread_priority.h"

namespace {

/// While a play job runs the worker also drains the returned-buffer ring, so
/// its wait for window messages is bounded by this interval.
constexpr std::chrono::milliseconds kBufferPollInterval{2};
constexpr int kWindowPollMilliseconds = 10;
/// Finer steps where the window waits for a job to open or start: every
/// step of that wait is added to the time before the first sound is heard
/// or the first block is saved.
constexpr int kJobStartPollMilliseconds = 1;

/// True while a CWaveFile exists in this process.
std::atomic<bool> EngineAlive{false};

bool IsPlayState(int state) { return state == WS_PLAY_REQUESTED || state == WS_PLAYING || state == WS_STOPPING_PLAY; }

}  // namespace

CWaveFile::SingleEngine::SingleEngine() {
    if (EngineAlive.exchange(true)) {
        throw std::logic_error("a second CWaveFile while one exists: there is one engine per process");
    }
}

CWaveFile::SingleEngine::~SingleEngine() { EngineAlive.store(false); }

CWaveFile::CWaveFile(PostToWindow postToWindow)
    : postToWindow_(std::move(postToWindow)), worker_([this] { RunWorker(); }) {
    // Under a file-size limit (ulimit -f) a write past it would end the
    // program with SIGXFSZ; ignored, the write fails with EFBIG and the save
    // reports it like any other failed write.
    std::signal(SIGXFSZ, SIG_IGN);
}

CWaveFile::~CWaveFile() {
    QuitWorker();
    producer_.Release();
    for (PcmBlock& block : playBlocks_) {
        block.Release();
    }
    ReleaseOutputBuffers();
}

std::int64_t CWaveFile::Consumed() const { return source_.ProgressDone(); }
std::int64_t CWaveFile::DataSize() const { return source_.ProgressWhole(); }
int CWaveFile::State() const { return state_.load(); }
std::int64_t CWaveFile::HeardFrame() const { return heardFrame_.load(); }
void CWaveFile::SetPlayStart(std::int64_t frame) { playStart_.store(std::max<std::int64_t>(frame, 0)); }

void CWaveFile::SetLoop(bool on, std::int64_t start, std::int64_t end) {
    loopStart_.store(std::max<std::int64_t>(start, 0));
    loopEnd_.store(end);
    loopOn_.store(on);
}

void CWaveFile::SetSavePassage(double start, double end) { passage_.Set(start, end); }

bool CWaveFile::SeekPlay(std::int64_t frame) {
    return RequestMove(std::clamp<std::int64_t>(frame, 0, kRestartInPlace - 1));
}

bool CWaveFile::RestartPlay() { return RequestMove(kRestartInPlace); }

bool CWaveFile::RequestMove(std::int64_t target) {
    if (state_.load() != WS_PLAYING) {
        return false;
    }
    // Only the first of several requests in flight posts: the worker reads
    // the newest target when it gets to it.
    if (seekTarget_.exchange(target) < 0) {
        PostToWorker(WM_WAVE_SEEK);
    }
    return true;
}
bool CWaveFile::Flushing() const { return producer_.Flushing(); }

// ---- window side ----

void CWaveFile::PostToWorker(int message) { queue_.Post(WorkerMessage{message, 0, 0}); }

bool CWaveFile::WaitWhileState(int value, int stepMilliseconds) const {
    const auto start = std::chrono::steady_clock::now();
    while (state_.load() == value) {
        std::this_thread::sleep_for(std::chrono::milliseconds(stepMilliseconds));
        if (waitHook_ && std::chrono::steady_clock::now() - start >= kWaitHookDelay && !waitHook_()) {
            return false;
        }
    }
    return true;
}

void CWaveFile::SetWaitHook(std::function<bool()> hook) { waitHook_ = std::move(hook); }

int CWaveFile::PluginFailedAtOpen() const { return openFailedPlugin_.load(); }

void CWaveFile::CallStops() {
    for (std::size_t k = 0; k < plugins_.stop.size(); ++k) {
        if (!GuardedPluginCall("EffectStop", k, plugins_.stop[k])) {
            NoteFailedAtEnd(k);
        }
    }
}

bool CWaveFile::PrepareJob(const std::vector<void*>& pluginModules, std::string sourcePath, std::string outputPath,
                           int outputChannels, int outputRate, int outputBits, int blockFrames, int playbackDevice) {
    int expected = WS_IDLE;
    if (!state_.compare_exchange_strong(expected, WS_OPEN_REQUESTED)) {
        return false;
    }
    openFailedPlugin_.store(-1);
    const bool formatUsable = (outputChannels == 1 || outputChannels == 2) && (outputBits == 8 || outputBits == 16) &&
                              outputRate > 0 && blockFrames > 0 && blockFrames <= SourceBlockFrames;
    if (!formatUsable) {
        LogEngineFailure("job refused: %d channels, %d Hz, %d bits, %d frames per block", outputChannels, outputRate,
                         outputBits, blockFrames);
        state_.store(WS_IDLE);
        return false;
    }
    if (!BindPluginEntries(pluginModules, plugins_)) {
        state_.store(WS_IDLE);
        return false;
    }
    format_ = OutputFormat{outputChannels, outputRate, outputBits};
    playbackDevice_ = playbackDevice;
    blockFrames_ = blockFrames;
    sourcePath_ = std::move(sourcePath);
    outputPath_ = std::move(outputPath);
    endFailedPlugin_.store(-1);
    PostToWorker(WM_WAVE_OPEN);
    return WaitWhileState(WS_OPEN_REQUESTED, kJobStartPollMilliseconds) && state_.load() == WS_OPENED;
}

bool CWaveFile::RequestStart(int requested, int message) {
    int expected = WS_OPENED;
    jobStarted_.store(false);
    startStopped_ = false;
    if (!state_.compare_exchange_strong(expected, requested)) {
        return false;
    }
    PostToWorker(message);
    const bool waited = WaitWhileState(requested, kJobStartPollMilliseconds);
    if (startStopped_) {
        // Stopped while starting: the worker ends the start after the
        // plug-in call in progress; the caller finds the engine idle.
        jobStarted_.store(false);
        WaitWhileState(WS_STOPPING_PLAY, kJobStartPollMilliseconds);
        return false;
    }
    return waited && jobStarted_.exchange(false);
}

bool CWaveFile::StopPlayStart() {
    // Rationale: the worker moves the request on to WS_PLAYING by
    // compare-and-exchange too, so a press that meets the end of the start
    // is either seen here or reported back, never lost in between.
    int expected = WS_PLAY_REQUESTED;
    if (!state_.compare_exchange_strong(expected, WS_STOPPING_PLAY)) {
        return false;
    }
    startStopped_ = true;
    CallStops();
    return true;
}

bool CWaveFile::StartPlay() { return RequestStart(WS_PLAY_REQUESTED, WM_WAVE_PLAY); }

bool CWaveFile::StartSave() { return RequestStart(WS_SAVE_REQUESTED, WM_WAVE_SAVE); }

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
    return WaitWhileState(WS_STOPPING_PLAY, kWindowPollMilliseconds) && state_.load() == WS_IDLE;
}

bool CWaveFile::StopSave() {
    int expected = WS_SAVING;
    if (!state_.compare_exchange_strong(expected, WS_STOP_SAVE_REQUESTED)) {
        return false;
    }
    // No message: the worker is inside the save handler and tests the state
    // before every block.
    CallStops();
    return WaitWhileState(WS_STOP_SAVE_REQUESTED, kWindowPollMilliseconds) && state_.load() == WS_IDLE;
}

bool CWaveFile::QuitWorker() {
    if (!worker_.joinable()) {
        return workerEnded_.load();
    }
    // The save job tests no messages until it ends: stop it first (a save
    // still starting sees quitRequested_ before its first block).
    quitRequested_.store(true);
    int expected = WS_SAVING;
    if (state_.compare_exchange_strong(expected, WS_STOP_SAVE_REQUESTED)) {
        CallStops();
    }
    PostToWorker(WM_WAVE_QUIT);
    const auto start = std::chrono::steady_clock::now();
    while (!workerEnded_.load()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(kWindowPollMilliseconds));
        if (waitHook_ && std::chrono::steady_clock::now() - start >= kWaitHookDelay && !waitHook_()) {
            Abandon();
            return false;
        }
    }
    worker_.join();
    return true;
}

void CWaveFile::Abandon() {
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        abandoned_ = true;
    }
    const int state = state_.load();
    LogEngineFailure("the worker did not end in time (a plug-in does not return); abandoned in state %d", state);
    if (state == WS_SAVING || state == WS_STOP_SAVE_REQUESTED) {
        if (publishOnlyCompleted_) {
            sink_.load()->DiscardAbandoned();
        } else {
            sink_.load()->PublishAbandoned();
        }
    }
    worker_.detach();
}

void CWaveFile::PostEnd(int message, std::uintptr_t failedPlugin, JobEnd end) {
    std::lock_guard<std::mutex> lock(postMutex_);
    if (!abandoned_) {
        postToWindow_(message, failedPlugin, static_cast<std::intptr_t>(end));
    }
}

void CWaveFile::PostBufferDoneFromAudioThread(WaveOutHeader* header) {
    // At most three buffers are ever in flight, so the ring of eight has room.
    buffersDone_.Push(header);
}

// ---- worker side ----

void CWaveFile::RunWorker() {
    struct MarkEnded {
        std::atomic<bool>& ended;
        ~MarkEnded() { ended.store(true); }
    } markEnded{workerEnded_};
    for (;;) {
        // Rationale: only a play is heard while it is made; every other job
        // (and every job of the renderer) runs at the caller's priority.
        if (niceBeforePlay_ && !IsPlayState(state_.load())) {
            RestoreThreadPriority(*niceBeforePlay_);
            niceBeforePlay_.reset();
        }
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
    case WM_WAVE_OPEN: HandleOpen(); break;
    case WM_WAVE_PLAY:
        if (!niceBeforePlay_) niceBeforePlay_ = RaiseThreadPriority();
        HandlePlay();
        break;
    case WM_WAVE_STOP_PLAY: HandleStopPlay(); break;
    case WM_WAVE_SAVE: HandleSave(); break;
    case WM_WAVE_SEEK: HandleSeek(); break;
    case WM_WAVE_BUFFER_DONE: HandleBufferDone(reinterpret_cast<WaveOutHeader*>(message.lParam)); break;
    default: break;
    }
}

int CWaveFile::CallConstructers() {
    for (std::size_t k = 0; k < plugins_.constructer.size(); ++k) {
        if (!GuardedPluginCall("Constructer", k, plugins_.constructer[k])) {
            return static_cast<int>(k);
        }
    }
    return -1;
}

void CWaveFile::CallDestructers() {
    for (std::size_t k = 0; k < plugins_.destructer.size(); ++k) {
        if (!GuardedPluginCall("Destructer", k, plugins_.destructer[k])) {
            NoteFailedAtEnd(k);
        }
    }
}

void CWaveFile::NoteFailedAtEnd(std::size_t position) {
    int none = -1;
    endFailedPlugin_.compare_exchange_strong(none, static_cast<int>(position));
}

JobEnd CWaveFile::EndOfBlocks(std::uintptr_t& failedPlugin) const {
    if (producer_.FailedPlugin() >= 0) {
        failedPlugin = static_cast<std::uintptr_t>(producer_.FailedPlugin());
        return JobEnd::PluginFailed;
    }
    return source_.ReadFailed() ? JobEnd::ReadFailed : JobEnd::Completed;
}

void CWaveFile::NoteEndFailures(JobEnd& end, std::uintptr_t& failedPlugin) {
    const int failed = endFailedPlugin_.exchange(-1);
    const bool kept = end == JobEnd::Completed || end == JobEnd::Stopped || end == JobEnd::SizeLimit;
    if (failed >= 0 && kept) {
        end = JobEnd::PluginFailed;
        failedPlugin = static_cast<std::uintptr_t>(failed);
    }
}

bool CWaveFile::EnterRunningState(int runningState) {
    jobStarted_.store(true);
    int expected = runningState == WS_PLAYING ? WS_PLAY_REQUESTED : WS_SAVE_REQUESTED;
    return state_.compare_exchange_strong(expected, runningState);
}

void CWaveFile::HandleOpen() {
    const int failedPlugin = CallConstructers();
    if (failedPlugin >= 0) {
        source_.Close();
        openFailedPlugin_.store(failedPlugin);
        state_.store(WS_IDLE);
        return;
    }
    bool opened = source_.Open(sourcePath_);
    if (opened) {
        // A very low source rate makes huge blocks: shorter source blocks
        // keep the job's buffers bounded. A rate ratio that cannot fit even
        // one source frame is refused here, like any unusable source.
        const int frames = SourceFramesPerBlock(blockFrames_, format_.rate, source_.Rate());
        opened = frames > 0;
        if (opened) {
            blockFrames_ = frames;
        } else {
            LogEngineFailure("the source %s (%d Hz) cannot be converted to %d Hz", sourcePath_.c_str(), source_.Rate(),
                             format_.rate);
        }
    }
    state_.store(opened ? WS_OPENED : WS_IDLE);
}

bool CWaveFile::ProduceBlock(PcmBlock& out) {
    return producer_.ProduceBlock(passage_, blockFrames_, format_, plugins_, out);
}
