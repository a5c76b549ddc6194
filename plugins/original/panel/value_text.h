// Conversions between the parameter values and what the panel's controls
// show: slider positions (thousandths) and the decimal texts of the edits.
// Plain C++ without Qt, and independent of the process locale: the panel
// always shows and reads a '.' as the decimal point.
#pragma once

#include <string>
#include <string_view>

namespace parampanel {

/// The decimal value at the start of `text`, read the way strtod reads a
/// leading decimal number: leading blanks skipped, the longest valid prefix
/// taken, 0 when there is none. Only decimal notation counts ("inf", "nan"
/// and hexadecimal forms read as 0), and so does a number beyond the range
/// of a double, so the result is always finite.
double DecimalValueOf(std::string_view text);

/// The slider position for `value`: value x 1000 truncated toward zero, put
/// at the nearer end of [minimum, maximum] when it lies outside.
int SliderPositionFor(double value, int minimum, int maximum);

/// The parameter value of a slider position: position x 0.001.
double ValueOfSliderPosition(int position);

/// `value` in fixed notation with `decimals` digits after the point, like
/// printf's "%.3f" in the C locale.
std::string FixedText(double value, int decimals);

/// The speed factor shown for a speed exponent: 2 to the power `exponent`.
double SpeedFactorOfExponent(double exponent);

/// The speed exponent for a typed factor: log2 of the factor, a factor below
/// 0.01 (zero, negative or no number at all) being taken as 0.01.
double SpeedExponentOfFactor(double factor);

/// The pitch `octaves` as musicians count it: the nearest whole semitone and
/// the cents from it (-50 to +50), as "+5 半音 0 セント" or "-1 半音 -48 セント".
std::string SemitoneText(double octaves);

/// Percent shown for a degree of application (ratio x 100), and back.
double PercentOfRatio(double ratio);
double RatioOfPercent(double percent);

}  // namespace parampanel
