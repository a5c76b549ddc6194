// Tests of what the two settings dialogs share: the typed custom rate, the
// records the dialogs write back, and the rate a job is then prepared with.
#include <gtest/gtest.h>

#include <QString>
#include <limits>

#include "format_groups.h"
#include "output_settings.h"

namespace {

constexpr std::int32_t kInt32Max = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kInt32Min = std::numeric_limits<std::int32_t>::min();

std::int32_t Parse(const char* utf8) { return ParseCustomRate(QString::fromUtf8(utf8)); }

}  // namespace

TEST(CustomRateText, ReadsTheLeadingDecimalNumber) {
    EXPECT_EQ(Parse("8000"), 8000);
    EXPECT_EQ(Parse("   8000"), 8000);
    EXPECT_EQ(Parse("\t\n 96000"), 96000);
    EXPECT_EQ(Parse("+44100"), 44100);
    EXPECT_EQ(Parse("-5"), -5);
    EXPECT_EQ(Parse("12kHz"), 12);
    EXPECT_EQ(Parse("8000 Hz"), 8000);
    EXPECT_EQ(Parse("007"), 7);
    EXPECT_EQ(Parse("0x10"), 0);
}

TEST(CustomRateText, TextWithoutALeadingNumberGivesZero) {
    // The last two: full-width digits and the ideographic space are not decimal text.
    for (const char* text : {"", "abc", "Hz 8000", "-", "+ 5", "--5", "８０００", "\u30008000"}) {
        EXPECT_EQ(Parse(text), 0) << "text: \"" << text << "\"";
    }
}

TEST(CustomRateText, NumbersBeyond32BitsClampInsteadOfWrapping) {
    EXPECT_EQ(Parse("2147483647"), kInt32Max);
    EXPECT_EQ(Parse("-2147483648"), kInt32Min);
    EXPECT_EQ(Parse("2147483648"), kInt32Max);
    // 2^32 + 8000 would wrap to 8000 in a 32-bit conversion.
    EXPECT_EQ(Parse("4294975296"), kInt32Max);
    EXPECT_EQ(Parse("-2147483649"), kInt32Min);
    EXPECT_EQ(Parse("99999999999999999999999999999999999999999"), kInt32Max);
    EXPECT_EQ(Parse("-99999999999999999999999999999999999999999"), kInt32Min);
    EXPECT_EQ(Parse("   +000000000000000000000000044100"), 44100);
}

TEST(FormatRecords, CopyTheFourFieldsBothWaysAndLeaveTheDeviceAlone) {
    PlaybackSettings playback;
    playback.device = 3;
    FormatFields fields;
    fields.channels = 1;
    fields.customRate = 8000;
    fields.rateChoice = RATE_CUSTOM;
    fields.bits = 8;
    CopyFormat(fields, playback);
    EXPECT_EQ(playback.channels, 1);
    EXPECT_EQ(playback.customRate, 8000);
    EXPECT_EQ(playback.rateChoice, RATE_CUSTOM);
    EXPECT_EQ(playback.bits, 8);
    EXPECT_EQ(playback.device, 3);

    SaveFormat save;
    FormatFields back;
    CopyFormat(save, back);
    EXPECT_EQ(back.channels, 2);
    EXPECT_EQ(back.customRate, 48000);
    EXPECT_EQ(back.rateChoice, RATE_22050);
    EXPECT_EQ(back.bits, 16);
}

TEST(FormatRecords, ResolveRateFollowsTheChoice) {
    EXPECT_EQ(ResolveRate(RATE_11025, 8000), 11025);
    EXPECT_EQ(ResolveRate(RATE_22050, 8000), 22050);
    EXPECT_EQ(ResolveRate(RATE_44100, 8000), 44100);
    EXPECT_EQ(ResolveRate(RATE_CUSTOM, 8000), 8000);
    EXPECT_EQ(ResolveRate(RATE_CUSTOM, -5), -5);
    EXPECT_EQ(ResolveRate(3, 8000), 0);
    EXPECT_EQ(ResolveRate(-2, 8000), 0);
}
