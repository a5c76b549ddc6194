/* Test plug-in that asks the resize callback for 2^31 - 1 samples per
 * channel, records the capacity it then finds, and passes its input through
 * within what it really has. */
#include <limits.h>

#include "fault_plugin.h"

ZAREVO_PLUGIN_EXPORT int CapacityBeforeHugeRequest = -1;
ZAREVO_PLUGIN_EXPORT int CapacityAfterHugeRequest = -1;

void Constructer(void) {}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    CapacityBeforeHugeRequest = *capacity;
    resize(INT_MAX);
    CapacityAfterHugeRequest = *capacity;
    return PassThrough(count, in, out, capacity, resize);
}

void EffectStop(void) {}

void Destructer(void) {}
