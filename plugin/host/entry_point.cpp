// The module's one export: picks the handler for each command selector.
#include "handlers.h"
#include "host_contract.h"

namespace {

PF_Err Dispatch(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                PF_LayerDef* output, void* extra) {
  switch (cmd) {
    case PF_Cmd_ABOUT:
      return About(in_data, out_data, params, output);
    case PF_Cmd_GLOBAL_SETUP:
      return GlobalSetup(in_data, out_data, params, output);
    case PF_Cmd_PARAMS_SETUP:
      return ParamsSetup(in_data, out_data, params, output);
    case PF_Cmd_SEQUENCE_SETUP:
    case PF_Cmd_SEQUENCE_RESETUP:
      return SequenceSetup(in_data, out_data);
    case PF_Cmd_SEQUENCE_SETDOWN:
      return SequenceSetdown(in_data, out_data);
    case PF_Cmd_USER_CHANGED_PARAM:
    case PF_Cmd_UPDATE_PARAMS_UI:
      return UpdateParamsUI(in_data, out_data, params, output, extra);
    case PF_Cmd_COMPLETELY_GENERAL:
      return CompletelyGeneral(in_data, out_data, params, output, extra);
    case PF_Cmd_SMART_PRE_RENDER:
      return SmartPreRender(in_data, out_data, static_cast<PF_PreRenderExtra*>(extra));
    case PF_Cmd_SMART_RENDER:
      return SmartRender(in_data, out_data, static_cast<PF_SmartRenderExtra*>(extra));
    default:
      // Global set-down, flatten, the plain render and every unknown selector.
      return PF_Err_NONE;
  }
}

}  // namespace

THIMBLEROUTE_EXPORT PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                          PF_ParamDef* params[], PF_LayerDef* output,
                                          void* extra) {
  try {
    return Dispatch(cmd, in_data, out_data, params, output, extra);
  } catch (PF_Err thrown) {
    // A suite the host could not give; the handler's suite cache has released
    // everything it held on the way out.
    return thrown;
  } catch (...) {
    // Nothing else is thrown by design; should anything be, it must still not
    // unwind into the host, which knows no exceptions.
    return PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
}
