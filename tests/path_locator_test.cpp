// The path locator driven through the reference host's path suites: the calls it
// makes, where it lands at segment boundaries, what it costs, and how it gives
// everything back when a host call fails.
#include <cmath>
#include <string>
#include <vector>

#include "plugin/path/conversions.h"
#include "plugin/path/path_locator.h"
#include "script_host.h"

namespace {

using refhost::Vec2;

PF_FpLong Fmod(PF_FpLong x, PF_FpLong y) { return std::fmod(x, y); }

double Heading(const LocatedPoint& point) { return HeadingDegrees(point.dx, point.dy, Fmod); }

bool SamePoint(const LocatedPoint& a, const LocatedPoint& b) {
  return a.x == b.x && a.y == b.y && a.dx == b.dx && a.dy == b.dy && a.found == b.found;
}

std::string Describe(const LocatedPoint& p) {
  return "(" + std::to_string(p.x) + ", " + std::to_string(p.y) + ") d(" + std::to_string(p.dx) +
         ", " + std::to_string(p.dy) + ")" + (p.found ? " found" : " not found");
}

constexpr PF_PathID MASK = 1;

class PathLocatorTest : public ScriptHostTest {
 protected:
  struct Outcome {
    PF_Err err = PF_Err_NONE;
    PathLocator locator;               // as close left it
    std::vector<LocatedPoint> points;  // after each locate
  };

  // One render command: open, the locates in order on one point record, close.
  Outcome OpenLocateClose(PF_PathID id, const std::vector<double>& fractions,
                          LocatedPoint start = {}) {
    Outcome outcome;
    outcome.err = Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data) {
      PF_Err err = PF_Err_NONE;
      PathLocator locator;
      locator.Open(suites, in_data, out_data, id, err);
      LocatedPoint point = start;
      for (double fraction : fractions) {
        locator.Locate(fraction, point, err);
        outcome.points.push_back(point);
      }
      locator.Close(err);
      outcome.locator = locator;
      return err;
    });
    return outcome;
  }

  std::vector<const refhost::TraceEntry*> Entries(const std::string& call) const {
    std::vector<const refhost::TraceEntry*> found;
    for (const refhost::TraceEntry& entry : host_.trace.Entries()) {
      if (entry.call == call) found.push_back(&entry);
    }
    return found;
  }

  std::size_t MaskSuiteReleases() const {
    std::size_t count = 0;
    for (const refhost::TraceEntry* entry : Entries("ReleaseSuite")) {
      if (entry->args["name"] == kAEGPMaskSuite) ++count;
    }
    return count;
  }
};

