#include "conversions.h"

// Placeholder until the conversions land.
double PercentFraction(PF_Fixed) { return 0.0; }
double AngleFraction(PF_Fixed, FmodFunc) { return 0.0; }
double OffsetFraction(PF_Boolean, double, double) { return 0.0; }
double HeadingDegrees(double, double, FmodFunc) { return 0.0; }
KeyframeXY KeyframePoint(double, double, double, double) { return {0.0, 0.0}; }
GuideCenter GuidePixel(double, double) { return {0, 0, false}; }
