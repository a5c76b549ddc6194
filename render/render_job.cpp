// Running the save job headless. The engine posts its end message to an inbox
// that wakes the main thread; between messages the main thread looks at the
// progress and at the interrupt flag ten times a second.
#include "render_job.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>

#include "job_end.h"
#include "wave_file.h"

namespace {

volatile sig_atomic_t caughtSignal = 0;

constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};
constexpr std::chrono::milliseconds kLookInterval{100};
/// How long the engine may take to stop after an interrupt. A plug-in that
/// does not return holds the worker for ever; after this the worker is
/// abandoned and the render ends anyway, as the window does when it closes.
constexpr std::chrono::seconds kInterruptGrace{4};

/// The engine's wait hook for a render: waits go on until an interrupt has
/// been waited on for kInterruptGrace, then they are given up.
class InterruptGrace {
public:
    bool KeepWaiting() {
        if (caughtSignal == 0) return true;
        const auto now = std::chrono::steady_clock::now();
        if (!since_) since_ = now;
        gaveUp_ = gaveUp_ || now - *since_ >= kInterruptGrace;
        return !gaveUp_;
    }
    bool GaveUp() const { return gaveUp_; }

private:
    std::optional<std::chrono::steady_clock::time_point> since_;
    bool gaveUp_ = false;
};

void OnInterrupt(int signal) {
    if (caughtSignal == 0) caughtSignal = signal;
}

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kInterrupts) sigaddset(&set, signal);
    return set;
}

/// The engine's messages to the "window": a queue the main thread waits on.
class Inbox {
public:
    struct Message {
        int message;
        std::uintptr_t wParam;
        std::intptr_t lParam;
    };
    PostToWindow Target() {
        return [this](int message, std::uintptr_t wParam, std::intptr_t lParam) {
            {
                std::lock_guard lock(mutex_);
                messages_.push_back({message, wParam, lParam});
            }
            arrived_.notify_one();
        };
    }
    std::optional<Message> Wait(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        if (!arrived_.wait_for(lock, timeout, [this] { return !messages_.empty(); })) return std::nullopt;
        const Message message = messages_.front();
        messages_.pop_front();
        return message;
    }

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<Message> messages_;
};

/// The percentage on one line of stderr, rewritten in place.
class ProgressLine {
public:
    explicit ProgressLine(std::string label) : label_(std::move(label)) {}
    ~ProgressLine() {
        if (shown_ >= 0) std::fputs("\r\033[K", stderr);  // leave the line empty for what follows
    }
    void Show(int percent) {
        if (label_.empty() || percent == shown_) return;
        shown_ = percent;
        std::fprintf(stderr, "\r%s %d%%", label_.c_str(), percent);
        std::fflush(stderr);
    }

private:
    std::string label_;
    int shown_ = -1;
};

/// The message for a save that ended otherwise than completed.
std::string EndText(JobEnd end, const RenderRequest& request) {
    switch (end) {
    // Rationale: the renderer stops a job only on an interrupt, so a stop
    // without one is the engine giving up.
    case JobEnd::Stopped: return "the render stopped before the end of " + request.input;
    case JobEnd::ReadFailed: return request.input + ": could not be read to its end";
    case JobEnd::WriteFailed: return "the output could not be written";
    case JobEnd::DiskFull: return "the output's disk is full";
    case JobEnd::SizeLimit: return "the output would be larger than a WAV file can be (4 GiB)";
    case JobEnd::PluginFailed: return "plug-in failed";
    default: return "the render failed";
    }
}

}  // namespace

void CatchInterrupts() {
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : kInterrupts) sigaction(signal, &action, nullptr);
}

int CaughtInterrupt() { return caughtSignal; }

namespace {

/// The save job on `engine`, up to its end message, or until an interrupt
/// has waited past its grace (then the result carries the signal).
void RunSave(CWaveFile& engine, const RenderRequest& request, Inbox& inbox, const InterruptGrace& grace,
             RenderResult& result) {
    const bool prepared = engine.PrepareJob(request.modules, request.input, request.output, request.channels,
                                            request.rate, request.bits, SourceBlockFrames, -1);
    if (!prepared || grace.GaveUp()) {
        result.interruptSignal = grace.GaveUp() ? caughtSignal : 0;
        result.failedPlugin = engine.PluginFailedAtOpen();
        result.error = request.input + ": cannot be opened as a sound file the engine can read";
        return;
    }
    engine.SetSavePassage(request.start, request.end);
    if (!engine.StartSave() || grace.GaveUp()) {
        result.interruptSignal = grace.GaveUp() ? caughtSignal : 0;
        result.error = request.output + ": cannot be created or replaced";
        return;
    }
    ProgressLine progress(request.progressLabel);
    bool stopRequested = false;
    for (;;) {
        const std::optional<Inbox::Message> message = inbox.Wait(kLookInterval);
        if (message && message->message == WM_WAVE_SAVE_ENDED) {
            const auto end = static_cast<JobEnd>(message->lParam);
            // Rationale: an interrupt wins even over a save that had just
            // completed; the user asked for no output.
            result.interruptSignal = caughtSignal;
            result.completed = end == JobEnd::Completed && result.interruptSignal == 0;
            if (!result.completed && result.interruptSignal == 0) {
                result.error = EndText(end, request);
                if (end == JobEnd::PluginFailed) result.failedPlugin = static_cast<int>(message->wParam);
            }
            break;
        }
        if (caughtSignal != 0 && !stopRequested) {
            stopRequested = true;
            engine.StopSave();  // the end message follows, unless the wait was given up
            if (grace.GaveUp()) {
                result.interruptSignal = caughtSignal;
                break;
            }
        }
        progress.Show(ProgressPercent(engine.Consumed(), engine.DataSize()));
    }
}

}  // namespace

RenderResult RunRender(const RenderRequest& request) {
    RenderResult result;
    Inbox inbox;
    // The worker inherits a mask that blocks the interrupts, so they reach the
    // main thread, which acts on them.
    const sigset_t interrupts = InterruptSet();
    sigset_t previous;
    pthread_sigmask(SIG_BLOCK, &interrupts, &previous);
    auto engine = std::make_unique<CWaveFile>(inbox.Target());
    pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    // An interrupted or failed render leaves OUTPUT as it was.
    engine->PublishOnlyCompletedSaves(true);
    InterruptGrace grace;
    engine->SetWaitHook([&grace] { return grace.KeepWaiting(); });
    engine->SetSaveQuality(request.quality);

    RunSave(*engine, request, inbox, grace, result);
    if (!engine->QuitWorker()) {
        // A plug-in holds the worker past the grace: the engine must outlive
        // it, and the caller ends the process by the signal at once.
        (void)engine.release();
        result.completed = false;
        result.interruptSignal = caughtSignal;
    }
    return result;
}
