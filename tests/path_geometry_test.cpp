// The host's mask geometry: segments from vertices, lengths by sampling at the
// effect's frequency, and points at a length, checked against the exact curve.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "refhost/bezier.h"

namespace {

using refhost::BezierDerivative;
using refhost::BezierPoint;
using refhost::CubicSegment;
using refhost::PathVertex;
using refhost::SegmentLengthTable;
using refhost::Vec2;

constexpr int FREQUENCY = 100;

double Norm(Vec2 v) { return std::hypot(v.x, v.y); }

// Arc length from 0 to t by composite 5-point Gauss-Legendre on the speed: exact
// for polynomials of degree 9 per panel, far finer than what is tested against.
double ArcLength(const CubicSegment& s, double t = 1.0) {
  static const double nodes[5] = {0.0, -0.5384693101056831, 0.5384693101056831,
                                  -0.9061798459386640, 0.9061798459386640};
  static const double weights[5] = {0.5688888888888889, 0.4786286704993665, 0.4786286704993665,
                                    0.2369268850561891, 0.2369268850561891};
  constexpr int PANELS = 128;
  const double h = t / PANELS;
  double sum = 0.0;
  for (int p = 0; p < PANELS; ++p) {
    const double mid = (p + 0.5) * h;
    for (int i = 0; i < 5; ++i) sum += weights[i] * Norm(BezierDerivative(s, mid + 0.5 * h * nodes[i]));
  }
  return sum * 0.5 * h;
}

// The parameter at which the exact arc length reaches `length`.
double ParameterAtLength(const CubicSegment& s, double length) {
  double lo = 0.0, hi = 1.0;
  for (int i = 0; i < 60; ++i) {
    const double mid = 0.5 * (lo + hi);
    (ArcLength(s, mid) < length ? lo : hi) = mid;
  }
  return 0.5 * (lo + hi);
}

// The usual four-arc circle: control points at kappa times the radius.
std::vector<CubicSegment> CircleArcs(Vec2 c, double r) {
  const double k = 0.5522847498307936 * r;
  return {
      {{c.x + r, c.y}, {c.x + r, c.y + k}, {c.x + k, c.y + r}, {c.x, c.y + r}},
      {{c.x, c.y + r}, {c.x - k, c.y + r}, {c.x - r, c.y + k}, {c.x - r, c.y}},
      {{c.x - r, c.y}, {c.x - r, c.y - k}, {c.x - k, c.y - r}, {c.x, c.y - r}},
      {{c.x, c.y - r}, {c.x + k, c.y - r}, {c.x + r, c.y - k}, {c.x + r, c.y}},
  };
}

std::vector<CubicSegment> CurvedSegments() {
  std::vector<CubicSegment> curves = CircleArcs({320, 240}, 100);
  // S-curves: the control points on opposite sides of the chord.
  curves.push_back({{0, 0}, {150, 0}, {-50, 100}, {100, 100}});
  curves.push_back({{10, 300}, {200, 120}, {40, 20}, {260, -40}});
  return curves;
}

TEST(SegmentGeometry, StraightSegmentsMeasureExactly) {
  const std::vector<CubicSegment> lines = {
      // Mask edges without tangents.
      {{0, 0}, {0, 0}, {3, 4}, {3, 4}},
      {{-120.5, 33.25}, {-120.5, 33.25}, {880.75, -1000.5}, {880.75, -1000.5}},
      // Tangents along the edge, pointing forward.
      {{0, 0}, {10, 0}, {90, 0}, {100, 0}},
      {{5, 5}, {25, 25}, {35, 35}, {105, 105}},
  };
  for (const CubicSegment& line : lines) {
    const double exact = Norm({line.p3.x - line.p0.x, line.p3.y - line.p0.y});
    for (int frequency : {1, 7, FREQUENCY}) {
      const SegmentLengthTable table(line, frequency);
      EXPECT_NEAR(table.Length(), exact, 1e-9);
      // And the point at a length lies exactly that far along the line.
      for (double share : {0.0, 0.25, 0.5, 0.731, 1.0}) {
        const SegmentLengthTable::Evaluation at = table.AtLength(share * table.Length());
        EXPECT_NEAR(at.position.x, line.p0.x + share * (line.p3.x - line.p0.x), 1e-9);
        EXPECT_NEAR(at.position.y, line.p0.y + share * (line.p3.y - line.p0.y), 1e-9);
      }
    }
  }
}

TEST(SegmentGeometry, CurvedLengthsAtTheEffectsFrequencyAreWithinOneIn10000) {
  for (const CubicSegment& curve : CurvedSegments()) {
    const double exact = ArcLength(curve);
    const double sampled = SegmentLengthTable(curve, FREQUENCY).Length();
    EXPECT_NEAR(sampled / exact, 1.0, 1e-4) << "exact " << exact << ", sampled " << sampled;
    // Chords never exceed the arc they span.
    EXPECT_LE(sampled, exact);
  }
  double circle = 0.0;
  for (const CubicSegment& arc : CircleArcs({0, 0}, 100)) {
    circle += SegmentLengthTable(arc, FREQUENCY).Length();
  }
  EXPECT_NEAR(circle / (2 * std::numbers::pi * 100), 1.0, 1e-3);
}

TEST(SegmentGeometry, PointsAtALengthLieAtThatArcLength) {
  for (const CubicSegment& curve : CurvedSegments()) {
    const SegmentLengthTable table(curve, FREQUENCY);
    for (double share : {0.1, 0.37, 0.5, 0.82, 0.999}) {
      const double length = share * table.Length();
      const double t = ParameterAtLength(curve, length);
      const SegmentLengthTable::Evaluation at = table.AtLength(length);
      const Vec2 exact = BezierPoint(curve, t);
      // Off along the curve by no more than its length is off.
      EXPECT_NEAR(at.position.x, exact.x, 1e-4 * table.Length());
      EXPECT_NEAR(at.position.y, exact.y, 1e-4 * table.Length());
      // The derivative is the curve's own at the point found.
      const Vec2 tangent = BezierDerivative(curve, t);
      const double cross = at.derivative.x * tangent.y - at.derivative.y * tangent.x;
      EXPECT_NEAR(cross / (Norm(at.derivative) * Norm(tangent)), 0.0, 1e-3);
    }
  }
}

TEST(SegmentGeometry, LengthsOutsideTheSegmentAreClampedToItsEnds) {
  const CubicSegment s{{0, 0}, {150, 0}, {-50, 100}, {100, 100}};
  const SegmentLengthTable table(s, FREQUENCY);
  for (double before : {0.0, -0.0, -5.0, -1e300}) {
    const SegmentLengthTable::Evaluation at = table.AtLength(before);
    EXPECT_EQ(at.position.x, 0.0);
    EXPECT_EQ(at.position.y, 0.0);
    EXPECT_EQ(at.derivative.x, 450.0);
    EXPECT_EQ(at.derivative.y, 0.0);
  }
  for (double after : {table.Length(), table.Length() + 5.0, 1e300}) {
    const SegmentLengthTable::Evaluation at = table.AtLength(after);
    EXPECT_EQ(at.position.x, 100.0);
    EXPECT_EQ(at.position.y, 100.0);
    EXPECT_EQ(at.derivative.x, 450.0);
    EXPECT_EQ(at.derivative.y, 0.0);
  }
}

TEST(SegmentGeometry, AVanishedDerivativeAtAnEndGivesTheDirectionOfTravel) {
  struct Case {
    const char* what;
    CubicSegment s;
    Vec2 at_start, at_end;  // expected directions (scaled by three)
  };
  const std::vector<Case> cases = {
      {"edge without tangents", {{0, 0}, {0, 0}, {0, 50}, {0, 50}}, {0, 150}, {0, 150}},
      {"only an in-tangent: start heads for it",
       {{0, 0}, {0, 0}, {10, 20}, {40, 0}},
       {30, 60},
       {90, -60}},
      {"only an out-tangent: end comes from it",
       {{0, 0}, {10, -20}, {40, 0}, {40, 0}},
       {30, -60},
       {90, 60}},
      {"both control points on the start",
       {{5, 5}, {5, 5}, {5, 5}, {-5, 5}},
       {-30, 0},
       {-30, 0}},
      {"everything in one place", {{7, 7}, {7, 7}, {7, 7}, {7, 7}}, {0, 0}, {0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const SegmentLengthTable table(c.s, FREQUENCY);
    const SegmentLengthTable::Evaluation start = table.AtLength(0.0);
    const SegmentLengthTable::Evaluation end = table.AtLength(table.Length());
    EXPECT_EQ(start.derivative.x, c.at_start.x);
    EXPECT_EQ(start.derivative.y, c.at_start.y);
    EXPECT_EQ(end.derivative.x, c.at_end.x);
    EXPECT_EQ(end.derivative.y, c.at_end.y);
  }
  // Inside a straight edge the curve's own derivative already points along it.
  const SegmentLengthTable edge({{0, 0}, {0, 0}, {0, 50}, {0, 50}}, FREQUENCY);
  const SegmentLengthTable::Evaluation middle = edge.AtLength(25.0);
  EXPECT_EQ(middle.derivative.x, 0.0);
  EXPECT_GT(middle.derivative.y, 0.0);
}

TEST(SegmentGeometry, SharedCoordinatesAndCoincidentPointsStayExact) {
  // An edge along a row, its tangents along it: every point keeps the row's y.
  const CubicSegment row{{-120.5, 33.3}, {-100.1, 33.3}, {300.7, 33.3}, {880.9, 33.3}};
  for (int frequency : {1, 7, FREQUENCY, 1000}) {
    const SegmentLengthTable table(row, frequency);
    for (double share : {0.0, 0.1, 0.37, 0.5, 0.999, 1.0}) {
      EXPECT_EQ(table.AtLength(share * table.Length()).position.y, 33.3) << frequency << " " << share;
    }
  }
  // Four coincident control points: a segment of no length at all, not a tiny one.
  const SegmentLengthTable point({{7.1, -3.3}, {7.1, -3.3}, {7.1, -3.3}, {7.1, -3.3}}, FREQUENCY);
  EXPECT_EQ(point.Length(), 0.0);
}

TEST(MaskSegments, CountAndShapeFollowTheVertices) {
  struct Count {
    std::size_t vertices;
    bool closed;
    int segments;
  };
  for (const Count& c : std::vector<Count>{
           {0, false, 0}, {0, true, 0}, {1, false, 0}, {1, true, 1}, {4, false, 3}, {4, true, 4}}) {
    EXPECT_EQ(refhost::SegmentCount(c.vertices, c.closed), c.segments)
        << c.vertices << (c.closed ? " closed" : " open");
  }

  const std::vector<PathVertex> vertices = {
      {{0, 0}, {-1, -2}, {3, 4}},
      {{10, 0}, {-5, 6}, {7, 8}},
      {{10, 10}, {9, -10}, {11, 12}},
  };
  const CubicSegment first = refhost::SegmentOf(vertices, false, 0);
  EXPECT_EQ(first.p0.x, 0);
  EXPECT_EQ(first.p1.x, 3);  // the out-tangent of vertex 0
  EXPECT_EQ(first.p1.y, 4);
  EXPECT_EQ(first.p2.x, 5);  // the in-tangent of vertex 1
  EXPECT_EQ(first.p2.y, 6);
  EXPECT_EQ(first.p3.x, 10);
  // A closed path's last segment returns to vertex 0 through its in-tangent.
  const CubicSegment closing = refhost::SegmentOf(vertices, true, 2);
  EXPECT_EQ(closing.p0.x, 10);
  EXPECT_EQ(closing.p0.y, 10);
  EXPECT_EQ(closing.p1.x, 21);
  EXPECT_EQ(closing.p1.y, 22);
  EXPECT_EQ(closing.p2.x, -1);
  EXPECT_EQ(closing.p2.y, -2);
  EXPECT_EQ(closing.p3.x, 0);
  EXPECT_EQ(closing.p3.y, 0);
}

}  // namespace
