#include "png_io.h"

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <png.h>

#include "atomic_file.h"

namespace refhost::output {

namespace {

// Layer images are bounded like layers: no side above 30000 pixels.
constexpr png_uint_32 MAX_PNG_SIDE = 30000;

// libpng reports errors by calling back and then jumping to the setjmp of the
// function that runs it. The functions holding a setjmp below keep only plain C
// values in their own frame, so the jump never skips a destructor.
struct PngSink {
  char message[200] = "unknown libpng error";
  std::vector<unsigned char>* pixels = nullptr;  // read: filled after the header
};

void OnPngError(png_structp png, png_const_charp message) {
  auto* sink = static_cast<PngSink*>(png_get_error_ptr(png));
  std::snprintf(sink->message, sizeof sink->message, "%s", message);
  png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

bool WriteRgbaRows(std::FILE* file, png_uint_32 width, png_uint_32 height, int bit_depth,
                   png_bytep data, std::size_t row_bytes, PngSink* sink) {
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, sink, OnPngError, OnPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, bit_depth, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (png_uint_32 y = 0; y < height; ++y) png_write_row(png, data + y * row_bytes);
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return true;
}

struct PngHeader {
  png_uint_32 width = 0;
  png_uint_32 height = 0;
  int bit_depth = 0;
  int color_type = 0;
};

// Reads the header and, when sink->pixels is set, the whole image as RGBA rows of
// 8 or 16 (big-endian) bits per channel.
bool ReadRgba(std::FILE* file, PngHeader* header, PngSink* sink) {
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, sink, OnPngError, OnPngWarning);
  if (png == nullptr) return false;
  png_infop info = png_create_info_struct(png);
  if (info == nullptr) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    return false;
  }
  png_init_io(png, file);
  png_set_user_limits(png, MAX_PNG_SIDE, MAX_PNG_SIDE);
  png_read_info(png, info);
  header->width = png_get_image_width(png, info);
  header->height = png_get_image_height(png, info);
  header->bit_depth = png_get_bit_depth(png, info);
  header->color_type = png_get_color_type(png, info);
  if (sink->pixels != nullptr) {
    png_set_expand(png);  // palette and low-bit grey to 8 bits, tRNS to alpha
    png_set_gray_to_rgb(png);
    if ((header->color_type & PNG_COLOR_MASK_ALPHA) == 0 && !png_get_valid(png, info, PNG_INFO_tRNS)) {
      png_set_add_alpha(png, 0xffff, PNG_FILLER_AFTER);
    }
    int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    std::size_t row_bytes = png_get_rowbytes(png, info);
    bool allocated = true;
    try {
      sink->pixels->resize(row_bytes * header->height);
    } catch (...) {
      allocated = false;
    }
    if (!allocated) {
      std::snprintf(sink->message, sizeof sink->message, "not enough memory for the image");
      png_destroy_read_struct(&png, &info, nullptr);
      return false;
    }
    png_bytep base = sink->pixels->data();
    for (int pass = 0; pass < passes; ++pass) {
      for (png_uint_32 y = 0; y < header->height; ++y) png_read_row(png, base + y * row_bytes, nullptr);
    }
    png_read_end(png, nullptr);
  }
  png_destroy_read_struct(&png, &info, nullptr);
  return true;
}

std::FILE* OpenForReading(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) throw OutputError(file, "no such file");
  if (std::filesystem::is_directory(file, ec)) throw OutputError(file, "is a directory, not an image");
  std::FILE* f = std::fopen(file.c_str(), "rb");
  if (f == nullptr) throw OutputError(file, std::string("cannot open: ") + std::strerror(errno));
  unsigned char signature[8] = {};
  std::size_t got = std::fread(signature, 1, sizeof signature, f);
  if (got != sizeof signature || png_sig_cmp(signature, 0, sizeof signature) != 0) {
    std::fclose(f);
    throw OutputError(file, "not a PNG file");
  }
  std::rewind(f);
  return f;
}

PngHeader ReadFile(const std::filesystem::path& file, std::vector<unsigned char>* pixels) {
  std::FILE* f = OpenForReading(file);
  PngSink sink;
  sink.pixels = pixels;
  PngHeader header;
  bool ok = ReadRgba(f, &header, &sink);
  std::fclose(f);
  if (!ok) throw OutputError(file, std::string("cannot read the PNG: ") + sink.message);
  return header;
}

template <class P>
const std::vector<P>& PixelsOf(const Image& image) {
  return std::get<std::vector<P>>(image.pixels);
}

}  // namespace

