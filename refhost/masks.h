// The layer's masks as the host keeps them, and the paths and segment
// preparations the host has handed out of them to the module.
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "../plugin/host/host_contract.h"
#include "bezier.h"
#include "sample_cache.h"

namespace refhost {

class MaskModel {
 public:
  // ---- The layer's masks, as a test or a scene sets them up ----

  // Adds a mask whose shape does not change over time. Its id is what the Path
  // parameter carries. Throws std::invalid_argument for id 0, an id in use, or a
  // coordinate that is not finite or beyond a single-precision number's range.
  void Add(PF_PathID id, bool closed, std::vector<PathVertex> vertices);
  // Keys the mask's shape at `time` (layer time). Once keyed, the shape comes from
  // the keyframes only: held before the first and after the last, linear between.
  // A keyframe at a time already keyed replaces it. Throws std::invalid_argument
  // for an unknown id, a time scale of 0, a vertex count other than the mask's, or
  // a coordinate that is not finite or beyond a single-precision number's range.
  void AddKeyframe(PF_PathID id, A_Time time, std::vector<PathVertex> vertices);
  // Deletes a mask. A path already checked out of it stays valid until check-in.
  void Remove(PF_PathID id);

  bool Has(PF_PathID id) const { return Find(id) != nullptr; }
  A_long Count() const { return static_cast<A_long>(masks_.size()); }
  // Throw std::invalid_argument for an unknown id or a time scale of 0.
  bool IsClosed(PF_PathID id) const;
  std::vector<PathVertex> ShapeAt(PF_PathID id, A_long time, A_u_long time_scale) const;

  // ---- What the host has handed out ----
  // Handles are tokens the module never reads through; the host recognises every
  // one it made, also after it came back, and never dereferences the module's.

  // A checked-out path: its own copy of the shape, in the pixels of the command.
  struct Outline {
    PF_PathID id = 0;
    bool closed = false;
    std::vector<PathVertex> vertices;
    // Each segment's samples as last measured, at the frequency they were taken
    // at: the shape of a check-out never changes, so a segment prepared again (a
    // locate passes the segments the path's measurement passed, a bake passes
    // them at every step) shares the samples instead of taking them again. Found
    // by index, this spares the hot walk the geometry lookup of `samples_`.
    std::vector<std::shared_ptr<const SegmentLengthTable>> measured;
  };
  // One segment sampled for length queries.
  struct Preparation {
    PF_PathOutlinePtr path = nullptr;
    int segment = 0;
    std::shared_ptr<const SegmentLengthTable> table;
  };
  enum class Standing {
    OUT,         // handed out and not yet given back
    GIVEN_BACK,  // checked in or cleaned up
    EXPIRED,     // still out when its command ended, so the host took it back
    UNKNOWN,     // never made by this host (null included)
  };

  // The mask's shape at the time, every coordinate multiplied by the scale factors.
  // The mask must exist and time_scale must not be 0.
  PF_PathOutlinePtr CheckOut(PF_PathID id, A_long time, A_u_long time_scale, double scale_x,
                             double scale_y);
  Standing StandingOf(PF_PathOutlinePtr path) const;
  // Null unless the path is out.
  const Outline* FindOutline(PF_PathOutlinePtr path) const;
  void CheckIn(PF_PathOutlinePtr path);

  // The path must be out, segment below its segment count, frequency at least 1.
  PF_PathSegPrepPtr Prepare(PF_PathOutlinePtr path, int segment, int frequency);
  // The samples of a segment of a path that is out, at `frequency`, as a
  // preparation holds them (taken once for the same control points and frequency).
  std::shared_ptr<const SegmentLengthTable> Measure(PF_PathOutlinePtr path, int segment, int frequency);
  // Samples are shared across check-outs of unchanged geometry; forgetting them
  // makes the next preparation of each segment take its samples again.
  void ForgetSamples() { samples_.Clear(); }
  std::size_t SampleTablesKept() const { return samples_.TablesKept(); }
  Standing StandingOf(PF_PathSegPrepPtr preparation) const;
  const Preparation* FindPreparation(PF_PathSegPrepPtr preparation) const;
  void CleanUp(PF_PathSegPrepPtr preparation);

  // Everything still out belongs to a command that has ended.
  void ExpireHandouts();
  std::size_t PathsOut() const { return outlines_.size(); }
  std::size_t PreparationsOut() const { return preparations_.size(); }

  // "path3", "prep12", "null", or "unknown" for a value the host never made.
  std::string Name(PF_PathOutlinePtr path) const;
  std::string Name(PF_PathSegPrepPtr preparation) const;

 private:
  struct Keyframe {
    A_Time time;
    std::vector<PathVertex> vertices;
  };
  struct Mask {
    PF_PathID id = 0;
    bool closed = false;
    std::vector<PathVertex> shape;   // used while there are no keyframes
    std::vector<Keyframe> keyframes;  // in time order
  };
  const Mask* Find(PF_PathID id) const;
  Mask* Find(PF_PathID id);
  const Mask& Get(PF_PathID id) const;

  std::vector<Mask> masks_;  // in the order they were added

  // Handed out by serial; the serials of what came back are below next_*.
  std::map<int, Outline> outlines_;
  std::set<int> expired_outlines_;
  int next_outline_ = 1;
  std::map<int, Preparation> preparations_;
  // The entry of the last preparation cleaned up, kept for the next one: a locate
  // prepares and cleans up one segment after another.
  std::map<int, Preparation>::node_type spare_preparation_;
  std::set<int> expired_preparations_;
  int next_preparation_ = 1;

  SampleCache samples_;
};

}  // namespace refhost
