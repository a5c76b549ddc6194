// Value <-> control conversions of the parameter panel. Parsing and
// formatting go through std::from_chars / std::to_chars, which ignore the
// process locale (Qt sets it from the environment on Linux).
#include "value_text.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace parampanel {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

/// Length of the run of digits starting at `from`.
std::size_t DigitsAt(std::string_view text, std::size_t from) {
    std::size_t end = from;
    while (end < text.size() && IsDigit(text[end])) ++end;
    return end - from;
}

}  // namespace

double DecimalValueOf(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;

    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t numberStart = pos;
    const std::size_t integerDigits = DigitsAt(text, pos);
    pos += integerDigits;
    std::size_t fractionDigits = 0;
    if (pos < text.size() && text[pos] == '.') {
        fractionDigits = DigitsAt(text, pos + 1);
        if (integerDigits + fractionDigits > 0) pos += 1 + fractionDigits;
    }
    if (integerDigits + fractionDigits == 0) return 0.0;

    // An exponent counts only when at least one digit follows "e", "e+" or "e-".
    if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
        std::size_t exponentPos = pos + 1;
        if (exponentPos < text.size() && (text[exponentPos] == '+' || text[exponentPos] == '-')) ++exponentPos;
        const std::size_t exponentDigits = DigitsAt(text, exponentPos);
        if (exponentDigits > 0) pos = exponentPos + exponentDigits;
    }

    double magnitude = 0.0;
    const char* first = text.data() + numberStart;
    const char* last = text.data() + pos;
    const auto [end, error] = std::from_chars(first, last, magnitude, std::chars_format::general);
    // Rationale: a number too large for a double would become infinity, and a
    // tiny one 0; both read as 0 so that no non-finite value enters the block.
    if (error != std::errc() || end != last || !std::isfinite(magnitude)) return 0.0;
    return negative ? -magnitude : magnitude;
}

int SliderPositionFor(double value, int minimum, int maximum) {
    const double thousandths = std::trunc(value * 1000.0);
    // Clamp before converting: a double beyond the range of int has no int value.
    if (!(thousandths > minimum)) return minimum;
    if (thousandths >= maximum) return maximum;
    return static_cast<int>(thousandths);
}

double ValueOfSliderPosition(int position) { return position * 0.001; }

std::string FixedText(double value, int decimals) {
    // Large enough for the 309 integer digits of the largest double.
    std::array<char, 400> buffer{};
    const auto [end, error] =
        std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed, decimals);
    if (error != std::errc()) return {};
    return std::string(buffer.data(), end);
}

double SpeedFactorOfExponent(double exponent) { return std::exp2(exponent); }

double SpeedExponentOfFactor(double factor) {
    constexpr double kSlowestFactor = 0.01;
    return std::log(std::max(factor, kSlowestFactor)) / std::log(2.0);
}

double PercentOfRatio(double ratio) { return ratio * 100.0; }
double RatioOfPercent(double percent) { return percent * 0.01; }

std::string SemitoneText(double octaves) {
    // Rationale: a pitch is read against the nearest semitone, so the cents
    // stay within half a semitone either way rather than always counting up.
    const long cents = std::lround(std::clamp(octaves, -100.0, 100.0) * 1200.0);
    const long semitones = (cents >= 0 ? cents + 50 : cents - 50) / 100;
    const long rest = cents - semitones * 100;
    const auto signedText = [](long value) { return (value > 0 ? "+" : "") + std::to_string(value); };
    return signedText(semitones) + " 半音 " + signedText(rest) + " セント";
}

}  // namespace parampanel
