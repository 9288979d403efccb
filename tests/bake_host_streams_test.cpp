// The reference host's AEGP side of the parameters, which bakes and the upkeep
// rely on: keyframe batches joining or leaving the streams, the plug-in id and
// the ledger, and the parameter-state snapshots. The module side is played by a
// test entry point, with the effect's own parameter setup linked in-process.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/handlers.h"
#include "params/param_index.h"
#include "refhost/host.h"

namespace {

using refhost::OneDValue;
using refhost::TwoDValue;

using Body = std::function<PF_Err(PF_InData*)>;
Body test_body;

PF_Err TestEntry(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data, PF_ParamDef* params[],
                 PF_LayerDef* output, void* /*extra*/) {
  if (test_body) return test_body(in_data);
  if (cmd == PF_Cmd_PARAMS_SETUP) return ParamsSetup(in_data, out_data, params, output);
  return PF_Err_NONE;
}

constexpr AEGP_PluginID ID = 7001;  // what registration gives this host's first plug-in

template <class Suite>
const Suite* SuiteOf(refhost::Host& host, const char* name, A_long version) {
  return static_cast<const Suite*>(host.FindSuite(name, version));
}

class HostStreamsTest : public ::testing::Test {
 protected:
  HostStreamsTest() : host_(TestEntry) {
    host_.params.SetLayerSize(200, 100);
    EXPECT_EQ(host_.ParamsSetup(), PF_Err_NONE);
    host_.SetPluginId(ID);
    stream_ = SuiteOf<AEGP_StreamSuite7>(host_, kAEGPStreamSuite, kAEGPStreamSuiteVersion7);
    keys_ = SuiteOf<AEGP_KeyframeSuite3>(host_, kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion3);
    effects_ = SuiteOf<AEGP_EffectSuite2>(host_, kAEGPEffectSuite, kAEGPEffectSuiteVersion2);
    pf_ = SuiteOf<AEGP_PFInterfaceSuite1>(host_, kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1);
    utils_ = SuiteOf<PF_ParamUtilsSuite1>(host_, kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1);
  }
  ~HostStreamsTest() override { test_body = nullptr; }

  PF_Err Run(Body body) {
    test_body = std::move(body);
    const PF_Err err = host_.Send(PF_Cmd_SMART_RENDER);
    test_body = nullptr;
    return err;
  }

  // One stream of this effect, with its effect reference, for the span of `use`.
  PF_Err WithStream(PF_InData* in, PF_ParamIndex index,
                    const std::function<PF_Err(AEGP_StreamRefH)>& use) {
    AEGP_EffectRefH effect = nullptr;
    AEGP_StreamRefH stream = nullptr;
    PF_Err err = pf_->AEGP_GetNewEffectForEffect(ID, in->effect_ref, &effect);
    if (!err) err = stream_->AEGP_GetNewEffectStreamByIndex(ID, effect, index, &stream);
    if (!err) err = use(stream);
    if (stream != nullptr) stream_->AEGP_DisposeStream(stream);
    if (effect != nullptr) effects_->AEGP_DisposeEffect(effect);
    return err;
  }

  // A batch on the stream: keys at the times, each given the point when there
  // is one, then ended with `add`.
  PF_Err Batch(PF_InData* in, PF_ParamIndex index, const std::vector<A_Time>& times,
               const std::vector<AEGP_TwoDVal>& points, A_Boolean add) {
    return WithStream(in, index, [&](AEGP_StreamRefH stream) {
      AEGP_AddKeyframesInfoH batch = nullptr;
      PF_Err err = keys_->AEGP_StartAddKeyframes(stream, &batch);
      for (std::size_t i = 0; !err && i < times.size(); ++i) {
        A_long key = -1;
        err = keys_->AEGP_AddKeyframes(batch, AEGP_LTimeMode_LayerTime, &times[i], &key);
        if (err || i >= points.size()) continue;
        AEGP_StreamValue2 value{};
        err = stream_->AEGP_GetNewStreamValue(ID, stream, AEGP_LTimeMode_LayerTime, &times[i], 1,
                                              &value);
        value.val.two_d = points[i];
        if (!err) err = keys_->AEGP_SetAddKeyframe(batch, key, &value);
        stream_->AEGP_DisposeStreamValue(&value);
      }
      const PF_Err end = keys_->AEGP_EndAddKeyframes(add, batch);
      return err ? err : end;
    });
  }

