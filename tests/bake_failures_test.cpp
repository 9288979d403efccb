// Bakes that fail: what the user keeps, what goes back to the host, and which
// code the frame ends with.
#include <string>
#include <vector>

#include "bake_host.h"

namespace {

constexpr PF_Err FAULT = 0x7E57;
constexpr PF_PathID OPEN = 1;

std::vector<std::string> EndLines(const std::vector<refhost::TraceEntry>& render) {
  std::vector<std::string> ends;
  for (const std::string& line : BakeLines(render)) {
    if (line.rfind("AEGP_EndAddKeyframes", 0) == 0) ends.push_back(line);
  }
  return ends;
}

TEST_F(BakeTest, APathThatCannotBeCheckedOutLeavesTheResetDoneAndAddsNothing) {
  Duration(4, 1, 1);
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}});
  RequestBake();
  const Baked baked =
      Render({}, [](refhost::FaultPlan& f) { f.FailCall("PF_CheckoutPath", 1, FAULT); });
  EXPECT_EQ(baked.frame.render_err, FAULT);
  std::vector<std::string> expected = ResetLines(0, 1);
  expected.push_back("PF_CheckoutPath -> " + std::to_string(FAULT));
  EXPECT_EQ(BakeLines(baked.render), expected);
  EXPECT_EQ(ValueNow(PARAM_BAKE), 1.0);
  EXPECT_EQ(ValueNow(PARAM_GUIDE), 0.0);
  EXPECT_TRUE(Keys(PARAM_POINT).empty());
  EXPECT_TRUE(Keys(PARAM_ANGLE).empty());
  ExpectClean();
}

// A failure anywhere in the bake's setup or walk ends it: every batch started is
// ended with its keyframes dropped, so Point and Angle stay as they were, and the
// host's code is the frame's result. Calls are counted within the render command;
// the reset before the bake makes two stream values, and the path has one segment.
TEST_F(BakeTest, AFailedBakeEndsItsBatchesAndLeavesPointAndAngleAsTheyWere) {
  struct Case {
    const char* call;
    int nth;
    std::vector<std::string> ends;
  };
  const std::string dropped4 = "AEGP_EndAddKeyframes 4 add=0 keys=";
  const std::string dropped5 = "AEGP_EndAddKeyframes 5 add=0 keys=";
  const Case cases[] = {
      {"AEGP_StartAddKeyframes", 2, {dropped4 + "0"}},
      {"checkout_param", 3, {dropped4 + "2", dropped5 + "2"}},
      {"PF_PathGetSegLength", 3, {dropped4 + "1", dropped5 + "1"}},  // the second step's locate
      {"AEGP_AddKeyframes", 6, {dropped4 + "3", dropped5 + "2"}},    // Angle, third step
      {"AEGP_GetNewStreamValue", 5, {dropped4 + "2", dropped5 + "2"}},
      {"AEGP_SetAddKeyframe", 4, {dropped4 + "2", dropped5 + "2"}},
      {"AEGP_DisposeStreamValue", 6, {dropped4 + "2", dropped5 + "2"}},
      // The Point batch's end fails: its counterparts on Angle are not kept either.
      {"AEGP_EndAddKeyframes", 1,
       {"AEGP_EndAddKeyframes 4 add=1 keys=4 -> " + std::to_string(FAULT), dropped5 + "4"}},
  };
  Duration(4, 1, 1);
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}});
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.call) + " #" + std::to_string(c.nth));
    RequestBake();
    const Baked baked = Render({}, [&](refhost::FaultPlan& f) { f.FailCall(c.call, c.nth, FAULT); });
    EXPECT_EQ(baked.frame.render_err, FAULT);
    EXPECT_EQ(EndLines(baked.render), c.ends);
    EXPECT_TRUE(Keys(PARAM_POINT).empty());
    EXPECT_TRUE(Keys(PARAM_ANGLE).empty());
    EXPECT_EQ(ValueNow(PARAM_BAKE), 1.0);
    // A parameter whose check-out failed holds nothing to give back.
    EXPECT_EQ(CountCalls(baked.render, "checkin_param") +
                  (std::string(c.call) == "checkout_param" ? 1u : 0u),
              CountCalls(baked.render, "checkout_param"));
    ExpectClean();
  }
}

// Without the block of global setup there is no plug-in id to present: the bake
// fails before any AEGP call, and nothing is left out.
TEST(BakeWithoutGlobalData, FailsBeforeAnyAegpCall) {
  refhost::Module module(THIMBLEROUTE_MODULE_PATH);
  refhost::Host host(module.Entry());
  host.SetTestCardLayer(64, 48);
  ASSERT_EQ(host.ParamsSetup(), PF_Err_NONE);
  ASSERT_EQ(host.SequenceSetup(), PF_Err_NONE);
  host.masks.Add(OPEN, false, Corners({{10, 20}, {50, 20}}));
  ASSERT_TRUE(host.params.SetValue(PARAM_PATH, static_cast<double>(OPEN)));
  ASSERT_TRUE(host.params.SetValue(PARAM_BAKE, BAKE_EXECUTE));
  host.trace.Clear();
  const refhost::FrameResult frame = refhost::RenderFrame(host, {});
  EXPECT_EQ(frame.render_err, PF_Err_INTERNAL_STRUCT_DAMAGED);
  for (const std::string& call : host.trace.Calls()) {
    EXPECT_NE(call.rfind("AEGP_", 0), 0u) << call;
  }
  EXPECT_EQ(host.params.ValueAt(PARAM_BAKE, {0, 1})->one_d, BAKE_EXECUTE);
  EXPECT_TRUE(host.Violations().empty()) << ::testing::PrintToString(host.Violations());
  EXPECT_TRUE(host.Outstanding().empty()) << ::testing::PrintToString(host.Outstanding());
}

}  // namespace
