// One render through the engine: the save job of CWaveFile, with the main
// thread in the window's place. It waits for the engine's end message, shows
// the progress on stderr, and stops the job when SIGINT, SIGTERM or SIGHUP
// arrives.
#pragma once

#include <string>
#include <vector>

#include "output_kind.h"

struct RenderRequest {
    std::vector<void*> modules;  ///< the chain, in order
    std::string input;
    std::string output;  ///< made only by a render that completes
    int channels = 2;
    int rate = 22050;
    int bits = 16;
    /// The passage, in seconds of the source (end below 0: to its end).
    double start = 0;
    double end = -1;
    int quality = DefaultEncoderQuality;  ///< of a lossy output
    /// Shown before the percentage; empty for no progress display.
    std::string progressLabel;
};

struct RenderResult {
    bool completed = false;
    int interruptSignal = 0;  ///< the signal that stopped the render, 0 if none
    /// Why the render failed, one line; for a plug-in failure, use
    /// failedPlugin to name it.
    std::string error;
    int failedPlugin = -1;  ///< chain position of a plug-in that failed
};

/// Catches SIGINT, SIGTERM and SIGHUP from now on: each only asks the running
/// render to stop. Call before any thread is started, so that only the main
/// thread takes them.
void CatchInterrupts();
/// The signal caught so far, 0 for none.
int CaughtInterrupt();

RenderResult RunRender(const RenderRequest& request);
