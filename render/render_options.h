// The command line of zarevo-render, read into one record. Only the form is
// checked here (numbers, known options, the two operands); the plug-in names
// and values are checked once the plug-ins are loaded.
#pragma once

#include <string>
#include <vector>

#include "output_kind.h"

struct RenderOptions {
    bool help = false;
    bool version = false;
    bool list = false;
    bool quiet = false;
    /// The --plugins value as given; empty when the option was not given.
    std::string plugins;
    bool pluginsGiven = false;
    std::vector<std::string> presets;   ///< each NAME or CAPTION.NAME, in order
    std::vector<std::string> settings;  ///< each CAPTION.NAME=VALUE, in order
    // The window's default save format: 22050 Hz, stereo, 16 bits.
    int rate = 22050;
    int channels = 2;
    int bits = 16;
    /// The passage to render, in seconds of the source; an end below 0 is
    /// the source's end.
    double start = 0;
    double end = -1;
    /// Quality of a lossy OUTPUT (.ogg, .oga, .opus, .mp3), 0 to 10.
    int quality = DefaultEncoderQuality;
    std::string input;
    std::string output;
};

/// Reads argv. On a usage error the result is false and `error` is one line
/// that names what is valid.
bool ParseRenderOptions(int argc, char** argv, RenderOptions& options, std::string& error);

/// The text of --help.
std::string RenderUsage();
