// How every host callback runs: find the host, count the call against the fault
// plan, check its effect reference, do the work, record it in the trace. A
// misbehaving module gets an error code and a violation on record, never a crash.
#pragma once

#include <exception>
#include <string>
#include <utility>

#include "host.h"

namespace refhost {

// How many host callbacks the running code is inside of: 0 while the module's own
// code runs within a command. Lets a harness tell the module's work (its heap
// allocations, its time) from the host's.
inline thread_local int serving_depth = 0;

class ServingScope {
 public:
  ServingScope() { ++serving_depth; }
  ~ServingScope() { --serving_depth; }
  ServingScope(const ServingScope&) = delete;
  ServingScope& operator=(const ServingScope&) = delete;
};

// Whether the code running now is the module's own, inside a command.
inline bool ModuleCodeRunning() { return serving_depth == 0 && Host::Current() != nullptr; }

// Records one call in the trace. Kept out of line and out of the way: the JSON of
// the arguments is much code that runs only while tracing, and the callbacks
// themselves stay small for the module's calls when it does not.
template <class ArgsFn, class ResultFn>
[[gnu::cold, gnu::noinline]] void RecordCall(Host& host, const char* call, ArgsFn& args, ResultFn& result,
                                             bool injected) {
  host.trace.Record({call, args(), result(), injected});
}

// Runs body(Host&) -> PF_Err. `args()` gives the call's arguments as JSON; it is
// evaluated after the body, so outputs can be included, and only while tracing.
template <class ArgsFn, class Body>
PF_Err ServeCall(const char* call, ArgsFn&& args, Body&& body) {
  const ServingScope serving;
  Host* host = Host::Current();
  if (host == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  PF_Err result = PF_Err_NONE;
  bool injected = false;
  if (auto fault = host->faults.OnCall(call)) {
    result = *fault;
    injected = true;
  } else {
    try {
      result = body(*host);
    } catch (const std::exception& e) {
      host->ledger.Violation(std::string(call) + ": host failed: " + e.what());
      result = PF_Err_INTERNAL_STRUCT_DAMAGED;
    }
  }
  if (host->trace.Enabled()) {
    auto result_json = [&] { return nlohmann::json(result); };
    RecordCall(*host, call, args, result_json, injected);
  }
  return result;
}

// For calls that give something back (releases, check-ins, disposals): the thing
// is taken back even when the call is made to fail, since a module can do nothing
// about a failed give-back but report it; only the result carries the fault.
template <class ArgsFn, class Body>
PF_Err ServeGiveBackCall(const char* call, ArgsFn&& args, Body&& body) {
  const ServingScope serving;
  Host* host = Host::Current();
  if (host == nullptr) return PF_Err_BAD_CALLBACK_PARAM;
  const auto fault = host->faults.OnCall(call);
  PF_Err result = PF_Err_NONE;
  try {
    result = body(*host);
  } catch (const std::exception& e) {
    host->ledger.Violation(std::string(call) + ": host failed: " + e.what());
    result = PF_Err_INTERNAL_STRUCT_DAMAGED;
  }
  if (fault) result = *fault;
  if (host->trace.Enabled()) {
    auto result_json = [&] { return nlohmann::json(result); };
    RecordCall(*host, call, args, result_json, fault.has_value());
  }
  return result;
}

// The same with the effect reference checked first: an unknown one is a violation.
template <class ArgsFn, class Body>
PF_Err ServeEffectCall(const char* call, PF_ProgPtr effect_ref, ArgsFn&& args, Body&& body) {
  return ServeCall(call, std::forward<ArgsFn>(args), [&](Host& host) -> PF_Err {
    if (!host.IsEffectRef(effect_ref)) {
      host.ledger.Violation(std::string(call) + ": unknown effect_ref");
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    return body(host);
  });
}

// A give-back call that names the effect: the reference is checked first.
template <class ArgsFn, class Body>
PF_Err ServeEffectGiveBackCall(const char* call, PF_ProgPtr effect_ref, ArgsFn&& args, Body&& body) {
  return ServeGiveBackCall(call, std::forward<ArgsFn>(args), [&](Host& host) -> PF_Err {
    if (!host.IsEffectRef(effect_ref)) {
      host.ledger.Violation(std::string(call) + ": unknown effect_ref");
      return PF_Err_BAD_CALLBACK_PARAM;
    }
    return body(host);
  });
}

// For calls that give back a value instead of an error code (handles, blocks,
// numbers). An injected fault makes them give `on_fault` (null for pointers).
template <class T, class ArgsFn, class Body, class ResultJson>
T ServeValueCall(const char* call, T on_fault, ArgsFn&& args, Body&& body,
                 ResultJson&& result_json) {
  const ServingScope serving;
  Host* host = Host::Current();
  if (host == nullptr) return on_fault;
  T result = on_fault;
  bool injected = false;
  if (host->faults.OnCall(call)) {
    injected = true;
  } else {
    try {
      result = body(*host);
    } catch (const std::exception& e) {
      host->ledger.Violation(std::string(call) + ": host failed: " + e.what());
      result = on_fault;
    }
  }
  if (host->trace.Enabled()) {
    auto result_value = [&] { return nlohmann::json(result_json(*host, result)); };
    RecordCall(*host, call, args, result_value, injected);
  }
  return result;
}

// Whether `id` is the plug-in id given at registration; a violation otherwise.
bool CheckPluginId(Host& host, AEGP_PluginID id, const char* call);

}  // namespace refhost
