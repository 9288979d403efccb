#include "guide_marker.h"

#include "../path/conversions.h"

PF_Pixel16 Pixel8To16(PF_Pixel color) {
  auto convert = [](A_u_char c) {
    return static_cast<A_u_short>((c * PF_MAX_CHAN16 + 128) / PF_MAX_CHAN8);
  };
  return {convert(color.alpha), convert(color.red), convert(color.green), convert(color.blue)};
}

PF_PixelFloat Pixel8ToFloat(PF_Pixel color) {
  auto convert = [](A_u_char c) { return static_cast<float>(c / 255.0); };
  return {convert(color.alpha), convert(color.red), convert(color.green), convert(color.blue)};
}

namespace {

template <class Pixel>
void Paint(const PF_EffectWorld& input, PF_EffectWorld& output, GuideCenter center,
           const MarkerPattern& pattern, Pixel color) {
  // Clipped against the input's size as the host sizes the output from it, and
  // against the output's too, so a smaller output is never written past.
  const A_long width = input.width < output.width ? input.width : output.width;
  const A_long height = input.height < output.height ? input.height : output.height;
  PaintMarker(static_cast<Pixel*>(output.data), output.rowbytes / static_cast<A_long>(sizeof(Pixel)),
              width, height, center.column, center.row, pattern, color);
}

}  // namespace

void GuideMarker(PixelDepth depth, const PF_EffectWorld& input, PF_EffectWorld& output,
                 const RenderInfo& info, PathLocator& locator, LocatedPoint& point, PF_Err& err) {
  const double fraction =
      OffsetFraction(locator.is_open, info.percent_fraction, info.angle_fraction);
  locator.Locate(fraction, point, err);
  // A point never found has no place on the path to show.
  if (!point.found) return;
  const GuideCenter center = GuidePixel(point.x, point.y);
  if (!center.paints) return;
  switch (depth) {
    case DEPTH_8:
      Paint(input, output, center, MARKER_8_PATTERN, info.guide_color);
      break;
    case DEPTH_16:
      Paint(input, output, center, MARKER_DEEP_PATTERN, Pixel8To16(info.guide_color));
      break;
    case DEPTH_32F:
      Paint(input, output, center, MARKER_DEEP_PATTERN, Pixel8ToFloat(info.guide_color));
      break;
  }
}
