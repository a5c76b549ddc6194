// CWaveFile: the engine object and its worker thread. The window calls the six
// job operations on its own thread; each posts a message to the worker and
// polls the state word until the worker has moved it on. See wave_file.cpp for
// the concurrency contract.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "block_producer.h"
#include "grow_buffer.h"
#include "job_end.h"
#include "message_queue.h"
#include "encoded_writer.h"
#include "output_kind.h"
#include "play_timeline.h"
#include "plugin_binding.h"
#include "post_to_window.h"
#include "source_file.h"
#include "source_passage.h"
#include "wav_writer.h"
#include "wave_messages.h"
#include "wave_out.h"

class CWaveFile {
public:
    /// Starts the worker thread. `postToWindow` receives WM_WAVE_PLAY_ENDED and
    /// WM_WAVE_SAVE_ENDED.
    explicit CWaveFile(PostToWindow postToWindow);
    /// Quits the worker if QuitWorker was not called, then frees every buffer.
    /// Never destroy an engine whose QuitWorker returned false.
    ~CWaveFile();
    CWaveFile(const CWaveFile&) = delete;
    CWaveFile& operator=(const CWaveFile&) = delete;

    /// [window] Binds the processing entry points of every module (dlopen
    /// handles, in chain order), stores the job settings and has the worker
    /// call every Constructer and open the source. True when a job may start.
    /// Refuses output channels other than 1 or 2, bits other than 8 or 16, a
    /// rate of 0 or below, block frames outside 1 .. SourceBlockFrames, and a
    /// module that lacks one of the four processing entry points.
    bool PrepareJob(const std::vector<void*>& pluginModules, std::string sourcePath, std::string outputPath,
                    int outputChannels, int outputRate, int outputBits, int blockFrames, int playbackDevice);
    bool StartPlay();  ///< [window] after PrepareJob
    bool StopPlay();   ///< [window] while playing
    /// [window, from the wait hook while StartPlay waits] A stop pressed
    /// while the play starts: the plug-ins are told to stop, the start ends
    /// after the plug-in call in progress, nothing is heard and StartPlay
    /// returns false once the engine is idle again. False when the play has
    /// already started (or is not starting): stop it with StopPlay once
    /// StartPlay has returned.
    bool StopPlayStart();
    /// [window] after PrepareJob. False (and the state back to idle) when the
    /// output path is empty, names the source file, or cannot be created.
    bool StartSave();
    bool StopSave();  ///< [window] while saving
    /// [window] Ends the worker thread and waits for it; a running save is
    /// stopped first. True when the worker has ended. False when the wait
    /// hook gave up first: the worker, held by a plug-in that does not
    /// return, is then abandoned (a running save's file is kept under the
    /// output name, valid up to its last whole block; nothing more reaches
    /// the window). The engine and the plug-in libraries must then stay as
    /// they are until the process ends.
    bool QuitWorker();

    /// [window] Before a job: when `onlyCompleted`, a save publishes its
    /// output only when it ran to the end of the source and was not asked to
    /// stop; a stopped, size-limited or abandoned save then leaves the output
    /// as it was (the renderer's choice). By default a stopped save keeps
    /// what it wrote, as the window wants.
    void PublishOnlyCompletedSaves(bool onlyCompleted) { publishOnlyCompleted_ = onlyCompleted; }

    /// [window] Installs `hook`, called on the window thread at every poll
    /// step of a wait on the worker (in the six operations above) once the
    /// wait has lasted kWaitHookDelay, so the window can keep painting.
    /// Returning false gives the wait up: the operation returns false, with
    /// the worker still busy. Install it before the first job.
    void SetWaitHook(std::function<bool()> hook);
    static constexpr std::chrono::milliseconds kWaitHookDelay{100};

    /// [window] Between jobs: the quality of the lossy outputs (.ogg, .oga,
    /// .opus, .mp3) that later saves write, MinEncoderQuality (smallest file)
    /// to MaxEncoderQuality (best sound); DefaultEncoderQuality until set.
    void SetSaveQuality(int quality) { saveQuality_ = quality; }

    /// [window] After PrepareJob returned false: the chain position of the
    /// plug-in whose Constructer threw, or -1 when no plug-in failed.
    int PluginFailedAtOpen() const;

