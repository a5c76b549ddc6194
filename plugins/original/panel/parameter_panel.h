// The standard plug-in's parameter panel (Qt). The exported Start_Dialog and
// End_Dialog hand over to these two functions.
#pragma once

/// Creates the hidden panel as a child of `parent` (a QWidget*) and returns it.
void* CreateParameterPanel(void* parent);
/// Destroys the panel; returns nonzero when there was one.
int DestroyParameterPanel();
