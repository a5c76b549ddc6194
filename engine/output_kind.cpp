// The output format by the file name's extension, and the rates each holds.
#include "output_kind.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <span>

namespace {

constexpr std::array kOpusRates = {8000, 12000, 16000, 24000, 48000};
constexpr std::array kMpegRates = {8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000};
/// FLAC's rate field holds up to 655350 Hz; libvorbis encodes up to 192 kHz.
constexpr int kFlacMaxRate = 655350;
constexpr int kVorbisMaxRate = 192000;

std::string Lowercase(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string List(std::span<const int> rates) {
    std::string text;
    for (const int rate : rates) text += (text.empty() ? "" : ", ") + std::to_string(rate);
    return text;
}

}  // namespace

OutputKind OutputKindOf(const std::string& path) {
    const std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || path.find('/', dot) != std::string::npos) return OutputKind::Wav;
    const std::string extension = Lowercase(path.substr(dot + 1));
    if (extension == "flac") return OutputKind::Flac;
    if (extension == "ogg" || extension == "oga") return OutputKind::Vorbis;
    if (extension == "opus") return OutputKind::Opus;
    if (extension == "mp3") return OutputKind::Mp3;
    return OutputKind::Wav;
}

bool KindHoldsRate(OutputKind kind, int rate) {
    switch (kind) {
    case OutputKind::Opus: return std::ranges::find(kOpusRates, rate) != kOpusRates.end();
    case OutputKind::Mp3: return std::ranges::find(kMpegRates, rate) != kMpegRates.end();
    case OutputKind::Flac: return rate > 0 && rate <= kFlacMaxRate;
    case OutputKind::Vorbis: return rate > 0 && rate <= kVorbisMaxRate;
    case OutputKind::Wav: return rate > 0;
    }
    return false;
}

std::string ValidRatesText(OutputKind kind) {
    switch (kind) {
    case OutputKind::Opus: return List(kOpusRates);
    case OutputKind::Mp3: return List(kMpegRates);
    case OutputKind::Flac: return "1-" + std::to_string(kFlacMaxRate);
    case OutputKind::Vorbis: return "1-" + std::to_string(kVorbisMaxRate);
    case OutputKind::Wav: break;
    }
    return "1-2147483647";
}

const char* KindName(OutputKind kind) {
    switch (kind) {
    case OutputKind::Flac: return "FLAC";
    case OutputKind::Vorbis: return "Ogg Vorbis";
    case OutputKind::Opus: return "Opus";
    case OutputKind::Mp3: return "MP3";
    case OutputKind::Wav: break;
    }
    return "WAV";
}
