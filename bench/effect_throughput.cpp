// Throughput of the standard effect: EffectEnt's flow over 60 seconds of a
// synthetic stereo signal in blocks of 65536 samples, one thread, timed in
// CPU seconds. Prints seconds of audio per CPU second for each setting.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <numbers>
#include <vector>

#include "effect_run.h"
#include "parameter_block.h"

namespace {

constexpr int BlockFrames = 65536;
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

/// Chords with vibrato, a beat and some noise: every band has content.
std::vector<double> Signal(int rate, int channel) {
    std::vector<double> x(static_cast<std::size_t>(rate) * Seconds);
    std::uint32_t seed = 1 + channel;
    const double base[4] = {110.0, 220.0 * 1.26, 440.0 * 1.5, 1760.0};
    for (std::size_t t = 0; t < x.size(); ++t) {
        const double time = static_cast<double>(t) / rate;
        double v = 0.0;
        for (int k = 0; k < 4; ++k) {
            const double f = base[k] * (1.0 + 0.003 * std::sin(2 * std::numbers::pi * 5 * time));
            v += 0.15 * std::sin(2 * std::numbers::pi * f * time + channel);
        }
        seed = seed * 1664525u + 1013904223u;
        v += 0.05 * (static_cast<double>(seed >> 8) / (1u << 24) - 0.5) * (std::fmod(time, 0.5) < 0.05);
        x[t] = v;
    }
    return x;
}

double CpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

struct Case {
    const char* name;
    double pitch;
    double speed;
    double reverb;
};

double Run(const Case& c, int rate, const std::vector<double>& left, const std::vector<double>& right) {
    ResetParameterBlock();
    PitchOctaves.store(c.pitch);
    SpeedExponent.store(c.speed);
    ReverbAmount.store(c.reverb);
    EffectRun run;
    host.capacity = 100;
    ResizeOutput(100);
    const double start = CpuSeconds();
    run.Construct();
    long produced = 0;
    std::vector<double> block[2] = {std::vector<double>(BlockFrames), std::vector<double>(BlockFrames)};
    for (std::size_t offset = 0; offset < left.size(); offset += BlockFrames) {
        // The last, partial block is padded with silence, as the engine does.
        std::fill(block[0].begin(), block[0].end(), 0.0);
        std::fill(block[1].begin(), block[1].end(), 0.0);
        const std::size_t take = std::min<std::size_t>(BlockFrames, left.size() - offset);
        std::copy_n(left.begin() + static_cast<long>(offset), take, block[0].begin());
        std::copy_n(right.begin() + static_cast<long>(offset), take, block[1].begin());
        const ChannelBuffers in{{block[0].data(), block[1].data()}};
        produced += run.Process(rate, BlockFrames, &in, &host.buffers, &host.capacity, ResizeOutput);
    }
    run.Destruct();
    const double elapsed = CpuSeconds() - start;
    std::printf("%6d Hz  %-22s %8.1f s audio per CPU s  (%.3f CPU s, %ld output frames)\n", rate, c.name,
                Seconds / elapsed, elapsed, produced);
    return Seconds / elapsed;
}

}  // namespace

int main() {
    const Case cases[] = {
        {"defaults", 0.0, 0.0, 0.0},
        {"pitch +0.4166666", 0.4166666, 0.0, 0.0},
        {"speed x2", 0.0, 1.0, 0.0},
        {"speed x0.5", 0.0, -1.0, 0.0},
        {"reverb 0.5", 0.0, 0.0, 0.5},
    };
    for (int rate : {44100, 22050}) {
        const std::vector<double> left = Signal(rate, 0), right = Signal(rate, 1);
        for (const Case& c : cases) {
            Run(c, rate, left, right);
        }
    }
    return 0;
}
