// Reading the command line with getopt_long: options may come before, after
// or between the operands, "--" ends the options, and "--set=X" equals
// "--set X".
#include "render_options.h"

#include <getopt.h>

#include <charconv>
#include <cmath>
#include <string_view>
#include <string>

namespace {

enum LongOnly : int {
    kList = 256,
    kSet,
    kPreset,
    kPlugins,
    kRate,
    kChannels,
    kBits,
    kQuality,
    kHelp,
    kVersion,
    kStart,
    kEnd
};

const option kOptions[] = {
    {"list", no_argument, nullptr, kList},
    {"set", required_argument, nullptr, kSet},
    {"preset", required_argument, nullptr, kPreset},
    {"plugins", required_argument, nullptr, kPlugins},
    {"rate", required_argument, nullptr, kRate},
    {"channels", required_argument, nullptr, kChannels},
    {"bits", required_argument, nullptr, kBits},
    {"quality", required_argument, nullptr, kQuality},
    {"quiet", no_argument, nullptr, 'q'},
    {"help", no_argument, nullptr, kHelp},
    {"version", no_argument, nullptr, kVersion},
    {"start", required_argument, nullptr, kStart},
    {"end", required_argument, nullptr, kEnd},
    {nullptr, 0, nullptr, 0},
};

constexpr char kValidOptions[] =
    "valid: --list, --set, --preset, --plugins, --rate, --channels, --bits, --quality, --start, --end, -q/--quiet, "
    "--help, "
    "--version";

/// How the user spells the option getopt reports as `code`.
std::string OptionName(int code) {
    for (const option& known : kOptions) {
        if (known.name != nullptr && known.val == code) return std::string("--") + known.name;
    }
    return std::string("-") + static_cast<char>(code);
}

bool ReadWholeNumber(const char* text, int& value) {
    const char* end = text + std::char_traits<char>::length(text);
    const auto [stop, error] = std::from_chars(text, end, value);
    return error == std::errc() && stop == end && stop != text;
}

/// Reads the whole-number value `text` of option `name` into `value` when
/// `allowed` accepts it; otherwise says what the option takes.
bool ReadNumberOption(const char* text, const char* name, const char* takes, bool (*allowed)(int), int& value,
                      std::string& error) {
    int number = 0;
    if (!ReadWholeNumber(text, number) || !allowed(number)) {
        error = std::string(name) + " takes " + takes + ", not '" + text + "'";
        return false;
    }
    value = number;
    return true;
}

/// Reads a time of the source, "SECONDS" or "M:SS.sss" (or "H:MM:SS.sss"),
/// into seconds: whole minutes and hours, seconds below 60 after a colon.
bool ReadTime(const char* text, double& seconds) {
    const std::string_view whole(text);
    double total = 0;
    std::size_t from = 0;
    for (int part = 0; part < 3; ++part) {
        const std::size_t colon = whole.find(':', from);
        const std::string_view piece = whole.substr(from, colon == std::string_view::npos ? whole.npos : colon - from);
        double value = 0;
        const auto [stop, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
        if (error != std::errc() || stop != piece.data() + piece.size() || piece.empty() || !(value >= 0)) return false;
        if (colon == std::string_view::npos) {
            if (part > 0 && value >= 60) return false;
            seconds = total * 60 + value;
            return std::isfinite(seconds);
        }
        if (value != std::floor(value) || (part > 0 && value >= 60)) return false;
        total = total * 60 + value;
        from = colon + 1;
    }
    return false;
}

/// Reads the time `text` of option `name` into `seconds`.
bool ReadTimeOption(const char* text, const char* name, double& seconds, std::string& error) {
    if (!ReadTime(text, seconds)) {
        error = std::string(name) + " takes a time of the source as seconds or m:ss.sss, not '" + text + "'";
        return false;
    }
    return true;
}

}  // namespace

std::string RenderUsage() {
    return "Usage: zarevo-render [options] INPUT OUTPUT\n"
           "Runs the sound file INPUT through the effect plug-ins and writes OUTPUT with the\n"
           "sound ZarevoPlusApp saves with the same settings. OUTPUT's extension gives its\n"
           "format: .flac, .ogg or .oga (Vorbis), .opus, .mp3; any other is WAV.\n"
           "\n"
           "  --list                 print the plug-ins' parameters, one per line:\n"
           "                         CAPTION.NAME<TAB>default<TAB>min<TAB>max<TAB>description\n"
           "  --set CAPTION.NAME=VALUE\n"
           "                         set a parameter, e.g. original.PitchOctaves=0.5 (repeatable)\n"
           "  --preset NAME          start from a plug-in's preset, e.g. chord-cf, fast-listen,\n"
           "                         telephone, bass-boost, reset; --set values apply after it\n"
           "  --plugins none|CAPTION[,CAPTION...]\n"
           "                         the plug-ins to use (default: all found next to the\n"
           "                         program); the chain keeps the order of their file names\n"
           "  --rate HZ              output sample rate (default 22050)\n"
           "  --channels 1|2         output channels (default 2)\n"
           "  --bits 8|16            output sample width (default 16; FLAC keeps it)\n"
           "  --quality 0-10         quality of a lossy OUTPUT, 10 best (default 7)\n"
           "  --start TIME, --end TIME\n"
           "                         render only the passage between two times of the source\n"
           "                         (seconds, or m:ss.sss), after the same pre-roll as a seek\n"
           "  -q, --quiet            no progress on stderr (shown only on a terminal)\n"
           "  --help                 show this text\n"
           "  --version              show the version\n"
           "\n"
           "OUTPUT appears only when the render succeeds; an existing OUTPUT stays as it\n"
           "was until then. Exit status: 0 done, 1 failed, 2 usage error (also a rate the\n"
           "output's format cannot hold: Opus takes 8000, 12000, 16000, 24000, 48000 Hz).\n";
}

bool ParseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error) {
    opterr = 0;  // the messages are ours: one line naming what is valid
    optind = 0;  // 0 rather than 1: GNU getopt then starts afresh
    for (;;) {
        const int option = getopt_long(argc, argv, ":q", kOptions, nullptr);
        if (option == -1) break;
        switch (option) {
        case kList: options.list = true; break;
        case kSet: options.settings.emplace_back(optarg); break;
        case kPreset: options.presets.emplace_back(optarg); break;
        case kPlugins:
            options.plugins = optarg;
            options.pluginsGiven = true;
            break;
        case kRate:
            if (!ReadNumberOption(
                    optarg, "--rate", "a whole number of Hz above 0", [](int n) { return n > 0; }, options.rate,
                    error)) {
                return false;
            }
            break;
        case kChannels:
            if (!ReadNumberOption(
                    optarg, "--channels", "1 or 2", [](int n) { return n == 1 || n == 2; }, options.channels, error)) {
                return false;
            }
            break;
        case kBits:
            if (!ReadNumberOption(
                    optarg, "--bits", "8 or 16", [](int n) { return n == 8 || n == 16; }, options.bits, error)) {
                return false;
            }
            break;
        case kQuality:
            if (!ReadNumberOption(
                    optarg, "--quality", "a whole number from 0 (smallest file) to 10 (best sound)",
                    [](int n) { return n >= MinEncoderQuality && n <= MaxEncoderQuality; }, options.quality, error)) {
                return false;
            }
            break;
        case kStart:
            if (!ReadTimeOption(optarg, "--start", options.start, error)) return false;
            break;
        case kEnd:
            if (!ReadTimeOption(optarg, "--end", options.end, error)) return false;
            break;
        case 'q': options.quiet = true; break;
        case kHelp: options.help = true; break;
        case kVersion: options.version = true; break;
        case ':': error = "option '" + OptionName(optopt) + "' needs a value"; return false;
        default:
            // An unknown long option leaves optopt at 0 and sits just before optind.
            error = "unknown option '" + (optopt != 0 ? OptionName(optopt) : std::string(argv[optind - 1])) + "' (" +
                    kValidOptions + ")";
            return false;
        }
    }
    if (options.help || options.version || options.list) return true;
    if (options.end >= 0 && options.end <= options.start) {
        error = "--end must come after --start";
        return false;
    }
    const int operands = argc - optind;
    if (operands != 2) {
        error = operands < 2 ? "give INPUT and OUTPUT (see --help)"
                             : "give only INPUT and OUTPUT; '" + std::string(argv[optind + 2]) + "' is one too many";
        return false;
    }
    options.input = argv[optind];
    options.output = argv[optind + 1];
    if (options.input.empty() || options.output.empty()) {
        error = "INPUT and OUTPUT must not be empty";
        return false;
    }
    return true;
}
