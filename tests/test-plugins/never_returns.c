/* Test plug-in that passes HangAfterBlocks blocks through, then does not
 * return: its next EffectEnt waits until the test sets Release, and
 * EffectStop does not end it. Hanging tells the test it is inside that call. */
#include <stdatomic.h>
#include <unistd.h>

#include "fault_plugin.h"

ZAREVO_PLUGIN_EXPORT atomic_int HangAfterBlocks;
ZAREVO_PLUGIN_EXPORT atomic_int Hanging;
ZAREVO_PLUGIN_EXPORT atomic_int Release;

static atomic_int Blocks;

void Constructer(void) { atomic_store(&Blocks, 0); }

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    if (atomic_fetch_add(&Blocks, 1) >= atomic_load(&HangAfterBlocks)) {
        atomic_store(&Hanging, 1);
        while (!atomic_load(&Release)) {
            usleep(1000);
        }
        atomic_store(&Hanging, 0);
    }
    return PassThrough(count, in, out, capacity, resize);
}

void EffectStop(void) {}

void Destructer(void) {}
