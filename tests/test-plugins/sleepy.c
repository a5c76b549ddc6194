/* Test plug-in that takes SleepMilliseconds (default 400) for every block,
 * whatever EffectStop says, then passes its input through: a slow plug-in
 * the window must not freeze for. */
#include <unistd.h>

#include "fault_plugin.h"

ZAREVO_PLUGIN_EXPORT int SleepMilliseconds = 400;

void Constructer(void) {}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    usleep((useconds_t)SleepMilliseconds * 1000u);
    return PassThrough(count, in, out, capacity, resize);
}

void EffectStop(void) {}

void Destructer(void) {}
