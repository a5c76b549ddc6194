/*
 * Zarevo_volume: the smallest complete ZarevoPlus effect plug-in, in C.
 * It multiplies both channels by Gain. It has no panel (Start_Dialog returns
 * NULL, so its tab stays empty), no tail (EffectTail returns 0) and keeps the
 * length (EffectSpeed returns 1); its one
 * parameter and two presets are described through Describe_Parameters, so
 * zarevo-render can set them:
 *
 *     zarevo-render --set volume.Gain=0.5 in.wav out.wav
 *     zarevo-render --preset volume.half in.wav out.wav
 *
 * Build it with the Makefile beside it and copy Zarevo_volume.so next to the
 * program. Rules kept here, as zarevo_plugin.h asks: state in module-wide
 * variables; what the window writes and the worker reads is atomic; nothing
 * is written to the output before *capacity has room for it; no entry point
 * throws or longjmps.
 */
#include <stdatomic.h>
#include <stddef.h>

#include "zarevo_plugin.h"

/* Written on the window thread (set), read on the worker (EffectEnt). */
static _Atomic double Gain = 1.0;
/* Set by EffectStop (window), cleared by Constructer, polled by EffectEnt. */
static atomic_int StopRequested;

static double GetGain(void) { return atomic_load_explicit(&Gain, memory_order_relaxed); }
static void SetGain(double value) { atomic_store_explicit(&Gain, value, memory_order_relaxed); }

static const ZarevoParameter Parameters[] = {
    {"Gain", "factor applied to both channels (1: unchanged)", ZAREVO_PARAMETER_REAL, 0.0, 4.0, 1.0, GetGain, SetGain},
};

/* One value per parameter, in the order of Parameters. */
static const double HalfValues[] = {0.5};
static const double UnityValues[] = {1.0};
static const ZarevoPreset Presets[] = {
    {"half", "half as loud", HalfValues},
    {"unity", "unchanged", UnityValues},
};

/* The struct sizes let later hosts walk the arrays even when they know a
   different version of the structs. */
static const ZarevoParameterDescription Description = {
    ZAREVO_PLUGIN_API_VERSION, 1, Parameters, 2, Presets, sizeof(ZarevoParameter), sizeof(ZarevoPreset),
};

/* [window] No panel: the tab stays empty. */
void* Start_Dialog(void* parent) {
    (void)parent;
    return NULL;
}

/* [window] Nothing to destroy. */
int End_Dialog(void) { return 1; }

/* [worker] Start of a job: forget a stop request of an earlier job. */
void Constructer(void) { atomic_store_explicit(&StopRequested, 0, memory_order_relaxed); }

/* [worker] One block: out = in x Gain, both channels. */
int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
              ZarevoResizeOutputFn resize) {
    (void)sampleRate;
    if (count <= 0) return 0;
    if (*capacity < count) resize(count);
    /* The engine may fail to grow its arrays: write only what fits. */
    const int length = count < *capacity ? count : *capacity;
    const double gain = GetGain(); /* once per block: a block is all one gain */
    int written = 0;
    for (; written < length; ++written) {
        if (atomic_load_explicit(&StopRequested, memory_order_relaxed)) break;
        out->channel[0][written] = in->channel[0][written] * gain;
        out->channel[1][written] = in->channel[1][written] * gain;
    }
    return written;
}

/* [window] Stop the running job: the loop ends at its next sample. */
void EffectStop(void) { atomic_store_explicit(&StopRequested, 1, memory_order_relaxed); }

/* [worker] End of a job: nothing was allocated. */
void Destructer(void) {}

/* [worker] After the last data block: a gain keeps no sound of its own, so
   the output ends with the input. (Optional; shown here because a reverb or
   an echo must return how long it rings on.) */
int EffectTail(int sampleRate) {
    (void)sampleRate;
    return 0;
}

/* [worker] At the start of every run: one output sample per input sample.
   (Optional; an effect that changes the speed returns its ratio, so a play
   that seeks or loops knows which sound is which.) */
double EffectSpeed(int sampleRate) {
    (void)sampleRate;
    return 1.0;
}

/* [window] The parameter and presets above; static data, valid while loaded. */
const ZarevoParameterDescription* Describe_Parameters(void) { return &Description; }
