// OpenEXR files: float frames out as RGBA in half or full float, and read back.
#pragma once

#include <filesystem>

#include "image.h"

namespace refhost::output {

enum class ExrPixels { HALF, FLOAT };

// Writes channels R, G, B, A as the image holds them (straight, not premultiplied;
// 8- and 16-bit images are converted to 0..1 first), ZIP-compressed. Written whole
// or not at all; throws OutputError.
void WriteExr(const std::filesystem::path& file, const Image& image, ExrPixels pixels);

// Reads R, G, B, A as a float image (a missing A reads as 1, a missing colour
// channel as 0). Throws OutputError.
Image ReadExr(const std::filesystem::path& file);

}  // namespace refhost::output
