// The host's record of every call the module makes into it, in order.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace refhost {

struct TraceEntry {
  std::string call;
  nlohmann::json args;    // arguments by name
  nlohmann::json result;  // an error code, or what a call that returns no code gave back
  bool injected = false;  // the result was a fault the host was told to inject
};

class Trace {
 public:
  void Record(TraceEntry entry);
  void SetEnabled(bool enabled) { enabled_ = enabled; }
  bool Enabled() const { return enabled_; }
  void Clear() { entries_.clear(); }

  const std::vector<TraceEntry>& Entries() const { return entries_; }
  std::size_t Count(const std::string& call) const;
  // Names of the calls in order, for comparing against an expected sequence.
  std::vector<std::string> Calls() const;
  // One JSON object per line: {"call": ..., <args by name>..., "result": ...}.
  void WriteJsonLines(std::ostream& out) const;

 private:
  bool enabled_ = true;
  std::vector<TraceEntry> entries_;
};

nlohmann::json ToJson(const TraceEntry& entry);

}  // namespace refhost
