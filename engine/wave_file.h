// CWaveFile: the engine object and its worker thread. The window calls the six
// job operations on its own thread; each posts a message to the worker and
// polls the state word until the worker has moved it on. See wave_file.cpp for
// the concurrency contract.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "block_producer.h"
#include "grow_buffer.h"
#include "job_end.h"
#include "message_queue.h"
#include "plugin_binding.h"
#include "post_to_window.h"
#include "wav_source.h"
#include "wave_messages.h"
#include "wave_out.h"

class CWaveFile {
public:
    /// Starts the worker thread. `postToWindow` receives WM_WAVE_PLAY_ENDED and
    /// WM_WAVE_SAVE_ENDED.
    explicit CWaveFile(PostToWindow postToWindow);
    /// Quits the worker if QuitWorker was not called, then frees every buffer.
    ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    /// [window] Binds the processing entry points of every module (dlopen
    /// handles, in chain order), stores the job settings and has the worker
    /// call every Constructer and open the source. True when a job may start.
    /// Refuses output channels other than 1 or 2, bits other than 8 or 16, a
    /// rate of 0 or below, block frames outside 1 .. SourceBlockFrames, and a
    /// module that lacks one of the four processing entry points.
    bool PrepareJob(const std::vector<void*>& pluginModules, std::string sourcePath,
                    std::string outputPath, int outputChannels, int outputRate,
                    int outputBits, int blockFrames, int playbackDevice);
    bool StartPlay();  ///< [window] after PrepareJob
    bool StopPlay();   ///< [window] while playing
    /// [window] after PrepareJob. False (and the state back to idle) when the
    /// output path is empty, names the source file, or cannot be created.
    bool StartSave();
    bool StopSave();   ///< [window] while saving
    /// [window] Ends the worker thread and waits for it.
    void QuitWorker();

    /// [any thread] Progress of the running job: source data bytes fetched so
    /// far, and the source's data size in bytes.
    std::int64_t Consumed() const;
    std::int64_t DataSize() const;
    /// [any thread] The state word, one of WaveStateValue.
    int State() const;
    /// [any thread] True once the running job has read all of the source
    /// and only the plug-ins' held-back sound and tails remain to come out
    /// (or, playing, to be heard): the progress then shows 100.
    bool Flushing() const;

    /// [audio thread, or the worker inside WaveOut::Reset] Hands a returned
    /// sound buffer to the worker as WM_WAVE_BUFFER_DONE. Never allocates and
    /// never blocks: the buffer goes into a fixed ring that the worker drains
    /// (it waits at most a few milliseconds while a play job runs).
    void PostBufferDoneFromAudioThread(WaveOutHeader* header);

private:
    // ---- worker side (wave_file.cpp, save_job.cpp) ----
    void RunWorker();
    void Dispatch(const WorkerMessage& message);
    void HandleOpen();
    void HandleSave();
    /// Produces the next block of the running job into `out` (see BlockProducer).
    bool ProduceBlock(PcmBlock& out);
    void CallConstructers();
    void CallDestructers();
    /// Marks the requested job as started, then sets `runningState`
    /// (WS_PLAYING or WS_SAVING). StartPlay/StartSave report success from the
    /// mark, so a job that ends before the window looks is still a success.
    void EnterRunningState(int runningState);

    // ---- window side helpers ----
    void PostToWorker(int message);
    void WaitWhileState(int value, int stepMilliseconds) const;
    /// Requests a job start: `from` -> `requested`, posts `message`, waits.
    bool RequestStart(int requested, int message, int stepMilliseconds);
    void CallStops();

    // ---- play job (play_job.cpp) ----
    // HandlePlay reports a started device with EnterRunningState(WS_PLAYING).
    // Once three buffers in a row have come back without data, the job waits
    // (still WS_PLAYING) until the device has played its own buffering out,
    // so the last sample is heard, and only then ends. PollPlayDevice runs on
    // every turn of the worker's loop while a play job runs: it ends the
    // drained job, or a job whose device was lost, as if stopped, and posts
    // WM_WAVE_PLAY_ENDED with JobEnd::Completed or JobEnd::DeviceLost.
    // Each header plays playBlocks_[i]: after ProduceBlock(playBlocks_[i]),
    // playHeaders_[i].data = playBlocks_[i].bytes.data() and .length =
    // playBlocks_[i].length. The device's done callback hands buffers over
    // with PostBufferDoneFromAudioThread. At the end of the data the worker
    // moves WS_PLAYING to WS_STOPPING_PLAY by compare-and-exchange: when that
    // fails, the window's stop request won and its WM_WAVE_STOP_PLAY is
    // already queued, so the stop handling (and its Destructer calls) runs
    // once, from that message.
    void HandlePlay();
    void HandleBufferDone(WaveOutHeader* header);
    void HandleStopPlay();
    void PollPlayDevice();
    /// Ends the play job by itself (not stopped by the window), unless the
    /// window's stop got there first.
    void EndPlayByItself(JobEnd end);
    WaveOut waveOut_;
    std::array<WaveOutHeader, 3> playHeaders_{};
    std::array<PcmBlock, 3> playBlocks_{};  // owned storage behind playHeaders_[i].data
    int exhaustedBuffers_ = 0;
    bool draining_ = false;
    std::chrono::steady_clock::time_point drainStarted_;
    // ---- end of play job ----

    PostToWindow postToWindow_;
    std::atomic<int> state_{WS_IDLE};
    std::atomic<bool> jobStarted_{false};

    // Job settings: written by the window while the state is
    // WS_OPEN_REQUESTED, before WM_WAVE_OPEN is posted; read by the worker.
    OutputFormat format_;
    int blockFrames_ = SourceBlockFrames;
    int playbackDevice_ = -1;
    std::string sourcePath_;
    std::string outputPath_;
    PluginEntryLists plugins_;

    // Worker only.
    WavSource source_;
    BlockProducer producer_;

    MessageQueue queue_;
    LockFreeRing<WaveOutHeader, 8> buffersDone_;
    std::thread worker_;  // last: starts once everything above exists
};

/// Whole percentage shown while a job runs: consumed x 100 / (data size + 1),
/// in 64 bits, truncated. Never reaches 100 for 99 bytes of data or more.
int ProgressPercent(std::int64_t consumed, std::int64_t dataSize);
