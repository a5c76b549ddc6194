// Placeholder until the settings dialogs land: nothing changes.
#include "settings_dialogs.h"

bool EditPlaybackSettings(QWidget*, PlaybackSettings&) { return false; }
bool EditSaveFormat(QWidget*, SaveFormat&) { return false; }
