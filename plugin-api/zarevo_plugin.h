/*
 * zarevo_plugin.h: the interface between ZarevoPlusApp and its effect plug-ins.
 *
 * A plug-in is a shared library named "Zarevo_<caption>.so" placed next to the
 * program. It exports exactly the six functions below with C linkage; the
 * program loads it with dlopen and binds the functions by name. This header is
 * plain C (usable from C and C++) and is all a plug-in author needs.
 *
 * Two threads call a plug-in:
 *   [window]  the program's GUI thread: panel, parameters, EffectStop.
 *   [worker]  the engine's processing thread: Constructer, EffectEnt, Destructer.
 * Nothing across this interface is locked. Values that the window writes and
 * the worker reads (parameters, the stop flag) should be atomics in C++ or
 * otherwise be safe to read while being written.
 *
 * The life of a plug-in:
 *   1. load (dlopen), once per run of the program;
 *   2. Start_Dialog [window]: create the parameter panel;
 *   3. for every play or save job, on the worker:
 *        Constructer, then EffectEnt once per block, then Destructer;
 *      EffectStop [window] may arrive at any time between Constructer and
 *      Destructer. When the source cannot be opened, or the sound device or
 *      output file cannot be, the job ends after Constructer with no
 *      Destructer: the next Constructer must tolerate that.
 *   4. End_Dialog [window]: destroy the panel;
 *   5. unload (dlclose).
 *
 * All loaded plug-ins form one chain in byte-wise order of their file names;
 * each block passes through them in that order, each one's output being the
 * next one's input. Each library is loaded once, so a plug-in keeps its state
 * in module-wide variables; there is no instance handle.
 *
 * Version history:
 *   1  the six entry points, ChannelBuffers, ZarevoResizeOutputFn.
 */
#ifndef ZAREVO_PLUGIN_H
#define ZAREVO_PLUGIN_H

#define ZAREVO_PLUGIN_API_VERSION 1

#if defined(__GNUC__)
#define ZAREVO_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define ZAREVO_PLUGIN_EXPORT
#endif

#ifdef __cplusplus
extern "C" {
#endif

/*
 * Two channels of double-precision samples: channel[0] is left, channel[1]
 * right. Full scale is 1.0; the engine converts 8-bit PCM as (byte - 128) / 128
 * and 16-bit PCM as value / 32768, and clips only when it encodes the chain's
 * result. A mono source arrives as two identical channels.
 */
typedef struct ChannelBuffers {
    double* channel[2];
} ChannelBuffers;

/*
 * The engine's resize callback (ResizeOutput), handed to every EffectEnt call.
 * [worker, only from inside the EffectEnt call that received it]
 * n: the new size of each output array, in samples (n >= 0).
 * Reallocates both arrays behind EffectEnt's `out` to exactly n samples,
 * keeping the first min(old size, n) samples of each (new space is not
 * cleared), stores the new array addresses in *out and sets *capacity to n.
 * If the memory cannot be had, the arrays and *capacity stay as they were:
 * check *capacity again after the call.
 */
typedef void (*ZarevoResizeOutputFn)(int n);

/*
 * [window] once, right after the library is loaded.
 * parent: the program's main window, a QWidget* passed as void*; valid until
 *         End_Dialog returns.
 * Creates the plug-in's parameter panel (a QWidget without caption, hidden,
 * about 357 x 146 dialog units) as a child of parent and returns it as a
 * QWidget* in a void*. The program places, shows and hides it over its tab
 * page; the plug-in keeps ownership and destroys it in End_Dialog.
 * Returning NULL is allowed: the plug-in still gets a tab (an empty one).
 * A library that does not export Start_Dialog is not loaded.
 */
typedef void* (*ZarevoStartDialogFn)(void* parent);
ZAREVO_PLUGIN_EXPORT void* Start_Dialog(void* parent);

/*
 * [window] once, when the main window closes, after any running job has been
 * stopped and before the library is unloaded.
 * Destroys the panel created by Start_Dialog. The result is ignored.
 * Optional: a library without it is unloaded without the call.
 */
typedef int (*ZarevoEndDialogFn)(void);
ZAREVO_PLUGIN_EXPORT int End_Dialog(void);

/*
 * [worker] at the start of every job, before the source file is opened.
 * Resets everything a run needs: clears the stop flag, empties the queues
 * and overlap buffers. Must tolerate a preceding run that never got its
 * Destructer (a job that failed to start). Never touches the panel.
 */
typedef void (*ZarevoConstructerFn)(void);
ZAREVO_PLUGIN_EXPORT void Constructer(void);

/*
 * [worker] once per block of every job, between Constructer and Destructer.
 * sampleRate: the job's output rate in Hz (> 0); every buffer runs at it.
 * count:      samples per channel in `in` (>= 0). The first plug-in of the
 *             chain receives the same count for every block of a job:
 *             floor(65536 x output rate / source rate).
 * in:         the input pair, count samples per channel. The pair and its
 *             arrays are valid only during the call; the plug-in may read
 *             them and must not free them. They never overlap `out`.
 * out:        the engine's output pair. Write the result to indices
 *             0 .. n-1 of both arrays. Read out->channel[] afresh after every
 *             call of `resize`; never keep the pointers beyond the call.
 * capacity:   how many samples each array of `out` holds right now. Before
 *             writing index k, make sure k < *capacity; otherwise call resize
 *             with a larger size first (asking for more than needed is fine).
 * resize:     the engine's ZarevoResizeOutputFn; may be called any number of
 *             times; what was written before a call survives it.
 * Returns n, the samples per channel written to `out` (0 or more). It may
 * differ from count: a speed change, or samples held back until a whole
 * frame has arrived. There is no error result and no flush at the end of a
 * job: samples still held back when the job ends are dropped.
 * Once EffectStop has been called, cut the remaining work of the call short.
 */
typedef int (*ZarevoEffectEntFn)(int sampleRate, int count,
                                 const ChannelBuffers* in, ChannelBuffers* out,
                                 const int* capacity, ZarevoResizeOutputFn resize);
ZAREVO_PLUGIN_EXPORT int EffectEnt(int sampleRate, int count,
                                   const ChannelBuffers* in, ChannelBuffers* out,
                                   const int* capacity, ZarevoResizeOutputFn resize);

/*
 * [window] when the user stops a running job or closes the window during
 * one; may run while EffectEnt runs on the worker.
 * Only sets the plug-in's own stop flag (an atomic), which EffectEnt polls
 * and the next Constructer clears. Must not block and must not touch the
 * buffers EffectEnt works on.
 */
typedef void (*ZarevoEffectStopFn)(void);
ZAREVO_PLUGIN_EXPORT void EffectStop(void);

/*
 * [worker] at the end of every job that ran (completed or stopped), after the
 * sound device is closed or the output file finished.
 * Frees what the run allocated. Never touches the panel or the parameters,
 * which carry over from job to job.
 */
typedef void (*ZarevoDestructerFn)(void);
ZAREVO_PLUGIN_EXPORT void Destructer(void);

#ifdef __cplusplus
}
#endif

#endif /* ZAREVO_PLUGIN_H */
