// Making test files with the command-line tools; fetching a decoded source
// to its end.
#include "sound_tools.h"

#include <cmath>
#include <cstdlib>

#include "source_file.h"
#include "wave_file.h"

bool RunTool(const std::string& command) { return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0; }

DecodedWhole DecodeWhole(const std::string& path) {
    DecodedWhole decoded;
    SourceFile source;
    decoded.opened = source.Open(path) && source.Bits() == 32;
    if (!decoded.opened) return decoded;
    const int channels = source.Channels();
    std::vector<double> squares(static_cast<std::size_t>(channels), 0.0);
    GrowBuffer<std::uint8_t> raw;
    while (source.FetchBlock(SourceBlockFrames, raw)) {
        const std::int64_t inBlock = std::min<std::int64_t>(SourceBlockFrames, source.Consumed() - decoded.frames);
        for (std::int64_t i = 0; i < inBlock * channels; ++i) {
            const std::uint8_t* at = raw.Data() + 4 * i;
            const auto value = static_cast<std::int32_t>(at[0] | (at[1] << 8) | (at[2] << 16) |
                                                         (static_cast<std::uint32_t>(at[3]) << 24));
            squares[static_cast<std::size_t>(i % channels)] += std::pow(value / 2147483648.0, 2);
        }
        decoded.frames += inBlock;
    }
    decoded.readFailed = source.ReadFailed();
    decoded.dataSize = source.DataSize();
    for (const double sum : squares) {
        decoded.rms.push_back(decoded.frames > 0 ? std::sqrt(sum / static_cast<double>(decoded.frames)) : 0.0);
    }
    return decoded;
}
