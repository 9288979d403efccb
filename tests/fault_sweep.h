// Runs a scenario once cleanly, then once for every host call in its trace with
// that call failing, once for every suite it acquires made unavailable, and once
// for every handle allocation and lock yielding null. Every run must stay clean:
// no misuse recorded, nothing left out, the result the error rules give for that
// fault, and out_data written only as the rules allow.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "refhost/host.h"
#include "refhost/module.h"

namespace sweep {

// A code no host call returns on its own, so its path through the module shows.
constexpr PF_Err INJECTED = 0x7E57;

struct Scenario {
  std::string name;
  // Brings a fresh host to the point where the command under test can run.
  std::function<void(refhost::Host&)> prepare;
  // Sends the command(s) under test and gives their result.
  std::function<PF_Err(refhost::Host&)> run;
};

inline void PrintTo(const Scenario& scenario, std::ostream* os) { *os << scenario.name; }

// The scenario's name as a test name: letters, digits and underscores only.
inline std::string TestName(const ::testing::TestParamInfo<Scenario>& info) {
  std::string name = info.param.name;
  for (char& c : name) {
    if (c == ' ' || c == '-') c = '_';
  }
  return name;
}

struct Injection {
  std::string what;
  std::function<void(refhost::FaultPlan&)> arm;
  std::set<PF_Err> results;  // what the error rules give for this fault
};

struct Tally {
  int scenarios = 0;
  int injections = 0;
  int clean = 0;
};

inline Tally& Totals() {
  static Tally tally;
  return tally;
}

// The result of a run in which `call` fails with INJECTED.
inline std::set<PF_Err> ResultsWhenFailing(const std::string& call) {
  // A suite that cannot be had is the suite error.
  if (call == "AcquireSuite") return {PF_Err_BAD_CALLBACK_PARAM};
  // Releases and parameter check-ins whose result the module ignores by rule, and
  // calls that have no error to report (a failing one yields null or zero).
  static const std::set<std::string> IGNORED = {"ReleaseSuite",        "checkin_param",      "fmod",
                                                "host_dispose_handle", "host_get_handle_size", "host_unlock_handle",
                                                "sprintf",             "strcpy"};
  if (IGNORED.count(call) != 0) return {PF_Err_NONE};
  // No block: out of memory where the command needs one, damaged state at global
  // setup, and nothing at all in the interface update, which retries next time.
  if (call == "host_new_handle") return {PF_Err_NONE, PF_Err_OUT_OF_MEMORY, PF_Err_INTERNAL_STRUCT_DAMAGED};
  // A block that cannot be locked: out of memory at setup, the suite error in a frame.
  if (call == "host_lock_handle") return {PF_Err_OUT_OF_MEMORY, PF_Err_BAD_CALLBACK_PARAM};
  // Every other failing call's code is the command's result, unchanged.
  return {INJECTED};
}

// The result of a run in which a suite is withheld. A pointer handed out together
// with an error is the suite error to the suite cache, but a suite to a one-shot
// acquire, which looks at the pointer alone.
inline std::set<PF_Err> ResultsWhenWithheld(refhost::AcquireQuirk quirk) {
  if (quirk == refhost::AcquireQuirk::ERROR_WITH_POINTER) return {PF_Err_BAD_CALLBACK_PARAM, PF_Err_NONE};
  return {PF_Err_BAD_CALLBACK_PARAM};
}

// Every injection the clean run's trace suggests.
inline std::vector<Injection> InjectionsFor(const refhost::Trace& trace) {
  std::vector<Injection> injections;
  std::map<std::string, int> seen;
  std::set<std::pair<std::string, A_long>> suites;
  for (const refhost::TraceEntry& entry : trace.Entries()) {
    const int nth = ++seen[entry.call];
    const std::string call = entry.call;
    injections.push_back({call + " #" + std::to_string(nth),
                          [call, nth](refhost::FaultPlan& f) { f.FailCall(call, nth, INJECTED); },
                          ResultsWhenFailing(call)});
    if (call == "AcquireSuite") {
      const std::string name = entry.args.value("name", "");
      const A_long version = entry.args.value("version", 0);
      if (suites.insert({name, version}).second) {
        for (auto quirk : {refhost::AcquireQuirk::UNAVAILABLE, refhost::AcquireQuirk::ERROR_WITH_POINTER,
                           refhost::AcquireQuirk::NULL_WITHOUT_ERROR}) {
          injections.push_back({name + " " + std::to_string(version) + " quirk " +
                                    std::to_string(static_cast<int>(quirk)),
                                [name, version, quirk](refhost::FaultPlan& f) {
                                  f.SetAcquireQuirk(name, version, quirk);
                                },
                                ResultsWhenWithheld(quirk)});
        }
      }
    }
  }
  return injections;
}

// out_data as the host handed it to one command and as the command left it.
struct OutDataSeen {
  PF_Cmd cmd = 0;
  PF_OutData before{};
  PF_OutData after{};
};

// Records out_data around every command the host sends from now on.
inline void WatchOutData(refhost::Host& host, std::vector<OutDataSeen>& seen) {
  auto earlier = host.before_entry;
  host.before_entry = [earlier, &seen](PF_InData& in, PF_OutData& out) {
    if (earlier) earlier(in, out);
    seen.push_back({0, out, {}});
  };
  host.after_entry = [&seen](PF_Cmd cmd, PF_Err, const PF_InData&, const PF_OutData& out) {
    seen.back().cmd = cmd;
    seen.back().after = out;
  };
}

// What a handle in out_data became: left as handed over, cleared, or a new one.
enum class HandleFate { KEPT, CLEARED, REPLACED };
inline HandleFate FateOf(PF_Handle before, PF_Handle after) {
  if (after == before) return HandleFate::KEPT;
  return after == nullptr ? HandleFate::CLEARED : HandleFate::REPLACED;
}

// The fields of out_data a command with a fault wrote against the rules. A fault
// ends a handler part way, so each field may be as the host handed it over or as
// the clean run left it, and a handle may be kept or fare as in the clean run.
// The message is free, and so are the flags once they ask for it to be shown.
inline std::vector<std::string> UnruledOutData(const OutDataSeen& run, const OutDataSeen& clean) {
  std::vector<std::string> wrong;
  auto field = [&](const char* name, auto get) {
    const auto value = get(run.after);
    if (value != get(run.before) && value != get(clean.after)) wrong.push_back(name);
  };
  field("my_version", [](const PF_OutData& o) { return o.my_version; });
  field("num_params", [](const PF_OutData& o) { return o.num_params; });
  field("flat_sdata_size", [](const PF_OutData& o) { return o.flat_sdata_size; });
  field("frame_data", [](const PF_OutData& o) { return o.frame_data; });
  field("width", [](const PF_OutData& o) { return o.width; });
  field("height", [](const PF_OutData& o) { return o.height; });
  field("origin", [](const PF_OutData& o) { return std::pair(o.origin.h, o.origin.v); });
  field("out_flags2", [](const PF_OutData& o) { return o.out_flags2; });
  field("name", [](const PF_OutData& o) { return std::string(o.name, sizeof(o.name)); });
  if ((run.after.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) == 0) {
    field("out_flags", [](const PF_OutData& o) { return o.out_flags; });
  }
  auto handle = [&](const char* name, PF_Handle PF_OutData::*member) {
    const HandleFate fate = FateOf(run.before.*member, run.after.*member);
    if (fate != HandleFate::KEPT && fate != FateOf(clean.before.*member, clean.after.*member)) {
      wrong.push_back(name);
    }
  };
  handle("global_data", &PF_OutData::global_data);
  handle("sequence_data", &PF_OutData::sequence_data);
  return wrong;
}

// Each command of a run with a fault against the same command of the clean run.
// A fault may end the run early; a command the clean run did not send is checked
// against the host's own blocks alone.
inline std::vector<std::string> UnruledOutData(const std::vector<OutDataSeen>& run,
                                               const std::vector<OutDataSeen>& clean) {
  std::vector<std::string> wrong;
  for (std::size_t i = 0; i < run.size(); ++i) {
    const bool matched = i < clean.size() && clean[i].cmd == run[i].cmd;
    const OutDataSeen reference = matched ? clean[i] : OutDataSeen{run[i].cmd, run[i].before, run[i].before};
    for (const std::string& field : UnruledOutData(run[i], reference)) {
      wrong.push_back("command " + std::to_string(run[i].cmd) + " " + field);
    }
  }
  return wrong;
}

inline void Run(const std::string& module_path, const Scenario& scenario) {
  refhost::Module module(module_path);
  std::vector<Injection> injections;
  std::vector<OutDataSeen> clean_out;
  {
    refhost::Host host(module.Entry());
    scenario.prepare(host);
    ASSERT_TRUE(host.Violations().empty()) << scenario.name << " preparation";
    host.trace.Clear();
    host.faults.Clear();
    WatchOutData(host, clean_out);
    const PF_Err clean = scenario.run(host);
    EXPECT_EQ(clean, PF_Err_NONE) << scenario.name << " clean run";
    EXPECT_TRUE(host.Violations().empty()) << scenario.name << ": " << ::testing::PrintToString(host.Violations());
    injections = InjectionsFor(host.trace);
  }
  ++Totals().scenarios;
  for (const Injection& injection : injections) {
    std::vector<OutDataSeen> out;  // outlives the host, whose hooks write it
    refhost::Host host(module.Entry());
    scenario.prepare(host);
    host.trace.Clear();
    host.faults.Clear();
    injection.arm(host.faults);
    WatchOutData(host, out);
    const PF_Err result = scenario.run(host);
    ++Totals().injections;
    const std::string what = scenario.name + " / " + injection.what;
    const bool expected = injection.results.count(result) != 0;
    const std::vector<std::string> unruled = UnruledOutData(out, clean_out);
    EXPECT_TRUE(expected) << what << " gave " << result << ", not one of "
                          << ::testing::PrintToString(injection.results);
    EXPECT_TRUE(host.Violations().empty()) << what << ": " << ::testing::PrintToString(host.Violations());
    EXPECT_TRUE(host.Outstanding().empty()) << what << ": " << ::testing::PrintToString(host.Outstanding());
    EXPECT_TRUE(unruled.empty()) << what << " wrote out_data: " << ::testing::PrintToString(unruled);
    if (expected && host.Violations().empty() && host.Outstanding().empty() && unruled.empty()) {
      ++Totals().clean;
    }
  }
}

}  // namespace sweep
