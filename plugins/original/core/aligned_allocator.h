// An allocator for sample arrays aligned to a cache line, so that the
// transforms may use their fastest (aligned vector) code on them and no
// sample array straddles lines at its start.
#pragma once

#include <cstddef>
#include <new>

inline constexpr std::size_t SampleAlignment = 64;

template <typename T>
struct AlignedAllocator {
    using value_type = T;

    AlignedAllocator() = default;
    template <typename U>
    AlignedAllocator(const AlignedAllocator<U>&) noexcept {}

    T* allocate(std::size_t n) {
        return static_cast<T*>(::operator new (n * sizeof(T), std::align_val_t{SampleAlignment}));
    }
    void deallocate(T* p, std::size_t) noexcept { ::operator delete (p, std::align_val_t{SampleAlignment}); }

    template <typename U>
    bool operator==(const AlignedAllocator<U>&) const noexcept {
        return true;
    }
};
