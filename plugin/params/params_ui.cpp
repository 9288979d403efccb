#include "../host/handlers.h"

// Placeholder until the parameter UI upkeep lands.
PF_Err UpdateParamsUI(PF_InData*, PF_OutData*, PF_ParamDef*[], PF_LayerDef*, void*) {
  return PF_Err_NONE;
}
