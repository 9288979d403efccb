// A frame as the writers take it: whole rows, no padding, four channels per pixel
// in the host's order alpha, red, green, blue, at one of the host's three depths.
#pragma once

#include <cstddef>
#include <cstdint>
#include <variant>
#include <vector>

#include "../../plugin/host/host_contract.h"

namespace refhost::output {

enum class Depth { BITS_8, BITS_16, FLOAT_32 };

// "8-bit", "16-bit", "float": how file names and messages call a depth.
const char* DepthName(Depth depth);

struct Image {
  int width = 0;
  int height = 0;
  // 16-bit channels run from 0 to PF_MAX_CHAN16 (32768) as the host keeps them;
  // float channels are nominally 0 to 1 and may lie outside.
  std::variant<std::vector<PF_Pixel8>, std::vector<PF_Pixel16>, std::vector<PF_PixelFloat>> pixels;

  Depth depth() const { return static_cast<Depth>(pixels.index()); }
  std::size_t PixelCount() const { return static_cast<std::size_t>(width) * static_cast<std::size_t>(height); }
};

// A transparent black image; throws std::invalid_argument for a negative size.
Image MakeImage(int width, int height, Depth depth);

// Copies a host world's rows (row_bytes may exceed width × pixel size) into an Image.
Image ImageFromRows(int width, int height, Depth depth, const void* base, std::size_t row_bytes);

// The same picture at another depth: 8-bit v becomes v × 32768 / 255 (rounded) at
// 16 bits and v / 255 in float; float is clamped to 0..1 before it is narrowed.
Image ConvertDepth(const Image& image, Depth depth);

// A smaller 8-bit copy for previews: each pixel the mean of a factor × factor
// block (fewer at the right and bottom edges), colours weighted by alpha.
Image Shrink(const Image& image, int factor);

// Channel conversions used by ConvertDepth and the PNG writer.
std::uint16_t Chan8To16(std::uint8_t v);
std::uint8_t Chan16To8(std::uint16_t v);
// Host 16-bit (0..32768) to a PNG's full 16-bit range (0..65535) and back; exact
// inverses of each other on 0..32768.
std::uint16_t Chan16ToFull(std::uint16_t v);
std::uint16_t FullToChan16(std::uint16_t v);

}  // namespace refhost::output
