#include "faults.h"

#include <cstdint>

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
  seen_by_address_.clear();
  recent_ = {};
  quirks_.clear();
  reported_format_.reset();
}

int& FaultPlan::CountOf(const char* call) {
  const auto address = reinterpret_cast<std::uintptr_t>(call);
  Recent& recent = recent_[(address ^ (address >> 6)) % recent_.size()];
  if (recent.call == call) return *recent.count;
  int*& count = seen_by_address_[call];
  if (count == nullptr) {
    const std::string_view name(call);
    auto it = seen_.find(name);
    if (it == seen_.end()) it = seen_.emplace(std::string(name), 0).first;
    count = &it->second;
  }
  recent = {call, count};
  return *count;
}

std::optional<PF_Err> FaultPlan::OnCall(const char* call) {
  const int nth = ++CountOf(call);
  if (failures_.empty()) return std::nullopt;
  auto it = failures_.find({call, nth});
  if (it == failures_.end()) return std::nullopt;
  return it->second;
}

std::optional<AcquireQuirk> FaultPlan::QuirkFor(std::string_view suite, A_long version) const {
  if (quirks_.empty()) return std::nullopt;
  auto it = quirks_.find({std::string(suite), version});
  if (it == quirks_.end()) return std::nullopt;
  return it->second;
}

int FaultPlan::Seen(std::string_view call) const {
  auto it = seen_.find(call);
  return it == seen_.end() ? 0 : it->second;
}

bool FaultPlan::LatestFails(const char* call) const {
  return failures_.count({call, Seen(call)}) != 0;
}

}  // namespace refhost
