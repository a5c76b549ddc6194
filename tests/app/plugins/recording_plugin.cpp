// A test plug-in that applies out = in * PLUGIN_SCALE + PLUGIN_OFFSET, so the
// order of a chain shows in the output, and appends every call it receives to
// the file named by ZAREVO_TEST_PLUGIN_LOG ("<name> <entry>" per line), so the
// order of calls survives the library's unloading.
#include <QLabel>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "zarevo_plugin.h"

namespace {

std::atomic<int> StopRequested{0};
QWidget* PanelWindow = nullptr;

void Record(const char* entry) {
    const char* logPath = std::getenv("ZAREVO_TEST_PLUGIN_LOG");
    if (!logPath || !*logPath) return;
    if (std::FILE* log = std::fopen(logPath, "a")) {
        std::fprintf(log, "%s %s\n", PLUGIN_NAME, entry);
        std::fclose(log);
    }
}

/// The panel: a label whose destructor is this library's code, so a panel
/// deleted after the library was unloaded would crash rather than pass.
class RecordingPanel : public QLabel {
public:
    explicit RecordingPanel(QWidget* parent) : QLabel(QStringLiteral("panel " PLUGIN_NAME), parent) {}
    ~RecordingPanel() override { Record("panel_destroyed"); }
};

/// Takes PLUGIN_BLOCK_DELAY_MS per block, cut short by EffectStop.
void TakeBlockTime() {
    for (int waited = 0; waited < PLUGIN_BLOCK_DELAY_MS && !StopRequested.load(); ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

}  // namespace

extern "C" {

ZAREVO_PLUGIN_EXPORT void* Start_Dialog(void* parent) {
    Record("Start_Dialog");
    auto* panel = new RecordingPanel(static_cast<QWidget*>(parent));
    panel->setObjectName(QStringLiteral("panel_" PLUGIN_NAME));
    panel->hide();
    PanelWindow = panel;
    return panel;
}

#if PLUGIN_HAS_END_DIALOG
ZAREVO_PLUGIN_EXPORT int End_Dialog(void) {
    Record("End_Dialog");
    delete PanelWindow;
    PanelWindow = nullptr;
    return 1;
}
#endif

ZAREVO_PLUGIN_EXPORT void Constructer(void) {
    StopRequested.store(0);
    Record("Constructer");
}

ZAREVO_PLUGIN_EXPORT int EffectEnt(int, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
                                   ZarevoResizeOutputFn resize) {
    if (*capacity < count) resize(count);
    for (int channel = 0; channel < 2; ++channel) {
        for (int i = 0; i < count; ++i) {
            out->channel[channel][i] = in->channel[channel][i] * PLUGIN_SCALE + PLUGIN_OFFSET;
        }
    }
    TakeBlockTime();
    return count;
}

ZAREVO_PLUGIN_EXPORT void EffectStop(void) {
    StopRequested.store(1);
    Record("EffectStop");
}

ZAREVO_PLUGIN_EXPORT void Destructer(void) { Record("Destructer"); }

}  // extern "C"
