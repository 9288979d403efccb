// Pictures: a bake drawn over its mask (headings the right way round, the start
// ringed), and a contact sheet of frames.
#include <gtest/gtest.h>

#include "refhost/output/atomic_file.h"
#include "refhost/output/pictures.h"
#include "refhost/output/png_io.h"
#include "temp_dir.h"

namespace {

using namespace refhost::output;

struct Rgb {
  int r, g, b;
};

Rgb At(const PngSamples& png, int x, int y) {
  std::size_t i = 4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(png.info.width) + static_cast<std::size_t>(x));
  return {png.rgba[i], png.rgba[i + 1], png.rgba[i + 2]};
}

TEST(BakePictures, HeadingTicksPointAlongTheAngleAndTheStartIsRinged) {
  TempDir dir;
  BakePicture picture;
  picture.width = 200;
  picture.height = 100;
  picture.mask.vertices = {{20, 50, 0, 0, 0, 0}, {180, 50, 0, 0, 0, 0}};
  picture.samples = {{0, 20, 50, 90}, {1, 100, 50, 180}};
  picture.title = "test: 2 keyframes";
  DrawBakePicture(dir / "bake.png", picture);

  // The layer (200 wide) plus a 4 % margin on each side, at scale 1, under a
  // 28-pixel title band: layer point (x, y) is picture pixel (x + 8, y + 36).
  PngSamples png = ReadPngSamples(dir / "bake.png");
  ASSERT_EQ(png.info.width, 216);
  ASSERT_EQ(png.info.height, 144);
  auto pixel = [&](int x, int y) { return At(png, x + 8, y + 36); };

  Rgb down = pixel(100, 60);  // 180 degrees points down the picture
  EXPECT_GT(down.r, 150);
  EXPECT_LT(down.b, 80);
  Rgb up = pixel(100, 40);    // nothing above the second point
  EXPECT_LT(up.r, 60);
  Rgb right = pixel(32, 50);  // 90 degrees points right, over the white mask line
  EXPECT_GT(right.r, 200);
  EXPECT_LT(right.b, 130);
  Rgb ring = pixel(20, 41);   // the green ring around the start, radius 9
  EXPECT_GT(ring.g, 180);
  EXPECT_LT(ring.r, 150);
  Rgb mask = pixel(150, 50);  // the mask itself, white
  EXPECT_GT(mask.b, 200);
}

TEST(BakePictures, ViewTakesInPointsOffTheLayer) {
  TempDir dir;
  BakePicture picture;
  picture.width = 100;
  picture.height = 100;
  picture.samples = {{0, -100, 50, 0}};
  DrawBakePicture(dir / "bake.png", picture);
  EXPECT_EQ(ReadPngInfo(dir / "bake.png").width, 216);  // from -108 to 108
}

TEST(ContactSheets, FramesInRowsOverACheckerboard) {
  TempDir dir;
  std::vector<SheetCell> cells;
  for (int i = 0; i < 3; ++i) {
    Image frame = MakeImage(64, 32, i == 1 ? Depth::FLOAT_32 : Depth::BITS_8);
    if (i != 1) {
      for (auto& p : std::get<std::vector<PF_Pixel8>>(frame.pixels)) p = {255, 255, 0, 0};
    }
    std::string label = "t";
    label += std::to_string(i);
    cells.push_back({std::move(frame), label, {}});
  }
  DrawContactSheet(dir / "sheet.png", cells, 2, 100);
  PngSamples png = ReadPngSamples(dir / "sheet.png");
  // Two columns of 100 + 8 gap, two rows of 50 (the frames' shape) + label + gap.
  EXPECT_EQ(png.info.width, 8 + 2 * 108);
  EXPECT_EQ(png.info.height, 8 + 2 * (50 + 20 + 8));
  Rgb red = At(png, 8 + 50, 8 + 25);
  EXPECT_EQ(red.r, 255);
  EXPECT_EQ(red.g, 0);
  Rgb clear = At(png, 116 + 2, 8 + 2);  // the transparent frame shows the checkerboard
  EXPECT_EQ(clear.r, clear.g);
  EXPECT_GT(clear.r, 120);
  Rgb third = At(png, 8 + 50, 8 + 78 + 25);
  EXPECT_EQ(third.r, 255);
  EXPECT_THROW(DrawContactSheet(dir / "none.png", {}, 2), OutputError);
  EXPECT_FALSE(std::filesystem::exists(dir / "none.png"));
}

}  // namespace
