/* Test plug-in that lacks EffectStop: the engine must refuse to run it rather
 * than call an empty entry. Its Constructer counts calls, to prove it never
 * ran. */
#include <stdatomic.h>
#include <stddef.h>

#include "no_panel.h"

ZAREVO_PLUGIN_EXPORT atomic_int ConstructerCalls;

void Constructer(void) { atomic_fetch_add(&ConstructerCalls, 1); }

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    (void)count;
    (void)in;
    (void)out;
    (void)capacity;
    (void)resize;
    return 0;
}

void Destructer(void) {}
