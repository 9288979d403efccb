// Failures the host is told to produce, so every error path of the module can be
// driven on purpose.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
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

  // Counts one call of `call`; gives the code to fail it with, if any.
  std::optional<PF_Err> OnCall(const std::string& call);
  std::optional<AcquireQuirk> QuirkFor(const std::string& suite, A_long version) const;
  int Seen(const std::string& call) const;
  // Whether the latest call of `call` counted is one set to fail: for a give-back
  // call, whose work is done even when it fails, to leave out what a failure would.
  bool LatestFails(const std::string& call) const;

 private:
  std::map<std::pair<std::string, int>, PF_Err> failures_;
  std::map<std::string, int> seen_;
  std::map<std::pair<std::string, A_long>, AcquireQuirk> quirks_;
  std::optional<PF_PixelFormat> reported_format_;
};

}  // namespace refhost
