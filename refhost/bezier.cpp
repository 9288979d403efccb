#include "bezier.h"

#include <algorithm>
#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace refhost {

namespace {

// Halves a parameter interval of at most 1 down to below a double's resolution.
constexpr int BISECTION_STEPS = 64;

Vec2 Plus(Vec2 a, Vec2 b) { return {a.x + b.x, a.y + b.y}; }
Vec2 Minus(Vec2 a, Vec2 b) { return {a.x - b.x, a.y - b.y}; }
Vec2 Times(double k, Vec2 a) { return {k * a.x, k * a.y}; }
bool Same(Vec2 a, Vec2 b) { return a.x == b.x && a.y == b.y; }

// Interpolation that gives each end exactly: measured from the nearer end. Below
// one half from a, at or above it from b (where u = 1 - t).
Vec2 FromStart(Vec2 a, Vec2 b, double t) { return {a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t}; }
Vec2 FromEnd(Vec2 a, Vec2 b, double u) { return {b.x - (b.x - a.x) * u, b.y - (b.y - a.y) * u}; }

// The points at which a segment is sampled for its length, and searched between:
// the curve in powers of t, p0 + t (c1 + t (c2 + t c3)), a third of the work of the
// construction below per point. Its coefficients are made from the differences of
// successive control points, so a coordinate that all four control points share
// is every sample's exactly, and coincident control points give chords of exactly
// zero length; the last sample is the end point itself.
class Sampler {
 public:
  Sampler(const CubicSegment& s, int steps) : steps_(steps), step_(1.0 / steps), p0_(s.p0), p3_(s.p3) {
    const Vec2 d0 = Minus(s.p1, s.p0);
    const Vec2 d1 = Minus(s.p2, s.p1);
    const Vec2 d2 = Minus(s.p3, s.p2);
    const Vec2 e0 = Minus(d1, d0);
    c1_ = Times(3.0, d0);
    c2_ = Times(3.0, e0);
    c3_ = Minus(Minus(d2, d1), e0);
  }
  // The parameter of sample k, from its own index: no drift from adding up steps.
  double Parameter(int k) const { return k == steps_ ? 1.0 : k * step_; }
  Vec2 At(double t) const {
    return {p0_.x + t * (c1_.x + t * (c2_.x + t * c3_.x)), p0_.y + t * (c1_.y + t * (c2_.y + t * c3_.y))};
  }
  Vec2 Sample(int k) const { return k == steps_ ? p3_ : At(k * step_); }
  // Samples first to first + count - 1, their coordinates into xs and ys: two at a
  // time where the processor has SSE2, each lane working out exactly what Sample
  // does, in the same order.
  void Samples(int first, int count, double* xs, double* ys) const {
    int i = 0;
#if defined(__SSE2__)
    const __m128d step = _mm_set1_pd(step_);
    const __m128d x0 = _mm_set1_pd(p0_.x), x1 = _mm_set1_pd(c1_.x), x2 = _mm_set1_pd(c2_.x),
                  x3 = _mm_set1_pd(c3_.x);
    const __m128d y0 = _mm_set1_pd(p0_.y), y1 = _mm_set1_pd(c1_.y), y2 = _mm_set1_pd(c2_.y),
                  y3 = _mm_set1_pd(c3_.y);
    // The indices k and k + 1 as doubles (exact), both below the last sample.
    __m128d index = _mm_set_pd(first + 1, first);
    const __m128d two = _mm_set1_pd(2.0);
    const int before_last = std::min(count, steps_ - first);
    for (; i + 2 <= before_last; i += 2, index = _mm_add_pd(index, two)) {
      const __m128d t = _mm_mul_pd(index, step);
      __m128d x = _mm_add_pd(x2, _mm_mul_pd(t, x3));
      __m128d y = _mm_add_pd(y2, _mm_mul_pd(t, y3));
      x = _mm_add_pd(x1, _mm_mul_pd(t, x));
      y = _mm_add_pd(y1, _mm_mul_pd(t, y));
      _mm_storeu_pd(xs + i, _mm_add_pd(x0, _mm_mul_pd(t, x)));
      _mm_storeu_pd(ys + i, _mm_add_pd(y0, _mm_mul_pd(t, y)));
    }
#endif
    for (; i < count; ++i) {
      const Vec2 p = Sample(first + i);
      xs[i] = p.x;
      ys[i] = p.y;
    }
  }

