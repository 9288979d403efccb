// The fault sweep over a frame: the pre-render alone, and whole frames with the
// guide on and off, the image passed through or cleared, with and without a bake,
// at every depth, on an open and a closed path.
#include <string>
#include <vector>

#include "fault_sweep.h"
#include "render_fixture.h"

namespace {

using namespace render_test;

// Small enough that a frame is quick, large enough that the marker fits whole. A
// bake covers three steps of a three-second layer.
void FrameReady(refhost::Host& host, PF_PathID path, bool guide, bool on_transparent, bool bake = false) {
  SetUpLayer(host, 40, 32, {{4.5, 16.5}, {36.5, 16.5}}, {{8.5, 8.5}, {32.5, 8.5}, {32.5, 24.5}});
  ASSERT_EQ(host.StartInstance(), PF_Err_NONE);
  ASSERT_TRUE(host.params.SetValue(PARAM_PATH, path));
  ASSERT_TRUE(host.params.SetValue(PARAM_OFFSET_PERCENT, 40.0));
  ASSERT_TRUE(host.params.SetValue(PARAM_OFFSET_ANGLE, 100.0));
  ASSERT_TRUE(host.params.SetValue(PARAM_GUIDE, guide ? 1.0 : 0.0));
  ASSERT_TRUE(host.params.SetValue(PARAM_ON_TRANSPARENT, on_transparent ? 1.0 : 0.0));
  if (bake) {
    host.Time().total_time = 3;
    host.Time().time_step = 1;
    ASSERT_TRUE(host.params.SetValue(PARAM_BAKE, 2.0));
  }
}

PF_Err PreRenderAlone(refhost::Host& host) {
  PF_PreRenderInput input{};
  input.output_request.rect = {0, 0, 40, 32};
  PF_PreRenderOutput output{};
  PF_PreRenderCallbacks callbacks = refhost::PreRenderCallbacks();
  PF_PreRenderExtra extra{&input, &output, &callbacks};
  const PF_Err err = host.Send(PF_Cmd_SMART_PRE_RENDER, &extra);
  host.EndFrame(output);
  return err;
}

struct Guide {
  const char* name;
  PF_PathID path;
  bool on;
};
constexpr Guide GUIDES[] = {
    {"without the guide", OPEN_PATH, false},
    {"guide on an open path", OPEN_PATH, true},
    {"guide on a closed path", CLOSED_PATH, true},
};

std::vector<sweep::Scenario> FrameScenarios() {
  std::vector<sweep::Scenario> scenarios = {
      {"pre-render", [](refhost::Host& h) { FrameReady(h, OPEN_PATH, true, false); }, PreRenderAlone},
  };
  for (const Depth& depth : DEPTHS) {
    const PF_PixelFormat format = depth.format;
    // A bake's result is the frame's, or else that of the interface update after it.
    const auto frame = [format](refhost::Host& h) {
      const refhost::FrameResult result = refhost::RenderFrame(h, {0, format, {1, 1}, 2});
      return result.Result() != PF_Err_NONE ? result.Result() : result.update_err;
    };
    for (const bool on_transparent : {false, true}) {
      for (const bool bake : {false, true}) {
        const std::string look = std::string(depth.name) + (on_transparent ? " cleared" : " copied") +
                                 (bake ? " baked" : "");
        for (const Guide& guide : GUIDES) {
          scenarios.push_back(
              {look + " " + guide.name,
               [=](refhost::Host& h) { FrameReady(h, guide.path, guide.on, on_transparent, bake); }, frame});
        }
      }
    }
  }
  return scenarios;
}

class FrameSweep : public ::testing::TestWithParam<sweep::Scenario> {};

TEST_P(FrameSweep, EveryInjectionClean) { sweep::Run(THIMBLEROUTE_MODULE_PATH, GetParam()); }

INSTANTIATE_TEST_SUITE_P(Frames, FrameSweep, ::testing::ValuesIn(FrameScenarios()),
                         sweep::TestName);

}  // namespace
