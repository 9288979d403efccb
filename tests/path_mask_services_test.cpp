// The reference host's masks and path suites: the shapes it hands out, and how it
// catches a module that misuses paths and segment preparations.
#include <cmath>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "script_host.h"

namespace {

using refhost::MaskModel;
using refhost::PathVertex;
using refhost::Vec2;

constexpr PF_PathID MASK = 7;

// The path suites and the effect reference, as a script sees them.
struct Suites {
  const PF_PathQuerySuite1* query;
  const PF_PathDataSuite1* data;
  PF_ProgPtr ref;

  PF_PathOutlinePtr CheckOut(PF_PathID id, PF_Err* err = nullptr) const {
    PF_PathOutlinePtr path = nullptr;
    const PF_Err result = query->PF_CheckoutPath(ref, id, 0, 1, 1, &path);
    if (err != nullptr) *err = result;
    return path;
  }
  PF_Err CheckIn(PF_PathID id, PF_PathOutlinePtr path) const {
    return query->PF_CheckinPath(ref, id, false, path);
  }
  PF_PathSegPrepPtr Prepare(PF_PathOutlinePtr path, A_long segment) const {
    PF_PathSegPrepPtr prep = nullptr;
    data->PF_PathPrepareSegLength(ref, path, segment, 100, &prep);
    return prep;
  }
  PF_Err CleanUp(PF_PathOutlinePtr path, A_long segment, PF_PathSegPrepPtr prep) const {
    return data->PF_PathCleanupSegLength(ref, path, segment, &prep);
  }
  PF_Err Length(PF_PathOutlinePtr path, A_long segment, PF_PathSegPrepPtr* prep,
                double* length) const {
    return data->PF_PathGetSegLength(ref, path, segment, prep, length);
  }
  PF_Err Eval(PF_PathOutlinePtr path, PF_PathSegPrepPtr* prep, A_long segment, double length,
              double out[4]) const {
    return data->PF_PathEvalSegLengthDeriv1(ref, path, prep, segment, length, &out[0], &out[1],
                                            &out[2], &out[3]);
  }
};

class MaskServicesTest : public ScriptHostTest {
 protected:
  PF_Err RunWithSuites(const std::function<PF_Err(const Suites&)>& body,
                       PF_Cmd cmd = PF_Cmd_SMART_RENDER) {
    return Run(
        [&](SuiteCache& suites, PF_InData* in_data, PF_OutData*) {
          return body(Suites{suites.PathQuerySuite(), suites.PathDataSuite(), in_data->effect_ref});
        },
        cmd);
  }
};

TEST_F(MaskServicesTest, APathAnswersWhetherItIsOpenAndHowManySegmentsItHas) {
  struct Case {
    bool closed;
    std::size_t vertices;
    A_long segments;
  };
  const std::vector<Case> cases = {
      {false, 3, 2}, {true, 3, 3}, {false, 1, 0}, {true, 1, 1}, {false, 0, 0}, {true, 0, 0}};
  PF_PathID id = 10;
  for (const Case& c : cases) {
    std::vector<Vec2> corners;
    for (std::size_t i = 0; i < c.vertices; ++i) {
      const double k = static_cast<double>(i);
      corners.push_back({10.0 * k, 5.0 * k * k});
    }
    host_.masks.Add(++id, c.closed, Corners(corners));
    PF_Boolean open = 99;
    A_long segments = -5;
    EXPECT_EQ(RunWithSuites([&](const Suites& s) {
                PF_PathOutlinePtr path = s.CheckOut(id);
                PF_Err err = s.data->PF_PathIsOpen(s.ref, path, &open);
                if (err == PF_Err_NONE) err = s.data->PF_PathNumSegments(s.ref, path, &segments);
                const PF_Err checkin = s.CheckIn(id, path);
                return err != PF_Err_NONE ? err : checkin;
              }),
              PF_Err_NONE);
    EXPECT_EQ(open, c.closed ? 0 : 1);
    EXPECT_EQ(segments, c.segments);
  }
  ExpectClean();
}

TEST_F(MaskServicesTest, LengthsAndPointsNeedNoPreparationAndAgreeWithOne) {
  host_.masks.Add(MASK, false,
                  {{{0, 0}, {}, {40, -30}}, {{100, 20}, {-20, 35}, {}}, {{150, 150}, {}, {}}});
  EXPECT_EQ(RunWithSuites([&](const Suites& s) {
              PF_PathOutlinePtr path = s.CheckOut(MASK);
              for (A_long segment : {0, 1}) {
                PF_PathSegPrepPtr prep = s.Prepare(path, segment);
                double prepared = 0, unprepared = 0;
                EXPECT_EQ(s.Length(path, segment, &prep, &prepared), PF_Err_NONE);
                EXPECT_EQ(s.Length(path, segment, nullptr, &unprepared), PF_Err_NONE);
                EXPECT_EQ(prepared, unprepared);
                double a[4], b[4];
                PF_PathSegPrepPtr none = nullptr;
                EXPECT_EQ(s.Eval(path, &prep, segment, prepared / 3, a), PF_Err_NONE);
                EXPECT_EQ(s.Eval(path, &none, segment, prepared / 3, b), PF_Err_NONE);
                for (int i = 0; i < 4; ++i) EXPECT_EQ(a[i], b[i]);
                s.CleanUp(path, segment, prep);
              }
              return s.CheckIn(MASK, path);
            }),
            PF_Err_NONE);
  ExpectClean();
}

// The host keeps each segment's samples for the rest of the check-out; a segment
// prepared at another frequency is sampled at that one, and a preparation still
// out keeps the samples it was made with.
TEST_F(MaskServicesTest, PreparationsAtOtherFrequenciesKeepTheirOwnSamples) {
  const std::vector<PathVertex> shape = {{{0, 0}, {}, {150, 0}}, {{100, 100}, {-150, 0}, {}}};
  host_.masks.Add(MASK, false, shape);
  const refhost::CubicSegment segment = refhost::SegmentOf(shape, false, 0);
  const double fine = refhost::SegmentLengthTable(segment, 100).Length();
  const double coarse = refhost::SegmentLengthTable(segment, 3).Length();
  ASSERT_NE(fine, coarse);
  EXPECT_EQ(RunWithSuites([&](const Suites& s) {
              PF_PathOutlinePtr path = s.CheckOut(MASK);
              PF_PathSegPrepPtr at_100 = nullptr, at_3 = nullptr, again = nullptr;
              EXPECT_EQ(s.data->PF_PathPrepareSegLength(s.ref, path, 0, 100, &at_100), PF_Err_NONE);
              EXPECT_EQ(s.data->PF_PathPrepareSegLength(s.ref, path, 0, 3, &at_3), PF_Err_NONE);
              EXPECT_EQ(s.data->PF_PathPrepareSegLength(s.ref, path, 0, 100, &again), PF_Err_NONE);
              double lengths[3] = {};
              s.Length(path, 0, &at_100, &lengths[0]);
              s.Length(path, 0, &at_3, &lengths[1]);
              s.Length(path, 0, &again, &lengths[2]);
              EXPECT_EQ(lengths[0], fine);
              EXPECT_EQ(lengths[1], coarse);
              EXPECT_EQ(lengths[2], fine);
              for (PF_PathSegPrepPtr prep : {at_100, at_3, again}) s.CleanUp(path, 0, prep);
              return s.CheckIn(MASK, path);
            }),
            PF_Err_NONE);
  ExpectClean();
}

TEST_F(MaskServicesTest, PathsCheckedOutDuringARenderFollowItsDownsampleFactors) {
  // The second vertex's in-tangent makes a curve, so tangents must scale too.
  host_.masks.Add(MASK, false, {{{40, 60}, {}, {}}, {{240, 60}, {-50, 80}, {}}});
  host_.Time().downsample_x = {1, 2};
  host_.Time().downsample_y = {1, 4};
  struct Case {
    PF_Cmd cmd;
    double sx, sy;
  };
  double full_length = 0.0;
  for (const Case& c : {Case{PF_Cmd_UPDATE_PARAMS_UI, 1, 1}, Case{PF_Cmd_SMART_RENDER, 0.5, 0.25},
                        Case{PF_Cmd_SMART_PRE_RENDER, 0.5, 0.25}}) {
    SCOPED_TRACE(c.cmd);
    double start[4], end[4], length = 0;
    EXPECT_EQ(RunWithSuites(
                  [&](const Suites& s) {
                    PF_PathOutlinePtr path = s.CheckOut(MASK);
                    PF_PathSegPrepPtr prep = s.Prepare(path, 0);
                    s.Length(path, 0, &prep, &length);
                    s.Eval(path, &prep, 0, 0.0, start);
                    s.Eval(path, &prep, 0, length, end);
                    s.CleanUp(path, 0, prep);
                    return s.CheckIn(MASK, path);
                  },
                  c.cmd),
              PF_Err_NONE);
    EXPECT_EQ(start[0], 40 * c.sx);
    EXPECT_EQ(start[1], 60 * c.sy);
    EXPECT_EQ(end[0], 240 * c.sx);
    EXPECT_EQ(end[1], 60 * c.sy);
    // The derivative at the end is three times end minus its in-tangent control point.
    EXPECT_EQ(end[2], 3 * 50 * c.sx);
    EXPECT_EQ(end[3], 3 * -80 * c.sy);
    if (c.sx == 1) {
      full_length = length;
    } else {
      EXPECT_LT(length, full_length);
    }
  }
  ExpectClean();
}

TEST_F(MaskServicesTest, AMaskThatIsNotOnTheLayerIsAnErrorButNoMisuse) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {10, 0}}));
  PF_PathOutlinePtr path = reinterpret_cast<PF_PathOutlinePtr>(&path);
  PF_Err err = PF_Err_NONE;
  RunWithSuites([&](const Suites& s) {
    path = s.CheckOut(MASK + 1, &err);
    return err;
  });
  EXPECT_EQ(err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(path, nullptr);
  ExpectClean();
}

