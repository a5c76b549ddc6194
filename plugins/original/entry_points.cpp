// Placeholder until the effect flow lands.
#include "parameter_panel.h"
#include "zarevo_plugin.h"

extern "C" {
void* Start_Dialog(void* parent) { return CreateParameterPanel(parent); }
int End_Dialog(void) { return DestroyParameterPanel(); }
void Constructer(void) {}
int EffectEnt(int, int, const ChannelBuffers*, ChannelBuffers*, const int*, ZarevoResizeOutputFn) { return 0; }
void EffectStop(void) {}
void Destructer(void) {}
}
