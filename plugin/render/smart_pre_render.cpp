#include "../host/handlers.h"

// Placeholder until the pre-render lands.
PF_Err SmartPreRender(PF_InData*, PF_OutData*, PF_PreRenderExtra*) { return PF_Err_NONE; }
