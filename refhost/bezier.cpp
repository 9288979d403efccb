#include "bezier.h"

#include <algorithm>
#include <cmath>

namespace refhost {

namespace {

// Halves a parameter interval of at most 1 down to below a double's resolution.
constexpr int BISECTION_STEPS = 64;

Vec2 Plus(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
Vec2 Minus(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
Vec2 Times(double k, Vec2 a) { return {k * a.x, k * a.y}; }
double Lerp(double a, double b, double t) {
  return t < 0.5 ? a + (b - a) * t : b - (b - a) * (1.0 - t);
}
Vec2 Lerp(Vec2 a, Vec2 b, double t) { return {Lerp(a.x, b.x, t), Lerp(a.y, b.y, t)}; }
bool Same(Vec2 a, Vec2 b) { return a.x == b.x && a.y == b.y; }
bool IsZero(Vec2 a) { return a.x == 0.0 && a.y == 0.0; }

// The direction of travel at an end where the derivative vanishes: the first
// control point that differs from the end, seen from the end (at the start), or
// the end seen from the last control point that differs from it (at the end).
// Scaled like the derivative it stands in for (three times the difference).
Vec2 TravelAtStart(const CubicSegment& s) {
  if (!Same(s.p2, s.p0)) return Times(3.0, Minus(s.p2, s.p0));
  return Times(3.0, Minus(s.p3, s.p0));
}

Vec2 TravelAtEnd(const CubicSegment& s) {
  if (!Same(s.p1, s.p3)) return Times(3.0, Minus(s.p3, s.p1));
  return Times(3.0, Minus(s.p3, s.p0));
}

}  // namespace

int SegmentCount(std::size_t vertices, bool closed) {
  if (vertices == 0) return 0;
  return static_cast<int>(closed ? vertices : vertices - 1);
}

CubicSegment SegmentOf(const std::vector<PathVertex>& vertices, bool closed, int index) {
  const std::size_t from = static_cast<std::size_t>(index);
  const std::size_t to = closed && from + 1 == vertices.size() ? 0 : from + 1;
  const PathVertex& a = vertices[from];
  const PathVertex& b = vertices[to];
  return {a.position, Plus(a.position, a.out_tangent), Plus(b.position, b.in_tangent), b.position};
}

// De Casteljau's construction, with an interpolation that gives each end exactly
// and any point between two equal points exactly: coincident control points then
// make chords of exactly zero length, and segment ends meet exactly.
Vec2 BezierPoint(const CubicSegment& s, double t) {
  const Vec2 a = Lerp(s.p0, s.p1, t);
  const Vec2 b = Lerp(s.p1, s.p2, t);
  const Vec2 c = Lerp(s.p2, s.p3, t);
  return Lerp(Lerp(a, b, t), Lerp(b, c, t), t);
}

Vec2 BezierDerivative(const CubicSegment& s, double t) {
  const double u = 1.0 - t;
  const Vec2 d0 = Minus(s.p1, s.p0);
  const Vec2 d1 = Minus(s.p2, s.p1);
  const Vec2 d2 = Minus(s.p3, s.p2);
  return {3.0 * (u * u * d0.x + 2.0 * u * t * d1.x + t * t * d2.x),
          3.0 * (u * u * d0.y + 2.0 * u * t * d1.y + t * t * d2.y)};
}

SegmentLengthTable::SegmentLengthTable(const CubicSegment& segment, int frequency)
    : segment_(segment) {
  const int steps = std::max(frequency, 1);
  cumulative_.resize(static_cast<std::size_t>(steps) + 1);
  cumulative_[0] = 0.0;
  Vec2 previous = segment.p0;
  for (int k = 1; k <= steps; ++k) {
    // Each parameter from its own index: no drift from adding up steps.
    const Vec2 sample = BezierPoint(segment, static_cast<double>(k) / steps);
    const std::size_t at = static_cast<std::size_t>(k);
    cumulative_[at] = cumulative_[at - 1] + std::hypot(sample.x - previous.x, sample.y - previous.y);
    previous = sample;
  }
}

SegmentLengthTable::Evaluation SegmentLengthTable::AtLength(double length) const {
  const double total = Length();
  const double s = length;
  const std::size_t steps = cumulative_.size() - 1;
  // Written as negations so that a NaN length (or a table gone non-finite) ends at
  // a segment end instead of in the search below.
  double t;
  if (!(s > 0.0)) {
    t = 0.0;
  } else if (!(s < total)) {
    t = 1.0;
  } else {
    // The first sample at or past s; the one before it lies below s, so s falls
    // on the chord between them.
    const std::size_t j = static_cast<std::size_t>(
        std::lower_bound(cumulative_.begin(), cumulative_.end(), s) - cumulative_.begin());
    const std::size_t k = j - 1;
    // The point of the curve between the two samples whose distance from sample k
    // is what remains of s: the table then measures exactly s up to it, and on a
    // straight segment (where the chords add up to the exact length) it lies at
    // exactly length s. Found by bisection, which needs no derivative.
    const double remaining = s - cumulative_[k];
    const Vec2 from = BezierPoint(segment_, static_cast<double>(k) / static_cast<double>(steps));
    double lo = static_cast<double>(k) / static_cast<double>(steps);
    double hi = static_cast<double>(j) / static_cast<double>(steps);
    for (int i = 0; i < BISECTION_STEPS; ++i) {
      const double mid = 0.5 * (lo + hi);
      const Vec2 p = BezierPoint(segment_, mid);
      (std::hypot(p.x - from.x, p.y - from.y) < remaining ? lo : hi) = mid;
    }
    t = 0.5 * (lo + hi);
  }
  Evaluation result{BezierPoint(segment_, t), BezierDerivative(segment_, t)};
  // A control point on its end point (every straight mask edge) makes the
  // derivative vanish there; the direction of travel keeps headings defined.
  if (IsZero(result.derivative)) {
    if (t == 0.0) result.derivative = TravelAtStart(segment_);
    if (t == 1.0) result.derivative = TravelAtEnd(segment_);
  }
  return result;
}

}  // namespace refhost
