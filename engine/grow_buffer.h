// The engine's growable per-block buffers. They grow with a generous margin,
// never shrink and stay allocated from block to block and job to job, so
// steady-state block production does not allocate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

/// An owning array that only grows. Capacity is the number of elements held;
/// count is how many of them the current block uses. Growing zeroes the new
/// part and keeps the old contents.
template <typename T>
class GrowBuffer {
public:
    /// Makes room for `needed` elements (growing to needed + `margin` when the
    /// capacity is smaller) and sets the used count to `needed`.
    void Use(int needed, int margin) {
        if (Capacity() < needed) {
            storage_.resize(static_cast<std::size_t>(needed) + static_cast<std::size_t>(margin));
        }
        count_ = needed;
    }
    /// Frees the storage; capacity and count return to 0.
    void Release() {
        storage_ = std::vector<T>();
        count_ = 0;
    }
    int Capacity() const { return static_cast<int>(storage_.size()); }
    int Count() const { return count_; }
    T* Data() { return storage_.data(); }
    /// The elements in use by the current block.
    std::span<T> Used() { return {storage_.data(), static_cast<std::size_t>(count_)}; }
    std::span<const T> Used() const { return {storage_.data(), static_cast<std::size_t>(count_)}; }

private:
    std::vector<T> storage_;
    int count_ = 0;
};

/// One produced block of interleaved output PCM: `length` bytes at the start
/// of `bytes`. The storage is reallocated (length + 4096 bytes) only when the
/// length changes, so a block of steady size reuses it.
struct PcmBlock {
    std::vector<std::uint8_t> bytes;
    int length = 0;

    std::span<const std::uint8_t> View() const { return {bytes.data(), static_cast<std::size_t>(length)}; }
    /// Frees the storage and sets the length to 0.
    void Release() {
        bytes = std::vector<std::uint8_t>();
        length = 0;
    }
};
