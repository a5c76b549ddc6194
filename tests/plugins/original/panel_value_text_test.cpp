// Tests of the panel's value/text conversions: typed numbers read like the C
// library reads them, slider positions truncate and clamp, texts are printf's.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "value_text.h"

using namespace parampanel;

namespace {

std::string PrintfFixed(double value, int decimals) {
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

}  // namespace

TEST(DecimalValueOf, ReadsLeadingDecimalNumberAsStrtodDoes) {
    std::setlocale(LC_NUMERIC, "C");
    const char* texts[] = {"1.5", "  1.5", "\t-2.25abc", "+3",     ".5",  "5.",        "-.5", "1e3",  "1E-2x",
                           "1e",  "1e+",   "2.5e-",      "12.5.3", "1,5", "-0",        "007", "",     "abc",
                           "   ", "-",     ".",          "+.e1",   "1 2", "0.4166666", "150", "-1e2", "3.e1"};
    for (const char* text : texts) {
        EXPECT_EQ(DecimalValueOf(text), std::strtod(text, nullptr)) << "text: \"" << text << "\"";
    }
}

TEST(DecimalValueOf, NonDecimalFormsAndOverflowReadAsZero) {
    // strtod would give infinity, NaN or 16 here; none may reach the block.
    EXPECT_EQ(DecimalValueOf("inf"), 0.0);
    EXPECT_EQ(DecimalValueOf("-infinity"), 0.0);
    EXPECT_EQ(DecimalValueOf("nan"), 0.0);
    EXPECT_EQ(DecimalValueOf("0x10"), 0.0);
    EXPECT_EQ(DecimalValueOf("1e999"), 0.0);
    EXPECT_EQ(DecimalValueOf("-1e999"), 0.0);
    EXPECT_TRUE(std::isfinite(DecimalValueOf("9" + std::string(400, '9'))));
    EXPECT_EQ(DecimalValueOf("1e308"), 1e308);
}

TEST(SliderPositionFor, TruncatesThousandthsTowardZero) {
    EXPECT_EQ(SliderPositionFor(0.4166666, -1000, 1000), 416);
    EXPECT_EQ(SliderPositionFor(-0.4166666, -1000, 1000), -416);
    EXPECT_EQ(SliderPositionFor(0.6, 0, 1000), 600);
    EXPECT_EQ(SliderPositionFor(0.0009, -1000, 1000), 0);
    EXPECT_EQ(SliderPositionFor(std::log(1.5) / std::log(2.0), -1000, 1000), 584);
}

TEST(SliderPositionFor, PutsOutOfRangeValuesAtTheNearerEnd) {
    EXPECT_EQ(SliderPositionFor(1.5, 0, 1000), 1000);
    EXPECT_EQ(SliderPositionFor(-0.5, 0, 1000), 0);
    // Beyond the range of int: no conversion may wrap to the wrong end.
    EXPECT_EQ(SliderPositionFor(1e7, -1000, 1000), 1000);
    EXPECT_EQ(SliderPositionFor(3e9, -1000, 1000), 1000);
    EXPECT_EQ(SliderPositionFor(-1e300, -1000, 1000), -1000);
    EXPECT_EQ(SliderPositionFor(std::nan(""), -1000, 1000), -1000);
}

TEST(FixedText, MatchesPrintfInTheCLocale) {
    std::setlocale(LC_NUMERIC, "C");
    const double values[] = {0.0, 1.0, 0.4166666, 0.0005, 0.0015, -0.0001, 2.0, 0.5, 150.0, 1e300, -7.25};
    for (double value : values) {
        EXPECT_EQ(FixedText(value, 3), PrintfFixed(value, 3)) << value;
        EXPECT_EQ(FixedText(value * 100, 1), PrintfFixed(value * 100, 1)) << value;
    }
}

TEST(SpeedConversion, FactorFloorAndLogarithm) {
    EXPECT_DOUBLE_EQ(SpeedExponentOfFactor(2.0), 1.0);
    EXPECT_DOUBLE_EQ(SpeedExponentOfFactor(0.5), -1.0);
    EXPECT_NEAR(SpeedExponentOfFactor(0.0), -6.643856, 1e-6);
    EXPECT_DOUBLE_EQ(SpeedExponentOfFactor(-3.0), SpeedExponentOfFactor(0.01));
    EXPECT_DOUBLE_EQ(SpeedExponentOfFactor(0.005), SpeedExponentOfFactor(0.01));
    EXPECT_LT(SpeedExponentOfFactor(0.02), -5.6);
    EXPECT_DOUBLE_EQ(SpeedFactorOfExponent(-1.0), 0.5);
    EXPECT_DOUBLE_EQ(SpeedFactorOfExponent(1.0), 2.0);
    EXPECT_NEAR(SpeedFactorOfExponent(SpeedExponentOfFactor(1.5)), 1.5, 1e-12);
}

TEST(PercentConversion, RatioTimesHundredAndBack) {
    EXPECT_DOUBLE_EQ(PercentOfRatio(0.6), 60.0);
    EXPECT_DOUBLE_EQ(RatioOfPercent(150.0), 1.5);
    EXPECT_DOUBLE_EQ(RatioOfPercent(-20.0), -0.2);
}

TEST(SemitoneText, NearestSemitoneAndCentsEitherSide) {
    EXPECT_EQ(SemitoneText(0.0), "0 半音 0 セント");
    EXPECT_EQ(SemitoneText(0.13), "+2 半音 -44 セント");    // 156 cents
    EXPECT_EQ(SemitoneText(-0.123), "-1 半音 -48 セント");  // -147.6 cents
    EXPECT_EQ(SemitoneText(-1.0), "-12 半音 0 セント");
}
