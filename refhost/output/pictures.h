// Pictures for people, drawn with Cairo: a bake over its mask, and a contact
// sheet of frames.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "image.h"
#include "records.h"

namespace refhost::output {

struct BakePicture {
  int width = 0;   // the layer, in pixels: the frame the picture shows
  int height = 0;
  const Image* background = nullptr;  // optional: a frame of the layer, shown dimmed
  MaskGeometry mask;                  // the baked path, in layer pixels
  std::vector<BakeSample> samples;    // the baked steps, in layer pixels
  std::string title;
};

// The mask drawn as its Béziers, each baked point as a dot, ticks with arrowheads
// along the headings (each point's, or every few points' where they crowd), the
// first point ringed and labelled "start". The view takes in the layer and
// everything drawn, so points off the layer stay visible. PNG, whole or not at all.
void DrawBakePicture(const std::filesystem::path& file, const BakePicture& picture);

struct SheetCell {
  Image image;
  std::string label;
  std::vector<MaskGeometry> outlines;  // drawn over the frame, in the image's pixels
};

// Frames side by side, `columns` to a row, each scaled to `cell_width` pixels wide
// over a checkerboard (so transparency shows), with its mask outlines over it and
// its label beneath. PNG, whole
// or not at all; throws OutputError.
void DrawContactSheet(const std::filesystem::path& file, const std::vector<SheetCell>& cells, int columns,
                      int cell_width = 320);

}  // namespace refhost::output
