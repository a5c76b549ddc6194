/* Proves that the plug-in header is plain C: a C compiler accepts it and the
   entry-point types match the declarations. */
#include "zarevo_plugin.h"

static ZarevoStartDialogFn start_dialog_type_check = Start_Dialog;
static ZarevoEndDialogFn end_dialog_type_check = End_Dialog;
static ZarevoConstructerFn constructer_type_check = Constructer;
static ZarevoEffectEntFn effect_ent_type_check = EffectEnt;
static ZarevoEffectStopFn effect_stop_type_check = EffectStop;
static ZarevoDestructerFn destructer_type_check = Destructer;
static ZarevoEffectTailFn effect_tail_type_check = EffectTail;
static ZarevoDescribeParametersFn describe_type_check = Describe_Parameters;

int zarevo_header_is_c(void) {
    ChannelBuffers buffers = {{0, 0}};
    ZarevoParameter parameter = {"Gain", 0, ZAREVO_PARAMETER_REAL, 0.0, 2.0, 1.0, 0, 0};
    ZarevoParameterDescription description = {ZAREVO_PLUGIN_API_VERSION, 1, &parameter, 0, 0, sizeof(ZarevoParameter),
                                              sizeof(ZarevoPreset)};
    return buffers.channel[0] == 0 && description.parameters->kind == ZAREVO_PARAMETER_REAL && describe_type_check &&
           start_dialog_type_check && end_dialog_type_check && constructer_type_check && effect_ent_type_check &&
           effect_stop_type_check && destructer_type_check && effect_tail_type_check;
}
