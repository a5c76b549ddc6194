// Throughput of the standard effect: EffectEnt's flow over a generated minute
// of 44.1 kHz stereo music-like sound, fed in blocks of 65536 samples as the
// engine feeds it. Prints, for each setting, seconds of audio per CPU second
// (all threads of the process) and per wall second, the best of several
// runs, and the peak resident memory. When soundstretch is on the PATH, the
// same sound is written to a WAV file and soundstretch's figures on it are
// printed beside ours, with the ratio.
//
// Usage: effect_throughput [repeats]   (default 3)
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numbers>
#include <string>
#include <vector>

#include "effect_run.h"
#include "parameter_block.h"

namespace {

constexpr int BlockFrames = 65536;
constexpr int Rate = 44100;
constexpr int Seconds = 60;

struct HostOutput {
    std::vector<double> channels[2];
    ChannelBuffers buffers{};
    int capacity = 0;
};
HostOutput host;

void ResizeOutput(int n) {
    for (int ch = 0; ch < 2; ++ch) {
        host.channels[ch].resize(static_cast<std::size_t>(n));
        host.buffers.channel[ch] = host.channels[ch].data();
    }
    host.capacity = n;
}

/// Chords with vibrato, a beat and some noise, as interleaved 16-bit PCM (the
/// form the engine reads and soundstretch is given): every band has content.
std::vector<std::int16_t> MusicLikeSignal() {
    const std::size_t frames = static_cast<std::size_t>(Rate) * Seconds;
    std::vector<std::int16_t> pcm(2 * frames);
    const double base[4] = {110.0, 220.0 * 1.26, 440.0 * 1.5, 1760.0};
    for (int channel = 0; channel < 2; ++channel) {
        std::uint32_t seed = 1 + channel;
        double phase[4] = {};
        for (std::size_t t = 0; t < frames; ++t) {
            const double time = static_cast<double>(t) / Rate;
            double v = 0.0;
            for (int k = 0; k < 4; ++k) {
                const double f = base[k] * (1.0 + 0.003 * std::sin(2 * std::numbers::pi * 5 * time));
                phase[k] += 2 * std::numbers::pi * f / Rate;
                v += 0.15 * std::sin(phase[k] + channel);
            }
            seed = seed * 1664525u + 1013904223u;
            v += 0.05 * (static_cast<double>(seed >> 8) / (1u << 24) - 0.5) * (std::fmod(time, 0.5) < 0.05);
            pcm[2 * t + channel] = static_cast<std::int16_t>(std::lround(v * 32767.0));
        }
    }
    return pcm;
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double WallSeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

struct Case {
    const char* name;
    double pitch;  // octaves
    double speed;  // base-2 logarithm of the speed factor
    const char* soundstretchOptions;
};

struct Figures {
    double perCpu = 0.0;
    double perWall = 0.0;
};

/// One pass over the whole signal: Constructer, EffectEnt per block as the
/// engine calls it (16-bit PCM converted to doubles per block), Destructer.
Figures RunOnce(const Case& c, const std::vector<std::int16_t>& pcm) {
    ResetParameterBlock();
    PitchOctaves.store(c.pitch);
    SpeedExponent.store(c.speed);
    EffectRun& run = StandardEffectRun();
    ResizeOutput(100);
    std::vector<double> block[2] = {std::vector<double>(BlockFrames), std::vector<double>(BlockFrames)};
    const std::size_t frames = pcm.size() / 2;
    const double cpuStart = CpuSeconds();
    const double wallStart = WallSeconds();
    run.Construct();
    long produced = 0;
    for (std::size_t offset = 0; offset < frames; offset += BlockFrames) {
        // The last, partial block is padded with silence, as the engine does.
        const std::size_t take = std::min<std::size_t>(BlockFrames, frames - offset);
        for (int ch = 0; ch < 2; ++ch) {
            for (std::size_t i = 0; i < BlockFrames; ++i) {
                block[ch][i] = i < take ? pcm[2 * (offset + i) + ch] / 32768.0 : 0.0;
            }
        }
        const ChannelBuffers in{{block[0].data(), block[1].data()}};
        produced += run.Process(Rate, BlockFrames, &in, &host.buffers, &host.capacity, ResizeOutput);
    }
    run.Destruct();
    const Figures figures{Seconds / (CpuSeconds() - cpuStart), Seconds / (WallSeconds() - wallStart)};
    if (produced <= 0) {
        std::fprintf(stderr, "%s: no output\n", c.name);
        std::exit(1);
    }
    return figures;
}

bool SoundstretchInstalled() { return std::system("command -v soundstretch >/dev/null 2>&1") == 0; }

void WriteWav(const std::string& path, const std::vector<std::int16_t>& pcm) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror(path.c_str());
        std::exit(1);
    }
    const auto le32 = [file](std::uint32_t v) {
        const unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                                    static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
        std::fwrite(b, 1, 4, file);
    };
    const auto le16 = [file](std::uint16_t v) {
        const unsigned char b[2] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8)};
        std::fwrite(b, 1, 2, file);
    };
    const auto bytes = static_cast<std::uint32_t>(pcm.size() * 2);
    std::fwrite("RIFF", 1, 4, file);
    le32(36 + bytes);
    std::fwrite("WAVEfmt ", 1, 8, file);
    le32(16);
    le16(1);
    le16(2);
    le32(Rate);
    le32(Rate * 4);
    le16(4);
    le16(16);
    std::fwrite("data", 1, 4, file);
    le32(bytes);
    for (std::int16_t sample : pcm) le16(static_cast<std::uint16_t>(sample));
    if (std::fclose(file) != 0) {
        std::perror(path.c_str());
        std::exit(1);
    }
}

