/* Test plug-in that holds the worker until EffectStop is called: in EffectEnt
 * when StallInEffectEnt is set, in Destructer when StallInDestructer is set.
 * Lets tests place a stop request exactly inside a block, or exactly between
 * the job's own end and its return to idle. Gives up after 20 s so a broken
 * engine fails the test instead of hanging it. */
#include <stdatomic.h>
#include <stddef.h>
#include <unistd.h>

#include "no_panel.h"

ZAREVO_PLUGIN_EXPORT atomic_int StallInEffectEnt;
ZAREVO_PLUGIN_EXPORT atomic_int StallInDestructer;
ZAREVO_PLUGIN_EXPORT atomic_int Stalling;
ZAREVO_PLUGIN_EXPORT atomic_int EffectEntCalls;
ZAREVO_PLUGIN_EXPORT atomic_int EffectStopCalls;
ZAREVO_PLUGIN_EXPORT atomic_int DestructerCalls;

static atomic_int StopRequested;

static void WaitForStop(void) {
    atomic_store(&Stalling, 1);
    for (int waited = 0; waited < 20000 && !atomic_load(&StopRequested); ++waited) {
        usleep(1000);
    }
    atomic_store(&Stalling, 0);
}

void Constructer(void) { atomic_store(&StopRequested, 0); }

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    atomic_fetch_add(&EffectEntCalls, 1);
    if (atomic_load(&StallInEffectEnt)) {
        WaitForStop();
    }
    if (*capacity < count) {
        resize(count);
    }
    for (int i = 0; i < count; ++i) {
        out->channel[0][i] = in->channel[0][i];
        out->channel[1][i] = in->channel[1][i];
    }
    return count;
}

void EffectStop(void) {
    atomic_fetch_add(&EffectStopCalls, 1);
    atomic_store(&StopRequested, 1);
}

void Destructer(void) {
    atomic_fetch_add(&DestructerCalls, 1);
    if (atomic_load(&StallInDestructer)) {
        WaitForStop();
    }
}
