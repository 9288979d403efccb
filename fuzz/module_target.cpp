// Fuzz target: the effect, linked in, driven through the reference host by a
// sequence of host actions decoded from the input: commands (unknown selectors
// included), parameter values no user could enter, masks with zero to thousands of
// vertices at huge or negative coordinates, clocks with zero or negative steps and
// very long durations, frames at every depth and resolution, and injected faults.
//
// After every input the host must have recorded no misuse and hold nothing the
// module still owes it; no keyframe and no float pixel may hold a value that is not
// a number; and a frame that succeeded may differ from its input (or from clear
// black) only where the guide paints. Anything else aborts with a message, which
// the fuzzer reports as a finding.
//
// The work an input can ask for is capped (a budget of segment measurements, the
// cost a sound module has for the frames and bakes asked), so every input runs
// well within the fuzzer's timeout; a module that does more than that, or walks
// for ever, shows up as a timeout.
#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iterator>
#include <limits>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "params/param_index.h"
#include "refhost/frame.h"
#include "refhost/host.h"

extern "C" PF_Err EntryPointFunc(PF_Cmd cmd, PF_InData* in_data, PF_OutData* out_data,
                                 PF_ParamDef* params[], PF_LayerDef* output, void* extra);

namespace {

constexpr int MAX_ACTIONS = 40;
// Segment measurements (a host-side sampling of one segment each) per input.
constexpr long long WORK_BUDGET = 8000;
constexpr A_long MAX_LAYER_SIDE = 40;
// The guide's largest footprint: 17 columns by at most 17 rows.
constexpr long MARKER_PIXELS = 17 * 17;

constexpr double NOT_A_NUMBER = std::numeric_limits<double>::quiet_NaN();
constexpr double INFINITE = std::numeric_limits<double>::infinity();
constexpr double LARGEST = std::numeric_limits<double>::max();

const double SPECIAL_NUMBERS[] = {
    NOT_A_NUMBER, -NOT_A_NUMBER, INFINITE, -INFINITE, 0.0, -0.0, LARGEST, -LARGEST,
    std::numeric_limits<double>::min(), std::numeric_limits<double>::denorm_min(), 1e300, -1e300,
    1e9, -1e9, 32767.99998, 32768.0, -32768.0, -32768.5, 2147483648.0, -2147483649.0, 360.0,
    -360.0, 720.0, 100.0, 100.00001, -0.00001, 9007199254740993.0, 0.5, 1.0 / 3.0};

const double HUGE_COORDINATES[] = {1e6, -1e6, 1e9, -1e9, 1e15, -1e15, 1e300, -1e300, LARGEST,
                                   -LARGEST, std::numeric_limits<double>::min(),
                                   std::numeric_limits<double>::denorm_min(), 2147483647.5,
                                   -2147483648.5, 2147483648.0, 4294967296.0};

const A_u_long TIME_SCALES[] = {1, 24, 25, 30, 600, 1000, 2997, 30000, 1000000, 0x7FFFFFFFu,
                                0x80000000u, 0xFFFFFFFEu, 0xFFFFFFFFu};
const A_u_long LARGE_TIME_SCALES[] = {0x7FFFFFFFu, 0x7FFFFFFDu, 0x80000000u, 0xFFFFFFFFu,
                                      0xFFFFFFFEu, 0xFFFFFFFBu, 1000000007u, 999999937u};
const double SCALE_FRACTIONS[] = {0.0, 0.5, 1.0 / 3.0, 2.0 / 3.0, 1.0, 1.0 / 7.0, 0.25};
const A_long SPECIAL_TIMES[] = {0, 1, -1, 1001, -1001, std::numeric_limits<A_long>::max(),
                                std::numeric_limits<A_long>::min(),
                                std::numeric_limits<A_long>::max() - 1,
                                std::numeric_limits<A_long>::min() + 1, 1 << 30, -(1 << 30)};

const PF_PixelFormat FORMATS[] = {PF_PixelFormat_ARGB32, PF_PixelFormat_ARGB64,
                                  PF_PixelFormat_ARGB128};
// Formats the effect does not render, for the host to report of its worlds.
const PF_PixelFormat OTHER_FORMATS[] = {PF_PixelFormat_INVALID, 0, -1, 0x62777334 /* '8bws' - 4 */};

// Every call the host serves, by the name its fault plan knows it by.
const char* const HOST_CALLS[] = {
    "AcquireSuite", "ReleaseSuite", "host_new_handle", "host_lock_handle", "host_unlock_handle",
    "host_dispose_handle", "host_get_handle_size", "AEGP_RegisterWithAEGP", "add_param",
    "checkout_param", "checkin_param", "PF_CheckoutPath", "PF_CheckinPath", "PF_PathIsOpen",
    "PF_PathNumSegments", "PF_PathPrepareSegLength", "PF_PathGetSegLength",
    "PF_PathEvalSegLengthDeriv1", "PF_PathCleanupSegLength", "AEGP_GetLayerNumMasks",
    "AEGP_GetNewEffectForEffect", "AEGP_DisposeEffect", "AEGP_GetNewEffectStreamByIndex",
    "AEGP_DisposeStream", "AEGP_GetNewStreamValue", "AEGP_DisposeStreamValue",
    "AEGP_SetStreamValue", "AEGP_SetDynamicStreamFlag", "AEGP_StartAddKeyframes",
    "AEGP_AddKeyframes", "AEGP_SetAddKeyframe", "AEGP_EndAddKeyframes", "PF_GetCurrentState",
    "PF_HasParamChanged", "PF_GetPixelFormat", "copy", "fill", "checkout_layer",
    "checkout_layer_pixels", "checkin_layer_pixels", "checkout_output", "atan2", "fmod",
    "sprintf", "strcpy"};

// A failing host call never answers 0: a "failure" with no error is a host that
// lies about success, which no module can tell from the truth.
const PF_Err FAULT_CODES[] = {PF_Err_OUT_OF_MEMORY, PF_Err_INTERNAL_STRUCT_DAMAGED,
                              PF_Err_BAD_CALLBACK_PARAM, -1, 1, 0x7E57,
                              std::numeric_limits<PF_Err>::min(),
                              std::numeric_limits<PF_Err>::max()};

struct SuiteName {
  const char* name;
  A_long version;
};
const SuiteName SUITES[] = {
    {kPFHandleSuite, kPFHandleSuiteVersion1},
    {kPFANSISuite, kPFANSISuiteVersion1},
    {kPFPathQuerySuite, kPFPathQuerySuiteVersion1},
    {kPFPathDataSuite, kPFPathDataSuiteVersion1},
    {kPFParamUtilsSuite, kPFParamUtilsSuiteVersion1},
    {kPFWorldSuite, kPFWorldSuiteVersion2},
    {kAEGPUtilitySuite, kAEGPUtilitySuiteVersion7},
    {kAEGPPFInterfaceSuite, kAEGPPFInterfaceSuiteVersion1},
    {kAEGPStreamSuite, kAEGPStreamSuiteVersion7},
    {kAEGPDynamicStreamSuite, kAEGPDynamicStreamSuiteVersion2},
    {kAEGPEffectSuite, kAEGPEffectSuiteVersion2},
    {kAEGPKeyframeSuite, kAEGPKeyframeSuiteVersion3},
    {kAEGPMaskSuite, kAEGPMaskSuiteVersion1},
};
const refhost::AcquireQuirk QUIRKS[] = {refhost::AcquireQuirk::UNAVAILABLE,
                                        refhost::AcquireQuirk::ERROR_WITH_POINTER,
                                        refhost::AcquireQuirk::NULL_WITHOUT_ERROR};

// Selectors the effect does not handle, and some no host has.
const PF_Cmd OTHER_SELECTORS[] = {PF_Cmd_UNUSED_0, PF_Cmd_DO_DIALOG, PF_Cmd_FRAME_SETUP,
                                  PF_Cmd_RENDER, PF_Cmd_FRAME_SETDOWN, PF_Cmd_EVENT,
                                  PF_Cmd_GET_EXTERNAL_DEPENDENCIES, PF_Cmd_QUERY_DYNAMIC_FLAGS,
                                  PF_Cmd_AUDIO_RENDER, PF_Cmd_AUDIO_SETUP, PF_Cmd_AUDIO_SETDOWN,
                                  PF_Cmd_ARBITRARY_CALLBACK, 25, 26, 100, -1,
                                  std::numeric_limits<PF_Cmd>::min(),
                                  std::numeric_limits<PF_Cmd>::max()};

// With THIMBLEROUTE_FUZZ_TRACE set, each action is told on stderr as it runs: how
// to read what a finding's input did.
bool Tracing() {
  static const bool tracing = std::getenv("THIMBLEROUTE_FUZZ_TRACE") != nullptr;
  return tracing;
}

__attribute__((format(printf, 1, 2))) void Tell(const char* format, ...) {
  if (!Tracing()) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "\n==== module fuzz finding: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

std::string Join(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : "; ") + item;
  return out;
}

// The steps a sound bake walks: 0, step, 2 step, ... below the duration.
long long BakeSteps(const refhost::TimeSettings& t) {
  if (t.time_step <= 0 || t.total_time <= 0) return 0;
  return (static_cast<long long>(t.total_time) + t.time_step - 1) / t.time_step;
}

enum Action {
  SET_PARAM,
  FRAME,
  BAKE,
  UPDATE_UI,
  USER_CHANGED,
  RESETUP,
  FLATTEN,
  SETDOWN,
  SETUP,
  ABOUT,
  GENERAL,
  OTHER_SELECTOR,
  FAIL_CALL,
  SUITE_QUIRK,
  CLEAR_FAULTS,
  BASIC_SUITE,
  CLOCK,
  LAYER,
  ADD_MASK,
  REMOVE_MASK,
  MASK_KEYFRAME,
  GLOBAL_SETDOWN,
  ACTION_COUNT
};

class Driver {
 public:
  explicit Driver(FuzzInput& in) : in_(in), host_(&EntryPointFunc) {
    host_.trace.SetEnabled(Tracing());
  }

