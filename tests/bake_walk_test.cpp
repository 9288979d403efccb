// Bakes through the module file: the walk over the layer's duration, the
// keyframes it leaves on Point and Angle, and the reset that keeps the next frames
// from baking again.
#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "bake_host.h"

namespace {

using refhost::OneDValue;
using refhost::ParamKeyframe;

constexpr PF_PathID OPEN = 1;
constexpr PF_PathID CLOSED = 2;

std::vector<A_long> Times(const std::vector<ParamKeyframe>& keys) {
  std::vector<A_long> times;
  for (const ParamKeyframe& k : keys) times.push_back(k.time.value);
  return times;
}

TEST_F(BakeTest, TenStepsGiveTenKeyframesOnEachInTheTracesOrder) {
  Duration(30, 3, 30);
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}});
  ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 50.0));
  RequestBake();

  const Baked baked = Render({6});
  ASSERT_EQ(baked.frame.Result(), PF_Err_NONE);

  std::vector<std::string> expected = ResetLines(6, 30);
  expected.insert(expected.end(), {"PF_CheckoutPath", "PF_PathIsOpen", "AEGP_GetNewEffectForEffect",
                                   "AEGP_GetNewEffectStreamByIndex 4",
                                   "AEGP_GetNewEffectStreamByIndex 5", "AEGP_StartAddKeyframes 4",
                                   "AEGP_StartAddKeyframes 5"});
  for (A_long t = 0; t < 30; t += 3) {
    const std::string at = " t=" + std::to_string(t) + "/30";
    expected.insert(expected.end(),
                    {"checkout_param 2" + at, "checkin_param", "PF_PathEvalSegLengthDeriv1",
                     "AEGP_AddKeyframes 4" + at, "AEGP_AddKeyframes 5" + at,
                     "AEGP_GetNewStreamValue 4" + at, "AEGP_GetNewStreamValue 5" + at,
                     "AEGP_SetAddKeyframe 4", "AEGP_SetAddKeyframe 5", "AEGP_DisposeStreamValue",
                     "AEGP_DisposeStreamValue"});
  }
  expected.insert(expected.end(),
                  {"AEGP_EndAddKeyframes 4 add=1 keys=10", "AEGP_EndAddKeyframes 5 add=1 keys=10",
                   "AEGP_DisposeStream", "AEGP_DisposeStream", "AEGP_DisposeEffect",
                   "PF_CheckinPath"});
  EXPECT_EQ(BakeLines(baked.render), expected);
  for (const refhost::TraceEntry& e : baked.render) {
    if (e.call == "AEGP_GetNewStreamValue") {
      EXPECT_EQ(e.args["pre_expression"], 1);
    }
  }

  const std::vector<A_long> times = {0, 3, 6, 9, 12, 15, 18, 21, 24, 27};
  const auto points = Keys(PARAM_POINT);
  const auto angles = Keys(PARAM_ANGLE);
  EXPECT_EQ(Times(points), times);
  EXPECT_EQ(Times(angles), times);
  for (std::size_t i = 0; i < points.size() && i < angles.size(); ++i) {
    EXPECT_EQ(points[i].time.scale, 30u);
    EXPECT_DOUBLE_EQ(points[i].value.two_d.x, 30.0);
    EXPECT_DOUBLE_EQ(points[i].value.two_d.y, 20.0);
    EXPECT_NEAR(angles[i].value.one_d, 90.0, 1e-9);  // travelling right
  }
  ExpectClean();
}

