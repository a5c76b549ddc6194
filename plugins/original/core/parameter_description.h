// The standard plug-in's parameter description: its eight parameters under
// their block names and its five presets, for hosts without a panel.
#pragma once

#include "zarevo_plugin.h"

/// The description that Describe_Parameters returns: static data, valid for
/// as long as the library is loaded.
const ZarevoParameterDescription* DescribeParameterBlock() noexcept;