void WritePng(const std::filesystem::path& file, const Image& image, PngBits bits) {
  if (image.width <= 0 || image.height <= 0) throw OutputError(file, "an empty image cannot be written as PNG");
  int bit_depth = static_cast<int>(bits);
  std::size_t bytes_per_channel = bits == PngBits::BITS_16 ? 2 : 1;
  std::size_t row_bytes = static_cast<std::size_t>(image.width) * 4 * bytes_per_channel;
  std::vector<unsigned char> data(row_bytes * static_cast<std::size_t>(image.height));

  // RGBA in the file's byte order: 16-bit samples are big-endian.
  std::size_t at = 0;
  auto put = [&](A_u_short full) {
    if (bytes_per_channel == 2) {
      data[at++] = static_cast<unsigned char>(full >> 8);
      data[at++] = static_cast<unsigned char>(full & 0xff);
    } else {
      data[at++] = static_cast<unsigned char>(full);
    }
  };
  auto put_pixel = [&](A_u_short a, A_u_short r, A_u_short g, A_u_short b) {
    put(r);
    put(g);
    put(b);
    put(a);
  };
  // Each channel in the file's range: 0..255 or 0..65535.
  if (bits == PngBits::BITS_8) {
    Image narrow = ConvertDepth(image, Depth::BITS_8);
    for (const PF_Pixel8& p : PixelsOf<PF_Pixel8>(narrow)) put_pixel(p.alpha, p.red, p.green, p.blue);
  } else if (image.depth() == Depth::BITS_8) {
    for (const PF_Pixel8& p : PixelsOf<PF_Pixel8>(image)) {
      put_pixel(static_cast<A_u_short>(p.alpha * 257), static_cast<A_u_short>(p.red * 257),
                static_cast<A_u_short>(p.green * 257), static_cast<A_u_short>(p.blue * 257));
    }
  } else {
    Image wide = ConvertDepth(image, Depth::BITS_16);
    for (const PF_Pixel16& p : PixelsOf<PF_Pixel16>(wide)) {
      put_pixel(Chan16ToFull(p.alpha), Chan16ToFull(p.red), Chan16ToFull(p.green), Chan16ToFull(p.blue));
    }
  }

  WriteStreamAtomically(file, [&](std::FILE* f) {
    PngSink sink;
    if (!WriteRgbaRows(f, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), bit_depth,
                       data.data(), row_bytes, &sink)) {
      throw OutputError(file, std::string("cannot write the PNG: ") + sink.message);
    }
  });
}

PngInfo ReadPngInfo(const std::filesystem::path& file) {
  PngHeader header = ReadFile(file, nullptr);
  return {static_cast<int>(header.width), static_cast<int>(header.height), header.bit_depth, header.color_type};
}

PngSamples ReadPngSamples(const std::filesystem::path& file) {
  std::vector<unsigned char> data;
  PngHeader header = ReadFile(file, &data);
  PngSamples out;
  out.info = {static_cast<int>(header.width), static_cast<int>(header.height), header.bit_depth, header.color_type};
  if (header.bit_depth == 16) {
    out.rgba.resize(data.size() / 2);
    for (std::size_t i = 0; i < out.rgba.size(); ++i) {
      out.rgba[i] = static_cast<std::uint16_t>((data[2 * i] << 8) | data[2 * i + 1]);
    }
  } else {
    out.rgba.assign(data.begin(), data.end());
  }
  return out;
}

Image ReadPng(const std::filesystem::path& file) {
  PngSamples samples = ReadPngSamples(file);
  const auto& s = samples.rgba;
  if (samples.info.bit_depth == 16) {
    Image image = MakeImage(samples.info.width, samples.info.height, Depth::BITS_16);
    auto& pixels = std::get<std::vector<PF_Pixel16>>(image.pixels);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
      pixels[i] = {FullToChan16(s[4 * i + 3]), FullToChan16(s[4 * i]), FullToChan16(s[4 * i + 1]),
                   FullToChan16(s[4 * i + 2])};
    }
    return image;
  }
  Image image = MakeImage(samples.info.width, samples.info.height, Depth::BITS_8);
  auto& pixels = std::get<std::vector<PF_Pixel8>>(image.pixels);
  auto c = [&](std::size_t i) { return static_cast<A_u_char>(s[i]); };
  for (std::size_t i = 0; i < pixels.size(); ++i) pixels[i] = {c(4 * i + 3), c(4 * i), c(4 * i + 1), c(4 * i + 2)};
  return image;
}

}  // namespace refhost::output
