// The marker's two patterns, its clipping, and the colour conversions.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "render/guide_marker.h"
#include "render/render_info.h"

namespace {

using Runs = std::vector<std::pair<int, int>>;  // painted column ranges, both ends included

// Row by row, the columns each pattern paints, dy from -7 to 7.
const std::vector<Runs> MARKER_8_ROWS = {
    {{-3, 3}},
    {{-5, 5}},
    {{-6, -4}, {-1, 1}, {4, 6}},
    {{-6, -5}, {-1, 1}, {5, 6}},
    {{-7, -6}, {-1, 1}, {6, 7}},
    {{-7, -6}, {-1, 1}, {6, 7}},
    {{-8, 8}},
    {{-8, 8}},
    {{-8, 8}},
    {{-7, -6}, {-1, 1}, {6, 7}},
    {{-7, -6}, {-1, 1}, {6, 7}},
    {{-6, -5}, {-1, 1}, {5, 6}},
    {{-6, -4}, {-1, 1}, {4, 6}},
    {{-5, 5}},
    {{-3, 3}},
};
const std::vector<Runs> MARKER_DEEP_ROWS = {
    {{-1, 1}},
    {{-3, 3}},
    {{-4, 4}},
    {{-5, -3}, {-1, 1}, {3, 5}},
    {{-6, -4}, {-1, 1}, {4, 6}},
    {{-6, -5}, {-1, 1}, {5, 6}},
    {{-7, 7}},
    {{-7, 7}},
    {{-7, 7}},
    {{-6, -5}, {-1, 1}, {5, 6}},
    {{-6, -4}, {-1, 1}, {4, 6}},
    {{-5, -3}, {-1, 1}, {3, 5}},
    {{-4, 4}},
    {{-3, 3}},
    {{-1, 1}},
};

bool InRuns(const Runs& runs, int dx) {
  for (auto [from, to] : runs) {
    if (dx >= from && dx <= to) return true;
  }
  return false;
}

struct PatternCase {
  const char* name;
  MarkerPattern pattern;
  const std::vector<Runs>* rows;
  int painted;
  int painted_at_corner;
};

class MarkerPatternTest : public ::testing::TestWithParam<PatternCase> {};

TEST_P(MarkerPatternTest, PaintsExactlyTheRowTableAroundTheCentre) {
  const PatternCase& c = GetParam();
  constexpr A_long W = 40, H = 30, STRIDE = 45, CX = 20, CY = 15;
  std::vector<int> pixels(STRIDE * H, 0);
  PaintMarker(pixels.data(), STRIDE, W, H, CX, CY, c.pattern, 7);
  int painted = 0;
  for (A_long y = 0; y < H; ++y) {
    for (A_long x = 0; x < STRIDE; ++x) {
      const int dx = x - CX, dy = y - CY;
      const bool expected = dy >= -7 && dy <= 7 && InRuns((*c.rows)[dy + 7], dx);
      EXPECT_EQ(pixels[y * STRIDE + x] == 7, expected) << "dx " << dx << " dy " << dy;
      painted += pixels[y * STRIDE + x] == 7;
    }
  }
  EXPECT_EQ(painted, c.painted);
}

TEST_P(MarkerPatternTest, ClipsToTheLowerRightQuarterAtTheCorner) {
  const PatternCase& c = GetParam();
  constexpr A_long W = 20, H = 20;
  std::vector<int> pixels(W * H, 0);
  PaintMarker(pixels.data(), W, W, H, 0, 0, c.pattern, 7);
  int painted = 0;
  for (int v : pixels) painted += v == 7;
  EXPECT_EQ(painted, c.painted_at_corner);
}

INSTANTIATE_TEST_SUITE_P(BothPatterns, MarkerPatternTest,
                         ::testing::Values(PatternCase{"eight_bit", MARKER_8_PATTERN, &MARKER_8_ROWS, 147, 45},
                                           PatternCase{"deep", MARKER_DEEP_PATTERN, &MARKER_DEEP_ROWS, 133, 41}),
                         [](const auto& param_info) { return param_info.param.name; });

TEST(MarkerClipping, CentreFarOutsideOrStraddlingTheEdgePaintsOnlyInside) {
  constexpr A_long W = 10, H = 10;
  std::vector<int> pixels(W * H, 0);
  PaintMarker(pixels.data(), W, W, H, -1000000, 5, MARKER_8_PATTERN, 1);
  PaintMarker(pixels.data(), W, W, H, 5, 2147483600, MARKER_8_PATTERN, 1);
  for (int v : pixels) EXPECT_EQ(v, 0);
  // A centre left of the world (column -3) paints only its columns 0 and beyond.
  PaintMarker(pixels.data(), W, W, H, -3, 5, MARKER_DEEP_PATTERN, 1);
  int painted = 0;
  for (A_long y = 0; y < H; ++y) {
    for (A_long x = 0; x < W; ++x) painted += pixels[y * W + x];
  }
  int expected = 0;
  for (int dy = -7; dy <= 7; ++dy) {
    for (int dx = -7; dx <= 7; ++dx) {
      const int c = -3 + dx, r = 5 + dy;
      expected += c >= 0 && c < W && r >= 0 && r < H && InRuns(MARKER_DEEP_ROWS[dy + 7], dx);
    }
  }
  EXPECT_EQ(painted, expected);
  EXPECT_GT(painted, 0);
}

TEST(ColourConversion, EightBitToSixteenAndFloat) {
  const struct {
    A_u_char in;
    A_u_short sixteen;
    float fl;
  } cases[] = {{0, 0, 0.0f},        {1, 129, 0.0039215689f}, {2, 257, 2 / 255.0f},
               {128, 16448, 0.50196081f}, {255, 32768, 1.0f}};
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.in));
    const PF_Pixel p = {c.in, c.in, c.in, c.in};
    EXPECT_EQ(Pixel8To16(p).red, c.sixteen);
    EXPECT_FLOAT_EQ(Pixel8ToFloat(p).blue, c.fl);
  }
  // The default guide colour, channel order alpha, red, green, blue.
  const PF_Pixel guide = {255, 86, 118, 255};
  const PF_Pixel16 deep = Pixel8To16(guide);
  EXPECT_EQ(deep.alpha, 32768);
  EXPECT_EQ(deep.red, 11051);
  EXPECT_EQ(deep.green, 15163);
  EXPECT_EQ(deep.blue, 32768);
  const PF_PixelFloat fl = Pixel8ToFloat(guide);
  EXPECT_EQ(fl.alpha, 1.0f);
  EXPECT_EQ(fl.red, 0.33725491f);
  EXPECT_EQ(fl.green, 0.4627451f);
  EXPECT_EQ(fl.blue, 1.0f);
}

TEST(AccumulateRect, EmptyDestinationTakesSourceValueForValue) {
  const struct {
    PF_LRect src, dst, expected;
  } cases[] = {
      {{1, 2, 30, 40}, {0, 0, 0, 0}, {1, 2, 30, 40}},          // empty dst copies src
      {{5, 0, 5, 10}, {0, 0, 0, 0}, {5, 0, 5, 10}},            // even an empty src
      {{5, 0, 5, 10}, {1, 1, 4, 4}, {1, 1, 4, 4}},             // empty src changes nothing
      {{10, -5, 20, 3}, {0, 0, 12, 12}, {0, -5, 20, 12}},      // bounding box of both
      {{0, 0, 8, 8}, {9, 9, 9, 20}, {0, 0, 8, 8}},             // dst empty by its width
  };
  for (const auto& c : cases) {
    PF_LRect dst = c.dst;
    AccumulateRect(c.src, dst);
    EXPECT_EQ(dst.left, c.expected.left);
    EXPECT_EQ(dst.top, c.expected.top);
    EXPECT_EQ(dst.right, c.expected.right);
    EXPECT_EQ(dst.bottom, c.expected.bottom);
  }
}

}  // namespace
