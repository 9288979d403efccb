#include "../host/handlers.h"
#include "../host/suite_cache.h"
#include "effect_identity.h"
#include "global_data.h"

PF_Err GlobalSetup(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* /*params*/[],
                   PF_LayerDef* /*output*/) {
  PF_Err err = PF_Err_NONE;
  SuiteCache suites(in_data->pica_basicP);

  out_data->my_version = EFFECT_VERSION;
  out_data->out_flags |= EFFECT_OUT_FLAGS;
  out_data->out_flags2 |= EFFECT_OUT_FLAGS2;

  const PF_HandleSuite1* handles = suites.HandleSuite();
  PF_Handle global = handles->host_new_handle(sizeof(GlobalData));
  if (global == nullptr) return PF_Err_INTERNAL_STRUCT_DAMAGED;

  auto* block = static_cast<GlobalData*>(handles->host_lock_handle(global));
  if (block != nullptr) {
    try {
      err = suites.UtilitySuite()->AEGP_RegisterWithAEGP(nullptr, AEGP_REGISTRATION_NAME,
                                                         &block->plugin_id);
    } catch (PF_Err) {
      // No registration suite: the block is of no use, and nobody else holds it.
      handles->host_unlock_handle(global);
      handles->host_dispose_handle(global);
      throw;
    }
  } else {
    // Later commands read the plug-in id from this block without checking for it;
    // carrying on without it would only move the failure somewhere worse.
    err = PF_Err_OUT_OF_MEMORY;
  }
  handles->host_unlock_handle(global);

  if (err == PF_Err_NONE) {
    out_data->global_data = global;
  } else {
    // The host keeps only a handle it is given: one not given back would leak.
    handles->host_dispose_handle(global);
  }
  return err;
}
