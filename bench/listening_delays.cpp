// Measures how soon the listener hears what the user does, through a private
// PulseAudio server (or the one ZAREVO_PULSE_SERVER names) from the real main
// window, recording the sink's monitor:
//  - seek to heard: the slider is set during a play (no plug-ins) until the
//    first frame of the new place reaches the sink;
//  - change to heard: the standard effect's pitch is set from 0 to one
//    octave up during a play of a 441 Hz tone until the sink's tone doubles;
//    with it, the longest silence heard around the change and how far the
//    reported position moves across it beyond the time that passed (a play
//    that follows a change goes on where it was); and the longest silence
//    while the pitch is dragged, a change every 20 ms for a second;
//  - the loop's junction: frames lost, repeated or silent where an A-B loop
//    jumps back;
//  - stop to silence;
//  - the heard position the engine reports against the frame reaching the
//    sink at that moment (positive: the engine is ahead).
// scripts/listening-delays.sh runs it. Not a test: the figures depend on the
// machine.
#include <sndfile.h>

#include <QApplication>
#include <QSlider>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <vector>

#include "listening_rig.h"
#include "position_row.h"
#include "sound_server.h"
#include "wave_file.h"

namespace {

using namespace rig;
using namespace std::chrono_literals;
constexpr int kRate = soundtest::kSinkRate;
constexpr long kCycle = 30000;  // the ramp source's left channel repeats after this many frames

// Every frame of the ramp source tells its own index.
std::int16_t RampSample(long frame, int channel) {
    return static_cast<std::int16_t>(channel == 0 ? frame % kCycle + 1 : frame / kCycle + 1);
}
long RampIndex(const std::vector<std::int16_t>& heard, std::size_t frame) {
    return (heard[2 * frame + 1] - 1) * kCycle + heard[2 * frame] - 1;
}

// Zero crossings of the left channel in the 10 ms after `frame`.
int CrossingsAfter(const std::vector<std::int16_t>& heard, std::size_t frame) {
    int crossings = 0;
    for (std::size_t f = frame + 1; f < frame + kRate / 100 && 2 * f < heard.size(); ++f) {
        if ((heard[2 * f - 2] < 0) != (heard[2 * f] < 0)) ++crossings;
    }
    return crossings;
}

// The longest run of silent frames inside the sound, in milliseconds.
double LongestSilence(const std::vector<std::int16_t>& heard) {
    long silent = 0, longest = 0;
    for (std::size_t f = soundtest::FirstSoundingFrame(heard); f < soundtest::EndOfSound(heard); ++f) {
        silent = heard[2 * f] == 0 && heard[2 * f + 1] == 0 ? silent + 1 : 0;
        longest = std::max(longest, silent);
    }
    return 1000.0 * static_cast<double>(longest) / kRate;
}

}  // namespace

