// The calls of a trace that show what the bake and the parameter upkeep do, one
// short line each, for comparing a command against the order it must follow.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "refhost/trace.h"

// Shown: every AEGP call, parameter and path check-outs and check-ins, a point's
// evaluation, the path's openness, the snapshot calls, and any call in `extra`.
// A line carries the parameter index, the time, the value set, the flag written,
// a batch's end, and any error the call gave.
inline std::vector<std::string> CallLines(const std::vector<refhost::TraceEntry>& entries,
                                          const std::set<std::string>& extra = {}) {
  static const std::set<std::string> SHOWN = {
      "checkout_param",  "checkin_param",      "PF_CheckoutPath",   "PF_CheckinPath",
      "PF_PathIsOpen",   "PF_HasParamChanged", "PF_GetCurrentState", "PF_PathEvalSegLengthDeriv1"};
  std::vector<std::string> lines;
  for (const refhost::TraceEntry& e : entries) {
    if (e.call.rfind("AEGP_", 0) != 0 && SHOWN.count(e.call) == 0 && extra.count(e.call) == 0) {
      continue;
    }
    const nlohmann::json& a = e.args;
    std::string line = e.call;
    if (a.contains("index")) line += " " + a["index"].dump();
    if (a.contains("time")) {
      const nlohmann::json& t = a["time"];
      line += " t=" + (t.is_object() ? t["value"].dump() + "/" + t["scale"].dump()
                                     : t.dump() + "/" + a["time_scale"].dump());
    }
    if (e.call == "AEGP_SetStreamValue") line += " =" + a["value"].dump();
    if (e.call == "AEGP_SetDynamicStreamFlag") line += " hidden=" + a["set"].dump();
    if (e.call == "PF_HasParamChanged" && a.contains("changed")) {
      line += " changed=" + a["changed"].dump();
    }
    if (e.call == "AEGP_EndAddKeyframes") {
      line += " add=" + a["add"].dump() + " keys=" + a["keys"].dump();
    }
    if (e.result.is_number_integer() && e.result != 0 && e.call != "host_new_handle") {
      line += " -> " + e.result.dump();
    }
    lines.push_back(line);
  }
  return lines;
}

inline std::size_t CountCalls(const std::vector<refhost::TraceEntry>& entries,
                              const std::string& call) {
  std::size_t n = 0;
  for (const refhost::TraceEntry& e : entries) n += e.call == call ? 1 : 0;
  return n;
}
