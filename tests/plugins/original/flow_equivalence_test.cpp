// Whole frames through the effect against the step-by-step arithmetic: the
// tabulated transform, band stage and reverb, inside the real block flow,
// must give the output of the plain transcription within 1e-9 relative.
#include <gtest/gtest.h>

#include <cmath>
#include <thread>
#include <vector>

#include "effect_run.h"
#include "host_output.h"
#include "parameter_block.h"
#include "straightforward_effect.h"

namespace {

struct Setting {
    int rate;
    double pitch;
    double speed;
    double reverb;
    double apply;
    int length;  // input samples per channel, fed in one call
};

std::vector<double> Input(int length, int channel) {
    std::vector<double> x(static_cast<std::size_t>(length));
    for (int t = 0; t < length; ++t) {
        x[t] = 0.3 * std::sin(0.043 * t + channel) + 0.2 * std::sin(0.29 * t * (1 + 0.1 * channel)) +
               0.1 * std::sin(1.9 * t);
    }
    return x;
}

/// The block flow for one call, transcribed with the plain stages.
std::vector<double> ReferenceOutput(const Setting& s, const std::vector<double> in[2], int outputChannel) {
    const std::int32_t n = FrameLengthForRate(s.rate);
    const double pitchFactor = std::pow(2.0, s.pitch);
    const double ratio = pitchFactor * std::pow(2.0, -s.speed);
    const double inversePitch = 1.0 / pitchFactor;
    const auto m = static_cast<std::int32_t>(n * ratio);
    straightforward::Generator generator;
    const bool reverbOn = s.reverb > 0.005;
    const std::vector<double> reverb = reverbOn ? straightforward::ReverbSpectrum(n, s.reverb, generator)
                                                : std::vector<double>();
    std::vector<double> overlap[2] = {std::vector<double>(m, 0.0), std::vector<double>(m, 0.0)};
    std::vector<double> out;
    bool first = true;
    for (int consumed = 0; s.length - consumed >= n; consumed += n / 2) {
        const std::int32_t h = m / 2;
        std::vector<double> dry[2];
        for (int ch = 0; ch < 2; ++ch) {
            dry[ch].assign(in[ch].begin() + consumed, in[ch].begin() + consumed + n);
            for (std::int32_t k = 0; k < h; ++k) overlap[ch][k] = overlap[ch][h + k];
            for (std::int32_t k = h; k < 2 * h; ++k) overlap[ch][k] = 0.0;
            std::vector<double> spectrum = dry[ch];
            for (double& v : spectrum) v /= n / 2;
            straightforward::RealFft(spectrum);
            if (reverbOn) straightforward::ApplyReverb(spectrum, reverb);
            straightforward::BandStage(spectrum, overlap[ch], ratio, s.rate, -1, first);
        }
        first = false;
        const auto hopOut = static_cast<std::int32_t>(h * inversePitch);
        for (std::int32_t i = 0; i < hopOut; ++i) {
            const double p = static_cast<double>(i) * h / hopOut;
            const auto j = static_cast<std::int32_t>(std::floor(p));
            const double f = p - j;
            const std::vector<double>& o = overlap[outputChannel];
            double v = o[j] * (1 - f) + o[j + 1] * f;
            if (s.apply < 1) {
                const double d = i < n ? dry[outputChannel][i] : 0.0;
                v = (1 - s.apply) * d + s.apply * v;
            }
            out.push_back(v);
        }
    }
    return out;
}

/// The same call through EffectRun, on a fresh thread so that the reverb's
/// generator starts at 1 as the reference's does.
std::vector<double> EffectOutput(const Setting& s, const std::vector<double> in[2], int outputChannel) {
    std::vector<double> out;
    std::thread worker([&] {
        ResetParameterBlock();
        PitchOctaves.store(s.pitch);
        SpeedExponent.store(s.speed);
        ReverbAmount.store(s.reverb);
        ApplyRatio.store(s.apply);
        HostOutput& host = HostOutput::Reset();
        EffectRun run;
        run.Construct();
        const ChannelBuffers block{{const_cast<double*>(in[0].data()), const_cast<double*>(in[1].data())}};
        const int count = run.Process(s.rate, s.length, &block, &host.buffers, &host.capacity, HostOutput::Resize);
        out.assign(host.channels[outputChannel].begin(), host.channels[outputChannel].begin() + count);
        run.Destruct();
        ResetParameterBlock();
    });
    worker.join();
    return out;
}

}  // namespace

TEST(EffectFlow, TabulatedPathMatchesTheStepByStepArithmetic) {
    const Setting settings[] = {
        {8000, 0.4166666, 0.0, 0.0, 1.0, 8192 * 3},
        {8000, 0.0, 0.0, 0.3, 0.7, 8192 * 2},
        {22050, 0.0, 1.0, 0.0, 0.5, 32768 * 2 + 1000},
        {11025, -0.5, -0.3, 0.0, 1.0, 16384 * 2},
    };
    for (const Setting& s : settings) {
        const std::vector<double> in[2] = {Input(s.length, 0), Input(s.length, 1)};
        for (int ch = 0; ch < 2; ++ch) {
            const std::vector<double> expected = ReferenceOutput(s, in, ch);
            const std::vector<double> actual = EffectOutput(s, in, ch);
            ASSERT_EQ(actual.size(), expected.size()) << s.rate << " " << s.pitch;
            ASSERT_FALSE(expected.empty());
            EXPECT_LT(straightforward::RelativeDifference(actual, expected), 1e-9)
                << s.rate << " Hz, pitch " << s.pitch << ", speed " << s.speed << ", channel " << ch;
        }
    }
}
