// Keyframes out: every parameter stream as JSON, and a bake's steps as CSV.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "records.h"

namespace refhost::output {

// A value as JSON, in the same form a scene gives it: a path id as an integer,
// percent and degrees as numbers, a point as [x, y], a checkbox as true/false, a
// popup as its item number, a colour as "#rrggbb" or "#rrggbbaa".
nlohmann::json ValueJson(ParamKind kind, const ParamValue& value);

// {"time_scale", "time_step", "duration", "streams": [{"index", "key", "name",
// "type", "hidden", "value", "keyframes": [{"time", "seconds", "value"}]}]}.
nlohmann::json KeyframesJson(const TimeBase& time, const std::vector<StreamRecord>& streams);
void WriteKeyframesJson(const std::filesystem::path& file, const TimeBase& time,
                        const std::vector<StreamRecord>& streams);

// "time,seconds,x,y,angle" and one row per sample; numbers in their shortest form
// that reads back to the same double.
std::string BakeCsv(const TimeBase& time, const std::vector<BakeSample>& samples);
void WriteBakeCsv(const std::filesystem::path& file, const TimeBase& time, const std::vector<BakeSample>& samples);

// The bake's steps from the Point and Angle streams: one sample per time at which
// both have a keyframe, in time order.
std::vector<BakeSample> BakeSamplesFromStreams(const StreamRecord& point, const StreamRecord& angle);

}  // namespace refhost::output
