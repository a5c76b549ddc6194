// Octave bands, zero-crossing splice and frame window of the standard effect.
#include "band_stage.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

void FindRisingZeroCrossing(std::int32_t& position, std::span<const double> signal, std::int32_t limit,
                            std::int32_t span) {
    const auto size = static_cast<std::int64_t>(signal.size());
    const std::int64_t end =
        std::min<std::int64_t>(static_cast<std::int64_t>(position) + span, static_cast<std::int64_t>(limit) + 1);
    std::int64_t i = std::max<std::int64_t>(position, 1);
    const double* x = signal.data();
    // Within the signal, blocks of eight are tested without a branch per
    // sample (quiet bands often hold no crossing for a whole span); only the
    // block that holds one is searched sample by sample.
    const std::int64_t inside = std::min(end, size);
    for (; i + 8 <= inside; i += 8) {
        bool found = false;
        for (int k = 0; k < 8; ++k) {
            found |= (x[i + k - 1] < 0.0) & (x[i + k] >= 0.0);
        }
        if (found) break;
    }
    for (; i < inside; ++i) {
        if (x[i - 1] < 0.0 && x[i] >= 0.0) {
            position = static_cast<std::int32_t>(i);
            return;
        }
    }
    // Past the end the signal reads as 0.0, so only index N itself can be a
    // crossing: after a negative last sample.
    if (i < end && i == size && x[size - 1] < 0.0) {
        position = static_cast<std::int32_t>(i);
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
    const double length = std::pow(2.0, e * 0.5) * SpliceFactor(ratio) * (sampleRate * (1.0 / 22050));
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
    in_.resize(cosines_.size());
    out_.resize(cosines_.size());
    for (std::int64_t n = 0; n < tabulated; ++n) {
        cosines_[n] = std::cos(std::numbers::pi * static_cast<double>(n) / static_cast<double>(full));
        in_[n] = (1.0 - cosines_[n]) / 2;
        out_[n] = (1.0 + cosines_[n]) / 2;
    }
}

double Crossfade::Cosine(std::int32_t n) const {
    if (static_cast<std::size_t>(n) < cosines_.size()) {
        return cosines_[n];
    }
    // Only crossfades longer than any frame reach past the table.
    return std::cos(std::numbers::pi * static_cast<double>(n) / (2.0 * half_));
}

namespace {

/// y[n] += weights(n) x[n] for n in [from, to): the tabulated weights where the
/// table reaches, computed ones beyond (only crossfades longer than a frame).
template <typename Weight>
void AddFaded(double* __restrict y, const double* __restrict x, std::int32_t from, std::int32_t to,
              std::span<const double> table, Weight weight) {
    const auto tabulated = static_cast<std::int32_t>(std::min<std::size_t>(table.size(), INT32_MAX));
    const std::int32_t tableEnd = std::max(from, std::min(to, tabulated));
    const double* w = table.data();
    for (std::int32_t n = from; n < tableEnd; ++n) {
        y[n] += w[n] * x[n];
    }
    for (std::int32_t n = tableEnd; n < to; ++n) {
        y[n] += weight(n) * x[n];
    }
}

void AddPlain(double* __restrict y, const double* __restrict x, std::int32_t count) {
    for (std::int32_t n = 0; n < count; ++n) {
        y[n] += x[n];
    }
}

}  // namespace

void SpliceBand(std::span<const double> x, std::span<double> y, const Crossfade& fade,
                std::vector<SplicePiece>* pieces) {
    const auto inputLength = static_cast<std::int32_t>(x.size());
    const auto outputLength = static_cast<std::int32_t>(y.size());
    if (inputLength == 0 || outputLength == 0) {
        return;
    }
    const std::int32_t s = fade.Half();
    const std::int32_t crossfade = 2 * s;
    const auto fadeIn = [&fade](std::int32_t n) { return fade.In(n); };
    const auto fadeOut = [&fade](std::int32_t n) { return fade.Out(n); };
    std::int32_t anchor = 0;
    FindRisingZeroCrossing(anchor, x, inputLength, s);
    for (;;) {
        std::int32_t input = static_cast<std::int32_t>(static_cast<std::int64_t>(anchor) * inputLength / outputLength);
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
        // Offset pointers: index n lands at fadeStart + n, which is within
        // the arrays for every n written.
        AddFaded(y.data() + fadeStartW, x.data() + fadeStartR, firstWritten, lastWritten + 1, fade.InTable(), fadeIn);
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
            AddPlain(y.data() + w, x.data() + r, room);
            return;
        }
        AddPlain(y.data() + w, x.data() + r, middle);
        w += middle;
        r += middle;
        const std::int32_t left = room - middle;
        const std::int32_t faded = std::min(crossfade, left);
        AddFaded(y.data() + w, x.data() + r, 0, faded, fade.OutTable(), fadeOut);
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
    return static_cast<std::int32_t>(std::log(static_cast<double>(frameLength)) / std::log(2.0) - 1.0 + 0.5);
}

/// Weight of spectrum index i in band k: a raised cosine over log2 i - k.
double BandWeight(std::int32_t index, std::int32_t band) {
    const double x = std::clamp(std::log2(static_cast<double>(index)) - band, -1.0, 1.0);
    return (1.0 + std::cos(std::numbers::pi * x)) / 2.0;
}

}  // namespace

