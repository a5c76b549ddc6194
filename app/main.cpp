// Starts ZarevoPlusApp: checks that there is a display to show the window on,
// then runs the application object.
#include <cstdio>
#include <cstdlib>

#include "main_app.h"
#include "wave_out.h"

namespace {

bool HasDisplay() {
    const auto isSet = [](const char* name) {
        const char* value = std::getenv(name);
        return value && *value;
    };
    // QT_QPA_PLATFORM chooses a platform that may need no display (offscreen).
    return isSet("DISPLAY") || isSet("WAYLAND_DISPLAY") || isSet("QT_QPA_PLATFORM");
}

}  // namespace

int main(int argc, char** argv) {
    if (!HasDisplay()) {
        std::fputs("ZarevoPlusApp needs a graphical desktop: neither DISPLAY nor WAYLAND_DISPLAY is set.\n", stderr);
        return 1;
    }
    PrepareSoundServerBuffering();
    CMainApp application(argc, argv);
    return application.Run();
}
