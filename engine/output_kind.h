// Which format a save writes, decided once from the output's file name: the
// extension (in any case) names FLAC, Ogg Vorbis, Opus or MP3; ".wav" and
// every other name are WAV as the engine has always written it.
#pragma once

#include <string>

enum class OutputKind { Wav, Flac, Vorbis, Opus, Mp3 };

/// The format the output `path` is saved in.
OutputKind OutputKindOf(const std::string& path);

/// True when a file of `kind` can hold sound at `rate` Hz: Opus only 8000,
/// 12000, 16000, 24000 and 48000 Hz, MP3 only the MPEG rates from 8000 to
/// 48000 Hz, FLAC up to 655350 Hz, Vorbis up to 192000 Hz, WAV any rate
/// above 0.
bool KindHoldsRate(OutputKind kind, int rate);

/// The rates `kind` holds, as text for a message: "8000, 12000, 16000,
/// 24000, 48000" or "1-192000" (always in Hz).
std::string ValidRatesText(OutputKind kind);
/// The format's name for a message: "WAV", "FLAC", "Ogg Vorbis", "Opus", "MP3".
const char* KindName(OutputKind kind);

/// Quality of a lossy output, 0 (smallest file) to 10 (best sound).
inline constexpr int MinEncoderQuality = 0;
inline constexpr int MaxEncoderQuality = 10;
/// The default: well above the middle, for listening rather than for the
/// smallest file.
inline constexpr int DefaultEncoderQuality = 7;