  void ExpectClean() {
    EXPECT_TRUE(host_.Violations().empty()) << ::testing::PrintToString(host_.Violations());
    EXPECT_TRUE(host_.Outstanding().empty()) << ::testing::PrintToString(host_.Outstanding());
  }

  refhost::Host host_;
  const AEGP_StreamSuite7* stream_;
  const AEGP_KeyframeSuite3* keys_;
  const AEGP_EffectSuite2* effects_;
  const AEGP_PFInterfaceSuite1* pf_;
  const PF_ParamUtilsSuite1* utils_;
};

TEST_F(HostStreamsTest, BatchesEndedWithAddJoinTheStreamAndOthersAreDropped) {
  ASSERT_TRUE(host_.params.SetKeyframes(PARAM_POINT, {{{5, 1}, TwoDValue(1, 1)},
                                                      {{9, 1}, TwoDValue(9, 9)}}));

  // Dropped: the stream keeps exactly what it had.
  ASSERT_EQ(Run([&](PF_InData* in) {
              return Batch(in, PARAM_POINT, {{0, 1}, {5, 1}}, {{7, 7}, {8, 8}}, 0);
            }),
            PF_Err_NONE);
  auto keys = host_.params.Keyframes(PARAM_POINT);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].value.two_d.x, 1.0);

  // Kept: 10/2 is the instant of 5/1, whose keyframe it replaces; a key given no
  // value takes the stream's value at its time (the held 9, 9 after the last).
  ASSERT_EQ(Run([&](PF_InData* in) {
              return Batch(in, PARAM_POINT, {{0, 1}, {10, 2}, {12, 1}}, {{2, 3}, {4, 5}}, 1);
            }),
            PF_Err_NONE);
  keys = host_.params.Keyframes(PARAM_POINT);
  ASSERT_EQ(keys.size(), 4u);
  const double expected[][3] = {{0, 2, 3}, {5, 4, 5}, {9, 9, 9}, {12, 9, 9}};
  for (std::size_t i = 0; i < keys.size(); ++i) {
    const double seconds = static_cast<double>(keys[i].time.value) / keys[i].time.scale;
    EXPECT_EQ(seconds, expected[i][0]) << i;
    EXPECT_EQ(keys[i].value.two_d.x, expected[i][1]) << i;
    EXPECT_EQ(keys[i].value.two_d.y, expected[i][2]) << i;
  }
  ExpectClean();
}