    /// [any thread] Progress of the running job: source data fetched so far,
    /// and the source's whole data (bytes of a WAV's data; for a decoded
    /// file, bytes of the file up to where its decoding has reached).
    std::int64_t Consumed() const;
    std::int64_t DataSize() const;
    /// [window] Where the next StartPlay begins, in source frames (clamped to
    /// the source; 0 until set).
    void SetPlayStart(std::int64_t frame);
    /// [window, while playing] Moves the running play to source frame
    /// `frame`: what the device holds is dropped and the chain starts a new
    /// run there. Returns at once; requests that meet on their way are
    /// coalesced to the last. False when no play runs.
    bool SeekPlay(std::int64_t frame);
    /// [window, while playing] Starts the chain anew where the sound goes
    /// on (for changed parameters): what the device has not yet taken is
    /// made again by the new run and joined to what it has, with nothing
    /// repeated or skipped. Coalesced with seeks as they are with each
    /// other. False when no play runs.
    bool RestartPlay();
    /// [any thread] The loop of the plays: while `on`, a play that reaches
    /// source frame `end` goes on at `start`; an `end` at or before `start`
    /// loops the whole source.
    void SetLoop(bool on, std::int64_t start, std::int64_t end);
    /// [any thread] The source frame being heard while a play runs (the last
    /// one heard after it ended).
    std::int64_t HeardFrame() const;
    /// [window, before StartSave] Saves only the passage of the source from
    /// `start` to `end` seconds (an `end` below 0: to the source's end),
    /// after a pre-roll. (0, -1), the default, saves the whole source.
    void SetSavePassage(double start, double end);

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
    /// The sink for the output's name: the one place a save's format is chosen.
    OutputSink& SinkForOutput();
    /// Produces the next block of the running job into `out` (see BlockProducer).
    bool ProduceBlock(PcmBlock& out);
    /// Why ProduceBlock returned false: Completed when the data ran out, or
    /// the failure (with the plug-in's chain position in `failedPlugin`).
    JobEnd EndOfBlocks(std::uintptr_t& failedPlugin) const;
    /// Calls every Constructer in chain order, up to one that throws; the
    /// chain position of that one, or -1.
    int CallConstructers();
    /// Calls every Destructer in chain order; one that throws is noted as a
    /// failure at the job's end.
    void CallDestructers();
    /// [any thread] Notes that the plug-in at `position` threw while the job
    /// was being stopped or ended (the first such plug-in counts).
    void NoteFailedAtEnd(std::size_t position);
    /// Turns a kept job end into PluginFailed when a plug-in threw while the
    /// job was being stopped or ended.
    void NoteEndFailures(JobEnd& end, std::uintptr_t& failedPlugin);
    /// Ends a play job by itself (its data ran out, or it failed): the stop
    /// handling, then WM_WAVE_PLAY_ENDED. Nothing when the window's stop
    /// request came first: its WM_WAVE_STOP_PLAY does the stop handling.
    void EndPlay(JobEnd end, std::uintptr_t failedPlugin);
    /// Posts a job's end to the window, unless the worker was abandoned.
    void PostEnd(int message, std::uintptr_t failedPlugin, JobEnd end);
    /// Marks the requested job as started, then moves its request state on
    /// to `runningState` (WS_PLAYING or WS_SAVING). StartPlay/StartSave
    /// report success from the mark, so a job that ends before the window
    /// looks is still a success. False when the window stopped the start
    /// meanwhile (the state is then WS_STOPPING_PLAY): the job must end.
    bool EnterRunningState(int runningState);

    // ---- window side helpers ----
    void PostToWorker(int message);
    /// Asks the worker to move the play to `target` (see seekTarget_).
    bool RequestMove(std::int64_t target);
    /// Polls until the state leaves `value`; false when the wait hook gave up.
    bool WaitWhileState(int value, int stepMilliseconds) const;
    /// Gives up a worker that does not end (see QuitWorker).
    void Abandon();
    /// Requests a job start: `from` -> `requested`, posts `message`, waits.
    bool RequestStart(int requested, int message);
    void CallStops();

