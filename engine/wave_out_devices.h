// The sound devices the playback settings dialog lists. Device i of the list
// is the `playbackDevice` index PrepareJob takes; -1 is the system default.
#pragma once

#include <string>
#include <vector>

/// Number of playback devices; 0 when the sound system is unavailable.
int WaveOutDeviceCount();
/// Their names, in device order (one per device that answered).
std::vector<std::string> WaveOutDeviceNames();
