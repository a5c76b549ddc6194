/* A test plug-in with every processing entry point but no Start_Dialog: the
 * window must skip it. Its EffectEnt would silence everything, so a test can
 * tell if it ever got into the chain. */
#include "zarevo_plugin.h"

ZAREVO_PLUGIN_EXPORT int End_Dialog(void) { return 1; }
ZAREVO_PLUGIN_EXPORT void Constructer(void) {}
ZAREVO_PLUGIN_EXPORT void EffectStop(void) {}
ZAREVO_PLUGIN_EXPORT void Destructer(void) {}

ZAREVO_PLUGIN_EXPORT int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out,
                                   const int* capacity, ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    (void)in;
    if (*capacity < count) resize(count);
    for (int i = 0; i < count; ++i) {
        out->channel[0][i] = 0.0;
        out->channel[1][i] = 0.0;
    }
    return count;
}
