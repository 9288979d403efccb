// Frames rendered through the module file: what reaches the output at each depth,
// when the path is touched at all, which error wins, and what a frame leaves.
#include <algorithm>
#include <string>

#include "render_fixture.h"
#include "refhost/serve.h"

namespace {

using namespace render_test;

constexpr A_long WIDTH = 64, HEIGHT = 48;
constexpr A_long PADDING = 3;
constexpr PF_Err INJECTED = 0x7E57;

class RenderFrameTest : public ModuleHostTest {
 protected:
  // The open path runs along row 20; at 50 % its point is (30.5, 20.5), so the
  // marker centres on pixel (30, 20), wholly inside the layer. Coordinates sit
  // mid-pixel so that truncation is not at the mercy of rounding.
  void SetUp() override {
    SetUpLayer(host_, WIDTH, HEIGHT, {{10.5, 20.5}, {50.5, 20.5}},
               {{20.5, 10.5}, {40.5, 10.5}, {40.5, 30.5}, {20.5, 30.5}});
    ASSERT_EQ(host_.StartInstance(), PF_Err_NONE);
    ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 50.0));
  }

  void Set(PF_ParamIndex index, double value) { ASSERT_TRUE(host_.params.SetValue(index, value)); }

  refhost::FrameResult Render(PF_PixelFormat format, PF_RationalScale downsample = {1, 1}) {
    return refhost::RenderFrame(host_, {0, format, downsample, PADDING});
  }

  double ValueNow(PF_ParamIndex index) { return host_.params.ValueAt(index, {0, 1})->one_d; }
};

TEST_F(RenderFrameTest, WithoutAPathTheOutputIsAnExactCopyAtEveryDepth) {
  for (const Depth& depth : DEPTHS) {
    SCOPED_TRACE(depth.name);
    const refhost::FrameResult frame = Render(depth.format);
    ASSERT_EQ(frame.Result(), PF_Err_NONE);
    EXPECT_GT(frame.output->Def().rowbytes, WIDTH * static_cast<A_long>(frame.output->PixelBytes()));
    EXPECT_EQ(frame.output->CountDifferences(*frame.input), 0);
  }
  ExpectClean();
}

TEST_F(RenderFrameTest, OnTransparentClearsEveryPixelAndTheMarkerIsAllThatShows) {
  Set(PARAM_ON_TRANSPARENT, 1);
  Set(PARAM_PATH, OPEN_PATH);
  for (const double guide : {0.0, 1.0}) {
    Set(PARAM_GUIDE, guide);
    for (const Depth& depth : DEPTHS) {
      SCOPED_TRACE(std::string(depth.name) + (guide != 0 ? " with the guide" : ""));
      const refhost::FrameResult frame = Render(depth.format);
      ASSERT_EQ(frame.Result(), PF_Err_NONE);
      long marker = 0, other = 0;
      for (A_long y = 0; y < HEIGHT; ++y) {
        for (A_long x = 0; x < WIDTH; ++x) {
          if (PixelIsZero(*frame.output, x, y)) continue;
          ++(PixelIs(*frame.output, x, y, depth.colour) ? marker : other);
        }
      }
      EXPECT_EQ(other, 0);
      EXPECT_EQ(marker, guide != 0 ? depth.marker_pixels : 0);
    }
  }
  ExpectClean();
}

TEST_F(RenderFrameTest, CentredMarkerReplacesExactlyItsPixelsInTheGuideColour) {
  Set(PARAM_PATH, OPEN_PATH);
  for (const Depth& depth : DEPTHS) {
    SCOPED_TRACE(depth.name);
    const refhost::FrameResult frame = Render(depth.format);
    ASSERT_EQ(frame.Result(), PF_Err_NONE);
    const Changes changes = ChangesFrom(*frame.input, *frame.output, depth.colour);
    EXPECT_EQ(changes.count, depth.marker_pixels);
    EXPECT_TRUE(changes.all_guide_colour);
    const A_long half = depth.marker_width / 2;
    EXPECT_EQ(changes.left, 30 - half);
    EXPECT_EQ(changes.right, 30 + half);
    EXPECT_EQ(changes.top, 20 - 7);
    EXPECT_EQ(changes.bottom, 20 + 7);
  }
  ExpectClean();
}

