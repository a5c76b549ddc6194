// The window-to-worker message queue.
#include "message_queue.h"

void MessageQueue::Post(const WorkerMessage& message) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        messages_.push_back(message);
    }
    ready_.notify_one();
}

std::optional<WorkerMessage> MessageQueue::Wait(std::optional<std::chrono::milliseconds> bound) {
    std::unique_lock<std::mutex> lock(mutex_);
    const auto hasMessage = [this] { return !messages_.empty(); };
    if (bound) {
        if (!ready_.wait_for(lock, *bound, hasMessage)) {
            return std::nullopt;
        }
    } else {
        ready_.wait(lock, hasMessage);
    }
    WorkerMessage message = messages_.front();
    messages_.pop_front();
    return message;
}
