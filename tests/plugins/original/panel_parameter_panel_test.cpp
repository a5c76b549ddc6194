// Tests of the parameter panel under the offscreen platform: first display,
// the slider/edit mappings, the band and channel boxes, the refresh rules,
// the tab order and the panel's lifetime.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QWidget>
#include <memory>
#include <vector>

#include "dialog_table.h"
#include "parameter_block.h"
#include "parameter_panel.h"

namespace {

class ParameterPanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetParameterBlock();
        parent_ = std::make_unique<QWidget>();
        panel_ = static_cast<QWidget*>(CreateParameterPanel(parent_.get()));
        ASSERT_NE(panel_, nullptr);
    }
    void TearDown() override {
        DestroyParameterPanel();
        parent_.reset();
        ResetParameterBlock();
    }

    template <class Control>
    Control* Get(int id) const {
        auto* control = panel_->findChild<Control*>(QStringLiteral("control%1").arg(id));
        EXPECT_NE(control, nullptr) << "control " << id;
        return control;
    }
    QSlider* Slider(int id) const { return Get<QSlider>(id); }
    QLineEdit* Edit(int id) const { return Get<QLineEdit>(id); }
    QCheckBox* Box(int id) const { return Get<QCheckBox>(id); }
    QString Text(int id) const { return Edit(id)->text(); }

    /// Types `text` into an edit the way a user replaces its contents.
    void Type(int editId, const QString& text) {
        QLineEdit* edit = Edit(editId);
        edit->selectAll();
        edit->insert(text);
    }

    std::unique_ptr<QWidget> parent_;
    QWidget* panel_ = nullptr;
};

constexpr int kBandBoxes[] = {1012, 1013, 1014, 1015, 1016, 1017, 1019, 1020, 1021};

}  // namespace

TEST_F(ParameterPanelTest, FirstDisplayShowsTheInitialBlock) {
    EXPECT_FALSE(panel_->isVisibleTo(parent_.get()));
    EXPECT_EQ(panel_->parentWidget(), parent_.get());
    const dialogkit::DialogUnits units(dialogkit::DialogFont());
    EXPECT_EQ(panel_->size(), QSize(units.ToPixelsX(357), units.ToPixelsY(146)));

    EXPECT_EQ(Slider(1007)->value(), 0);
    EXPECT_EQ(Slider(1009)->value(), 0);
    EXPECT_EQ(Slider(1023)->value(), 0);
    EXPECT_EQ(Slider(1011)->value(), 1000);
    EXPECT_EQ(Text(1008), "0.000");
    EXPECT_EQ(Text(1010), "1.000");
    EXPECT_EQ(Text(1024), "0.000");
    EXPECT_EQ(Text(1018), "100.0");
    for (int box : kBandBoxes) EXPECT_TRUE(Box(box)->isChecked()) << box;
    EXPECT_FALSE(Box(1002)->isChecked());
    EXPECT_TRUE(Box(1003)->isChecked());
    EXPECT_TRUE(Box(1004)->isChecked());
    EXPECT_EQ(Box(1002)->text(), "モノラル");

    EXPECT_EQ(Slider(1007)->minimum(), -1000);
    EXPECT_EQ(Slider(1009)->minimum(), -1000);
    EXPECT_EQ(Slider(1023)->minimum(), 0);
    EXPECT_EQ(Slider(1011)->minimum(), 0);
    for (int id : {1007, 1009, 1023, 1011}) EXPECT_EQ(Slider(id)->maximum(), 1000) << id;
    // Displaying the panel writes nothing into the block.
    EXPECT_EQ(BandMask.load(), -1);
    EXPECT_EQ(ApplyRatio.load(), 1.0);
}

TEST_F(ParameterPanelTest, NewPanelShowsWhateverTheBlockHolds) {
    DestroyParameterPanel();
    PitchOctaves = 0.5;
    BandMask = 0x5;
    ProcessMono = 1;
    panel_ = static_cast<QWidget*>(CreateParameterPanel(parent_.get()));
    EXPECT_EQ(Slider(1007)->value(), 500);
    EXPECT_EQ(Text(1008), "0.500");
    EXPECT_TRUE(Box(1012)->isChecked());
    EXPECT_FALSE(Box(1013)->isChecked());
    EXPECT_TRUE(Box(1014)->isChecked());
    EXPECT_FALSE(Box(1015)->isChecked());
    EXPECT_TRUE(Box(1002)->isChecked());
    EXPECT_EQ(PitchOctaves.load(), 0.5);
}

TEST_F(ParameterPanelTest, SpeedSliderEndsShowHalfAndDoubleSpeed) {
    Slider(1009)->setValue(-1000);
    EXPECT_DOUBLE_EQ(SpeedExponent.load(), -1.0);
    EXPECT_EQ(Text(1010), "0.500");
    Slider(1009)->setValue(1000);
    EXPECT_DOUBLE_EQ(SpeedExponent.load(), 1.0);
    EXPECT_EQ(Text(1010), "2.000");
}