// A walk that has no step to make still opens and closes both batches, and the
// reset is made all the same.
TEST_F(BakeTest, NoStepToWalkStartsAndEndsBothBatchesAndAddsNothing) {
  struct Case {
    const char* what;
    A_long total_time, time_step;
  };
  const Case cases[] = {
      {"no duration", 0, 1},
      {"negative duration", -30, 1},
      {"a step of zero, which would never reach the end", 10, 0},
      {"a negative step, which would walk away from it", 10, -1},
  };
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Duration(c.total_time, c.time_step, 1);
    RequestBake();
    const Baked baked = Render();
    ASSERT_EQ(baked.frame.Result(), PF_Err_NONE);
    std::vector<std::string> expected = ResetLines(0, 1);
    expected.insert(expected.end(),
                    {"PF_CheckoutPath", "PF_PathIsOpen", "AEGP_GetNewEffectForEffect",
                     "AEGP_GetNewEffectStreamByIndex 4", "AEGP_GetNewEffectStreamByIndex 5",
                     "AEGP_StartAddKeyframes 4", "AEGP_StartAddKeyframes 5",
                     "AEGP_EndAddKeyframes 4 add=1 keys=0", "AEGP_EndAddKeyframes 5 add=1 keys=0",
                     "AEGP_DisposeStream", "AEGP_DisposeStream", "AEGP_DisposeEffect",
                     "PF_CheckinPath"});
    EXPECT_EQ(BakeLines(baked.render), expected);
    EXPECT_TRUE(Keys(PARAM_POINT).empty());
    EXPECT_TRUE(Keys(PARAM_ANGLE).empty());
    EXPECT_EQ(ValueNow(PARAM_BAKE), 1.0);
  }
  ExpectClean();
}

TEST_F(BakeTest, BakeChoiceOneTouchesNothing) {
  Duration(10, 1, 1);
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}});
  ASSERT_TRUE(host_.params.SetValue(PARAM_GUIDE, 1.0));
  const Baked baked = Render();
  ASSERT_EQ(baked.frame.Result(), PF_Err_NONE);
  // Only the guide's path calls: no AEGP call, no parameter read again.
  EXPECT_EQ(BakeLines(baked.render),
            (std::vector<std::string>{"PF_CheckoutPath", "PF_PathIsOpen", "PF_PathEvalSegLengthDeriv1",
                                      "PF_CheckinPath"}));
  EXPECT_FALSE(baked.updated_ui);
  EXPECT_TRUE(Keys(PARAM_POINT).empty());
  EXPECT_TRUE(Keys(PARAM_ANGLE).empty());
  EXPECT_EQ(ValueNow(PARAM_GUIDE), 1.0);
  ExpectClean();
}

// Near the largest host time the next t would not fit in 32 bits; the walk ends
// at the last step below the duration instead of wrapping around.
TEST_F(BakeTest, ADurationNearTheLargestTimeEndsWithoutOverflow) {
  struct Case {
    A_long time_step;
    std::vector<A_long> times;
  };
  const Case cases[] = {
      {1 << 30, {0, 1 << 30}},
      {INT_MAX - 1, {0, INT_MAX - 1}},
      {INT_MAX, {0}},
  };
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}});
  for (const Case& c : cases) {
    SCOPED_TRACE(c.time_step);
    ASSERT_TRUE(host_.params.SetKeyframes(PARAM_POINT, {}));
    ASSERT_TRUE(host_.params.SetKeyframes(PARAM_ANGLE, {}));
    Duration(INT_MAX, c.time_step, 1000);
    RequestBake();
    const Baked baked = Render();
    ASSERT_EQ(baked.frame.Result(), PF_Err_NONE);
    EXPECT_EQ(Times(Keys(PARAM_POINT)), c.times);
    EXPECT_EQ(Times(Keys(PARAM_ANGLE)), c.times);
  }
  ExpectClean();
}

TEST_F(BakeTest, AnOpenPathAtHundredPercentGivesTheEndPointAtEveryTime) {
  Duration(5, 1, 1);
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}, {50, 40}});
  ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 100.0));
  RequestBake();
  ASSERT_EQ(Render().frame.Result(), PF_Err_NONE);
  const auto points = Keys(PARAM_POINT);
  const auto angles = Keys(PARAM_ANGLE);
  ASSERT_EQ(points.size(), 5u);
  ASSERT_EQ(angles.size(), 5u);
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_DOUBLE_EQ(points[i].value.two_d.x, 50.0);
    EXPECT_DOUBLE_EQ(points[i].value.two_d.y, 40.0);
    EXPECT_NEAR(angles[i].value.one_d, 180.0, 1e-9);  // the last edge runs down
  }
  ExpectClean();
}

