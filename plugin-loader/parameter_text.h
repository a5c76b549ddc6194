// Plug-in parameters as text: finding a described parameter or preset by
// name, reading a typed value and writing one back. Used by tools that set
// plug-ins up without their panels (zarevo-render).
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "zarevo_plugin.h"

/// The parameter called `name`, or null. `description` may be null.
const ZarevoParameter* FindParameter(const ZarevoParameterDescription* description, std::string_view name);
/// The preset called `name`, or null. `description` may be null.
const ZarevoPreset* FindPreset(const ZarevoParameterDescription* description, std::string_view name);

/// Reads `text` as a value of `parameter`: a decimal number (integers also
/// as 0x hexadecimal), whole for integers and switches, within the range.
/// On failure the result is empty and `error` says what is valid.
std::optional<double> ParseParameterValue(const ZarevoParameter& parameter, std::string_view text, std::string& error);

/// `value` as text that ParseParameterValue reads back exactly: whole
/// numbers for integers and switches, the shortest exact decimal for reals.
std::string FormatParameterValue(const ZarevoParameter& parameter, double value);

/// Text from a plug-in made fit for one line of a listing: tabs and other
/// control characters become spaces; null gives "".
std::string OneLine(const char* text);
