// Every kind of bad scene is refused before anything runs, with the file, the place
// in it and what is wrong.
#include <gtest/gtest.h>

#include <fstream>
#include <functional>

#include <nlohmann/json.hpp>

#include "refhost/scene/scene.h"
#include "temp_dir.h"

namespace {

using nlohmann::json;
using refhost::scene::ParseScene;
using refhost::scene::SceneError;

const char* const GOOD_SCENE = R"({
  "layer": {"width": 64, "height": 48, "pattern": "solid", "color": "#808080"},
  "time": {"scale": 30, "step": 1, "duration": 30},
  "masks": [
    {"id": 1, "closed": false, "vertices": [[0, 0], {"x": 10, "y": 10, "in": [-2, 0]}]},
    {"id": 7, "closed": true, "shapes": [
      {"time": 0, "vertices": [[0, 0], [10, 0], [10, 10]]},
      {"time": 10, "vertices": [[0, 0], [20, 0], [20, 20]]}]}
  ],
  "params": {
    "path": 1,
    "offset_percent": {"keyframes": [{"time": 0, "value": 0}, {"time": 29, "value": 100}]},
    "guide_color": "#ff0000"
  },
  "steps": [{"render": {"time": 0}}, {"bake": {}}]
})";

struct BadScene {
  const char* what;
  std::function<void(json&)> change;
  const char* where;
  const char* message;  // a part of the message
};

// Runs the parser and gives back its error; fails the test if there is none.
SceneError ErrorOf(const std::string& text, const std::filesystem::path& base = ".") {
  try {
    ParseScene(text, "bad.json", base);
  } catch (const SceneError& e) {
    return e;
  }
  ADD_FAILURE() << "accepted:\n" << text;
  return SceneError("", "", "");
}

json Good() { return json::parse(GOOD_SCENE); }
json::json_pointer P(const char* pointer) { return json::json_pointer(pointer); }

TEST(SceneErrors, GoodSceneIsAccepted) { EXPECT_NO_THROW(ParseScene(GOOD_SCENE, "good.json", ".")); }

