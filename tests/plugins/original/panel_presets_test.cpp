// Tests of the five preset buttons: each writes all eight values of the
// parameter block, whatever the block held before.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "parameter_block.h"
#include "parameter_panel.h"

namespace {

struct ExpectedPreset {
    int buttonId;
    const char* label;
    double pitch, speed, reverb, apply;
    std::int32_t mask, mono, left, right;
};

const ExpectedPreset kExpected[] = {
    {1006, "C+F 和音", 0.4166666, 0.0, 0.0, 0.6, -1, 0, 1, 1}, {1022, "速聴き", 0.0, 1.0, 0.0, 1.0, -1, 1, 1, 1},
    {1000, "電話の音", 0.0, 0.0, 0.0, 1.0, 0x38, 0, 1, 1},     {1005, "重低音強調", 0.0, 0.0, 0.0, 0.8, 0x3, 0, 1, 1},
    {1001, "リセット", 0.0, 0.0, 0.0, 1.0, -1, 0, 1, 1},
};

/// Values no preset uses, so a value a preset forgot to write shows.
void FillBlockWithStrangeValues() {
    PitchOctaves = 7.5;
    SpeedExponent = -3.25;
    ReverbAmount = 9.0;
    ApplyRatio = 0.125;
    BandMask = 0x40;
    ProcessMono = 7;
    ProcessLeft = 7;
    ProcessRight = 7;
}

}  // namespace

TEST(ParameterPresets, EachButtonWritesItsEightValues) {
    QWidget parent;
    auto* panel = static_cast<QWidget*>(CreateParameterPanel(&parent));
    ASSERT_NE(panel, nullptr);
    for (const ExpectedPreset& preset : kExpected) {
        SCOPED_TRACE(preset.label);
        auto* button = panel->findChild<QPushButton*>(QStringLiteral("control%1").arg(preset.buttonId));
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->text(), QString::fromUtf8(preset.label));
        FillBlockWithStrangeValues();
        button->click();
        EXPECT_EQ(PitchOctaves.load(), preset.pitch);
        EXPECT_EQ(SpeedExponent.load(), preset.speed);
        EXPECT_EQ(ReverbAmount.load(), preset.reverb);
        EXPECT_EQ(ApplyRatio.load(), preset.apply);
        EXPECT_EQ(BandMask.load(), preset.mask);
        EXPECT_EQ(ProcessMono.load(), preset.mono);
        EXPECT_EQ(ProcessLeft.load(), preset.left);
        EXPECT_EQ(ProcessRight.load(), preset.right);
    }
    DestroyParameterPanel();
}

TEST(ParameterPresets, ResetRestoresExactlyTheInitialBlock) {
    QWidget parent;
    auto* panel = static_cast<QWidget*>(CreateParameterPanel(&parent));
    ASSERT_NE(panel, nullptr);
    FillBlockWithStrangeValues();
    panel->findChild<QPushButton*>(QStringLiteral("control1001"))->click();
    const double afterButton[] = {PitchOctaves, SpeedExponent, ReverbAmount, ApplyRatio};
    const std::int32_t flagsAfterButton[] = {BandMask, ProcessMono, ProcessLeft, ProcessRight};
    FillBlockWithStrangeValues();
    ResetParameterBlock();
    const double initial[] = {PitchOctaves, SpeedExponent, ReverbAmount, ApplyRatio};
    const std::int32_t initialFlags[] = {BandMask, ProcessMono, ProcessLeft, ProcessRight};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(afterButton[i], initial[i]) << i;
        EXPECT_EQ(flagsAfterButton[i], initialFlags[i]) << i;
    }
    DestroyParameterPanel();
}