TEST_F(RenderFrameTest, ClosedPathPlacesTheMarkerByTheAngle) {
  // The square's outline starts at its top-left corner and runs clockwise: a
  // quarter turn reaches the top-right corner, pixel (40, 10).
  Set(PARAM_PATH, CLOSED_PATH);
  Set(PARAM_OFFSET_ANGLE, 90.0);
  const refhost::FrameResult frame = Render(PF_PixelFormat_ARGB32);
  ASSERT_EQ(frame.Result(), PF_Err_NONE);
  const Changes changes = ChangesFrom(*frame.input, *frame.output, &GUIDE_8);
  EXPECT_EQ((changes.left + changes.right) / 2, 40);
  EXPECT_EQ((changes.top + changes.bottom) / 2, 10);
  ExpectClean();
}

TEST_F(RenderFrameTest, AtHalfResolutionTheMarkerSitsAtHalfThePosition) {
  Set(PARAM_PATH, OPEN_PATH);
  for (const Depth& depth : DEPTHS) {
    SCOPED_TRACE(depth.name);
    const refhost::FrameResult full = Render(depth.format);
    const refhost::FrameResult half = Render(depth.format, {1, 2});
    ASSERT_EQ(full.Result(), PF_Err_NONE);
    ASSERT_EQ(half.Result(), PF_Err_NONE);
    ASSERT_EQ(half.output->Width(), WIDTH / 2);
    const Changes f = ChangesFrom(*full.input, *full.output, depth.colour);
    const Changes h = ChangesFrom(*half.input, *half.output, depth.colour);
    EXPECT_EQ(h.count, depth.marker_pixels);
    EXPECT_EQ((h.left + h.right) / 2, (f.left + f.right) / 2 / 2);
    EXPECT_EQ((h.top + h.bottom) / 2, (f.top + f.bottom) / 2 / 2);
  }
  ExpectClean();
}

TEST_F(RenderFrameTest, SmallerOutputIsNeverWrittenPast) {
  // The point at the output's last pixel: only the marker's upper-left quarter
  // lies inside the output, the rest inside the (larger) input only. Rows are
  // unpadded, so a write past the output is past its memory.
  host_.masks.Remove(OPEN_PATH);
  host_.masks.Add(OPEN_PATH, false, Corners({{39.5, 29.5}, {60.5, 29.5}}));
  Set(PARAM_PATH, OPEN_PATH);
  Set(PARAM_OFFSET_PERCENT, 0);
  for (const Depth& depth : DEPTHS) {
    SCOPED_TRACE(depth.name);
    const refhost::FrameResult frame = refhost::RenderFrame(host_, {0, depth.format, {1, 1}, 0, 40, 30});
    ASSERT_EQ(frame.Result(), PF_Err_NONE);
    ASSERT_EQ(frame.output->Width(), 40);
    const Changes changes = ChangesFrom(*frame.input, *frame.output, depth.colour);
    EXPECT_EQ(changes.count, depth.corner_pixels);
    EXPECT_TRUE(changes.all_guide_colour);
    EXPECT_EQ(changes.right, 39);
    EXPECT_EQ(changes.bottom, 29);
  }
  ExpectClean();
}

// A point that was never found has no place to show: no marker, least of all
// one at the layer's origin, where the locator's untouched point would put it.
TEST_F(RenderFrameTest, APathWithNoLengthShowsNoMarker) {
  const std::vector<refhost::Vec2> shapes[] = {{{12.5, 12.5}, {12.5, 12.5}}, {{12.5, 12.5}}};
  Set(PARAM_PATH, OPEN_PATH);
  for (const auto& shape : shapes) {
    SCOPED_TRACE(shape.size());
    host_.masks.Remove(OPEN_PATH);
    host_.masks.Add(OPEN_PATH, false, Corners(shape));
    for (const Depth& depth : DEPTHS) {
      const refhost::FrameResult frame = Render(depth.format);
      ASSERT_EQ(frame.Result(), PF_Err_NONE);
      EXPECT_EQ(frame.output->CountDifferences(*frame.input), 0) << depth.name;
    }
  }
  ExpectClean();
}

