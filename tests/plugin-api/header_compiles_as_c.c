/* Proves that the plug-in header is plain C: a C compiler accepts it and the
   entry-point types match the declarations. */
#include "zarevo_plugin.h"

static ZarevoStartDialogFn start_dialog_type_check = Start_Dialog;
static ZarevoEndDialogFn end_dialog_type_check = End_Dialog;
static ZarevoConstructerFn constructer_type_check = Constructer;
static ZarevoEffectEntFn effect_ent_type_check = EffectEnt;
static ZarevoEffectStopFn effect_stop_type_check = EffectStop;
static ZarevoDestructerFn destructer_type_check = Destructer;

int zarevo_header_is_c(void) {
    ChannelBuffers buffers = {{0, 0}};
    return buffers.channel[0] == 0 && start_dialog_type_check && end_dialog_type_check &&
           constructer_type_check && effect_ent_type_check && effect_stop_type_check &&
           destructer_type_check;
}