 private:
  int steps_;
  double step_;
  Vec2 p0_, p3_, c1_, c2_, c3_;
};

double SquaredDistance(Vec2 a, Vec2 b) {
  const double dx = b.x - a.x;
  const double dy = b.y - a.y;
  return dx * dx + dy * dy;
}

// Squares that neither overflowed nor came near to vanishing.
constexpr double MIN_SQUARED = 1e-290;
constexpr double MAX_SQUARED = 1e290;
bool InRange(double squared) { return squared > MIN_SQUARED && squared < MAX_SQUARED; }

// The distance between two points. The square root of the sum of squares is
// within an ulp of hypot at a fraction of its cost; hypot is kept for the
// differences whose squares would overflow or vanish.
double Distance(Vec2 a, Vec2 b) {
  const double squared = SquaredDistance(a, b);
  if (InRange(squared)) return std::sqrt(squared);
  return std::hypot(b.x - a.x, b.y - a.y);
}

// The chords between n + 1 points as Distance measures them. The square roots are
// drawn two at a time where the processor has SSE2: unlike std::sqrt, its square
// root has no domain error to report, so it need not be taken one value at a
// time. Both compute as SquaredDistance and std::sqrt do, correctly rounded, so
// the results are the same; the few chords whose squares are out of range are
// measured again by Distance.
void Chords(const double* xs, const double* ys, int n, double* chords) {
  int i = 0;
  bool in_range = true;
#if defined(__SSE2__)
  const __m128d low = _mm_set1_pd(MIN_SQUARED), high = _mm_set1_pd(MAX_SQUARED);
  __m128d all_in_range = _mm_cmpeq_pd(low, low);
  for (; i + 2 <= n; i += 2) {
    const __m128d dx = _mm_sub_pd(_mm_loadu_pd(xs + i + 1), _mm_loadu_pd(xs + i));
    const __m128d dy = _mm_sub_pd(_mm_loadu_pd(ys + i + 1), _mm_loadu_pd(ys + i));
    const __m128d sum = _mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy));
    // A comparison with a NaN is false: a NaN square counts as out of range.
    all_in_range = _mm_and_pd(all_in_range, _mm_and_pd(_mm_cmpgt_pd(sum, low), _mm_cmplt_pd(sum, high)));
    _mm_storeu_pd(chords + i, _mm_sqrt_pd(sum));
  }
  in_range = _mm_movemask_pd(all_in_range) == 3;
#endif
  for (; i < n; ++i) {
    const double sum = SquaredDistance({xs[i], ys[i]}, {xs[i + 1], ys[i + 1]});
    in_range &= InRange(sum);
    chords[i] = std::sqrt(sum);
  }
  if (in_range) return;
  for (i = 0; i < n; ++i) chords[i] = Distance({xs[i], ys[i]}, {xs[i + 1], ys[i + 1]});
}

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
// The side of the interpolation is chosen once for the whole construction: every
// step would choose the same one, since they all interpolate at the same t.
Vec2 BezierPoint(const CubicSegment& s, double t) {
  if (t < 0.5) {
    const Vec2 a = FromStart(s.p0, s.p1, t);
    const Vec2 b = FromStart(s.p1, s.p2, t);
    const Vec2 c = FromStart(s.p2, s.p3, t);
    return FromStart(FromStart(a, b, t), FromStart(b, c, t), t);
  }
  const double u = 1.0 - t;
  const Vec2 a = FromEnd(s.p0, s.p1, u);
  const Vec2 b = FromEnd(s.p1, s.p2, u);
  const Vec2 c = FromEnd(s.p2, s.p3, u);
  return FromEnd(FromEnd(a, b, u), FromEnd(b, c, u), u);
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
  // A block of samples at a time: taken, their chords measured together, then
  // added up in order. Each chord is what Distance gives.
  const Sampler sampler(segment, steps);
  constexpr int BLOCK = 128;  // the effect's frequency, 100, in one block
  double xs[BLOCK + 1], ys[BLOCK + 1];  // the block's samples, after the last one before it
  double chords[BLOCK];
  xs[0] = segment.p0.x;
  ys[0] = segment.p0.y;
  double length = 0.0;
  for (int first = 1; first <= steps; first += BLOCK) {
    const int count = std::min(BLOCK, steps - first + 1);
    sampler.Samples(first, count, xs + 1, ys + 1);
    Chords(xs, ys, count, chords);
    for (int i = 0; i < count; ++i) {
      length += chords[i];
      cumulative_[static_cast<std::size_t>(first + i)] = length;
    }
    xs[0] = xs[count];
    ys[0] = ys[count];
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
    const Sampler sampler(segment_, static_cast<int>(steps));
    const Vec2 from = sampler.Sample(static_cast<int>(k));
    double lo = sampler.Parameter(static_cast<int>(k));
    double hi = sampler.Parameter(static_cast<int>(j));
    t = 0.5 * (lo + hi);
    for (int i = 0; i < BISECTION_STEPS; ++i) {
      // Once the bounds are neighbouring doubles the midpoint is one of them, and
      // every further step would leave it there: it is the answer already.
      if (t == lo || t == hi) break;
      (Distance(from, sampler.At(t)) < remaining ? lo : hi) = t;
      t = 0.5 * (lo + hi);
    }
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
