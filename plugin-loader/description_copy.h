// A plug-in's parameter description read by the layout the plug-in was built
// with. Descriptions grow by appending fields to their structs, so the arrays
// are walked by the struct sizes the plug-in states, and only the fields this
// program knows are copied into structs of its own layout.
#pragma once

#include <string>
#include <vector>

#include "zarevo_plugin.h"

/// A plug-in's description in this program's own layout. Its names, texts,
/// preset values and functions still point into the plug-in, so the copy is
/// valid only while the library stays loaded.
class DescriptionCopy {
public:
    DescriptionCopy() = default;
    DescriptionCopy(const DescriptionCopy&) = delete;
    DescriptionCopy& operator=(const DescriptionCopy&) = delete;

    /// Copies `description` (version 2 or later): its counts, then each
    /// parameter and preset, read at the plug-in's struct sizes. Empty on
    /// success; otherwise why the layout cannot be read (a version below 2,
    /// a count out of range, a missing table, a struct size below this
    /// program's struct, misaligned or above 4096 bytes), and the copy
    /// holds nothing. The values themselves are not checked here.
    std::string ReadFrom(const ZarevoParameterDescription& description);

    /// The copy, with this program's struct sizes; parameters and presets
    /// point into it.
    const ZarevoParameterDescription& Description() const { return description_; }

private:
    ZarevoParameterDescription description_{};
    std::vector<ZarevoParameter> parameters_;
    std::vector<ZarevoPreset> presets_;
};
