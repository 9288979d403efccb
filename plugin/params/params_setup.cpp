#include "../host/handlers.h"

// Placeholder until the parameter set lands.
PF_Err ParamsSetup(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*) { return PF_Err_NONE; }
