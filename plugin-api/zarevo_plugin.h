/*
 * zarevo_plugin.h: the interface between ZarevoPlus and its effect plug-ins.
 *
 * A plug-in is a shared library named "Zarevo_<caption>.so" placed next to the
 * program. It exports the six functions below with C linkage (and optionally
 * EffectTail, EffectSpeed and Describe_Parameters); the program loads it with dlopen and
 * binds the functions by name. This header is plain C (usable from C and
 * C++) and is all a plug-in author needs; zarevo_plugin.map is the linker
 * version script that exports exactly these names.
 *
 * Two programs load plug-ins, in the same way and in the same order: the
 * window (ZarevoPlusApp) and the headless renderer (zarevo-render). The
 * renderer never calls Start_Dialog or End_Dialog and has no window thread of
 * its own; its main thread plays the window thread's part.
 *
 * Two threads call a plug-in:
 *   [window]  the program's GUI thread (the renderer's main thread):
 *             Start_Dialog, End_Dialog, every panel event, EffectStop,
 *             Describe_Parameters and the described parameters' get and set.
 *   [worker]  the engine's processing thread: Constructer, EffectSpeed,
 *             EffectEnt, EffectTail, Destructer, and the resize callback
 *             (only from inside EffectEnt).
 * The worker calls one plug-in at a time, in chain order; the window may call
 * in at any moment, also while EffectEnt runs. Nothing across this interface
 * is locked. Values that the window writes and the worker reads (parameters,
 * the stop flag) should be atomics in C++ or otherwise be safe to read while
 * being written.
 *
 * The life of a plug-in:
 *   1. load (dlopen), once per run of the program;
 *   2. Start_Dialog [window]: create the parameter panel (window only);
 *   3. for every play or save job, on the worker:
 *        Constructer;
 *        EffectEnt once per block of the source's data;
 *        EffectTail once, after the last data block;
 *        EffectEnt for up to 4 blocks of silence (the flush), as long as the
 *          data blocks, to bring out what the plug-in holds back and its tail;
 *        Destructer.
 *      The output keeps the chain's result up to the source's own length
 *      (its frames at the output rate, through the chain's speed), then the
 *      chain's declared tails (the sum of the EffectTail results) up to
 *      their last frame that is not silent; everything after is dropped.
 *      The flush stops as soon as that much has come out. A job stopped
 *      before the end of its data gets neither EffectTail nor the flush.
 *      EffectStop [window] may arrive at any time between Constructer and
 *      Destructer. When the source cannot be opened, or the sound device or
 *      output file cannot be, the job ends after Constructer with no
 *      Destructer: the next Constructer must tolerate that.
 *   4. End_Dialog [window]: destroy the panel (window only);
 *   5. unload (dlclose).
 *
 * All loaded plug-ins form one chain in byte-wise order of their file names;
 * each block passes through them in that order, each one's output being the
 * next one's input. Each library is loaded once, so a plug-in keeps its state
 * in module-wide variables; there is no instance handle.
 *
 * No entry point may throw a C++ exception or longjmp out of the call: catch
 * everything inside, and report trouble through the results described below.
 * The program guards Start_Dialog and End_Dialog (a plug-in whose Start_Dialog
 * throws is left out of the chain), but an exception that leaves a processing
 * entry point ends the job at best.
 *
 * Version history:
 *   1  the six entry points, ChannelBuffers, ZarevoResizeOutputFn.
 *   2  the optional Describe_Parameters: named parameters (kind, range,
 *      default, get and set) and named presets, so that tools without a
 *      window (zarevo-render) can set a plug-in up. Plug-ins without it load
 *      and run as in version 1. The rule that no entry point throws.
 *   3  the optional EffectTail and the flush at the end of a job; the
 *      description carries the size of its parameter and preset structs
 *      (parameterSize, presetSize), so that it can grow. Version-2
 *      descriptions keep working. The optional EffectSpeed, for plays that
 *      move (seek, loop, follow a changed parameter).
 *
 * How a later version may grow: it adds entry points (optional ones, which a
 * host looks up by name and does without when they are missing), and it may
 * append fields at the end of ZarevoParameter, ZarevoPreset and
 * ZarevoParameterDescription. It never removes, reorders or changes a field.
 * A plug-in states its version and the sizes of its structs in the
 * description; a host walks the arrays by those sizes and reads only the
 * fields it knows, so older hosts read newer plug-ins and the other way round.
 */
