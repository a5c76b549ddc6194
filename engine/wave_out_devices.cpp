// Lists SDL's playback devices for the playback settings dialog. Each call
// starts SDL's audio subsystem for the time of the query (or shares the
// reference an open device holds), so it works from any thread.
#include "wave_out_devices.h"

#include <SDL.h>

#include "wave_out.h"

std::vector<std::string> WaveOutDeviceNames() {
    std::vector<std::string> names;
    auto lock = LockSdlAudio();
    if (!AcquireSdlAudio()) return names;  // no sound system: no devices
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (name == nullptr) break;  // the list changed under us: keep the indices valid
        names.emplace_back(name);
    }
    ReleaseSdlAudio();
    return names;
}

int WaveOutDeviceCount() { return static_cast<int>(WaveOutDeviceNames().size()); }
