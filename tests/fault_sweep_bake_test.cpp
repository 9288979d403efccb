// The fault sweep over the parameter upkeep and over bakes: every host call made
// to fail in turn, every suite withheld, every allocation refused.
#include <string>

#include "fault_sweep.h"
#include "params/param_index.h"
#include "refhost/frame.h"
#include "script_host.h"

namespace {

constexpr PF_PathID OPEN = 1;
constexpr PF_PathID CLOSED = 2;

// A started instance with an open and a closed mask on the layer, `path` chosen,
// and a change the upkeep has not seen yet.
void UpkeepPending(refhost::Host& host, PF_PathID path) {
  host.SetTestCardLayer(32, 24);
  host.masks.Add(OPEN, false, Corners({{2, 3}, {20, 3}, {20, 15}}));
  host.masks.Add(CLOSED, true, Corners({{2, 2}, {12, 2}, {12, 12}}));
  ASSERT_EQ(host.StartInstance(), PF_Err_NONE);
  ASSERT_TRUE(host.params.SetValue(PARAM_PATH, static_cast<double>(path)));
  ASSERT_TRUE(host.params.SetValue(PARAM_OFFSET_PERCENT, 20.0));
}

PF_Err Upkeep(refhost::Host& host) { return host.Send(PF_Cmd_UPDATE_PARAMS_UI); }

// A bake of four steps on `path`, with the offset animated so every step reads
// its own value.
void BakePending(refhost::Host& host, PF_PathID path) {
  UpkeepPending(host, path);
  ASSERT_EQ(host.UpdateParamsUI(), PF_Err_NONE);
  host.Time().total_time = 4;
  host.Time().time_step = 1;
  ASSERT_TRUE(host.params.SetKeyframes(PARAM_OFFSET_PERCENT, {{{0, 1}, refhost::OneDValue(0)},
                                                              {{3, 1}, refhost::OneDValue(100)}}));
  ASSERT_TRUE(host.params.SetKeyframes(PARAM_OFFSET_ANGLE, {{{0, 1}, refhost::OneDValue(-90)},
                                                            {{3, 1}, refhost::OneDValue(500)}}));
  ASSERT_TRUE(host.params.SetValue(PARAM_BAKE, 2.0));
}

// The frame and the interface update that follows it.
PF_Err Bake(refhost::Host& host) {
  const refhost::FrameResult frame = refhost::RenderFrame(host, {});
  return frame.Result() != PF_Err_NONE ? frame.Result() : frame.update_err;
}

const sweep::Scenario SCENARIOS[] = {
    {"upkeep without a path", [](refhost::Host& h) { UpkeepPending(h, 0); }, Upkeep},
    {"upkeep on an open path", [](refhost::Host& h) { UpkeepPending(h, OPEN); }, Upkeep},
    {"upkeep on a closed path", [](refhost::Host& h) { UpkeepPending(h, CLOSED); }, Upkeep},
    {"upkeep after re-setup",
     [](refhost::Host& h) {
       UpkeepPending(h, OPEN);
       ASSERT_EQ(h.SequenceResetup(), PF_Err_NONE);
     },
     Upkeep},
    {"bake on an open path", [](refhost::Host& h) { BakePending(h, OPEN); }, Bake},
    {"bake on a closed path", [](refhost::Host& h) { BakePending(h, CLOSED); }, Bake},
};

class BakeAndUpkeepSweep : public ::testing::TestWithParam<sweep::Scenario> {};

TEST_P(BakeAndUpkeepSweep, EveryInjectionClean) { sweep::Run(THIMBLEROUTE_MODULE_PATH, GetParam()); }

INSTANTIATE_TEST_SUITE_P(Commands, BakeAndUpkeepSweep, ::testing::ValuesIn(SCENARIOS),
                         sweep::TestName);

}  // namespace
