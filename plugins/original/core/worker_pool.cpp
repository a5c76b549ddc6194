// The helper threads: each sleeps on the pool's condition until a run hands
// out tasks or the pool stops. Every shared field is guarded by the one mutex;
// the tasks themselves run unlocked.
#include "worker_pool.h"

#include <algorithm>

WorkerPool::~WorkerPool() { Stop(); }

int WorkerPool::HelpersForMachine(int wanted) {
    const unsigned cores = std::thread::hardware_concurrency();
    // hardware_concurrency() is 0 when unknown: then no helper.
    const int spare = cores > 1 ? static_cast<int>(cores) - 1 : 0;
    return std::clamp(spare, 0, std::max(wanted, 0));
}

void WorkerPool::Start(int helpers) {
    if (!threads_.empty()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_ = false;
    }
    threads_.reserve(static_cast<std::size_t>(std::max(helpers, 0)));
    for (int i = 0; i < helpers; ++i) {
        threads_.emplace_back([this] { HelperLoop(); });
    }
}

void WorkerPool::Stop() {
    if (threads_.empty()) {
        return;
    }
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
    }
    wake_.notify_all();
    for (std::thread& thread : threads_) {
        thread.join();
    }
    threads_.clear();
}

void WorkerPool::Drain(std::unique_lock<std::mutex>& lock) {
    while (next_ < count_) {
        const int index = next_++;
        const Erased task = task_;
        const void* context = context_;
        lock.unlock();
        task(context, index);
        lock.lock();
        if (--unfinished_ == 0) {
            done_.notify_one();
        }
    }
}

void WorkerPool::RunErased(int count, Erased task, const void* context) {
    if (count <= 0) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    task_ = task;
    context_ = context;
    count_ = count;
    next_ = 0;
    unfinished_ = count;
    if (!threads_.empty() && count > 1) {
        wake_.notify_all();
    }
    Drain(lock);
    done_.wait(lock, [this] { return unfinished_ == 0; });
    task_ = nullptr;
    context_ = nullptr;
    count_ = 0;
    next_ = 0;
}

void WorkerPool::HelperLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || next_ < count_; });
        if (quit_) {
            return;
        }
        Drain(lock);
    }
}