TEST_F(PathLocatorTest, OpenLocateAndCloseMakeTheHostCallsInOrder) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {100, 0}, {100, 50}}));
  host_.Time().current_time = 3;
  host_.Time().time_step = 2;
  host_.Time().time_scale = 30;

  const Outcome outcome = OpenLocateClose(MASK, {0.8});
  ASSERT_EQ(outcome.err, PF_Err_NONE);
  const std::vector<std::string> expected = {
      "AcquireSuite", "AcquireSuite", "PF_CheckoutPath", "AcquireSuite", "PF_PathIsOpen",
      "PF_PathNumSegments",
      // measuring
      "PF_PathPrepareSegLength", "PF_PathGetSegLength", "PF_PathCleanupSegLength",
      "PF_PathPrepareSegLength", "PF_PathGetSegLength", "PF_PathCleanupSegLength",
      // locating at 120 of 150: past segment 0, 20 into segment 1
      "PF_PathPrepareSegLength", "PF_PathGetSegLength", "PF_PathCleanupSegLength",
      "PF_PathPrepareSegLength", "PF_PathGetSegLength", "PF_PathEvalSegLengthDeriv1",
      "PF_PathCleanupSegLength",
      "PF_CheckinPath", "ReleaseSuite",
      // the suite cache, when the command ends
      "ReleaseSuite", "ReleaseSuite"};
  EXPECT_EQ(host_.trace.Calls(), expected);

  const auto acquired = Entries("AcquireSuite");
  EXPECT_EQ(acquired[0]->args["name"], kAEGPMaskSuite);
  EXPECT_EQ(acquired[1]->args["name"], kPFPathQuerySuite);
  EXPECT_EQ(acquired[2]->args["name"], kPFPathDataSuite);
  EXPECT_EQ(Entries("ReleaseSuite")[0]->args["name"], kAEGPMaskSuite);

  const nlohmann::json& checkout = Entries("PF_CheckoutPath")[0]->args;
  EXPECT_EQ(checkout["path_id"], MASK);
  EXPECT_EQ(checkout["what_time"], 3);
  EXPECT_EQ(checkout["time_step"], 2);
  EXPECT_EQ(checkout["time_scale"], 30);
  const nlohmann::json& checkin = Entries("PF_CheckinPath")[0]->args;
  EXPECT_EQ(checkin["path_id"], MASK);
  EXPECT_EQ(checkin["changed"], false);
  EXPECT_EQ(checkin["path"], checkout["path"]);

  std::vector<int> prepared;
  for (const auto* entry : Entries("PF_PathPrepareSegLength")) {
    EXPECT_EQ(entry->args["frequency"], SEGMENT_LENGTH_FREQUENCY);
    prepared.push_back(entry->args["segment"]);
  }
  EXPECT_EQ(prepared, (std::vector<int>{0, 1, 0, 1}));
  // Every segment call works on the preparation just made, and cleans it up.
  const auto gets = Entries("PF_PathGetSegLength");
  const auto cleanups = Entries("PF_PathCleanupSegLength");
  for (std::size_t i = 0; i < prepared.size(); ++i) {
    const nlohmann::json& made = Entries("PF_PathPrepareSegLength")[i]->args["preparation"];
    EXPECT_EQ(gets[i]->args["preparation"], made);
    EXPECT_EQ(cleanups[i]->args["preparation"], made);
  }
  const nlohmann::json& eval = Entries("PF_PathEvalSegLengthDeriv1")[0]->args;
  EXPECT_EQ(eval["segment"], 1);
  EXPECT_EQ(eval["length"], 20.0);

  EXPECT_TRUE(outcome.locator.is_open);
  EXPECT_EQ(outcome.locator.segment_count, 2);
  EXPECT_DOUBLE_EQ(outcome.locator.total_length, 150.0);
  const LocatedPoint& point = outcome.points[0];
  EXPECT_TRUE(point.found);
  EXPECT_NEAR(point.x, 100.0, 1e-9);
  EXPECT_NEAR(point.y, 20.0, 1e-9);
  EXPECT_DOUBLE_EQ(Heading(point), 180.0);
  ExpectClean();
}

TEST_F(PathLocatorTest, SegmentBoundariesBelongToTheNextSegmentWithALength) {
  struct Case {
    const char* what;
    bool closed;
    std::vector<Vec2> corners;
    double fraction;
    int segment;    // the one evaluated
    double length;  // along it
    double x, y, heading;
  };
  const std::vector<Case> cases = {
      {"0 passes over a zero-length first segment", false, {{10, 10}, {10, 10}, {50, 10}},
       0.0, 1, 0.0, 10, 10, 90},
      {"-0.0 locates like 0", false, {{10, 10}, {10, 10}, {50, 10}}, -0.0, 1, -0.0, 10, 10, 90},
      {"1.0 is the end of the last segment", false, {{0, 0}, {100, 0}, {100, 50}}, 1.0, 1, 50.0,
       100, 50, 180},
      {"0.5 of two equal segments is the start of the second", false,
       {{0, 0}, {100, 0}, {100, 100}}, 0.5, 1, 0.0, 100, 0, 180},
      {"a segment's end passes over zero-length segments after it", false,
       {{0, 0}, {100, 0}, {100, 0}, {100, 0}, {100, 100}}, 0.5, 3, 0.0, 100, 0, 180},
      {"a closed path's last segment closes it", true, {{0, 0}, {100, 0}, {100, 100}, {0, 100}},
       0.9, 3, 60.0, 0, 40, 0},
      {"a closed path's start", true, {{0, 0}, {100, 0}, {100, 100}, {0, 100}}, 0.0, 0, 0.0, 0,
       0, 90},
  };
  PF_PathID id = 100;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.masks.Add(++id, c.closed, Corners(c.corners));
    const Outcome outcome = OpenLocateClose(id, {c.fraction});
    ASSERT_EQ(outcome.err, PF_Err_NONE);
    const LocatedPoint& point = outcome.points[0];
    ASSERT_TRUE(point.found);
    EXPECT_NEAR(point.x, c.x, 1e-9);
    EXPECT_NEAR(point.y, c.y, 1e-9);
    EXPECT_DOUBLE_EQ(Heading(point), c.heading);
    const auto evals = Entries("PF_PathEvalSegLengthDeriv1");
    ASSERT_EQ(evals.size(), 1u);
    EXPECT_EQ(evals[0]->args["segment"], c.segment);
    const double length = evals[0]->args["length"];
    EXPECT_DOUBLE_EQ(length, c.length);
    EXPECT_EQ(std::signbit(length), std::signbit(c.length));
    host_.trace.Clear();
  }
  ExpectClean();
}

