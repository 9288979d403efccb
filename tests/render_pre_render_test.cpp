// The smart pre-render through the module file, sent on its own with the test's
// own output request and preset output rectangles.
#include <string>
#include <vector>

#include "render/render_info.h"
#include "render_fixture.h"

namespace {

using namespace render_test;

constexpr A_long WIDTH = 64, HEIGHT = 48;
constexpr PF_Err INJECTED = 0x7E57;
constexpr PF_LRect WHOLE = {0, 0, WIDTH, HEIGHT};
constexpr PF_LRect NONE = {0, 0, 0, 0};

bool Same(const PF_LRect& a, const PF_LRect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const PF_LRect& r) {
  return "{" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) +
         ", " + std::to_string(r.bottom) + "}";
}

class PreRenderTest : public ModuleHostTest {
 protected:
  void SetUp() override {
    SetUpLayer(host_, WIDTH, HEIGHT, {{10, 20}, {50, 20}}, {{20, 10}, {40, 10}, {40, 30}});
    ASSERT_EQ(host_.StartInstance(), PF_Err_NONE);
    host_.faults.Clear();
    host_.trace.Clear();
  }

  // Sends PF_Cmd_SMART_PRE_RENDER with `output` as the host presets it.
  PF_Err PreRender(const PF_RenderRequest& request, PF_PreRenderOutput& output) {
    PF_PreRenderInput input{};
    input.output_request = request;
    input.bitdepth = 8;
    PF_PreRenderCallbacks callbacks = refhost::PreRenderCallbacks();
    PF_PreRenderExtra extra{&input, &output, &callbacks};
    return host_.Send(PF_Cmd_SMART_PRE_RENDER, &extra);
  }

  PF_Err PreRender(PF_PreRenderOutput& output) {
    PF_RenderRequest request{};
    request.rect = WHOLE;
    return PreRender(request, output);
  }

  const RenderInfo& InfoOf(const PF_PreRenderOutput& output) {
    const std::byte* bytes = host_.handles.Bytes(static_cast<PF_Handle>(output.pre_render_data));
    EXPECT_NE(bytes, nullptr);
    return *reinterpret_cast<const RenderInfo*>(bytes);
  }

  void Set(PF_ParamIndex index, double value) { ASSERT_TRUE(host_.params.SetValue(index, value)); }
};

TEST_F(PreRenderTest, RenderInfoHoldsTheFrameValuesConverted) {
  const struct {
    double percent, angle;
    PF_RationalScale downsample_x, downsample_y;
    double percent_fraction, angle_fraction, downsample_x_value, downsample_y_value;
  } cases[] = {
      {100, -90, {1, 2}, {1, 4}, 1.0, 0.75, 0.5, 0.25},
      {0, 360, {1, 1}, {1, 1}, 0.0, 0.0, 1.0, 1.0},
      {50, 450, {3, 4}, {1, 1}, 0.5, 0.25, 0.75, 1.0},
      {25, 720.5, {1, 1}, {1, 2}, 0.25, 0.5 / 360, 1.0, 0.5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.angle);
    Set(PARAM_OFFSET_PERCENT, c.percent);
    Set(PARAM_OFFSET_ANGLE, c.angle);
    host_.Time().downsample_x = c.downsample_x;
    host_.Time().downsample_y = c.downsample_y;
    PF_PreRenderOutput output{};
    ASSERT_EQ(PreRender(output), PF_Err_NONE);
    const RenderInfo& info = InfoOf(output);
    EXPECT_EQ(info.percent_fraction, c.percent_fraction);
    EXPECT_EQ(info.angle_fraction, c.angle_fraction);
    EXPECT_EQ(info.downsample_x, c.downsample_x_value);
    EXPECT_EQ(info.downsample_y, c.downsample_y_value);
    host_.EndFrame(output);
  }
  ExpectClean();
}

TEST_F(PreRenderTest, RenderInfoHoldsEveryChoiceWithOrWithoutAPath) {
  const PF_Pixel colour = {200, 1, 2, 3};
  ASSERT_TRUE(host_.params.SetValue(PARAM_GUIDE_COLOR, colour));
  Set(PARAM_ON_TRANSPARENT, 1);
  Set(PARAM_GUIDE, 0);
  Set(PARAM_BAKE, 2);
  for (const PF_PathID path : {OPEN_PATH, PF_PathID{0}}) {
    SCOPED_TRACE(path);
    Set(PARAM_PATH, path);
    PF_PreRenderOutput output{};
    ASSERT_EQ(PreRender(output), PF_Err_NONE);
    const RenderInfo& info = InfoOf(output);
    EXPECT_EQ(info.path_id, path);
    EXPECT_EQ(info.on_transparent, 1);
    EXPECT_EQ(info.guide, 0);
    EXPECT_EQ(info.bake_choice, 2);
    EXPECT_EQ(info.guide_color.alpha, 200);
    EXPECT_EQ(info.guide_color.red, 1);
    EXPECT_EQ(info.guide_color.green, 2);
    EXPECT_EQ(info.guide_color.blue, 3);
    host_.EndFrame(output);
  }
  ExpectClean();
}

