#include "world.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>

namespace refhost {

std::size_t BytesPerPixel(PF_PixelFormat format) {
  switch (format) {
    case PF_PixelFormat_ARGB32: return sizeof(PF_Pixel);
    case PF_PixelFormat_ARGB64: return sizeof(PF_Pixel16);
    case PF_PixelFormat_ARGB128: return sizeof(PF_PixelFloat);
    default: throw std::invalid_argument("world of an unknown pixel format");
  }
}

World::World(A_long width, A_long height, PF_PixelFormat format, A_long row_padding)
    : format_(format) {
  if (width < 0 || height < 0 || row_padding < 0) throw std::invalid_argument("negative world size");
  const std::size_t rowbytes = (static_cast<std::size_t>(width) + row_padding) * BytesPerPixel(format);
  const std::size_t size = std::max<std::size_t>(1, rowbytes * static_cast<std::size_t>(height));
  // Exactly the bytes the world spans, zeroed, so an overrun is caught by the sanitizers.
  bytes_ = std::make_unique<std::byte[]>(size);
  def_.data = bytes_.get();
  def_.rowbytes = static_cast<A_long>(rowbytes);
  def_.width = width;
  def_.height = height;
  def_.world_flags = PF_WorldFlag_WRITEABLE | (format != PF_PixelFormat_ARGB32 ? PF_WorldFlag_DEEP : 0);
  def_.extent_hint = {0, 0, width, height};
  def_.pix_aspect_ratio = {1, 1};
}

PF_PixelFloat World::ReadFloat(A_long x, A_long y) const {
  switch (format_) {
    case PF_PixelFormat_ARGB32: {
      const auto& p = At<PF_Pixel>(x, y);
      return {p.alpha / 255.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
    }
    case PF_PixelFormat_ARGB64: {
      const auto& p = At<PF_Pixel16>(x, y);
      constexpr float max = PF_MAX_CHAN16;
      return {p.alpha / max, p.red / max, p.green / max, p.blue / max};
    }
    default:
      return At<PF_PixelFloat>(x, y);
  }
}

void World::WriteFloat(A_long x, A_long y, const PF_PixelFloat& pixel) {
  auto to8 = [](float v) {
    return static_cast<A_u_char>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f));
  };
  auto to16 = [](float v) {
    return static_cast<A_u_short>(std::lround(std::clamp(v, 0.0f, 1.0f) * PF_MAX_CHAN16));
  };
  switch (format_) {
    case PF_PixelFormat_ARGB32:
      At<PF_Pixel>(x, y) = {to8(pixel.alpha), to8(pixel.red), to8(pixel.green), to8(pixel.blue)};
      break;
    case PF_PixelFormat_ARGB64:
      At<PF_Pixel16>(x, y) = {to16(pixel.alpha), to16(pixel.red), to16(pixel.green), to16(pixel.blue)};
      break;
    default:
      At<PF_PixelFloat>(x, y) = pixel;
  }
}

bool World::SamePixels(const World& other) const { return CountDifferences(other) == 0; }

long World::CountDifferences(const World& other) const {
  if (other.format_ != format_ || other.Width() != Width() || other.Height() != Height()) {
    return static_cast<long>(Width()) * Height();
  }
  long differences = 0;
  const std::size_t bytes = PixelBytes();
  for (A_long y = 0; y < Height(); ++y) {
    for (A_long x = 0; x < Width(); ++x) {
      if (std::memcmp(Row(y) + x * bytes, other.Row(y) + x * bytes, bytes) != 0) ++differences;
    }
  }
  return differences;
}

PF_Pixel16 HostPixel8To16(const PF_Pixel& p) {
  auto c = [](A_u_char v) { return static_cast<A_u_short>((v * PF_MAX_CHAN16 + 127) / 255); };
  return {c(p.alpha), c(p.red), c(p.green), c(p.blue)};
}

PF_PixelFloat HostPixel8ToFloat(const PF_Pixel& p) {
  auto c = [](A_u_char v) { return v / 255.0f; };
  return {c(p.alpha), c(p.red), c(p.green), c(p.blue)};
}

}  // namespace refhost