TEST_F(PathLocatorTest, NothingFoundLeavesThePointAsItWas) {
  struct Case {
    const char* what;
    bool closed;
    std::vector<Vec2> corners;
    double fraction;
  };
  const std::vector<Case> cases = {
      {"every segment of length 0, at 0", false, {{5, 5}, {5, 5}, {5, 5}}, 0.0},
      {"every segment of length 0, at 0.5", true, {{5, 5}, {5, 5}, {5, 5}}, 0.5},
      {"no segment (one vertex)", false, {{5, 5}}, 0.5},
      // No last segment for the end-of-path rule: no call with segment -1.
      {"no segment (one vertex), at exactly 1.0", false, {{5, 5}}, 1.0},
      {"no vertex at all, at exactly 1.0", true, {}, 1.0},
      {"a fraction past the end", false, {{0, 0}, {10, 0}}, 1.5},
      {"a fraction that is not a number", false, {{0, 0}, {10, 0}}, std::nan("")},
  };
  const std::vector<LocatedPoint> starts = {LocatedPoint{}, LocatedPoint{7, 8, 1, 2, true}};
  PF_PathID id = 200;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.masks.Add(++id, c.closed, Corners(c.corners));
    for (const LocatedPoint& start : starts) {
      const Outcome outcome = OpenLocateClose(id, {c.fraction}, start);
      EXPECT_EQ(outcome.err, PF_Err_NONE);
      EXPECT_TRUE(SamePoint(outcome.points[0], start)) << Describe(outcome.points[0]);
      EXPECT_EQ(Entries("PF_PathEvalSegLengthDeriv1").size(), 0u);
      for (const refhost::TraceEntry& entry : host_.trace.Entries()) {
        if (entry.args.contains("segment")) {
          EXPECT_GE(entry.args["segment"], 0);
        }
      }
      host_.trace.Clear();
    }
  }
  ExpectClean();
}

TEST_F(PathLocatorTest, ALocateMeasuresTheSegmentsUpToTheOneFoundAndNoMore) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {10, 0}, {20, 0}, {30, 0}, {40, 0}, {50, 0}}));
  struct Cost {
    double fraction;
    std::vector<int> prepared;
    std::size_t evaluations;
  };
  const std::vector<Cost> costs = {
      {0.1, {0}, 1},
      {0.3, {0, 1}, 1},
      {0.5, {0, 1, 2}, 1},
      {0.7, {0, 1, 2, 3}, 1},
      {0.9, {0, 1, 2, 3, 4}, 1},
      {1.0, {4}, 1},
      {1.5, {0, 1, 2, 3, 4}, 0},
  };
  const PF_Err err = Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data) {
    PF_Err run_err = PF_Err_NONE;
    PathLocator locator;
    locator.Open(suites, in_data, out_data, MASK, run_err);
    for (const Cost& cost : costs) {
      SCOPED_TRACE(cost.fraction);
      host_.trace.Clear();
      LocatedPoint point;
      locator.Locate(cost.fraction, point, run_err);
      std::vector<int> prepared, measured, cleaned;
      for (const refhost::TraceEntry& entry : host_.trace.Entries()) {
        if (entry.call == "PF_PathPrepareSegLength") prepared.push_back(entry.args["segment"]);
        if (entry.call == "PF_PathGetSegLength") measured.push_back(entry.args["segment"]);
        if (entry.call == "PF_PathCleanupSegLength") cleaned.push_back(entry.args["segment"]);
      }
      EXPECT_EQ(prepared, cost.prepared);
      EXPECT_EQ(measured, cost.prepared);
      EXPECT_EQ(cleaned, cost.prepared);
      EXPECT_EQ(host_.trace.Count("PF_PathEvalSegLengthDeriv1"), cost.evaluations);
      // Every preparation is cleaned up before the locate returns.
      EXPECT_EQ(host_.ledger.Outstanding("seg_prep"), 0);
    }
    locator.Close(run_err);
    return run_err;
  });
  EXPECT_EQ(err, PF_Err_NONE);
  ExpectClean();
}

