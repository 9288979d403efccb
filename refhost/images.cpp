#include "images.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace refhost {

A_long ScaledSize(A_long size, PF_RationalScale scale) {
  if (scale.num <= 0 || scale.den == 0) throw std::invalid_argument("downsample ratio must be positive");
  const long long scaled =
      (static_cast<long long>(size) * scale.num + scale.den - 1) / static_cast<long long>(scale.den);
  return static_cast<A_long>(scaled);
}

void ImageModel::SetLayer(A_long width, A_long height, std::vector<PF_PixelFloat> pixels) {
  if (width < 0 || height < 0 ||
      pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    throw std::invalid_argument("layer pixels do not match its size");
  }
  width_ = width;
  height_ = height;
  pixels_ = std::move(pixels);
}

void ImageModel::SetTestCard(A_long width, A_long height) {
  static constexpr PF_PixelFloat BARS[] = {
      {1, 0.75f, 0.75f, 0.75f}, {1, 0.75f, 0.75f, 0}, {1, 0, 0.75f, 0.75f}, {1, 0, 0.75f, 0},
      {1, 0.75f, 0, 0.75f},     {1, 0.75f, 0, 0},     {1, 0, 0, 0.75f},
  };
  std::vector<PF_PixelFloat> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (A_long y = 0; y < height; ++y) {
    for (A_long x = 0; x < width; ++x) {
      PF_PixelFloat& p = pixels[static_cast<std::size_t>(y) * width + x];
      if (y < height * 2 / 3) {
        p = BARS[static_cast<std::size_t>(x) * 7 / static_cast<std::size_t>(std::max(width, 1))];
      } else {
        const float ramp = width > 1 ? static_cast<float>(x) / static_cast<float>(width - 1) : 0.0f;
        p = {1, ramp, ramp, ramp};
      }
      // A faint grid every 40 pixels, and an alpha ramp along the bottom edge rows.
      if (x % 40 == 0 || y % 40 == 0) p = {1, 0.2f, 0.2f, 0.2f};
      if (y >= height - 8) p.alpha = width > 1 ? static_cast<float>(x) / static_cast<float>(width - 1) : 1.0f;
    }
  }
  SetLayer(width, height, std::move(pixels));
}

std::unique_ptr<World> ImageModel::LayerWorld(PF_PixelFormat format, PF_RationalScale downsample_x,
                                              PF_RationalScale downsample_y,
                                              A_long row_padding) const {
  const A_long width = ScaledSize(width_, downsample_x);
  const A_long height = ScaledSize(height_, downsample_y);
  auto world = std::make_unique<World>(width, height, format, row_padding);
  for (A_long y = 0; y < height; ++y) {
    const long long sy = std::min<long long>(
        height_ - 1, static_cast<long long>(y) * downsample_y.den / downsample_y.num);
    for (A_long x = 0; x < width; ++x) {
      const long long sx = std::min<long long>(
          width_ - 1, static_cast<long long>(x) * downsample_x.den / downsample_x.num);
      world->WriteFloat(x, y, pixels_[static_cast<std::size_t>(sy * width_ + sx)]);
    }
  }
  return world;
}

World* ImageModel::Find(const PF_EffectWorld* def) const {
  auto it = lent_.find(def);
  return it == lent_.end() ? nullptr : it->second;
}

}  // namespace refhost
