// The engine's single output pair, into which every plug-in writes its
// result, and the resize callback handed to each EffectEnt call. Module-wide
// because the callback carries no context: there is one engine per process.
// Touched only on the worker thread (or a test's own thread).
#pragma once

#include "zarevo_plugin.h"

/// Where every plug-in writes its result; element 0 left, element 1 right.
/// Both arrays hold OutputCapacity samples (null and 0 before the first job).
extern ChannelBuffers OutputBuffers;
/// Samples held by each array of OutputBuffers.
extern int OutputCapacity;

/// Most samples per channel ResizeOutput grants: 16 times the largest block
/// the engine makes (256 MiB for the pair). A plug-in asking for more is
/// foreign code gone wrong; filling such arrays would exhaust the machine.
inline constexpr int MaxOutputCapacity = 1 << 24;

/// Reallocates both arrays of OutputBuffers to exactly `n` samples, keeping
/// the first min(old, n) samples of each, and sets OutputCapacity to n. When
/// memory cannot be had, or n is below 0 or above MaxOutputCapacity, both
/// stay as they were (the refusal is logged). Never throws: it is called from
/// inside plug-ins.
extern "C" void ResizeOutput(int n);

/// Frees both arrays; OutputBuffers becomes null and OutputCapacity 0.
void ReleaseOutputBuffers();
