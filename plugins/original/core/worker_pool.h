// A small persistent pool of helper threads for the effect's independent
// per-channel work. The calling thread takes part in every run, so a pool
// without helpers simply runs everything on the caller. Helpers are started
// once and sleep between runs: no thread is made per call.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

class WorkerPool {
public:
    WorkerPool() = default;
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;
    /// Joins the helpers.
    ~WorkerPool();

    /// Helpers worth having on this machine: one fewer than the cores, at
    /// most `wanted`, none on a single core.
    static int HelpersForMachine(int wanted);

    /// Starts `helpers` threads unless some are already running (then it
    /// does nothing). May throw std::system_error when no thread can start;
    /// the pool then has the helpers that did start.
    void Start(int helpers);
    /// Wakes the helpers and joins them. Safe to call when none run.
    void Stop();
    int Helpers() const { return static_cast<int>(threads_.size()); }

    /// Runs task(0), task(1), ... task(count - 1), spread over the caller and
    /// the helpers, and returns when all are done. `task` must not throw.
    /// Only one thread may call Run at a time (the worker).
    template <typename Task>
    void Run(int count, const Task& task) {
        RunErased(
            count, [](const void* context, int index) { (*static_cast<const Task*>(context))(index); }, &task);
    }

private:
    using Erased = void (*)(const void*, int);
    void RunErased(int count, Erased task, const void* context);
    void HelperLoop();
    /// Takes and runs tasks of the current run until none is left; returns
    /// with the lock held.
    void Drain(std::unique_lock<std::mutex>& lock);

    std::mutex mutex_;
    std::condition_variable wake_;  // helpers wait here for a run or the end
    std::condition_variable done_;  // the caller waits here for the last task
    std::vector<std::thread> threads_;
    // Guarded by mutex_.
    Erased task_ = nullptr;
    const void* context_ = nullptr;
    int count_ = 0;
    int next_ = 0;        // next task index to hand out
    int unfinished_ = 0;  // tasks handed out or waiting, not yet done
    bool quit_ = false;
};