TEST_F(MaskServicesTest, MisusedPathsAndPreparationsAreViolationsAndErrors) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {100, 0}, {100, 100}}));
  struct Case {
    const char* what;
    std::function<PF_Err(const Suites&)> misuse;  // gives the misused call's result
    std::string violation;
    PF_Err err = PF_Err_BAD_CALLBACK_PARAM;
  };
  const std::vector<Case> cases = {
      {"a preparation used for another segment",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         PF_PathSegPrepPtr prep = s.Prepare(path, 0);
         double length = 0;
         const PF_Err err = s.Length(path, 1, &prep, &length);
         s.CleanUp(path, 0, prep);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_PathGetSegLength of prep1 (made for path1 segment 0) for path1 segment 1"},
      {"a preparation used for another path",
       [](const Suites& s) {
         PF_PathOutlinePtr a = s.CheckOut(MASK);
         PF_PathOutlinePtr b = s.CheckOut(MASK);
         PF_PathSegPrepPtr prep = s.Prepare(a, 0);
         double out[4];
         const PF_Err err = s.Eval(b, &prep, 0, 1.0, out);
         s.CleanUp(a, 0, prep);
         s.CheckIn(MASK, a);
         s.CheckIn(MASK, b);
         return err;
       },
       "PF_PathEvalSegLengthDeriv1 of prep1 (made for path1 segment 0) for path2 segment 0"},
      {"a preparation cleaned up twice",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         PF_PathSegPrepPtr prep = s.Prepare(path, 1);
         s.CleanUp(path, 1, prep);
         const PF_Err err = s.CleanUp(path, 1, prep);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_PathCleanupSegLength of prep1, already cleaned up"},
      {"a clean-up without a preparation",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         const PF_Err err = s.CleanUp(path, 0, nullptr);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_PathCleanupSegLength without a preparation"},
      {"a preparation the host never made",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         int local = 0;
         PF_PathSegPrepPtr made_up = reinterpret_cast<PF_PathSegPrepPtr>(&local);
         double length = 0;
         const PF_Err err = s.Length(path, 0, &made_up, &length);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_PathGetSegLength of a preparation the host never made"},
      {"a segment past the last",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         PF_PathSegPrepPtr prep = nullptr;
         const PF_Err err = s.data->PF_PathPrepareSegLength(s.ref, path, 2, 100, &prep);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_PathPrepareSegLength of segment 2 of path1, which has 2"},
      {"segment -1",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         double out[4];
         const PF_Err err = s.Eval(path, nullptr, -1, 0.0, out);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_PathEvalSegLengthDeriv1 of segment -1 of path1, which has 2"},
      {"a sampling frequency of 0",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         PF_PathSegPrepPtr prep = nullptr;
         const PF_Err err = s.data->PF_PathPrepareSegLength(s.ref, path, 0, 0, &prep);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_PathPrepareSegLength at frequency 0, outside 1 to 1048576"},
      {"a length that is not a number",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         double out[4];
         const PF_Err err = s.Eval(path, nullptr, 0, std::nan(""), out);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_PathEvalSegLengthDeriv1 at a length that is not a number"},
      {"a preparation never cleaned up",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         s.Prepare(path, 0);
         return s.CheckIn(MASK, path);
       },
       "seg_prep not given back by PF_Cmd_SMART_RENDER (1)", PF_Err_NONE},
      {"a path never checked in",
       [](const Suites& s) {
         PF_Err err = PF_Err_NONE;
         s.CheckOut(MASK, &err);
         return err;
       },
       "path not given back by PF_Cmd_SMART_RENDER (1)", PF_Err_NONE},
      {"a path checked in twice",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         s.CheckIn(MASK, path);
         return s.CheckIn(MASK, path);
       },
       "PF_CheckinPath of path1 after its check-in"},
      {"a path used after its check-in",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         s.CheckIn(MASK, path);
         A_long count = 0;
         return s.data->PF_PathNumSegments(s.ref, path, &count);
       },
       "PF_PathNumSegments of path1 after its check-in"},
      {"a null path checked in",
       [](const Suites& s) { return s.CheckIn(MASK, nullptr); },
       "PF_CheckinPath of a null path"},
      {"a path checked in under another id",
       [](const Suites& s) {
         PF_PathOutlinePtr path = s.CheckOut(MASK);
         const PF_Err err = s.CheckIn(MASK + 1, path);
         s.CheckIn(MASK, path);
         return err;
       },
       "PF_CheckinPath of path1 (path id 7) under path id 8"},
      {"path id 0, which names no path",
       [](const Suites& s) {
         PF_Err err = PF_Err_NONE;
         s.CheckOut(0, &err);
         return err;
       },
       "PF_CheckoutPath of path id 0, which names no path"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // Names count from 1 in every case.
    host_.masks = MaskModel{};
    host_.masks.Add(MASK, false, Corners({{0, 0}, {100, 0}, {100, 100}}));
    host_.ledger.ClearViolations();
    EXPECT_EQ(RunWithSuites(c.misuse), c.err);
    EXPECT_EQ(host_.Violations(), std::vector<std::string>{c.violation});
    EXPECT_TRUE(host_.Outstanding().empty()) << ::testing::PrintToString(host_.Outstanding());
  }
}

TEST_F(MaskServicesTest, WhatACommandLeftOutIsDeadInTheNext) {
  host_.masks.Add(MASK, false, Corners({{0, 0}, {100, 0}, {100, 100}}));
  PF_PathOutlinePtr path = nullptr;
  PF_PathSegPrepPtr prep = nullptr;
  RunWithSuites([&](const Suites& s) {
    path = s.CheckOut(MASK);
    prep = s.Prepare(path, 1);
    return PF_Err_NONE;
  });
  EXPECT_EQ(host_.Violations(),
            (std::vector<std::string>{"path not given back by PF_Cmd_SMART_RENDER (1)",
                                      "seg_prep not given back by PF_Cmd_SMART_RENDER (1)"}));
  host_.ledger.ClearViolations();

  RunWithSuites([&](const Suites& s) {
    // A fresh path of the same mask, and the old preparation with it.
    PF_PathOutlinePtr fresh = s.CheckOut(MASK);
    A_long count = 0;
    EXPECT_EQ(s.data->PF_PathNumSegments(s.ref, path, &count), PF_Err_BAD_CALLBACK_PARAM);
    double length = 0;
    EXPECT_EQ(s.Length(fresh, 1, &prep, &length), PF_Err_BAD_CALLBACK_PARAM);
    return s.CheckIn(MASK, fresh);
  });
  EXPECT_EQ(host_.Violations(),
            (std::vector<std::string>{
                "PF_PathNumSegments of path1 after the command that checked it out ended",
                "PF_PathGetSegLength of prep1 after the command that prepared it ended"}));
  EXPECT_TRUE(host_.Outstanding().empty());
}

TEST_F(MaskServicesTest, TheMaskSuiteCountsTheLayersMasks) {
  host_.masks.Add(3, false, Corners({{0, 0}, {1, 1}}));
  host_.masks.Add(5, true, Corners({{0, 0}, {1, 1}, {2, 0}}));
  A_long count = -1;
  Run([&](SuiteCache&, PF_InData* in_data, PF_OutData*) {
    const void* suite = nullptr;
    in_data->pica_basicP->AcquireSuite(kAEGPMaskSuite, kAEGPMaskSuiteVersion1, &suite);
    const PF_Err err = static_cast<const AEGP_MaskSuite1*>(suite)->AEGP_GetLayerNumMasks(
        nullptr, &count);
    in_data->pica_basicP->ReleaseSuite(kAEGPMaskSuite, kAEGPMaskSuiteVersion1);
    return err;
  });
  EXPECT_EQ(count, 2);
  ExpectClean();
}

std::vector<PathVertex> Line(double length, double tangent) {
  return {{{0, 0}, {}, {tangent, 0}}, {{length, 0}, {-tangent, 0}, {}}};
}

TEST(MaskModel, KeyedShapesAreHeldOutsideTheirKeyframesAndLinearBetween) {
  MaskModel masks;
  masks.Add(MASK, false, Line(100, 0));
  EXPECT_EQ(masks.ShapeAt(MASK, 12345, 1)[1].position.x, 100);  // unkeyed: one shape always

  masks.AddKeyframe(MASK, {2, 1}, Line(300, 30));
  masks.AddKeyframe(MASK, {1, 1}, Line(200, 10));  // out of order: sorted by time
  masks.AddKeyframe(MASK, {30, 10}, Line(400, 0));  // 3 seconds, over another scale
  masks.AddKeyframe(MASK, {4, 2}, Line(250, 20));   // 2 seconds again: replaces that key
  struct Case {
    A_long time;
    A_u_long scale;
    double end_x, tangent;
  };
  const std::vector<Case> cases = {
      {-7, 1, 200, 10},   {0, 1, 200, 10},   {1, 1, 200, 10},  {6, 4, 225, 15},
      {2, 1, 250, 20},    {25, 10, 325, 10}, {3, 1, 400, 0},   {1000, 1, 400, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.time << "/" << c.scale);
    const std::vector<PathVertex> shape = masks.ShapeAt(MASK, c.time, c.scale);
    ASSERT_EQ(shape.size(), 2u);
    EXPECT_DOUBLE_EQ(shape[1].position.x, c.end_x);
    EXPECT_DOUBLE_EQ(shape[0].out_tangent.x, c.tangent);
    EXPECT_DOUBLE_EQ(shape[1].in_tangent.x, -c.tangent);
  }
}

// 1000000004/1000000005 < 1000000005/1000000006 < 1000000006/1000000007, and all
// three are the same double: the span between the keyframes is 0 seconds.
TEST(MaskModel, InstantsADoubleCannotTellApartTakeTheEarlierShape) {
  MaskModel masks;
  masks.Add(MASK, false, Line(100, 0));
  masks.AddKeyframe(MASK, {1000000004, 1000000005}, Line(100, 0));
  masks.AddKeyframe(MASK, {1000000006, 1000000007}, Line(300, 0));
  const std::vector<PathVertex> shape = masks.ShapeAt(MASK, 1000000005, 1000000006);
  ASSERT_EQ(shape.size(), 2u);
  EXPECT_DOUBLE_EQ(shape[1].position.x, 100);
}

// Samples outlive a check-out only for bit-for-bit the same control points: a
// still mask is sampled once across frames, while a moved or rescaled segment is
// sampled afresh and measures its own length.
TEST(MaskModel, SamplesAreSharedAcrossCheckOutsOnlyForTheSameGeometry) {
  MaskModel masks;
  masks.Add(MASK, false, Line(100, 0));
  masks.AddKeyframe(MASK, {0, 1}, Line(100, 0));
  masks.AddKeyframe(MASK, {2, 1}, Line(300, 0));
  auto measure = [&](A_long time, double scale) {
    PF_PathOutlinePtr path = masks.CheckOut(MASK, time, 1, scale, scale);
    auto table = masks.Measure(path, 0, 100);
    masks.CheckIn(path);
    return table;
  };
  const auto first = measure(0, 1.0);
  EXPECT_EQ(measure(0, 1.0), first);  // the same table, not a copy
  EXPECT_DOUBLE_EQ(measure(1, 1.0)->Length(), 200.0);
  EXPECT_DOUBLE_EQ(measure(0, 0.5)->Length(), 50.0);
  EXPECT_DOUBLE_EQ(measure(2, 1.0)->Length(), 300.0);
  EXPECT_EQ(masks.SampleTablesKept(), 4u);

  masks.ForgetSamples();
  const auto again = measure(0, 1.0);
  EXPECT_NE(again, first);
  EXPECT_EQ(again->Length(), first->Length());
}

// An animated mask makes new geometry at every frame: the kept samples start over
// at their bound instead of growing with the frames.
TEST(SampleCache, StartsOverAtItsBound) {
  refhost::SampleCache cache;
  constexpr int FREQUENCY = 1023;  // 1024 samples a table
  constexpr std::size_t TABLES_AT_BOUND = refhost::SampleCache::MAX_SAMPLES_KEPT / 1024;
  for (std::size_t i = 0; i < TABLES_AT_BOUND; ++i) {
    cache.Samples({{0, 0}, {0, 0}, {1, 0}, {static_cast<double>(i + 1), 0}}, FREQUENCY);
  }
  EXPECT_EQ(cache.TablesKept(), TABLES_AT_BOUND);
  const auto table = cache.Samples({{0, 0}, {0, 0}, {-1, 0}, {-1, 0}}, FREQUENCY);
  EXPECT_EQ(cache.TablesKept(), 1u);
  EXPECT_DOUBLE_EQ(table->Length(), 1.0);
  // Signed zeros are different bits, so they do not share a table.
  cache.Samples({{0, 0}, {0, 0}, {0, 0}, {-0.0, 0}}, 10);
  cache.Samples({{0, 0}, {0, 0}, {0, 0}, {0.0, 0}}, 10);
  EXPECT_EQ(cache.TablesKept(), 3u);
}

TEST(MaskModel, RejectsMasksTheHostCouldNotHoldWithAClearMessage) {
  MaskModel masks;
  masks.Add(MASK, true, Line(10, 0));
  struct Case {
    std::function<void()> add;
    std::string message;
  };
  const std::vector<Case> cases = {
      {[&] { masks.Add(0, false, Line(10, 0)); }, "mask id 0 is reserved for \"no path\""},
      {[&] { masks.Add(MASK, false, Line(10, 0)); }, "mask 7 already exists"},
      {[&] { masks.Add(9, false, Line(std::nan(""), 0)); },
       "mask 9: vertex 1 has a coordinate that is not a finite number"},
      // Beyond float range a vertex plus its tangent could overflow into lengths
      // that are not numbers.
      {[&] { masks.Add(9, false, Line(1e39, 0)); },
       "mask 9: vertex 1 has a coordinate beyond what a mask holds (3.4e38)"},
      {[&] { masks.AddKeyframe(MASK, {0, 1}, Corners({{0, 0}, {1, 0}, {2, 0}})); },
       "mask 7: keyframe has 3 vertices, the mask has 2"},
      {[&] { masks.AddKeyframe(MASK, {0, 0}, Line(10, 0)); }, "mask 7: keyframe time scale is 0"},
      {[&] { masks.AddKeyframe(8, {0, 1}, Line(10, 0)); }, "no mask 8 on the layer"},
  };
  for (const Case& c : cases) {
    try {
      c.add();
      ADD_FAILURE() << "accepted: " << c.message;
    } catch (const std::invalid_argument& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_EQ(masks.Count(), 1);
}

}  // namespace
