// The position row as a user drives it: the length shown once a source is
// given, the keys (real key events through the window's shortcuts), A and B,
// the loop box, a play that starts at the slider and a seek from the slider.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QtTest/QTest>

#include "app_test_support.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "position_row.h"
#include "wave_file.h"

namespace {

constexpr int kRate = 22050;

QLabel* TimeLabel(CMainDialog& window) {
    for (QLabel* label : window.Position()->findChildren<QLabel*>()) {
        if (label->accessibleName() == QString::fromUtf8(positionrow::kTimeName)) return label;
    }
    return nullptr;
}

TEST(PositionRow, KeysMoveThePositionAndSetTheLoopAndPlayStartsAndSeeksThere) {
    apptest::ScratchFolder plugins;
    apptest::ScratchFolder files;
    apptest::MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    QSlider* slider = window->Position()->Slider();
    EXPECT_FALSE(window->Position()->isEnabled()) << "no source yet";
    EXPECT_EQ(slider->accessibleName(), QString::fromUtf8(positionrow::kSliderName));

    apptest::WriteTestWav(files.File("ten.wav"), kRate, 1, 16, 10L * kRate, [](long, int) { return 0.2; });
    qobject_cast<QLineEdit*>(window->Control(IDC_SOURCE_PATH))->setText(files.File("ten.wav"));
    ASSERT_TRUE(apptest::WaitUntil([&] { return slider->maximum() == 10000; }, 5000));
    QLabel* time = TimeLabel(*window);
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->text(), QStringLiteral("0:00 / 0:10"));

    window->show();
    QWidget* play = window->Control(IDC_PLAY);
    apptest::Focus(play);
    QTest::keyClick(play, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(play, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(play, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(slider->value(), 5000);
    EXPECT_EQ(time->text(), QStringLiteral("0:05 / 0:10"));
    EXPECT_EQ(time->accessibleDescription(), time->text());
    QTest::keyClick(play, Qt::Key_BracketLeft, Qt::ControlModifier);
    QTest::keyClick(play, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(play, Qt::Key_BracketRight, Qt::ControlModifier);
    QTest::keyClick(play, Qt::Key_L, Qt::ControlModifier);
    EXPECT_EQ(window->Position()->LoopStart(), 5000);
    EXPECT_EQ(window->Position()->LoopEnd(), 10000);
    EXPECT_TRUE(window->Position()->Looping());
    QTest::keyClick(play, Qt::Key_L, Qt::ControlModifier);
    EXPECT_FALSE(window->Position()->Looping());

    // Ctrl+P plays from the slider's place; the slider follows the play.
    slider->setValue(4000);
    QTest::keyClick(play, Qt::Key_P, Qt::ControlModifier);
    ASSERT_EQ(window->CurrentJobState(), JOB_PLAYING) << messages.Texts().join(u'|').toStdString();
    EXPECT_GE(window->Engine()->HeardFrame(), 4 * kRate);
    ASSERT_TRUE(apptest::WaitUntil([&] { return slider->value() > 4100; }, 5000));
    // Setting the slider moves the play there.
    slider->setValue(1000);
    ASSERT_TRUE(apptest::WaitUntil(
        [&] { return window->Engine()->HeardFrame() >= kRate && window->Engine()->HeardFrame() < 3 * kRate; }, 5000));
    EXPECT_TRUE(apptest::WaitUntil([&] { return slider->value() >= 1000 && slider->value() < 3000; }, 1000));
    QTest::keyClick(play, Qt::Key_P, Qt::ControlModifier);
    EXPECT_EQ(window->CurrentJobState(), JOB_IDLE);
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();
}

}  // namespace
