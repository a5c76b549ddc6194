// The worker's message queues. Window-side messages go through a small locked
// queue; returned sound buffers come from the audio thread through a
// fixed-capacity lock-free ring, because the audio callback must neither
// allocate nor block.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

/// A thread message: id and its two parameters.
struct WorkerMessage {
    int message = 0;
    std::uintptr_t wParam = 0;
    std::intptr_t lParam = 0;
};

/// Unbounded queue of messages from the window thread to the worker.
class MessageQueue {
public:
    void Post(const WorkerMessage& message);
    /// Waits for the next message, at most `bound` when given. Empty when the
    /// bound passed without a message.
    std::optional<WorkerMessage> Wait(std::optional<std::chrono::milliseconds> bound);

private:
    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<WorkerMessage> messages_;
};

/// Bounded multi-producer, single-consumer ring of pointers (Vyukov's
/// sequence-numbered cells). Push and Pop never allocate and never lock.
template <typename T, std::size_t Capacity>
class LockFreeRing {
    static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

public:
    LockFreeRing() {
        for (std::size_t i = 0; i < Capacity; ++i) {
            cells_[i].sequence.store(i, std::memory_order_relaxed);
        }
    }
    /// [any thread] False when the ring is full.
    bool Push(T* item) {
        std::size_t position = tail_.load(std::memory_order_relaxed);
        for (;;) {
            Cell& cell = cells_[position & (Capacity - 1)];
            const std::size_t sequence = cell.sequence.load(std::memory_order_acquire);
            const auto difference = static_cast<std::ptrdiff_t>(sequence) - static_cast<std::ptrdiff_t>(position);
            if (difference == 0) {
                if (tail_.compare_exchange_weak(position, position + 1, std::memory_order_relaxed)) {
                    cell.item = item;
                    cell.sequence.store(position + 1, std::memory_order_release);
                    return true;
                }
            } else if (difference < 0) {
                return false;
            } else {
                position = tail_.load(std::memory_order_relaxed);
            }
        }
    }
    /// [the one consumer] The oldest item, or null when the ring is empty.
    T* Pop() {
        const std::size_t position = head_;
        Cell& cell = cells_[position & (Capacity - 1)];
        if (cell.sequence.load(std::memory_order_acquire) != position + 1) {
            return nullptr;
        }
        T* item = cell.item;
        cell.sequence.store(position + Capacity, std::memory_order_release);
        head_ = position + 1;
        return item;
    }

private:
    struct Cell {
        std::atomic<std::size_t> sequence{0};
        T* item = nullptr;
    };
    std::array<Cell, Capacity> cells_;
    std::atomic<std::size_t> tail_{0};
    std::size_t head_ = 0;  // consumer only
};