TEST_F(PathLocatorTest, TheFirstErrorWinsAndEverythingIsGivenBack) {
  // A closed square of four 100-pixel edges, located at 0.3: 20 into segment 1.
  // Measuring makes preparations 1 to 4, the locate 5 and 6.
  host_.masks.Add(MASK, true, Corners({{0, 0}, {100, 0}, {100, 100}, {0, 100}}));
  constexpr PF_Err CODE = 1234;
  struct Fault {
    const char* call;
    int nth;
    PF_Err code;
  };
  struct Case {
    const char* what;
    std::vector<Fault> faults;
    std::size_t checkins;
    std::size_t cleanups;
    bool is_open;
    A_long segments;
    double total;
    bool found;
  };
  const std::vector<Case> cases = {
      {"check-out", {{"PF_CheckoutPath", 1, CODE}}, 0, 0, true, 0, 0, false},
      {"is-open", {{"PF_PathIsOpen", 1, CODE}}, 1, 0, true, 0, 0, false},
      {"segment count", {{"PF_PathNumSegments", 1, CODE}}, 1, 0, false, 0, 0, false},
      {"measuring: preparation", {{"PF_PathPrepareSegLength", 2, CODE}}, 1, 1, false, 4, 0, false},
      {"measuring: length", {{"PF_PathGetSegLength", 3, CODE}}, 1, 3, false, 4, 0, false},
      {"measuring: clean-up", {{"PF_PathCleanupSegLength", 1, CODE}}, 1, 1, false, 4, 0, false},
      {"locating: preparation", {{"PF_PathPrepareSegLength", 6, CODE}}, 1, 5, false, 4, 400, false},
      {"locating: length", {{"PF_PathGetSegLength", 6, CODE}}, 1, 6, false, 4, 400, false},
      {"locating: evaluation", {{"PF_PathEvalSegLengthDeriv1", 1, CODE}}, 1, 6, false, 4, 400,
       false},
      // The point was evaluated before the failure, and is kept.
      {"locating: clean-up", {{"PF_PathCleanupSegLength", 6, CODE}}, 1, 6, false, 4, 400, true},
      {"check-in", {{"PF_CheckinPath", 1, CODE}}, 1, 6, false, 4, 400, true},
      {"later failures of the give-back calls lose to the first",
       {{"PF_PathGetSegLength", 6, CODE}, {"PF_PathCleanupSegLength", 6, 99}, {"PF_CheckinPath", 1, 98}},
       1, 6, false, 4, 400, false},
  };
  const LocatedPoint start{3, 4, 5, 6, false};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.faults.Clear();
    host_.trace.Clear();
    host_.ledger.ClearViolations();
    for (const Fault& f : c.faults) host_.faults.FailCall(f.call, f.nth, f.code);

    std::size_t calls_after_second_locate = 0;
    const PF_Err err = Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data) {
      PF_Err run_err = PF_Err_NONE;
      PathLocator locator;
      locator.Open(suites, in_data, out_data, MASK, run_err);
      LocatedPoint point = start;
      locator.Locate(0.3, point, run_err);
      // Under a recorded error a locate makes no host call at all.
      const std::size_t before = host_.trace.Entries().size();
      LocatedPoint again = start;
      if (run_err != PF_Err_NONE) locator.Locate(0.3, again, run_err);
      calls_after_second_locate = host_.trace.Entries().size() - before;
      EXPECT_TRUE(SamePoint(again, start));
      locator.Close(run_err);

      EXPECT_EQ(locator.is_open, c.is_open);
      EXPECT_EQ(locator.segment_count, c.segments);
      EXPECT_EQ(locator.total_length, c.total);
      EXPECT_EQ(point.found, c.found) << Describe(point);
      if (!c.found) {
        EXPECT_TRUE(SamePoint(point, start)) << Describe(point);
      }
      return run_err;
    });
    EXPECT_EQ(err, CODE);
    EXPECT_EQ(calls_after_second_locate, 0u);
    EXPECT_EQ(host_.trace.Count("PF_CheckinPath"), c.checkins);
    EXPECT_EQ(host_.trace.Count("PF_PathCleanupSegLength"), c.cleanups);
    EXPECT_EQ(MaskSuiteReleases(), 1u);
    // The module misused nothing, and a give-back the host failed still gave back.
    EXPECT_TRUE(host_.Violations().empty()) << ::testing::PrintToString(host_.Violations());
    EXPECT_TRUE(host_.Outstanding().empty()) << ::testing::PrintToString(host_.Outstanding());
  }
}

