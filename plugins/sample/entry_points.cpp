// The six entry points of the sample plug-in: each is a thin C function that
// hands over to the effect (vocal_cancel.cpp) or the panel (sample_panel.cpp).
// Start this file when you write a plug-in of your own.
#include "sample_panel.h"
#include "vocal_cancel.h"
#include "zarevo_plugin.h"

extern "C" {

/// [window] Creates the panel; every new panel starts with vocal cancel off.
void* Start_Dialog(void* parent) {
    VocalCancel.store(0, std::memory_order_relaxed);
    return CreateSamplePanel(parent);
}

/// [window] Destroys the panel; nonzero when there was one.
int End_Dialog(void) { return DestroySamplePanel(); }

/// [worker] Start of a job: forget a stop request of an earlier job.
void Constructer(void) { StopRequested.store(0, std::memory_order_relaxed); }

/// [worker] One block. The sample rate does not matter to vocal cancel.
int EffectEnt(int /*sampleRate*/, int count, const ChannelBuffers* in, ChannelBuffers* out,
              const int* capacity, ZarevoResizeOutputFn resize) {
    return ProcessVocalCancelBlock(count, in, out, capacity, resize);
}

/// [window] Stop the running job: from its next sample on, the block in
/// progress passes through unchanged.
void EffectStop(void) { StopRequested.store(1, std::memory_order_relaxed); }

/// [worker] End of a job: vocal cancel keeps nothing that needs freeing.
void Destructer(void) {}

}  // extern "C"
