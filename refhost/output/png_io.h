// PNG files through libpng: frames out at 8 or 16 bits per channel, and images in
// (layer sources, and reading back what was written).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "image.h"

namespace refhost::output {

enum class PngBits { BITS_8 = 8, BITS_16 = 16 };

// Writes RGBA with straight channels as the image holds them. An 8-bit image at 16
// bits gets v × 257; a 16-bit image's 0..32768 is spread over 0..65535; float is
// clamped to 0..1. Written whole or not at all; throws OutputError.
void WritePng(const std::filesystem::path& file, const Image& image, PngBits bits);

struct PngInfo {
  int width = 0;
  int height = 0;
  int bit_depth = 0;   // per channel, as stored in the file
  int color_type = 0;  // libpng's PNG_COLOR_TYPE_*
};

// Reads the header only; throws OutputError if the file is missing or not a PNG.
PngInfo ReadPngInfo(const std::filesystem::path& file);

// The file's samples as stored, expanded to RGBA in file order (red, green, blue,
// alpha): 0..255 for files of 8 bits or fewer, 0..65535 for 16-bit files.
struct PngSamples {
  PngInfo info;
  std::vector<std::uint16_t> rgba;
};
PngSamples ReadPngSamples(const std::filesystem::path& file);

// Reads any PNG as RGBA: files of 16 bits per channel give a 16-bit image (in the
// host's 0..32768), every other file an 8-bit image. Throws OutputError.
Image ReadPng(const std::filesystem::path& file);

}  // namespace refhost::output
