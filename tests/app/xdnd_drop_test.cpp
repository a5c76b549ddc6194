// A file dropped from another program through the X drag-and-drop protocol,
// as a file manager drops it: a name that is not UTF-8 opens and saves. The
// suite runs on an X server of its own (Xvfb) and drives the mouse with xdotool.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTest>
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "app_test_support.h"
#include "main_dialog_layout.h"

namespace {

/// Starts Xvfb before the suite's QApplication exists, so that it opens on
/// the xcb platform; stops it by its pid when the suite ends. Without Xvfb
/// the platform stays offscreen and the test skips.
class OwnXServer {
public:
    OwnXServer() {
        std::ifstream commandLine("/proc/self/cmdline");
        const std::string arguments((std::istreambuf_iterator<char>(commandLine)), {});
        if (arguments.find("--gtest_list_tests") != std::string::npos) return;
        int displayPipe[2];
        if (pipe(displayPipe) != 0) return;
        pid_ = fork();
        if (pid_ == 0) {
            close(displayPipe[0]);
            const std::string fd = std::to_string(displayPipe[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1024x768x24", "-nolisten", "tcp",
                   static_cast<char*>(nullptr));
            _exit(127);
        }
        close(displayPipe[1]);
        // The server writes the number and the line's end apart, and stops if
        // the pipe is gone by then: the pipe stays open until it is stopped.
        displayPipe_ = displayPipe[0];
        std::string number;
        char digit = 0;
        while (pid_ > 0 && read(displayPipe_, &digit, 1) == 1 && digit != '\n') number += digit;
        if (digit != '\n' || number.empty()) return;
        setenv("DISPLAY", (":" + number).c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    ~OwnXServer() {
        if (displayPipe_ >= 0) close(displayPipe_);
        if (pid_ <= 0) return;
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }

private:
    pid_t pid_ = -1;
    int displayPipe_ = -1;
};

const OwnXServer xServer;

QLineEdit* Field(CMainDialog& window, int id) { return static_cast<QLineEdit*>(window.Control(id)); }

/// Drags `uriList` from a program of its own onto `target` (global
/// coordinates) with the real mouse; true once the drag source has finished.
bool DragFromOtherProgram(const QByteArray& uriList, QPoint target) {
    QProcess source;
    source.start(QStringLiteral(ZAREVO_DRAG_SOURCE), {QString::fromLatin1(uriList.toHex())});
    if (!apptest::WaitUntil([&] { return source.canReadLine(); }, 10000)) return false;
    const QString x = QString::number(target.x()), y = QString::number(target.y());
    QProcess mouse;
    mouse.start(QStringLiteral("xdotool"),
                QStringList{"mousemove", "100", "100", "sleep", "0.3", "mousedown", "1", "sleep", "0.3"} +
                    QStringList{"mousemove", "130", "130", "sleep", "0.2", "mousemove", "250", "150", "sleep", "0.2"} +
                    QStringList{"mousemove", x, y, "sleep", "0.3", "mousemove", x, QString::number(target.y() + 5)} +
                    QStringList{"sleep", "0.5", "mouseup", "1"});
    const bool finished = apptest::WaitUntil(
        [&] { return mouse.state() == QProcess::NotRunning && source.state() == QProcess::NotRunning; }, 15000);
    if (!finished) source.kill();
    source.waitForFinished();
    return finished;
}

}  // namespace

TEST(DropFromOtherProgram, NameThatIsNotUtf8OpensAndSaves) {
    if (QGuiApplication::platformName() != QLatin1String("xcb")) GTEST_SKIP() << "no X server (Xvfb) could start";
    if (QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) GTEST_SKIP() << "xdotool is missing";
    apptest::ScratchFolder plugins;
    apptest::ScratchFolder files;
    apptest::MessageRecorder messages;
    const auto sample = [](long frame) { return static_cast<double>((frame * 37) % 200 - 100) / 128.0; };
    apptest::WriteTestWav(files.File("plain.wav"), 22050, 1, 16, 20000, [&](long frame, int) { return sample(frame); });
    const std::string source = files.Path().string() + "/caf\xe9.wav";
    std::filesystem::rename(files.Path() / "plain.wav", source);
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    window->move(300, 100);
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    const QPoint target = window->mapToGlobal(QPoint(window->width() / 2, window->height() / 2));

    // The name percent-encoded, as most file managers send it, and as plain bytes.
    const QByteArray bytes = QByteArray::fromStdString(source);
    for (const QByteArray& list : {"file://" + bytes.toPercentEncoding("/") + "\r\n", "file://" + bytes + "\r\n"}) {
        SCOPED_TRACE(list.toStdString());
        QLineEdit* sourceField = Field(*window, IDC_SOURCE_PATH);
        sourceField->clear();
        ASSERT_TRUE(DragFromOtherProgram(list, target));
        ASSERT_TRUE(apptest::WaitUntil([&] { return !sourceField->text().isEmpty(); }, 5000)) << "nothing dropped";
        EXPECT_EQ(sourceField->text(), QFile::decodeName(bytes));

        std::filesystem::remove(files.Path() / "out.wav");
        Field(*window, IDC_OUTPUT_PATH)->setText(files.File("out.wav"));
        messages.Clear();
        static_cast<QPushButton*>(window->Control(IDC_SAVE))->click();
        ASSERT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }));
        EXPECT_EQ(messages.Texts(), QStringList{QString::fromUtf8(messages::kConversionFinished)});
        const apptest::WavContents saved = apptest::ReadTestWav(files.File("out.wav"));
        ASSERT_TRUE(saved.opened);
        EXPECT_EQ(saved.rate, 22050);
        ASSERT_GE(saved.frames, 20000);
        for (long frame : {0L, 777L, 19999L}) {
            EXPECT_NEAR(saved.samples[static_cast<std::size_t>(frame * saved.channels)], sample(frame), 1e-3);
        }
    }
}