  void Run() {
    SetLayer();
    SetClock();
    const int masks = in_.InRange(0, 3);
    for (int i = 0; i < masks; ++i) AddMask();
    const int early_faults = in_.InRange(0, 3) == 3 ? 1 : 0;
    for (int i = 0; i < early_faults; ++i) InjectFault();

    // The instance as the host makes it; a module that fails its global or
    // parameter setup is not run any further, as the host would not.
    if (Command("global setup", PF_Cmd_GLOBAL_SETUP) != PF_Err_NONE ||
        Command("params setup", PF_Cmd_PARAMS_SETUP) != PF_Err_NONE) {
      return;
    }
    alive_ = Command("sequence setup", PF_Cmd_SEQUENCE_SETUP) == PF_Err_NONE;
    if (alive_) host_.UpdateParamsUI();

    for (int n = 0; n < MAX_ACTIONS && !in_.Empty(); ++n) {
      if (!Step(static_cast<Action>(in_.InRange<int>(0, ACTION_COUNT - 1)))) break;
    }
  }

  // What must hold once the input is done.
  void Check() {
    if (!host_.Violations().empty()) Finding("host recorded misuse: " + Join(host_.Violations()));
    if (!host_.Outstanding().empty()) Finding("left with the host: " + Join(host_.Outstanding()));
    CheckKeyframes();
  }

