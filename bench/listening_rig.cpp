// What the two listening benchmarks share (see listening_rig.h).
#include "listening_rig.h"

#include <sndfile.h>

#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "main_dialog_layout.h"
#include "messages.h"
#include "position_row.h"
#include "wave_out.h"

namespace rig {

bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = Clock::now() + limit;
    while (!done()) {
        if (Clock::now() > end) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 2);
    }
    return true;
}

void Pause(std::chrono::milliseconds time) {
    WaitUntil([] { return false; }, time);
}

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void Figures::Print(const char* name, int width, const char* unit) {
    if (values.empty()) {
        std::printf("%-*s no data\n", width, name);
        return;
    }
    std::sort(values.begin(), values.end());
    std::printf("%-*s median %7.1f ms, max %7.1f ms (%zu %s)\n", width, name, values[values.size() / 2], values.back(),
                values.size(), unit);
}

void WriteStereo(const std::string& path, long frames, const std::function<std::int16_t(long, int)>& sample) {
    std::vector<std::int16_t> samples;
    for (long frame = 0; frame < frames; ++frame) {
        samples.push_back(sample(frame, 0));
        samples.push_back(sample(frame, 1));
    }
    SF_INFO info{};
    info.samplerate = soundtest::kSinkRate;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    sf_writef_short(file, samples.data(), frames);
    sf_close(file);
}

Window::Window(const std::string& plugins, const std::string& source) : window_(plugins) {
    SetMessageSink([](QWidget*, const QString& text) { std::printf("message: %s\n", text.toStdString().c_str()); });
    window_.Playback().rateChoice = RATE_44100;
    window_.Playback().channels = 2;
    window_.Playback().bits = 16;
    static_cast<QLineEdit*>(window_.Control(IDC_SOURCE_PATH))->setText(QFile::decodeName(source.c_str()));
    WaitUntil([&] { return window_.Position()->Slider()->maximum() > 0; }, std::chrono::seconds(5));
}

Window::~Window() { SetMessageSink({}); }

void Window::ClickPlay() { static_cast<QPushButton*>(window_.Control(IDC_PLAY))->click(); }

bool Window::Playing() const { return window_.CurrentJobState() == JOB_PLAYING; }

Bench::Bench(const std::string& name)
    : folder_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))) {
    std::filesystem::create_directories(folder_ / "none");
    PrepareSoundServerBuffering();  // as the program does at start
    if (const char* external = std::getenv("ZAREVO_PULSE_SERVER")) {
        setenv("PULSE_SERVER", external, 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        clientEnvironment_ = {std::string("PULSE_SERVER=") + external};
        ready_ = true;
        return;
    }
    server_ = std::make_unique<soundtest::PulseServer>((folder_ / "pulse").string());
    if (!server_->Ready()) {
        std::fprintf(stderr, "pulseaudio did not start\n");
        return;
    }
    server_->UseFromThisProcess();
    clientEnvironment_ = server_->ClientEnvironment();
    ready_ = true;
}

Bench::~Bench() {
    server_.reset();
    std::filesystem::remove_all(folder_);
}

}  // namespace rig