TEST_F(HostStreamsTest, EveryCallTakingAPluginIdDemandsTheRegisteredOne) {
  struct Case {
    const char* call;
    std::function<PF_Err(PF_InData*, AEGP_EffectRefH, AEGP_StreamRefH)> make;
  };
  const AEGP_PluginID wrong = ID + 1;
  const Case cases[] = {
      {"AEGP_GetNewEffectForEffect",
       [&](PF_InData* in, AEGP_EffectRefH, AEGP_StreamRefH) {
         AEGP_EffectRefH effect = nullptr;
         return pf_->AEGP_GetNewEffectForEffect(wrong, in->effect_ref, &effect);
       }},
      {"AEGP_GetNewEffectStreamByIndex",
       [&](PF_InData*, AEGP_EffectRefH effect, AEGP_StreamRefH) {
         AEGP_StreamRefH stream = nullptr;
         return stream_->AEGP_GetNewEffectStreamByIndex(wrong, effect, PARAM_POINT, &stream);
       }},
      {"AEGP_GetNewStreamValue",
       [&](PF_InData*, AEGP_EffectRefH, AEGP_StreamRefH stream) {
         AEGP_StreamValue2 value{};
         const A_Time t{0, 1};
         return stream_->AEGP_GetNewStreamValue(wrong, stream, AEGP_LTimeMode_LayerTime, &t, 1,
                                                &value);
       }},
      {"AEGP_SetStreamValue",
       [&](PF_InData*, AEGP_EffectRefH, AEGP_StreamRefH stream) {
         AEGP_StreamValue2 value{};
         const A_Time t{0, 1};
         PF_Err err = stream_->AEGP_GetNewStreamValue(ID, stream, AEGP_LTimeMode_LayerTime, &t,
                                                      1, &value);
         if (!err) err = stream_->AEGP_SetStreamValue(wrong, stream, &value);
         stream_->AEGP_DisposeStreamValue(&value);
         return err;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.call);
    host_.ledger.ClearViolations();
    PF_Err made = PF_Err_NONE;
    ASSERT_EQ(Run([&](PF_InData* in) {
                AEGP_EffectRefH effect = nullptr;
                pf_->AEGP_GetNewEffectForEffect(ID, in->effect_ref, &effect);
                AEGP_StreamRefH stream = nullptr;
                stream_->AEGP_GetNewEffectStreamByIndex(ID, effect, PARAM_GUIDE, &stream);
                made = c.make(in, effect, stream);
                stream_->AEGP_DisposeStream(stream);
                effects_->AEGP_DisposeEffect(effect);
                return PF_Err_NONE;
              }),
              PF_Err_NONE);
    EXPECT_EQ(made, PF_Err_BAD_CALLBACK_PARAM);
    ASSERT_EQ(host_.Violations().size(), 1u);
    EXPECT_EQ(host_.Violations()[0].rfind(c.call, 0), 0u) << host_.Violations()[0];
    EXPECT_TRUE(host_.Outstanding().empty());
  }
}

// What a command leaves out is taken back when it ends, on record; a reference
// kept into the next command is dead there.
TEST_F(HostStreamsTest, ReferencesLeftOutAreViolationsAndDeadInTheNextCommand) {
  AEGP_StreamRefH kept = nullptr;
  AEGP_AddKeyframesInfoH kept_batch = nullptr;
  AEGP_StreamValue2 value{};
  ASSERT_EQ(Run([&](PF_InData* in) {
              AEGP_EffectRefH effect = nullptr;
              const A_Time t{0, 1};
              PF_Err err = pf_->AEGP_GetNewEffectForEffect(ID, in->effect_ref, &effect);
              if (!err) err = stream_->AEGP_GetNewEffectStreamByIndex(ID, effect, PARAM_ANGLE, &kept);
              if (!err) {
                err = stream_->AEGP_GetNewStreamValue(ID, kept, AEGP_LTimeMode_LayerTime, &t, 1,
                                                      &value);
              }
              if (!err) err = keys_->AEGP_StartAddKeyframes(kept, &kept_batch);
              return err;
            }),
            PF_Err_NONE);
  const std::vector<std::string> left = {
      "aegp_effect not given back by PF_Cmd_SMART_RENDER (1)",
      "aegp_stream not given back by PF_Cmd_SMART_RENDER (1)",
      "keyframe_batch not given back by PF_Cmd_SMART_RENDER (1)",
      "stream_value not given back by PF_Cmd_SMART_RENDER (1)"};
  EXPECT_EQ(host_.Violations(), left);
  EXPECT_TRUE(host_.Outstanding().empty());

  host_.ledger.ClearViolations();
  std::vector<PF_Err> later;
  ASSERT_EQ(Run([&](PF_InData*) {
              A_long key = 0;
              const A_Time t{0, 1};
              AEGP_AddKeyframesInfoH batch = nullptr;
              later.push_back(keys_->AEGP_StartAddKeyframes(kept, &batch));
              later.push_back(keys_->AEGP_AddKeyframes(kept_batch, AEGP_LTimeMode_LayerTime, &t, &key));
              later.push_back(stream_->AEGP_DisposeStreamValue(&value));
              return PF_Err_NONE;
            }),
            PF_Err_NONE);
  EXPECT_EQ(later, std::vector<PF_Err>(3, PF_Err_BAD_CALLBACK_PARAM));
  EXPECT_EQ(host_.Violations().size(), 3u) << ::testing::PrintToString(host_.Violations());
  EXPECT_TRUE(host_.params.Keyframes(PARAM_ANGLE).empty());
}

// A value record goes only to the stream it was read from.
TEST_F(HostStreamsTest, AValueOfAnotherParameterIsRefused) {
  ASSERT_EQ(Run([&](PF_InData* in) {
              return WithStream(in, PARAM_POINT, [&](AEGP_StreamRefH point) {
                return WithStream(in, PARAM_ANGLE, [&](AEGP_StreamRefH angle) {
                  const A_Time t{0, 1};
                  AEGP_StreamValue2 value{};
                  AEGP_AddKeyframesInfoH batch = nullptr;
                  A_long key = 0;
                  PF_Err err = stream_->AEGP_GetNewStreamValue(ID, angle, AEGP_LTimeMode_LayerTime,
                                                               &t, 1, &value);
                  if (!err) err = keys_->AEGP_StartAddKeyframes(point, &batch);
                  if (!err) err = keys_->AEGP_AddKeyframes(batch, AEGP_LTimeMode_LayerTime, &t, &key);
                  EXPECT_EQ(keys_->AEGP_SetAddKeyframe(batch, key, &value), PF_Err_BAD_CALLBACK_PARAM);
                  EXPECT_EQ(stream_->AEGP_SetStreamValue(ID, point, &value), PF_Err_BAD_CALLBACK_PARAM);
                  keys_->AEGP_EndAddKeyframes(0, batch);
                  stream_->AEGP_DisposeStreamValue(&value);
                  return err;
                });
              });
            }),
            PF_Err_NONE);
  EXPECT_EQ(host_.Violations().size(), 2u) << ::testing::PrintToString(host_.Violations());
  EXPECT_TRUE(host_.Outstanding().empty());
}

// "Changed since the snapshot" covers a value, a keyframe and a flag; writing what
// is already there is no change. A block the host did not fill is no snapshot.
TEST_F(HostStreamsTest, SnapshotsTellWhetherAValueAKeyframeOrAFlagChanged) {
  struct Case {
    const char* what;
    std::function<void()> edit;
    bool all_changed, offset_changed;
  };
  const Case cases[] = {
      {"nothing", [] {}, false, false},
      {"the same value again",
       [&] { ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 0.0)); }, false, false},
      {"a value", [&] { ASSERT_TRUE(host_.params.SetValue(PARAM_OFFSET_PERCENT, 5.0)); }, true, true},
      {"another parameter's keyframe",
       [&] { ASSERT_TRUE(host_.params.AddKeyframe(PARAM_ANGLE, {3, 1}, OneDValue(10))); }, true, false},
      {"a flag", [&] { ASSERT_TRUE(host_.params.SetHidden(PARAM_OFFSET_PERCENT, true)); }, true, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    PF_State state{};
    ASSERT_EQ(Run([&](PF_InData* in) { return utils_->PF_GetCurrentState(in->effect_ref, &state); }),
              PF_Err_NONE);
    c.edit();
    PF_Boolean all = 2, offset = 2;
    ASSERT_EQ(Run([&](PF_InData* in) {
                PF_Err err = utils_->PF_HasParamChanged(in->effect_ref, &state,
                                                        PF_ParamIndex_CHECK_ALL_HONOR_EXCLUDE, &all);
                if (!err) {
                  err = utils_->PF_HasParamChanged(in->effect_ref, &state, PARAM_OFFSET_PERCENT,
                                                   &offset);
                }
                return err;
              }),
              PF_Err_NONE);
    EXPECT_EQ(all, c.all_changed ? 1 : 0);
    EXPECT_EQ(offset, c.offset_changed ? 1 : 0);
  }
  ExpectClean();

  const PF_State made_up{};
  PF_Boolean changed = 0;
  EXPECT_EQ(Run([&](PF_InData* in) {
              return utils_->PF_HasParamChanged(in->effect_ref, &made_up, -3, &changed);
            }),
            PF_Err_BAD_CALLBACK_PARAM);
  EXPECT_EQ(host_.Violations().size(), 1u);

  // A one-byte block passed for a snapshot is refused both ways, never overrun.
  PF_Handle placeholder = host_.handles.New(1);
  host_.SetSequenceDataHandle(placeholder);
  auto* state = static_cast<PF_State*>(*placeholder);
  std::vector<PF_Err> results;
  ASSERT_EQ(Run([&](PF_InData* in) {
              results.push_back(utils_->PF_GetCurrentState(in->effect_ref, state));
              results.push_back(utils_->PF_HasParamChanged(in->effect_ref, state, -3, &changed));
              return PF_Err_NONE;
            }),
            PF_Err_NONE);
  EXPECT_EQ(results, std::vector<PF_Err>(2, PF_Err_BAD_CALLBACK_PARAM));
  EXPECT_EQ(host_.Violations().size(), 3u) << ::testing::PrintToString(host_.Violations());
}

}  // namespace
