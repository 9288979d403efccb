#include "sample_cache.h"

#include <cstring>
#include <functional>
#include <string_view>

namespace refhost {

static_assert(sizeof(CubicSegment) == 8 * sizeof(double), "control points are compared as plain bits");

std::size_t SampleCache::KeyHash::operator()(const Key& key) const {
  const std::string_view bits(reinterpret_cast<const char*>(&key.segment), sizeof(key.segment));
  return std::hash<std::string_view>{}(bits) ^ (static_cast<std::size_t>(key.frequency) * std::size_t{0x9E3779B9});
}

bool SampleCache::KeyEqual::operator()(const Key& a, const Key& b) const {
  return a.frequency == b.frequency && std::memcmp(&a.segment, &b.segment, sizeof(a.segment)) == 0;
}

std::shared_ptr<const SegmentLengthTable> SampleCache::Samples(const CubicSegment& segment, int frequency) {
  const Key key{segment, frequency};
  if (auto it = tables_.find(key); it != tables_.end()) return it->second;
  auto table = std::make_shared<const SegmentLengthTable>(segment, frequency);
  const auto samples = static_cast<std::size_t>(frequency) + 1;
  if (samples > MAX_SAMPLES_KEPT) return table;
  if (samples_kept_ + samples > MAX_SAMPLES_KEPT) Clear();
  tables_.emplace(key, table);
  samples_kept_ += samples;
  return table;
}

void SampleCache::Clear() {
  tables_.clear();
  samples_kept_ = 0;
}

}  // namespace refhost
