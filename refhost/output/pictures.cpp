#include "pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include <cairo.h>
#include <fontconfig/fontconfig.h>

#include "atomic_file.h"

namespace refhost::output {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int MAX_PICTURE_SIDE = 1600;  // a bake picture is scaled down to fit this
constexpr int MAX_SHEET_COLUMNS = 64;
constexpr double TITLE_BAND = 28.0;
constexpr double TICK_LENGTH = 20.0;   // picture pixels
constexpr double TICK_SPACING = 28.0;  // picture pixels between ticked points, at least

struct SurfaceDeleter {
  void operator()(cairo_surface_t* s) const { cairo_surface_destroy(s); }
};
struct ContextDeleter {
  void operator()(cairo_t* c) const { cairo_destroy(c); }
};
using Surface = std::unique_ptr<cairo_surface_t, SurfaceDeleter>;
using Context = std::unique_ptr<cairo_t, ContextDeleter>;

Surface NewSurface(const std::filesystem::path& file, int width, int height) {
  Surface surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height));
  if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) {
    throw OutputError(file, std::string("cannot make the picture: ") +
                                cairo_status_to_string(cairo_surface_status(surface.get())));
  }
  return surface;
}

// A frame as a Cairo surface: 8-bit, premultiplied, native-endian ARGB words.
Surface ToSurface(const std::filesystem::path& file, const Image& image) {
  Image narrow = ConvertDepth(image, Depth::BITS_8);
  Surface surface = NewSurface(file, std::max(image.width, 1), std::max(image.height, 1));
  cairo_surface_flush(surface.get());
  unsigned char* data = cairo_image_surface_get_data(surface.get());
  int stride = cairo_image_surface_get_stride(surface.get());
  const auto& pixels = std::get<std::vector<PF_Pixel8>>(narrow.pixels);
  auto premultiply = [](unsigned c, unsigned a) { return (c * a + 127) / 255; };
  for (int y = 0; y < image.height; ++y) {
    auto* row = reinterpret_cast<std::uint32_t*>(data + static_cast<std::ptrdiff_t>(y) * stride);
    for (int x = 0; x < image.width; ++x) {
      const PF_Pixel8& p = pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                                  static_cast<std::size_t>(x)];
      row[x] = (std::uint32_t{p.alpha} << 24) | (premultiply(p.red, p.alpha) << 16) |
               (premultiply(p.green, p.alpha) << 8) | premultiply(p.blue, p.alpha);
    }
  }
  cairo_surface_mark_dirty(surface.get());
  return surface;
}

cairo_status_t WriteToFile(void* closure, const unsigned char* data, unsigned int length) {
  return std::fwrite(data, 1, length, static_cast<std::FILE*>(closure)) == length ? CAIRO_STATUS_SUCCESS
                                                                                  : CAIRO_STATUS_WRITE_ERROR;
}

void SavePng(const std::filesystem::path& file, cairo_surface_t* surface) {
  cairo_surface_flush(surface);
  WriteStreamAtomically(file, [&](std::FILE* f) {
    cairo_status_t status = cairo_surface_write_to_png_stream(surface, WriteToFile, f);
    if (status != CAIRO_STATUS_SUCCESS) {
      throw OutputError(file, std::string("cannot write the picture: ") + cairo_status_to_string(status));
    }
  });
}

// Cairo and fontconfig keep font caches for the life of the process, and
// fontconfig stores them with offsets a leak checker cannot follow, so they are
// given back at exit: the sanitizer builds then report real leaks only.
void ReleaseFontCaches() {
  cairo_debug_reset_static_data();
  FcFini();
}

void Text(cairo_t* cr, double x, double y, double size, const std::string& text) {
  static const bool registered = std::atexit(ReleaseFontCaches) == 0;
  (void)registered;
  cairo_select_font_face(cr, "sans-serif", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_font_size(cr, size);
  cairo_move_to(cr, x, y);
  cairo_show_text(cr, text.c_str());
}

void Checkerboard(cairo_t* cr, double x, double y, double w, double h) {
  constexpr double SQUARE = 8.0;
  cairo_save(cr);
  cairo_rectangle(cr, x, y, w, h);
  cairo_clip(cr);
  cairo_set_source_rgb(cr, 0.8, 0.8, 0.8);
  cairo_paint(cr);
  cairo_set_source_rgb(cr, 0.6, 0.6, 0.6);
  for (int j = 0; j * SQUARE < h; ++j) {
    for (int i = (j % 2); i * SQUARE < w; i += 2) cairo_rectangle(cr, x + i * SQUARE, y + j * SQUARE, SQUARE, SQUARE);
  }
  cairo_fill(cr);
  cairo_restore(cr);
}

// The bounds of everything a bake picture shows, in layer pixels.
struct Bounds {
  double x0, y0, x1, y1;
  void Add(double x, double y) {
    if (!std::isfinite(x) || !std::isfinite(y)) return;
    x0 = std::min(x0, x);
    y0 = std::min(y0, y);
    x1 = std::max(x1, x);
    y1 = std::max(y1, y);
  }
};

void MaskPath(cairo_t* cr, const MaskGeometry& mask) {
  const auto& v = mask.vertices;
  if (v.empty()) return;
  cairo_move_to(cr, v[0].x, v[0].y);
  std::size_t segments = mask.closed ? v.size() : v.size() - 1;
  for (std::size_t i = 0; i < segments; ++i) {
    const MaskVertex& a = v[i];
    const MaskVertex& b = v[(i + 1) % v.size()];
    cairo_curve_to(cr, a.x + a.out_x, a.y + a.out_y, b.x + b.in_x, b.y + b.in_y, b.x, b.y);
  }
  if (mask.closed) cairo_close_path(cr);
}

}  // namespace

