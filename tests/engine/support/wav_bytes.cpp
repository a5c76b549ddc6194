// Building WAV files byte by byte for the engine tests.
#include "wav_bytes.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

void AppendLe16(Bytes& bytes, std::uint32_t value) {
    bytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>((value >> 8) & 0xFF));
}

void AppendLe32(Bytes& bytes, std::uint32_t value) {
    AppendLe16(bytes, value & 0xFFFF);
    AppendLe16(bytes, value >> 16);
}

Bytes ChunkWithDeclaredSize(const std::string& id, std::uint32_t declaredSize, const Bytes& body) {
    Bytes chunk(id.begin(), id.end());
    AppendLe32(chunk, declaredSize);
    chunk.insert(chunk.end(), body.begin(), body.end());
    return chunk;
}

Bytes Chunk(const std::string& id, const Bytes& body, bool pad) {
    Bytes chunk = ChunkWithDeclaredSize(id, static_cast<std::uint32_t>(body.size()), body);
    if (pad && body.size() % 2 == 1) {
        chunk.push_back(0);
    }
    return chunk;
}

Bytes FormatBody(int formatTag, int channels, int rate, int bits, int extraBytes) {
    Bytes body;
    const int blockAlign = channels * (bits / 8);
    AppendLe16(body, static_cast<std::uint32_t>(formatTag));
    AppendLe16(body, static_cast<std::uint32_t>(channels));
    AppendLe32(body, static_cast<std::uint32_t>(rate));
    AppendLe32(body, static_cast<std::uint32_t>(rate * blockAlign));
    AppendLe16(body, static_cast<std::uint32_t>(blockAlign));
    AppendLe16(body, static_cast<std::uint32_t>(bits));
    body.resize(body.size() + static_cast<std::size_t>(extraBytes), 0);
    return body;
}

Bytes RiffWave(const std::vector<Bytes>& chunks) {
    Bytes inner = {'W', 'A', 'V', 'E'};
    for (const Bytes& chunk : chunks) {
        inner.insert(inner.end(), chunk.begin(), chunk.end());
    }
    Bytes file = {'R', 'I', 'F', 'F'};
    AppendLe32(file, static_cast<std::uint32_t>(inner.size()));
    file.insert(file.end(), inner.begin(), inner.end());
    return file;
}

Bytes PcmWav(int channels, int rate, int bits, const Bytes& samples) {
    return RiffWave({Chunk("fmt ", FormatBody(1, channels, rate, bits)), Chunk("data", samples)});
}

std::int16_t Pattern16(int frame, int channel) {
    // Distinct per frame and channel, covering both signs and large values.
    return static_cast<std::int16_t>((frame * 37 + channel * 12345) % 65536 - 32768);
}

Bytes Pattern16Samples(int frames, int channels) {
    Bytes bytes;
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            AppendLe16(bytes, static_cast<std::uint16_t>(Pattern16(f, c)));
        }
    }
    return bytes;
}

std::uint8_t Pattern8(int frame, int channel) { return static_cast<std::uint8_t>((frame * 7 + channel * 101) % 256); }

Bytes Pattern8Samples(int frames, int channels) {
    Bytes bytes;
    for (int f = 0; f < frames; ++f) {
        for (int c = 0; c < channels; ++c) {
            bytes.push_back(Pattern8(f, c));
        }
    }
    return bytes;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        throw std::runtime_error("cannot write " + path);
    }
}

Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