TEST_F(PathLocatorTest, WithoutTheMaskSuiteNothingIsCheckedOut) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {10, 0}}));
  host_.faults.MakeSuiteUnavailable(kAEGPMaskSuite, kAEGPMaskSuiteVersion1);
  const LocatedPoint start{1, 2, 3, 4, true};
  const Outcome outcome = OpenLocateClose(MASK, {0.5}, start);
  EXPECT_EQ(outcome.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_STREQ(host_.OutData().return_msg, "Couldn't load suite.");
  EXPECT_NE(host_.OutData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
  EXPECT_EQ(host_.trace.Calls(), (std::vector<std::string>{"AcquireSuite", "sprintf"}));
  EXPECT_TRUE(SamePoint(outcome.points[0], start));
  ExpectClean();
}

TEST_F(PathLocatorTest, AMissingPathSuiteEndsTheCommandWithNothingLeftOut) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {10, 0}}));
  struct Case {
    const char* suite;
    std::size_t checkouts;
  };
  for (const Case& c : {Case{kPFPathQuerySuite, 0}, Case{kPFPathDataSuite, 1}}) {
    SCOPED_TRACE(c.suite);
    host_.faults.Clear();
    host_.trace.Clear();
    host_.faults.MakeSuiteUnavailable(c.suite, 1);
    bool closed = false;
    const PF_Err err = Run([&](SuiteCache& suites, PF_InData* in_data, PF_OutData* out_data) {
      PF_Err run_err = PF_Err_NONE;
      PathLocator locator;
      locator.Open(suites, in_data, out_data, MASK, run_err);
      closed = true;  // not reached: the suite error ends the command
      return run_err;
    });
    EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_FALSE(closed);
    EXPECT_EQ(host_.trace.Count("PF_CheckoutPath"), c.checkouts);
    EXPECT_EQ(host_.trace.Count("PF_CheckinPath"), c.checkouts);
    EXPECT_EQ(MaskSuiteReleases(), 1u);
    ExpectClean();
  }
}

TEST_F(PathLocatorTest, AChosenMaskThatIsGoneFailsTheOpenWithoutACheckIn) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {10, 0}}));
  host_.masks.Remove(MASK);
  const Outcome outcome = OpenLocateClose(MASK, {0.5});
  EXPECT_EQ(outcome.err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_FALSE(outcome.points[0].found);
  EXPECT_EQ(host_.trace.Count("PF_CheckinPath"), 0u);
  EXPECT_EQ(MaskSuiteReleases(), 1u);
  ExpectClean();
}

TEST_F(PathLocatorTest, PointsAreInThePixelsOfTheRenderAndKeyframesInThoseOfTheLayer) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {200, 0}, {200, 400}}));
  host_.Time().downsample_x = {1, 2};
  host_.Time().downsample_y = {1, 2};
  const Outcome outcome = OpenLocateClose(MASK, {0.255});
  ASSERT_EQ(outcome.err, PF_Err_NONE);
  EXPECT_DOUBLE_EQ(outcome.locator.total_length, 300.0);
  const LocatedPoint& point = outcome.points[0];
  EXPECT_NEAR(point.x, 76.5, 1e-9);
  EXPECT_NEAR(point.y, 0.0, 1e-9);
  const KeyframeXY keyframe = KeyframePoint(point.x, point.y, 0.5, 0.5);
  EXPECT_NEAR(keyframe.x, 153.0, 1e-9);
  EXPECT_NEAR(keyframe.y, 0.0, 1e-9);
  const GuideCenter guide = GuidePixel(point.x, point.y);
  EXPECT_TRUE(guide.paints);
  EXPECT_EQ(guide.column, 76);
  EXPECT_EQ(guide.row, 0);
  ExpectClean();
}

TEST_F(PathLocatorTest, TheShapeIsTheOneAtTheCommandsTime) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {100, 0}}));
  host_.masks.AddKeyframe(MASK, {0, 30}, Corners({{0, 0}, {100, 0}}));
  host_.masks.AddKeyframe(MASK, {30, 30}, Corners({{0, 0}, {300, 0}}));
  host_.Time().time_scale = 30;
  struct Case {
    A_long time;
    double x;
  };
  for (const Case& c : {Case{-10, 50}, Case{0, 50}, Case{15, 100}, Case{30, 150}, Case{90, 150}}) {
    SCOPED_TRACE(c.time);
    host_.Time().current_time = c.time;
    const Outcome outcome = OpenLocateClose(MASK, {0.5});
    ASSERT_EQ(outcome.err, PF_Err_NONE);
    EXPECT_NEAR(outcome.points[0].x, c.x, 1e-9);
  }
  ExpectClean();
}

}  // namespace
