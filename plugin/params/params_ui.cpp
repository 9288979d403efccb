// Keeps the controls honest while the user edits: only the "Offset" that fits the
// chosen path is shown, and the sequence data holds the parameters' latest state.
#include "../host/handlers.h"
#include "../host/suite_cache.h"
#include "../lifecycle/global_data.h"
#include "param_index.h"

namespace {

const char* const STATE_ERROR_MESSAGE = "ERROR";

void KeepFirst(PF_Err& err, A_Err result) {
  if (err == PF_Err_NONE) err = result;
}

// Whether the chosen path is open. The path goes back to the host whenever it
// was checked out, also when the question failed.
void QueryPathOpen(SuiteCache& suites, PF_InData* in_data, PF_PathID path_id, PF_Boolean& open,
                   PF_Err& err) {
  const PF_PathQuerySuite1* query = suites.PathQuerySuite();
  const PF_PathDataSuite1* data = suites.PathDataSuite();  // before the path is out
  PF_PathOutlinePtr path = nullptr;
  err = query->PF_CheckoutPath(in_data->effect_ref, path_id, in_data->current_time,
                               in_data->time_step, in_data->time_scale, &path);
  if (err != PF_Err_NONE) return;
  err = data->PF_PathIsOpen(in_data->effect_ref, path, &open);
  KeepFirst(err, query->PF_CheckinPath(in_data->effect_ref, path_id, 0, path));
}

// Renews the snapshot when the host reports a change. The placeholder that
// sequence setup leaves is told from a snapshot by its size: only a block of
// exactly a PF_State's size is ever handed to the host as one.
void RenewSnapshot(SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data, PF_Err& err) {
  const PF_ParamUtilsSuite1* param_utils = suites.ParamUtilsSuite();
  const PF_HandleSuite1* handles = suites.HandleSuite();
  PF_Handle old_handle = in_data->sequence_data;
  const bool has_snapshot = old_handle != nullptr && *old_handle != nullptr &&
                            handles->host_get_handle_size(old_handle) == SEQUENCE_SNAPSHOT_SIZE;
  PF_Boolean changed = 1;
  if (has_snapshot) {
    err = param_utils->PF_HasParamChanged(in_data->effect_ref,
                                          static_cast<const PF_State*>(*old_handle),
                                          PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE, &changed);
  }
  if (err == PF_Err_NONE && changed) {
    // No handle: nothing is reported and the next pass asks again.
    PF_Handle new_handle = in_data->utils->host_new_handle(SEQUENCE_SNAPSHOT_SIZE);
    if (new_handle != nullptr) {
      err = param_utils->PF_GetCurrentState(in_data->effect_ref, static_cast<PF_State*>(*new_handle));
      if (err == PF_Err_NONE) {
        if (old_handle != nullptr) handles->host_dispose_handle(old_handle);
        out_data->sequence_data = new_handle;
        in_data->sequence_data = new_handle;
      } else {
        // Never installed, so nobody else would free it.
        handles->host_dispose_handle(new_handle);
      }
    }
  }
  if (err != PF_Err_NONE) {
    in_data->utils->ansi.strcpy(out_data->return_msg, STATE_ERROR_MESSAGE);
    out_data->out_flags = PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  }
}

}  // namespace

PF_Err UpdateParamsUI(PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                      PF_LayerDef* /*output*/, void* /*extra*/) {
  PF_Err err = PF_Err_NONE;
  SuiteCache suites(in_data->pica_basicP);

  const PF_PathID path_id = params[PARAM_PATH]->u.path_d.path_id;
  PF_Boolean open = 1;
  if (path_id != 0) QueryPathOpen(suites, in_data, path_id, open, err);

  AEGP_EffectRefH effect = nullptr;
  AEGP_StreamRefH percent_stream = nullptr;
  AEGP_StreamRefH angle_stream = nullptr;
  AEGP_PluginID plugin_id = 0;
  const AEGP_StreamSuite7* stream_suite = nullptr;
  const AEGP_EffectSuite2* effect_suite = nullptr;
  if (err == PF_Err_NONE) {
    if (in_data->global_data == nullptr || *in_data->global_data == nullptr) {
      // No plug-in id to present: an error the host can show, never a read through null.
      err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    } else {
      plugin_id = static_cast<const GlobalData*>(*in_data->global_data)->plugin_id;
      // The suites that give references back come first, so a missing one can
      // never strand a reference in the host.
      stream_suite = suites.StreamSuite();
      effect_suite = suites.EffectSuite();
      err = suites.PFInterfaceSuite()->AEGP_GetNewEffectForEffect(plugin_id, in_data->effect_ref,
                                                                  &effect);
    }
  }

  try {
    if (!err) {
      err = stream_suite->AEGP_GetNewEffectStreamByIndex(plugin_id, effect, PARAM_OFFSET_PERCENT,
                                                         &percent_stream);
    }
    if (!err) {
      err = stream_suite->AEGP_GetNewEffectStreamByIndex(plugin_id, effect, PARAM_OFFSET_ANGLE,
                                                         &angle_stream);
    }
    const A_Boolean hide_percent = path_id == 0 || !open;
    const A_Boolean hide_angle = path_id == 0 || open;
    if (!err) {
      err = suites.DynamicStreamSuite()->AEGP_SetDynamicStreamFlag(
          percent_stream, AEGP_DynStreamFlag_HIDDEN, 0, hide_percent);
    }
    if (!err) {
      err = suites.DynamicStreamSuite()->AEGP_SetDynamicStreamFlag(
          angle_stream, AEGP_DynStreamFlag_HIDDEN, 0, hide_angle);
    }
    if (!err) RenewSnapshot(suites, in_data, out_data, err);
  } catch (PF_Err) {
    // A suite the host could not give ends the command; the references go back first.
    if (angle_stream != nullptr) stream_suite->AEGP_DisposeStream(angle_stream);
    if (percent_stream != nullptr) stream_suite->AEGP_DisposeStream(percent_stream);
    if (effect != nullptr) effect_suite->AEGP_DisposeEffect(effect);
    throw;
  }

  if (effect != nullptr) KeepFirst(err, effect_suite->AEGP_DisposeEffect(effect));
  if (percent_stream != nullptr) KeepFirst(err, stream_suite->AEGP_DisposeStream(percent_stream));
  if (angle_stream != nullptr) KeepFirst(err, stream_suite->AEGP_DisposeStream(angle_stream));
  out_data->out_flags |= PF_OutFlag_REFRESH_UI;
  return err;
}
