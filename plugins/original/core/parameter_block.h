// The standard plug-in's parameter block: the values that steer the effect.
// The panel writes them on the window thread; the effect core reads them on
// the worker, so each is an atomic read and written with relaxed order (only
// the latest value matters). They are exported with C linkage under these
// names so that tests and headless tools can drive the built library.
#pragma once

#include <atomic>
#include <cstdint>

#include "zarevo_plugin.h"

/// The memory order of every access to the block: only the latest value matters.
inline constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

extern "C" {
/// Pitch shift in octaves: the pitch is multiplied by 2^PitchOctaves.
ZAREVO_PLUGIN_EXPORT extern std::atomic<double> PitchOctaves;
/// Base-2 logarithm of the speed factor (0 means x1, 1 means x2).
ZAREVO_PLUGIN_EXPORT extern std::atomic<double> SpeedExponent;
/// Strength of the little reverb; the effect applies it only above 0.005.
ZAREVO_PLUGIN_EXPORT extern std::atomic<double> ReverbAmount;
/// Share of the processed signal in the output (1.0 and above: all processed).
ZAREVO_PLUGIN_EXPORT extern std::atomic<double> ApplyRatio;
/// Octave bands that make up the processed signal; bit 0 is the band at 86 Hz.
ZAREVO_PLUGIN_EXPORT extern std::atomic<std::int32_t> BandMask;
/// 1: process the left input only and send the result to both outputs.
ZAREVO_PLUGIN_EXPORT extern std::atomic<std::int32_t> ProcessMono;
/// 1: process the left channel; 0 lets it pass unprocessed.
ZAREVO_PLUGIN_EXPORT extern std::atomic<std::int32_t> ProcessLeft;
/// 1: process the right channel; 0 lets it pass unprocessed.
ZAREVO_PLUGIN_EXPORT extern std::atomic<std::int32_t> ProcessRight;
}

/// The eight values of the block together: its initial values and the presets.
struct ParameterValues {
    double pitchOctaves;
    double speedExponent;
    double reverbAmount;
    double applyRatio;
    std::int32_t bandMask;
    std::int32_t processMono;
    std::int32_t processLeft;
    std::int32_t processRight;
};

/// The values present when the library is loaded; the "reset" preset
/// restores exactly these.
inline constexpr ParameterValues kInitialParameters{0.0, 0.0, 0.0, 1.0, -1, 0, 1, 1};

/// Writes the eight values into the block, one after another, so a block in
/// progress may see some of them changed and others not.
void StoreParameterValues(const ParameterValues& values);

/// Writes the initial values.
void ResetParameterBlock();
