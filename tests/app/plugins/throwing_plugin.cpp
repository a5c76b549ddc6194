// A test plug-in whose panel entry points throw: with PLUGIN_THROWS_IN_START
// its Start_Dialog first makes a child widget of the window (so the window
// keeps a reference to this library's code) and then throws; otherwise its
// End_Dialog throws. Processing passes the sound through.
#include <QLabel>
#include <QWidget>
#include <stdexcept>

#include "zarevo_plugin.h"

namespace {

/// A widget whose destructor is this library's code.
class LeftBehind : public QLabel {
public:
    using QLabel::QLabel;
};

}  // namespace

extern "C" {

ZAREVO_PLUGIN_EXPORT void* Start_Dialog(void* parent) {
    auto* panel = new LeftBehind(QStringLiteral("left behind"), static_cast<QWidget*>(parent));
    // Not hidden before the throw: a child widget shows with its window.
    if (PLUGIN_THROWS_IN_START) throw std::runtime_error("panel refused");
    panel->hide();
    return panel;
}

ZAREVO_PLUGIN_EXPORT int End_Dialog(void) { throw std::runtime_error("panel will not go"); }

ZAREVO_PLUGIN_EXPORT void Constructer(void) {}
ZAREVO_PLUGIN_EXPORT void EffectStop(void) {}
ZAREVO_PLUGIN_EXPORT void Destructer(void) {}

ZAREVO_PLUGIN_EXPORT int EffectEnt(int, int count, const ChannelBuffers* in, ChannelBuffers* out, const int* capacity,
                                   ZarevoResizeOutputFn resize) {
    if (*capacity < count) resize(count);
    for (int i = 0; i < count; ++i) {
        out->channel[0][i] = in->channel[0][i];
        out->channel[1][i] = in->channel[1][i];
    }
    return count;
}

}  // extern "C"
