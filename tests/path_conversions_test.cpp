// The numeric rules from parameter values to fractions, and from located points
// to headings, keyframe values and guide pixels.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "plugin/path/conversions.h"

namespace {

int fmod_calls = 0;

PF_FpLong CountingFmod(PF_FpLong x, PF_FpLong y) {
  ++fmod_calls;
  return std::fmod(x, y);
}

PF_Fixed Fixed(double shown) { return static_cast<PF_Fixed>(std::lround(shown * 65536.0)); }

struct FractionCase {
  PF_Fixed value;
  double fraction;
  bool negative_zero;
};

TEST(PercentFraction, MapsPercentagesOntoFractionsWithHundredExactlyOne) {
  const std::vector<FractionCase> cases = {
      {Fixed(0), 0.0, false},
      {Fixed(25), 0.25, false},
      {Fixed(50), 0.5, false},
      {0x640000, 1.0, false},
      // One fixed-point step below 100 % is walked like any other fraction.
      {0x640000 - 1, 0.9999998474121093, false},
  };
  for (const FractionCase& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(PercentFraction(c.value), c.fraction);
  }
}

TEST(AngleFraction, ReadsAnyAngleAsAFractionOfATurnBelowOne) {
  const std::vector<FractionCase> cases = {
      {Fixed(90), 0.25, false},
      {Fixed(450), 0.25, false},
      {Fixed(-90), 0.75, false},
      {Fixed(360), 0.0, false},
      {Fixed(720), 0.0, false},
      // A negative whole number of turns keeps fmod's sign: -0.0, which locates like 0.
      {Fixed(-360), 0.0, true},
      {Fixed(-1080), 0.0, true},
      {Fixed(359.5), 0.9986111111111111, false},
      {Fixed(-0.5), 0.9986111111111111, false},
  };
  for (const FractionCase& c : cases) {
    SCOPED_TRACE(c.value);
    const double fraction = AngleFraction(c.value, CountingFmod);
    EXPECT_EQ(fraction, c.fraction);
    EXPECT_EQ(std::signbit(fraction), c.negative_zero);
    EXPECT_LT(fraction, 1.0);
  }
}

TEST(OffsetFraction, OpenPathsUseThePercentageAndClosedOnesTheAngle) {
  EXPECT_EQ(OffsetFraction(true, 0.25, 0.75), 0.25);
  EXPECT_EQ(OffsetFraction(false, 0.25, 0.75), 0.75);
}

TEST(HeadingDegrees, PointsUpAtZeroAndGrowsClockwise) {
  struct Case {
    double dx, dy, degrees;
  };
  const std::vector<Case> cases = {
      {0, -1, 0},   {1, -1, 45},  {1, 0, 90},    {1, 1, 135}, {0, 1, 180},
      {-1, 1, 225}, {-1, 0, 270}, {-1, -1, 315},
      // Only the direction counts, not the length of the derivative.
      {0, -250, 0}, {0.001, 0, 90},
      // atan2 gives +pi for a -0.0 x-derivative: 2 pi must come back as 0, not 360.
      {-0.0, -1, 0},
      // A vanished derivative reads as 180.
      {0, 0, 180}, {-0.0, 0, 180},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "(" << c.dx << ", " << c.dy << ")");
    const double heading = HeadingDegrees(c.dx, c.dy, CountingFmod);
    EXPECT_EQ(heading, c.degrees);
    EXPECT_FALSE(std::signbit(heading));
  }
  EXPECT_NEAR(HeadingDegrees(3, 4, CountingFmod), 143.13010235415598, 1e-12);
}

TEST(Conversions, UseTheHostsFmodOncePerConversion) {
  fmod_calls = 0;
  AngleFraction(Fixed(-90), CountingFmod);
  EXPECT_EQ(fmod_calls, 1);
  HeadingDegrees(1, 1, CountingFmod);
  EXPECT_EQ(fmod_calls, 2);
}

TEST(KeyframePoint, UndoesTheDownsampleOfTheRender) {
  const KeyframeXY half = KeyframePoint(100.25, 40.5, 0.5, 0.5);
  EXPECT_EQ(half.x, 200.5);
  EXPECT_EQ(half.y, 81.0);
  const KeyframeXY full = KeyframePoint(-3.75, 12.0, 1.0, 1.0);
  EXPECT_EQ(full.x, -3.75);
  EXPECT_EQ(full.y, 12.0);
  // Each axis by its own factor.
  const KeyframeXY mixed = KeyframePoint(30.0, 30.0, 0.25, 0.5);
  EXPECT_EQ(mixed.x, 120.0);
  EXPECT_EQ(mixed.y, 60.0);
}

TEST(GuidePixel, TruncatesTowardZeroAndPaintsNothingOffTheGrid) {
  constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
  constexpr double INF = std::numeric_limits<double>::infinity();
  struct Case {
    double x, y;
    bool paints;
    A_long column, row;
  };
  const std::vector<Case> cases = {
      {12.9, -0.7, true, 12, 0},
      {-3.2, 5.99, true, -3, 5},
      {0.0, -0.0, true, 0, 0},
      // The edges of the 32-bit range, reached by truncation.
      {2147483647.9, -2147483648.9, true, 2147483647, -2147483647 - 1},
      {2147483648.0, 0.0, false, 0, 0},
      {0.0, -2147483649.0, false, 0, 0},
      {1e300, 5.0, false, 0, 0},
      {NaN, 5.0, false, 0, 0},
      {5.0, NaN, false, 0, 0},
      {INF, 5.0, false, 0, 0},
      {5.0, -INF, false, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "(" << c.x << ", " << c.y << ")");
    const GuideCenter center = GuidePixel(c.x, c.y);
    EXPECT_EQ(center.paints, c.paints);
    EXPECT_EQ(center.column, c.column);
    EXPECT_EQ(center.row, c.row);
  }
}

}  // namespace
