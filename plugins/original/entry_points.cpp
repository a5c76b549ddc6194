// The exported entry points of Zarevo_original. They only hand over to the
// panel, to the effect's run (and its tail) and to the parameter description;
// nothing may throw across the C interface.
#include "effect_run.h"
#include "parameter_description.h"
#include "parameter_panel.h"
#include "zarevo_plugin.h"

extern "C" {

void* Start_Dialog(void* parent) {
    try {
        return CreateParameterPanel(parent);
    } catch (...) {
        return nullptr;
    }
}

int End_Dialog(void) {
    try {
        return DestroyParameterPanel();
    } catch (...) {
        return 0;
    }
}

void Constructer(void) { StandardEffectRun().Construct(); }

int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    try {
        return StandardEffectRun().Process(sampleRate, count, in, out, capacity, resize);
    } catch (...) {
        return 0;
    }
}

void EffectStop(void) { StandardEffectRun().RequestStop(); }

void Destructer(void) { StandardEffectRun().Destruct(); }

int EffectTail(int sampleRate) { return RingFrames(sampleRate); }

double EffectSpeed(int sampleRate) { return OutputPerInput(sampleRate); }

const ZarevoParameterDescription* Describe_Parameters(void) { return DescribeParameterBlock(); }

}  // extern "C"
