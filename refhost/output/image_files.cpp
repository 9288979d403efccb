#include "image_files.h"

#include <fstream>

#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>

#include "atomic_file.h"
#include "exr_io.h"
#include "png_io.h"

namespace refhost::output {

namespace {

enum class Format { PNG, EXR };

Format Sniff(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) throw OutputError(file, "no such file");
  if (!std::filesystem::is_regular_file(file, ec)) throw OutputError(file, "not a regular file");
  std::ifstream in(file, std::ios::binary);
  unsigned char magic[4] = {};
  if (!in.read(reinterpret_cast<char*>(magic), sizeof magic)) throw OutputError(file, "not an image (too short)");
  if (magic[0] == 0x89 && magic[1] == 'P' && magic[2] == 'N' && magic[3] == 'G') return Format::PNG;
  if (magic[0] == 0x76 && magic[1] == 0x2f && magic[2] == 0x31 && magic[3] == 0x01) return Format::EXR;
  throw OutputError(file, "not a PNG or OpenEXR file");
}

}  // namespace

ImageSize ReadImageSize(const std::filesystem::path& file) {
  if (Sniff(file) == Format::PNG) {
    PngInfo info = ReadPngInfo(file);
    return {info.width, info.height};
  }
  try {
    Imf::InputFile in(file.c_str());
    const Imath::Box2i window = in.header().dataWindow();
    return {window.max.x - window.min.x + 1, window.max.y - window.min.y + 1};
  } catch (const std::exception& e) {
    throw OutputError(file, std::string("cannot read the EXR: ") + e.what());
  }
}

Image ReadImageFile(const std::filesystem::path& file) {
  return Sniff(file) == Format::PNG ? ReadPng(file) : ReadExr(file);
}

}  // namespace refhost::output