TEST_F(PreRenderTest, InputIsAskedForWithTheHostsRequestKeepingRgbOfZeroAlpha) {
  host_.Time().current_time = 7;
  host_.Time().time_step = 2;
  host_.Time().time_scale = 30;
  PF_RenderRequest request{};
  request.rect = {3, 4, 20, 30};
  request.field = 2;
  request.channel_mask = 0x7;
  request.reserved[0] = 11;
  request.reserved[3] = 44;
  PF_PreRenderOutput output{};
  ASSERT_EQ(PreRender(request, output), PF_Err_NONE);
  ASSERT_EQ(host_.images.checkouts.size(), 1u);
  const refhost::LayerCheckout& c = host_.images.checkouts[0];
  EXPECT_EQ(c.index, PARAM_INPUT);
  EXPECT_EQ(c.checkout_id, 0);
  EXPECT_TRUE(Same(c.request.rect, request.rect));
  EXPECT_EQ(c.request.field, 2);
  EXPECT_EQ(c.request.channel_mask, 0x7);
  EXPECT_EQ(c.request.reserved[0], 11);
  EXPECT_EQ(c.request.reserved[3], 44);
  EXPECT_EQ(c.request.preserve_rgb_of_zero_alpha, 1);
  EXPECT_EQ(c.time, 7);
  EXPECT_EQ(c.time_step, 2);
  EXPECT_EQ(c.time_scale, 30u);
  host_.EndFrame(output);
  ExpectClean();
}

// The host answers the input's check-out with the request clipped to the layer
// (empty when it misses the layer) and the whole layer as the largest result.
TEST_F(PreRenderTest, ResultRectanglesAccumulateTheInputsOverThePreset) {
  const struct {
    const char* name;
    PF_LRect request, preset_result, preset_max, result, max;
  } cases[] = {
      {"empty presets take the input's", WHOLE, NONE, NONE, WHOLE, WHOLE},
      {"part of the layer", {10, 5, 30, 20}, NONE, NONE, {10, 5, 30, 20}, WHOLE},
      {"presets grow to cover the input", WHOLE, {-10, -5, 20, 20}, {0, 0, 100, 10},
       {-10, -5, WIDTH, HEIGHT}, {0, 0, 100, HEIGHT}},
      {"an empty input leaves a preset alone", {100, 100, 120, 120}, {1, 1, 4, 4}, {2, 2, 90, 90},
       {1, 1, 4, 4}, {0, 0, 90, 90}},
      {"an empty preset takes even an empty input", {100, 100, 120, 120}, {5, 0, 5, 10}, NONE, NONE,
       WHOLE},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PF_RenderRequest request{};
    request.rect = c.request;
    PF_PreRenderOutput output{};
    output.result_rect = c.preset_result;
    output.max_result_rect = c.preset_max;
    ASSERT_EQ(PreRender(request, output), PF_Err_NONE);
    EXPECT_TRUE(Same(output.result_rect, c.result)) << Show(output.result_rect);
    EXPECT_TRUE(Same(output.max_result_rect, c.max)) << Show(output.max_result_rect);
    host_.EndFrame(output);
  }
  ExpectClean();
}

// The calls that take and give back, in order, each named with its parameter.
std::vector<std::string> TakeAndGiveBack(const refhost::Trace& trace) {
  std::vector<std::string> calls;
  for (const refhost::TraceEntry& e : trace.Entries()) {
    if (e.call == "checkout_param") {
      calls.push_back("out " + std::to_string(e.args.value("index", -1)));
    } else if (e.call == "checkin_param") {
      calls.push_back("in " + std::to_string(e.args["def"].value("id", -1)));
    } else if (e.call == "host_new_handle" || e.call == "host_lock_handle" ||
               e.call == "host_dispose_handle" || e.call == "checkout_layer") {
      calls.push_back(e.call);
    }
  }
  return calls;
}

TEST_F(PreRenderTest, AFailureAtEachStepGivesBackWhatWasTaken) {
  // The parameters in the order they are checked out.
  const std::vector<std::string> order = {"1", "2", "3", "6", "8", "9", "7"};
  struct Case {
    std::string name;
    std::string call;
    int nth;
    PF_Err result;
    std::vector<std::string> calls;
  };
  std::vector<Case> cases = {
      {"allocation", "host_new_handle", 1, PF_Err_OUT_OF_MEMORY, {"host_new_handle"}},
      {"lock", "host_lock_handle", 1, PF_Err_OUT_OF_MEMORY,
       {"host_new_handle", "host_lock_handle", "host_dispose_handle"}},
  };
  for (int k = 1; k <= 8; ++k) {
    // k parameters tried (the last failing), or all seven and then the layer.
    Case c{k <= 7 ? "parameter #" + std::to_string(k) : "layer", k <= 7 ? "checkout_param" : "checkout_layer",
           k <= 7 ? k : 1, INJECTED, {"host_new_handle", "host_lock_handle"}};
    const int tried = k <= 7 ? k : 7;
    const int succeeded = k <= 7 ? k - 1 : 7;
    for (int i = 0; i < tried; ++i) c.calls.push_back("out " + order[i]);
    if (k == 8) c.calls.push_back("checkout_layer");
    for (int i = 0; i < succeeded; ++i) c.calls.push_back("in " + order[i]);
    cases.push_back(c);
  }
  Set(PARAM_PATH, OPEN_PATH);
  const PF_LRect preset = {1, 2, 3, 4};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host_.faults.Clear();
    host_.trace.Clear();
    host_.faults.FailCall(c.call, c.nth, INJECTED);
    PF_PreRenderOutput output{};
    output.result_rect = preset;
    output.max_result_rect = preset;
    EXPECT_EQ(PreRender(output), c.result);
    EXPECT_EQ(TakeAndGiveBack(host_.trace), c.calls);
    EXPECT_TRUE(Same(output.result_rect, preset));
    EXPECT_TRUE(Same(output.max_result_rect, preset));
    EXPECT_EQ(host_.OutData().out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE, 0);
    // A handle made and locked stays with the host for the frame, unwritten.
    const bool handed_over = c.result == INJECTED;
    EXPECT_EQ(output.pre_render_data != nullptr, handed_over);
    if (handed_over) {
      EXPECT_EQ(InfoOf(output).path_id, 0u);
    }
    host_.EndFrame(output);
    ExpectClean();
  }
}

}  // namespace
