// SampleBuffer: the effect's growable array of samples. It grows in steps of
// 100000 spare samples, zeroes what it adds and never shrinks, so a run's
// steady-state blocks allocate nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

/// A growable, zero-filled sample array that keeps its storage between calls.
/// The storage is page-aligned memory from the system, zeroed by it when
/// first touched: the spare samples cost nothing until they are used.
class SampleBuffer {
public:
    /// Spare samples added on every growth; fewer reallocations per run.
    static constexpr std::int32_t GrowthMargin = 100000;

    SampleBuffer() = default;
    SampleBuffer(const SampleBuffer&) = delete;
    SampleBuffer& operator=(const SampleBuffer&) = delete;
    ~SampleBuffer() { Release(); }

    /// Sets the length in use to n. When fewer than n samples are allocated,
    /// grows to n + GrowthMargin, keeping the contents and zeroing the new
    /// part. Returns false (and changes nothing) when n is negative or the
    /// memory cannot be had.
    bool Resize(std::int32_t n);
    /// Frees the storage (length and allocation become 0).
    void Release();
    /// Makes the buffer behave as a new one (length 0, every sample 0.0)
    /// while keeping its storage, so the next run neither allocates nor
    /// touches fresh pages. Zeroes only what was ever in use.
    void Empty();

    std::int32_t Length() const { return length_; }
    std::int32_t Allocated() const { return allocated_; }
    /// The first Length() samples.
    std::span<double> Samples() { return {samples_, static_cast<std::size_t>(length_)}; }
    std::span<const double> Samples() const { return {samples_, static_cast<std::size_t>(length_)}; }
    double* Data() { return samples_; }
    const double* Data() const { return samples_; }

private:
    double* samples_ = nullptr;  // owned mapping of mappedBytes_
    std::size_t mappedBytes_ = 0;
    std::int32_t allocated_ = 0;
    std::int32_t length_ = 0;
    std::int32_t used_ = 0;  // largest length since the last Empty; zero beyond
};
