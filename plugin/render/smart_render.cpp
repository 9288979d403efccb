// The second half of a frame: pass the image through or clear it, then show the
// point or bake keyframes when a path is chosen.
#include "../bake/keyframe_baker.h"
#include "../host/handlers.h"
#include "../host/suite_cache.h"
#include "../path/path_locator.h"
#include "guide_marker.h"
#include "pixel_depth.h"
#include "render_info.h"

namespace {

constexpr A_long INPUT_CHECKOUT_ID = 0;  // the id the pre-render checked the input out under
constexpr A_long BAKE_CHOICE_NONE = 1;   // "----------": anything else asks for a bake
const char* const LOAD_MESSAGE = "Couldn't load suite.";
const char* const RELEASE_MESSAGE = "Couldn't release suite.";

// Replaces `err` with `result` only when no error came before.
void KeepFirst(PF_Err& err, PF_Err result) {
  if (err == PF_Err_NONE) err = result;
}

// The path half of the frame: open the locator, then either the marker or the bake.
void RenderPath(SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data,
                const RenderInfo& info, PixelDepth depth, const PF_EffectWorld& input,
                PF_EffectWorld& output, PF_Err& err) {
  const bool bake = info.bake_choice != BAKE_CHOICE_NONE;
  KeyframeBaker baker;
  if (bake) baker.ResetControls(suites, in_data, err);

  PathLocator locator;
  LocatedPoint point;
  try {
    locator.Open(suites, in_data, out_data, info.path_id, err);
    if (bake) {
      baker.Bake(suites, in_data, locator, info, err);
    } else if (info.guide != 0) {
      GuideMarker(depth, input, output, info, locator, point, err);
    }
  } catch (PF_Err) {
    // A path suite that cannot be had ends the command; the path and the mask
    // suite still go back to the host first.
    PF_Err ignored = PF_Err_BAD_CALLBACK_PARAM;
    locator.Close(ignored);
    throw;
  }
  locator.Close(err);
}

}  // namespace

PF_Err SmartRender(PF_InData* in_data, PF_OutData* out_data, PF_SmartRenderExtra* extra) {
  PF_Err err = PF_Err_NONE;
  SuiteCache suites(in_data->pica_basicP);

  auto* block = static_cast<RenderInfoBlock*>(suites.HandleSuite()->host_lock_handle(
      static_cast<PF_Handle>(extra->input->pre_render_data)));
  if (block == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  const RenderInfo& info = block->info;

  PF_EffectWorld* input = nullptr;
  PF_EffectWorld* output = nullptr;
  const PF_WorldSuite2* world_suite = nullptr;
  PF_PixelFormat format = PF_PixelFormat_INVALID;

  err = extra->cb->checkout_layer_pixels(in_data->effect_ref, INPUT_CHECKOUT_ID, &input);
  if (err == PF_Err_NONE) err = extra->cb->checkout_output(in_data->effect_ref, &output);
  if (err == PF_Err_NONE) {
    err = AcquireSuiteOrReport(in_data, out_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                               LOAD_MESSAGE, reinterpret_cast<const void**>(&world_suite));
  }
  if (err == PF_Err_NONE) err = world_suite->PF_GetPixelFormat(input, &format);

  PixelDepth depth = DEPTH_8;
  if (err == PF_Err_NONE && !PixelDepthOf(format, depth)) err = PF_Err_BAD_CALLBACK_PARAM;

  if (err == PF_Err_NONE) {
    if (info.on_transparent == 0) {
      err = in_data->utils->copy(in_data->effect_ref, input, output, nullptr, nullptr);
    } else {
      const PF_Pixel transparent = {0, 0, 0, 0};
      err = in_data->utils->fill(in_data->effect_ref, &transparent, nullptr, output);
    }
  }

  const bool bake = info.bake_choice != BAKE_CHOICE_NONE;
  const bool wants_path = info.path_id != 0 && (bake || info.guide != 0);
  if (err == PF_Err_NONE && wants_path) {
    try {
      RenderPath(suites, in_data, out_data, info, depth, *input, *output, err);
    } catch (PF_Err) {
      if (world_suite != nullptr) {
        ReleaseSuiteOrReport(in_data, out_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                             RELEASE_MESSAGE);
      }
      throw;
    }
  }

  if (world_suite != nullptr) {
    KeepFirst(err, ReleaseSuiteOrReport(in_data, out_data, kPFWorldSuite, kPFWorldSuiteVersion2,
                                        RELEASE_MESSAGE));
  }
  return err;
}
