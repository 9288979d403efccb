#include "masks.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace refhost {

namespace {

// Handles are made from a serial and a tag per kind, so that a path is never
// mistaken for a preparation and a handle that came back needs no record kept.
constexpr std::uintptr_t PATH_TAG = 0x4;
constexpr std::uintptr_t PREPARATION_TAG = 0x8;
constexpr std::uintptr_t TAG_MASK = 0xF;
constexpr int TAG_BITS = 4;

template <class Ptr>
Ptr MakeToken(int serial, std::uintptr_t tag) {
  return reinterpret_cast<Ptr>((static_cast<std::uintptr_t>(serial) << TAG_BITS) | tag);
}

// The serial a value carries, or 0 when it is not a token of this kind.
int SerialOf(const void* token, std::uintptr_t tag, int next) {
  const auto value = reinterpret_cast<std::uintptr_t>(token);
  if ((value & TAG_MASK) != tag) return 0;
  const std::uintptr_t serial = value >> TAG_BITS;
  return serial >= 1 && serial < static_cast<std::uintptr_t>(next) ? static_cast<int>(serial) : 0;
}

std::string MaskName(PF_PathID id) { return "mask " + std::to_string(id); }

// Mask coordinates are single-precision numbers in the host, and held to that
// range here: then a segment's control points (a vertex plus a tangent), their
// differences and lengths all stay finite, also scaled for a render, and no
// length or point handed to the module is ever something other than a number.
constexpr double MAX_COORDINATE = std::numeric_limits<float>::max();

bool Finite(Vec2 v) { return std::isfinite(v.x) && std::isfinite(v.y); }
bool Held(Vec2 v) { return std::fabs(v.x) <= MAX_COORDINATE && std::fabs(v.y) <= MAX_COORDINATE; }

void CheckFinite(PF_PathID id, const std::vector<PathVertex>& vertices) {
  for (std::size_t i = 0; i < vertices.size(); ++i) {
    const PathVertex& v = vertices[i];
    if (!Finite(v.position) || !Finite(v.in_tangent) || !Finite(v.out_tangent)) {
      throw std::invalid_argument(MaskName(id) + ": vertex " + std::to_string(i) +
                                  " has a coordinate that is not a finite number");
    }
    if (!Held(v.position) || !Held(v.in_tangent) || !Held(v.out_tangent)) {
      throw std::invalid_argument(MaskName(id) + ": vertex " + std::to_string(i) +
                                  " has a coordinate beyond what a mask holds (3.4e38)");
    }
  }
}

// Exact comparison of two times over different scales (both scales non-zero).
int Compare(A_Time a, A_Time b) {
  const std::int64_t left = static_cast<std::int64_t>(a.value) * b.scale;
  const std::int64_t right = static_cast<std::int64_t>(b.value) * a.scale;
  return left < right ? -1 : (left > right ? 1 : 0);
}

double Seconds(A_Time t) { return static_cast<double>(t.value) / static_cast<double>(t.scale); }

Vec2 Mix(Vec2 a, Vec2 b, double u) { return {a.x + (b.x - a.x) * u, a.y + (b.y - a.y) * u}; }

Vec2 Scaled(Vec2 v, double sx, double sy) { return {v.x * sx, v.y * sy}; }

}  // namespace

const MaskModel::Mask* MaskModel::Find(PF_PathID id) const {
  for (const Mask& mask : masks_) {
    if (mask.id == id) return &mask;
  }
  return nullptr;
}

MaskModel::Mask* MaskModel::Find(PF_PathID id) {
  return const_cast<Mask*>(static_cast<const MaskModel*>(this)->Find(id));
}

const MaskModel::Mask& MaskModel::Get(PF_PathID id) const {
  const Mask* mask = Find(id);
  if (mask == nullptr) throw std::invalid_argument("no " + MaskName(id) + " on the layer");
  return *mask;
}

void MaskModel::Add(PF_PathID id, bool closed, std::vector<PathVertex> vertices) {
  if (id == 0) throw std::invalid_argument("mask id 0 is reserved for \"no path\"");
  if (Has(id)) throw std::invalid_argument(MaskName(id) + " already exists");
  CheckFinite(id, vertices);
  masks_.push_back(Mask{id, closed, std::move(vertices), {}});
}