TEST_F(ParameterPanelTest, DraggedPitchSliderShowsItsValue) {
    Slider(1007)->setSliderDown(true);
    Slider(1007)->setSliderPosition(417);
    EXPECT_DOUBLE_EQ(PitchOctaves.load(), 0.417);
    EXPECT_EQ(Text(1008), "0.417");
    EXPECT_EQ(Slider(1007)->value(), 417);
    EXPECT_EQ(Get<QLabel>(1025)->text(), QString::fromUtf8("+5 半音 0 セント")) << "500.4 cents";
    Slider(1007)->setSliderDown(false);
}

TEST_F(ParameterPanelTest, TypedSpeedFactorMovesSliderAndKeepsTypedText) {
    Type(1010, "1.50");
    EXPECT_NEAR(SpeedExponent.load(), 0.5849625, 1e-6);
    EXPECT_EQ(Slider(1009)->value(), 584);
    EXPECT_EQ(Text(1010), "1.50");  // not rewritten as 1.500 while typed in
}

TEST_F(ParameterPanelTest, SpeedFactorZeroOrEmptyIsTakenAsOneHundredth) {
    Type(1010, "0");
    EXPECT_NEAR(SpeedExponent.load(), -6.643856, 1e-6);
    EXPECT_EQ(Slider(1009)->value(), -1000);
    EXPECT_EQ(Text(1010), "0");
    Type(1010, "1");
    Edit(1010)->clear();
    EXPECT_NEAR(SpeedExponent.load(), -6.643856, 1e-6);
    EXPECT_EQ(Slider(1009)->value(), -1000);
    EXPECT_EQ(Text(1010), "");
}

TEST_F(ParameterPanelTest, TypedValuesBeyondSliderRangeStayInTheBlock) {
    Type(1018, "150");
    EXPECT_DOUBLE_EQ(ApplyRatio.load(), 1.5);
    EXPECT_EQ(Slider(1011)->value(), 1000);
    Type(1024, "-2");
    EXPECT_DOUBLE_EQ(ReverbAmount.load(), -2.0);
    EXPECT_EQ(Slider(1023)->value(), 0);
    // Far beyond the range of int: the slider still goes to the right end.
    Type(1008, "1e7");
    EXPECT_DOUBLE_EQ(PitchOctaves.load(), 1e7);
    EXPECT_EQ(Slider(1007)->value(), 1000);
    Type(1008, "-3e9");
    EXPECT_EQ(Slider(1007)->value(), -1000);
}

TEST_F(ParameterPanelTest, TextThatIsNoNumberReadsAsZero) {
    Type(1008, "0.5");
    Type(1008, "abc");
    EXPECT_EQ(PitchOctaves.load(), 0.0);
    EXPECT_EQ(Slider(1007)->value(), 0);
    EXPECT_EQ(Text(1008), "abc");
    Type(1008, "nan");
    EXPECT_EQ(PitchOctaves.load(), 0.0);
}

TEST_F(ParameterPanelTest, TypingRefreshesEverythingButTheEditTypedIn) {
    Type(1008, " .25x");
    EXPECT_DOUBLE_EQ(PitchOctaves.load(), 0.25);
    EXPECT_EQ(Slider(1007)->value(), 250);
    EXPECT_EQ(Text(1008), " .25x");
    // A later slider move rewrites that edit again.
    Slider(1023)->setValue(300);
    EXPECT_EQ(Text(1008), "0.250");
    EXPECT_EQ(Text(1024), "0.300");
    EXPECT_DOUBLE_EQ(ReverbAmount.load(), 0.3);
}

TEST_F(ParameterPanelTest, ChordPresetShowsPitchAndPercent) {
    Get<QPushButton>(1006)->click();
    EXPECT_EQ(Text(1008), "0.417");
    EXPECT_EQ(Slider(1007)->value(), 416);
    EXPECT_EQ(Text(1018), "60.0");
    EXPECT_EQ(Slider(1011)->value(), 600);
}

TEST_F(ParameterPanelTest, ClearingTheFirstBandKeepsOnlyTheNineShownBits) {
    Box(1012)->click();
    EXPECT_EQ(BandMask.load(), 0x1FE);
    Box(1012)->click();
    EXPECT_EQ(BandMask.load(), 0x1FF);
    Box(1021)->click();
    Box(1014)->click();
    EXPECT_EQ(BandMask.load(), 0x1FF & ~(1 << 8) & ~(1 << 2));
}