 private:
  PF_Err Command(const char* name, PF_Cmd cmd, void* extra = nullptr) {
    const PF_Err err = host_.Send(cmd, extra);
    Tell("%s -> %d", name, err);
    TellFailedCalls();
    return err;
  }

  // When tracing: the host calls that failed since the last look, and why.
  void TellFailedCalls() {
    if (!Tracing()) return;
    for (const refhost::TraceEntry& entry : host_.trace.Entries()) {
      // Error codes only: these two answer with a count or a size.
      const bool coded = entry.call != "sprintf" && entry.call != "host_get_handle_size";
      if (entry.injected || (coded && entry.result.is_number_integer() && entry.result != 0)) {
        const std::string line = refhost::ToJson(entry).dump(
            -1, ' ', false, nlohmann::json::error_handler_t::replace);
        Tell("  %s%s", line.c_str(), entry.injected ? " (injected)" : "");
      }
    }
    const std::vector<std::string>& violations = host_.Violations();
    for (; told_violations_ < violations.size(); ++told_violations_) {
      Tell("  misuse: %s", violations[told_violations_].c_str());
    }
    host_.trace.Clear();
  }

  // Gives false when the host would send nothing more.
  bool Step(Action action) {
    switch (action) {
      case SET_PARAM: SetParam(); break;
      case FRAME: Frame(); break;
      case BAKE:
        if (alive_) {
          Tell("bake requested");
          Edit([](refhost::ParamStreams& p) { return p.SetValue(PARAM_BAKE, 2.0); });
          Frame();
        }
        break;
      case UPDATE_UI:
        if (alive_) Command("update params UI", PF_Cmd_UPDATE_PARAMS_UI);
        break;
      case USER_CHANGED:
        if (alive_) Command("user changed param", PF_Cmd_USER_CHANGED_PARAM);
        break;
      case RESETUP:
        if (alive_) alive_ = Command("sequence resetup", PF_Cmd_SEQUENCE_RESETUP) == PF_Err_NONE;
        break;
      case FLATTEN:
        if (alive_) Command("sequence flatten", PF_Cmd_SEQUENCE_FLATTEN);
        break;
      case SETDOWN:
        if (alive_) {
          Command("sequence setdown", PF_Cmd_SEQUENCE_SETDOWN);
          alive_ = false;
        }
        break;
      case SETUP:
        if (!alive_) {
          alive_ = Command("sequence setup", PF_Cmd_SEQUENCE_SETUP) == PF_Err_NONE;
          if (alive_) host_.UpdateParamsUI();
        }
        break;
      case ABOUT: Command("about", PF_Cmd_ABOUT); break;
      case GENERAL: {
        // A text longer than return_msg holds, or none at all.
        const std::string text = in_.Text(300);
        Command("completely general", PF_Cmd_COMPLETELY_GENERAL,
                text.empty() ? nullptr : const_cast<char*>(text.c_str()));
        break;
      }
      case OTHER_SELECTOR: {
        const PF_Cmd cmd = in_.Pick(OTHER_SELECTORS);
        Tell("selector %d", cmd);
        Command("other selector", cmd);
        break;
      }
      case FAIL_CALL:
      case SUITE_QUIRK: InjectFault(); break;
      case CLEAR_FAULTS:
        Tell("clear faults");
        host_.faults.Clear();
        host_.SetOffersBasicSuite(true);
        break;
      case BASIC_SUITE: {
        const bool offers = in_.Bool();
        Tell("basic suite offered: %d", offers);
        host_.SetOffersBasicSuite(offers);
        faults_used_ = true;
        break;
      }
      case CLOCK: SetClock(); break;
      case LAYER: SetLayer(); break;
      case ADD_MASK: AddMask(); break;
      case REMOVE_MASK:
        if (!segments_.empty()) {
          auto it = segments_.begin();
          std::advance(it, in_.InRange<std::size_t>(0, segments_.size() - 1));
          Tell("remove mask %u", it->first);
          host_.masks.Remove(it->first);
          segments_.erase(it);
        }
        break;
      case MASK_KEYFRAME: AddMaskKeyframe(); break;
      case GLOBAL_SETDOWN:
        if (alive_) Command("sequence setdown", PF_Cmd_SEQUENCE_SETDOWN);
        Command("global setdown", PF_Cmd_GLOBAL_SETDOWN);
        return false;
      case ACTION_COUNT: break;
    }
    return true;
  }

