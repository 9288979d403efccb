#include "ledger.h"

namespace refhost {

void Ledger::Take(const std::string& kind) { ++out_[kind]; }

bool Ledger::Give(const std::string& kind, const std::string& what_if_not_out) {
  auto it = out_.find(kind);
  if (it == out_.end() || it->second <= 0) {
    Violation(what_if_not_out);
    return false;
  }
  if (--it->second == 0) out_.erase(it);
  return true;
}

void Ledger::Violation(std::string what) { violations_.push_back(std::move(what)); }

int Ledger::Outstanding(const std::string& kind) const {
  auto it = out_.find(kind);
  return it == out_.end() ? 0 : it->second;
}

std::map<std::string, int> Ledger::AllOutstanding() const { return out_; }

}  // namespace refhost
