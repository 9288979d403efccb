// The first half of a frame: read every value the frame needs at its time, once,
// and ask for the input exactly as the host asks for the output.
#include <cstring>

#include "../host/handlers.h"
#include "../host/suite_cache.h"
#include "../params/param_index.h"
#include "../path/conversions.h"
#include "render_info.h"

namespace {

// The parameters the frame reads, in the order they are checked out.
constexpr PF_ParamIndex FRAME_PARAMS[] = {PARAM_PATH,  PARAM_OFFSET_PERCENT, PARAM_OFFSET_ANGLE,
                                          PARAM_ON_TRANSPARENT, PARAM_GUIDE, PARAM_GUIDE_COLOR,
                                          PARAM_BAKE};
constexpr int FRAME_PARAM_COUNT = sizeof(FRAME_PARAMS) / sizeof(FRAME_PARAMS[0]);

bool IsEmpty(const PF_LRect& r) { return r.left >= r.right || r.top >= r.bottom; }

double Ratio(const PF_RationalScale& scale) {
  return static_cast<double>(scale.num) / static_cast<double>(scale.den);
}

void WriteRenderInfo(const PF_InData* in_data, PF_ParamDef (&defs)[FRAME_PARAM_COUNT],
                     RenderInfo& info) {
  info.downsample_x = Ratio(in_data->downsample_x);
  info.downsample_y = Ratio(in_data->downsample_y);
  info.path_id = defs[0].u.path_d.path_id;
  info.percent_fraction = PercentFraction(defs[1].u.fd.value);
  info.angle_fraction = AngleFraction(defs[2].u.ad.value, in_data->utils->ansi.fmod);
  info.on_transparent = defs[3].u.bd.value;
  info.guide = defs[4].u.bd.value;
  info.guide_color = defs[5].u.cd.value;
  info.bake_choice = defs[6].u.pd.value;
}

}  // namespace

void AccumulateRect(const PF_LRect& src, PF_LRect& dst) {
  if (IsEmpty(dst)) {
    dst = src;
  } else if (!IsEmpty(src)) {
    if (src.left < dst.left) dst.left = src.left;
    if (src.top < dst.top) dst.top = src.top;
    if (src.right > dst.right) dst.right = src.right;
    if (src.bottom > dst.bottom) dst.bottom = src.bottom;
  }
}

void DeleteRenderInfo(void* pre_render_data) {
  PF_Handle handle = static_cast<PF_Handle>(pre_render_data);
  if (handle == nullptr || *handle == nullptr) return;
  static_cast<RenderInfoBlock*>(*handle)->dispose_handle(handle);
}

PF_Err SmartPreRender(PF_InData* in_data, PF_OutData* /*out_data*/, PF_PreRenderExtra* extra) {
  PF_Err err = PF_Err_NONE;
  SuiteCache suites(in_data->pica_basicP);
  PF_RenderRequest request = extra->input->output_request;

  const PF_HandleSuite1* handles = suites.HandleSuite();
  PF_Handle handle = handles->host_new_handle(sizeof(RenderInfoBlock));
  if (handle == nullptr) return PF_Err_OUT_OF_MEMORY;
  auto* block = static_cast<RenderInfoBlock*>(handles->host_lock_handle(handle));
  if (block == nullptr) {
    // Never handed to the host, so nobody else could free it.
    handles->host_dispose_handle(handle);
    return PF_Err_OUT_OF_MEMORY;
  }
  // The host frees the block through the delete callback when the frame is done,
  // also when a later step fails; the way to free it is written first.
  block->dispose_handle = in_data->utils->host_dispose_handle;
  extra->output->pre_render_data = handle;
  extra->output->delete_pre_render_data_func = DeleteRenderInfo;

  PF_ParamDef defs[FRAME_PARAM_COUNT];
  int checked_out = 0;  // the first this many check-outs succeeded
  while (err == PF_Err_NONE && checked_out < FRAME_PARAM_COUNT) {
    std::memset(&defs[checked_out], 0, sizeof(PF_ParamDef));
    err = in_data->inter.checkout_param(in_data->effect_ref, FRAME_PARAMS[checked_out],
                                        in_data->current_time, in_data->time_step,
                                        in_data->time_scale, &defs[checked_out]);
    if (err == PF_Err_NONE) ++checked_out;
  }

  PF_CheckoutResult input{};
  if (err == PF_Err_NONE) {
    request.preserve_rgb_of_zero_alpha = 1;
    err = extra->cb->checkout_layer(in_data->effect_ref, PARAM_INPUT, 0, &request,
                                    in_data->current_time, in_data->time_step,
                                    in_data->time_scale, &input);
  }
  if (err == PF_Err_NONE) {
    std::memset(&block->info, 0, sizeof(RenderInfo));
    WriteRenderInfo(in_data, defs, block->info);
    AccumulateRect(input.result_rect, extra->output->result_rect);
    AccumulateRect(input.max_result_rect, extra->output->max_result_rect);
  }

  for (int i = 0; i < checked_out; ++i) in_data->inter.checkin_param(in_data->effect_ref, &defs[i]);
  return err;
}