  // ---- Numbers ----

  double Number() {
    switch (in_.InRange(0, 5)) {
      case 0: return in_.InRange(-50, 400);
      case 1: return in_.InRange(0, 10000) / 100.0;
      case 2: return in_.Pick(SPECIAL_NUMBERS);
      case 3: return in_.Bits<double>();
      case 4: {
        const int turns = in_.InRange(-100, 100);
        return 360.0 * turns + in_.InRange(-2, 2) / 65536.0;
      }
      default: return in_.Bits<std::int32_t>() / 65536.0;
    }
  }

  double Coordinate() {
    switch (in_.InRange(0, 3)) {
      case 0: return in_.InRange(-20, 80);
      case 1: return in_.InRange(-2000, 2000) / 16.0;
      case 2: {
        const double huge = in_.Pick(HUGE_COORDINATES);
        return in_.Bool() ? huge : huge / 2;
      }
      default: {
        const double d = in_.Bits<double>();
        return std::isfinite(d) ? d : 0.0;
      }
    }
  }

  A_long Time() {
    switch (in_.InRange(0, 4)) {
      case 0: return in_.InRange(0, 63);
      case 1: return in_.Pick(SPECIAL_TIMES);
      case 2: return in_.Bits<A_long>();
      case 3: {
        // At or next to the clock's time, which may sit among close keyframes.
        const long long t = static_cast<long long>(host_.Time().current_time) + in_.InRange(-2, 2);
        return static_cast<A_long>(std::clamp<long long>(t, std::numeric_limits<A_long>::min(),
                                                         std::numeric_limits<A_long>::max()));
      }
      default: {
        // A few frames either side of the start, in the clock's own steps.
        const long long t = static_cast<long long>(host_.Time().time_step) * in_.InRange(-4, 40);
        return static_cast<A_long>(std::clamp<long long>(t, std::numeric_limits<A_long>::min(),
                                                         std::numeric_limits<A_long>::max()));
      }
    }
  }

