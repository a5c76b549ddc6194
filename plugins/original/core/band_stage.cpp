// Octave bands, zero-crossing splice and frame window of the standard effect.
#include "band_stage.h"

#include <algorithm>
#include <cmath>
#include <numbers>

void FindRisingZeroCrossing(std::int32_t& position, std::span<const double> signal,
                            std::int32_t limit, std::int32_t span) {
    const auto size = static_cast<std::int64_t>(signal.size());
    const std::int64_t end = std::min<std::int64_t>(static_cast<std::int64_t>(position) + span,
                                                    static_cast<std::int64_t>(limit) + 1);
    double previous = 0.0;
    std::int64_t i = std::max<std::int64_t>(position, 1);
    if (i < end) {
        previous = i - 1 < size ? signal[i - 1] : 0.0;
    }
    for (; i < end; ++i) {
        const double current = i < size ? signal[i] : 0.0;
        if (previous < 0.0 && current >= 0.0) {
            position = static_cast<std::int32_t>(i);
            return;
        }
        previous = current;
    }
}

double FrameWindow(double ratio, double t, bool firstFrame) {
    if (firstFrame && t < 0.5) {
        return 1.0;
    }
    const double blend = std::min(std::fabs(ratio - 1.0) * 100.0, 1.0);
    const double pi = std::numbers::pi;
    return (1.0 - blend) * (1.0 - std::cos(2.0 * pi * t)) / 2.0 + blend * std::sin(pi * t);
}

double SpliceFactor(double ratio) {
    if (ratio > 1.0) {
        return std::min(18.0 / std::max(std::log10(ratio), 0.01), 400.0);
    }
    return ratio * 266.66666666666663;
}

std::int32_t HalfCrossfade(std::int32_t band, double ratio, std::int32_t sampleRate) {
    const std::int32_t e = 15 - band;
    const double length =
        std::pow(2.0, e * 0.5) * SpliceFactor(ratio) * (sampleRate * (1.0 / 22050));
    // Rationale: s = 0 would keep the splice from ever advancing; only extreme
    // typed settings or very low rates get there.
    if (!(length >= 1.0)) {
        return 1;
    }
    // Beyond 2^29 the crossfade length 2s would not fit the splice's
    // positions; such lengths exceed every frame anyway.
    return length >= 536870912.0 ? 536870912 : static_cast<std::int32_t>(length);
}

Crossfade::Crossfade(std::int32_t halfLength, std::int64_t reach) : half_(halfLength) {
    const std::int64_t full = 2 * static_cast<std::int64_t>(halfLength);
    const std::int64_t tabulated = std::min(full, std::max<std::int64_t>(reach, 0));
    cosines_.resize(static_cast<std::size_t>(tabulated));
    for (std::int64_t n = 0; n < tabulated; ++n) {
        cosines_[n] = std::cos(std::numbers::pi * static_cast<double>(n) / static_cast<double>(full));
    }
}

double Crossfade::Cosine(std::int32_t n) const {
    if (static_cast<std::size_t>(n) < cosines_.size()) {
        return cosines_[n];
    }
    // Only crossfades longer than any frame reach past the table.
    return std::cos(std::numbers::pi * static_cast<double>(n) / (2.0 * half_));
}

void SpliceBand(std::span<const double> x, std::span<double> y, const Crossfade& fade,
                std::vector<SplicePiece>* pieces) {
    const auto inputLength = static_cast<std::int32_t>(x.size());
    const auto outputLength = static_cast<std::int32_t>(y.size());
    if (inputLength == 0 || outputLength == 0) {
        return;
    }
    const std::int32_t s = fade.Half();
    const std::int32_t crossfade = 2 * s;
    std::int32_t anchor = 0;
    FindRisingZeroCrossing(anchor, x, inputLength, s);
    for (;;) {
        std::int32_t input = static_cast<std::int32_t>(static_cast<std::int64_t>(anchor) *
                                                       inputLength / outputLength);
        FindRisingZeroCrossing(input, x, inputLength, s);
        const std::int32_t outputAnchor = anchor;
        const std::int32_t inputAnchor = input;

        // Fade-in over n = 0 .. F-1 at w = Pc - s + n, r = Qc - s + n: only
        // steps with both positions at 0 or above write, and the splice ends
        // after the step that brings w to M or r to N.
        const std::int32_t fadeStartW = outputAnchor - s;
        const std::int32_t fadeStartR = inputAnchor - s;
        const std::int32_t lastStep = std::min(outputLength - fadeStartW, inputLength - fadeStartR) - 1;
        const std::int32_t firstWritten = std::max({0, -fadeStartW, -fadeStartR});
        const std::int32_t lastWritten = std::min(crossfade - 1, lastStep);
        for (std::int32_t n = firstWritten; n <= lastWritten; ++n) {
            y[fadeStartW + n] += fade.In(n) * x[fadeStartR + n];
        }
        if (lastStep <= crossfade - 1) {
            return;
        }
        std::int32_t w = fadeStartW + crossfade;
        std::int32_t r = fadeStartR + crossfade;
        if (static_cast<std::int64_t>(inputAnchor) + crossfade >= inputLength) {
            return;
        }
        std::int32_t nextCut = inputAnchor + crossfade;
        FindRisingZeroCrossing(nextCut, x, inputLength, s);
        if (pieces != nullptr) {
            pieces->push_back({outputAnchor, inputAnchor, nextCut});
        }
        // The middle (weight 1) and the fade-out, each cut short where either
        // signal ends; reaching an end finishes the splice.
        const std::int32_t middle = nextCut - inputAnchor - crossfade;
        const std::int32_t room = std::min(outputLength - w, inputLength - r);
        if (room <= middle) {
            for (std::int32_t n = 0; n < room; ++n) {
                y[w + n] += x[r + n];
            }
            return;
        }
        for (std::int32_t n = 0; n < middle; ++n) {
            y[w + n] += x[r + n];
        }
        w += middle;
        r += middle;
        const std::int32_t left = room - middle;
        const std::int32_t faded = std::min(crossfade, left);
        for (std::int32_t n = 0; n < faded; ++n) {
            y[w + n] += fade.Out(n) * x[r + n];
        }
        if (left <= crossfade) {
            return;
        }
        w += crossfade;
        anchor = w - s;
    }
}

