// What the pre-render reads once per frame and hands the render through the host.
#pragma once

#include "../host/host_contract.h"

struct RenderInfo {
  double downsample_x;  // the render's resolution: 0.5 at half resolution
  double downsample_y;
  PF_PathID path_id;  // 0: no path chosen
  double percent_fraction;
  double angle_fraction;
  A_long on_transparent;
  A_long bake_choice;  // popup item: 1 "----------", anything else asks for a bake
  A_long guide;
  PF_Pixel guide_color;
};

// The pre-render data block: the record, plus the host routine that frees the
// block. The host gives the delete callback nothing but the data pointer, so the
// block must carry the way back to the host's memory manager itself.
struct RenderInfoBlock {
  RenderInfo info;
  void (*dispose_handle)(PF_Handle handle);
};

// Grows dst to cover src as well. An empty dst takes src value for value, even an
// empty src; an empty src leaves a non-empty dst as it is.
void AccumulateRect(const PF_LRect& src, PF_LRect& dst);

// The pre-render's delete callback: frees the frame's RenderInfo handle.
void DeleteRenderInfo(void* pre_render_data);
