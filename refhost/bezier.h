// Mask path geometry as the host computes it: cubic Bézier segments between the
// vertices of a mask, their lengths by sampling, and points at a length.
#pragma once

#include <cstddef>
#include <vector>

namespace refhost {

struct Vec2 {
  double x = 0.0;
  double y = 0.0;
};

// One mask vertex in layer pixels. The tangents are relative to the position:
// the in-tangent shapes the segment arriving here, the out-tangent the one leaving.
struct PathVertex {
  Vec2 position;
  Vec2 in_tangent;
  Vec2 out_tangent;
};

// Start point, its control point, the end's control point, end point.
struct CubicSegment {
  Vec2 p0, p1, p2, p3;
};

// vertices - 1 for an open path, vertices for a closed one, 0 without vertices.
int SegmentCount(std::size_t vertices, bool closed);

// Segment i runs from vertex i (control point: its out-tangent) to the next
// vertex (control point: that vertex's in-tangent); a closed path's last segment
// returns to vertex 0. `index` must be below SegmentCount.
CubicSegment SegmentOf(const std::vector<PathVertex>& vertices, bool closed, int index);

Vec2 BezierPoint(const CubicSegment& segment, double t);
// The first derivative with respect to the curve parameter t.
Vec2 BezierDerivative(const CubicSegment& segment, double t);

// A segment sampled at `frequency` equal parameter steps, with the cumulative
// chord lengths of the samples: the host's preparation for length queries.
class SegmentLengthTable {
 public:
  // `frequency` is at least 1.
  SegmentLengthTable(const CubicSegment& segment, int frequency);

  // The sum of the chords.
  double Length() const { return cumulative_.back(); }
  // The number of equal parameter steps the segment was sampled at.
  int Frequency() const { return static_cast<int>(cumulative_.size() - 1); }

  struct Evaluation {
    Vec2 position;
    Vec2 derivative;
  };
  // The point at `length` along the segment (clamped to [0, Length()]), found by
  // inverting the chord table, with the first derivative there. The point lies on
  // the curve, and the table measures exactly `length` up to it.
  Evaluation AtLength(double length) const;

 private:
  CubicSegment segment_;
  std::vector<double> cumulative_;  // cumulative_[k]: chord length up to t = k / frequency
};

}  // namespace refhost
