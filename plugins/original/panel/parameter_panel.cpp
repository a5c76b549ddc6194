// Placeholder until the panel lands: no panel, an empty tab.
#include "parameter_panel.h"

void* CreateParameterPanel(void*) { return nullptr; }
int DestroyParameterPanel() { return 0; }
