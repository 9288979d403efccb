// Failures the host is told to produce, so every error path of the module can be
// driven on purpose.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "../plugin/host/host_contract.h"

namespace refhost {

enum class AcquireQuirk {
  UNAVAILABLE,           // an error and no suite
  ERROR_WITH_POINTER,    // an error, yet the suite is handed out
  NULL_WITHOUT_ERROR,    // no error, yet no suite
};

class FaultPlan {
 public:
  // The nth call (1-based, counted from when the plan was last cleared) of `call`
  // fails with `code`. Calls that return a pointer yield null instead.
  void FailCall(const std::string& call, int nth, PF_Err code);
  void FailAllocation(int nth) { FailCall("host_new_handle", nth, PF_Err_OUT_OF_MEMORY); }
  void FailLock(int nth) { FailCall("host_lock_handle", nth, PF_Err_OUT_OF_MEMORY); }
  void SetAcquireQuirk(const std::string& suite, A_long version, AcquireQuirk quirk);
  void MakeSuiteUnavailable(const std::string& suite, A_long version) {
    SetAcquireQuirk(suite, version, AcquireQuirk::UNAVAILABLE);
  }
  // PF_GetPixelFormat reports `format` for every world, so the module can be
  // handed a world of a format it does not render.
  void ReportPixelFormat(PF_PixelFormat format) { reported_format_ = format; }
  std::optional<PF_PixelFormat> ReportedPixelFormat() const { return reported_format_; }
  void Clear();

  // Counts one call of `call`; gives the code to fail it with, if any. `call` is
  // the name every callback passes, a string that lives as long as the program.
  std::optional<PF_Err> OnCall(const char* call);
  std::optional<AcquireQuirk> QuirkFor(std::string_view suite, A_long version) const;
  int Seen(std::string_view call) const;
  // Whether the latest call of `call` counted is one set to fail: for a give-back
  // call, whose work is done even when it fails, to leave out what a failure would.
  bool LatestFails(const char* call) const;

 private:
  int& CountOf(const char* call);

  // Keyed by name; the nodes never move, so each count is also reached through the
  // address of the name its callback passes, without comparing text on every call:
  // first in a small table by that address, then in a map of every address seen.
  std::map<std::string, int, std::less<>> seen_;
  std::unordered_map<const char*, int*> seen_by_address_;
  struct Recent {
    const char* call = nullptr;
    int* count = nullptr;
  };
  std::array<Recent, 64> recent_{};
  std::map<std::pair<std::string, int>, PF_Err> failures_;
  std::map<std::pair<std::string, A_long>, AcquireQuirk> quirks_;
  std::optional<PF_PixelFormat> reported_format_;
};

}  // namespace refhost