int main(int argc, char** argv) {
    const int times = argc > 1 ? std::atoi(argv[1]) : 10;
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    const Bench bench("zarevo-listening");
    if (!bench.Ready()) return 1;
    const std::filesystem::path& folder = bench.Folder();
    const std::vector<std::string>& clientEnvironment = bench.ClientEnvironment();
    QApplication application(argc, argv);
    const std::string rampPath = (folder / "ramp.wav").string();
    WriteStereo(rampPath, 20L * kRate, RampSample);
    const std::string tonePath = (folder / "tone.wav").string();
    WriteStereo(tonePath, 20L * kRate, [](long frame, int) {
        return static_cast<std::int16_t>(std::lround(9000 * std::sin(2 * M_PI * 441 * frame / kRate)));
    });

    Figures seekToHeard, changeToHeard, changeSilence, changeJump, stopToSilence, heardError;
    double dragSilence = -1;
    {
        Window window((folder / "none").string(), rampPath);
        for (int time = 0; time < times; ++time) {
            soundtest::MonitorRecorder recorder(clientEnvironment);
            window.Dialog().Position()->Slider()->setValue(1000);
            window.ClickPlay();
            Pause(700ms);
            const long target = (5 + time) * kRate;
            const long reported = window.Dialog().Engine()->HeardFrame();
            const auto sought = Clock::now();
            window.Dialog().Position()->Slider()->setValue(static_cast<int>(target * 1000 / kRate));
            Pause(600ms);
            const auto stopped = Clock::now();
            window.ClickPlay();
            Pause(400ms);
            recorder.Stop();
            const std::vector<std::int16_t> heard = recorder.Samples();
            // The first frame heard from the new place (past the 5 ms join).
            for (std::size_t f = 0; 2 * f + 1 < heard.size(); ++f) {
                const long index = RampIndex(heard, f);
                if (index >= target && index < target + kRate / 2) {
                    const auto at =
                        recorder.ArrivalOf(f) - std::chrono::microseconds((index - target) * 1000000 / kRate);
                    seekToHeard.Add(Ms(at - sought));
                    break;
                }
            }
            stopToSilence.Add(Ms(recorder.ArrivalOf(soundtest::EndOfSound(heard)) - stopped));
            for (std::size_t f = soundtest::FirstSoundingFrame(heard); 2 * f + 1 < heard.size(); ++f) {
                if (recorder.ArrivalOf(f) >= sought) {
                    heardError.Add(1000.0 * static_cast<double>(reported - RampIndex(heard, f)) / kRate);
                    break;
                }
            }
        }
    }
    int junctions = 0, exactJunctions = 0;
    long worstSilence = 0;
    {
        Window window((folder / "none").string(), rampPath);
        PositionRow* row = window.Dialog().Position();
        soundtest::MonitorRecorder recorder(clientEnvironment);
        row->Slider()->setValue(1000);
        row->MarkStart();
        row->Slider()->setValue(2000);
        row->MarkEnd();
        row->ToggleLoop();
        row->Slider()->setValue(1000);
        window.ClickPlay();
        Pause(std::chrono::milliseconds(1000 * times / 2 + 500));
        window.ClickPlay();
        Pause(300ms);
        recorder.Stop();
        const std::vector<std::int16_t> heard = recorder.Samples();
        const std::size_t start = soundtest::FirstSoundingFrame(heard);
        const std::size_t end = soundtest::EndOfSound(heard);
        const long fade = kRate / 200;
        long silence = 0;
        for (std::size_t f = start + 1; f < end; ++f) {
            if (heard[2 * f] == 0 && heard[2 * f + 1] == 0) {
                worstSilence = std::max(worstSilence, ++silence);
                continue;
            }
            silence = 0;
            const long previous = RampIndex(heard, f - 1), index = RampIndex(heard, f);
            // A join: the old place ran to B - 5 ms, then 5 ms of blend, then A + 5 ms.
            if (previous == 2L * kRate - fade - 1 && f + fade < end) {
                ++junctions;
                if (RampIndex(heard, f + static_cast<std::size_t>(fade)) == kRate + fade) ++exactJunctions;
            }
            (void)index;
        }
    }
    {
        Window window(ZAREVO_PLUGIN_OUTPUT_DIR, tonePath);
        const ZarevoParameterDescription* original = nullptr;
        for (const ZarevoParameterDescription* d : window.Dialog().Plugins().Descriptions()) {
            if (d != nullptr && d->parameterCount > 0 && std::strcmp(d->parameters[0].name, "PitchOctaves") == 0) {
                original = d;
            }
        }
        if (original == nullptr) {
            std::printf("the standard effect was not found\n");
        } else {
            const ZarevoParameter& pitch = original->parameters[0];
            for (int time = 0; time < times; ++time) {
                pitch.set(0.0);
                soundtest::MonitorRecorder recorder(clientEnvironment);
                window.ClickPlay();
                Pause(1000ms);
                const long positionBefore = window.Dialog().Engine()->HeardFrame();
                const auto changed = Clock::now();
                pitch.set(1.0);
                Pause(700ms);
                const double moved =
                    1000.0 * static_cast<double>(window.Dialog().Engine()->HeardFrame() - positionBefore) / kRate;
                changeJump.Add(moved - Ms(Clock::now() - changed));
                window.ClickPlay();
                Pause(200ms);
                recorder.Stop();
                const std::vector<std::int16_t> heard = recorder.Samples();
                // 441 Hz crosses zero about 9 times in 10 ms, 882 Hz about 18.
                for (std::size_t f = soundtest::FirstSoundingFrame(heard); 2 * f + 2 < heard.size();
                     f += kRate / 1000) {
                    if (recorder.ArrivalOf(f) > changed && CrossingsAfter(heard, f) >= 15) {
                        changeToHeard.Add(Ms(recorder.ArrivalOf(f) - changed));
                        break;
                    }
                }
                changeSilence.Add(LongestSilence(heard));
            }
            // A drag: the pitch moves every 20 ms for a second.
            pitch.set(0.0);
            soundtest::MonitorRecorder recorder(clientEnvironment);
            window.ClickPlay();
            Pause(1000ms);
            for (int step = 1; step <= 50; ++step) {
                pitch.set(step / 50.0);
                Pause(20ms);
            }
            Pause(500ms);
            window.ClickPlay();
            Pause(200ms);
            recorder.Stop();
            const std::vector<std::int16_t> heard = recorder.Samples();
            dragSilence = LongestSilence(heard);
            pitch.set(pitch.defaultValue);
        }
    }
    seekToHeard.Print("seek to heard", 28, "times");
    changeToHeard.Print("pitch change to heard", 28, "times");
    changeSilence.Print("silence at the change", 28, "times");
    changeJump.Print("position jump at change", 28, "times");
    stopToSilence.Print("stop to silence", 28, "times");
    heardError.Print("heard position error", 28, "times");
    std::printf("longest silence while a slider is dragged for 1 s: %.1f ms\n", dragSilence);
    std::printf("loop junctions: %d heard, %d exact (no frame lost or repeated); longest silence inside %ld frames\n",
                junctions, exactJunctions, worstSilence);
    return 0;
}
