// Segment samples kept across check-outs. A segment's samples depend only on its
// four control points and the frequency, so a mask that holds still between
// frames (or between the steps of a bake) is sampled once, as a host keeps its
// mask geometry between renders rather than re-deriving it for every request.
#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>

#include "bezier.h"

namespace refhost {

class SampleCache {
 public:
  // The samples of `segment` at `frequency` (at least 1), taken now or shared
  // with an earlier request for bit-for-bit the same control points.
  std::shared_ptr<const SegmentLengthTable> Samples(const CubicSegment& segment, int frequency);

  // Drops every kept table; tables still held by a preparation live on.
  void Clear();
  std::size_t TablesKept() const { return tables_.size(); }

  // Once this many samples are kept, the cache starts over: an animated mask
  // makes new geometry at every frame, and the cache must not grow with it.
  static constexpr std::size_t MAX_SAMPLES_KEPT = std::size_t{1} << 20;

 private:
  struct Key {
    CubicSegment segment;
    int frequency = 0;
  };
  // Keys compare by their bits: equal bits give equal samples, and no NaN or
  // signed zero can make two different inputs share a table.
  struct KeyHash {
    std::size_t operator()(const Key& key) const;
  };
  struct KeyEqual {
    bool operator()(const Key& a, const Key& b) const;
  };

  std::unordered_map<Key, std::shared_ptr<const SegmentLengthTable>, KeyHash, KeyEqual> tables_;
  std::size_t samples_kept_ = 0;
};

}  // namespace refhost
