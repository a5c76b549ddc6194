// The private sound server and the monitor recorder; see sound_server.h.
#include "sound_server.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

extern char** environ;

namespace soundtest {

namespace {

using namespace std::chrono_literals;

/// Starts `argv` with `environment` added to this process's own, stdout to
/// `stdoutFd` when given and stderr to /dev/null.
pid_t Spawn(const std::vector<std::string>& argv, const std::vector<std::string>& environment, int stdoutFd = -1) {
    std::vector<std::string> env(environment);
    for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<std::string> args(argv);
    std::vector<char*> argp;
    for (std::string& arg : args) argp.push_back(arg.data());
    argp.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutFd >= 0) posix_spawn_file_actions_adddup2(&actions, stdoutFd, STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argp[0], &actions, nullptr, argp.data(), envp.data()) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void EndProcess(pid_t& pid, int signal) {
    if (pid <= 0) return;
    kill(pid, signal);
    // Wait up to 2 s, then make sure.
    for (int waited = 0; waited < 200; ++waited) {
        if (waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(10ms);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    pid = -1;
}

bool IsSilent(const std::vector<std::int16_t>& samples, std::size_t frame) {
    return samples[2 * frame] == 0 && samples[2 * frame + 1] == 0;
}

}  // namespace

PulseServer::PulseServer(const std::filesystem::path& folder) : folder_(folder) {
    std::filesystem::create_directories(folder_);
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all);
    // No client may start a server of its own behind the test's back.
    std::ofstream(folder_ / "client.conf") << "autospawn = no\n";
    const std::string socket = (folder_ / "native").string();
    // Without rewinds: a sink that rewinds what it has already rendered, to
    // start a new stream sooner, has already passed that to its monitor, and
    // the recording then misses the stream's first tens of milliseconds,
    // which a listener at a real sink hears.
    pid_ =
        Spawn({"pulseaudio", "-n", "--daemonize=no", "--exit-idle-time=-1", "--use-pid-file=no", "--log-target=stderr",
               "-L", "module-null-sink sink_name=t rate=44100 channels=2 format=s16le norewinds=1", "-L",
               "module-native-protocol-unix auth-anonymous=1 socket=" + socket},
              {"XDG_RUNTIME_DIR=" + folder_.string(), "HOME=" + folder_.string()});
    for (int waited = 0; pid_ > 0 && waited < 500; ++waited) {
        if (std::filesystem::exists(socket)) {
            ready_ = true;
            break;
        }
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            pid_ = -1;
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    // The sink takes a moment after the socket appears.
    if (ready_) std::this_thread::sleep_for(200ms);
}

PulseServer::~PulseServer() { EndProcess(pid_, SIGTERM); }

void PulseServer::Kill() { EndProcess(pid_, SIGKILL); }

std::vector<std::string> PulseServer::ClientEnvironment() const {
    return {"PULSE_SERVER=unix:" + (folder_ / "native").string(),
            "PULSE_CLIENTCONFIG=" + (folder_ / "client.conf").string()};
}

void PulseServer::UseFromThisProcess() const {
    for (const std::string& entry : ClientEnvironment()) {
        const std::size_t equals = entry.find('=');
        setenv(entry.substr(0, equals).c_str(), entry.substr(equals + 1).c_str(), 1);
    }
    setenv("SDL_AUDIODRIVER", "pulseaudio", 1);
}

MonitorRecorder::MonitorRecorder(const std::vector<std::string>& clientEnvironment) {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = Spawn(
        {"parec", "-d", "t.monitor", "--format=s16le", "--rate=44100", "--channels=2", "--raw", "--latency-msec=5"},
        clientEnvironment, fds[1]);
    close(fds[1]);
    const int readEnd = fds[0];
    reader_ = std::thread([this, readEnd] {
        Read(readEnd);
        close(readEnd);
    });
    // Recording starts a moment after parec does.
    std::this_thread::sleep_for(300ms);
}

MonitorRecorder::~MonitorRecorder() { Stop(); }

void MonitorRecorder::Stop() {
    EndProcess(pid_, SIGTERM);
    if (reader_.joinable()) reader_.join();
}

void MonitorRecorder::Read(int fd) {
    std::vector<std::uint8_t> pending;
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) return;
        const auto now = std::chrono::steady_clock::now();
        pending.insert(pending.end(), buffer, buffer + got);
        const std::size_t whole = pending.size() / 4 * 4;
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t at = 0; at < whole; at += 2) {
            samples_.push_back(static_cast<std::int16_t>(pending[at] | (pending[at + 1] << 8)));
        }
        pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(whole));
        chunks_.push_back({samples_.size() / 2, now});
    }
}

std::vector<std::int16_t> MonitorRecorder::Samples() {
    std::lock_guard<std::mutex> lock(mutex_);
    return samples_;
}

std::chrono::steady_clock::time_point MonitorRecorder::ArrivalOf(std::size_t frame) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (const Chunk& chunk : chunks_) {
        if (frame < chunk.endFrame) {
            const auto framesAfter = static_cast<long long>(chunk.endFrame - frame);
            return chunk.arrived - std::chrono::microseconds(framesAfter * 1000000 / kSinkRate);
        }
    }
    return std::chrono::steady_clock::now();
}

std::size_t FirstSoundingFrame(const std::vector<std::int16_t>& samples, std::size_t from) {
    const std::size_t frames = samples.size() / 2;
    while (from < frames && IsSilent(samples, from)) ++from;
    return from;
}

std::size_t EndOfSound(const std::vector<std::int16_t>& samples) {
    std::size_t end = samples.size() / 2;
    while (end > 0 && IsSilent(samples, end - 1)) --end;
    return end;
}

}  // namespace soundtest
