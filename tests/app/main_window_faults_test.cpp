// The window under faults: plug-ins that throw, are slow or never return,
// outputs that are no regular files, full disks and the WAV size limit. Each
// case checks the message, the files left behind, and that the window still
// answers.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>

#include "app_test_support.h"
#include "job_end.h"
#include "main_dialog.h"
#include "main_dialog_layout.h"
#include "wav_writer.h"

namespace {

using apptest::MessageRecorder;
using apptest::ScratchFolder;

constexpr long kBlock = 65536;

QPushButton* Button(CMainDialog& window, int id) { return static_cast<QPushButton*>(window.Control(id)); }
void SetField(CMainDialog& window, int id, const QString& text) {
    static_cast<QLineEdit*>(window.Control(id))->setText(text);
}
QString Text(const char* utf8) { return QString::fromUtf8(utf8); }
QString PluginFailed(const char* caption) {
    return Text(messages::kPluginFailedFormat).arg(QString::fromUtf8(caption));
}

/// Links the fault-injecting test plug-in `built` into `folder` as
/// "Zarevo_<caption>.so", so its tab reads `caption`.
std::filesystem::path LinkFaultPlugin(const std::filesystem::path& folder, const std::string& built,
                                      const std::string& caption) {
    const std::filesystem::path link = folder / ("Zarevo_" + caption + ".so");
    std::filesystem::create_symlink(std::filesystem::path(ZAREVO_TEST_PLUGIN_DIR) / built, link);
    return link;
}

/// A variable of the plug-in library the window has loaded from `library`.
template <typename T>
T& PluginVariable(const std::filesystem::path& library, const char* name) {
    void* module = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
    EXPECT_NE(module, nullptr) << library;
    void* symbol = module ? dlsym(module, name) : nullptr;
    if (module) dlclose(module);  // the window keeps its own reference
    EXPECT_NE(symbol, nullptr) << name;
    return *static_cast<T*>(symbol);
}

void WriteSource(const QString& path, long frames) {
    apptest::WriteTestWav(path, 22050, 1, 16, frames, [](long frame, int) { return (frame % 100) / 400.0; });
}

void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}
std::string ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void ExpectIdle(CMainDialog& window) {
    EXPECT_EQ(window.CurrentJobState(), JOB_IDLE);
    EXPECT_EQ(Button(window, IDC_SAVE)->text(), Text(mainwindow::kSave));
    EXPECT_TRUE(Button(window, IDC_SAVE)->isEnabled());
    EXPECT_TRUE(window.Control(IDC_SOURCE_PATH)->isEnabled());
}

/// Clicks `button` and reports whether the window handled its events while
/// the click was still running, and whether the wait cursor showed then.
struct ClickWatch {
    bool answeredDuringClick = false;
    bool waitCursorDuringClick = false;
};
ClickWatch ClickWatchingTheWindow(QPushButton* button) {
    // Shared with the timer, which may also fire only after the click.
    auto watch = std::make_shared<ClickWatch>();
    auto clicking = std::make_shared<bool>(true);
    QTimer::singleShot(0, button, [watch, clicking] {
        watch->answeredDuringClick = *clicking;
        const QCursor* cursor = QApplication::overrideCursor();
        watch->waitCursorDuringClick = *clicking && cursor && cursor->shape() == Qt::WaitCursor;
    });
    button->click();
    *clicking = false;
    return *watch;
}

}  // namespace

TEST(WindowFaults, APluginThatThrowsIsNamedByItsTabAndTheWindowStaysUsable) {
    ScratchFolder plugins;
    ScratchFolder files;
    apptest::LinkTestPlugins(plugins.Path(), {"Zarevo_a.so"});
    const auto thrower = LinkFaultPlugin(plugins.Path(), "throwing.so", "thrower");
    MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    auto& throwFrom = PluginVariable<std::atomic<char>>(thrower, "ThrowFrom");
    WriteSource(files.File("in.wav"), 3 * kBlock);
    SetField(*window, IDC_SOURCE_PATH, files.File("in.wav"));
    SetField(*window, IDC_OUTPUT_PATH, files.File("out.wav"));
    WriteBytes(files.Path() / "out.wav", "earlier take");

    throwFrom = 'C';
    Button(*window, IDC_SAVE)->click();
    EXPECT_EQ(messages.Texts(), QStringList{PluginFailed("thrower")});
    ExpectIdle(*window);

    for (const char entry : {'E', 'D'}) {
        messages.Clear();
        throwFrom = entry;
        Button(*window, IDC_SAVE)->click();
        ASSERT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); })) << entry;
        EXPECT_EQ(messages.Texts(), QStringList{PluginFailed("thrower")}) << entry;
        ExpectIdle(*window);
        EXPECT_EQ(ReadBytes(files.Path() / "out.wav"), "earlier take") << "a failed save keeps what was there";
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.Path()), {}), 2) << "no temporary file left";

    // Playing ends the same way, from the first block the device asks for.
    messages.Clear();
    throwFrom = 'E';
    Button(*window, IDC_PLAY)->click();
    ASSERT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }));
    EXPECT_EQ(messages.Texts(), QStringList{PluginFailed("thrower")});
    EXPECT_EQ(window->CurrentJobState(), JOB_IDLE);
    EXPECT_EQ(Button(*window, IDC_PLAY)->text(), Text(mainwindow::kPlay));

    messages.Clear();
    throwFrom = 0;
    Button(*window, IDC_SAVE)->click();
    ASSERT_TRUE(apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); }));
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kConversionFinished)});
    // Plug-in "a" adds a constant but declares no tail: the output is as
    // long as the source's three blocks.
    EXPECT_EQ(apptest::ReadTestWav(files.File("out.wav")).frames, 3 * kBlock);
}

