// Test plug-in written in C++, as many plug-ins are: it passes its input
// through, and throws a C++ exception out of the entry point the test names
// in ThrowFrom ('C' Constructer, 'E' EffectEnt, 'S' EffectStop, 'D'
// Destructer). EffectEnt throws only after ThrowAfterBlocks good blocks.
// ThrowFrom starts as the environment's ZAREVO_TEST_THROW_FROM, so that a
// test can make it throw inside another program.
#include <atomic>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "fault_plugin.h"

namespace {

char ThrowFromEnvironment() {
    const char* entry = std::getenv("ZAREVO_TEST_THROW_FROM");
    return entry != nullptr ? entry[0] : 0;
}

}  // namespace

extern "C" {

ZAREVO_PLUGIN_EXPORT std::atomic<char> ThrowFrom{ThrowFromEnvironment()};
ZAREVO_PLUGIN_EXPORT std::atomic<int> ThrowAfterBlocks{0};
ZAREVO_PLUGIN_EXPORT std::atomic<int> EffectEntCalls{0};
ZAREVO_PLUGIN_EXPORT std::atomic<int> DestructerCalls{0};

}  // extern "C"

namespace {

void ThrowIf(char entry) {
    if (ThrowFrom.load() == entry) {
        throw std::runtime_error(std::string("test plug-in throws from ") + entry);
    }
}

}  // namespace

extern "C" void Constructer(void) { ThrowIf('C'); }

extern "C" int EffectEnt(int, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
                         ZarevoResizeOutputFn resize) {
    if (EffectEntCalls.fetch_add(1) >= ThrowAfterBlocks.load()) {
        ThrowIf('E');
    }
    return PassThrough(count, in, out, capacity, resize);
}

extern "C" void EffectStop(void) { ThrowIf('S'); }

extern "C" void Destructer(void) {
    DestructerCalls.fetch_add(1);
    ThrowIf('D');
}
