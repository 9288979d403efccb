// Test fixture for bakes: the module file in a reference host with a layer and a
// started instance, frames rendered the host's way, and the calls of the frame's
// render command picked out of the trace.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "host_call_lines.h"
#include "module_host.h"
#include "params/param_index.h"
#include "refhost/frame.h"
#include "script_host.h"

// The popup item that asks for a bake.
constexpr double BAKE_EXECUTE = 2.0;

class BakeTest : public ModuleHostTest {
 protected:
  struct Baked {
    refhost::FrameResult frame;
    // What the smart render command called, in order.
    std::vector<refhost::TraceEntry> render;
    // Whether the interface update followed the frame.
    bool updated_ui = false;
  };

  BakeTest() {
    host_.SetTestCardLayer(64, 48);
    EXPECT_EQ(host_.StartInstance(), PF_Err_NONE);
  }

  void Duration(A_long total_time, A_long time_step, A_u_long time_scale) {
    refhost::TimeSettings& time = host_.Time();
    time.total_time = total_time;
    time.time_step = time_step;
    time.time_scale = time_scale;
  }

  // A mask on the layer, chosen in the Path parameter.
  void ChoosePath(PF_PathID id, bool closed, const std::vector<refhost::Vec2>& corners) {
    host_.masks.Add(id, closed, Corners(corners));
    ASSERT_TRUE(host_.params.SetValue(PARAM_PATH, static_cast<double>(id)));
  }

  void RequestBake() { ASSERT_TRUE(host_.params.SetValue(PARAM_BAKE, BAKE_EXECUTE)); }

  // One frame. `arm`, when given, sets the host's faults right before the smart
  // render command, counting calls from there.
  Baked Render(refhost::FrameRequest request = {},
               std::function<void(refhost::FaultPlan&)> arm = nullptr) {
    std::vector<std::size_t> starts;
    host_.before_entry = [&](PF_InData&, PF_OutData&) {
      starts.push_back(host_.trace.Entries().size());
      if (starts.size() == 2 && arm) {
        host_.faults.Clear();
        arm(host_.faults);
      }
    };
    host_.trace.Clear();
    Baked baked;
    baked.frame = refhost::RenderFrame(host_, request);
    host_.before_entry = nullptr;
    const std::vector<refhost::TraceEntry>& entries = host_.trace.Entries();
    const std::size_t begin = starts.size() > 1 ? starts[1] : entries.size();
    const std::size_t end = starts.size() > 2 ? starts[2] : entries.size();
    baked.render.assign(entries.begin() + static_cast<std::ptrdiff_t>(begin),
                        entries.begin() + static_cast<std::ptrdiff_t>(end));
    baked.updated_ui = starts.size() > 2;
    return baked;
  }

  std::vector<refhost::ParamKeyframe> Keys(PF_ParamIndex index) const {
    return host_.params.Keyframes(index);
  }
  double ValueNow(PF_ParamIndex index) {
    return host_.params.ValueAt(index, {host_.Time().current_time, host_.Time().time_scale})->one_d;
  }
};

// The lines of the calls a bake makes (see CallLines).
inline std::vector<std::string> BakeLines(const std::vector<refhost::TraceEntry>& entries) {
  return CallLines(entries);
}

// The reset of the popup and the guide, as a bake starts with it.
inline std::vector<std::string> ResetLines(A_long now, A_u_long scale) {
  const std::string t = " t=" + std::to_string(now) + "/" + std::to_string(scale);
  return {"AEGP_GetNewEffectForEffect",
          "AEGP_GetNewEffectStreamByIndex 7",
          "AEGP_GetNewEffectStreamByIndex 8",
          "AEGP_GetNewStreamValue 7" + t,
          "AEGP_GetNewStreamValue 8" + t,
          "AEGP_SetStreamValue 7 =1.0",
          "AEGP_SetStreamValue 8 =0.0",
          "AEGP_DisposeStreamValue",
          "AEGP_DisposeStreamValue",
          "AEGP_DisposeStream",
          "AEGP_DisposeStream",
          "AEGP_DisposeEffect"};
}
