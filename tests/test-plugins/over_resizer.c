/* Test plug-in that asks resize for more room than it writes (three times
 * its count, in two steps, writing between them) and then passes its input
 * through. It records the capacity it found on entry to each call. */
#include <stddef.h>

#include "no_panel.h"

ZAREVO_PLUGIN_EXPORT int CapacityOnEntry;

void Constructer(void) {}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    CapacityOnEntry = *capacity;
    const int half = count / 2;
    if (*capacity < half) {
        resize(half);
    }
    for (int i = 0; i < half; ++i) {
        out->channel[0][i] = in->channel[0][i];
        out->channel[1][i] = in->channel[1][i];
    }
    /* The first half must survive this resize; the pointers behind out change. */
    if (*capacity < 3 * count) {
        resize(3 * count);
    }
    for (int i = half; i < count; ++i) {
        out->channel[0][i] = in->channel[0][i];
        out->channel[1][i] = in->channel[1][i];
    }
    return count;
}

void EffectStop(void) {}

void Destructer(void) {}
