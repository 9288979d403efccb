// One frame rendered the way the host renders it: smart pre-render with the
// output request, smart render with the same pre-render data, then the data freed
// through the module's delete callback.
#pragma once

#include <memory>
#include <string>

#include "host.h"
#include "world.h"

namespace refhost {

struct FrameRequest {
  A_long time = 0;
  PF_PixelFormat format = PF_PixelFormat_ARGB32;
  PF_RationalScale downsample{1, 1};
  A_long row_padding = 0;  // extra pixels at the end of every row of both worlds
  // An output narrower or shorter than the result rectangle asks for, to check
  // that the module stays inside it (0: as the result rectangle says).
  A_long output_width = 0;
  A_long output_height = 0;
  // A vertical factor other than the horizontal one, as the host's custom
  // resolutions allow (den 0: the same as `downsample`).
  PF_RationalScale downsample_y{0, 0};

  PF_RationalScale DownsampleY() const { return downsample_y.den == 0 ? downsample : downsample_y; }
};

struct FrameResult {
  PF_Err pre_render_err = PF_Err_NONE;
  PF_Err render_err = PF_Err_NONE;
  PF_Err update_err = PF_Err_NONE;  // of the interface update after a bake
  bool rendered = false;  // the smart render ran (the pre-render succeeded)
  PF_PreRenderOutput pre_render{};
  std::unique_ptr<World> input;
  std::unique_ptr<World> output;
  std::string message;  // return_msg, when the module asked for it to be shown

  PF_Err Result() const { return pre_render_err != PF_Err_NONE ? pre_render_err : render_err; }
};

FrameResult RenderFrame(Host& host, const FrameRequest& request);
// The same into worlds the caller made and keeps (of the layer's size at the
// request's resolution and format), so repeated frames make no new worlds.
FrameResult RenderFrameInto(Host& host, const FrameRequest& request, World& input, World& output);

const PF_PreRenderCallbacks& PreRenderCallbacks();
const PF_SmartRenderCallbacks& SmartRenderCallbacks();

}  // namespace refhost