#ifndef ZAREVO_PLUGIN_H
#define ZAREVO_PLUGIN_H

#define ZAREVO_PLUGIN_API_VERSION 3

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
 * [window] once, right after the library is loaded; only the window calls it.
 * parent: the program's main window, a QWidget* passed as void*; valid until
 *         End_Dialog returns.
 * Creates the plug-in's parameter panel (a QWidget without caption, hidden,
 * about 357 x 146 dialog units) as a child of parent and returns it as a
 * QWidget* in a void*. The program places, shows and hides it over its tab
 * page; the plug-in keeps ownership and destroys it in End_Dialog.
 * Returning NULL is allowed: the plug-in still gets a tab (an empty one).
 * A library that does not export Start_Dialog is not loaded. One whose
 * Start_Dialog throws gets no tab and no place in the chain, and stays loaded
 * (unused) until the program ends, as it may have left widgets behind.
 */
typedef void* (*ZarevoStartDialogFn)(void* parent);
ZAREVO_PLUGIN_EXPORT void* Start_Dialog(void* parent);

/*
 * [window] once, when the main window closes, after any running job has been
 * stopped and before the library is unloaded; only the window calls it.
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
 * [worker] once per block of every job, between Constructer and Destructer:
 * the blocks of the source's data, then the flush blocks of silence.
 * sampleRate: the job's output rate in Hz (> 0); every buffer runs at it.
 * count:      samples per channel in `in` (>= 0). The first plug-in of the
 *             chain receives the same count for every block of a job,
 *             flush blocks included: floor(F x output rate / source rate),
 *             where F is 65536 source frames, or fewer for a source rate so
 *             far below the output rate that a block would exceed 1048576
 *             samples (F is then the most that stays within it).
 *             Later plug-ins receive what the one before returned.
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
 * frame has arrived. There is no error result; a result beyond *capacity is
 * taken as *capacity. After the source's data the engine feeds blocks of
 * silence (the flush, see the life above), so what is held back comes out;
 * what is still held back when the job ends is dropped.
 * Once EffectStop has been called, cut the remaining work of the call short.
 */
typedef int (*ZarevoEffectEntFn)(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out,
                                 const int* capacity, ZarevoResizeOutputFn resize);
