// Reading and writing parameter values as text.
#include "parameter_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace {

bool IsIntegerKind(const ZarevoParameter& parameter) { return parameter.kind != ZAREVO_PARAMETER_REAL; }

std::string RangeText(const ZarevoParameter& parameter) {
    if (parameter.kind == ZAREVO_PARAMETER_SWITCH) return "0 or 1";
    return "a " + std::string(IsIntegerKind(parameter) ? "whole number" : "number") + " from " +
           FormatParameterValue(parameter, parameter.minimum) + " to " +
           FormatParameterValue(parameter, parameter.maximum);
}

/// The number `text` holds as a whole, or empty.
std::optional<double> ReadNumber(std::string_view text, bool integer) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (integer) {
        bool negative = false;
        if (first != last && *first == '-') {
            negative = true;
            ++first;
        }
        int base = 10;
        if (last - first > 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X')) {
            base = 16;
            first += 2;
        }
        std::uint64_t magnitude = 0;
        const auto [end, error] = std::from_chars(first, last, magnitude, base);
        if (error != std::errc() || end != last || first == last || magnitude > (std::uint64_t{1} << 53)) {
            return std::nullopt;
        }
        const double value = static_cast<double>(magnitude);
        return negative ? -value : value;
    }
    double value = 0.0;
    const auto [end, error] = std::from_chars(first, last, value);
    if (error != std::errc() || end != last || first == last || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

const ZarevoParameter* FindParameter(const ZarevoParameterDescription* description, std::string_view name) {
    if (description == nullptr) return nullptr;
    for (int i = 0; i < description->parameterCount; ++i) {
        if (name == description->parameters[i].name) return &description->parameters[i];
    }
    return nullptr;
}

const ZarevoPreset* FindPreset(const ZarevoParameterDescription* description, std::string_view name) {
    if (description == nullptr) return nullptr;
    for (int i = 0; i < description->presetCount; ++i) {
        if (name == description->presets[i].name) return &description->presets[i];
    }
    return nullptr;
}

std::optional<double> ParseParameterValue(const ZarevoParameter& parameter, std::string_view text, std::string& error) {
    const std::optional<double> value = ReadNumber(text, IsIntegerKind(parameter));
    if (!value || *value < parameter.minimum || *value > parameter.maximum) {
        error = "'" + std::string(text) + "' is not valid for " + parameter.name + ": give " + RangeText(parameter);
        return std::nullopt;
    }
    return value;
}

std::string FormatParameterValue(const ZarevoParameter& parameter, double value) {
    char text[64];
    const auto [end, error] = IsIntegerKind(parameter) && std::fabs(value) < 9.0e15
                                  ? std::to_chars(text, text + sizeof text, static_cast<std::int64_t>(value))
                                  : std::to_chars(text, text + sizeof text, value);
    return error == std::errc() ? std::string(text, end) : std::string();
}

std::string OneLine(const char* text) {
    std::string line = text ? text : "";
    for (char& c : line) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    }
    return line;
}
