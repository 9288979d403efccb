#include "frame.h"

#include <algorithm>
#include <cstring>

namespace refhost {

namespace {

std::string ShownMessage(const PF_OutData& out) {
  if ((out.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) == 0) return "";
  // A message that fills the field has no terminator: read no further than the field.
  return std::string(out.return_msg, strnlen(out.return_msg, sizeof out.return_msg));
}

// The smart pre-render of a frame at the request's time and resolution.
void PreRender(Host& host, const FrameRequest& request, PF_PreRenderInput& pre_input,
               FrameResult& frame) {
  TimeSettings& time = host.Time();
  time.current_time = request.time;
  time.downsample_x = request.downsample;
  time.downsample_y = request.DownsampleY();
  host.images.checkouts.clear();

  const A_long width = ScaledSize(host.images.LayerWidth(), request.downsample);
  const A_long height = ScaledSize(host.images.LayerHeight(), request.DownsampleY());
  pre_input.output_request.rect = {0, 0, width, height};
  pre_input.output_request.channel_mask = 0xF;
  pre_input.bitdepth = static_cast<A_short>(BytesPerPixel(request.format) * 2);
  PF_PreRenderCallbacks pre_callbacks = PreRenderCallbacks();
  PF_PreRenderExtra pre_extra{&pre_input, &frame.pre_render, &pre_callbacks};
  frame.pre_render_err = host.Send(PF_Cmd_SMART_PRE_RENDER, &pre_extra);
  frame.message = ShownMessage(host.OutData());
}

// The smart render of the same frame into the worlds given.
void SmartRender(Host& host, const PF_PreRenderInput& pre_input, World& in, World& out,
                 FrameResult& frame) {
  host.images.Lend(in);
  host.images.Lend(out);
  host.images.frame_input = &in;
  host.images.frame_output = &out;

  PF_SmartRenderInput input{};
  input.output_request = pre_input.output_request;
  input.bitdepth = pre_input.bitdepth;
  input.pre_render_data = frame.pre_render.pre_render_data;
  PF_SmartRenderCallbacks callbacks = SmartRenderCallbacks();
  PF_SmartRenderExtra extra{&input, &callbacks};
  frame.render_err = host.Send(PF_Cmd_SMART_RENDER, &extra);
  frame.rendered = true;
  const std::string message = ShownMessage(host.OutData());
  if (!message.empty()) frame.message = message;

  host.images.frame_input = nullptr;
  host.images.frame_output = nullptr;
  host.images.TakeBack(in);
  host.images.TakeBack(out);
}

// The end of a frame, and the interface update a frame that changed the effect's
// parameters (a bake) is followed by, as any parameter change is.
void EndFrame(Host& host, std::uint64_t revision, FrameResult& frame) {
  host.EndFrame(frame.pre_render);
  frame.update_err = host.AfterParamChange(revision);
}

}  // namespace

FrameResult RenderFrame(Host& host, const FrameRequest& request) {
  FrameResult frame;
  const std::uint64_t revision = host.params.Revision();
  PF_PreRenderInput pre_input{};
  PreRender(host, request, pre_input, frame);
  if (frame.pre_render_err == PF_Err_NONE) {
    frame.input = host.images.LayerWorld(request.format, request.downsample, request.DownsampleY(),
                                         request.row_padding);
    const PF_LRect& r = frame.pre_render.result_rect;
    A_long out_width = std::max(0, r.right - r.left);
    A_long out_height = std::max(0, r.bottom - r.top);
    if (request.output_width > 0) out_width = request.output_width;
    if (request.output_height > 0) out_height = request.output_height;
    frame.output = std::make_unique<World>(out_width, out_height, request.format, request.row_padding);
    SmartRender(host, pre_input, *frame.input, *frame.output, frame);
  }
  EndFrame(host, revision, frame);
  return frame;
}

FrameResult RenderFrameInto(Host& host, const FrameRequest& request, World& input, World& output) {
  FrameResult frame;
  const std::uint64_t revision = host.params.Revision();
  PF_PreRenderInput pre_input{};
  PreRender(host, request, pre_input, frame);
  if (frame.pre_render_err == PF_Err_NONE) SmartRender(host, pre_input, input, output, frame);
  EndFrame(host, revision, frame);
  return frame;
}

}  // namespace refhost
