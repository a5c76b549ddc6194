// Parameter values as text: what is read for each kind and range, what is
// refused (with the valid values named), and that formatted values read back
// exactly.
#include <gtest/gtest.h>

#include <cstdint>

#include "parameter_text.h"

namespace {

double Zero() { return 0.0; }
void Ignore(double) {}

const ZarevoParameter kReal{"PitchOctaves", "", ZAREVO_PARAMETER_REAL, -1.0, 1.0, 0.0, Zero, Ignore};
const ZarevoParameter kInteger{"BandMask", "", ZAREVO_PARAMETER_INTEGER, INT32_MIN, INT32_MAX, -1, Zero, Ignore};
const ZarevoParameter kSwitch{"ProcessMono", "", ZAREVO_PARAMETER_SWITCH, 0, 1, 0, Zero, Ignore};

std::optional<double> Read(const ZarevoParameter& parameter, const char* text) {
    std::string error;
    const std::optional<double> value = ParseParameterValue(parameter, text, error);
    EXPECT_EQ(value.has_value(), error.empty()) << text;
    return value;
}

std::string ErrorFor(const ZarevoParameter& parameter, const char* text) {
    std::string error;
    EXPECT_FALSE(ParseParameterValue(parameter, text, error).has_value()) << text;
    return error;
}

}  // namespace

TEST(ParameterText, ReadsNumbersOfTheParametersKindWithinItsRange) {
    EXPECT_EQ(Read(kReal, "0.4166666"), 0.4166666);
    EXPECT_EQ(Read(kReal, "+0.5"), 0.5);
    EXPECT_EQ(Read(kReal, "-1"), -1.0);
    EXPECT_EQ(Read(kReal, "1e-3"), 0.001);
    EXPECT_EQ(Read(kInteger, "0x38"), 56.0);
    EXPECT_EQ(Read(kInteger, "-1"), -1.0);
    EXPECT_EQ(Read(kInteger, "-2147483648"), -2147483648.0);
    EXPECT_EQ(Read(kInteger, "2147483647"), 2147483647.0);
    EXPECT_EQ(Read(kSwitch, "1"), 1.0);
    EXPECT_EQ(Read(kSwitch, "0"), 0.0);
}

TEST(ParameterText, RefusesOtherTextsNamingWhatIsValid) {
    for (const char* text : {"1.0001", "-2", "", "abc", "0.5x", " 0.5", "nan", "inf", "0x10"}) {
        EXPECT_EQ(ErrorFor(kReal, text),
                  "'" + std::string(text) + "' is not valid for PitchOctaves: give a number from -1 to 1");
    }
    for (const char* text : {"2147483648", "1.5", "0x", "12abc", "99999999999999999999"}) {
        EXPECT_NE(ErrorFor(kInteger, text).find("a whole number from -2147483648 to 2147483647"), std::string::npos)
            << text;
    }
    for (const char* text : {"2", "0.5", "yes", "-1"}) {
        EXPECT_NE(ErrorFor(kSwitch, text).find("give 0 or 1"), std::string::npos) << text;
    }
}

TEST(ParameterText, FormattedValuesReadBackExactly) {
    for (double value : {0.4166666, -1.0, 0.1, 1.0 / 3.0, 5e-324, 0.0}) {
        const std::string text = FormatParameterValue(kReal, value);
        EXPECT_EQ(Read(kReal, text.c_str()), value) << text;
    }
    EXPECT_EQ(FormatParameterValue(kReal, 1.0), "1");
    EXPECT_EQ(FormatParameterValue(kInteger, -2147483648.0), "-2147483648");
    EXPECT_EQ(FormatParameterValue(kInteger, 56.0), "56");
    EXPECT_EQ(FormatParameterValue(kSwitch, 1.0), "1");
    EXPECT_EQ(OneLine("two\tcolumns\nand lines"), "two columns and lines");
    EXPECT_EQ(OneLine(nullptr), "");
}
