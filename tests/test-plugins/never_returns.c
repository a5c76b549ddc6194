/* Test plug-in that passes HangAfterBlocks blocks through, then does not
 * return: its next EffectEnt waits until the test sets Release, and
 * EffectStop does not end it. Hanging tells the test it is inside that call. */
#include <stdatomic.h>
#include <stddef.h>
#include <unistd.h>

#include "zarevo_plugin.h"

ZAREVO_PLUGIN_EXPORT atomic_int HangAfterBlocks;
ZAREVO_PLUGIN_EXPORT atomic_int Hanging;
ZAREVO_PLUGIN_EXPORT atomic_int Release;

static atomic_int Blocks;

void* Start_Dialog(void* parent) {
    (void)parent;
    return NULL;
}

int End_Dialog(void) { return 0; }

void Constructer(void) { atomic_store(&Blocks, 0); }

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out,
              const int* capacity, ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    if (atomic_fetch_add(&Blocks, 1) >= atomic_load(&HangAfterBlocks)) {
        atomic_store(&Hanging, 1);
        while (!atomic_load(&Release)) {
            usleep(1000);
        }
        atomic_store(&Hanging, 0);
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

void EffectStop(void) {}

void Destructer(void) {}
