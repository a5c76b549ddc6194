// Binding the processing entry points of each plug-in module by name (the
// four every plug-in has, and the optional tail and speed). Done afresh for every job,
// on the window thread, before the worker is asked to open the source.
#pragma once

#include <span>
#include <vector>

#include "zarevo_plugin.h"

/// The processing entry points of the loaded modules, one entry per module in
/// chain order. Every entry is non-null, except in `tail` and `speed`, where
/// null stands for a plug-in without a tail or one that keeps the length.
struct PluginEntryLists {
    std::vector<ZarevoEffectStopFn> stop;
    std::vector<ZarevoConstructerFn> constructer;
    std::vector<ZarevoDestructerFn> destructer;
    std::vector<ZarevoEffectEntFn> process;
    std::vector<ZarevoEffectTailFn> tail;
    std::vector<ZarevoEffectSpeedFn> speed;
};

/// Looks up "EffectStop", "Constructer", "Destructer", "EffectEnt" and the
/// optional "EffectTail" and "EffectSpeed" in each module (dlopen handles, in chain order) and
/// fills `lists` afresh. When a module lacks any of the first four, the lists
/// are left empty and the result is false: a job is never run with a missing
/// step.
bool BindPluginEntries(std::span<void* const> modules, PluginEntryLists& lists);