TEST(WindowFaults, OutputFailuresGetTheirOwnMessages) {
    ScratchFolder plugins;
    ScratchFolder files;
    MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    WriteSource(files.File("in.wav"), 3 * kBlock);
    SetField(*window, IDC_SOURCE_PATH, files.File("in.wav"));

    // A FIFO as the output is refused at once instead of hanging the window.
    ASSERT_EQ(mkfifo((files.Path() / "fifo").c_str(), 0600), 0);
    SetField(*window, IDC_OUTPUT_PATH, files.File("fifo"));
    Button(*window, IDC_SAVE)->click();
    EXPECT_EQ(messages.Texts(), QStringList{Text(messages::kStartSaveFailed)});
    EXPECT_TRUE(std::filesystem::is_fifo(files.Path() / "fifo"));
    ExpectIdle(*window);

    SetField(*window, IDC_OUTPUT_PATH, files.File("out.wav"));
    constexpr std::int64_t kBlockBytes = kBlock * 4;  // the default save format: stereo, 16 bits
    const struct {
        WavWriterSeams seams;
        const char* message;
    } cases[] = {
        {{WavMaxDataBytes, kBlockBytes + 8, ENOSPC}, messages::kDiskFull},
        {{WavMaxDataBytes, kBlockBytes + 8, EIO}, messages::kOutputWriteFailed},
        {{2 * kBlockBytes + 6, -1, 0}, messages::kSizeLimitReached},
    };
    for (const auto& fault : cases) {
        messages.Clear();
        SetWavWriterSeams(fault.seams);
        Button(*window, IDC_SAVE)->click();
        const bool ended = apptest::WaitUntil([&] { return !messages.Texts().isEmpty(); });
        SetWavWriterSeams(WavWriterSeams{});
        ASSERT_TRUE(ended);
        EXPECT_EQ(messages.Texts(), QStringList{Text(fault.message)});
        ExpectIdle(*window);
    }
    // Only the size limit kept its file, cut at the last whole frame.
    const apptest::WavContents kept = apptest::ReadTestWav(files.File("out.wav"));
    ASSERT_TRUE(kept.opened);
    EXPECT_EQ(kept.frames, 2 * kBlock + 1);
}

TEST(WindowFaults, ASlowPluginNeverFreezesTheWindow) {
    ScratchFolder plugins;
    ScratchFolder files;
    LinkFaultPlugin(plugins.Path(), "sleepy.so", "sleepy");
    MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    WriteSource(files.File("in.wav"), 8 * kBlock);
    SetField(*window, IDC_SOURCE_PATH, files.File("in.wav"));

    // Starting to play waits for three blocks of 400 ms each.
    const ClickWatch start = ClickWatchingTheWindow(Button(*window, IDC_PLAY));
    EXPECT_TRUE(start.answeredDuringClick);
    EXPECT_TRUE(start.waitCursorDuringClick);
    ASSERT_EQ(window->CurrentJobState(), JOB_PLAYING);
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();

    // Stopping waits for the block in progress.
    Button(*window, IDC_PLAY)->click();
    EXPECT_EQ(window->CurrentJobState(), JOB_IDLE);
    apptest::WaitUntil([] { return false; }, 100);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr) << "the arrow is back";
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();
}

