#include "../host/handlers.h"
#include "../host/suite_cache.h"
#include "effect_identity.h"

PF_Err About(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
             PF_LayerDef* /*output*/) {
  SuiteCache suites(in_data->pica_basicP);
  suites.AnsiSuite()->sprintf(out_data->return_msg, "%s, v%d.%d\r%s", EFFECT_NAME,
                              static_cast<int>(MAJOR_VERSION), static_cast<int>(MINOR_VERSION),
                              EFFECT_DESCRIPTION);
  return PF_Err_NONE;
}
