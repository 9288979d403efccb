// The reference host's parameter streams: values over time, check-out and check-in,
// the copies add_param keeps, flags and revisions. The module side is played by a
// test entry point, with the effect's own parameter setup linked in-process.
#include <cmath>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/handlers.h"
#include "params/param_index.h"
#include "refhost/host.h"

namespace {

using refhost::ColorValue;
using refhost::OneDValue;
using refhost::ParamKeyframe;
using refhost::TwoDValue;

using Body = std::function<PF_Err(PF_InData*, PF_OutData*, PF_ParamDef*[])>;
Body test_body;

// Runs the test's body for any command when one is set; otherwise parameter setup
// is the effect's own.
PF_Err TestEntry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                 PF_LayerDef* output, void* /*extra*/) {
  if (test_body) return test_body(in_data, out_data, params);
  if (cmd == PF_Cmd_PARAMS_SETUP) return ParamsSetup(in_data, out_data, params, output);
  return PF_Err_NONE;
}

constexpr PF_Fixed FIXED(double n) { return static_cast<PF_Fixed>(n * 65536); }

class ParamStreamsTest : public ::testing::Test {
 protected:
  ParamStreamsTest() : host_(TestEntry) {
    host_.params.SetLayerSize(200, 100);
    EXPECT_EQ(host_.ParamsSetup(), PF_Err_NONE);
  }
  ~ParamStreamsTest() override { test_body = nullptr; }

  // Runs `body` as the module's code within one command.
  PF_Err Run(Body body, PF_Cmd cmd = PF_Cmd_UPDATE_PARAMS_UI) {
    test_body = std::move(body);
    const PF_Err err = host_.Send(cmd);
    test_body = nullptr;
    return err;
  }

  void ExpectClean() {
    EXPECT_TRUE(host_.Violations().empty()) << ::testing::PrintToString(host_.Violations());
    EXPECT_TRUE(host_.Outstanding().empty()) << ::testing::PrintToString(host_.Outstanding());
  }

  refhost::Host host_;
  refhost::ParamStreams& params_ = host_.params;
};

// The value fields of a checked-out record, whatever its type.
std::vector<A_long> RecordValue(const PF_ParamDef& def) {
  const PF_ParamDefUnion& u = def.u;
  switch (def.param_type) {
    case PF_Param_FIX_SLIDER: return {u.fd.value};
    case PF_Param_ANGLE: return {u.ad.value};
    case PF_Param_POINT: return {u.td.x_value, u.td.y_value};
    case PF_Param_CHECKBOX: return {u.bd.value};
    case PF_Param_POPUP: return {u.pd.value};
    case PF_Param_PATH: return {static_cast<A_long>(u.path_d.path_id)};
    case PF_Param_COLOR: return {u.cd.value.alpha, u.cd.value.red, u.cd.value.green, u.cd.value.blue};
    default: return {};
  }
}