// The path is checked out in the pixels of the render; the keyframes hold layer
// pixels at full resolution whatever the render's resolution.
TEST_F(BakeTest, AtHalfResolutionPointKeyframesAreTwiceTheLocatedCoordinates) {
  Duration(2, 1, 1);
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}, {50, 40}});
  ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 50.0));
  RequestBake();
  const Baked baked = Render({0, PF_PixelFormat_ARGB32, {1, 2}});
  ASSERT_EQ(baked.frame.Result(), PF_Err_NONE);

  std::vector<const refhost::TraceEntry*> located;
  for (const refhost::TraceEntry& e : baked.render) {
    if (e.call == "PF_PathEvalSegLengthDeriv1") located.push_back(&e);
  }
  const auto points = Keys(PARAM_POINT);
  ASSERT_EQ(located.size(), 2u);
  ASSERT_EQ(points.size(), 2u);
  for (std::size_t i = 0; i < points.size(); ++i) {
    EXPECT_DOUBLE_EQ(located[i]->args["x"].get<double>(), 20.0);
    EXPECT_DOUBLE_EQ(located[i]->args["y"].get<double>(), 10.0);
    EXPECT_DOUBLE_EQ(points[i].value.two_d.x, 40.0);
    EXPECT_DOUBLE_EQ(points[i].value.two_d.y, 20.0);
  }
  ExpectClean();
}

// An angle offset of 45° + 90° a step puts the point in the middle of each edge of
// a square in turn, round and round past 360°; each edge has its own heading.
TEST_F(BakeTest, AClosedPathFollowsAnAngleAnimatedPastAFullTurnWithEachEdgesHeading) {
  Duration(9, 1, 1);
  ChoosePath(CLOSED, true, {{10, 10}, {40, 10}, {40, 40}, {10, 40}});
  ASSERT_TRUE(host_.params.SetKeyframes(
      PARAM_OFFSET_ANGLE, {{{0, 1}, OneDValue(45)}, {{8, 1}, OneDValue(45 + 8 * 90)}}));
  RequestBake();
  ASSERT_EQ(Render().frame.Result(), PF_Err_NONE);

  struct Edge {
    double x, y, heading;
  };
  const Edge edges[] = {{25, 10, 90}, {40, 25, 180}, {25, 40, 270}, {10, 25, 0}};
  const auto points = Keys(PARAM_POINT);
  const auto angles = Keys(PARAM_ANGLE);
  ASSERT_EQ(points.size(), 9u);
  ASSERT_EQ(angles.size(), 9u);
  for (std::size_t t = 0; t < points.size(); ++t) {
    SCOPED_TRACE(t);
    const Edge& e = edges[t % 4];
    EXPECT_NEAR(points[t].value.two_d.x, e.x, 1e-9);
    EXPECT_NEAR(points[t].value.two_d.y, e.y, 1e-9);
    EXPECT_NEAR(angles[t].value.one_d, e.heading, 1e-9);
  }
  ExpectClean();
}

// A path with no length has a point only at exactly 100 %: the steps at other
// offsets find none.
class NoLengthBakeTest : public BakeTest {
 protected:
  NoLengthBakeTest() {
    Duration(5, 1, 1);
    ChoosePath(OPEN, false, {{30, 40}, {30, 40}, {30, 40}});
  }
};

TEST_F(NoLengthBakeTest, AStepThatFindsNoPointRepeatsThePreviousStepsValues) {
  ASSERT_TRUE(host_.params.SetKeyframes(PARAM_OFFSET_PERCENT, {{{1, 1}, OneDValue(100)},
                                                                {{2, 1}, OneDValue(0)}}));
  RequestBake();
  const Baked baked = Render();
  ASSERT_EQ(baked.frame.Result(), PF_Err_NONE);
  EXPECT_EQ(CountCalls(baked.render, "PF_PathEvalSegLengthDeriv1"), 2u);  // steps 0 and 1

  const auto points = Keys(PARAM_POINT);
  const auto angles = Keys(PARAM_ANGLE);
  EXPECT_EQ(Times(points), (std::vector<A_long>{0, 1, 2, 3, 4}));
  EXPECT_EQ(Times(angles), (std::vector<A_long>{0, 1, 2, 3, 4}));
  ASSERT_FALSE(angles.empty());
  EXPECT_TRUE(std::isfinite(angles[0].value.one_d));
  for (std::size_t i = 0; i < points.size() && i < angles.size(); ++i) {
    EXPECT_EQ(points[i].value.two_d.x, 30.0);
    EXPECT_EQ(points[i].value.two_d.y, 40.0);
    EXPECT_EQ(angles[i].value.one_d, angles[0].value.one_d);
  }
  ExpectClean();
}

