#include "faults.h"

namespace refhost {

void FaultPlan::FailCall(const std::string& call, int nth, PF_Err code) {
  failures_[{call, nth}] = code;
}

void FaultPlan::SetAcquireQuirk(const std::string& suite, A_long version, AcquireQuirk quirk) {
  quirks_[{suite, version}] = quirk;
}

void FaultPlan::Clear() {
  failures_.clear();
  seen_.clear();
  quirks_.clear();
  reported_format_.reset();
}

std::optional<PF_Err> FaultPlan::OnCall(const std::string& call) {
  const int nth = ++seen_[call];
  if (failures_.empty()) return std::nullopt;
  auto it = failures_.find({call, nth});
  if (it == failures_.end()) return std::nullopt;
  return it->second;
}

std::optional<AcquireQuirk> FaultPlan::QuirkFor(const std::string& suite, A_long version) const {
  auto it = quirks_.find({suite, version});
  if (it == quirks_.end()) return std::nullopt;
  return it->second;
}

int FaultPlan::Seen(const std::string& call) const {
  auto it = seen_.find(call);
  return it == seen_.end() ? 0 : it->second;
}

bool FaultPlan::LatestFails(const std::string& call) const {
  return failures_.count({call, Seen(call)}) != 0;
}

}  // namespace refhost
