// Test fixture: a reference host whose module is a function of the test. Each
// command runs a script with a suite cache, the way the effect's handlers run, so
// plug-in parts can be driven through the real host calls without the rest of
// the effect. A suite error thrown by the cache becomes the command's result, as
// at the module's entry point.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "plugin/host/suite_cache.h"
#include "refhost/host.h"

class ScriptHostTest : public ::testing::Test {
 protected:
  using Script = std::function<PF_Err(SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data)>;

  ScriptHostTest() : host_(&Entry) {}

  // Sends one command (a render unless said otherwise) that runs `script`.
  PF_Err Run(const Script& script, PF_Cmd cmd = PF_Cmd_SMART_RENDER) {
    script_ = &script;
    const PF_Err err = host_.Send(cmd);
    script_ = nullptr;
    return err;
  }

  void ExpectClean() {
    EXPECT_TRUE(host_.Violations().empty()) << ::testing::PrintToString(host_.Violations());
    EXPECT_TRUE(host_.Outstanding().empty()) << ::testing::PrintToString(host_.Outstanding());
  }

  refhost::Host host_;

 private:
  static PF_Err Entry(PF_Cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef*[],
                      PF_LayerDef*, void*) {
    try {
      SuiteCache suites(in_data->pica_basicP);
      return (*script_)(suites, in_data, out_data);
    } catch (PF_Err thrown) {
      return thrown;
    }
  }

  inline static const Script* script_ = nullptr;
};

// A mask path of straight edges: every vertex without tangents.
inline std::vector<refhost::PathVertex> Corners(const std::vector<refhost::Vec2>& points) {
  std::vector<refhost::PathVertex> vertices;
  for (const refhost::Vec2& p : points) vertices.push_back({p, {}, {}});
  return vertices;
}