BandTables::BandTables(std::int32_t frameLength, std::int32_t stretchedLength, double ratio, std::int32_t sampleRate)
    : frameLength_(frameLength), stretchedLength_(stretchedLength), ratio_(ratio), sampleRate_(sampleRate) {
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
        const std::int64_t reach = std::min<std::int64_t>(static_cast<std::int64_t>(frameLength) + s + 1,
                                                          4 * static_cast<std::int64_t>(frameLength));
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
    const std::int32_t half = n / 2;
    const double* spectrum = frame.spectrum.data();
    std::complex<double>* band = fft.Scratch().data();
    const auto stopped = [&frame] {
        return frame.stopRequested != nullptr && frame.stopRequested->load(std::memory_order_relaxed) != 0;
    };
    // Rationale: the window is the same for every band, so the stretched
    // bands are summed first and windowed once; the sum differs from
    // windowing each band only by rounding.
    bool spliced = false;
    const auto addWindowed = [&] {
        if (!spliced) return;
        double* __restrict overlap = frame.overlap.data();
        const double* __restrict stretch = frame.bandStretch.data();
        const double* __restrict window = tables.window_.data();
        const std::int32_t flat = frame.firstFrame ? tables.flatFirstHalf_ : 0;
        for (std::int32_t i = 0; i < flat; ++i) {
            overlap[i] += 1.0 * stretch[i];
        }
        for (std::int32_t i = flat; i < m; ++i) {
            overlap[i] += window[i] * stretch[i];
        }
    };
    // The band's spectrum goes straight into the transform's complex scratch:
    // X(i) = (P[i] - i P[N-i]) / 2 for the packed P, the halving matching
    // FFTW's inverse scaling (n, where the packed inverse gives n/2). Only
    // the band's own frequencies are written; the rest stays zero, except the
    // constant component, which passes whole into every band.
    std::fill(band, band + half + 1, std::complex<double>());
    band[0] = {0.5 * spectrum[0], 0.0};
    std::int32_t written = 0;  // frequencies 1 .. written may hold an earlier band
    for (const BandTables::Band& entry : tables.bands_) {
        if (stopped()) {
            addWindowed();
            return;
        }
        const std::int32_t bit = entry.number - FirstBand;
        if (((static_cast<std::uint32_t>(frame.bandMask) >> bit) & 1u) == 0) {
            continue;
        }
        const std::int32_t first = entry.firstIndex;
        const std::int32_t last = first + static_cast<std::int32_t>(entry.weights.size()) - 1;
        std::fill(band + 1, band + std::min(first, written + 1), std::complex<double>());
        const double* weights = entry.weights.data();
        const std::int32_t below = std::min(last, half - 1);
        for (std::int32_t w = 0; w <= below - first; ++w) {
            const std::int32_t i = first + w;
            band[i] = {0.5 * (spectrum[i] * weights[w]), -0.5 * (spectrum[n - i] * weights[w])};
        }
        if (last == half) {
            // Real and imaginary weights both fall on the one highest value.
            const double weight = weights[half - first];
            band[half] = {0.5 * (spectrum[half] * weight * weight), 0.0};
        }
        written = last;
        fft.Inverse(frame.bandSignal.data());
        if (stopped()) {
            addWindowed();
            return;
        }
        if (!spliced) {
            std::fill(frame.bandStretch.begin(), frame.bandStretch.end(), 0.0);
            spliced = true;
        }
        SpliceBand(frame.bandSignal, frame.bandStretch, entry.fade);
    }
    addWindowed();
}