void MaskModel::AddKeyframe(PF_PathID id, A_Time time, std::vector<PathVertex> vertices) {
  Mask* mask = Find(id);
  if (mask == nullptr) throw std::invalid_argument("no " + MaskName(id) + " on the layer");
  if (time.scale == 0) throw std::invalid_argument(MaskName(id) + ": keyframe time scale is 0");
  if (vertices.size() != mask->shape.size()) {
    throw std::invalid_argument(MaskName(id) + ": keyframe has " +
                                std::to_string(vertices.size()) + " vertices, the mask has " +
                                std::to_string(mask->shape.size()));
  }
  CheckFinite(id, vertices);
  auto at = std::find_if(mask->keyframes.begin(), mask->keyframes.end(),
                         [&](const Keyframe& k) { return Compare(k.time, time) >= 0; });
  if (at != mask->keyframes.end() && Compare(at->time, time) == 0) {
    at->vertices = std::move(vertices);
  } else {
    mask->keyframes.insert(at, Keyframe{time, std::move(vertices)});
  }
}

void MaskModel::Remove(PF_PathID id) {
  masks_.erase(std::remove_if(masks_.begin(), masks_.end(),
                              [&](const Mask& mask) { return mask.id == id; }),
               masks_.end());
}

bool MaskModel::IsClosed(PF_PathID id) const { return Get(id).closed; }

std::vector<PathVertex> MaskModel::ShapeAt(PF_PathID id, A_long time, A_u_long time_scale) const {
  const Mask& mask = Get(id);
  if (time_scale == 0) throw std::invalid_argument(MaskName(id) + ": time scale is 0");
  const std::vector<Keyframe>& keys = mask.keyframes;
  if (keys.empty()) return mask.shape;

  const A_Time t{time, time_scale};
  if (Compare(t, keys.front().time) <= 0) return keys.front().vertices;
  if (Compare(t, keys.back().time) >= 0) return keys.back().vertices;
  // The first keyframe after t; the one before it is at or before t.
  std::size_t after = 1;
  while (Compare(keys[after].time, t) <= 0) ++after;
  const Keyframe& a = keys[after - 1];
  const Keyframe& b = keys[after];
  if (Compare(a.time, t) == 0) return a.vertices;
  // Instants a double cannot tell apart (large scales, a few units apart) have no
  // span in seconds: t then takes the earlier shape rather than 0 / 0.
  const double span = Seconds(b.time) - Seconds(a.time);
  const double u = span > 0.0 ? (Seconds(t) - Seconds(a.time)) / span : 0.0;
  std::vector<PathVertex> shape(a.vertices.size());
  for (std::size_t i = 0; i < shape.size(); ++i) {
    shape[i].position = Mix(a.vertices[i].position, b.vertices[i].position, u);
    shape[i].in_tangent = Mix(a.vertices[i].in_tangent, b.vertices[i].in_tangent, u);
    shape[i].out_tangent = Mix(a.vertices[i].out_tangent, b.vertices[i].out_tangent, u);
  }
  return shape;
}

PF_PathOutlinePtr MaskModel::CheckOut(PF_PathID id, A_long time, A_u_long time_scale,
                                      double scale_x, double scale_y) {
  Outline outline{id, Get(id).closed, ShapeAt(id, time, time_scale), {}};
  // Tangents are offsets in the same pixel grid, so they scale with the positions.
  for (PathVertex& v : outline.vertices) {
    v.position = Scaled(v.position, scale_x, scale_y);
    v.in_tangent = Scaled(v.in_tangent, scale_x, scale_y);
    v.out_tangent = Scaled(v.out_tangent, scale_x, scale_y);
  }
  const int serial = next_outline_++;
  outlines_.emplace(serial, std::move(outline));
  return MakeToken<PF_PathOutlinePtr>(serial, PATH_TAG);
}

MaskModel::Standing MaskModel::StandingOf(PF_PathOutlinePtr path) const {
  const int serial = SerialOf(path, PATH_TAG, next_outline_);
  if (serial == 0) return Standing::UNKNOWN;
  if (outlines_.count(serial) != 0) return Standing::OUT;
  return expired_outlines_.count(serial) != 0 ? Standing::EXPIRED : Standing::GIVEN_BACK;
}

