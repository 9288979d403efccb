#include "ledger.h"

#include <cstdint>
#include <cstring>

namespace refhost {

// Kinds are short names ("seg_prep", "suite PF Path Data Suite 1"): their length
// and their first and last eight bytes tell them apart, so only those are mixed,
// not every byte.
std::size_t Ledger::KindHash::operator()(std::string_view kind) const {
  std::uint64_t h = kind.size() * 0x9E3779B97F4A7C15ull;
  if (kind.size() >= 8) {
    std::uint64_t head = 0, tail = 0;
    std::memcpy(&head, kind.data(), 8);
    std::memcpy(&tail, kind.data() + kind.size() - 8, 8);
    h ^= head * 0xC2B2AE3D27D4EB4Full;
    h ^= (tail ^ (tail >> 29)) * 0x165667B19E3779F9ull;
  } else {
    for (char c : kind) h = (h ^ static_cast<unsigned char>(c)) * 0x100000001B3ull;
  }
  return static_cast<std::size_t>(h ^ (h >> 32));
}

void Ledger::Take(std::string_view kind) {
  auto it = out_.find(kind);
  if (it == out_.end()) it = out_.emplace(std::string(kind), 0).first;
  ++it->second;
}

bool Ledger::Give(std::string_view kind, std::string_view what_if_not_out) {
  if (TryGive(kind)) return true;
  Violation(std::string(what_if_not_out));
  return false;
}

bool Ledger::TryGive(std::string_view kind) {
  auto it = out_.find(kind);
  if (it == out_.end() || it->second <= 0) return false;
  --it->second;
  return true;
}

void Ledger::Violation(std::string what) { violations_.push_back(std::move(what)); }

int Ledger::Outstanding(std::string_view kind) const {
  auto it = out_.find(kind);
  return it == out_.end() ? 0 : it->second;
}

std::map<std::string, int> Ledger::AllOutstanding() const {
  std::map<std::string, int> out;
  for (const auto& [kind, count] : out_) {
    if (count > 0) out.emplace(kind, count);
  }
  return out;
}

}  // namespace refhost
