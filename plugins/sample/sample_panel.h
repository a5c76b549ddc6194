// The sample plug-in's panel (Qt): the vocal cancel check box and two fixed
// texts for plug-in authors.
#pragma once

/// Creates the hidden panel as a child of `parent` (a QWidget*) and returns it
/// as a QWidget*; the check box shows the current VocalCancel. NULL on failure.
void* CreateSamplePanel(void* parent);

/// Deletes the panel; returns 1 when there was one, 0 when there was none
/// (never created, or already deleted together with its parent).
int DestroySamplePanel();
