// Writes the located point and the path's heading into the effect's own "Point"
// and "Angle" parameters as keyframes over the layer's duration.
#pragma once

#include "../host/host_contract.h"
#include "../host/suite_cache.h"
#include "../path/path_locator.h"
#include "../render/render_info.h"

struct KeyframeBaker {
  // Puts "Bake Keyframes" back to its first item and switches the guide off, so
  // the frames after this one do not bake again.
  void ResetControls(SuiteCache& suites, PF_InData* in_data, PF_Err& err);
  // Walks the layer's duration, locating the point at each step's offset on the
  // path the locator holds open, and adds one Point and one Angle keyframe a step.
  void Bake(SuiteCache& suites, PF_InData* in_data, PathLocator& locator, const RenderInfo& info,
            PF_Err& err);
};
