/* Test plug-in: out = in x Gain + Offset, with a declared tail of DeclaredTail.
 * Counts every call and reports each event ('C' Constructer, 'E' EffectEnt,
 * 'S' EffectStop, 'D' Destructer) to a hook the test installs through dlsym,
 * so tests can check the order of calls across several modules. */
#include <stdatomic.h>
#include <stddef.h>

#include "no_panel.h"

ZAREVO_PLUGIN_EXPORT atomic_int ConstructerCalls;
ZAREVO_PLUGIN_EXPORT atomic_int EffectEntCalls;
ZAREVO_PLUGIN_EXPORT atomic_int EffectStopCalls;
ZAREVO_PLUGIN_EXPORT atomic_int DestructerCalls;
ZAREVO_PLUGIN_EXPORT int LastSampleRate;
ZAREVO_PLUGIN_EXPORT int LastCount;
ZAREVO_PLUGIN_EXPORT double Gain = 1.0;
ZAREVO_PLUGIN_EXPORT double Offset = 0.0;
ZAREVO_PLUGIN_EXPORT int DeclaredTail = 0;
ZAREVO_PLUGIN_EXPORT void (*EventHook)(void* context, char event);
ZAREVO_PLUGIN_EXPORT void* EventContext;

static void Report(char event) {
    if (EventHook != NULL) {
        EventHook(EventContext, event);
    }
}

void Constructer(void) {
    atomic_fetch_add(&ConstructerCalls, 1);
    Report('C');
}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    atomic_fetch_add(&EffectEntCalls, 1);
    Report('E');
    LastSampleRate = sampleRate;
    LastCount = count;
    if (*capacity < count) {
        resize(count);
    }
    for (int ch = 0; ch < 2; ++ch) {
        for (int i = 0; i < count; ++i) {
            out->channel[ch][i] = in->channel[ch][i] * Gain + Offset;
        }
    }
    return count;
}

void EffectStop(void) {
    atomic_fetch_add(&EffectStopCalls, 1);
    Report('S');
}

void Destructer(void) {
    atomic_fetch_add(&DestructerCalls, 1);
    Report('D');
}

int EffectTail(int sampleRate) { return sampleRate > 0 ? DeclaredTail : 0; }
