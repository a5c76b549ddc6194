/* The panel side of a test plug-in that has no panel: Start_Dialog creates
 * nothing and End_Dialog has nothing to destroy. Each test plug-in is one
 * source file that includes this once. */
#ifndef ZAREVO_TEST_NO_PANEL_H
#define ZAREVO_TEST_NO_PANEL_H

#include <stddef.h>

#include "zarevo_plugin.h"

void* Start_Dialog(void* parent) {
    (void)parent;
    return NULL;
}

int End_Dialog(void) { return 0; }

#endif