const BadScene BAD_SCENES[] = {
    {"unknown top-level key", [](json& j) { j["mask"] = json::array(); }, "/mask", "unknown key \"mask\""},
    {"unknown key in a vertex", [](json& j) { j[P("/masks/0/vertices/1/tangent")] = 1; },
     "/masks/0/vertices/1/tangent", "unknown key \"tangent\""},
    {"missing layer", [](json& j) { j.erase("layer"); }, "/", "missing key \"layer\""},
    {"width as a string", [](json& j) { j[P("/layer/width")] = "64"; }, "/layer/width",
     "expected a whole number, found the string \"64\""},
    {"fractional height", [](json& j) { j[P("/layer/height")] = 47.5; }, "/layer/height", "expected a whole number"},
    {"layer too wide", [](json& j) { j[P("/layer/width")] = 30001; }, "/layer/width", "outside 1 to 30000"},
    {"depth 24", [](json& j) { j[P("/layer/depth")] = 24; }, "/layer/depth", "8, 16 or 32"},
    {"unknown pattern", [](json& j) { j[P("/layer/pattern")] = "plaid"; }, "/layer/pattern", "unknown pattern"},
    {"solid without colour", [](json& j) { j["layer"].erase("color"); }, "/layer", "missing key \"color\""},
    {"bad colour", [](json& j) { j[P("/layer/color")] = "#80808"; }, "/layer/color", "not a colour"},
    {"time step 0", [](json& j) { j[P("/time/step")] = 0; }, "/time/step", "the time step must be at least 1, not 0"},
    {"negative time scale", [](json& j) { j[P("/time/scale")] = -30; }, "/time/scale", "must be at least 1"},
    {"duration 0", [](json& j) { j[P("/time/duration")] = 0; }, "/time/duration", "must be at least 1"},
    {"endless layer", [](json& j) { j[P("/time/duration")] = 2000000000; }, "/time/duration", "at most 1000000"},
    {"mask id 0", [](json& j) { j[P("/masks/0/id")] = 0; }, "/masks/0/id", "outside 1 to 4294967295"},
    {"mask id twice", [](json& j) { j[P("/masks/1/id")] = 1; }, "/masks/1/id", "already used at /masks/0/id"},
    {"vertices and shapes", [](json& j) { j[P("/masks/0/shapes")] = json::array(); }, "/masks/0/shapes", "not both"},
    {"mask without shape", [](json& j) { j["masks"][0].erase("vertices"); }, "/masks/0", "missing key \"vertices\""},
    {"vertex count changes between shape keyframes",
     [](json& j) { j[P("/masks/1/shapes/1/vertices")].push_back({30, 30}); }, "/masks/1/shapes/1/vertices",
     "has 4 vertices but the shape at time 0 (/masks/1/shapes/0) has 3"},
    {"shape times out of order", [](json& j) { j[P("/masks/1/shapes/1/time")] = 0; }, "/masks/1/shapes/1/time",
     "shape times must increase"},
    {"vertex of three numbers", [](json& j) { j[P("/masks/0/vertices/0")] = {1, 2, 3}; }, "/masks/0/vertices/0",
     "expected 2 elements, found 3"},
    {"coordinate far off", [](json& j) { j[P("/masks/0/vertices/1/x")] = 1e9; }, "/masks/0/vertices/1/x",
     "outside -1000000 to 1000000"},
    {"path names a missing mask", [](json& j) { j[P("/params/path")] = 3; }, "/params/path",
     "no mask has id 3 (mask ids: 1, 7)"},
    {"unknown parameter", [](json& j) { j[P("/params/offset")] = 5; }, "/params/offset", "unknown parameter \"offset\""},
    {"offset beyond 100 per cent", [](json& j) { j[P("/params/offset_percent")] = 150; }, "/params/offset_percent",
     "outside 0 to 100"},
    {"angle beyond fixed point", [](json& j) { j[P("/params/angle")] = 40000; }, "/params/angle",
     "does not fit the host's fixed-point values"},
    {"keyframes out of order", [](json& j) { j[P("/params/offset_percent/keyframes/1/time")] = 0; },
     "/params/offset_percent/keyframes/1/time", "keyframe times must increase"},
    {"point of one number", [](json& j) { j[P("/params/point")] = {3}; }, "/params/point", "expected 2 elements"},
    {"unknown popup item", [](json& j) { j[P("/params/bake")] = "Run"; }, "/params/bake", "unknown item \"Run\""},
    {"checkbox as a number", [](json& j) { j[P("/params/guide")] = 1; }, "/params/guide", "expected true or false"},
    {"no steps", [](json& j) { j["steps"] = json::array(); }, "/steps", "at least 1 element"},
    {"unknown step", [](json& j) { j[P("/steps/0")] = {{"draw", json::object()}}; }, "/steps/0/draw",
     "unknown step \"draw\""},
    {"step with two actions", [](json& j) { j[P("/steps/0/bake")] = json::object(); }, "/steps/0", "one key"},
    {"frame after the layer ends", [](json& j) { j[P("/steps/0/render/time")] = 30; }, "/steps/0/render/time",
     "outside 0 to 29"},
    {"range ending before it starts", [](json& j) { j[P("/steps/0/render")] = {{"range", {10, 5}}}; },
     "/steps/0/render/range/1", "not after its start 10"},
    {"sheet of one frame", [](json& j) { j[P("/steps/0/render/sheet")] = true; }, "/steps/0/render/sheet",
     "applies to a range"},
    {"downsample 0", [](json& j) { j[P("/steps/0/render/downsample")] = 0; }, "/steps/0/render/downsample",
     "outside 1 to 48"},
    {"downsample beyond the layer", [](json& j) { j[P("/steps/0/render/downsample")] = {65, 1}; },
     "/steps/0/render/downsample/0", "outside 1 to 64"},
    {"user edit of a missing mask", [](json& j) { j["steps"].push_back({{"set", {{"param", "path"}, {"value", 9}}}}); },
     "/steps/2/set/value", "no mask has id 9"},
    {"user edit of an unknown parameter",
     [](json& j) { j["steps"].push_back({{"set", {{"param", "Offset"}, {"value", 9}}}}); }, "/steps/2/set/param",
     "unknown parameter \"Offset\""},
    {"step name leaving the output folder", [](json& j) { j[P("/steps/1/bake/name")] = "../x"; },
     "/steps/1/bake/name", "not a usable step name"},
    {"step name twice",
     [](json& j) {
       j[P("/steps/0/render/name")] = "a";
       j[P("/steps/1/bake/name")] = "a";
     },
     "/steps/1/bake", "already used by /steps/0"},
    {"fault with code 0", [](json& j) { j["steps"].push_back({{"fail_call", {{"call", "PF_CheckoutPath"}, {"code", 0}}}}); },
     "/steps/2/fail_call/code", "0 means success"},
    {"fault on a name that is no function",
     [](json& j) { j["steps"].push_back({{"fail_call", {{"call", "PF Checkout"}}}}); }, "/steps/2/fail_call/call",
     "not a host function's name"},
    {"missing image file",
     [](json& j) {
       j["layer"] = {{"image", "nowhere.png"}};
     },
     "/layer/image", "cannot use image nowhere.png: no such file"},
};

