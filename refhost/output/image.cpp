#include "image.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <stdexcept>
#include <type_traits>

namespace refhost::output {

namespace {

constexpr std::uint32_t MAX16 = PF_MAX_CHAN16;

float Clamp01(float v) {
  if (!(v > 0.0f)) return 0.0f;  // also NaN
  return v < 1.0f ? v : 1.0f;
}

PF_Pixel16 To16(const PF_Pixel8& p) {
  return {Chan8To16(p.alpha), Chan8To16(p.red), Chan8To16(p.green), Chan8To16(p.blue)};
}
PF_PixelFloat ToFloat(const PF_Pixel8& p) {
  return {p.alpha / 255.0f, p.red / 255.0f, p.green / 255.0f, p.blue / 255.0f};
}
PF_Pixel8 To8(const PF_Pixel16& p) {
  return {Chan16To8(p.alpha), Chan16To8(p.red), Chan16To8(p.green), Chan16To8(p.blue)};
}
PF_PixelFloat ToFloat(const PF_Pixel16& p) {
  auto f = [](A_u_short v) { return static_cast<float>(v) / static_cast<float>(MAX16); };
  return {f(p.alpha), f(p.red), f(p.green), f(p.blue)};
}
std::uint8_t FloatTo8(float v) { return static_cast<std::uint8_t>(std::lround(Clamp01(v) * 255.0f)); }
std::uint16_t FloatTo16(float v) {
  return static_cast<std::uint16_t>(std::lround(Clamp01(v) * static_cast<float>(MAX16)));
}
PF_Pixel8 To8(const PF_PixelFloat& p) {
  return {FloatTo8(p.alpha), FloatTo8(p.red), FloatTo8(p.green), FloatTo8(p.blue)};
}
PF_Pixel16 To16(const PF_PixelFloat& p) {
  return {FloatTo16(p.alpha), FloatTo16(p.red), FloatTo16(p.green), FloatTo16(p.blue)};
}

const PF_PixelFloat& ToFloat(const PF_PixelFloat& p) { return p; }

template <class Out, class In, class Fn>
std::vector<Out> Map(const std::vector<In>& in, Fn fn) {
  std::vector<Out> out;
  out.reserve(in.size());
  for (const In& p : in) out.push_back(fn(p));
  return out;
}

}  // namespace

const char* DepthName(Depth depth) {
  switch (depth) {
    case Depth::BITS_8: return "8-bit";
    case Depth::BITS_16: return "16-bit";
    case Depth::FLOAT_32: return "float";
  }
  return "?";
}

std::uint16_t Chan8To16(std::uint8_t v) {
  return static_cast<std::uint16_t>((v * MAX16 + 127) / 255);
}
std::uint8_t Chan16To8(std::uint16_t v) {
  std::uint32_t c = std::min<std::uint32_t>(v, MAX16);
  return static_cast<std::uint8_t>((c * 255 + MAX16 / 2) / MAX16);
}
std::uint16_t Chan16ToFull(std::uint16_t v) {
  std::uint32_t c = std::min<std::uint32_t>(v, MAX16);
  return static_cast<std::uint16_t>((c * 65535 + MAX16 / 2) / MAX16);
}
std::uint16_t FullToChan16(std::uint16_t v) {
  return static_cast<std::uint16_t>((std::uint32_t{v} * MAX16 + 65535 / 2) / 65535);
}

Image MakeImage(int width, int height, Depth depth) {
  if (width < 0 || height < 0) throw std::invalid_argument("image size is negative");
  Image image;
  image.width = width;
  image.height = height;
  std::size_t n = image.PixelCount();
  switch (depth) {
    case Depth::BITS_8: image.pixels = std::vector<PF_Pixel8>(n, PF_Pixel8{}); break;
    case Depth::BITS_16: image.pixels = std::vector<PF_Pixel16>(n, PF_Pixel16{}); break;
    case Depth::FLOAT_32: image.pixels = std::vector<PF_PixelFloat>(n, PF_PixelFloat{}); break;
  }
  return image;
}

Image ImageFromRows(int width, int height, Depth depth, const void* base, std::size_t row_bytes) {
  Image image = MakeImage(width, height, depth);
  std::visit(
      [&](auto& pixels) {
        using P = typename std::decay_t<decltype(pixels)>::value_type;
        std::size_t row_size = sizeof(P) * static_cast<std::size_t>(width);
        if (height > 0 && row_bytes < row_size) throw std::invalid_argument("row_bytes is smaller than a row");
        const auto* src = static_cast<const unsigned char*>(base);
        for (int y = 0; y < height; ++y) {
          std::memcpy(pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width),
                      src + static_cast<std::size_t>(y) * row_bytes, row_size);
        }
      },
      image.pixels);
  return image;
}

Image ConvertDepth(const Image& image, Depth depth) {
  if (image.depth() == depth) return image;
  Image out;
  out.width = image.width;
  out.height = image.height;
  std::visit(
      [&](const auto& in) {
        using P = typename std::decay_t<decltype(in)>::value_type;
        switch (depth) {
          case Depth::BITS_8:
            if constexpr (!std::is_same_v<P, PF_Pixel8>) out.pixels = Map<PF_Pixel8>(in, [](const P& p) { return To8(p); });
            break;
          case Depth::BITS_16:
            if constexpr (!std::is_same_v<P, PF_Pixel16>) out.pixels = Map<PF_Pixel16>(in, [](const P& p) { return To16(p); });
            break;
          case Depth::FLOAT_32:
            if constexpr (!std::is_same_v<P, PF_PixelFloat>) out.pixels = Map<PF_PixelFloat>(in, [](const P& p) { return ToFloat(p); });
            break;
        }
      },
      image.pixels);
  return out;
}

Image Shrink(const Image& image, int factor) {
  if (factor < 1) throw std::invalid_argument("shrink factor below 1");
  const int width = (image.width + factor - 1) / factor;
  const int height = (image.height + factor - 1) / factor;
  Image out = MakeImage(width, height, Depth::BITS_8);
  auto& dst = std::get<std::vector<PF_Pixel8>>(out.pixels);
  std::visit(
      [&](const auto& src) {
        for (int oy = 0; oy < height; ++oy) {
          for (int ox = 0; ox < width; ++ox) {
            // Colours weighted by alpha, so a transparent pixel's colour does not
            // bleed into its neighbours; a block that is all transparent stays black.
            double a = 0, r = 0, g = 0, b = 0;
            int count = 0;
            for (int y = oy * factor; y < std::min(image.height, (oy + 1) * factor); ++y) {
              for (int x = ox * factor; x < std::min(image.width, (ox + 1) * factor); ++x) {
                const PF_PixelFloat p = ToFloat(src[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                                    static_cast<std::size_t>(x)]);
                const double pa = Clamp01(p.alpha);
                a += pa;
                r += pa * Clamp01(p.red);
                g += pa * Clamp01(p.green);
                b += pa * Clamp01(p.blue);
                ++count;
              }
            }
            const double n = count;
            const double colour_weight = a > 0 ? a : 1;
            dst[static_cast<std::size_t>(oy) * static_cast<std::size_t>(width) + static_cast<std::size_t>(ox)] =
                To8(PF_PixelFloat{static_cast<float>(a / n), static_cast<float>(r / colour_weight),
                                  static_cast<float>(g / colour_weight), static_cast<float>(b / colour_weight)});
          }
        }
      },
      image.pixels);
  return out;
}

}  // namespace refhost::output
