// Growth of the effect's sample arrays; allocation failure is reported, never
// thrown, because the plug-in must not bring the host down. The storage is an
// anonymous mapping, grown with mremap: the system keeps the contents and
// hands out the new pages zeroed, and pages never touched never become
// resident (most of each growth margin).
#include "sample_buffer.h"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <limits>

namespace {

std::size_t PageRounded(std::size_t bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return (bytes + page - 1) / page * page;
}

}  // namespace

bool SampleBuffer::Resize(std::int32_t n) {
    if (n < 0) {
        return false;
    }
    if (allocated_ < n) {
        const std::int64_t grown = static_cast<std::int64_t>(n) + GrowthMargin;
        if (grown > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        const std::size_t bytes = PageRounded(static_cast<std::size_t>(grown) * sizeof(double));
        void* storage = samples_ == nullptr
                            ? mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0)
                            : mremap(samples_, mappedBytes_, bytes, MREMAP_MAYMOVE);
        if (storage == MAP_FAILED) {
            return false;
        }
        samples_ = static_cast<double*>(storage);
        mappedBytes_ = bytes;
        allocated_ = static_cast<std::int32_t>(grown);
    }
    length_ = n;
    used_ = std::max(used_, n);
    return true;
}

void SampleBuffer::Release() {
    if (samples_ != nullptr) {
        munmap(samples_, mappedBytes_);
    }
    samples_ = nullptr;
    mappedBytes_ = 0;
    allocated_ = 0;
    length_ = 0;
    used_ = 0;
}

void SampleBuffer::Empty() {
    std::fill_n(samples_, used_, 0.0);
    length_ = 0;
    used_ = 0;
}
