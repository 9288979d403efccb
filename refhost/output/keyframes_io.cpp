#include "keyframes_io.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

#include "atomic_file.h"

namespace refhost::output {

namespace {

const char* KindName(ParamKind kind) {
  switch (kind) {
    case ParamKind::PATH: return "path";
    case ParamKind::PERCENT: return "percent";
    case ParamKind::ANGLE: return "angle";
    case ParamKind::POINT: return "point";
    case ParamKind::CHECKBOX: return "checkbox";
    case ParamKind::POPUP: return "popup";
    case ParamKind::COLOR: return "color";
  }
  return "?";
}

// Shortest text that reads back to the same double; a NaN or an infinity (which
// no host value should be, but a faulty module could write) stays visible.
std::string Number(double v) {
  if (std::isnan(v)) return "nan";
  if (std::isinf(v)) return v > 0 ? "inf" : "-inf";
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, v);
  return std::string(buffer, end);
}

// JSON has no NaN or infinity: such a value is written as null rather than
// silently becoming something that looks valid.
nlohmann::json JsonNumber(double v) {
  if (!std::isfinite(v)) return nullptr;
  return v;
}

}  // namespace

nlohmann::json ValueJson(ParamKind kind, const ParamValue& value) {
  switch (kind) {
    case ParamKind::PATH:
    case ParamKind::POPUP:
      if (!std::isfinite(value.number)) return nullptr;
      return static_cast<std::int64_t>(value.number);
    case ParamKind::PERCENT:
    case ParamKind::ANGLE: return JsonNumber(value.number);
    case ParamKind::POINT: return nlohmann::json::array({JsonNumber(value.x), JsonNumber(value.y)});
    case ParamKind::CHECKBOX: return value.number != 0;
    case ParamKind::COLOR: return FormatColor(value.color);
  }
  return nullptr;
}

nlohmann::json KeyframesJson(const TimeBase& time, const std::vector<StreamRecord>& streams) {
  nlohmann::json out;
  out["time_scale"] = time.scale;
  out["time_step"] = time.step;
  out["duration"] = time.duration;
  out["streams"] = nlohmann::json::array();
  for (const StreamRecord& stream : streams) {
    nlohmann::json keyframes = nlohmann::json::array();
    for (const StreamKeyframe& k : stream.keyframes) {
      keyframes.push_back({{"time", k.time}, {"seconds", time.Seconds(k.time)}, {"value", ValueJson(stream.kind, k.value)}});
    }
    out["streams"].push_back({{"index", stream.index},
                              {"key", stream.key},
                              {"name", stream.name},
                              {"type", KindName(stream.kind)},
                              {"hidden", stream.hidden},
                              {"value", ValueJson(stream.kind, stream.value)},
                              {"keyframes", std::move(keyframes)}});
  }
  return out;
}

void WriteKeyframesJson(const std::filesystem::path& file, const TimeBase& time,
                        const std::vector<StreamRecord>& streams) {
  WriteTextAtomically(file, KeyframesJson(time, streams).dump(2) + "\n");
}

std::string BakeCsv(const TimeBase& time, const std::vector<BakeSample>& samples) {
  std::string out = "time,seconds,x,y,angle\n";
  for (const BakeSample& s : samples) {
    out += std::to_string(s.time) + "," + Number(time.Seconds(s.time)) + "," + Number(s.x) + "," + Number(s.y) +
           "," + Number(s.angle) + "\n";
  }
  return out;
}

void WriteBakeCsv(const std::filesystem::path& file, const TimeBase& time, const std::vector<BakeSample>& samples) {
  WriteTextAtomically(file, BakeCsv(time, samples));
}

std::vector<BakeSample> BakeSamplesFromStreams(const StreamRecord& point, const StreamRecord& angle) {
  std::map<A_long, double> angles;
  for (const StreamKeyframe& k : angle.keyframes) angles[k.time] = k.value.number;
  std::map<A_long, BakeSample> samples;
  for (const StreamKeyframe& k : point.keyframes) {
    auto a = angles.find(k.time);
    if (a != angles.end()) samples[k.time] = {k.time, k.value.x, k.value.y, a->second};
  }
  std::vector<BakeSample> out;
  out.reserve(samples.size());
  for (const auto& [t, s] : samples) out.push_back(s);
  return out;
}

}  // namespace refhost::output
