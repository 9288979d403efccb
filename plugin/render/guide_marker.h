// The ring-and-cross guide that shows where the effect's point lies.
#pragma once

#include "../host/host_contract.h"
#include "../path/path_locator.h"
#include "pixel_depth.h"
#include "render_info.h"

PF_Pixel16 Pixel8To16(PF_Pixel color);
PF_PixelFloat Pixel8ToFloat(PF_Pixel color);

// Whether offset (dx, dy) from the centre is painted: a ring band, or within one
// pixel of either axis (a cross three pixels thick).
constexpr bool MarkerPaints(int dx, int dy, int ring_min, int ring_max) {
  const int r2 = dx * dx + dy * dy;
  return (r2 >= ring_min && r2 <= ring_max) || (dx >= -1 && dx <= 1) || (dy >= -1 && dy <= 1);
}

struct MarkerPattern {
  int rows;     // dy runs over -rows..rows
  int columns;  // dx runs over -columns..columns
  int ring_min, ring_max;
};
// 8-bit: 17 columns but 15 rows, so the ring's top and bottom points at dy = +-8
// are never reached: the marker is 17 wide and 15 tall.
constexpr MarkerPattern MARKER_8_PATTERN = {7, 8, 36, 64};
constexpr MarkerPattern MARKER_DEEP_PATTERN = {7, 7, 25, 49};

// Paints `color` at every pattern offset from (column, row) that lies inside the
// clip size and inside the world. `stride` is in pixels.
template <class Pixel>
void PaintMarker(Pixel* data, A_long stride, A_long clip_width, A_long clip_height,
                 A_long column, A_long row, const MarkerPattern& pattern, Pixel color) {
  for (int dy = -pattern.rows; dy <= pattern.rows; ++dy) {
    for (int dx = -pattern.columns; dx <= pattern.columns; ++dx) {
      if (!MarkerPaints(dx, dy, pattern.ring_min, pattern.ring_max)) continue;
      const long long c = static_cast<long long>(column) + dx;
      const long long r = static_cast<long long>(row) + dy;
      if (c < 0 || c >= clip_width || r < 0 || r >= clip_height) continue;
      data[r * stride + c] = color;
    }
  }
}

// Locates the point at the frame's offset and paints the marker there into `output`.
void GuideMarker(PixelDepth depth, const PF_EffectWorld& input, PF_EffectWorld& output,
                 const RenderInfo& info, PathLocator& locator, LocatedPoint& point, PF_Err& err);
