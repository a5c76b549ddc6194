// The module-wide output pair and its resize callback.
#include "output_buffers.h"

#include <algorithm>
#include <new>
#include <vector>

#include "failure_log.h"

ChannelBuffers OutputBuffers = {{nullptr, nullptr}};
int OutputCapacity = 0;

namespace {

std::vector<double> OutputLeft;
std::vector<double> OutputRight;

void PublishOutput() {
    OutputBuffers.channel[0] = OutputLeft.data();
    OutputBuffers.channel[1] = OutputRight.data();
    OutputCapacity = static_cast<int>(OutputLeft.size());
}

}  // namespace

extern "C" void ResizeOutput(int n) {
    if (n < 0 || n > MaxOutputCapacity) {
        LogEngineFailure("output resize to %d samples refused (allowed: 0 to %d)", n, MaxOutputCapacity);
        return;
    }
    try {
        // Both new arrays exist before either replaces the old one, so a
        // failed allocation leaves the pair as it was.
        std::vector<double> left(static_cast<std::size_t>(n));
        std::vector<double> right(static_cast<std::size_t>(n));
        const std::size_t kept = std::min(OutputLeft.size(), left.size());
        std::copy_n(OutputLeft.begin(), kept, left.begin());
        std::copy_n(OutputRight.begin(), kept, right.begin());
        OutputLeft.swap(left);
        OutputRight.swap(right);
    } catch (const std::bad_alloc&) {
        LogEngineFailure("output resize to %d samples failed: out of memory", n);
        return;
    }
    PublishOutput();
}

void ReleaseOutputBuffers() {
    OutputLeft = std::vector<double>();
    OutputRight = std::vector<double>();
    OutputBuffers.channel[0] = nullptr;
    OutputBuffers.channel[1] = nullptr;
    OutputCapacity = 0;
}
