/* Test plug-in that asks the resize callback for 2^31 - 1 samples per
 * channel, records the capacity it then finds, and passes its input through
 * within what it really has. */
#include <limits.h>
#include <stddef.h>

#include "zarevo_plugin.h"

ZAREVO_PLUGIN_EXPORT int CapacityBeforeHugeRequest = -1;
ZAREVO_PLUGIN_EXPORT int CapacityAfterHugeRequest = -1;

void* Start_Dialog(void* parent) {
    (void)parent;
    return NULL;
}

int End_Dialog(void) { return 0; }

void Constructer(void) {}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out,
              const int* capacity, ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    CapacityBeforeHugeRequest = *capacity;
    resize(INT_MAX);
    CapacityAfterHugeRequest = *capacity;
    if (*capacity < count) {
        resize(count);
    }
    const int n = count < *capacity ? count : *capacity;
    for (int i = 0; i < n; ++i) {
        out->channel[0][i] = in->channel[0][i];
        out->channel[1][i] = in->channel[1][i];
    }
    return n;
}

void EffectStop(void) {}

void Destructer(void) {}
