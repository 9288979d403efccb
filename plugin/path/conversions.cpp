#include "conversions.h"

#include <cmath>

namespace {

// Every double strictly between these truncates toward zero to a value that a
// signed 32-bit integer holds; anything else (NaN and the infinities included)
// would make the conversion undefined.
constexpr double TRUNCATES_ABOVE = -2147483649.0;
constexpr double TRUNCATES_BELOW = 2147483648.0;

bool TruncatesToLong(double value) { return value > TRUNCATES_ABOVE && value < TRUNCATES_BELOW; }

}  // namespace

double PercentFraction(PF_Fixed percent) {
  // Divide first, then scale: this order makes 100 % exactly 1.0.
  return static_cast<double>(percent) / FIXED_ONE * PERCENT_TO_FRACTION;
}

double AngleFraction(PF_Fixed degrees, FmodFunc fmod) {
  double d = static_cast<double>(degrees) / FIXED_ONE;
  d = fmod(d, FULL_TURN_DEGREES);
  // fmod keeps the sign of its first argument. -0.0 (a negative whole number of
  // turns) is not below zero and stays -0.0, which locates like 0.
  if (d < 0.0) d += FULL_TURN_DEGREES;
  return d / FULL_TURN_DEGREES;
}

double OffsetFraction(PF_Boolean is_open, double percent_fraction, double angle_fraction) {
  return is_open ? percent_fraction : angle_fraction;
}

double HeadingDegrees(double dx, double dy, FmodFunc fmod) {
  // atan2(-dx, dy) is -pi for travel straight up; adding pi turns that into 0
  // and makes the angle grow clockwise in a y-down grid.
  double h = std::atan2(-dx, dy) + PI;
  // Only reachable when atan2 rounds -pi to a value finer than PI.
  if (h < 0.0) h += TWO_PI;
  // A -0.0 x-derivative gives atan2 = +pi and h = 2 pi, which must read as 0.
  h = fmod(h, TWO_PI);
  return h * RADIANS_TO_DEGREES;
}

KeyframeXY KeyframePoint(double x, double y, double downsample_x, double downsample_y) {
  return {x / downsample_x, y / downsample_y};
}

GuideCenter GuidePixel(double x, double y) {
  // A coordinate that is not a number or lies beyond the 32-bit grid cannot be on
  // any world: the guide paints nothing instead of converting it.
  if (!TruncatesToLong(x) || !TruncatesToLong(y)) return {0, 0, false};
  return {static_cast<A_long>(x), static_cast<A_long>(y), true};
}
