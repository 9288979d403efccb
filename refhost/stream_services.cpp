// The AEGP side of the effect's parameters: effect and stream references, stream
// values, dynamic flags, keyframe batches, and the parameter-state snapshots of
// "PF Param Utils Suite" 1. All of them act on the same streams checkout_param reads.
#include <cstring>
#include <string>

#include "serve.h"

namespace refhost {

namespace {

nlohmann::json TimeJson(const A_Time* time) {
  if (time == nullptr) return nullptr;
  return {{"value", time->value}, {"scale", time->scale}};
}

nlohmann::json ValueJson(const AEGP_StreamVal2& v, PF_ParamIndex index) {
  const PF_ParamDef* def = Host::Current()->params.Definition(index);
  if (def != nullptr && def->param_type == PF_Param_POINT) return {v.two_d.x, v.two_d.y};
  if (def != nullptr && def->param_type == PF_Param_COLOR) {
    return {v.color.alphaF, v.color.redF, v.color.greenF, v.color.blueF};
  }
  return v.one_d;
}

// When a command ends, the host takes back what is still out through the ledger
// alone; references the ledger no longer counts belong to a command that has
// ended and are no longer the module's to use. Every call syncs first, so the
// first call of a command finds only such leftovers.
void SyncWithLedger(Host& host) {
  AegpObjects& aegp = host.aegp;
  const auto stale = [&](const char* kind, std::size_t held) {
    return static_cast<std::size_t>(host.ledger.Outstanding(kind)) < held;
  };
  if (stale("aegp_effect", aegp.effects.size())) aegp.effects.clear();
  if (stale("aegp_stream", aegp.streams.size())) aegp.streams.clear();
  if (stale("stream_value", aegp.values.size())) aegp.values.clear();
  if (stale("keyframe_batch", aegp.batches.size())) aegp.batches.clear();
}

// The value record must be one the host filled for the same parameter: a value
// of another stream would put one parameter's value into another.
bool ValueOfStream(Host& host, const AEGP_StreamValue2* valueP, PF_ParamIndex index,
                   const char* call) {
  auto given = host.aegp.values.find(valueP);
  if (given != host.aegp.values.end() && given->second == index) return true;
  const std::string what = given == host.aegp.values.end()
                               ? "a value the host did not give"
                               : "a value of parameter " + std::to_string(given->second);
  host.ledger.Violation(std::string(call) + " with " + what + " for parameter " +
                        std::to_string(index));
  return false;
}

// The parameter a stream or batch is for, as the trace shows it also for a call
// the host was told to fail; -1 for one the host does not know.
PF_ParamIndex TracedIndex(const void* reference) {
  const Host* host = Host::Current();
  if (host == nullptr) return -1;
  auto stream = host->aegp.streams.find(reference);
  if (stream != host->aegp.streams.end()) return stream->second.index;
  auto batch = host->aegp.batches.find(reference);
  return batch != host->aegp.batches.end() ? batch->second.index : -1;
}

bool LiveEffect(Host& host, AEGP_EffectRefH effect, const char* call) {
  if (host.aegp.effects.count(effect) != 0) return true;
  host.ledger.Violation(std::string(call) + " of an effect reference the host did not give");
  return false;
}

const AegpStream* LiveStream(Host& host, AEGP_StreamRefH stream, const char* call) {
  auto it = host.aegp.streams.find(stream);
  if (it != host.aegp.streams.end()) return &it->second;
  host.ledger.Violation(std::string(call) + " of a stream reference the host did not give");
  return nullptr;
}

AegpBatch* LiveBatch(Host& host, AEGP_AddKeyframesInfoH batch, const char* call) {
  auto it = host.aegp.batches.find(batch);
  if (it != host.aegp.batches.end()) return &it->second;
  host.ledger.Violation(std::string(call) + " of a keyframe batch the host did not start");
  return nullptr;
}

// ---- AEGP PF Interface Suite 1 ----

A_Err GetNewEffectForEffect(AEGP_PluginID plugin_id, PF_ProgPtr effect_ref, AEGP_EffectRefH* effectPH) {
  return ServeEffectCall(
      "AEGP_GetNewEffectForEffect", effect_ref, [&] { return nlohmann::json{{"plugin_id", plugin_id}}; },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        if (!CheckPluginId(host, plugin_id, "AEGP_GetNewEffectForEffect") || effectPH == nullptr) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        const void* token = host.aegp.NewToken();
        host.aegp.effects[token] = true;
        host.ledger.Take("aegp_effect");
        *effectPH = reinterpret_cast<AEGP_EffectRefH>(const_cast<void*>(token));
        return PF_Err_NONE;
      });
}

// ---- AEGP Effect Suite 2 ----

A_Err DisposeEffect(AEGP_EffectRefH effect) {
  return ServeGiveBackCall("AEGP_DisposeEffect", [] { return nlohmann::json::object(); },
                           [&](Host& host) -> PF_Err {
                             SyncWithLedger(host);
                             if (!LiveEffect(host, effect, "AEGP_DisposeEffect")) return PF_Err_BAD_CALLBACK_PARAM;
                             host.aegp.effects.erase(effect);
                             host.ledger.Give("aegp_effect", "");
                             return PF_Err_NONE;
                           });
}

// ---- AEGP Stream Suite 7 ----

A_Err GetNewEffectStreamByIndex(AEGP_PluginID plugin_id, AEGP_EffectRefH effect, PF_ParamIndex index,
                                AEGP_StreamRefH* streamPH) {
  return ServeCall(
      "AEGP_GetNewEffectStreamByIndex",
      [&] { return nlohmann::json{{"plugin_id", plugin_id}, {"index", index}}; },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        if (!CheckPluginId(host, plugin_id, "AEGP_GetNewEffectStreamByIndex") ||
            !LiveEffect(host, effect, "AEGP_GetNewEffectStreamByIndex") || streamPH == nullptr) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (index <= 0 || index >= host.params.Count()) {
          host.ledger.Violation("AEGP_GetNewEffectStreamByIndex of parameter " + std::to_string(index) +
                                ", which the effect does not have");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        const void* token = host.aegp.NewToken();
        host.aegp.streams[token] = {index};
        host.ledger.Take("aegp_stream");
        *streamPH = reinterpret_cast<AEGP_StreamRefH>(const_cast<void*>(token));
        return PF_Err_NONE;
      });
}

A_Err DisposeStream(AEGP_StreamRefH stream) {
  return ServeGiveBackCall("AEGP_DisposeStream", [] { return nlohmann::json::object(); },
                           [&](Host& host) -> PF_Err {
                             SyncWithLedger(host);
                             if (LiveStream(host, stream, "AEGP_DisposeStream") == nullptr) {
                               return PF_Err_BAD_CALLBACK_PARAM;
                             }
                             host.aegp.streams.erase(stream);
                             host.ledger.Give("aegp_stream", "");
                             return PF_Err_NONE;
                           });
}

A_Err GetNewStreamValue(AEGP_PluginID plugin_id, AEGP_StreamRefH stream, AEGP_LTimeMode time_mode,
                        const A_Time* timeP, A_Boolean pre_expression, AEGP_StreamValue2* valueP) {
  PF_ParamIndex index = TracedIndex(stream);
  return ServeCall(
      "AEGP_GetNewStreamValue",
      [&] {
        return nlohmann::json{{"index", index}, {"time", TimeJson(timeP)}, {"time_mode", time_mode},
                              {"pre_expression", pre_expression}};
      },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        if (!CheckPluginId(host, plugin_id, "AEGP_GetNewStreamValue")) return PF_Err_BAD_CALLBACK_PARAM;
        const AegpStream* s = LiveStream(host, stream, "AEGP_GetNewStreamValue");
        if (s == nullptr || timeP == nullptr || valueP == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        index = s->index;
        if (time_mode != AEGP_LTimeMode_LayerTime) {
          host.ledger.Violation("AEGP_GetNewStreamValue in a time mode this effect never uses");
        }
        const auto value = host.params.ValueAt(index, *timeP);
        if (!value) return PF_Err_BAD_CALLBACK_PARAM;
        valueP->streamH = stream;
        valueP->val = *value;
        host.aegp.values[valueP] = index;
        host.ledger.Take("stream_value");
        return PF_Err_NONE;
      });
}

A_Err DisposeStreamValue(AEGP_StreamValue2* valueP) {
  return ServeGiveBackCall("AEGP_DisposeStreamValue", [] { return nlohmann::json::object(); },
                           [&](Host& host) -> PF_Err {
                             SyncWithLedger(host);
                             if (host.aegp.values.erase(valueP) == 0) {
                               host.ledger.Violation("AEGP_DisposeStreamValue of a value the host did not give");
                               return PF_Err_BAD_CALLBACK_PARAM;
                             }
                             host.ledger.Give("stream_value", "");
                             return PF_Err_NONE;
                           });
}

A_Err SetStreamValue(AEGP_PluginID plugin_id, AEGP_StreamRefH stream, AEGP_StreamValue2* valueP) {
  PF_ParamIndex index = TracedIndex(stream);
  return ServeCall(
      "AEGP_SetStreamValue",
      [&] {
        nlohmann::json args = {{"index", index}};
        if (valueP != nullptr) args["value"] = ValueJson(valueP->val, index);
        return args;
      },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        if (!CheckPluginId(host, plugin_id, "AEGP_SetStreamValue")) return PF_Err_BAD_CALLBACK_PARAM;
        const AegpStream* s = LiveStream(host, stream, "AEGP_SetStreamValue");
        if (s == nullptr || valueP == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        index = s->index;
        if (!ValueOfStream(host, valueP, index, "AEGP_SetStreamValue")) return PF_Err_BAD_CALLBACK_PARAM;
        // A keyframed stream is changed through keyframes; the host refuses, as it
        // refuses a value outside the parameter's range.
        if (!host.params.SetValue(index, valueP->val)) return PF_Err_BAD_CALLBACK_PARAM;
        return PF_Err_NONE;
      });
}

// ---- AEGP Dynamic Stream Suite 2 ----

A_Err SetDynamicStreamFlag(AEGP_StreamRefH stream, AEGP_DynStreamFlags flag, A_Boolean undoable,
                           A_Boolean set) {
  PF_ParamIndex index = TracedIndex(stream);
  return ServeCall(
      "AEGP_SetDynamicStreamFlag",
      [&] {
        return nlohmann::json{{"index", index}, {"flag", flag}, {"undoable", undoable}, {"set", set}};
      },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        const AegpStream* s = LiveStream(host, stream, "AEGP_SetDynamicStreamFlag");
        if (s == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        index = s->index;
        if (flag != AEGP_DynStreamFlag_HIDDEN) {
          host.ledger.Violation("AEGP_SetDynamicStreamFlag of a flag this host does not keep");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        host.params.SetHidden(index, set != 0);
        return PF_Err_NONE;
      });
}

// ---- AEGP Keyframe Suite 3 ----

A_Err StartAddKeyframes(AEGP_StreamRefH stream, AEGP_AddKeyframesInfoH* batchPH) {
  PF_ParamIndex index = TracedIndex(stream);
  return ServeCall(
      "AEGP_StartAddKeyframes", [&] { return nlohmann::json{{"index", index}}; },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        const AegpStream* s = LiveStream(host, stream, "AEGP_StartAddKeyframes");
        if (s == nullptr || batchPH == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        index = s->index;
        const void* token = host.aegp.NewToken();
        host.aegp.batches[token] = AegpBatch{index, {}};
        host.ledger.Take("keyframe_batch");
        *batchPH = reinterpret_cast<AEGP_AddKeyframesInfoH>(const_cast<void*>(token));
        return PF_Err_NONE;
      });
}

A_Err AddKeyframes(AEGP_AddKeyframesInfoH batch, AEGP_LTimeMode time_mode, const A_Time* timeP,
                   A_long* key_indexPL) {
  PF_ParamIndex index = TracedIndex(batch);
  return ServeCall(
      "AEGP_AddKeyframes",
      [&] {
        nlohmann::json args = {{"index", index}, {"time", TimeJson(timeP)}, {"time_mode", time_mode}};
        if (key_indexPL != nullptr) args["key_index"] = *key_indexPL;
        return args;
      },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        AegpBatch* b = LiveBatch(host, batch, "AEGP_AddKeyframes");
        if (b == nullptr || timeP == nullptr || key_indexPL == nullptr || timeP->scale == 0) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        index = b->index;
        if (time_mode != AEGP_LTimeMode_LayerTime) {
          host.ledger.Violation("AEGP_AddKeyframes in a time mode this effect never uses");
        }
        *key_indexPL = static_cast<A_long>(b->keys.size());
        b->keys.push_back({*timeP, std::nullopt});
        return PF_Err_NONE;
      });
}

A_Err SetAddKeyframe(AEGP_AddKeyframesInfoH batch, A_long key_index, const AEGP_StreamValue2* valueP) {
  PF_ParamIndex index = TracedIndex(batch);
  return ServeCall(
      "AEGP_SetAddKeyframe",
      [&] {
        nlohmann::json args = {{"index", index}, {"key_index", key_index}};
        if (valueP != nullptr) args["value"] = ValueJson(valueP->val, index);
        return args;
      },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        AegpBatch* b = LiveBatch(host, batch, "AEGP_SetAddKeyframe");
        if (b == nullptr || valueP == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        index = b->index;
        if (!ValueOfStream(host, valueP, index, "AEGP_SetAddKeyframe")) return PF_Err_BAD_CALLBACK_PARAM;
        if (key_index < 0 || key_index >= static_cast<A_long>(b->keys.size())) {
          host.ledger.Violation("AEGP_SetAddKeyframe of a key index the batch never gave");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        b->keys[static_cast<std::size_t>(key_index)].value = valueP->val;
        return PF_Err_NONE;
      });
}

A_Err EndAddKeyframes(A_Boolean add, AEGP_AddKeyframesInfoH batch) {
  PF_ParamIndex index = TracedIndex(batch);
  std::size_t count = 0;
  return ServeGiveBackCall(
      "AEGP_EndAddKeyframes", [&] { return nlohmann::json{{"add", add}, {"index", index}, {"keys", count}}; },
      [&](Host& host) -> PF_Err {
        SyncWithLedger(host);
        AegpBatch* b = LiveBatch(host, batch, "AEGP_EndAddKeyframes");
        if (b == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
        index = b->index;
        count = b->keys.size();
        PF_Err err = PF_Err_NONE;
        // The batch is over either way; one whose end fails adds nothing.
        if (add && !host.faults.LatestFails("AEGP_EndAddKeyframes")) {
          for (const AegpBatch::Key& key : b->keys) {
            // A keyframe given no value takes the stream's value at its time.
            const auto value = key.value ? key.value : host.params.ValueAt(index, key.time);
            if (!value || !host.params.AddKeyframe(index, key.time, *value)) err = PF_Err_BAD_CALLBACK_PARAM;
          }
        }
        host.aegp.batches.erase(batch);
        host.ledger.Give("keyframe_batch", "");
        return err;
      });
}

// ---- PF Param Utils Suite 1 ----

// A snapshot is the host's own: a mark that it made it, and the parameters'
// revision when it was taken.
constexpr A_long STATE_MARK = 0x53544154;  // 'STAT'

// A snapshot in a host block must fit in what is left of it: a shorter block (a
// one-byte placeholder handed over as a snapshot) is refused, not overrun.
bool SnapshotFits(Host& host, const PF_State* stateP, const char* call) {
  const auto room = host.handles.RoomAt(stateP);
  if (!room || *room >= sizeof(PF_State)) return true;
  host.ledger.Violation(std::string(call) + " with a block of " + std::to_string(*room) +
                        " bytes, too small for a snapshot");
  return false;
}

PF_Err GetCurrentState(PF_ProgPtr effect_ref, PF_State* stateP) {
  return ServeEffectCall("PF_GetCurrentState", effect_ref, [] { return nlohmann::json::object(); },
                         [&](Host& host) -> PF_Err {
                           if (stateP == nullptr || !SnapshotFits(host, stateP, "PF_GetCurrentState")) {
                             return PF_Err_BAD_CALLBACK_PARAM;
                           }
                           const std::uint64_t revision = host.params.Revision();
                           stateP->reserved[0] = STATE_MARK;
                           stateP->reserved[1] = static_cast<A_long>(revision & 0xFFFFFFFFu);
                           stateP->reserved[2] = static_cast<A_long>(revision >> 32);
                           stateP->reserved[3] = ~STATE_MARK;
                           return PF_Err_NONE;
                         });
}

PF_Err HasParamChanged(PF_ProgPtr effect_ref, const PF_State* stateP, PF_ParamIndex index,
                       PF_Boolean* changedPB) {
  return ServeEffectCall(
      "PF_HasParamChanged", effect_ref,
      [&] {
        nlohmann::json args = {{"index", index}};
        if (changedPB != nullptr) args["changed"] = *changedPB;
        return args;
      },
      [&](Host& host) -> PF_Err {
        if (stateP == nullptr || changedPB == nullptr ||
            !SnapshotFits(host, stateP, "PF_HasParamChanged")) {
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        if (stateP->reserved[0] != STATE_MARK || stateP->reserved[3] != ~STATE_MARK) {
          host.ledger.Violation("PF_HasParamChanged with a snapshot the host did not make");
          return PF_Err_BAD_CALLBACK_PARAM;
        }
        const std::uint64_t taken = static_cast<std::uint32_t>(stateP->reserved[1]) |
                                    (static_cast<std::uint64_t>(static_cast<std::uint32_t>(stateP->reserved[2])) << 32);
        if (index >= 0) {
          *changedPB = host.params.ChangedAt(index) > taken;
        } else {
          *changedPB = host.params.Revision() != taken;
        }
        return PF_Err_NONE;
      });
}

const AEGP_PFInterfaceSuite1 PF_INTERFACE_SUITE = {GetNewEffectForEffect};
const AEGP_EffectSuite2 EFFECT_SUITE = {DisposeEffect};
const AEGP_StreamSuite7 STREAM_SUITE = {GetNewEffectStreamByIndex, DisposeStream, GetNewStreamValue,
                                        DisposeStreamValue, SetStreamValue};
const AEGP_DynamicStreamSuite2 DYNAMIC_STREAM_SUITE = {SetDynamicStreamFlag};
const AEGP_KeyframeSuite3 KEYFRAME_SUITE = {StartAddKeyframes, AddKeyframes, SetAddKeyframe, EndAddKeyframes};
const PF_ParamUtilsSuite1 PARAM_UTILS_SUITE = {GetCurrentState, HasParamChanged};

}  // namespace

void InstallStreamServices(Host& host) {
  host.ServeSuite(kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1, &PF_INTERFACE_SUITE);
  host.ServeSuite(kAEGPEffectSuite, kAEGPEffectSuiteVersion2, &EFFECT_SUITE);
  host.ServeSuite(kAEGPStreamSuite, kAEGPStreamSuiteVersion7, &STREAM_SUITE);
  host.ServeSuite(kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion2, &DYNAMIC_STREAM_SUITE);
  host.ServeSuite(kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion3, &KEYFRAME_SUITE);
  host.ServeSuite(kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1, &PARAM_UTILS_SUITE);
}

}  // namespace refhost