// Which frames reach for the path: only those that draw the marker or bake.
TEST_F(RenderFrameTest, ThePathIsCheckedOutOnlyToDrawOrBake) {
  const struct {
    const char* name;
    PF_PathID path;
    double guide;
    double bake;
    bool touches_path;
  } cases[] = {
      {"path, guide off, no bake", OPEN_PATH, 0, 1, false},
      {"path, guide on", OPEN_PATH, 1, 1, true},
      {"no path, bake asked for", 0, 1, 2, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Set(PARAM_PATH, c.path);
    Set(PARAM_GUIDE, c.guide);
    Set(PARAM_BAKE, c.bake);
    host_.trace.Clear();
    const refhost::FrameResult frame = Render(PF_PixelFormat_ARGB32);
    ASSERT_EQ(frame.Result(), PF_Err_NONE);
    const bool mask_suite = std::any_of(
        host_.trace.Entries().begin(), host_.trace.Entries().end(), [](const refhost::TraceEntry& e) {
          return e.call == "AcquireSuite" && e.args.value("name", "") == "AEGP Mask Suite";
        });
    EXPECT_EQ(host_.trace.Count("PF_CheckoutPath") != 0, c.touches_path);
    EXPECT_EQ(mask_suite, c.touches_path);
    EXPECT_EQ(frame.output->CountDifferences(*frame.input) != 0, c.touches_path);
    // A bake asked for without a path waits: nothing is reset.
    EXPECT_EQ(ValueNow(PARAM_BAKE), c.bake);
    EXPECT_EQ(ValueNow(PARAM_GUIDE), c.guide);
  }
  EXPECT_TRUE(host_.params.Keyframes(PARAM_POINT).empty());
  ExpectClean();
}

// The trace of the smart render alone, from its lock of the pre-render data on.
std::vector<std::string> RenderCalls(const refhost::Trace& trace) {
  const std::vector<std::string> calls = trace.Calls();
  auto lock = std::find(calls.begin(), calls.end(), "host_lock_handle");
  if (lock != calls.end()) lock = std::find(lock + 1, calls.end(), "host_lock_handle");
  return {lock, calls.end()};
}

TEST_F(RenderFrameTest, NullPreRenderDataEndsTheRenderBeforeAnythingElse) {
  host_.faults.Clear();
  host_.trace.Clear();
  host_.faults.FailLock(2);  // the first lock is the pre-render's
  const refhost::FrameResult frame = Render(PF_PixelFormat_ARGB32);
  EXPECT_EQ(frame.pre_render_err, PF_Err_NONE);
  EXPECT_EQ(frame.render_err, PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(frame.message, "");
  EXPECT_TRUE(StillLeftovers(*frame.output));
  // The handle suite goes back; the host then frees the frame's data.
  EXPECT_EQ(RenderCalls(host_.trace),
            (std::vector<std::string>{"host_lock_handle", "ReleaseSuite", "host_dispose_handle"}));
  ExpectClean();
}

TEST_F(RenderFrameTest, EachFailingStepGivesItsErrorAndLeavesTheOutputAlone) {
  const struct {
    const char* name;
    void (*arm)(refhost::FaultPlan&);
    bool on_transparent;
    PF_Err expected;
    const char* message;
  } cases[] = {
      {"input check-out", [](refhost::FaultPlan& f) { f.FailCall("checkout_layer_pixels", 1, INJECTED); },
       false, INJECTED, ""},
      {"output check-out", [](refhost::FaultPlan& f) { f.FailCall("checkout_output", 1, INJECTED); },
       false, INJECTED, ""},
      {"World Suite unavailable",
       [](refhost::FaultPlan& f) { f.MakeSuiteUnavailable("PF World Suite", 2); }, false,
       PF_Err_BAD_CALLBACK_PARAM, "Couldn't load suite."},
      {"pixel format", [](refhost::FaultPlan& f) { f.FailCall("PF_GetPixelFormat", 1, INJECTED); },
       false, INJECTED, ""},
      {"invalid pixel format", [](refhost::FaultPlan& f) { f.ReportPixelFormat(PF_PixelFormat_INVALID); },
       false, PF_Err_BAD_CALLBACK_PARAM, ""},
      {"unknown pixel format", [](refhost::FaultPlan& f) { f.ReportPixelFormat(0x41524742); }, false,
       PF_Err_BAD_CALLBACK_PARAM, ""},
      {"copy", [](refhost::FaultPlan& f) { f.FailCall("copy", 1, INJECTED); }, false, INJECTED, ""},
      {"fill", [](refhost::FaultPlan& f) { f.FailCall("fill", 1, INJECTED); }, true, INJECTED, ""},
  };
  Set(PARAM_PATH, OPEN_PATH);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Set(PARAM_ON_TRANSPARENT, c.on_transparent);
    host_.faults.Clear();
    host_.trace.Clear();
    c.arm(host_.faults);
    const refhost::FrameResult frame = Render(PF_PixelFormat_ARGB64);
    EXPECT_EQ(frame.pre_render_err, PF_Err_NONE);
    EXPECT_EQ(frame.render_err, c.expected);
    EXPECT_EQ(frame.message, c.message);
    EXPECT_TRUE(StillLeftovers(*frame.output));
    // Nothing past the failure: the path stays with the host.
    EXPECT_EQ(host_.trace.Count("PF_CheckoutPath"), 0u);
    ExpectClean();  // the World Suite, when it was had, went back
  }
}

// The host's copy, and a copy that also takes the basic suite away from the
// command in progress: the one way the one-shot release of the World Suite fails.
PF_Err (*host_copy)(PF_ProgPtr, PF_EffectWorld*, PF_EffectWorld*, PF_Rect*, PF_Rect*) = nullptr;
PF_Err copy_result = PF_Err_NONE;

PF_Err CopyLosingTheBasicSuite(PF_ProgPtr effect_ref, PF_EffectWorld* src, PF_EffectWorld* dst,
                               PF_Rect* src_r, PF_Rect* dst_r) {
  refhost::Host::Current()->InData().pica_basicP = nullptr;
  const PF_Err err = host_copy(effect_ref, src, dst, src_r, dst_r);
  return copy_result != PF_Err_NONE ? copy_result : err;
}

TEST_F(RenderFrameTest, AFailedReleaseIsReportedAndCountsOnlyWithoutAnEarlierError) {
  host_copy = host_.Utils().copy;
  host_.Utils().copy = CopyLosingTheBasicSuite;
  for (const PF_Err copy_err : {INJECTED, PF_Err{PF_Err_NONE}}) {
    SCOPED_TRACE(copy_err);
    copy_result = copy_err;
    const refhost::FrameResult frame = Render(PF_PixelFormat_ARGB32);
    EXPECT_EQ(frame.render_err, copy_err != PF_Err_NONE ? copy_err : PF_Err_BAD_CALLBACK_PARAM);
    EXPECT_EQ(frame.message, "Couldn't release suite.");
    // Without its basic suite the module cannot give the World Suite back.
    ASSERT_EQ(host_.Violations().size(), 1u);
    EXPECT_NE(host_.Violations()[0].find("PF World Suite"), std::string::npos) << host_.Violations()[0];
    host_.ledger.ClearViolations();
  }
  host_.Utils().copy = host_copy;
}

TEST_F(RenderFrameTest, AThousandFramesLeaveNothingBehind) {
  Set(PARAM_PATH, OPEN_PATH);
  host_.trace.SetEnabled(false);
  int failed = 0;
  for (A_long t = 0; t < 1000; ++t) {
    failed += Render(t % 2 == 0 ? PF_PixelFormat_ARGB32 : PF_PixelFormat_ARGB128).Result() != PF_Err_NONE;
  }
  EXPECT_EQ(failed, 0);
  // The global and the sequence data are all the host still holds.
  EXPECT_EQ(host_.handles.Live().size(), 2u);
  ExpectClean();
}

}  // namespace
