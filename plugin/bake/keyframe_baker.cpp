#include "keyframe_baker.h"

#include <cstdint>
#include <cstring>

#include "../lifecycle/global_data.h"
#include "../params/param_index.h"
#include "../path/conversions.h"

namespace {

constexpr double BAKE_CHOICE_NONE = 1.0;  // "----------"
constexpr double GUIDE_OFF = 0.0;

// Replaces `err` with `result` only when no error came before.
void KeepFirst(PF_Err& err, A_Err result) {
  if (err == PF_Err_NONE) err = result;
}

// The AEGP calls need the plug-in id from global setup; without the block there
// is no id to give, and the command fails instead of reading through null.
AEGP_PluginID PluginIdOrFail(const PF_InData* in_data, PF_Err& err) {
  if (in_data->global_data == nullptr || *in_data->global_data == nullptr) {
    err = PF_Err_INTERNAL_STRUCT_DAMAGED;
    return 0;
  }
  return static_cast<const GlobalData*>(*in_data->global_data)->plugin_id;
}

// The suites that give back what the bake takes are acquired before anything is
// taken, so a missing suite can never strand a reference in the host.
struct BakeSuites {
  const AEGP_PFInterfaceSuite1* pf_interface;
  const AEGP_StreamSuite7* stream;
  const AEGP_EffectSuite2* effect;
};

BakeSuites AcquireBakeSuites(SuiteCache& suites) {
  return {suites.PFInterfaceSuite(), suites.StreamSuite(), suites.EffectSuite()};
}

// The offset at time t as a fraction of the path's length: the percentage on an
// open path, the angle on a closed one.
double OffsetFractionAt(PF_InData* in_data, bool is_open, A_long t, PF_Err& err) {
  if (err != PF_Err_NONE) return 0.0;
  const PF_ParamIndex index = is_open ? PARAM_OFFSET_PERCENT : PARAM_OFFSET_ANGLE;
  PF_ParamDef def;
  std::memset(&def, 0, sizeof(def));
  err = in_data->inter.checkout_param(in_data->effect_ref, index, t, in_data->time_step,
                                      in_data->time_scale, &def);
  // A failed check-out holds nothing the host filled in, so it is not checked in.
  if (err != PF_Err_NONE) return 0.0;
  const double fraction = is_open ? PercentFraction(def.u.fd.value)
                                  : AngleFraction(def.u.ad.value, in_data->utils->ansi.fmod);
  in_data->inter.checkin_param(in_data->effect_ref, &def);
  return fraction;
}

}  // namespace

void KeyframeBaker::ResetControls(SuiteCache& suites, PF_InData* in_data, PF_Err& err) {
  if (err != PF_Err_NONE) return;
  const AEGP_PluginID plugin_id = PluginIdOrFail(in_data, err);
  if (err != PF_Err_NONE) return;
  const BakeSuites s = AcquireBakeSuites(suites);
  AEGP_EffectRefH effect = nullptr;
  AEGP_StreamRefH popup = nullptr;
  AEGP_StreamRefH guide = nullptr;
  AEGP_StreamValue2 popup_value{};
  AEGP_StreamValue2 guide_value{};
  bool have_popup_value = false;
  bool have_guide_value = false;
  const A_Time now = {in_data->current_time, in_data->time_scale};

  err = s.pf_interface->AEGP_GetNewEffectForEffect(plugin_id, in_data->effect_ref, &effect);
  if (!err) err = s.stream->AEGP_GetNewEffectStreamByIndex(plugin_id, effect, PARAM_BAKE, &popup);
  if (!err) err = s.stream->AEGP_GetNewEffectStreamByIndex(plugin_id, effect, PARAM_GUIDE, &guide);
  if (!err) {
    err = s.stream->AEGP_GetNewStreamValue(plugin_id, popup, AEGP_LTimeMode_LayerTime, &now, 1,
                                           &popup_value);
    have_popup_value = err == PF_Err_NONE;
  }
  if (!err) {
    err = s.stream->AEGP_GetNewStreamValue(plugin_id, guide, AEGP_LTimeMode_LayerTime, &now, 1,
                                           &guide_value);
    have_guide_value = err == PF_Err_NONE;
  }
  if (!err) {
    popup_value.val.one_d = BAKE_CHOICE_NONE;
    guide_value.val.one_d = GUIDE_OFF;
    err = s.stream->AEGP_SetStreamValue(plugin_id, popup, &popup_value);
  }
  if (!err) err = s.stream->AEGP_SetStreamValue(plugin_id, guide, &guide_value);

  if (have_popup_value) KeepFirst(err, s.stream->AEGP_DisposeStreamValue(&popup_value));
  if (have_guide_value) KeepFirst(err, s.stream->AEGP_DisposeStreamValue(&guide_value));
  if (popup != nullptr) KeepFirst(err, s.stream->AEGP_DisposeStream(popup));
  if (guide != nullptr) KeepFirst(err, s.stream->AEGP_DisposeStream(guide));
  if (effect != nullptr) KeepFirst(err, s.effect->AEGP_DisposeEffect(effect));
}

