#include "exr_io.h"

#include <cstddef>
#include <exception>
#include <string>
#include <vector>

#include <Imath/half.h>
#include <OpenEXR/ImfChannelList.h>
#include <OpenEXR/ImfFrameBuffer.h>
#include <OpenEXR/ImfHeader.h>
#include <OpenEXR/ImfInputFile.h>
#include <OpenEXR/ImfOutputFile.h>

#include "atomic_file.h"

namespace refhost::output {

namespace {

// OpenEXR throws its own exceptions (all std::exception); each becomes an
// OutputError naming the file.
template <class Fn>
void Guarded(const std::filesystem::path& file, const char* doing, Fn&& fn) {
  try {
    fn();
  } catch (const OutputError&) {
    throw;
  } catch (const std::exception& e) {
    throw OutputError(file, std::string(doing) + ": " + e.what());
  }
}

// Layer images are bounded like layers: no side above 30000 pixels.
constexpr int MAX_EXR_SIDE = 30000;

constexpr const char* CHANNELS[4] = {"R", "G", "B", "A"};

template <class T>
void WritePlanes(const std::filesystem::path& temp, const std::vector<PF_PixelFloat>& pixels, int width,
                 int height, Imf::PixelType type) {
  Imf::Header header(width, height);
  header.compression() = Imf::ZIP_COMPRESSION;
  for (const char* name : CHANNELS) header.channels().insert(name, Imf::Channel(type));

  // Interleaved RGBA in the file's channel type; the slices pick out each channel.
  std::vector<T> rgba(pixels.size() * 4);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgba[4 * i + 0] = T(pixels[i].red);
    rgba[4 * i + 1] = T(pixels[i].green);
    rgba[4 * i + 2] = T(pixels[i].blue);
    rgba[4 * i + 3] = T(pixels[i].alpha);
  }
  Imf::FrameBuffer frame;
  std::size_t x_stride = 4 * sizeof(T);
  std::size_t y_stride = x_stride * static_cast<std::size_t>(width);
  for (int c = 0; c < 4; ++c) {
    frame.insert(CHANNELS[c], Imf::Slice(type, reinterpret_cast<char*>(rgba.data() + c), x_stride, y_stride));
  }
  Imf::OutputFile out(temp.c_str(), header);
  out.setFrameBuffer(frame);
  out.writePixels(height);
}

}  // namespace

void WriteExr(const std::filesystem::path& file, const Image& image, ExrPixels pixels) {
  if (image.width <= 0 || image.height <= 0) throw OutputError(file, "an empty image cannot be written as EXR");
  Image wide = ConvertDepth(image, Depth::FLOAT_32);
  const auto& values = std::get<std::vector<PF_PixelFloat>>(wide.pixels);
  WriteFileAtomically(file, [&](const std::filesystem::path& temp) {
    Guarded(file, "cannot write the EXR", [&] {
      if (pixels == ExrPixels::HALF) {
        WritePlanes<Imath::half>(temp, values, image.width, image.height, Imf::HALF);
      } else {
        WritePlanes<float>(temp, values, image.width, image.height, Imf::FLOAT);
      }
    });
  });
}

Image ReadExr(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) throw OutputError(file, "no such file");
  Image image;
  Guarded(file, "cannot read the EXR", [&] {
    Imf::InputFile in(file.c_str());
    const Imath::Box2i window = in.header().dataWindow();
    int width = window.max.x - window.min.x + 1;
    int height = window.max.y - window.min.y + 1;
    if (width <= 0 || height <= 0 || width > MAX_EXR_SIDE || height > MAX_EXR_SIDE) {
      throw OutputError(file, "image size " + std::to_string(width) + "x" + std::to_string(height) +
                                  " is outside 1 to " + std::to_string(MAX_EXR_SIDE));
    }
    image = MakeImage(width, height, Depth::FLOAT_32);
    auto& pixels = std::get<std::vector<PF_PixelFloat>>(image.pixels);
    // Slice::Make maps the data window's origin onto the first pixel of the buffer.
    std::size_t xs = sizeof(PF_PixelFloat);
    std::size_t ys = xs * static_cast<std::size_t>(width);
    char* base = reinterpret_cast<char*>(pixels.data());
    auto slice = [&](std::size_t offset, double fill) {
      return Imf::Slice::Make(Imf::FLOAT, base + offset, window, xs, ys, 1, 1, fill);
    };
    Imf::FrameBuffer frame;
    frame.insert("A", slice(offsetof(PF_PixelFloat, alpha), 1.0));
    frame.insert("R", slice(offsetof(PF_PixelFloat, red), 0.0));
    frame.insert("G", slice(offsetof(PF_PixelFloat, green), 0.0));
    frame.insert("B", slice(offsetof(PF_PixelFloat, blue), 0.0));
    in.setFrameBuffer(frame);
    in.readPixels(window.min.y, window.max.y);
  });
  return image;
}

}  // namespace refhost::output
