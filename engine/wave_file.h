// CWaveFile: the engine object and its worker thread. The window calls the six
// job operations on its own thread; each posts a message to the worker and
// polls the state word until the worker has moved it on. See wave_file.cpp for
// the concurrency contract.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "post_to_window.h"
#include "wave_messages.h"

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
    /// Refuses output channels other than 1 or 2, bits other than 8 or 16, and
    /// a rate of 0 or below.
    bool PrepareJob(const std::vector<void*>& pluginModules, std::string sourcePath,
                    std::string outputPath, int outputChannels, int outputRate,
                    int outputBits, int blockFrames, int playbackDevice);
    bool StartPlay();  ///< [window] after PrepareJob
    bool StopPlay();   ///< [window] while playing
    bool StartSave();  ///< [window] after PrepareJob
    bool StopSave();   ///< [window] while saving
    /// [window] Ends the worker thread and waits for it.
    void QuitWorker();

    /// [any thread] Progress of the running job: source data bytes fetched so
    /// far, and the source's data size in bytes.
    std::int64_t Consumed() const;
    std::int64_t DataSize() const;
    /// [any thread] The state word, one of WaveStateValue.
    int State() const;

    // The worker's private side follows; it is the engine's own business.
private:
    struct Impl;
    Impl* impl_;  // owned
};

/// Whole percentage shown while a job runs: consumed x 100 / (data size + 1),
/// in 64 bits, truncated. Never reaches 100 for 99 bytes of data or more.
int ProgressPercent(std::int64_t consumed, std::int64_t dataSize);