const MaskModel::Outline* MaskModel::FindOutline(PF_PathOutlinePtr path) const {
  auto it = outlines_.find(SerialOf(path, PATH_TAG, next_outline_));
  return it == outlines_.end() ? nullptr : &it->second;
}

void MaskModel::CheckIn(PF_PathOutlinePtr path) {
  outlines_.erase(SerialOf(path, PATH_TAG, next_outline_));
}

std::shared_ptr<const SegmentLengthTable> MaskModel::Measure(PF_PathOutlinePtr path, int segment,
                                                            int frequency) {
  auto it = outlines_.find(SerialOf(path, PATH_TAG, next_outline_));
  if (it == outlines_.end()) throw std::invalid_argument("measurement of a path that is not out");
  Outline& outline = it->second;
  const int count = SegmentCount(outline.vertices.size(), outline.closed);
  if (segment < 0 || segment >= count) throw std::invalid_argument("measurement of a segment the path lacks");
  auto measure = [&] { return samples_.Samples(SegmentOf(outline.vertices, outline.closed, segment), frequency); };
  // Samples beyond this many are taken for the one preparation and not kept, so
  // a check-out never holds more than this per segment.
  constexpr int MAX_KEPT_FREQUENCY = 4096;
  if (frequency > MAX_KEPT_FREQUENCY) return measure();
  if (outline.measured.empty()) outline.measured.resize(static_cast<std::size_t>(count));
  std::shared_ptr<const SegmentLengthTable>& kept = outline.measured[static_cast<std::size_t>(segment)];
  if (kept == nullptr || kept->Frequency() != frequency) kept = measure();
  return kept;
}

PF_PathSegPrepPtr MaskModel::Prepare(PF_PathOutlinePtr path, int segment, int frequency) {
  if (FindOutline(path) == nullptr) throw std::invalid_argument("preparation of a path that is not out");
  std::shared_ptr<const SegmentLengthTable> table = Measure(path, segment, frequency);
  const int serial = next_preparation_++;
  if (spare_preparation_.empty()) {
    preparations_.emplace(serial, Preparation{path, segment, std::move(table)});
  } else {
    spare_preparation_.key() = serial;
    spare_preparation_.mapped() = Preparation{path, segment, std::move(table)};
    preparations_.insert(std::move(spare_preparation_));
  }
  return MakeToken<PF_PathSegPrepPtr>(serial, PREPARATION_TAG);
}

MaskModel::Standing MaskModel::StandingOf(PF_PathSegPrepPtr preparation) const {
  const int serial = SerialOf(preparation, PREPARATION_TAG, next_preparation_);
  if (serial == 0) return Standing::UNKNOWN;
  if (preparations_.count(serial) != 0) return Standing::OUT;
  return expired_preparations_.count(serial) != 0 ? Standing::EXPIRED : Standing::GIVEN_BACK;
}

const MaskModel::Preparation* MaskModel::FindPreparation(PF_PathSegPrepPtr preparation) const {
  auto it = preparations_.find(SerialOf(preparation, PREPARATION_TAG, next_preparation_));
  return it == preparations_.end() ? nullptr : &it->second;
}

void MaskModel::CleanUp(PF_PathSegPrepPtr preparation) {
  auto node = preparations_.extract(SerialOf(preparation, PREPARATION_TAG, next_preparation_));
  if (node.empty()) return;
  node.mapped().table.reset();  // the samples go now, not when the entry is next used
  spare_preparation_ = std::move(node);
}

void MaskModel::ExpireHandouts() {
  for (const auto& entry : outlines_) expired_outlines_.insert(entry.first);
  for (const auto& entry : preparations_) expired_preparations_.insert(entry.first);
  outlines_.clear();
  preparations_.clear();
}

std::string MaskModel::Name(PF_PathOutlinePtr path) const {
  if (path == nullptr) return "null";
  const int serial = SerialOf(path, PATH_TAG, next_outline_);
  return serial != 0 ? "path" + std::to_string(serial) : "unknown";
}

std::string MaskModel::Name(PF_PathSegPrepPtr preparation) const {
  if (preparation == nullptr) return "null";
  const int serial = SerialOf(preparation, PREPARATION_TAG, next_preparation_);
  return serial != 0 ? "prep" + std::to_string(serial) : "unknown";
}

}  // namespace refhost
