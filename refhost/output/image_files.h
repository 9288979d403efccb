// Image files by content, not by name: a PNG or an OpenEXR file, told apart by
// their first bytes.
#pragma once

#include <filesystem>

#include "image.h"

namespace refhost::output {

struct ImageSize {
  int width = 0;
  int height = 0;
};

// The size, from the header only. Throws OutputError for a missing file or one
// that is neither PNG nor OpenEXR.
ImageSize ReadImageSize(const std::filesystem::path& file);

// The whole image: 8- or 16-bit for a PNG, float for OpenEXR.
Image ReadImageFile(const std::filesystem::path& file);

}  // namespace refhost::output