// Until a step finds a point there is no position to write: those steps add no
// keyframe, so nothing made up (the origin, a NaN) lands on the streams.
TEST_F(NoLengthBakeTest, StepsBeforeTheFirstPointFoundAddNoKeyframe) {
  ASSERT_TRUE(host_.params.SetKeyframes(PARAM_OFFSET_PERCENT, {{{1, 1}, OneDValue(0)},
                                                                {{2, 1}, OneDValue(100)}}));
  RequestBake();
  const Baked baked = Render();
  ASSERT_EQ(baked.frame.Result(), PF_Err_NONE);
  EXPECT_EQ(CountCalls(baked.render, "checkout_param"), 5u);
  const auto points = Keys(PARAM_POINT);
  const auto angles = Keys(PARAM_ANGLE);
  EXPECT_EQ(Times(points), (std::vector<A_long>{2, 3, 4}));
  EXPECT_EQ(Times(angles), (std::vector<A_long>{2, 3, 4}));
  for (std::size_t i = 0; i < points.size() && i < angles.size(); ++i) {
    EXPECT_EQ(points[i].value.two_d.x, 30.0);
    EXPECT_EQ(points[i].value.two_d.y, 40.0);
    EXPECT_TRUE(std::isfinite(angles[i].value.one_d));
  }
  ExpectClean();
}

TEST_F(BakeTest, AfterABakeThePopupAndGuideAreResetAndTheNextFrameNeitherBakesNorDraws) {
  Duration(4, 1, 1);
  ChoosePath(OPEN, false, {{10, 20}, {50, 20}});
  ASSERT_TRUE(host_.params.SetValue(PARAM_GUIDE, 1.0));
  RequestBake();

  const Baked first = Render();
  ASSERT_EQ(first.frame.Result(), PF_Err_NONE);
  EXPECT_EQ(first.frame.output->CountDifferences(*first.frame.input), 0);  // no marker
  EXPECT_EQ(ValueNow(PARAM_BAKE), 1.0);
  EXPECT_EQ(ValueNow(PARAM_GUIDE), 0.0);
  EXPECT_TRUE(first.updated_ui);  // the reset is a parameter change like any other
  const auto points = Keys(PARAM_POINT);
  EXPECT_EQ(points.size(), 4u);

  const Baked next = Render();
  ASSERT_EQ(next.frame.Result(), PF_Err_NONE);
  EXPECT_TRUE(BakeLines(next.render).empty());
  EXPECT_EQ(next.frame.output->CountDifferences(*next.frame.input), 0);
  EXPECT_FALSE(next.updated_ui);
  EXPECT_EQ(Keys(PARAM_POINT).size(), points.size());
  ExpectClean();
}

TEST_F(BakeTest, ExecuteWithNoPathChosenWaitsForAPath) {
  Duration(3, 1, 1);
  RequestBake();
  const Baked waiting = Render();
  ASSERT_EQ(waiting.frame.Result(), PF_Err_NONE);
  EXPECT_TRUE(BakeLines(waiting.render).empty());
  EXPECT_EQ(ValueNow(PARAM_BAKE), BAKE_EXECUTE);
  EXPECT_TRUE(Keys(PARAM_POINT).empty());

  ChoosePath(OPEN, false, {{10, 20}, {50, 20}});
  ASSERT_EQ(Render().frame.Result(), PF_Err_NONE);
  EXPECT_EQ(ValueNow(PARAM_BAKE), 1.0);
  EXPECT_EQ(Keys(PARAM_POINT).size(), 3u);
  EXPECT_EQ(Keys(PARAM_ANGLE).size(), 3u);
  ExpectClean();
}

}  // namespace
