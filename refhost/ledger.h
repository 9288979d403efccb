// What the host has handed out and not yet taken back, and every misuse seen.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace refhost {

class Ledger {
 public:
  // One more of `kind` (a suite "PF Handle Suite/1", "param", "path", ...) is out.
  void Take(const std::string& kind);
  // One comes back; giving back what is not out is recorded as a violation.
  bool Give(const std::string& kind, const std::string& what_if_not_out);
  void Violation(std::string what);

  int Outstanding(const std::string& kind) const;
  // Every kind with something still out, and how many.
  std::map<std::string, int> AllOutstanding() const;
  const std::vector<std::string>& Violations() const { return violations_; }
  void ClearViolations() { violations_.clear(); }

 private:
  std::map<std::string, int> out_;
  std::vector<std::string> violations_;
};

}  // namespace refhost
