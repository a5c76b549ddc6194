// Building WAV files byte by byte for the engine tests: chunks, "fmt " bodies,
// whole files, and PCM sample patterns with values known exactly.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

void AppendLe16(Bytes& bytes, std::uint32_t value);
void AppendLe32(Bytes& bytes, std::uint32_t value);

/// A chunk: 4-character id, body size (the body's length unless given), body,
/// and a zero pad byte after an odd body when `pad` is set.
Bytes Chunk(const std::string& id, const Bytes& body, bool pad = false);
Bytes ChunkWithDeclaredSize(const std::string& id, std::uint32_t declaredSize, const Bytes& body);

/// The 16-byte "fmt " body (plus `extraBytes` zero bytes).
Bytes FormatBody(int formatTag, int channels, int rate, int bits, int extraBytes = 0);

/// "RIFF", size, "WAVE", then the chunks.
Bytes RiffWave(const std::vector<Bytes>& chunks);

/// A plain PCM file: "fmt " then "data".
Bytes PcmWav(int channels, int rate, int bits, const Bytes& samples);

/// Interleaved 16-bit samples: frame f, channel c holds Pattern16(f, c).
Bytes Pattern16Samples(int frames, int channels);
std::int16_t Pattern16(int frame, int channel);
/// Interleaved 8-bit samples: frame f, channel c holds Pattern8(f, c).
Bytes Pattern8Samples(int frames, int channels);
std::uint8_t Pattern8(int frame, int channel);

void WriteFileBytes(const std::string& path, const Bytes& bytes);
Bytes ReadFileBytes(const std::string& path);