TEST_F(ParameterPanelTest, BandBoxesFollowTheMask) {
    Get<QPushButton>(1000)->click();  // telephone: 689, 1378, 2756 Hz
    for (int band = 0; band < 9; ++band) {
        EXPECT_EQ(Box(kBandBoxes[band])->isChecked(), band >= 3 && band <= 5) << band;
    }
}

TEST_F(ParameterPanelTest, ChannelBoxesWriteTheirFlags) {
    Box(1002)->click();
    EXPECT_EQ(ProcessMono.load(), 1);
    Box(1003)->click();
    EXPECT_EQ(ProcessLeft.load(), 0);
    Box(1004)->click();
    EXPECT_EQ(ProcessRight.load(), 0);
    Box(1002)->click();
    EXPECT_EQ(ProcessMono.load(), 0);
    EXPECT_EQ(BandMask.load(), -1);  // channel boxes leave the bands alone
}

// The keyboard and accessibility actions change the block as the mouse does:
// arrow and Page keys on the sliders, typed text, Space on a box and boxes
// set without a click.
TEST_F(ParameterPanelTest, KeyboardAndAccessibilityChangesReachTheBlock) {
    QTest::keyClick(Slider(1007), Qt::Key_Right);
    EXPECT_DOUBLE_EQ(PitchOctaves.load(), 0.001);
    EXPECT_EQ(Text(1008), "0.001");
    QTest::keyClick(Slider(1009), Qt::Key_End);
    EXPECT_DOUBLE_EQ(SpeedExponent.load(), 1.0);
    EXPECT_EQ(Text(1010), "2.000");
    Slider(1023)->setValue(250);
    EXPECT_DOUBLE_EQ(ReverbAmount.load(), 0.25);
    Edit(1018)->selectAll();
    QTest::keyClicks(Edit(1018), "40");
    EXPECT_DOUBLE_EQ(ApplyRatio.load(), 0.4);
    EXPECT_EQ(Slider(1011)->value(), 400);

    Box(1012)->setChecked(false);
    EXPECT_EQ(BandMask.load(), 0x1FE);
    Box(1021)->toggle();
    EXPECT_EQ(BandMask.load(), 0x0FE);
    QTest::keyClick(Box(1002), Qt::Key_Space);
    EXPECT_EQ(ProcessMono.load(), 1);
    Box(1003)->setChecked(false);
    EXPECT_EQ(ProcessLeft.load(), 0);
    Box(1004)->toggle();
    EXPECT_EQ(ProcessRight.load(), 0);
    // The other boxes kept what they showed.
    EXPECT_TRUE(Box(1002)->isChecked());
    EXPECT_FALSE(Box(1012)->isChecked());
}

TEST_F(ParameterPanelTest, TabOrderFollowsTheTemplate) {
    const std::vector<int> expected = {1007, 1008, 1009, 1010, 1012, 1013, 1014, 1015, 1016, 1017, 1019, 1020, 1021,
                                       1011, 1018, 1023, 1024, 1002, 1003, 1004, 1000, 1001, 1005, 1006, 1022};
    std::vector<int> order;
    for (QWidget* w = panel_->nextInFocusChain(); w != panel_; w = w->nextInFocusChain()) {
        if (!panel_->isAncestorOf(w) || !(w->focusPolicy() & Qt::TabFocus)) continue;
        const QString name = w->objectName();
        ASSERT_TRUE(name.startsWith("control")) << name.toStdString();
        order.push_back(name.mid(7).toInt());
    }
    EXPECT_EQ(order, expected);
}

TEST_F(ParameterPanelTest, DestroyingTwiceOrAfterTheParentIsSafe) {
    EXPECT_EQ(DestroyParameterPanel(), 1);
    EXPECT_EQ(DestroyParameterPanel(), 0);
    panel_ = static_cast<QWidget*>(CreateParameterPanel(parent_.get()));
    ASSERT_NE(panel_, nullptr);
    parent_.reset();  // Qt deletes the panel with its parent
    EXPECT_EQ(DestroyParameterPanel(), 0);
}

TEST_F(ParameterPanelTest, StaticTextsAreShownWhole) {
    int labels = 0;
    for (QLabel* label : panel_->findChildren<QLabel*>()) {
        ++labels;
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
        EXPECT_LE(label->heightForWidth(label->width()), label->height()) << label->text().toStdString();
    }
    EXPECT_EQ(labels, 16);  // fifteen static texts and the pitch in semitones
    // The widened band labels still end before the next one starts.
    QLabel* last = nullptr;
    for (QLabel* label : panel_->findChildren<QLabel*>()) {
        if (label->text() == "11025") last = label;
    }
    ASSERT_NE(last, nullptr);
    const dialogkit::DialogUnits units(dialogkit::DialogFont());
    EXPECT_LT(last->geometry().right(), units.ToPixelsX(260));
}