  // A time over a scale; some close to a fraction of a large scale, so that
  // neighbouring times differ by less than a double can tell apart.
  A_Time KeyTime() {
    if (in_.Bool()) return {Time(), in_.Pick(TIME_SCALES)};
    // (Each read its own statement: the order of the bytes is the input's meaning.)
    const A_u_long large = in_.Pick(LARGE_TIME_SCALES);
    const A_u_long scale = large - in_.InRange<A_u_long>(0, 3);
    const double at = std::floor(scale * in_.Pick(SCALE_FRACTIONS));
    const double value = at + in_.InRange(-2, 2);
    return {static_cast<A_long>(std::clamp(value, -2147483648.0, 2147483647.0)), scale};
  }

  // ---- The host's settings ----

  void SetLayer() {
    const A_long width = in_.InRange<A_long>(0, MAX_LAYER_SIDE);
    const A_long height = in_.InRange<A_long>(0, MAX_LAYER_SIDE);
    Tell("layer %dx%d", width, height);
    host_.SetTestCardLayer(width, height);
  }

  void SetClock() {
    refhost::TimeSettings& t = host_.Time();
    if (in_.Bool()) {
      const A_Time base = KeyTime();
      t.time_scale = base.scale;
      t.current_time = base.value;
    } else {
      t.time_scale = in_.Pick(TIME_SCALES);
      t.current_time = Time();
    }
    const A_long steps[] = {1, 2, 100, 1001, 0, -1, -100, std::numeric_limits<A_long>::min(),
                            std::numeric_limits<A_long>::max(), 1 << 28, in_.Bits<A_long>()};
    t.time_step = in_.Pick(steps);
    const A_long totals[] = {0, 1, 10, 100, 1000, -1, std::numeric_limits<A_long>::min(),
                             std::numeric_limits<A_long>::max(), in_.Bits<A_long>()};
    t.total_time = in_.Pick(totals);
    Tell("clock: scale %u, step %d, duration %d, time %d", t.time_scale, t.time_step, t.total_time,
         t.current_time);
  }

  void InjectFault() {
    faults_used_ = true;
    switch (in_.InRange(0, 4)) {
      case 0:
      case 1: {
        const std::string call = in_.Pick(HOST_CALLS);
        // Counted from now: the plan counts calls since it was last cleared.
        const int nth = host_.faults.Seen(call) + in_.InRange(1, 12);
        const PF_Err code = in_.Pick(FAULT_CODES);
        Tell("fail %s #%d with %d", call.c_str(), nth, code);
        host_.faults.FailCall(call, nth, code);
        break;
      }
      case 2: {
        const SuiteName& suite = in_.Pick(SUITES);
        const refhost::AcquireQuirk quirk = in_.Pick(QUIRKS);
        Tell("suite %s %d quirk %d", suite.name, suite.version, static_cast<int>(quirk));
        host_.faults.SetAcquireQuirk(suite.name, suite.version, quirk);
        break;
      }
      case 3: {
        const PF_PixelFormat format = in_.Pick(OTHER_FORMATS);
        Tell("worlds reported as format %x", static_cast<unsigned>(format));
        host_.faults.ReportPixelFormat(format);
        break;
      }
      default:
        if (in_.Bool()) {
          const int nth = host_.faults.Seen("host_new_handle") + in_.InRange(1, 4);
          Tell("fail allocation #%d", nth);
          host_.faults.FailAllocation(nth);
        } else {
          const int nth = host_.faults.Seen("host_lock_handle") + in_.InRange(1, 4);
          Tell("fail lock #%d", nth);
          host_.faults.FailLock(nth);
        }
        break;
    }
  }

  // ---- Masks ----

