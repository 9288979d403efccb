// Keyframes out: the JSON of every stream and the CSV of a bake say exactly what
// the streams held.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <limits>
#include <sstream>

#include "refhost/output/keyframes_io.h"
#include "temp_dir.h"

namespace {

using namespace refhost::output;
using nlohmann::json;

StreamRecord Stream(int index, const char* key, const char* name, ParamKind kind) {
  StreamRecord s;
  s.index = index;
  s.key = key;
  s.name = name;
  s.kind = kind;
  return s;
}

TEST(KeyframesJson, EveryStreamWithValueKeyframesTimesAndHiddenFlag) {
  TempDir dir;
  TimeBase time{600, 20, 1200};
  StreamRecord percent = Stream(2, "offset_percent", "Offset", ParamKind::PERCENT);
  percent.hidden = true;
  percent.value.number = 12.5;
  StreamRecord point = Stream(4, "point", "Point", ParamKind::POINT);
  point.value.x = 160;
  point.value.y = 100;
  point.keyframes.push_back({0, {0, 1.5, -2.25, {}}});
  point.keyframes.push_back({300, {0, 3, 4, {}}});
  StreamRecord color = Stream(9, "guide_color", "Guide Color", ParamKind::COLOR);
  color.value.color = {255, 86, 118, 255};
  StreamRecord guide = Stream(8, "guide", "Guide", ParamKind::CHECKBOX);
  StreamRecord path = Stream(1, "path", "Path", ParamKind::PATH);
  path.value.number = 4000000000.0;

  WriteKeyframesJson(dir / "k.json", time, {percent, point, color, guide, path});
  std::ifstream in(dir / "k.json");
  json j = json::parse(in);
  EXPECT_EQ(j["time_scale"], 600);
  EXPECT_EQ(j["time_step"], 20);
  EXPECT_EQ(j["duration"], 1200);
  ASSERT_EQ(j["streams"].size(), 5u);
  EXPECT_EQ(j["streams"][0], json::parse(R"({"index": 2, "key": "offset_percent", "name": "Offset",
      "type": "percent", "hidden": true, "value": 12.5, "keyframes": []})"));
  EXPECT_EQ(j["streams"][1]["value"], json::parse("[160.0, 100.0]"));
  EXPECT_EQ(j["streams"][1]["keyframes"], json::parse(R"([
      {"time": 0, "seconds": 0.0, "value": [1.5, -2.25]},
      {"time": 300, "seconds": 0.5, "value": [3.0, 4.0]}])"));
  EXPECT_EQ(j["streams"][2]["value"], "#5676ff");
  EXPECT_EQ(j["streams"][3]["value"], false);
  EXPECT_EQ(j["streams"][4]["value"], 4000000000);
}

TEST(KeyframesJson, ValuesJsonCannotHoldAreNullNotNumbers) {
  ParamValue v;
  v.number = std::numeric_limits<double>::quiet_NaN();
  EXPECT_TRUE(ValueJson(ParamKind::ANGLE, v).is_null());
  v.x = std::numeric_limits<double>::infinity();
  EXPECT_TRUE(ValueJson(ParamKind::POINT, v)[0].is_null());
  v.color = {0x80, 1, 2, 3};
  EXPECT_EQ(ValueJson(ParamKind::COLOR, v), "#01020380");
}

TEST(BakeCsv, OneRowPerStepWithNumbersThatReadBackExactly) {
  TimeBase time{30, 1, 90};
  std::vector<BakeSample> samples = {{0, 640, 360, 0}, {1, 0.1 + 0.2, 1.0 / 3.0, -179.99999999999997}};
  std::string csv = BakeCsv(time, samples);
  std::istringstream lines(csv);
  std::string header, first, second;
  std::getline(lines, header);
  std::getline(lines, first);
  std::getline(lines, second);
  EXPECT_EQ(header, "time,seconds,x,y,angle");
  EXPECT_EQ(first, "0,0,640,360,0");
  std::vector<double> fields;
  std::istringstream row(second);
  for (std::string cell; std::getline(row, cell, ',');) fields.push_back(std::strtod(cell.c_str(), nullptr));
  ASSERT_EQ(fields.size(), 5u);
  EXPECT_EQ(fields[1], 1.0 / 30.0);
  EXPECT_EQ(fields[2], 0.1 + 0.2);
  EXPECT_EQ(fields[3], 1.0 / 3.0);
  EXPECT_EQ(fields[4], -179.99999999999997);
}

TEST(BakeCsv, SamplesJoinPointAndAngleByTime) {
  StreamRecord point = Stream(4, "point", "Point", ParamKind::POINT);
  StreamRecord angle = Stream(5, "angle", "Angle", ParamKind::ANGLE);
  point.keyframes = {{2, {0, 20, 21, {}}}, {0, {0, 1, 2, {}}}, {1, {0, 10, 11, {}}}};
  angle.keyframes = {{0, {90, 0, 0, {}}}, {2, {270, 0, 0, {}}}};  // no angle at time 1
  std::vector<BakeSample> samples = BakeSamplesFromStreams(point, angle);
  ASSERT_EQ(samples.size(), 2u);
  EXPECT_EQ(samples[0].time, 0);
  EXPECT_EQ(samples[0].x, 1);
  EXPECT_EQ(samples[0].angle, 90);
  EXPECT_EQ(samples[1].time, 2);
  EXPECT_EQ(samples[1].y, 21);
  EXPECT_EQ(samples[1].angle, 270);
}

}  // namespace
