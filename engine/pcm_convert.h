// Conversion between PCM bytes and the engine's working samples: doubles of
// full scale 1.0, always two channels (left, right). Rate conversion is
// sample-and-hold, done here while converting into the working form.
#pragma once

#include <cstdint>
#include <span>

/// Fills `workingFrames` frames of `left` and `right` from a raw block of
/// `sourceFrames` interleaved frames of `channels` samples, `bits` wide.
/// Working frame i takes source frame (i x sourceFrames) / workingFrames,
/// unchanged: frames repeat when the working rate is higher and are dropped
/// when it is lower. 8-bit is (byte - 128) / 128, 16-bit value / 32768, 24-bit
/// value / 2^23, 32-bit value / 2^31; other widths give silence. A mono source
/// fills both channels; a source of more than two channels gives its first two.
/// `raw` holds at least sourceFrames x channels x (bits / 8) bytes; `left` and
/// `right` at least workingFrames samples.
void PcmToWorking(int channels, int bits, int sourceFrames, std::span<const std::uint8_t> raw, int workingFrames,
                  std::span<double> left, std::span<double> right);

/// Writes `frames` interleaved frames of `channels` (1 or 2) samples, `bits`
/// (8 or 16) wide, from the working pair into `out`. Mono is the mean of left
/// and right. Rounding is half up, floor(x x scale + 0.5), with scale 128 or
/// 32768, clamped to the format's range (so +1.0 stores 127 or 32767); a NaN
/// sample stores silence. 8-bit is stored unsigned (k + 128), 16-bit signed
/// little-endian. Other widths store nothing. `out` holds at least
/// frames x channels x (bits / 8) bytes.
void WorkingToPcm(std::span<const double> left, std::span<const double> right, int frames, int channels, int bits,
                  std::span<std::uint8_t> out);
