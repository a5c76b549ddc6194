// The standard plug-in's five presets: an ASCII name for tools and scripts,
// and the eight values each one stores. The panel's buttons and the parameter
// description both read this one table.
#pragma once

#include <cstdint>
#include <string_view>

#include "parameter_block.h"

struct NamedPreset {
    const char* name;         ///< ASCII, for the command line and the description
    const char* description;  ///< one line of English for listings
    ParameterValues values;
};

inline constexpr std::int32_t kAllBands = -1;
inline constexpr std::int32_t kTelephoneBands = 0x38;  // 689, 1378 and 2756 Hz
inline constexpr std::int32_t kBassBands = 0x3;        // 86 and 172 Hz

/// The five presets, in the order of the panel's buttons from top to bottom.
inline constexpr NamedPreset kStandardPresets[] = {
    // Rationale: 0.4166666 octave, five semitones (C up to F), stored as this
    // decimal rather than 5/12; mixed 60 % shifted with 40 % unshifted.
    {"chord-cf",
     "C+F chord: up five semitones, mixed 60 % with the dry sound",
     {0.4166666, 0.0, 0.0, 0.6, kAllBands, 0, 1, 1}},
    {"fast-listen",
     "fast listening: twice the speed at the same pitch, left channel to both",
     {0.0, 1.0, 0.0, 1.0, kAllBands, 1, 1, 1}},
    {"telephone",
     "telephone sound: only the bands at 689, 1378 and 2756 Hz",
     {0.0, 0.0, 0.0, 1.0, kTelephoneBands, 0, 1, 1}},
    {"bass-boost",
     "heavy bass: the bands at 86 and 172 Hz, mixed 80 % with the dry sound",
     {0.0, 0.0, 0.0, 0.8, kBassBands, 0, 1, 1}},
    {"reset", "every value back to its initial value", kInitialParameters},
};

/// The preset called `name`, or null.
const NamedPreset* FindStandardPreset(std::string_view name);
