// Vocal cancel, the effect of the sample plug-in: both channels become left
// minus right, which removes what was recorded identically on both (usually
// the lead voice). Plain C++ without Qt; runs on the engine's worker thread.
#pragma once

#include <atomic>
#include <cstdint>

#include "zarevo_plugin.h"

extern "C" {
/// 1 while the panel's check box is ticked. Written by the panel (window
/// thread), read once per block by the effect (worker thread). Exported so
/// that tests and headless tools can switch the effect without a panel.
ZAREVO_PLUGIN_EXPORT extern std::atomic<std::int32_t> VocalCancel;
}

/// 1 once EffectStop has asked the running job to stop; Constructer clears it.
extern std::atomic<std::int32_t> StopRequested;

/// Processes one block as EffectEnt does: makes room for `count` samples,
/// then writes left - right to both outputs (vocal cancel on) or copies the
/// input (off). Once StopRequested is set, the rest of the block is copied
/// unchanged. Returns the number of samples per channel written to `out`:
/// `count`, or fewer only when the output could not be enlarged.
int ProcessVocalCancelBlock(int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
                            ZarevoResizeOutputFn resize) noexcept;