  std::vector<refhost::PathVertex> Vertices(std::size_t count) {
    std::vector<refhost::PathVertex> vertices(count);
    if (count <= 24 && in_.Bool()) {
      for (refhost::PathVertex& v : vertices) {
        v.position = {Coordinate(), Coordinate()};
        if (in_.InRange(0, 3) == 0) {
          v.in_tangent = {Coordinate(), Coordinate()};
          v.out_tangent = {Coordinate(), Coordinate()};
        }
      }
      return vertices;
    }
    // Many vertices come from a few bytes: a wandering line of a chosen reach.
    const double reach = std::fabs(Coordinate()) + 1.0;
    std::uint32_t state = in_.Bits<std::uint32_t>() | 1u;
    auto next = [&state] {
      state ^= state << 13;
      state ^= state >> 17;
      state ^= state << 5;
      return static_cast<double>(state) / 4294967296.0;
    };
    const bool curved = in_.Bool();
    for (refhost::PathVertex& v : vertices) {
      v.position = {next() * reach, next() * reach};
      if (curved) {
        v.in_tangent = {(next() - 0.5) * reach, (next() - 0.5) * reach};
        v.out_tangent = {-v.in_tangent.x, -v.in_tangent.y};
      }
    }
    return vertices;
  }

  void AddMask() {
    const PF_PathID ids[] = {1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFFu, 0x80000000u};
    const PF_PathID id = in_.Pick(ids);
    if (id == 0 || host_.masks.Has(id)) return;
    const bool closed = in_.Bool();
    const std::size_t some = in_.InRange<std::size_t>(6, 24);
    const std::size_t counts[] = {0, 1, 2, 3, 4, 5, some, 100, 1000, 4000};
    const std::size_t count = in_.Pick(counts);
    std::vector<refhost::PathVertex> vertices = Vertices(count);
    Tell("mask %u, %s, %zu vertices, first at %g, %g", id, closed ? "closed" : "open", count,
         count > 0 ? vertices[0].position.x : 0.0, count > 0 ? vertices[0].position.y : 0.0);
    try {
      host_.masks.Add(id, closed, std::move(vertices));
    } catch (const std::invalid_argument& e) {
      Tell("  refused: %s", e.what());
      return;  // a shape the host refuses to hold
    }
    segments_[id] = refhost::SegmentCount(count, closed);
  }

  void AddMaskKeyframe() {
    if (segments_.empty()) return;
    auto it = segments_.begin();
    std::advance(it, in_.InRange<std::size_t>(0, segments_.size() - 1));
    const PF_PathID id = it->first;
    std::vector<refhost::PathVertex> shape = host_.masks.ShapeAt(id, 0, 1);
    const double dx = Coordinate();
    const double dy = Coordinate();
    for (refhost::PathVertex& v : shape) {
      v.position.x += dx;
      v.position.y += dy;
    }
    const A_Time time = KeyTime();
    Tell("mask %u keyframe at %d/%u moved by %g, %g", id, time.value, time.scale, dx, dy);
    try {
      host_.masks.AddKeyframe(id, time, std::move(shape));
    } catch (const std::invalid_argument& e) {
      Tell("  refused: %s", e.what());
    }
  }

  int SegmentsOf(PF_PathID id) const {
    auto it = segments_.find(id);
    return it == segments_.end() ? 0 : it->second;
  }

  // ---- Parameters ----

  // A user's edit while the instance lives (followed by the interface update),
  // or a change of the host's streams while it does not.
  template <class Change>
  void Edit(Change change) {
    if (alive_) {
      host_.UserEdit(change);
    } else {
      change(host_.params);
    }
  }

  AEGP_StreamVal2 ValueFor(PF_ParamType type) {
    AEGP_StreamVal2 v{};
    switch (type) {
      case PF_Param_POINT:
        v.two_d = {Number(), Number()};
        break;
      case PF_Param_COLOR: {
        auto channel = [&] { return in_.Bool() ? in_.Byte() / 255.0 : Number(); };
        v.color = {channel(), channel(), channel(), channel()};
        break;
      }
      case PF_Param_PATH: {
        switch (in_.InRange(0, 3)) {
          case 0: v.one_d = 0.0; break;
          case 1: v.one_d = Number(); break;
          default: {
            const PF_PathID ids[] = {1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFFu, 0x80000000u};
            v.one_d = in_.Pick(ids);
          }
        }
        break;
      }
      case PF_Param_POPUP:
      case PF_Param_CHECKBOX:
        v.one_d = in_.InRange(0, 3) != 0 ? in_.InRange(0, 2) : Number();
        break;
      default:
        v.one_d = Number();
        break;
    }
    return v;
  }

