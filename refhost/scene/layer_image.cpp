#include "layer_image.h"

#include <algorithm>
#include <cmath>

#include "refhost/output/image_files.h"

namespace refhost::scene {

namespace {

PF_PixelFloat Float(const PF_Pixel& c) {
  return {c.alpha / 255.0f, c.red / 255.0f, c.green / 255.0f, c.blue / 255.0f};
}

PF_PixelFloat Mix(const PF_PixelFloat& a, const PF_PixelFloat& b, float t) {
  return {a.alpha + (b.alpha - a.alpha) * t, a.red + (b.red - a.red) * t, a.green + (b.green - a.green) * t,
          a.blue + (b.blue - a.blue) * t};
}

// A test card drawn per pixel so it is exact at every depth: a dark field with a
// grid every 40 pixels (brighter every 200), seven colour bars across the upper
// third, a grey ramp along the bottom, and a ring around the centre.
PF_PixelFloat TestCard(int x, int y, int width, int height) {
  const float fx = static_cast<float>(x) + 0.5f;
  const float fy = static_cast<float>(y) + 0.5f;
  const float w = static_cast<float>(width);
  const float h = static_cast<float>(height);
  PF_PixelFloat p{1.0f, 0.16f, 0.17f, 0.19f};
  if (fy > h * 0.15f && fy < h * 0.30f && fx > w * 0.1f && fx < w * 0.9f) {
    static const PF_PixelFloat BARS[7] = {{1, 0.75f, 0.75f, 0.75f}, {1, 0.75f, 0.75f, 0}, {1, 0, 0.75f, 0.75f},
                                          {1, 0, 0.75f, 0},          {1, 0.75f, 0, 0.75f}, {1, 0.75f, 0, 0},
                                          {1, 0, 0, 0.75f}};
    int bar = std::clamp(static_cast<int>((fx - w * 0.1f) / (w * 0.8f) * 7.0f), 0, 6);
    return BARS[bar];
  }
  if (fy > h * 0.85f && fy < h * 0.92f && fx > w * 0.1f && fx < w * 0.9f) {
    float v = (fx - w * 0.1f) / (w * 0.8f);
    return {1.0f, v, v, v};
  }
  if (x % 200 == 0 || y % 200 == 0) return {1.0f, 0.55f, 0.55f, 0.6f};
  if (x % 40 == 0 || y % 40 == 0) return {1.0f, 0.3f, 0.31f, 0.34f};
  float r = std::hypot(fx - w / 2, fy - h / 2);
  float ring = std::min(w, h) * 0.2f;
  if (std::fabs(r - ring) < 1.5f) return {1.0f, 0.9f, 0.9f, 0.9f};
  return p;
}

}  // namespace

output::Image MakeLayerImage(const Layer& layer, Depth depth) {
  if (!layer.source.image.empty()) return output::ConvertDepth(output::ReadImageFile(layer.source.image), depth);
  output::Image image = output::MakeImage(layer.width, layer.height, Depth::FLOAT_32);
  auto& pixels = std::get<std::vector<PF_PixelFloat>>(image.pixels);
  const PF_PixelFloat from = Float(layer.source.color);
  const PF_PixelFloat to = Float(layer.source.color2);
  for (int y = 0; y < layer.height; ++y) {
    for (int x = 0; x < layer.width; ++x) {
      PF_PixelFloat& p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(layer.width) +
                                static_cast<std::size_t>(x)];
      switch (layer.source.pattern) {
        case Pattern::TEST_CARD: p = TestCard(x, y, layer.width, layer.height); break;
        case Pattern::SOLID: p = from; break;
        case Pattern::GRADIENT:
          p = Mix(from, to, layer.width > 1 ? static_cast<float>(x) / static_cast<float>(layer.width - 1) : 0.0f);
          break;
      }
    }
  }
  return output::ConvertDepth(image, depth);
}

}  // namespace refhost::scene