void PrintTo(const BadScene& scene, std::ostream* os) { *os << scene.what; }

class BadSceneTest : public ::testing::TestWithParam<BadScene> {};

TEST_P(BadSceneTest, IsRefusedWithFilePlaceAndReason) {
  json scene = Good();
  GetParam().change(scene);
  SceneError e = ErrorOf(scene.dump(2));
  EXPECT_EQ(e.File(), "bad.json");
  EXPECT_EQ(e.Where(), GetParam().where);
  EXPECT_NE(e.Message().find(GetParam().message), std::string::npos) << e.Message();
  EXPECT_EQ(std::string(e.what()), "bad.json: " + e.Where() + ": " + e.Message());
}

INSTANTIATE_TEST_SUITE_P(Table, BadSceneTest, ::testing::ValuesIn(BAD_SCENES),
                         [](const ::testing::TestParamInfo<BadScene>& param_info) {
                           std::string name;
                           for (const char* c = param_info.param.what; *c; ++c) name += std::isalnum(*c) ? *c : '_';
                           return name;
                         });

TEST(SceneErrors, BadJsonGivesLineAndColumn) {
  SceneError e = ErrorOf("{\n  \"layer\": {\"width\": 64,},\n}");
  EXPECT_EQ(e.Where(), "line 2, column 25");
  EXPECT_EQ(e.Message().rfind("bad JSON: syntax error", 0), 0u) << e.Message();

  EXPECT_EQ(ErrorOf("").Message().rfind("bad JSON", 0), 0u);
  EXPECT_EQ(ErrorOf("{\"layer\": 1} trailing").Where(), "line 1, column 16");
  // A number beyond a double is a JSON error too, not a crash.
  e = ErrorOf("{\n \"layer\": -2e999}");
  EXPECT_EQ(e.Where(), "line 2, column 11");
  EXPECT_EQ(e.Message(), "bad JSON: a number too large to hold");
}

TEST(SceneErrors, KeyGivenTwiceIsNamedAtItsObject) {
  // The JSON library would keep the second value silently.
  SceneError e = ErrorOf(R"({"masks": [{"id": 1, "vertices": [], "closed": true, "closed": false}]})");
  EXPECT_EQ(e.Where(), "/masks/0");
  EXPECT_EQ(e.Message(), "key \"closed\" appears twice");

  e = ErrorOf(R"({"steps": [1, [2, {"a": 1, "a": 2}]]})");
  EXPECT_EQ(e.Where(), "/steps/1/1");
  // The same key in sibling objects is no repeat.
  e = ErrorOf(R"({"masks": [{"id": 1}, {"id": 2}], "masks": []})");
  EXPECT_EQ(e.Where(), "/");
}

TEST(SceneErrors, NestingDeeperThanAnySceneIsRefusedWhereItGoesTooDeep) {
  // Read to any depth, 5000 levels took memory by the square of the depth, and
  // the message showing a value so nested overflowed the stack.
  constexpr int LEVELS = 5000;
  const std::string nested = std::string(LEVELS, '[') + std::string(LEVELS, ']');
  std::string where = "/layer/depth";
  for (int level = 0; level < 30; ++level) where += "/0";  // the 33rd level
  SceneError e = ErrorOf(R"({"layer": {"depth": )" + nested + "}}");
  EXPECT_EQ(e.Where(), where);
  EXPECT_EQ(e.Message(), "nested deeper than 32 levels; a scene needs no more than 8");
}

TEST(SceneErrors, ImageThatIsNoImageOrOfTheWrongSize) {
  TempDir dir;
  std::ofstream(dir / "notes.png") << "not a picture";
  SceneError e = ErrorOf(R"({"layer": {"image": "notes.png"}, "time": {"scale": 1, "step": 1, "duration": 1},
                             "steps": [{"render": {"time": 0}}]})",
                         dir.Path());
  EXPECT_EQ(e.Where(), "/layer/image");
  EXPECT_NE(e.Message().find("not a PNG or OpenEXR file"), std::string::npos) << e.Message();
}

TEST(SceneErrors, MissingFileIsNamed) {
  try {
    refhost::scene::LoadScene("no-such-scene.json");
    FAIL();
  } catch (const SceneError& e) {
    EXPECT_EQ(std::string(e.what()), "no-such-scene.json: no such file");
  }
}

}  // namespace
