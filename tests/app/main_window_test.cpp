// The main window as a user meets it: its controls before any job, the names
// screen readers see, dropped files, the browse buttons and the about box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "about_dialog.h"
#include "app_test_support.h"
#include "dialog_table.h"
#include "file_choice.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "wave_out_devices.h"

namespace {

using apptest::MessageRecorder;
using apptest::ScratchFolder;

QPushButton* Button(CMainDialog& window, int id) { return qobject_cast<QPushButton*>(window.Control(id)); }
QLineEdit* Field(CMainDialog& window, int id) { return qobject_cast<QLineEdit*>(window.Control(id)); }

void Drop(CMainDialog& window, const QList<QUrl>& urls) {
    QMimeData data;
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QDropEvent drop(QPointF(20, 20), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
}

/// Answers the next file dialog with `answer`, recording the kind and folder asked for.
struct ChooserRecorder {
    QString answer;
    QList<FileChoiceKind> kinds;
    QStringList folders;
    FileChooser previous;
    ChooserRecorder() {
        previous = SetFileChooser([this](QWidget*, FileChoiceKind kind, const QString& folder) {
            kinds.push_back(kind);
            folders.push_back(folder);
            return QFile::encodeName(answer);
        });
    }
    ~ChooserRecorder() { SetFileChooser(previous); }
};

}  // namespace

TEST(MainWindow, StartsIdleWithEveryControlUsableAndInside) {
    ScratchFolder plugins;
    MessageRecorder messages;
    CMainDialog window(plugins.Path().string());

    EXPECT_EQ(window.windowTitle(),
              QStringLiteral("ZarevoPlus Version 1.0 - ") + QString::fromUtf8(mainwindow::kMakerAddress));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_EQ(window.CurrentJobState(), JOB_IDLE);
    EXPECT_EQ(window.EffectTabs()->count(), 0);
    EXPECT_TRUE(Field(window, IDC_SOURCE_PATH)->text().isEmpty());
    EXPECT_TRUE(Field(window, IDC_OUTPUT_PATH)->text().isEmpty());

    // Every control is enabled, lies wholly inside the fixed window, and no
    // two of them cover each other, whatever the font's metrics.
    const QRect client(QPoint(0, 0), window.size());
    std::vector<QWidget*> controls;
    for (int id : {IDC_SOURCE_PATH, IDC_BROWSE_SOURCE, IDC_EFFECT_TABS, IDC_PLAY, IDC_PLAYBACK_SETTINGS,
                   IDC_OUTPUT_PATH, IDC_BROWSE_OUTPUT, IDC_SAVE, IDC_SAVE_FORMAT}) {
        QWidget* control = window.Control(id);
        EXPECT_TRUE(control->isEnabled()) << id;
        EXPECT_TRUE(client.contains(control->geometry())) << id;
        for (QWidget* other : controls) {
            EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                << id << " overlaps " << other->objectName().toStdString();
        }
        controls.push_back(control);
    }
    EXPECT_EQ(Button(window, IDC_PLAY)->text(), QStringLiteral("再生"));
    EXPECT_EQ(Button(window, IDC_SAVE)->text(), QStringLiteral("保存"));

    // The five steps read from top to bottom, each shown whole.
    std::vector<int> stepTops;
    for (const char* step :
         {"1. Waveファイルを落とす", "2. 処理", "3. 確認", "4. 保存ファイル名確定", "5. ファイルに保存"}) {
        QLabel* found = nullptr;
        for (QLabel* label : window.findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (label->text() == QString::fromUtf8(step)) found = label;
        }
        ASSERT_NE(found, nullptr) << step;
        EXPECT_TRUE(client.contains(found->geometry())) << step;
        stepTops.push_back(found->y());
    }
    EXPECT_TRUE(std::is_sorted(stepTops.begin(), stepTops.end()));
}

TEST(MainWindow, SaysNothingAtStartWhenAPlaybackDeviceExists) {
    // The disk driver offers one device.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    ASSERT_GT(WaveOutDeviceCount(), 0);
    ScratchFolder plugins;
    MessageRecorder messages;
    CMainDialog window(plugins.Path().string());
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();
}

TEST(MainWindow, FieldsAreNamedAfterTheirSteps) {
    ScratchFolder plugins;
    MessageRecorder messages;
    CMainDialog window(plugins.Path().string());
    EXPECT_EQ(Field(window, IDC_SOURCE_PATH)->accessibleName(), QStringLiteral("1. Waveファイルを落とす"));
    EXPECT_EQ(Field(window, IDC_OUTPUT_PATH)->accessibleName(), QStringLiteral("4. 保存ファイル名確定"));
    EXPECT_EQ(window.EffectTabs()->accessibleName(), QStringLiteral("2. 処理"));
}

TEST(MainWindow, WarnsOnceWhenNoPlaybackDeviceExists) {
    // A sound driver that does not exist leaves the program without devices.
    setenv("SDL_AUDIODRIVER", "zarevo-no-such-driver", 1);
    ASSERT_EQ(WaveOutDeviceCount(), 0);
    ScratchFolder plugins;
    MessageRecorder messages;
    CMainDialog window(plugins.Path().string());
    EXPECT_EQ(messages.Texts(), QStringList{QString::fromUtf8(messages::kNoPlaybackDevice)});
    // Nothing is disabled because of it.
    EXPECT_TRUE(Button(window, IDC_PLAY)->isEnabled());
}

TEST(MainWindow, FirstDroppedFileBecomesTheSource) {
    ScratchFolder plugins;
    MessageRecorder messages;
    auto opened = apptest::OpenWindow(plugins.Path(), messages);
    CMainDialog& window = *opened;
    Drop(window, {QUrl::fromLocalFile(QStringLiteral("/tmp/音声 ファイル/歌.wav")),
                  QUrl::fromLocalFile(QStringLiteral("/tmp/second.wav"))});
    EXPECT_EQ(Field(window, IDC_SOURCE_PATH)->text(), QStringLiteral("/tmp/音声 ファイル/歌.wav"));
    EXPECT_TRUE(Field(window, IDC_OUTPUT_PATH)->text().isEmpty());
    // A drop that is no local file changes nothing and says nothing.
    Drop(window, {QUrl(QStringLiteral("https://example.org/a.wav"))});
    EXPECT_EQ(Field(window, IDC_SOURCE_PATH)->text(), QStringLiteral("/tmp/音声 ファイル/歌.wav"));
    EXPECT_TRUE(messages.Texts().isEmpty());
    // A path far beyond 1000 bytes arrives whole.
    QString longPath = QStringLiteral("/tmp");
    while (longPath.toUtf8().size() < 2500) longPath += QStringLiteral("/長いフォルダの名前");
    longPath += QStringLiteral("/歌.wav");
    Drop(window, {QUrl::fromLocalFile(longPath)});
    EXPECT_EQ(Field(window, IDC_SOURCE_PATH)->text(), longPath);
    // The fields leave dropped files to the window instead of taking URL text.
    EXPECT_FALSE(Field(window, IDC_SOURCE_PATH)->acceptDrops());
    EXPECT_FALSE(Field(window, IDC_OUTPUT_PATH)->acceptDrops());
}

TEST(MainWindow, BrowseStartsInTheFieldsFolderAndTakesTheChoice) {
    ScratchFolder plugins;
    ScratchFolder files;
    MessageRecorder messages;
    ChooserRecorder chooser;
    auto opened = apptest::OpenWindow(plugins.Path(), messages);
    CMainDialog& window = *opened;
    const QString sourceFolder = files.File("入力/");
    std::filesystem::create_directories(files.Path() / "入力");
    Field(window, IDC_SOURCE_PATH)->setText(sourceFolder + QStringLiteral("元.wav"));
    chooser.answer = files.File("選んだ.wav");
    Button(window, IDC_BROWSE_SOURCE)->click();
    ASSERT_EQ(chooser.folders.size(), 1);
    EXPECT_EQ(chooser.folders[0], sourceFolder);
    EXPECT_EQ(chooser.kinds[0], FileChoiceKind::OpenSource);
    EXPECT_EQ(Field(window, IDC_SOURCE_PATH)->text(), chooser.answer);

    Field(window, IDC_OUTPUT_PATH)->setText(QStringLiteral("/nowhere/出力.wav"));
    chooser.answer.clear();  // cancelled
    Button(window, IDC_BROWSE_OUTPUT)->click();
    ASSERT_EQ(chooser.folders.size(), 2);
    EXPECT_EQ(chooser.folders[1], QStringLiteral("/nowhere/"));
    EXPECT_EQ(chooser.kinds[1], FileChoiceKind::SaveOutput);
    EXPECT_EQ(Field(window, IDC_OUTPUT_PATH)->text(), QStringLiteral("/nowhere/出力.wav"));
    EXPECT_TRUE(messages.Texts().isEmpty());
}

TEST(MainWindow, AboutBoxOpensFromContextMenuAndF1) {
    ScratchFolder plugins;
    MessageRecorder messages;
    CMainDialog window(plugins.Path().string());
    window.show();

    QStringList menuEntries;
    QTimer::singleShot(0, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions()) menuEntries << action->text();
            menu->close();
        }
    });
    QContextMenuEvent context(QContextMenuEvent::Mouse, QPoint(5, 5), window.mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(&window, &context);
    EXPECT_EQ(menuEntries, QStringList{QString::fromUtf8(about::kMenuEntry)});

    bool hasF1 = false;
    for (QShortcut* shortcut : window.findChildren<QShortcut*>()) {
        hasF1 = hasF1 || shortcut->key() == QKeySequence(Qt::Key_F1);
    }
    EXPECT_TRUE(hasF1);

    QString title;
    QStringList texts;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<CAboutDialog*>(QApplication::activeModalWidget());
        if (!about) return;
        title = about->windowTitle();
        for (QLabel* label : about->findChildren<QLabel*>()) texts << label->text();
        for (QPushButton* button : about->findChildren<QPushButton*>()) {
            if (button->text() == QStringLiteral("OK")) button->click();
        }
    });
    window.ShowAbout();  // returns only once OK closed the box
    EXPECT_EQ(title, QStringLiteral("ZarevoPlus のﾊﾞｰｼﾞｮﾝ情報"));
    EXPECT_TRUE(texts.contains(QStringLiteral("ZarevoPlus Version 1.0")));
    EXPECT_TRUE(texts.contains(QString::fromUtf8(about::kLegalNotice)));
}

