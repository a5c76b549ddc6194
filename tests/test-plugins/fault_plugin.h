/* What the fault-injecting test plug-ins share: no panel, and the copy of
 * the input to the output within the room the engine grants. Each of them is
 * one source file that includes this once. */
#ifndef ZAREVO_TEST_FAULT_PLUGIN_H
#define ZAREVO_TEST_FAULT_PLUGIN_H

#include <stddef.h>

#include "no_panel.h"

/* Copies `count` samples of both channels (fewer if resize refused the room);
 * returns how many. */
static int PassThrough(int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
                       ZarevoResizeOutputFn resize) {
    if (*capacity < count) {
        resize(count);
    }
    const int n = count < *capacity ? count : *capacity;
    for (int i = 0; i < n; ++i) {
        out->channel[0][i] = in->channel[0][i];
        out->channel[1][i] = in->channel[1][i];
    }
    return n;
}

#endif