ZAREVO_PLUGIN_EXPORT int EffectEnt(int sampleRate, int count, const ChannelBuffers* in, ChannelBuffers* out,
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

/* ---- Version 3: the optional tail ---- */

/*
 * [worker] once per job, after the EffectEnt call of the last data block and
 * before the first flush block; not called when the job was stopped first.
 * sampleRate: the job's output rate in Hz, as given to EffectEnt.
 * Returns how many frames (samples per channel, at sampleRate, counted in
 * this plug-in's output) of sound it may still produce after its input has
 * ended, with its current parameters: a reverb's ring, an echo's repeats.
 * Return 0 when the sound ends with the input; a negative result counts as 0.
 * The engine keeps the output up to the source's own length and then up to
 * this many frames more, ending at the last frame that is not silent; sound
 * the plug-in makes beyond it (a smear of its frames into the silence) is
 * dropped. Optional: a library without it has no tail.
 */
typedef int (*ZarevoEffectTailFn)(int sampleRate);
ZAREVO_PLUGIN_EXPORT int EffectTail(int sampleRate);

/* ---- Version 3: the optional speed ---- */

/*
 * [worker] at the start of every run of the chain, after Constructer and
 * before the run's first EffectEnt. A play starts a new run (Destructer,
 * Constructer) wherever it moves: a seek, a loop's jump back, a changed
 * parameter.
 * sampleRate: the job's output rate in Hz, as given to EffectEnt.
 * Returns how many samples this plug-in gives back per sample it takes, with
 * its current parameters, once it runs: 1.0 when it keeps the length, 0.5
 * when it plays twice as fast. Samples held back until a whole frame has
 * arrived do not count. The engine uses it to tell which source frame an
 * output frame stands for: where a run that starts inside the data begins
 * to sound, where a loop's end lies in the output, and the position being
 * heard. A result that is not a number above 0 counts as 1.0. Optional: a
 * library without it is taken to keep the length.
 */
typedef double (*ZarevoEffectSpeedFn)(int sampleRate);
ZAREVO_PLUGIN_EXPORT double EffectSpeed(int sampleRate);

/* ---- Version 2 and 3: the optional parameter description ---- */

/* Kinds of a described parameter's value. Every value crosses as a double. */
#define ZAREVO_PARAMETER_REAL 0    /* any number in [minimum, maximum] */
#define ZAREVO_PARAMETER_INTEGER 1 /* a whole number in [minimum, maximum] */
#define ZAREVO_PARAMETER_SWITCH 2  /* 0 (off) or 1 (on); minimum 0, maximum 1 */

/*
 * One parameter of a plug-in.
 * name:         ASCII letters, digits and '_', unique within the plug-in;
 *               tools address it as "<caption>.<name>" (original.PitchOctaves).
 * description:  one line of UTF-8 text without tabs, for listings; may be NULL.
 * kind:         one of ZAREVO_PARAMETER_*.
 * minimum, maximum, defaultValue: the accepted range and the value at load;
 *               minimum <= defaultValue <= maximum. Integers must fit in 32 bits.
 * get:          [window] returns the current value.
 * set:          [window] stores a value of this kind within the range (the host
 *               checks both before the call); it takes effect whenever
 *               EffectEnt next reads the parameter, as a change in the panel
 *               does. A panel that is shown is not refreshed by it.
 *               Neither get nor set may throw.
 */
typedef double (*ZarevoParameterGetFn)(void);
typedef void (*ZarevoParameterSetFn)(double value);
typedef struct ZarevoParameter {
    const char* name;
    const char* description;
    int kind;
    double minimum;
    double maximum;
    double defaultValue;
    ZarevoParameterGetFn get;
    ZarevoParameterSetFn set;
} ZarevoParameter;

/*
 * One preset: a value for every parameter, stored one after another with the
 * parameters' set functions, as the panel's preset buttons store them.
 * name:         ASCII, lower-case words joined by '-' (for example "bass-boost").
 * description:  one line of UTF-8 text without tabs; may be NULL.
 * values:       parameterCount values, in the order of the parameters array.
 */
typedef struct ZarevoPreset {
    const char* name;
    const char* description;
    const double* values;
} ZarevoPreset;

/*
 * What Describe_Parameters returns.
 * version:       ZAREVO_PLUGIN_API_VERSION as the plug-in was built (>= 2).
 * parameters:    parameterCount entries of parameterSize bytes each
 *                (0 <= parameterCount <= 10000).
 * presets:       presetCount entries of presetSize bytes each
 *                (0 <= presetCount <= 10000; NULL when 0).
 * Since version 3:
 * parameterSize: sizeof(ZarevoParameter) as the plug-in was built.
 * presetSize:    sizeof(ZarevoPreset) as the plug-in was built.
 * A version-2 description ends before parameterSize; its structs have the
 * version-3 layout. A later version may append fields to any of the three
 * structs (see the top of this header): a host reads entry i of `parameters`
 * at (const char*)parameters + i * parameterSize, and reads only the fields
 * it knows. It refuses a size below the version-3 struct's, one that breaks
 * the struct's alignment, or one above 4096 bytes.
 */
typedef struct ZarevoParameterDescription {
    int version;
    int parameterCount;
    const ZarevoParameter* parameters;
    int presetCount;
    const ZarevoPreset* presets;
    int parameterSize;
    int presetSize;
} ZarevoParameterDescription;

/*
 * [window] at any time after the library is loaded, also while a job runs,
 * and any number of times; the program asks once, right after loading.
 * Optional: a library without it loads and runs as before, only its
 * parameters cannot be set from outside its panel.
 * Returns the plug-in's description, or NULL for none. The description and
 * everything it points to (names, texts, value arrays) must stay valid and
 * unchanged until the library is unloaded: static constant data is best.
 * A description the program cannot use (a layout it cannot read, a NULL
 * name, a repeated name, a default outside its range, a missing get or set)
 * is ignored as a whole, with a line on stderr; the plug-in still loads.
 */
typedef const ZarevoParameterDescription* (*ZarevoDescribeParametersFn)(void);
ZAREVO_PLUGIN_EXPORT const ZarevoParameterDescription* Describe_Parameters(void);

#ifdef __cplusplus
}
#endif

#endif /* ZAREVO_PLUGIN_H */
