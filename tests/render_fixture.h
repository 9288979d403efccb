// Test fixture for frames rendered through the module file: a test-card layer,
// its masks, the effect's values, and what the marker looks like at each depth.
#pragma once

#include <algorithm>
#include <cstring>
#include <vector>

#include "module_host.h"
#include "params/param_index.h"
#include "refhost/frame.h"
#include "script_host.h"

namespace render_test {

constexpr PF_PathID OPEN_PATH = 3;
constexpr PF_PathID CLOSED_PATH = 4;

// The default "Guide Color" as each depth must paint it, alpha, red, green, blue.
constexpr PF_Pixel GUIDE_8 = {255, 86, 118, 255};
constexpr PF_Pixel16 GUIDE_16 = {32768, 11051, 15163, 32768};
constexpr PF_PixelFloat GUIDE_FLOAT = {1.0f, 0.33725491f, 0.4627451f, 1.0f};

struct Depth {
  const char* name;
  PF_PixelFormat format;
  long marker_pixels;    // painted by a marker that lies wholly inside the world
  long corner_pixels;    // painted by a marker centred on a corner pixel of the world
  A_long marker_width;   // columns the marker spans; it always spans 15 rows
  const void* colour;    // the guide colour as the depth stores it
};

inline const Depth DEPTHS[] = {
    {"8-bit", PF_PixelFormat_ARGB32, 147, 45, 17, &GUIDE_8},
    {"16-bit", PF_PixelFormat_ARGB64, 133, 41, 15, &GUIDE_16},
    {"float", PF_PixelFormat_ARGB128, 133, 41, 15, &GUIDE_FLOAT},
};

inline bool PixelIs(const refhost::World& world, A_long x, A_long y, const void* pixel) {
  return std::memcmp(world.Row(y) + static_cast<std::size_t>(x) * world.PixelBytes(), pixel,
                     world.PixelBytes()) == 0;
}

inline bool PixelIsZero(const refhost::World& world, A_long x, A_long y) {
  const std::vector<std::byte> zero(world.PixelBytes());
  return PixelIs(world, x, y, zero.data());
}

// Pixels of `output` that differ from `input` over the output's size.
struct Changes {
  long count = 0;
  A_long left = 0, top = 0, right = -1, bottom = -1;  // bounding box, both ends included
  bool all_guide_colour = true;
};

inline Changes ChangesFrom(const refhost::World& input, const refhost::World& output,
                           const void* colour) {
  Changes c;
  c.left = output.Width();
  c.top = output.Height();
  const std::size_t bytes = output.PixelBytes();
  for (A_long y = 0; y < output.Height(); ++y) {
    for (A_long x = 0; x < output.Width(); ++x) {
      if (std::memcmp(output.Row(y) + x * bytes, input.Row(y) + x * bytes, bytes) == 0) continue;
      ++c.count;
      c.left = std::min(c.left, x);
      c.top = std::min(c.top, y);
      c.right = std::max(c.right, x);
      c.bottom = std::max(c.bottom, y);
      c.all_guide_colour = c.all_guide_colour && PixelIs(output, x, y, colour);
    }
  }
  return c;
}

// Fills every byte of a world, padding included, with what a host's recycled
// buffer might hold, so a pixel the module leaves alone shows.
constexpr unsigned char LEFTOVER = 0xA5;
inline void FillWithLeftovers(refhost::World& world) {
  std::memset(world.Def().data, LEFTOVER,
              static_cast<std::size_t>(world.Def().rowbytes) * static_cast<std::size_t>(world.Height()));
}
inline bool StillLeftovers(const refhost::World& world) {
  for (A_long y = 0; y < world.Height(); ++y) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(world.Width()) * world.PixelBytes(); ++i) {
      if (world.Row(y)[i] != std::byte{LEFTOVER}) return false;
    }
  }
  return true;
}

// A test-card layer with an open and a closed mask, whose frames get output
// worlds that come with leftovers. The effect instance is started by the caller.
inline void SetUpLayer(refhost::Host& host, A_long width, A_long height,
                       std::vector<refhost::Vec2> open_path, std::vector<refhost::Vec2> closed_path) {
  host.SetTestCardLayer(width, height);
  host.masks.Add(OPEN_PATH, false, Corners(open_path));
  host.masks.Add(CLOSED_PATH, true, Corners(closed_path));
  host.before_entry = [&host](PF_InData&, PF_OutData&) {
    if (host.images.frame_output != nullptr) FillWithLeftovers(*host.images.frame_output);
  };
}

}  // namespace render_test
