/* Test plug-in that adds a tail after the sound, as a reverb or an echo
 * does: out[i] = in[i] + 0.5 x in[i - TailFrames], across blocks, keeping
 * the count. A sound that ends at frame k therefore rings on until frame
 * k + TailFrames, after the source's own end. EffectTail declares
 * DeclaredTail frames, which tests set apart from TailFrames. */
#include <stdlib.h>
#include <string.h>

#include "no_panel.h"

ZAREVO_PLUGIN_EXPORT int TailFrames = 500;
ZAREVO_PLUGIN_EXPORT int DeclaredTail = 500;

static double* History[2]; /* the last TailFrames input samples */

void Constructer(void) {
    for (int ch = 0; ch < 2; ++ch) {
        free(History[ch]);
        History[ch] = calloc((size_t)TailFrames + 1, sizeof(double));
    }
}

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    if (*capacity < count) {
        resize(count);
    }
    const int d = TailFrames;
    for (int ch = 0; ch < 2; ++ch) {
        /* The stream is the history followed by this call's input. */
        double* stream = malloc(sizeof(double) * (size_t)(d + count + 1));
        memcpy(stream, History[ch], sizeof(double) * (size_t)d);
        memcpy(stream + d, in->channel[ch], sizeof(double) * (size_t)count);
        for (int i = 0; i < count; ++i) {
            out->channel[ch][i] = stream[d + i] + 0.5 * stream[i];
        }
        memcpy(History[ch], stream + count, sizeof(double) * (size_t)d);
        free(stream);
    }
    return count;
}

void EffectStop(void) {}

void Destructer(void) {}

int EffectTail(int sampleRate) { return sampleRate > 0 ? DeclaredTail : 0; }

/* The library may be unloaded without a last Destructer (a job that failed
 * to open): its storage goes with it. */
__attribute__((destructor)) static void ReleaseStorage(void) {
    for (int ch = 0; ch < 2; ++ch) {
        free(History[ch]);
        History[ch] = NULL;
    }
}
