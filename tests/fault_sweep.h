// Runs a scenario once cleanly, then once for every host call in its trace with
// that call failing, once for every suite it acquires made unavailable, and once
// for every handle allocation and lock yielding null. Every run must stay clean:
// no misuse recorded, nothing left out, and a result the error rules allow.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <map>
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

// Every injection the clean run's trace suggests.
inline std::vector<Injection> InjectionsFor(const refhost::Trace& trace) {
  std::vector<Injection> injections;
  std::map<std::string, int> seen;
  std::set<std::pair<std::string, A_long>> suites;
  for (const refhost::TraceEntry& entry : trace.Entries()) {
    const int nth = ++seen[entry.call];
    const std::string call = entry.call;
    injections.push_back({call + " #" + std::to_string(nth),
                          [call, nth](refhost::FaultPlan& f) { f.FailCall(call, nth, INJECTED); }});
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
                                }});
        }
      }
    }
  }
  return injections;
}

// Results the error rules allow for a run with one fault: success (the failed
// call's result is ignored by design), the injected code passed on, or one of the
// module's own codes for the failure (out of memory, damaged state, suite error).
inline bool AllowedResult(PF_Err result) {
  return result == PF_Err_NONE || result == INJECTED || result == PF_Err_OUT_OF_MEMORY ||
         result == PF_Err_INTERNAL_STRUCT_DAMAGED || result == PF_Err_BAD_CALLBACK_PARAM;
}

inline void Run(const std::string& module_path, const Scenario& scenario) {
  refhost::Module module(module_path);
  std::vector<Injection> injections;
  {
    refhost::Host host(module.Entry());
    scenario.prepare(host);
    ASSERT_TRUE(host.Violations().empty()) << scenario.name << " preparation";
    host.trace.Clear();
    host.faults.Clear();
    const PF_Err clean = scenario.run(host);
    EXPECT_EQ(clean, PF_Err_NONE) << scenario.name << " clean run";
    EXPECT_TRUE(host.Violations().empty()) << scenario.name << ": " << ::testing::PrintToString(host.Violations());
    injections = InjectionsFor(host.trace);
  }
  ++Totals().scenarios;
  for (const Injection& injection : injections) {
    refhost::Host host(module.Entry());
    scenario.prepare(host);
    host.trace.Clear();
    host.faults.Clear();
    injection.arm(host.faults);
    const PF_Err result = scenario.run(host);
    ++Totals().injections;
    const bool ok = AllowedResult(result) && host.Violations().empty() && host.Outstanding().empty();
    EXPECT_TRUE(AllowedResult(result)) << scenario.name << " / " << injection.what << " gave " << result;
    EXPECT_TRUE(host.Violations().empty())
        << scenario.name << " / " << injection.what << ": " << ::testing::PrintToString(host.Violations());
    EXPECT_TRUE(host.Outstanding().empty())
        << scenario.name << " / " << injection.what << ": " << ::testing::PrintToString(host.Outstanding());
    if (ok) ++Totals().clean;
  }
}

}  // namespace sweep