TEST_F(ParamStreamsTest, CheckoutInterpolatesSlidersAnglesAndPointAndHoldsTheRest) {
  struct Keys {
    PF_ParamIndex index;
    std::vector<ParamKeyframe> keys;
  };
  const PF_Pixel red{255, 255, 0, 0};
  const PF_Pixel white{255, 255, 255, 255};
  const Keys streams[] = {
      {PARAM_OFFSET_PERCENT, {{{0, 1}, OneDValue(0)}, {{10, 1}, OneDValue(100)}}},
      {PARAM_OFFSET_ANGLE, {{{0, 1}, OneDValue(0)}, {{4, 1}, OneDValue(-90)}}},
      {PARAM_ANGLE, {{{0, 1}, OneDValue(0)}, {{2, 1}, OneDValue(720)}}},
      {PARAM_POINT, {{{0, 1}, TwoDValue(0, 0)}, {{2, 1}, TwoDValue(100, 50)}}},
      {PARAM_PATH, {{{0, 1}, OneDValue(3)}, {{5, 1}, OneDValue(7)}}},
      {PARAM_ON_TRANSPARENT, {{{0, 1}, OneDValue(0)}, {{10, 1}, OneDValue(1)}}},
      {PARAM_BAKE, {{{0, 1}, OneDValue(1)}, {{5, 1}, OneDValue(2)}}},
      {PARAM_GUIDE, {{{0, 1}, OneDValue(1)}, {{5, 1}, OneDValue(0)}}},
      {PARAM_GUIDE_COLOR, {{{0, 1}, ColorValue(red)}, {{10, 1}, ColorValue(white)}}},
  };
  for (const Keys& s : streams) ASSERT_TRUE(params_.SetKeyframes(s.index, s.keys)) << s.index;

  struct Query {
    PF_ParamIndex index;
    A_long time;
    A_u_long scale;
    std::vector<A_long> expected;
  };
  const Query queries[] = {
      {PARAM_OFFSET_PERCENT, 5, 1, {FIXED(50)}},
      {PARAM_OFFSET_PERCENT, 25, 10, {FIXED(25)}},  // the same stream over another scale
      {PARAM_OFFSET_PERCENT, -3, 1, {FIXED(0)}},    // before the first keyframe
      {PARAM_OFFSET_PERCENT, 12, 1, {FIXED(100)}},  // after the last
      {PARAM_OFFSET_ANGLE, 1, 1, {FIXED(-22.5)}},
      {PARAM_ANGLE, 1, 1, {FIXED(360)}},
      {PARAM_POINT, 1, 1, {FIXED(50), FIXED(25)}},
      {PARAM_POINT, 2, 1, {FIXED(100), FIXED(50)}},
      {PARAM_PATH, 4, 1, {3}},
      {PARAM_PATH, 5, 1, {7}},
      {PARAM_ON_TRANSPARENT, 9, 1, {0}},
      {PARAM_ON_TRANSPARENT, 10, 1, {1}},
      {PARAM_BAKE, 4, 1, {1}},
      {PARAM_BAKE, 5, 1, {2}},
      {PARAM_GUIDE, 4, 1, {1}},
      {PARAM_GUIDE_COLOR, 9, 1, {255, 255, 0, 0}},
      {PARAM_GUIDE_COLOR, 10, 1, {255, 255, 255, 255}},
  };
  for (const Query& q : queries) {
    SCOPED_TRACE(std::to_string(q.index) + " at " + std::to_string(q.time) + "/" +
                 std::to_string(q.scale));
    PF_ParamDef def{};
    ASSERT_EQ(Run([&](PF_InData* in, PF_OutData*, PF_ParamDef*[]) {
                PF_Err err = in->inter.checkout_param(in->effect_ref, q.index, q.time, 1, q.scale, &def);
                if (err == PF_Err_NONE) {
                  EXPECT_EQ(host_.ledger.Outstanding("param"), 1);
                  in->inter.checkin_param(in->effect_ref, &def);
                }
                return err;
              }),
              PF_Err_NONE);
    EXPECT_EQ(RecordValue(def), q.expected);
    EXPECT_EQ(def.uu.id, q.index);
  }
  ExpectClean();
}

// Values that must still read as numbers: a time between keyframes at instants a
// double cannot tell apart (1000000004/1000000005 < 1000000005/1000000006 <
// 1000000006/1000000007), and a value that is not a number, which only a test stores.
TEST_F(ParamStreamsTest, CheckoutReadsNumbersBetweenCloseInstantsAndForNaN) {
  ASSERT_TRUE(params_.SetKeyframes(PARAM_OFFSET_PERCENT,
                                   {{{1000000004, 1000000005}, OneDValue(10)},
                                    {{1000000006, 1000000007}, OneDValue(90)}}));
  PF_ParamDef def{};
  ASSERT_TRUE(params_.Checkout(PARAM_OFFSET_PERCENT, 1000000005, 1, 1000000006, def));
  EXPECT_EQ(def.u.fd.value, FIXED(10));

  ASSERT_TRUE(params_.SetValueUnchecked(PARAM_OFFSET_ANGLE, OneDValue(std::nan(""))));
  ASSERT_TRUE(params_.Checkout(PARAM_OFFSET_ANGLE, 0, 1, 1, def));
  EXPECT_EQ(def.u.ad.value, 0);
}

TEST_F(ParamStreamsTest, CommandParamsCarryTheValuesAtTheCommandsTime) {
  ASSERT_TRUE(params_.SetKeyframes(PARAM_OFFSET_PERCENT,
                                   {{{0, 24}, OneDValue(0)}, {{48, 24}, OneDValue(80)}}));
  host_.Time().current_time = 12;
  host_.Time().time_scale = 24;
  PF_Fixed seen = -1;
  ASSERT_EQ(Run([&](PF_InData*, PF_OutData*, PF_ParamDef* params[]) {
              seen = params[PARAM_OFFSET_PERCENT]->u.fd.value;
              return PF_Err_NONE;
            }),
            PF_Err_NONE);
  EXPECT_EQ(seen, FIXED(20));
  ExpectClean();
}