  void SetParam() {
    const auto index = in_.InRange<PF_ParamIndex>(PARAM_PATH, PARAM_COUNT - 1);
    const PF_ParamDef* def = host_.params.Definition(index);
    if (def == nullptr) return;
    const bool output = index == PARAM_POINT || index == PARAM_ANGLE;
    if (output) outputs_touched_ = true;
    const AEGP_StreamVal2 value = ValueFor(def->param_type);
    int how = in_.InRange(0, 4);
    // The effect writes Point and Angle; a user edits them only as the host lets
    // one, so any value in them that is not a number can only be the effect's.
    if (output && how >= 3) how -= 3;
    const char* const hows[] = {"set", "keyframe", "unkey", "set unchecked", "keyframe unchecked"};
    Tell("param %d (%s): %g | %g, %g", index, hows[how], value.one_d, value.two_d.x,
         value.two_d.y);
    switch (how) {
      case 0:
        Edit([&](refhost::ParamStreams& p) { return p.SetValue(index, value); });
        break;
      case 1: {
        const A_Time time = KeyTime();
        Tell("  at %d/%u", time.value, time.scale);
        Edit([&](refhost::ParamStreams& p) { return p.AddKeyframe(index, time, value); });
        break;
      }
      case 2:
        Edit([&](refhost::ParamStreams& p) { return p.SetKeyframes(index, {}); });
        break;
      case 3:
        Edit([&](refhost::ParamStreams& p) { return p.SetValueUnchecked(index, value); });
        break;
      default: {
        const A_Time time = KeyTime();
        Tell("  at %d/%u", time.value, time.scale);
        Edit([&](refhost::ParamStreams& p) { return p.AddKeyframeUnchecked(index, time, value); });
        break;
      }
    }
  }

  // The value the frame's pre-render will read, as the module sees it.
  PF_ParamDef ValueAtFrame(PF_ParamIndex index, A_long time) {
    PF_ParamDef def{};
    const refhost::TimeSettings& t = host_.Time();
    host_.params.Checkout(index, time, t.time_step, t.time_scale, def);
    return def;
  }

  // ---- Frames ----

  void Frame() {
    if (!alive_) return;
    refhost::FrameRequest request;
    request.time = Time();
    request.format = in_.Pick(FORMATS);
    request.downsample = {in_.InRange<A_long>(1, 3), in_.InRange<A_u_long>(1, 4)};
    if (in_.InRange(0, 3) == 0) {
      request.downsample_y = {in_.InRange<A_long>(1, 3), in_.InRange<A_u_long>(1, 4)};
    }
    request.row_padding = in_.InRange<A_long>(0, 2);
    const A_long width = refhost::ScaledSize(host_.images.LayerWidth(), request.downsample);
    const A_long height = refhost::ScaledSize(host_.images.LayerHeight(), request.DownsampleY());
    if (width > 0 && in_.InRange(0, 3) == 0) request.output_width = in_.InRange<A_long>(1, width);
    if (height > 0 && in_.InRange(0, 3) == 0) {
      request.output_height = in_.InRange<A_long>(1, height);
    }

    const PF_PathID path = ValueAtFrame(PARAM_PATH, request.time).u.path_d.path_id;
    const bool guide = ValueAtFrame(PARAM_GUIDE, request.time).u.bd.value != 0;
    const bool clear = ValueAtFrame(PARAM_ON_TRANSPARENT, request.time).u.bd.value != 0;
    const bool bake = ValueAtFrame(PARAM_BAKE, request.time).u.pd.value != 1;
    const bool wants_path = path != 0 && (bake || guide);

    // What a sound module measures: the path once at open, then one walk per locate.
    const long long segments = wants_path ? SegmentsOf(path) : 0;
    const long long steps = bake ? BakeSteps(host_.Time()) : 0;
    const long long cost = 1 + steps + segments * (bake ? steps + 1 : 2);
    Tell("frame at %d, format %x, downsample %d/%u by %d/%u, padding %d, output %dx%d: path %u, "
         "guide %d, clear %d, bake %d, cost %lld of %lld",
         request.time, static_cast<unsigned>(request.format), request.downsample.num,
         request.downsample.den, request.DownsampleY().num, request.DownsampleY().den,
         request.row_padding, request.output_width, request.output_height, path, guide, clear,
         bake, cost, budget_);
    if (cost > budget_) return;
    budget_ -= cost;

    const refhost::FrameResult frame = refhost::RenderFrame(host_, request);
    Tell("  -> pre-render %d, render %d, update %d", frame.pre_render_err, frame.render_err,
         frame.update_err);
    TellFailedCalls();
    if (!frame.rendered) return;
    const refhost::World& input = *frame.input;
    const refhost::World& output = *frame.output;
    if (request.format == PF_PixelFormat_ARGB128) CheckFinite(output);
    if (frame.render_err != PF_Err_NONE) return;
    const long allowed = wants_path && !bake && guide ? MARKER_PIXELS : 0;
    const long changed = Changed(input, output, clear);
    if (changed > allowed) {
      Finding("a frame that succeeded changed " + std::to_string(changed) + " pixels beyond " +
              (clear ? "clearing" : "copying") + " (at most " + std::to_string(allowed) +
              " belong to the guide)");
    }
    if (bake) CheckKeyframes();
  }