void KeyframeBaker::Bake(SuiteCache& suites, PF_InData* in_data, PathLocator& locator,
                         const RenderInfo& info, PF_Err& err) {
  if (err != PF_Err_NONE) return;
  const AEGP_PluginID plugin_id = PluginIdOrFail(in_data, err);
  if (err != PF_Err_NONE) return;
  const BakeSuites s = AcquireBakeSuites(suites);
  const AEGP_KeyframeSuite3* keyframes = suites.KeyframeSuite();

  AEGP_EffectRefH effect = nullptr;
  AEGP_StreamRefH point_stream = nullptr;
  AEGP_StreamRefH angle_stream = nullptr;
  AEGP_AddKeyframesInfoH point_batch = nullptr;
  AEGP_AddKeyframesInfoH angle_batch = nullptr;
  A_long point_index = 0;
  A_long angle_index = 0;

  err = s.pf_interface->AEGP_GetNewEffectForEffect(plugin_id, in_data->effect_ref, &effect);
  if (!err) {
    err = s.stream->AEGP_GetNewEffectStreamByIndex(plugin_id, effect, PARAM_POINT, &point_stream);
  }
  if (!err) {
    err = s.stream->AEGP_GetNewEffectStreamByIndex(plugin_id, effect, PARAM_ANGLE, &angle_stream);
  }
  if (!err) err = keyframes->AEGP_StartAddKeyframes(point_stream, &point_batch);
  if (!err) err = keyframes->AEGP_StartAddKeyframes(angle_stream, &angle_batch);

  // The walk. A step of zero or less would never reach the end, so it walks no
  // step; t is counted in 64 bits, so it cannot wrap past the largest host time.
  LocatedPoint point;
  const bool is_open = locator.is_open != 0;
  const std::int64_t step = in_data->time_step;
  for (std::int64_t t = 0; !err && step > 0 && t < in_data->total_time; t += step) {
    const A_long time_value = static_cast<A_long>(t);
    const double fraction = OffsetFractionAt(in_data, is_open, time_value, err);
    locator.Locate(fraction, point, err);
    // Until the walk has found a point there is nothing true to write: such steps
    // add no keyframe rather than invent a position.
    if (err || !point.found) continue;
    const double heading = HeadingDegrees(point.dx, point.dy, in_data->utils->ansi.fmod);
    const A_Time time = {time_value, in_data->time_scale};
    AEGP_StreamValue2 point_value{};
    AEGP_StreamValue2 angle_value{};
    bool have_point_value = false;
    bool have_angle_value = false;

    err = keyframes->AEGP_AddKeyframes(point_batch, AEGP_LTimeMode_LayerTime, &time, &point_index);
    if (!err) {
      err = keyframes->AEGP_AddKeyframes(angle_batch, AEGP_LTimeMode_LayerTime, &time, &angle_index);
    }
    if (!err) {
      err = s.stream->AEGP_GetNewStreamValue(plugin_id, point_stream, AEGP_LTimeMode_LayerTime,
                                             &time, 1, &point_value);
      have_point_value = err == PF_Err_NONE;
    }
    if (!err) {
      const KeyframeXY xy = KeyframePoint(point.x, point.y, info.downsample_x, info.downsample_y);
      point_value.val.two_d.x = xy.x;
      point_value.val.two_d.y = xy.y;
      err = s.stream->AEGP_GetNewStreamValue(plugin_id, angle_stream, AEGP_LTimeMode_LayerTime,
                                             &time, 1, &angle_value);
      have_angle_value = err == PF_Err_NONE;
    }
    if (!err) {
      angle_value.val.one_d = heading;
      err = keyframes->AEGP_SetAddKeyframe(point_batch, point_index, &point_value);
    }
    if (!err) err = keyframes->AEGP_SetAddKeyframe(angle_batch, angle_index, &angle_value);
    if (have_point_value) KeepFirst(err, s.stream->AEGP_DisposeStreamValue(&point_value));
    if (have_angle_value) KeepFirst(err, s.stream->AEGP_DisposeStreamValue(&angle_value));
  }

  // Batches: kept on success; on a failure they are still ended, with their
  // keyframes dropped, so the user keeps the Point and Angle they had rather than a
  // bake cut off part way, and nothing stays open in the host. The Angle batch is
  // kept only when the Point batch's end succeeded too, so that a failure there
  // does not leave Angle keyframes without their Point counterparts.
  if (point_batch != nullptr) {
    KeepFirst(err, keyframes->AEGP_EndAddKeyframes(err == PF_Err_NONE, point_batch));
  }
  if (angle_batch != nullptr) {
    KeepFirst(err, keyframes->AEGP_EndAddKeyframes(err == PF_Err_NONE, angle_batch));
  }
  if (point_stream != nullptr) KeepFirst(err, s.stream->AEGP_DisposeStream(point_stream));
  if (angle_stream != nullptr) KeepFirst(err, s.stream->AEGP_DisposeStream(angle_stream));
  if (effect != nullptr) KeepFirst(err, s.effect->AEGP_DisposeEffect(effect));
}
