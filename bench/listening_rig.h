// What the two listening benchmarks share: waiting while the window's events
// run, the figures they print, a stereo WAV written from a sample function,
// the main window set up to play, and the folder and sound server they play
// through.
#pragma once

#include <chrono>
#include <filesystem>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "main_dialog.h"
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

/// The main window with the plug-ins found in `plugins`, given `source` to
/// play at 44.1 kHz, 16-bit stereo, once it shows the source's length. The
/// messages it shows go to stdout.
class Window {
public:
    Window(const std::string& plugins, const std::string& source);
    ~Window();
    void ClickPlay();
    bool Playing() const;
    CMainDialog& Dialog() { return window_; }

private:
    CMainDialog window_;
};

/// A benchmark's scratch folder, holding an empty plug-in folder "none",
/// and the sound server it plays through: the one ZAREVO_PULSE_SERVER names,
/// or a private PulseAudio in the folder. This process is set up to use it
/// as the program sets itself up. Both go when the Bench does.
class Bench {
public:
    /// `name` starts the folder's name.
    explicit Bench(const std::string& name);
    ~Bench();
    /// False when the private server did not start.
    bool Ready() const { return ready_; }
    const std::filesystem::path& Folder() const { return folder_; }
    /// What a recorder needs to reach the server.
    const std::vector<std::string>& ClientEnvironment() const { return clientEnvironment_; }

private:
    std::filesystem::path folder_;
    std::unique_ptr<soundtest::PulseServer> server_;
    std::vector<std::string> clientEnvironment_;
    bool ready_ = false;
};

}  // namespace rig
