// A private sound server for playback tests and measurements: PulseAudio
// (or PipeWire's pulse server) with a null sink "t" at 44100 Hz, 16-bit
// stereo, in a folder of its own, and a recorder of the sink's monitor.
// Everything started here is stopped by its process id.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace soundtest {

inline constexpr int kSinkRate = 44100;

/// pulseaudio -n --daemonize=no --exit-idle-time=-1 with the null sink and
/// the native protocol on a socket in `folder`. Works as root too.
class PulseServer {
public:
    explicit PulseServer(const std::filesystem::path& folder);
    ~PulseServer();
    PulseServer(const PulseServer&) = delete;
    PulseServer& operator=(const PulseServer&) = delete;

    /// True once the server answers on its socket.
    bool Ready() const { return ready_; }
    /// Points this process's sound clients (SDL's pulseaudio driver) at it.
    void UseFromThisProcess() const;
    /// Ends the server at once (SIGKILL), as if it had crashed.
    void Kill();
    /// The environment a client process needs, as NAME=value entries.
    std::vector<std::string> ClientEnvironment() const;

private:
    std::filesystem::path folder_;
    pid_t pid_ = -1;
    bool ready_ = false;
};

/// parec on the monitor of sink "t": raw 16-bit stereo at 44100 Hz, read on
/// a thread of its own, with the time each chunk arrived.
class MonitorRecorder {
public:
    explicit MonitorRecorder(const PulseServer& server) : MonitorRecorder(server.ClientEnvironment()) {}
    /// Records from the server that `clientEnvironment` (NAME=value) names.
    explicit MonitorRecorder(const std::vector<std::string>& clientEnvironment);
    ~MonitorRecorder();
    MonitorRecorder(const MonitorRecorder&) = delete;
    MonitorRecorder& operator=(const MonitorRecorder&) = delete;

    /// Interleaved samples recorded so far.
    std::vector<std::int16_t> Samples();
    /// When frame `frame` arrived here (the arrival of its chunk, less the
    /// time of the frames after it in that chunk).
    std::chrono::steady_clock::time_point ArrivalOf(std::size_t frame);
    /// Stops parec and the reader.
    void Stop();

private:
    struct Chunk {
        std::size_t endFrame;
        std::chrono::steady_clock::time_point arrived;
    };
    void Read(int fd);

    pid_t pid_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::vector<std::int16_t> samples_;
    std::vector<Chunk> chunks_;
};

/// Index of the first frame (of 2 channels) after `from` that is not silent,
/// or the frame count when there is none.
std::size_t FirstSoundingFrame(const std::vector<std::int16_t>& samples, std::size_t from = 0);
/// Index after the last frame that is not silent, or 0.
std::size_t EndOfSound(const std::vector<std::int16_t>& samples);

}  // namespace soundtest