TEST(WindowFaults, AStopPressedWhileAPlayStartsEndsItWithinOnePluginCall) {
    ScratchFolder plugins;
    ScratchFolder files;
    const auto sleepy = LinkFaultPlugin(plugins.Path(), "sleepy.so", "sleepy");
    MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    window->show();  // the press lands on the visible button
    PluginVariable<int>(sleepy, "SleepMilliseconds") = 2000;
    WriteSource(files.File("in.wav"), 8 * kBlock);
    SetField(*window, IDC_SOURCE_PATH, files.File("in.wav"));

    // The start makes three blocks of 2 s each; the button is pressed again 1 s in.
    QPushButton* play = Button(*window, IDC_PLAY);
    QElapsedTimer sincePress;
    QTimer::singleShot(1000, window.get(), [&] {
        sincePress.start();
        const QPointF center = QRectF(play->rect()).center();
        QMouseEvent release(QEvent::MouseButtonRelease, center, play->mapToGlobal(center), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(play, &release);
    });
    play->click();
    ASSERT_TRUE(sincePress.isValid()) << "the start ended before the press";
    EXPECT_LT(sincePress.elapsed(), 2500) << "within the plug-in call in progress";
    EXPECT_EQ(play->text(), Text(mainwindow::kPlay));
    apptest::WaitUntil([] { return false; }, 300);  // a lost press would leave the play running
    EXPECT_EQ(window->CurrentJobState(), JOB_IDLE);
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();
}

TEST(WindowFaults, ClosingWhileAPluginNeverReturnsEndsWithinFiveSecondsAndKeepsTheFile) {
    ScratchFolder plugins;
    ScratchFolder files;
    const auto hang = LinkFaultPlugin(plugins.Path(), "never_returns.so", "hang");
    MessageRecorder messages;
    auto window = apptest::OpenWindow(plugins.Path(), messages);
    window->show();
    PluginVariable<std::atomic<int>>(hang, "HangAfterBlocks") = 2;
    auto& hanging = PluginVariable<std::atomic<int>>(hang, "Hanging");
    WriteSource(files.File("in.wav"), 10 * kBlock);
    SetField(*window, IDC_SOURCE_PATH, files.File("in.wav"));
    SetField(*window, IDC_OUTPUT_PATH, files.File("out.wav"));
    Button(*window, IDC_SAVE)->click();
    ASSERT_EQ(window->CurrentJobState(), JOB_SAVING);
    ASSERT_TRUE(apptest::WaitUntil([&] { return hanging.load() == 1; }));

    // Interrupt waits on the plug-in; the user closes the window meanwhile.
    QElapsedTimer sinceClose;
    QTimer::singleShot(300, window.get(), [&] {
        sinceClose.start();
        window->close();
    });
    const ClickWatch interrupt = ClickWatchingTheWindow(Button(*window, IDC_SAVE));
    EXPECT_TRUE(interrupt.answeredDuringClick);
    ASSERT_TRUE(apptest::WaitUntil([&] { return !window->isVisible(); }, 2000)) << "the close went through";
    window.reset();
    EXPECT_LT(sinceClose.elapsed(), 5000);
    EXPECT_TRUE(CMainDialog::WorkerAbandoned());
    EXPECT_TRUE(messages.Texts().isEmpty()) << messages.Texts().join(u'|').toStdString();

    // The file holds the two blocks that were done, under the output name.
    const apptest::WavContents kept = apptest::ReadTestWav(files.File("out.wav"));
    ASSERT_TRUE(kept.opened);
    EXPECT_EQ(kept.frames, 2 * kBlock);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.Path()), {}), 2);

    // Should the plug-in come back after all, the worker leaves the file alone.
    const std::string before = ReadBytes(files.Path() / "out.wav");
    PluginVariable<std::atomic<int>>(hang, "Release") = 1;
    ASSERT_TRUE(apptest::WaitUntil([&] { return hanging.load() == 0; }));
    apptest::WaitUntil([] { return false; }, 300);
    EXPECT_EQ(ReadBytes(files.Path() / "out.wav"), before);
}

TEST(WindowFaults, ACloseSignalEndsASaveAsInterruptedWithinThreeSecondsLeavingOnlyTheOutput) {
    ScratchFolder plugins;
    ScratchFolder files;
    LinkFaultPlugin(plugins.Path(), "sleepy.so", "sleepy");
    WriteSource(files.File("in.wav"), 20 * kBlock);
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
        MessageRecorder messages;
        auto window = apptest::OpenWindow(plugins.Path(), messages);
        SetField(*window, IDC_SOURCE_PATH, files.File("in.wav"));
        SetField(*window, IDC_OUTPUT_PATH, files.File("out.wav"));
        Button(*window, IDC_SAVE)->click();
        ASSERT_EQ(window->CurrentJobState(), JOB_SAVING);
        apptest::WaitUntil([] { return false; }, 1000);
        QElapsedTimer sinceSignal;
        sinceSignal.start();
        ASSERT_EQ(kill(getpid(), signal), 0);
        ASSERT_TRUE(apptest::WaitUntil([&] { return !window->isVisible(); }, 3000)) << signal;
        window.reset();
        EXPECT_LT(sinceSignal.elapsed(), 3000) << signal;
        const apptest::WavContents kept = apptest::ReadTestWav(files.File("out.wav"));
        ASSERT_TRUE(kept.opened) << signal;
        EXPECT_TRUE(kept.frames >= kBlock && kept.frames < 20 * kBlock) << "the blocks done before the signal";
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(files.Path()), {}), 2);
        std::filesystem::remove(files.Path() / "out.wav");
    }
}
