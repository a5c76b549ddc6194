// Growth of the effect's sample arrays; allocation failure is reported, never
// thrown, because the plug-in must not bring the host down.
#include "sample_buffer.h"

#include <algorithm>
#include <limits>
#include <new>
#include <stdexcept>

bool SampleBuffer::Resize(std::int32_t n) {
    if (n < 0) {
        return false;
    }
    if (static_cast<std::int64_t>(samples_.size()) < n) {
        const std::int64_t grown = static_cast<std::int64_t>(n) + GrowthMargin;
        if (grown > std::numeric_limits<std::int32_t>::max()) {
            return false;
        }
        try {
            samples_.resize(static_cast<std::size_t>(grown), 0.0);
        } catch (const std::bad_alloc&) {
            return false;
        } catch (const std::length_error&) {
            return false;
        }
    }
    length_ = n;
    used_ = std::max(used_, n);
    return true;
}

void SampleBuffer::Release() {
    decltype(samples_)().swap(samples_);
    length_ = 0;
    used_ = 0;
}

void SampleBuffer::Empty() {
    std::fill_n(samples_.data(), used_, 0.0);
    length_ = 0;
    used_ = 0;
}
