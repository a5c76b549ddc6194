/* Test plug-in that returns a different count than it was given, as a speed
 * change does: count x Numerator / Denominator frames, each output frame i
 * taking input frame i x count / n. With Misreport set it instead returns
 * that value without writing anything, as a faulty plug-in might. States
 * its speed through EffectSpeed. */
#include <stddef.h>

#include "no_panel.h"

ZAREVO_PLUGIN_EXPORT int Numerator = 1;
ZAREVO_PLUGIN_EXPORT int Denominator = 2;
ZAREVO_PLUGIN_EXPORT int Misreport;

void Constructer(void) {}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    if (Misreport != 0) {
        return Misreport;
    }
    const int n = (int)((long long)count * Numerator / Denominator);
    if (*capacity < n) {
        resize(n);
    }
    for (int i = 0; i < n; ++i) {
        const int from = (int)((long long)i * count / n);
        out->channel[0][i] = in->channel[0][from];
        out->channel[1][i] = in->channel[1][from];
    }
    return n;
}

double EffectSpeed(int sampleRate) {
    (void)sampleRate;
    return (double)Numerator / Denominator;
}

void EffectStop(void) {}

void Destructer(void) {}