namespace {

/// Highest band number L = log2(N) - 1, taken through logarithms and rounded.
std::int32_t LastBand(std::int32_t frameLength) {
    return static_cast<std::int32_t>(std::log(static_cast<double>(frameLength)) / std::log(2.0) -
                                     1.0 + 0.5);
}

/// Weight of spectrum index i in band k: a raised cosine over log2 i - k.
double BandWeight(std::int32_t index, std::int32_t band) {
    const double x = std::clamp(std::log2(static_cast<double>(index)) - band, -1.0, 1.0);
    return (1.0 + std::cos(std::numbers::pi * x)) / 2.0;
}

}  // namespace

BandTables::BandTables(std::int32_t frameLength, std::int32_t stretchedLength, double ratio,
                       std::int32_t sampleRate)
    : frameLength_(frameLength),
      stretchedLength_(stretchedLength),
      ratio_(ratio),
      sampleRate_(sampleRate) {
    const std::int32_t half = frameLength / 2;
    for (std::int32_t k = FirstBand; k <= LastBand(frameLength); ++k) {
        // Outside 2^(k-1) .. 2^(k+1) the weight is exactly 0.
        const std::int32_t first = std::min(std::int32_t{1} << (k - 1), half);
        const std::int32_t last = std::min(std::int64_t{1} << (k + 1), std::int64_t{half});
        std::vector<double> weights;
        weights.reserve(static_cast<std::size_t>(last - first + 1));
        for (std::int32_t i = first; i <= last; ++i) {
            weights.push_back(BandWeight(i, k));
        }
        const std::int32_t s = HalfCrossfade(k, ratio, sampleRate);
        const std::int64_t reach = std::min<std::int64_t>(
            static_cast<std::int64_t>(frameLength) + s + 1, 4 * static_cast<std::int64_t>(frameLength));
        bands_.push_back(Band{k, first, std::move(weights), Crossfade(s, reach)});
    }
    window_.resize(static_cast<std::size_t>(stretchedLength));
    for (std::int32_t i = 0; i < stretchedLength; ++i) {
        const double t = static_cast<double>(i) / stretchedLength;
        window_[i] = FrameWindow(ratio, t, false);
        if (t < 0.5) {
            flatFirstHalf_ = i + 1;
        }
    }
}

bool BandTables::Matches(std::int32_t frameLength, std::int32_t stretchedLength, double ratio,
                         std::int32_t sampleRate) const {
    return frameLength_ == frameLength && stretchedLength_ == stretchedLength && ratio_ == ratio &&
           sampleRate_ == sampleRate;
}

void RunBandStage(const BandTables& tables, const FftTables& fft, BandStageFrame& frame) {
    const std::int32_t n = tables.frameLength_;
    const std::int32_t m = tables.stretchedLength_;
    const double* spectrum = frame.spectrum.data();
    double* band = frame.bandSignal.data();
    double* overlap = frame.overlap.data();
    const double* stretch = frame.bandStretch.data();
    const auto stopped = [&frame] {
        return frame.stopRequested != nullptr &&
               frame.stopRequested->load(std::memory_order_relaxed) != 0;
    };
    for (const BandTables::Band& entry : tables.bands_) {
        if (stopped()) {
            return;
        }
        const std::int32_t bit = entry.number - FirstBand;
        if (((static_cast<std::uint32_t>(frame.bandMask) >> bit) & 1u) == 0) {
            continue;
        }
        // Copy only the band's own part of the spectrum; the rest is zero
        // except the constant component, which passes whole into every band.
        const std::int32_t first = entry.firstIndex;
        const std::int32_t last = first + static_cast<std::int32_t>(entry.weights.size()) - 1;
        const auto clear = [band](std::int32_t from, std::int32_t to) {
            if (from < to) std::fill(band + from, band + to, 0.0);
        };
        clear(1, first);
        clear(last + 1, n - last);
        clear(n - first + 1, n);
        band[0] = spectrum[0];
        for (std::size_t w = 0; w < entry.weights.size(); ++w) {
            const std::int32_t i = entry.firstIndex + static_cast<std::int32_t>(w);
            const double weight = entry.weights[w];
            if (i == n - i) {
                band[i] = spectrum[i] * weight * weight;
            } else {
                band[i] = spectrum[i] * weight;
                band[n - i] = spectrum[n - i] * weight;
            }
        }
        InverseRealFft(frame.bandSignal, fft);
        if (stopped()) {
            return;
        }
        std::fill(frame.bandStretch.begin(), frame.bandStretch.end(), 0.0);
        SpliceBand(frame.bandSignal, frame.bandStretch, entry.fade);
        const double* window = tables.window_.data();
        const std::int32_t flat = frame.firstFrame ? tables.flatFirstHalf_ : 0;
        for (std::int32_t i = 0; i < flat; ++i) {
            overlap[i] += 1.0 * stretch[i];
        }
        for (std::int32_t i = flat; i < m; ++i) {
            overlap[i] += window[i] * stretch[i];
        }
    }
}
