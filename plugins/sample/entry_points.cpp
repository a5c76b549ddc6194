// The entry points of the sample plug-in: each is a thin C function that
// hands over to the effect (vocal_cancel.cpp) or the panel (sample_panel.cpp),
// plus the table that describes its one parameter to hosts without a panel.
// Start this file when you write a plug-in of your own.
#include "sample_panel.h"
#include "vocal_cancel.h"
#include "zarevo_plugin.h"

namespace {

double GetVocalCancel() { return VocalCancel.load(std::memory_order_relaxed); }
void SetVocalCancel(double value) { VocalCancel.store(value != 0.0 ? 1 : 0, std::memory_order_relaxed); }

constexpr ZarevoParameter kParameters[] = {
    {"VocalCancel", "replace both channels by left minus right (removes the centre voice)", ZAREVO_PARAMETER_SWITCH,
     0.0, 1.0, 0.0, GetVocalCancel, SetVocalCancel},
};

constexpr ZarevoParameterDescription kDescription{
    ZAREVO_PLUGIN_API_VERSION, 1, kParameters, 0, nullptr, sizeof(ZarevoParameter), sizeof(ZarevoPreset)};

}  // namespace

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
int EffectEnt(int /*sampleRate*/, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    return ProcessVocalCancelBlock(count, in, out, capacity, resize);
}

/// [window] Stop the running job: from its next sample on, the block in
/// progress passes through unchanged.
void EffectStop(void) { StopRequested.store(1, std::memory_order_relaxed); }

/// [worker] End of a job: vocal cancel keeps nothing that needs freeing.
void Destructer(void) {}

/// [worker] After the last data block: vocal cancel works sample by sample,
/// so its sound ends with its input.
int EffectTail(int /*sampleRate*/) { return 0; }

/// [worker] At the start of a run: vocal cancel gives one sample for each it
/// takes.
double EffectSpeed(int /*sampleRate*/) { return 1.0; }

/// [window] The one parameter, for hosts without a panel (zarevo-render).
const ZarevoParameterDescription* Describe_Parameters(void) { return &kDescription; }

}  // extern "C"
