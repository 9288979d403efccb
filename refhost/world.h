// An image the host owns and lends to the module as a PF_EffectWorld: rows of
// pixels `rowbytes` apart, which may be more than the width needs.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "../plugin/host/host_contract.h"

namespace refhost {

std::size_t BytesPerPixel(PF_PixelFormat format);

class World {
 public:
  // `row_padding` extra pixels end every row, so row strides other than the width
  // are exercised.
  World(A_long width, A_long height, PF_PixelFormat format, A_long row_padding = 0);
  World(const World&) = delete;
  World& operator=(const World&) = delete;

  PF_EffectWorld& Def() { return def_; }
  const PF_EffectWorld& Def() const { return def_; }
  PF_PixelFormat Format() const { return format_; }
  A_long Width() const { return def_.width; }
  A_long Height() const { return def_.height; }
  std::size_t PixelBytes() const { return BytesPerPixel(format_); }

  std::byte* Row(A_long y) { return bytes_.get() + static_cast<std::size_t>(y) * def_.rowbytes; }
  const std::byte* Row(A_long y) const {
    return bytes_.get() + static_cast<std::size_t>(y) * def_.rowbytes;
  }
  template <class Pixel>
  Pixel& At(A_long x, A_long y) {
    return reinterpret_cast<Pixel*>(Row(y))[x];
  }
  template <class Pixel>
  const Pixel& At(A_long x, A_long y) const {
    return reinterpret_cast<const Pixel*>(Row(y))[x];
  }

  // The pixel at (x, y) as floats in 0..1, alpha, red, green, blue, at any depth.
  PF_PixelFloat ReadFloat(A_long x, A_long y) const;
  void WriteFloat(A_long x, A_long y, const PF_PixelFloat& pixel);
  // Whether the pixels (not the row padding) equal another world's.
  bool SamePixels(const World& other) const;
  // How many pixels differ from another world of the same size and format.
  long CountDifferences(const World& other) const;

 private:
  PF_PixelFormat format_;
  std::unique_ptr<std::byte[]> bytes_;
  PF_EffectWorld def_{};
};

// The host's own conversions of an 8-bit colour to the deeper formats.
PF_Pixel16 HostPixel8To16(const PF_Pixel& pixel);
PF_PixelFloat HostPixel8ToFloat(const PF_Pixel& pixel);

}  // namespace refhost
