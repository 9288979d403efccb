#include "trace.h"

#include <algorithm>

namespace refhost {

void Trace::Record(TraceEntry entry) {
  if (enabled_) entries_.push_back(std::move(entry));
}

std::size_t Trace::Count(const std::string& call) const {
  return static_cast<std::size_t>(std::count_if(
      entries_.begin(), entries_.end(), [&](const TraceEntry& e) { return e.call == call; }));
}

std::vector<std::string> Trace::Calls() const {
  std::vector<std::string> calls;
  calls.reserve(entries_.size());
  for (const TraceEntry& e : entries_) calls.push_back(e.call);
  return calls;
}

nlohmann::json ToJson(const TraceEntry& entry) {
  nlohmann::json line = {{"call", entry.call}};
  if (entry.args.is_object()) {
    for (auto it = entry.args.begin(); it != entry.args.end(); ++it) line[it.key()] = it.value();
  }
  line["result"] = entry.result;
  if (entry.injected) line["injected"] = true;
  return line;
}

void Trace::WriteJsonLines(std::ostream& out) const {
  for (const TraceEntry& e : entries_) out << ToJson(e).dump() << '\n';
}

}  // namespace refhost