TEST(MainWindow, DialogKeysCloseTheWindowOrPressTheFocusedButton) {
    ScratchFolder plugins;
    MessageRecorder messages;
    ChooserRecorder chooser;
    const QString playFailed = QString::fromUtf8(messages::kOpenPlayFailed);
    auto opened = apptest::OpenWindow(plugins.Path(), messages);
    CMainDialog& window = *opened;
    for (QPushButton* button : window.findChildren<QPushButton*>()) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << button->text().toStdString();
    }
    window.show();

    // Enter or Space on a focused push button presses that button (here Play
    // with no source, which fails to open); the window stays.
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space}) {
        Button(window, IDC_PLAY)->setFocus();
        QTest::keyClick(Button(window, IDC_PLAY), key);
        EXPECT_EQ(messages.Texts(), QStringList{playFailed}) << key;
        EXPECT_TRUE(window.isVisible());
        messages.Clear();
    }

    // Enter in a path field presses nothing (no file dialog): it closes the
    // window, as the dialog's OK would.
    for (int field : {IDC_SOURCE_PATH, IDC_OUTPUT_PATH}) {
        window.show();
        Field(window, field)->setFocus();
        QTest::keyClick(Field(window, field), Qt::Key_Return);
        EXPECT_FALSE(window.isVisible()) << field;
        EXPECT_EQ(window.result(), QDialog::Accepted);
    }
    EXPECT_TRUE(chooser.kinds.isEmpty()) << "a file dialog was opened";

    // Escape closes it from anywhere, a focused button included.
    window.show();
    Button(window, IDC_BROWSE_SOURCE)->setFocus();
    QTest::keyClick(Button(window, IDC_BROWSE_SOURCE), Qt::Key_Escape);
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(window.result(), QDialog::Rejected);
    EXPECT_TRUE(chooser.kinds.isEmpty());
    EXPECT_TRUE(messages.Texts().isEmpty());
}
