// The window tests' helpers; see app_test_support.h.
#include "app_test_support.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <QApplication>
#include <QKeyEvent>
#include <QRadioButton>
#include <QTest>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>
#include <cstdlib>
#include <fstream>
#include <random>

namespace apptest {

namespace {

/// The window tests run without a sound card; a driver chosen by the caller
/// wins. (The QApplication comes from the shared Qt test support.)
class SoundEnvironment : public ::testing::Environment {
public:
    void SetUp() override { setenv("SDL_AUDIODRIVER", "dummy", 0); }
};

[[maybe_unused]] ::testing::Environment* const kSoundEnvironment =
    ::testing::AddGlobalTestEnvironment(new SoundEnvironment);

}  // namespace

ScratchFolder::ScratchFolder() {
    std::random_device seed;
    path_ = std::filesystem::temp_directory_path() /
            ("zarevo-app-test-" + std::to_string(seed()) + "-" + std::to_string(seed()));
    std::filesystem::create_directories(path_);
}

ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

QString ScratchFolder::File(const char* name) const {
    return QFile::decodeName(QByteArray::fromStdString(path_.string())) + u'/' + QString::fromUtf8(name);
}

void LinkTestPlugins(const std::filesystem::path& folder, const std::vector<std::string>& builtNames,
                     const std::vector<std::string>& linkNames) {
    for (std::size_t i = 0; i < builtNames.size(); ++i) {
        const std::filesystem::path built = std::filesystem::path(ZAREVO_APP_TEST_PLUGIN_DIR) / builtNames[i];
        ASSERT_TRUE(std::filesystem::exists(built)) << built;
        const std::string& linkName = linkNames.empty() ? builtNames[i] : linkNames[i];
        std::filesystem::create_symlink(built, folder / linkName);
    }
}

void WriteTestWav(const QString& path, int rate, int channels, int bits, long frames,
                  const std::function<double(long frame, int channel)>& sample) {
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    info.format = SF_FORMAT_WAV | (bits == 8 ? SF_FORMAT_PCM_U8 : SF_FORMAT_PCM_16);
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
    std::vector<double> data(static_cast<std::size_t>(frames) * channels);
    for (long frame = 0; frame < frames; ++frame) {
        for (int channel = 0; channel < channels; ++channel) {
            data[static_cast<std::size_t>(frame) * channels + channel] = sample(frame, channel);
        }
    }
    EXPECT_EQ(sf_writef_double(file, data.data(), frames), frames);
    sf_close(file);
}

WavContents ReadTestWav(const QString& path) {
    WavContents contents;
    SF_INFO info{};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file) return contents;
    contents.opened = true;
    contents.rate = info.samplerate;
    contents.channels = info.channels;
    contents.frames = static_cast<long>(info.frames);
    contents.samples.resize(static_cast<std::size_t>(info.frames) * info.channels);
    sf_readf_double(file, contents.samples.data(), info.frames);
    sf_close(file);
    return contents;
}

MessageRecorder::MessageRecorder() {
    previous_ = SetMessageSink([this](QWidget*, const QString& text) { texts_.push_back(text); });
}

MessageRecorder::~MessageRecorder() { SetMessageSink(previous_); }

std::unique_ptr<CMainDialog> OpenWindow(const std::filesystem::path& pluginFolder, MessageRecorder& messages) {
    auto window = std::make_unique<CMainDialog>(pluginFolder.string());
    for (const QString& text : messages.Texts()) {
        EXPECT_EQ(text, QString::fromUtf8(messages::kNoPlaybackDevice));
    }
    messages.Clear();
    return window;
}

bool WaitUntil(const std::function<bool()>& done, int timeoutMs) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(5);
    }
    return true;
}

std::filesystem::path StartPluginLog(const std::filesystem::path& folder) {
    const std::filesystem::path log = folder / "plugin-calls.log";
    std::ofstream(log).flush();
    setenv("ZAREVO_TEST_PLUGIN_LOG", log.c_str(), 1);
    return log;
}

std::vector<std::string> ReadPluginLog(const std::filesystem::path& log) {
    std::vector<std::string> lines;
    std::ifstream in(log);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::vector<int> CheckedRadios(const dialogkit::TableDialog& dialog, int first, int last) {
    std::vector<int> checked;
    for (int id = first; id <= last; ++id) {
        auto* radio = qobject_cast<QRadioButton*>(dialog.Control(id));
        if (radio && radio->isChecked()) checked.push_back(id);
    }
    return checked;
}

void Focus(QWidget* control) {
    control->window()->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(control->window()));
    control->setFocus();
}

void PressKey(QWidget* target, int key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

}  // namespace apptest
