/* Test plug-in that holds back HoldBack samples per channel, as an effect
 * working in frames does: its output is its input delayed by that many
 * samples, so the first call returns HoldBack fewer than it was given and
 * the last HoldBack samples of a job come out only if the engine feeds more
 * blocks after the data. Counts its calls. */
#include <stdatomic.h>
#include <stdlib.h>
#include <string.h>

#include "no_panel.h"

ZAREVO_PLUGIN_EXPORT int HoldBack = 1000;
ZAREVO_PLUGIN_EXPORT atomic_int EffectEntCalls;
ZAREVO_PLUGIN_EXPORT atomic_int ConstructerCalls;
ZAREVO_PLUGIN_EXPORT atomic_int DestructerCalls;

static double* Held[2];
static int HeldCount;

void Constructer(void) {
    atomic_fetch_add(&ConstructerCalls, 1);
    HeldCount = 0;
}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    atomic_fetch_add(&EffectEntCalls, 1);
    const int total = HeldCount + count;
    const int n = total > HoldBack ? total - HoldBack : 0;
    if (*capacity < n) {
        resize(n);
    }
    for (int ch = 0; ch < 2; ++ch) {
        /* The stream is the held samples followed by this call's input. */
        double* stream = malloc(sizeof(double) * (size_t)(total > 0 ? total : 1));
        if (HeldCount > 0) {
            memcpy(stream, Held[ch], sizeof(double) * (size_t)HeldCount);
        }
        if (count > 0) {
            memcpy(stream + HeldCount, in->channel[ch], sizeof(double) * (size_t)count);
        }
        if (n > 0) {
            memcpy(out->channel[ch], stream, sizeof(double) * (size_t)n);
        }
        free(Held[ch]);
        Held[ch] = malloc(sizeof(double) * (size_t)(total - n + 1));
        if (total > n) {
            memcpy(Held[ch], stream + n, sizeof(double) * (size_t)(total - n));
        }
        free(stream);
    }
    HeldCount = total - n;
    return n;
}

void EffectStop(void) {}

void Destructer(void) { atomic_fetch_add(&DestructerCalls, 1); }

/* The library may be unloaded without a last Destructer (a job that failed
 * to open): its storage goes with it. */
__attribute__((destructor)) static void ReleaseStorage(void) {
    for (int ch = 0; ch < 2; ++ch) {
        free(Held[ch]);
        Held[ch] = NULL;
    }
}