void DrawBakePicture(const std::filesystem::path& file, const BakePicture& picture) {
  if (picture.width <= 0 || picture.height <= 0) throw OutputError(file, "the layer has no size");
  Bounds b{0, 0, static_cast<double>(picture.width), static_cast<double>(picture.height)};
  for (const MaskVertex& v : picture.mask.vertices) {
    b.Add(v.x, v.y);
    b.Add(v.x + v.in_x, v.y + v.in_y);
    b.Add(v.x + v.out_x, v.y + v.out_y);
  }
  for (const BakeSample& s : picture.samples) b.Add(s.x, s.y);
  double margin = 0.04 * std::max(b.x1 - b.x0, b.y1 - b.y0);
  b.x0 -= margin;
  b.y0 -= margin;
  b.x1 += margin;
  b.y1 += margin;
  double scale = std::min(1.0, MAX_PICTURE_SIDE / std::max(b.x1 - b.x0, b.y1 - b.y0));
  int width = std::max(1, static_cast<int>(std::ceil((b.x1 - b.x0) * scale)));
  int height = std::max(1, static_cast<int>(std::ceil((b.y1 - b.y0) * scale + TITLE_BAND)));

  Surface surface = NewSurface(file, width, height);
  Context cr(cairo_create(surface.get()));
  cairo_t* c = cr.get();
  cairo_set_source_rgb(c, 0.12, 0.12, 0.14);
  cairo_paint(c);
  cairo_set_source_rgb(c, 0.95, 0.95, 0.95);
  Text(c, 8, 19, 14, picture.title);

  // Layer coordinates from here on; line widths are set in picture pixels.
  cairo_translate(c, 0, TITLE_BAND);
  cairo_scale(c, scale, scale);
  cairo_translate(c, -b.x0, -b.y0);
  double px = 1.0 / scale;

  if (picture.background != nullptr) {
    Surface frame = ToSurface(file, *picture.background);
    cairo_save(c);
    cairo_scale(c, static_cast<double>(picture.width) / std::max(picture.background->width, 1),
                static_cast<double>(picture.height) / std::max(picture.background->height, 1));
    cairo_set_source_surface(c, frame.get(), 0, 0);
    cairo_paint_with_alpha(c, 0.45);
    cairo_restore(c);
  }
  cairo_rectangle(c, 0, 0, picture.width, picture.height);
  cairo_set_source_rgb(c, 0.5, 0.5, 0.55);
  cairo_set_line_width(c, 1.0 * px);
  cairo_stroke(c);

  MaskPath(c, picture.mask);
  cairo_set_source_rgb(c, 1, 1, 1);
  cairo_set_line_width(c, 2.0 * px);
  cairo_stroke(c);
  for (const MaskVertex& v : picture.mask.vertices) {
    cairo_rectangle(c, v.x - 3 * px, v.y - 3 * px, 6 * px, 6 * px);
  }
  cairo_fill(c);

  cairo_set_source_rgb(c, 0.2, 0.8, 1.0);
  for (const BakeSample& s : picture.samples) {
    if (!std::isfinite(s.x) || !std::isfinite(s.y)) continue;
    cairo_new_sub_path(c);
    cairo_arc(c, s.x, s.y, 2.5 * px, 0, 2 * PI);
  }
  cairo_fill(c);

  // Heading ticks over the points: 0 degrees points up, angles run clockwise (y
  // grows downward). A heading runs along the path, so where the points lie close
  // together only every few get a tick, or the ticks would hide each other.
  cairo_set_source_rgb(c, 1.0, 0.6, 0.1);
  cairo_set_line_width(c, 2.0 * px);
  const BakeSample* last_ticked = nullptr;
  for (const BakeSample& s : picture.samples) {
    if (!std::isfinite(s.x) || !std::isfinite(s.y) || !std::isfinite(s.angle)) continue;
    if (last_ticked != nullptr && std::hypot(s.x - last_ticked->x, s.y - last_ticked->y) < TICK_SPACING * px) continue;
    last_ticked = &s;
    const double rad = s.angle * PI / 180.0;
    const double dx = std::sin(rad);
    const double dy = -std::cos(rad);
    const double tip_x = s.x + TICK_LENGTH * px * dx;
    const double tip_y = s.y + TICK_LENGTH * px * dy;
    cairo_move_to(c, s.x, s.y);
    cairo_line_to(c, tip_x, tip_y);
    // A small arrowhead, so the direction reads at a glance.
    cairo_move_to(c, tip_x - 5 * px * (dx + 0.6 * dy), tip_y - 5 * px * (dy - 0.6 * dx));
    cairo_line_to(c, tip_x, tip_y);
    cairo_line_to(c, tip_x - 5 * px * (dx - 0.6 * dy), tip_y - 5 * px * (dy + 0.6 * dx));
  }
  cairo_stroke(c);

  if (!picture.samples.empty() && std::isfinite(picture.samples.front().x) && std::isfinite(picture.samples.front().y)) {
    const BakeSample& start = picture.samples.front();
    cairo_set_source_rgb(c, 0.3, 1.0, 0.3);
    cairo_set_line_width(c, 2.5 * px);
    cairo_new_sub_path(c);
    cairo_arc(c, start.x, start.y, 9 * px, 0, 2 * PI);
    cairo_stroke(c);
    Text(c, start.x + 12 * px, start.y - 10 * px, 13 * px, "start");
  }
  cr.reset();
  SavePng(file, surface.get());
}