    // ---- play job (play_job.cpp) ----
    // HandlePlay reports a started device with EnterRunningState(WS_PLAYING).
    // Once three buffers in a row have come back without data, the job waits
    // (still WS_PLAYING) until the device has played its own buffering out,
    // so the last sample is heard, and only then ends. PollPlayDevice runs on
    // every turn of the worker's loop while a play job runs: it ends the
    // drained job (WM_WAVE_PLAY_ENDED with lParam 0), or a job whose device
    // was lost (JobEnd::DeviceLost), through EndPlay.
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
    // A play that moves (play_moves.cpp): HandleSeek drops what the device
    // holds and starts a new run; FillPlayBlock makes each block as the
    // timeline says, joining runs with a crossfade; StartRun begins a run
    // (with Destructer and Constructer calls when it replaces one) and its
    // pre-roll. False from StartRun, with `failedPlugin` set, when a
    // plug-in threw.
    void HandleSeek();
    bool FillPlayBlock(std::size_t index);
    /// Cuts playBlocks_[index] at the loop's end, joins it to the sound
    /// before, records it in the timeline and points its header at it.
    void QueuePlayBlock(std::size_t index);
    /// Hands the loop in force to the timeline; returns the source's length
    /// as far as it is known.
    std::int64_t ApplyLoop();
    /// Produces the run's next block into `block`, going on at once while
    /// the run has given no sound yet. False when the output has ended or
    /// failed.
    bool ProduceRunSound(PcmBlock& block);
    /// A move's first sound into `first`, made while the old sound plays
    /// on; for a `restart` at `frame`, enough to reach past where the old
    /// sound will have got to. False as ProduceRunSound.
    bool MakeMovedSound(PcmBlock& first, std::int64_t frame, bool restart);
    bool StartRun(std::int64_t frame, bool replacing, std::uintptr_t& failedPlugin);
    void UpdateHeardFrame();
    /// Asks the chain's speed, positions the source for a save and feeds the
    /// passage's pre-roll.
    void StartSavePassage();
    PlayTimeline timeline_;
    std::vector<std::uint8_t> fadeTail_;  // old sound to fade out under the next run's start
    bool runFresh_ = false;               // the next block is the first of a run
    std::atomic<std::int64_t> playStart_{0};
    /// The next move's target in source frames; -1: none; kRestartInPlace:
    /// where the sound goes on.
    std::atomic<std::int64_t> seekTarget_{-1};
    static constexpr std::int64_t kRestartInPlace = INT64_MAX;
    std::atomic<bool> loopOn_{false};
    std::atomic<std::int64_t> loopStart_{0};
    std::atomic<std::int64_t> loopEnd_{0};
    std::atomic<std::int64_t> heardFrame_{0};
    WaveOut waveOut_;
    std::array<WaveOutHeader, 3> playHeaders_{};
    std::array<PcmBlock, 3> playBlocks_{};  // owned storage behind playHeaders_[i].data
    PcmBlock moveBlock_;                    // a move's first sound, made while the old plays on
    PcmBlock moveSpare_;                    // more of it, for a chain slower than its first block
    int exhaustedBuffers_ = 0;
    bool draining_ = false;
    std::chrono::steady_clock::time_point drainStarted_;
    // ---- end of play job ----

    /// The process's one engine slot, taken before the worker starts: the
    /// output pair and the plug-ins' variables are module-wide, so a second
    /// engine alive at the same time would share them. Taking a taken slot
    /// throws std::logic_error.
    struct SingleEngine {
        SingleEngine();
        ~SingleEngine();
        SingleEngine(const SingleEngine&) = delete;
        SingleEngine& operator=(const SingleEngine&) = delete;
    } single_;
    PostToWindow postToWindow_;
    std::mutex postMutex_;            // orders a post against Abandon
    bool abandoned_ = false;          // guarded by postMutex_
    std::function<bool()> waitHook_;  // window only
    bool startStopped_ = false;       // window only: StopPlayStart during this start
    std::atomic<int> state_{WS_IDLE};
    std::atomic<bool> jobStarted_{false};
    std::atomic<bool> workerEnded_{false};
    std::atomic<bool> quitRequested_{false};
    std::atomic<int> openFailedPlugin_{-1};  // set by the worker's open
    std::atomic<int> endFailedPlugin_{-1};   // an EffectStop or Destructer that threw

    // Job settings: written by the window while the state is
    // WS_OPEN_REQUESTED, before WM_WAVE_OPEN is posted; read by the worker.
    OutputFormat format_;
    int blockFrames_ = SourceBlockFrames;
    int playbackDevice_ = -1;
    bool publishOnlyCompleted_ = false;  // set between jobs only
    int saveQuality_ = DefaultEncoderQuality;
    std::string sourcePath_;
    std::string outputPath_;
    PluginEntryLists plugins_;

    // Worker only (the writer's PublishAbandoned also from the window).
    std::optional<int> niceBeforePlay_;  // set while a play runs at a raised priority
    SourceFile source_;
    SourcePassage passage_{source_};  // what a save reads of source_
    BlockProducer producer_;
    WavWriter writer_;
    EncodedWriter encoded_;
    // The sink of the running save (writer_ or encoded_): set by the worker
    // before the save starts, read by Abandon on the window thread.
    std::atomic<OutputSink*> sink_{&writer_};

    MessageQueue queue_;
    LockFreeRing<WaveOutHeader, 8> buffersDone_;
    std::thread worker_;  // last: starts once everything above exists
};

/// Whole percentage shown while a job runs: consumed x 100 / (data size + 1),
/// in 64 bits, truncated. Never reaches 100 for 99 bytes of data or more.
int ProgressPercent(std::int64_t consumed, std::int64_t dataSize);
