// Tests of the sample plug-in's panel through Start_Dialog / End_Dialog under
// the offscreen platform: vocal cancel starts off, the check box drives it,
// and the explanatory texts fit their boxes in the dialog font.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <memory>

#include "sample_library.h"

namespace {

class SamplePanelTest : public ::testing::Test {
protected:
    void SetUp() override {
        lib_ = &SampleLibrary::Get();
        ASSERT_NE(lib_->handle, nullptr);
        parent_ = std::make_unique<QWidget>();
    }
    void TearDown() override {
        lib_->endDialog();
        parent_.reset();
        lib_->vocalCancel->store(0);
    }

    QWidget* Start() { return static_cast<QWidget*>(lib_->startDialog(parent_.get())); }

    const SampleLibrary* lib_ = nullptr;
    std::unique_ptr<QWidget> parent_;
};

QCheckBox* VocalCancelBox(QWidget* panel) { return panel->findChild<QCheckBox*>("control1006"); }

/// The label whose text contains `fragment`.
QLabel* LabelWith(QWidget* panel, const char* fragment) {
    for (QLabel* label : panel->findChildren<QLabel*>()) {
        if (label->text().contains(QString::fromUtf8(fragment))) return label;
    }
    return nullptr;
}

}  // namespace

TEST_F(SamplePanelTest, StartDialogTurnsVocalCancelOffAndShowsIt) {
    lib_->vocalCancel->store(1);
    QWidget* panel = Start();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(lib_->vocalCancel->load(), 0);
    EXPECT_EQ(panel->parentWidget(), parent_.get());
    EXPECT_FALSE(panel->isVisibleTo(parent_.get()));
    QCheckBox* box = VocalCancelBox(panel);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), "ボーカルキャンセル");
    EXPECT_FALSE(box->isChecked());
}

TEST_F(SamplePanelTest, EveryChangeOfTheBoxDrivesVocalCancel) {
    QWidget* panel = Start();
    ASSERT_NE(panel, nullptr);
    QCheckBox* box = VocalCancelBox(panel);
    ASSERT_NE(box, nullptr);
    box->click();
    EXPECT_EQ(lib_->vocalCancel->load(), 1);
    // Space, as the keyboard toggles a focused box.
    QTest::keyClick(box, Qt::Key_Space);
    EXPECT_EQ(lib_->vocalCancel->load(), 0);
    // An accessibility action sets the state without a click.
    box->setChecked(true);
    EXPECT_EQ(lib_->vocalCancel->load(), 1);
    EXPECT_EQ(box->accessibleName(), QString::fromUtf8("ボーカルキャンセル"));
}

TEST_F(SamplePanelTest, EndDialogDestroysThePanelOnce) {
    QWidget* panel = Start();
    ASSERT_NE(panel, nullptr);
    EXPECT_NE(lib_->endDialog(), 0);
    EXPECT_TRUE(parent_->findChildren<QWidget*>().isEmpty());
    EXPECT_EQ(lib_->endDialog(), 0);
    // Deleting the parent first deletes the panel with it; End_Dialog copes.
    ASSERT_NE(Start(), nullptr);
    parent_.reset();
    EXPECT_EQ(lib_->endDialog(), 0);
}

TEST_F(SamplePanelTest, ShowsBothExplanatoryTexts) {
    QWidget* panel = Start();
    ASSERT_NE(panel, nullptr);
    EXPECT_NE(LabelWith(panel, "プラグインのサンプル"), nullptr);
    EXPECT_NE(LabelWith(panel, "\"original\" と同時に使用する場合は"), nullptr);
    QLabel* build = LabelWith(panel, "cmake --build build --target Zarevo_sample");
    ASSERT_NE(build, nullptr);
    EXPECT_TRUE(build->text().contains("Zarevo_sample.so"));
    EXPECT_TRUE(build->text().contains("build/bin"));
    EXPECT_TRUE(build->text().contains("ZarevoPlusApp"));
    int groups = 0;
    for (QGroupBox* group : panel->findChildren<QGroupBox*>()) {
        groups += group->title() == "\"sample\"プラグインの注意点" ||
                  group->title() == "\"sample\"プラグインソースのコンパイル・リンクの仕方";
    }
    EXPECT_EQ(groups, 2);
}

TEST_F(SamplePanelTest, TextsFitTheirBoxesInTheDialogFont) {
    QWidget* panel = Start();
    ASSERT_NE(panel, nullptr);
    const QString family = QFontInfo(panel->font()).family();
    if (!family.contains("IPA") && !family.contains("MS PGothic")) {
        GTEST_SKIP() << "dialog font not installed, got " << family.toStdString();
    }
    for (QLabel* label : panel->findChildren<QLabel*>()) {
        EXPECT_TRUE(label->wordWrap());
        EXPECT_LE(label->heightForWidth(label->width()), label->height()) << label->text().toStdString();
    }
    if (const char* shot = std::getenv("ZAREVO_PANEL_SCREENSHOT")) panel->grab().save(shot);
}
