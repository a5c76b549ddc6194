// Plays through a private PulseAudio server (or the pulse server named by
// ZAREVO_PULSE_SERVER, e.g. PipeWire's) from the real main window and
// measures what a listener hears, recording the sink's monitor:
//  - without plug-ins, a 3 s tone played N times: plays with a gap (1 ms or
//    more of silence inside the sound) and the end cut (frames of the source
//    missing at the end), plus the first-sound latency;
//  - with the shipped plug-ins at their initial settings: the first-sound
//    latency (click on Play to the first sample at the sink) and the
//    stop-to-silence time (click on Stop after 1 s to the last sample).
// scripts/playback-under-load.sh runs it with two busy loops.
#include <sndfile.h>

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <vector>

#include "listening_rig.h"
#include "sound_server.h"

namespace {

using namespace rig;
using namespace std::chrono_literals;

/// Writes the test tone and returns its samples, interleaved.
std::vector<std::int16_t> WriteTone(const std::string& path, long frames) {
    const auto sample = [](long frame, int channel) {
        const double phase = 2 * M_PI * 441 * static_cast<double>(frame) / soundtest::kSinkRate;
        const double value = channel == 0 ? 0.3 + 0.2 * std::sin(phase) : -0.25 + 0.1 * std::cos(phase);
        return static_cast<std::int16_t>(std::lround(32768 * value));
    };
    WriteStereo(path, frames, sample);
    std::vector<std::int16_t> samples;
    for (long frame = 0; frame < frames; ++frame) {
        samples.push_back(sample(frame, 0));
        samples.push_back(sample(frame, 1));
    }
    return samples;
}

}  // namespace

int main(int argc, char** argv) {
    const int plays = argc > 1 ? std::atoi(argv[1]) : 20;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const Bench bench("zarevo-playback");
    if (!bench.Ready()) return 1;
    const std::filesystem::path& folder = bench.Folder();
    const std::vector<std::string>& clientEnvironment = bench.ClientEnvironment();
    QApplication application(argc, argv);
    const std::string tonePath = (folder / "tone.wav").string();
    const std::vector<std::int16_t> tone = WriteTone(tonePath, 3 * soundtest::kSinkRate);
    const std::size_t toneFrames = tone.size() / 2;

    int gapPlays = 0;
    Figures endCut, firstSoundBare, firstSoundDefault, stopToSilence, started;
    {
        Window window((folder / "none").string(), tonePath);
        for (int play = 0; play < plays; ++play) {
            soundtest::MonitorRecorder recorder(clientEnvironment);
            const auto clicked = Clock::now();
            window.ClickPlay();
            started.Add(Ms(Clock::now() - clicked));
            WaitUntil([&] { return !window.Playing(); }, 20s);
            Pause(300ms);
            recorder.Stop();
            const std::vector<std::int16_t> heard = recorder.Samples();
            const std::size_t start = soundtest::FirstSoundingFrame(heard);
            const std::size_t end = soundtest::EndOfSound(heard);
            if (start >= end) {
                std::printf("play %d: nothing heard\n", play + 1);
                continue;
            }
            firstSoundBare.Add(Ms(recorder.ArrivalOf(start) - clicked));
            // A gap is silence inside the sound, 1 ms or longer; the tone
            // itself has none (a resampling server may round single frames
            // of it to zero).
            std::size_t silentInside = 0;
            std::size_t run = 0;
            bool gap = false;
            std::vector<std::int16_t> sound;
            for (std::size_t f = start; f < end; ++f) {
                if (heard[2 * f] == 0 && heard[2 * f + 1] == 0) {
                    ++silentInside;
                    gap = gap || ++run >= soundtest::kSinkRate / 1000;
                } else {
                    run = 0;
                    sound.insert(sound.end(), {heard[2 * f], heard[2 * f + 1]});
                }
            }
            if (gap) ++gapPlays;
            const std::size_t matched = std::min(sound.size(), tone.size());
            const bool same =
                std::equal(sound.begin(), sound.begin() + static_cast<std::ptrdiff_t>(matched), tone.begin());
            endCut.Add(1000.0 * static_cast<double>(toneFrames - matched / 2) / soundtest::kSinkRate);
            std::printf("play %2d: %s, %zu silent frames inside, %zu of %zu frames heard\n", play + 1,
                        same ? "same samples" : "DIFFERENT samples", silentInside, sound.size() / 2, toneFrames);
        }
    }
    {
        Window window(ZAREVO_PLUGIN_OUTPUT_DIR, tonePath);
        for (int play = 0; play < plays; ++play) {
            soundtest::MonitorRecorder recorder(clientEnvironment);
            const auto clicked = Clock::now();
            window.ClickPlay();
            started.Add(Ms(Clock::now() - clicked));
            WaitUntil(
                [&] {
                    const std::vector<std::int16_t> heard = recorder.Samples();
                    return soundtest::FirstSoundingFrame(heard) < heard.size() / 2;
                },
                10s);
            const std::vector<std::int16_t> first = recorder.Samples();
            firstSoundDefault.Add(Ms(recorder.ArrivalOf(soundtest::FirstSoundingFrame(first)) - clicked));
            Pause(1000ms);
            const auto stopped = Clock::now();
            window.ClickPlay();  // Stop
            Pause(600ms);
            recorder.Stop();
            const std::vector<std::int16_t> heard = recorder.Samples();
            stopToSilence.Add(Ms(recorder.ArrivalOf(soundtest::EndOfSound(heard)) - stopped));
        }
    }
    std::printf("\nplays with a gap >= 1 ms (no plug-ins): %d of %d\n", gapPlays, plays);
    endCut.Print("end cut (no plug-ins)", 34, "plays");
    firstSoundBare.Print("first sound (no plug-ins)", 34, "plays");
    firstSoundDefault.Print("first sound (shipped plug-ins)", 34, "plays");
    started.Print("  of which the click (job started)", 34, "plays");
    stopToSilence.Print("stop to silence (shipped plug-ins)", 34, "plays");
    return 0;
}
