/* Test plug-in that takes SleepMilliseconds (default 400) for every block,
 * whatever EffectStop says, then passes its input through: a slow plug-in
 * the window must not freeze for. */
#include <stddef.h>
#include <unistd.h>

#include "zarevo_plugin.h"

ZAREVO_PLUGIN_EXPORT int SleepMilliseconds = 400;

void* Start_Dialog(void* parent) {
    (void)parent;
    return NULL;
}

int End_Dialog(void) { return 0; }

void Constructer(void) {}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out,
              const int* capacity, ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    usleep((useconds_t)SleepMilliseconds * 1000u);
    if (*capacity < count) {
        resize(count);
    }
    for (int i = 0; i < count; ++i) {
        out->channel[0][i] = in->channel[0][i];
        out->channel[1][i] = in->channel[1][i];
    }
    return count;
}

void EffectStop(void) {}

void Destructer(void) {}
