// What the two listening benchmarks share (see listening_rig.h).
#include "listening_rig.h"

#include <sndfile.h>

#include <QApplication>
#include <algorithm>
#include <cstdio>
#include <cstdlib>

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

bool UseSoundServer(const std::string& folder, std::unique_ptr<soundtest::PulseServer>& server,
                    std::vector<std::string>& clientEnvironment) {
    if (const char* external = std::getenv("ZAREVO_PULSE_SERVER")) {
        setenv("PULSE_SERVER", external, 1);
        setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
        clientEnvironment = {std::string("PULSE_SERVER=") + external};
        return true;
    }
    server = std::make_unique<soundtest::PulseServer>(folder);
    if (!server->Ready()) {
        std::fprintf(stderr, "pulseaudio did not start\n");
        return false;
    }
    server->UseFromThisProcess();
    clientEnvironment = server->ClientEnvironment();
    return true;
}

}  // namespace rig