  // Pixels of the output that differ from the input copied (or from clear black).
  static long Changed(const refhost::World& input, const refhost::World& output, bool clear) {
    const A_long width = std::min(input.Width(), output.Width());
    const A_long height = std::min(input.Height(), output.Height());
    const std::size_t bytes = output.PixelBytes();
    const std::vector<unsigned char> zero(bytes, 0);
    long changed = 0;
    for (A_long y = 0; y < height; ++y) {
      for (A_long x = 0; x < width; ++x) {
        const void* expected = clear ? static_cast<const void*>(zero.data())
                                     : static_cast<const void*>(input.Row(y) + x * bytes);
        if (std::memcmp(output.Row(y) + x * bytes, expected, bytes) != 0) ++changed;
      }
    }
    return changed;
  }

  static void CheckFinite(const refhost::World& world) {
    for (A_long y = 0; y < world.Height(); ++y) {
      for (A_long x = 0; x < world.Width(); ++x) {
        const PF_PixelFloat& p = world.At<PF_PixelFloat>(x, y);
        if (!std::isfinite(p.alpha) || !std::isfinite(p.red) || !std::isfinite(p.green) ||
            !std::isfinite(p.blue)) {
          Finding("a float output pixel that is not a finite number at " + std::to_string(x) +
                  ", " + std::to_string(y));
        }
      }
    }
  }

  // Point and Angle hold finite numbers only; a bake with nothing in its way (no
  // fault, no user keyframes of its own on them) keys both at the same times.
  void CheckKeyframes() const {
    const std::vector<refhost::ParamKeyframe> points = host_.params.Keyframes(PARAM_POINT);
    const std::vector<refhost::ParamKeyframe> angles = host_.params.Keyframes(PARAM_ANGLE);
    for (const refhost::ParamKeyframe& k : points) {
      if (!std::isfinite(k.value.two_d.x) || !std::isfinite(k.value.two_d.y)) {
        Finding("a Point keyframe that is not a finite number at time " +
                std::to_string(k.time.value));
      }
    }
    for (const refhost::ParamKeyframe& k : angles) {
      if (!std::isfinite(k.value.one_d)) {
        Finding("an Angle keyframe that is not a finite number at time " +
                std::to_string(k.time.value));
      }
    }
    if (faults_used_ || outputs_touched_) return;
    bool same = points.size() == angles.size();
    for (std::size_t i = 0; same && i < points.size(); ++i) {
      same = points[i].time.value == angles[i].time.value &&
             points[i].time.scale == angles[i].time.scale;
    }
    if (!same) {
      Finding("a bake keyed Point " + std::to_string(points.size()) + " times and Angle " +
              std::to_string(angles.size()) + " times, not at the same times");
    }
  }

  FuzzInput& in_;
  refhost::Host host_;
  bool alive_ = false;  // the instance exists: sequence setup succeeded, no set-down since
  bool faults_used_ = false;
  bool outputs_touched_ = false;  // Point or Angle were edited directly
  long long budget_ = WORK_BUDGET;
  std::size_t told_violations_ = 0;
  std::map<PF_PathID, int> segments_;  // the layer's masks and their segment counts
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzInput in(data, size);
  try {
    Driver driver(in);
    driver.Run();
    driver.Check();
  } catch (const std::exception& e) {
    Finding(std::string("an exception reached the driver: ") + e.what());
  }
  return 0;
}
