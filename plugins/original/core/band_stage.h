// The band stage: splits one channel's frame spectrum into octave bands,
// brings each chosen band back to the time domain, stretches it from N to M
// samples by splicing at rising zero crossings with raised-cosine crossfades,
// weights it with the frame window and adds it into the channel's overlap.
// Every weight that depends only on N, M, ratio and the rate is computed once
// into BandTables; the stage itself makes no trigonometric call.
#pragma once

#include <atomic>
#include <cstdint>
#include <span>
#include <vector>

#include "real_fft.h"

struct BandStageFrame;

/// Lowest band number: band k is centred on spectrum index 2^k.
inline constexpr std::int32_t FirstBand = 7;

/// Looks for a rising zero crossing (signal[i-1] < 0 <= signal[i], i >= 1) at
/// i = position, position+1, ... while i <= limit and i < position + span.
/// Indices at or past signal.size() read as 0.0, so index N may be examined.
/// Stores the first one found in `position`; leaves it unchanged otherwise.
void FindRisingZeroCrossing(std::int32_t& position, std::span<const double> signal, std::int32_t limit,
                            std::int32_t span);

/// Weight of a frame sample at relative position t in [0, 1): a Hann window
/// for ratio 1, a sine window from a 1 % stretch on, blended in between. In
/// the first frame of a run the first half is flat (1.0), so the run starts at
/// full level.
double FrameWindow(double ratio, double t, bool firstFrame);

/// Splice factor g: long crossfades near ratio 1, shorter ones the further
/// the frame is stretched.
double SpliceFactor(double ratio);

/// Half crossfade length s of band k (e = 15 - k), at least 1 so that the
/// splice always advances.
std::int32_t HalfCrossfade(std::int32_t band, double ratio, std::int32_t sampleRate);

/// Raised-cosine crossfade of 2s samples: the fade-in weights
/// (1 - cos(pi n / 2s)) / 2 and fade-out weights (1 + cos) / 2, tabulated.
class Crossfade {
public:
    /// `reach` bounds the table: no splice step reads further than that.
    Crossfade(std::int32_t halfLength, std::int64_t reach);
    std::int32_t Half() const { return half_; }
    /// Fade-in weight (1 - cos(pi n / F)) / 2 and fade-out (1 + cos) / 2.
    double In(std::int32_t n) const { return (1.0 - Cosine(n)) / 2; }
    double Out(std::int32_t n) const { return (1.0 + Cosine(n)) / 2; }
    /// The tabulated weights In(0 ..) and Out(0 ..), equal to In and Out.
    std::span<const double> InTable() const { return in_; }
    std::span<const double> OutTable() const { return out_; }

private:
    double Cosine(std::int32_t n) const;
    std::int32_t half_;
    std::vector<double> cosines_;
    std::vector<double> in_;
    std::vector<double> out_;
};

/// One piece of a splice: output anchor, input anchor and next input cut.
struct SplicePiece {
    std::int32_t outputAnchor;  // Pc
    std::int32_t inputAnchor;   // Qc
    std::int32_t nextCut;       // Qd
};

/// Stretches x (N samples) into y (M samples, added to) by re-joining pieces
/// cut at rising zero crossings. When `pieces` is given, each piece's anchors
/// are appended to it (for inspection; the effect passes nothing).
void SpliceBand(std::span<const double> x, std::span<double> y, const Crossfade& fade,
                std::vector<SplicePiece>* pieces = nullptr);

/// Band weights, crossfades and frame window for one frame
/// length N, stretched length M, ratio and sample rate.
class BandTables {
public:
    /// Builds everything for the given setting (M >= 1). May throw
    /// std::bad_alloc; the caller turns that into a result.
    BandTables(std::int32_t frameLength, std::int32_t stretchedLength, double ratio, std::int32_t sampleRate);

    bool Matches(std::int32_t frameLength, std::int32_t stretchedLength, double ratio, std::int32_t sampleRate) const;

private:
    friend void RunBandStage(const BandTables&, const FftTables&, BandStageFrame&);

    struct Band {
        std::int32_t number;          // k
        std::int32_t firstIndex;      // 2^(k-1): weight 0 at and below it
        std::vector<double> weights;  // weights for 2^(k-1) .. min(2^(k+1), N/2)
        Crossfade fade;
    };

    std::int32_t frameLength_;
    std::int32_t stretchedLength_;
    double ratio_;
    std::int32_t sampleRate_;
    std::vector<Band> bands_;
    std::vector<double> window_;      // FrameWindow(ratio, i / M, false)
    std::int32_t flatFirstHalf_ = 0;  // samples with i / M < 0.5
};

/// One channel's frame as the band stage sees it.
struct BandStageFrame {
    std::span<const double> spectrum;  ///< N values, packed, scaled by 2/N
    std::span<double> bandSignal;      ///< N samples of work space
    std::span<double> bandStretch;     ///< M samples of work space: the bands' sum before windowing
    std::span<double> overlap;         ///< M samples the stretched bands go into
    std::int32_t bandMask;             ///< bit k - 7 switches band k
    bool firstFrame;
    const std::atomic<std::int32_t>* stopRequested;  ///< polled before and after each band's transform
};

/// Adds every chosen band of the frame, stretched and windowed, into
/// frame.overlap. Stops early, keeping what earlier bands added, once
/// *stopRequested is nonzero.
/// `fft` is the transform for N; its scratch is used, so each thread running
/// band stages at the same time needs its own.
void RunBandStage(const BandTables& tables, const FftTables& fft, BandStageFrame& frame);
