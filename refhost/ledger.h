// What the host has handed out and not yet taken back, and every misuse seen.
#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace refhost {

class Ledger {
 public:
  // One more of `kind` (a suite "PF Handle Suite/1", "param", "path", ...) is out.
  void Take(std::string_view kind);
  // One comes back; giving back what is not out is recorded as a violation.
  bool Give(std::string_view kind, std::string_view what_if_not_out);
  // One comes back if one is out; false, and nothing recorded, otherwise (for a
  // caller that words the violation itself, only when there is one).
  bool TryGive(std::string_view kind);
  // Marked cold: the messages callers build for a misuse are then kept apart from
  // the code every well-behaved call runs.
  [[gnu::cold]] void Violation(std::string what);

  int Outstanding(std::string_view kind) const;
  // Every kind with something still out, and how many.
  std::map<std::string, int> AllOutstanding() const;
  const std::vector<std::string>& Violations() const { return violations_; }
  void ClearViolations() { violations_.clear(); }

 private:
  // Kinds are looked up on every path and segment call, so by hash, and by any
  // string type: a kind passed as a literal is never copied into a string to be
  // found. A kind keeps its entry at zero once it was taken, so taking and giving
  // back make no entry each time.
  struct KindHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view kind) const;
  };
  std::unordered_map<std::string, int, KindHash, std::equal_to<>> out_;
  std::vector<std::string> violations_;
};

}  // namespace refhost