void DrawContactSheet(const std::filesystem::path& file, const std::vector<SheetCell>& cells, int columns,
                      int cell_width) {
  if (cells.empty()) throw OutputError(file, "a contact sheet needs at least one frame");
  if (columns < 1 || columns > MAX_SHEET_COLUMNS) throw OutputError(file, "bad column count");
  if (cell_width < 16 || cell_width > MAX_PICTURE_SIDE) throw OutputError(file, "bad cell width");
  constexpr int GAP = 8;
  constexpr int LABEL = 20;
  // Every cell has the height of the tallest frame at the cell width.
  double cell_height = 1;
  for (const SheetCell& cell : cells) {
    if (cell.image.width > 0) cell_height = std::max(cell_height, cell_width * double(cell.image.height) / cell.image.width);
  }
  int rows = static_cast<int>((cells.size() + static_cast<std::size_t>(columns) - 1) / static_cast<std::size_t>(columns));
  int used_columns = std::min<int>(columns, static_cast<int>(cells.size()));
  int ch = static_cast<int>(std::ceil(cell_height));
  Surface surface = NewSurface(file, GAP + used_columns * (cell_width + GAP), GAP + rows * (ch + LABEL + GAP));
  Context cr(cairo_create(surface.get()));
  cairo_t* c = cr.get();
  cairo_set_source_rgb(c, 0.12, 0.12, 0.14);
  cairo_paint(c);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    const SheetCell& cell = cells[i];
    double x = GAP + static_cast<double>(i % static_cast<std::size_t>(columns)) * (cell_width + GAP);
    double y = GAP + static_cast<double>(i / static_cast<std::size_t>(columns)) * (ch + LABEL + GAP);
    if (cell.image.width > 0 && cell.image.height > 0) {
      double s = double(cell_width) / cell.image.width;
      double h = cell.image.height * s;
      Checkerboard(c, x, y, cell_width, h);
      Surface frame = ToSurface(file, cell.image);
      cairo_save(c);
      cairo_translate(c, x, y);
      cairo_scale(c, s, s);
      cairo_set_source_surface(c, frame.get(), 0, 0);
      cairo_pattern_set_filter(cairo_get_source(c), CAIRO_FILTER_GOOD);
      cairo_paint(c);
      // The mask outlines, as a viewer draws them over the frame: thin and half
      // transparent, so the marker on the path keeps its colour.
      for (const MaskGeometry& outline : cell.outlines) MaskPath(c, outline);
      cairo_set_source_rgba(c, 0.25, 0.8, 1.0, 0.5);
      cairo_set_line_width(c, 1.0 / s);
      cairo_stroke(c);
      cairo_restore(c);
    }
    cairo_set_source_rgb(c, 0.95, 0.95, 0.95);
    Text(c, x, y + ch + 15, 12, cell.label);
  }
  cr.reset();
  SavePng(file, surface.get());
}

}  // namespace refhost::output
