// What the two listening benchmarks share: waiting while the window's events
// run, the figures they print, a stereo WAV written from a sample function,
// and the sound server they play through.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sound_server.h"

namespace rig {

using Clock = std::chrono::steady_clock;

/// Runs the window's events until `done` or `limit`; false on the limit.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit);
/// Runs the window's events for `time`.
void Pause(std::chrono::milliseconds time);
/// A duration in milliseconds.
double Ms(Clock::duration d);

/// Times in milliseconds, printed as their median and maximum.
struct Figures {
    std::vector<double> values;
    void Add(double v) { values.push_back(v); }
    /// One line: `name` in a column `width` wide, then the figures and how
    /// many `unit` they came from.
    void Print(const char* name, int width, const char* unit);
};

/// Writes a 16-bit stereo WAV of `frames` frames at the sink's rate, each
/// sample given by `sample(frame, channel)`.
void WriteStereo(const std::string& path, long frames, const std::function<std::int16_t(long, int)>& sample);

/// The server to play through: the one ZAREVO_PULSE_SERVER names, or a
/// private PulseAudio under `folder`. Sets this process up to use it and
/// fills `clientEnvironment` for recorders. False when the private server
/// did not start.
bool UseSoundServer(const std::string& folder, std::unique_ptr<soundtest::PulseServer>& server,
                    std::vector<std::string>& clientEnvironment);

}  // namespace rig