TEST_F(ParamStreamsTest, UnbalancedOrForeignCheckinsAreViolations) {
  struct Case {
    const char* what;
    std::function<void(PF_InData*)> misuse;
    const char* violation;
  };
  const Case cases[] = {
      {"no check-in",
       [](PF_InData* in) {
         PF_ParamDef def{};
         in->inter.checkout_param(in->effect_ref, PARAM_GUIDE, 0, 1, 1, &def);
       },
       "param not given back by PF_Cmd_UPDATE_PARAMS_UI (1)"},
      {"check-in of a record never checked out",
       [](PF_InData* in) {
         PF_ParamDef def{};
         EXPECT_EQ(in->inter.checkin_param(in->effect_ref, &def), PF_Err_BAD_CALLBACK_PARAM);
       },
       "checkin_param of a parameter never checked out"},
      {"check-in of a copy",
       [](PF_InData* in) {
         PF_ParamDef def{};
         in->inter.checkout_param(in->effect_ref, PARAM_GUIDE, 0, 1, 1, &def);
         PF_ParamDef copy = def;
         EXPECT_EQ(in->inter.checkin_param(in->effect_ref, &copy), PF_Err_BAD_CALLBACK_PARAM);
         in->inter.checkin_param(in->effect_ref, &def);
       },
       "checkin_param of a parameter never checked out"},
      {"second check-in",
       [](PF_InData* in) {
         PF_ParamDef def{};
         in->inter.checkout_param(in->effect_ref, PARAM_GUIDE, 0, 1, 1, &def);
         in->inter.checkin_param(in->effect_ref, &def);
         EXPECT_EQ(in->inter.checkin_param(in->effect_ref, &def), PF_Err_BAD_CALLBACK_PARAM);
       },
       "checkin_param of a parameter never checked out"},
      {"index past the parameters",
       [](PF_InData* in) {
         PF_ParamDef def{};
         EXPECT_EQ(in->inter.checkout_param(in->effect_ref, PARAM_COUNT, 0, 1, 1, &def),
                   PF_Err_BAD_CALLBACK_PARAM);
       },
       "checkout_param of index 10 among 10 parameters"},
      {"time scale zero",
       [](PF_InData* in) {
         PF_ParamDef def{};
         EXPECT_EQ(in->inter.checkout_param(in->effect_ref, PARAM_GUIDE, 0, 1, 0, &def),
                   PF_Err_BAD_CALLBACK_PARAM);
       },
       "checkout_param with time_scale 0"},
      {"add outside parameter setup",
       [](PF_InData* in) {
         PF_ParamDef def{};
         def.param_type = PF_Param_ANGLE;
         def.uu.id = 42;
         EXPECT_EQ(in->inter.add_param(in->effect_ref, -1, &def), PF_Err_BAD_CALLBACK_PARAM);
       },
       "add_param during PF_Cmd_UPDATE_PARAMS_UI"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.ledger.ClearViolations();
    Run([&](PF_InData* in, PF_OutData*, PF_ParamDef*[]) {
      c.misuse(in);
      return PF_Err_NONE;
    });
    EXPECT_EQ(host_.Violations(), std::vector<std::string>{c.violation});
    EXPECT_TRUE(host_.Outstanding().empty());
    EXPECT_EQ(params_.Count(), 10);
  }
}

TEST_F(ParamStreamsTest, AddParamKeepsCopiesOfTheRecordAndItsTexts) {
  ASSERT_EQ(Run(
                [](PF_InData* in, PF_OutData*, PF_ParamDef*[]) {
                  char text[16] = "Guide";
                  PF_ParamDef def{};
                  def.param_type = PF_Param_CHECKBOX;
                  std::strcpy(def.name, "Box");
                  def.uu.id = 1;
                  def.u.bd.u.nameptr = text;
                  PF_Err err = in->inter.add_param(in->effect_ref, -1, &def);
                  // The module reuses both its record and its buffer.
                  std::strcpy(text, "One|Two");
                  std::memset(&def, 0, sizeof(def));
                  def.param_type = PF_Param_POPUP;
                  std::strcpy(def.name, "Menu");
                  def.uu.id = 2;
                  def.u.pd.num_choices = 2;
                  def.u.pd.dephault = 2;
                  def.u.pd.u.namesptr = text;
                  if (err == PF_Err_NONE) err = in->inter.add_param(in->effect_ref, -1, &def);
                  std::memset(text, '#', sizeof(text) - 1);
                  std::memset(&def, 0x5A, sizeof(def));
                  return err;
                },
                PF_Cmd_PARAMS_SETUP),
            PF_Err_NONE);
  ASSERT_EQ(params_.Count(), 3);  // a new setup starts again from the input layer
  EXPECT_STREQ(params_.Definition(1)->name, "Box");
  EXPECT_STREQ(params_.Definition(1)->u.bd.u.nameptr, "Guide");
  EXPECT_STREQ(params_.Definition(2)->name, "Menu");
  EXPECT_STREQ(params_.Definition(2)->u.pd.u.namesptr, "One|Two");
  EXPECT_EQ(params_.ValueAt(2, {0, 1})->one_d, 2.0);
  ExpectClean();
}

TEST_F(ParamStreamsTest, MalformedOrExcessAdditionsAreRefused) {
  auto checkbox = [](A_long id) {
    PF_ParamDef def{};
    def.param_type = PF_Param_CHECKBOX;
    def.uu.id = id;
    return def;
  };
  struct Case {
    const char* what;
    std::function<PF_ParamDef()> def;
    PF_ParamIndex index;
    PF_Err expected;
    const char* violation;
  };
  const Case cases[] = {
      {"unterminated name",
       [&] {
         PF_ParamDef def = checkbox(1);
         std::memset(def.name, 'n', sizeof(def.name));
         return def;
       },
       -1, PF_Err_BAD_CALLBACK_PARAM, "add_param refused: name without a terminator"},
      {"type the host does not keep",
       [&] {
         PF_ParamDef def = checkbox(1);
         def.param_type = PF_Param_ARBITRARY_DATA;
         return def;
       },
       -1, PF_Err_BAD_CALLBACK_PARAM,
       "add_param refused: parameter type 11 is not one this host keeps"},
      {"popup items not matching its count",
       [&] {
         PF_ParamDef def = checkbox(1);
         def.param_type = PF_Param_POPUP;
         def.u.pd.num_choices = 3;
         def.u.pd.dephault = 1;
         def.u.pd.u.namesptr = "a|b";
         return def;
       },
       -1, PF_Err_BAD_CALLBACK_PARAM,
       "add_param refused: popup of 3 choices with 2 items and default 1"},
      {"slider default outside its range",
       [&] {
         PF_ParamDef def = checkbox(1);
         def.param_type = PF_Param_FIX_SLIDER;
         def.u.fd.valid_max = def.u.fd.slider_max = FIXED(10);
         def.u.fd.dephault = FIXED(11);
         return def;
       },
       -1, PF_Err_BAD_CALLBACK_PARAM, "add_param refused: fixed slider ranges or default out of order"},
      {"index other than the next", [&] { return checkbox(1); }, 3, PF_Err_BAD_CALLBACK_PARAM,
       "add_param at index 3 with 1 parameters"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    host_.ledger.ClearViolations();
    PF_Err result = PF_Err_NONE;
    Run(
        [&](PF_InData* in, PF_OutData*, PF_ParamDef*[]) {
          PF_ParamDef def = c.def();
          result = in->inter.add_param(in->effect_ref, c.index, &def);
          return PF_Err_NONE;
        },
        PF_Cmd_PARAMS_SETUP);
    EXPECT_EQ(result, c.expected);
    EXPECT_EQ(host_.Violations(), std::vector<std::string>{c.violation});
    EXPECT_EQ(params_.Count(), 1);
  }

  // A duplicate id, and a module that never stops adding.
  host_.ledger.ClearViolations();
  std::vector<PF_Err> results;
  Run(
      [&](PF_InData* in, PF_OutData*, PF_ParamDef*[]) {
        PF_ParamDef def = checkbox(1);
        results.push_back(in->inter.add_param(in->effect_ref, -1, &def));
        results.push_back(in->inter.add_param(in->effect_ref, -1, &def));
        for (A_long id = 2; id <= refhost::ParamStreams::MAX_PARAMS; ++id) {
          def = checkbox(id);
          results.push_back(in->inter.add_param(in->effect_ref, -1, &def));
        }
        return PF_Err_NONE;
      },
      PF_Cmd_PARAMS_SETUP);
  EXPECT_EQ(results[0], PF_Err_NONE);
  EXPECT_EQ(results[1], PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(results.back(), PF_Err_OUT_OF_MEMORY);
  EXPECT_EQ(params_.Count(), refhost::ParamStreams::MAX_PARAMS);
  EXPECT_EQ(host_.Violations(),
            (std::vector<std::string>{"add_param refused: id 1 already in use",
                                      "add_param refused: more than 64 parameters"}));
}

TEST_F(ParamStreamsTest, StaticValuesAndKeyframesFollowTheHostsRules) {
  // Values out of range or of the wrong shape change nothing.
  EXPECT_FALSE(params_.SetValue(PARAM_INPUT, 1.0));
  EXPECT_FALSE(params_.SetValue(PARAM_COUNT, 1.0));
  EXPECT_FALSE(params_.SetValue(PARAM_POINT, 1.0));
  EXPECT_FALSE(params_.SetValue(PARAM_ANGLE, 1.0, 2.0));
  EXPECT_FALSE(params_.SetValue(PARAM_OFFSET_PERCENT, 100.5));
  EXPECT_FALSE(params_.SetValue(PARAM_BAKE, 3.0));
  EXPECT_FALSE(params_.SetValue(PARAM_BAKE, 1.5));
  EXPECT_FALSE(params_.SetValue(PARAM_GUIDE, 0.5));
  EXPECT_FALSE(params_.SetValue(PARAM_PATH, -1.0));
  EXPECT_FALSE(params_.AddKeyframe(PARAM_ANGLE, {1, 0}, OneDValue(1)));
  EXPECT_EQ(params_.ValueAt(PARAM_BAKE, {0, 1})->one_d, 1.0);

  // The point's default sits at the layer's centre and moves with the layer.
  EXPECT_EQ(params_.ValueAt(PARAM_POINT, {0, 1})->two_d.x, 100.0);
  params_.SetLayerSize(640, 360);
  EXPECT_EQ(params_.ValueAt(PARAM_POINT, {0, 1})->two_d.y, 180.0);
  ASSERT_TRUE(params_.SetValue(PARAM_POINT, 12.5, 7.0));
  params_.SetLayerSize(200, 100);
  EXPECT_EQ(params_.ValueAt(PARAM_POINT, {0, 1})->two_d.x, 12.5);

  // A keyframe at an instant that has one replaces it, whatever the scale.
  ASSERT_TRUE(params_.AddKeyframe(PARAM_ANGLE, {2, 1}, OneDValue(10)));
  ASSERT_TRUE(params_.AddKeyframe(PARAM_ANGLE, {0, 1}, OneDValue(0)));
  ASSERT_TRUE(params_.AddKeyframe(PARAM_ANGLE, {20, 10}, OneDValue(30)));
  const std::vector<ParamKeyframe> keys = params_.Keyframes(PARAM_ANGLE);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].value.one_d, 0.0);
  EXPECT_EQ(keys[1].value.one_d, 30.0);
  // Keyframed values are changed through keyframes only.
  EXPECT_FALSE(params_.SetValue(PARAM_ANGLE, 5.0));
  EXPECT_EQ(params_.ValueAt(PARAM_ANGLE, {1, 1})->one_d, 15.0);
  // Without keyframes the stream is static again, at its last static value.
  ASSERT_TRUE(params_.SetKeyframes(PARAM_ANGLE, {}));
  EXPECT_EQ(params_.ValueAt(PARAM_ANGLE, {1, 1})->one_d, 0.0);
  EXPECT_TRUE(params_.SetValue(PARAM_ANGLE, 5.0));

  // Colours read back as the host's 0..1 channels and check out as the same bytes.
  ASSERT_TRUE(params_.SetValue(PARAM_GUIDE_COLOR, PF_Pixel{255, 1, 128, 254}));
  const AEGP_ColorVal color = params_.ValueAt(PARAM_GUIDE_COLOR, {0, 1})->color;
  EXPECT_DOUBLE_EQ(color.greenF, 128 / 255.0);
  PF_ParamDef def{};
  ASSERT_TRUE(params_.Checkout(PARAM_GUIDE_COLOR, 0, 1, 1, def));
  EXPECT_EQ(RecordValue(def), (std::vector<A_long>{255, 1, 128, 254}));
}

TEST_F(ParamStreamsTest, ManyKeyframesInAnyOrderReadBackInTimeOrder) {
  // Keyframe k at k/4 s holds 10 k; they come in an order mixing appends, inserts
  // and replacements at the same instant in another scale.
  std::vector<int> order;
  for (int k = 0; k < 60; k += 2) order.push_back(k);
  for (int k = 59; k > 0; k -= 2) order.push_back(k);
  for (int k : order) ASSERT_TRUE(params_.AddKeyframe(PARAM_ANGLE, {k, 4}, OneDValue(k + 0.5)));
  for (int k = 0; k < 60; k += 3) ASSERT_TRUE(params_.AddKeyframe(PARAM_ANGLE, {k * 25, 100}, OneDValue(10 * k)));
  for (int k = 0; k < 60; ++k) {
    if (k % 3 != 0) {
      ASSERT_TRUE(params_.AddKeyframe(PARAM_ANGLE, {k, 4}, OneDValue(10 * k)));
    }
  }
  const std::vector<ParamKeyframe> keys = params_.Keyframes(PARAM_ANGLE);
  ASSERT_EQ(keys.size(), 60u);
  for (int k = 0; k < 60; ++k) {
    EXPECT_EQ(keys[static_cast<std::size_t>(k)].value.one_d, 10.0 * k) << k;
    // On a keyframe, between two, and before the first and after the last.
    EXPECT_EQ(params_.ValueAt(PARAM_ANGLE, {k, 4})->one_d, 10.0 * k) << k;
    EXPECT_DOUBLE_EQ(params_.ValueAt(PARAM_ANGLE, {2 * k + 1, 8})->one_d, k < 59 ? 10.0 * k + 5 : 590.0) << k;
  }
  EXPECT_EQ(params_.ValueAt(PARAM_ANGLE, {-1, 4})->one_d, 0.0);
}

TEST_F(ParamStreamsTest, RevisionMovesOnlyWhenSomethingChanges) {
  struct Case {
    const char* what;
    PF_ParamIndex stream;
    std::function<bool(refhost::ParamStreams&)> action;
    bool changes;
  };
  const Case cases[] = {
      {"new static value", PARAM_GUIDE, [](auto& p) { return p.SetValue(PARAM_GUIDE, 0.0); }, true},
      {"same static value", PARAM_GUIDE, [](auto& p) { return p.SetValue(PARAM_GUIDE, 0.0); }, false},
      {"default written again", PARAM_BAKE, [](auto& p) { return p.SetValue(PARAM_BAKE, 1.0); }, false},
      {"hidden", PARAM_OFFSET_ANGLE, [](auto& p) { return p.SetHidden(PARAM_OFFSET_ANGLE, true); }, true},
      {"hidden again", PARAM_OFFSET_ANGLE,
       [](auto& p) { return p.SetHidden(PARAM_OFFSET_ANGLE, true); }, false},
      {"keyframe", PARAM_ANGLE,
       [](auto& p) { return p.AddKeyframe(PARAM_ANGLE, {3, 1}, OneDValue(9)); }, true},
      {"same keyframe", PARAM_ANGLE,
       [](auto& p) { return p.AddKeyframe(PARAM_ANGLE, {3, 1}, OneDValue(9)); }, false},
      {"same keyframe list", PARAM_ANGLE,
       [](auto& p) { return p.SetKeyframes(PARAM_ANGLE, {{{30, 10}, OneDValue(9)}}); }, false},
      {"keyframes removed", PARAM_ANGLE, [](auto& p) { return p.SetKeyframes(PARAM_ANGLE, {}); },
       true},
      {"layer resized under a default point", PARAM_POINT,
       [](auto& p) {
         p.SetLayerSize(300, 100);
         return true;
       },
       true},
      {"refused value", PARAM_BAKE, [](auto& p) { return !p.SetValue(PARAM_BAKE, 9.0); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto revision = params_.Revision();
    const auto changed_at = params_.ChangedAt(c.stream);
    ASSERT_TRUE(c.action(params_));
    EXPECT_EQ(params_.Revision() != revision, c.changes);
    EXPECT_EQ(params_.ChangedAt(c.stream) != changed_at, c.changes);
    if (c.changes) {
      EXPECT_EQ(params_.ChangedAt(c.stream), params_.Revision());
    }
  }
  EXPECT_TRUE(params_.Hidden(PARAM_OFFSET_ANGLE));
  EXPECT_FALSE(params_.Hidden(PARAM_OFFSET_PERCENT));
}

}  // namespace
