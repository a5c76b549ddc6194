// A stand-in for the engine's output pair and resize callback, for tests that
// drive the effect directly. The callback carries no context, so the pair is
// one per test program; a size limit lets tests refuse to grow.
#pragma once

#include <climits>
#include <vector>

#include "zarevo_plugin.h"

struct HostOutput {
    std::vector<double> channels[2];
    ChannelBuffers buffers{};
    int capacity = 0;
    int limit = INT_MAX;  ///< resize requests above this leave the pair as it was
    int resizeCalls = 0;

    static HostOutput& Instance() {
        static HostOutput host;
        return host;
    }
    static void Resize(int n) {
        HostOutput& host = Instance();
        ++host.resizeCalls;
        if (n > host.limit) return;
        for (int ch = 0; ch < 2; ++ch) {
            host.channels[ch].resize(static_cast<std::size_t>(n));
            host.buffers.channel[ch] = host.channels[ch].data();
        }
        host.capacity = n;
    }
    static HostOutput& Reset(int capacity = 100, int limit = INT_MAX) {
        HostOutput& host = Instance();
        host.limit = INT_MAX;
        Resize(capacity);
        host.limit = limit;
        host.resizeCalls = 0;
        return host;
    }
};
