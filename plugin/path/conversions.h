// The numeric rules between parameter values, located points, fractions of a
// path's length, headings and pixels.
#pragma once

#include "../host/host_contract.h"

constexpr double FIXED_ONE = 65536.0;
constexpr double PERCENT_TO_FRACTION = 0.01;
constexpr double FULL_TURN_DEGREES = 360.0;
constexpr double PI = 3.141592653589793;
constexpr double TWO_PI = 6.283185307179586;
constexpr double RADIANS_TO_DEGREES = 57.29577951308232;

// The host's fmod, which the conversions use in place of the C library's.
typedef PF_FpLong (*FmodFunc)(PF_FpLong x, PF_FpLong y);

// An open path's "Offset" percentage as a fraction of its length; 100 % is exactly 1.0.
double PercentFraction(PF_Fixed percent);
// A closed path's "Offset" angle as a fraction of a turn, in [0, 1).
double AngleFraction(PF_Fixed degrees, FmodFunc fmod);
double OffsetFraction(PF_Boolean is_open, double percent_fraction, double angle_fraction);
// Direction of travel in degrees: 0 up the screen, growing clockwise, in [0, 360).
double HeadingDegrees(double dx, double dy, FmodFunc fmod);

struct KeyframeXY {
  double x, y;
};
// A located point in full-resolution layer pixels, for the Point keyframes.
KeyframeXY KeyframePoint(double x, double y, double downsample_x, double downsample_y);

struct GuideCenter {
  A_long column, row;
  bool paints;  // false for a point that cannot lie on any world's pixel grid
};
// The guide's centre pixel: each coordinate truncated toward zero.
GuideCenter GuidePixel(double x, double y);