/// soundstretch on the same sound, timed by the CPU seconds of the child.
Figures RunSoundstretch(const Case& c, const std::string& input, const std::string& output) {
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    const double wallStart = WallSeconds();
    const std::string command =
        "soundstretch '" + input + "' '" + output + "' " + c.soundstretchOptions + " >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "soundstretch failed: %s\n", command.c_str());
        return {};
    }
    const double wall = WallSeconds() - wallStart;
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; };
    const double cpu =
        seconds(after.ru_utime) + seconds(after.ru_stime) - seconds(before.ru_utime) - seconds(before.ru_stime);
    return {Seconds / cpu, Seconds / wall};
}

/// The effect's share of the first sound: Constructer and the three blocks
/// the engine processes before the device starts, in wall and CPU
/// milliseconds.
Figures FirstBlocksMilliseconds(const std::vector<std::int16_t>& pcm) {
    ResetParameterBlock();
    EffectRun& run = StandardEffectRun();
    ResizeOutput(100);
    std::vector<double> block[2] = {std::vector<double>(BlockFrames), std::vector<double>(BlockFrames)};
    const double start = WallSeconds();
    const double cpuStart = CpuSeconds();
    run.Construct();
    for (int b = 0; b < 3; ++b) {
        for (int ch = 0; ch < 2; ++ch) {
            for (std::size_t i = 0; i < BlockFrames; ++i) {
                block[ch][i] = pcm[2 * (b * static_cast<std::size_t>(BlockFrames) + i) + ch] / 32768.0;
            }
        }
        const ChannelBuffers in{{block[0].data(), block[1].data()}};
        run.Process(Rate, BlockFrames, &in, &host.buffers, &host.capacity, ResizeOutput);
    }
    const Figures elapsed{(CpuSeconds() - cpuStart) * 1000.0, (WallSeconds() - start) * 1000.0};
    run.Destruct();
    return elapsed;
}

void KeepBest(Figures& best, const Figures& next) {
    best.perCpu = std::max(best.perCpu, next.perCpu);
    best.perWall = std::max(best.perWall, next.perWall);
}

}  // namespace

int main(int argc, char** argv) {
    const int repeats = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    const Case cases[] = {
        {"defaults", 0.0, 0.0, "-pitch=0"},
        {"pitch +5 semitones", 5.0 / 12.0, 0.0, "-pitch=5"},
        {"speed x2", 0.0, 1.0, "-tempo=100"},
        {"pitch -1 octave", -1.0, 0.0, "-pitch=-12"},
    };
    const std::vector<std::int16_t> pcm = MusicLikeSignal();
    // Before anything else has run: the first job of a process pays for the
    // transform plans and tables as well.
    const Figures firstJob = FirstBlocksMilliseconds(pcm);
    const Figures laterJob = FirstBlocksMilliseconds(pcm);
    const bool peer = SoundstretchInstalled();
    std::string input, output;
    if (peer) {
        const char* tmp = std::getenv("TMPDIR");
        const std::string folder = tmp != nullptr && *tmp != '\0' ? tmp : "/tmp";
        input = folder + "/zarevo_bench_" + std::to_string(getpid()) + "_in.wav";
        output = folder + "/zarevo_bench_" + std::to_string(getpid()) + "_out.wav";
        WriteWav(input, pcm);
    }
    std::printf(
        "%d s of %d Hz stereo in blocks of %d, best of %d; seconds of audio per CPU second "
        "and per wall second\n",
        Seconds, Rate, BlockFrames, repeats);
    std::printf("%-20s %9s %9s", "setting", "per CPU", "per wall");
    if (peer) std::printf(" | %13s %13s %11s", "soundstretch", "(per wall)", "ours/theirs");
    std::printf("\n");
    for (const Case& c : cases) {
        Figures ours;
        Figures theirs;
        for (int r = 0; r < repeats; ++r) {
            KeepBest(ours, RunOnce(c, pcm));
            if (peer) KeepBest(theirs, RunSoundstretch(c, input, output));
        }
        std::printf("%-20s %8.1fx %8.1fx", c.name, ours.perCpu, ours.perWall);
        if (peer && theirs.perCpu > 0.0) {
            std::printf(" | %12.1fx %12.1fx %10.2f", theirs.perCpu, theirs.perWall, ours.perCpu / theirs.perCpu);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    if (peer) {
        std::remove(input.c_str());
        std::remove(output.c_str());
    }
    std::printf(
        "defaults, Constructer and the first three blocks: first job of the process %.1f ms CPU "
        "(%.1f ms wall), a later job %.1f ms CPU (%.1f ms wall)\n",
        firstJob.perCpu, firstJob.perWall, laterJob.perCpu, laterJob.perWall);
    rusage self{};
    getrusage(RUSAGE_SELF, &self);
    std::printf("peak RSS of this process: %.1f MB\n", static_cast<double>(self.ru_maxrss) / 1024.0);
    return 0;
}
