// Creation and destruction of the one parameter panel, for Start_Dialog and
// End_Dialog. The panel is a child of the program's window, so Qt may already
// have deleted it with its parent; a QPointer notices that.
#include "parameter_panel.h"

#include <QPointer>
#include <new>

#include "parameter_panel_widget.h"

namespace {

QPointer<parampanel::CParameterPanel> PanelWindow;

}  // namespace

void* CreateParameterPanel(void* parent) {
    try {
        // A second call replaces the first panel rather than leaving it orphaned.
        delete PanelWindow.data();
        auto* panel = new parampanel::CParameterPanel(static_cast<QWidget*>(parent));
        panel->hide();  // the program shows it when its tab is selected
        PanelWindow = panel;
        return static_cast<QWidget*>(panel);
    } catch (...) {
        // Nothing may throw across the plug-in interface.
        return nullptr;
    }
}

int DestroyParameterPanel() {
    if (!PanelWindow) return 0;
    delete PanelWindow.data();
    return 1;
}
