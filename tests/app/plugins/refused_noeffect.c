/* A test plug-in with a panel entry but no EffectEnt: the window must refuse
 * it at the scan, since the engine would call its missing EffectEnt. */
#include <stddef.h>

#include "zarevo_plugin.h"

ZAREVO_PLUGIN_EXPORT void* Start_Dialog(void* parent) {
    (void)parent;
    return NULL;
}
ZAREVO_PLUGIN_EXPORT int End_Dialog(void) { return 1; }
ZAREVO_PLUGIN_EXPORT void Constructer(void) {}
ZAREVO_PLUGIN_EXPORT void EffectStop(void) {}
ZAREVO_PLUGIN_EXPORT void Destructer(void) {}
