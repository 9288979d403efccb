// Scenes run for real through the module file, by the same code the program runs:
// the demo writes every file it announces, each feature's outputs say what the
// effect did (marker pixels in the frames, keyframe values in the JSON), and a run
// that fails says why in one line and leaves no output behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include <nlohmann/json.hpp>

#include "host/commands.h"
#include "host/scene_runner.h"
#include "refhost/output/exr_io.h"
#include "refhost/output/png_io.h"
#include "refhost/scene/plan.h"
#include "refhost/scene/scene.h"
#include "temp_dir.h"

namespace {

using namespace thimbleroute_cli;
using nlohmann::json;
namespace output = refhost::output;
namespace scene = refhost::scene;

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

// Writes the scene into dir/s.json and runs it into `out_dir` (default dir/out).
Outcome RunText(const TempDir& dir, const std::string& text, std::filesystem::path out_dir = {},
                std::optional<std::filesystem::path> trace = {}) {
  std::ofstream(dir / "s.json") << text;
  RunOptions options;
  options.scene = dir / "s.json";
  options.out = out_dir.empty() ? dir / "out" : out_dir;
  options.trace = std::move(trace);
  options.module = THIMBLEROUTE_MODULE_PATH;
  std::ostringstream out, err;
  Outcome outcome;
  outcome.code = RunCommand(options, out, err);
  outcome.out = out.str();
  outcome.err = err.str();
  return outcome;
}

json ReadJson(const std::filesystem::path& file) {
  std::ifstream in(file);
  return json::parse(in);
}

std::vector<std::string> Lines(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A pixel of a PNG as stored: red, green, blue, alpha.
std::vector<int> PngPixel(const output::PngSamples& png, int x, int y) {
  std::size_t i = 4 * (static_cast<std::size_t>(y) * static_cast<std::size_t>(png.info.width) + static_cast<std::size_t>(x));
  return {png.rgba[i], png.rgba[i + 1], png.rgba[i + 2], png.rgba[i + 3]};
}

const json& Stream(const json& keyframes, const char* key) {
  for (const json& s : keyframes["streams"]) {
    if (s["key"] == key) return s;
  }
  static const json none;
  ADD_FAILURE() << "no stream " << key;
  return none;
}

TEST(SceneRun, DemoWritesEveryFileItAnnounces) {
  TempDir dir;
  DemoOptions options;
  options.out = dir / "demo";
  options.module = THIMBLEROUTE_MODULE_PATH;
  std::ostringstream out, err;
  ASSERT_EQ(DemoCommand(options, out, err), EXIT_OK) << err.str() << out.str();
  EXPECT_EQ(err.str(), "");

  const std::vector<scene::PlannedFile> plan = scene::PlanOutputs(scene::DemoScene());
  EXPECT_NE(out.str().find("Wrote " + std::to_string(plan.size()) + " files under " + options.out.string() + ":\n"),
            std::string::npos)
      << out.str();
  // Exactly the announced files (and their folders): no staging folder left over.
  std::vector<std::string> expected = {"demo", "demo/bakes", "demo/frames"};
  std::set<std::size_t> ranges_listed;
  for (const scene::PlannedFile& file : plan) {
    expected.push_back((std::filesystem::path("demo") / file.path).string());
    EXPECT_GT(std::filesystem::file_size(options.out / file.path), 0u) << file.path;
    // A range's frames are listed by their first.
    if (file.kind != scene::OutputKind::FRAME || ranges_listed.insert(file.step).second) {
      EXPECT_NE(out.str().find("  " + file.path.string()), std::string::npos) << file.path;
    }
  }
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(dir.Entries(), expected);

  EXPECT_NE(out.str().find("  s-curve: 120 keyframes along \"S-curve\" (mask 1, open), path length "), std::string::npos)
      << out.str();
  EXPECT_NE(out.str().find("  closed: 120 keyframes along \"Closed shape\" (mask 2, closed), path length "),
            std::string::npos);
  EXPECT_EQ(Lines(options.out / "bakes/s-curve.csv").size(), 121u);

  // At time 0 the marker sits on the S-curve's first vertex, in the demo's colour.
  output::PngSamples first = output::ReadPngSamples(options.out / "frames/s-curve-8bit-t000-8bit.png");
  EXPECT_EQ(first.info.width, 1280);
  EXPECT_EQ(PngPixel(first, 110, 580), (std::vector<int>{0xff, 0xb0, 0x20, 255}));
  EXPECT_EQ(output::ReadPngInfo(options.out / "frames/s-curve-half-t060-8bit.png").width, 640);
  EXPECT_EQ(output::ReadPngInfo(options.out / "frames/s-curve-16bit-t060-16bit.png").bit_depth, 16);
  EXPECT_EQ(output::ReadExr(options.out / "frames/closed-float-t000-float.exr").height, 720);
}

// A line from (10, 20) to (50, 20) on a dark 64 × 48 layer: at 50 % the marker is at
// (30, 20) and its centre pixel takes the guide colour.
constexpr char LINE_SCENE[] = R"({
  "layer": {"width": 64, "height": 48, "pattern": "solid", "color": "#202020"},
  "time": {"scale": 30, "step": 1, "duration": 30},
  "masks": [{"id": 1, "vertices": [[10, 20], [50, 20]]}],
  "params": {"path": 1, "offset_percent": 50, "guide_color": "#ff0000"},
  "steps": [
    {"render": {"time": 0, "name": "d8"}},
    {"render": {"time": 0, "depth": 16, "name": "d16"}},
    {"render": {"time": 0, "depth": 32, "name": "f"}},
    {"render": {"time": 0, "downsample": 2, "name": "half"}},
    {"render": {"time": 0, "downsample": [2, 1], "name": "narrow"}}
  ]
})";

TEST(SceneRun, MarkerLandsAtTheOffsetAtEveryDepthAndResolution) {
  TempDir dir;
  Outcome run = RunText(dir, LINE_SCENE);
  ASSERT_EQ(run.code, EXIT_OK) << run.err;
  const std::filesystem::path frames = dir / "out" / "frames";

  output::PngSamples d8 = output::ReadPngSamples(frames / "d8-t00-8bit.png");
  EXPECT_EQ(PngPixel(d8, 30, 20), (std::vector<int>{255, 0, 0, 255}));
  EXPECT_EQ(PngPixel(d8, 5, 40), (std::vector<int>{0x20, 0x20, 0x20, 255}));
  output::PngSamples d16 = output::ReadPngSamples(frames / "d16-t00-16bit.png");
  EXPECT_EQ(d16.info.bit_depth, 16);
  EXPECT_EQ(PngPixel(d16, 30, 20), (std::vector<int>{65535, 0, 0, 65535}));
  output::Image f = output::ReadExr(frames / "f-t00-float.exr");
  const PF_PixelFloat centre = std::get<std::vector<PF_PixelFloat>>(f.pixels)[20 * 64 + 30];
  EXPECT_FLOAT_EQ(centre.red, 1.0f);
  EXPECT_FLOAT_EQ(centre.green, 0.0f);

  // Downsampled frames are smaller, the marker where the layer point falls in them.
  output::PngSamples half = output::ReadPngSamples(frames / "half-t00-8bit.png");
  EXPECT_EQ(half.info.width, 32);
  EXPECT_EQ(half.info.height, 24);
  EXPECT_EQ(PngPixel(half, 15, 10), (std::vector<int>{255, 0, 0, 255}));
  output::PngSamples narrow = output::ReadPngSamples(frames / "narrow-t00-8bit.png");
  EXPECT_EQ(narrow.info.width, 32);
  EXPECT_EQ(narrow.info.height, 48);
  EXPECT_EQ(PngPixel(narrow, 15, 20), (std::vector<int>{255, 0, 0, 255}));

  // The open path shows the percentage and hides the angle.
  json keyframes = ReadJson(dir / "out" / "keyframes.json");
  EXPECT_EQ(Stream(keyframes, "offset_percent")["value"], 50.0);
  EXPECT_EQ(Stream(keyframes, "offset_percent")["hidden"], false);
  EXPECT_EQ(Stream(keyframes, "offset_angle")["hidden"], true);
}

TEST(SceneRun, BakeWritesPointAndAngleKeyframesInLayerPixelsAtAnyResolution) {
  TempDir dir;
  Outcome run = RunText(dir, R"({
    "layer": {"width": 64, "height": 48, "pattern": "solid", "color": "#202020"},
    "time": {"scale": 10, "step": 1, "duration": 10},
    "masks": [{"id": 1, "name": "Line", "vertices": [[10, 20], [50, 20]]}],
    "params": {"path": 1, "offset_percent": {"keyframes": [{"time": 0, "value": 0}, {"time": 9, "value": 100}]}},
    "steps": [{"bake": {"name": "full"}}, {"bake": {"downsample": 2, "name": "half"}}]
  })");
  ASSERT_EQ(run.code, EXIT_OK) << run.err;
  EXPECT_NE(run.out.find("  full: 10 keyframes along \"Line\" (mask 1, open), path length 40.0 px, "),
            std::string::npos)
      << run.out;

  for (const char* name : {"full", "half"}) {
    SCOPED_TRACE(name);
    const std::filesystem::path bakes = dir / "out" / "bakes";
    std::vector<std::string> csv = Lines(bakes / (std::string(name) + ".csv"));
    ASSERT_EQ(csv.size(), 11u);
    EXPECT_EQ(csv[0], "time,seconds,x,y,angle");
    for (int t = 0; t < 10; ++t) {
      double seconds, x, y, angle;
      int time;
      ASSERT_EQ(std::sscanf(csv[static_cast<std::size_t>(t) + 1].c_str(), "%d,%lf,%lf,%lf,%lf", &time, &seconds, &x,
                            &y, &angle),
                5);
      EXPECT_EQ(time, t);
      EXPECT_DOUBLE_EQ(seconds, t / 10.0);
      EXPECT_NEAR(x, 10 + 40 * t / 9.0, 1e-3);
      EXPECT_NEAR(y, 20, 1e-3);
      EXPECT_NEAR(angle, 90, 1e-6);  // heading right
    }
    json keyframes = ReadJson(bakes / (std::string(name) + "-keyframes.json"));
    const json& point = Stream(keyframes, "point");
    // The static value stays the default, the layer's centre, beside the keyframes.
    EXPECT_EQ(point["value"], json::parse("[32.0, 24.0]"));
    ASSERT_EQ(point["keyframes"].size(), 10u);
    EXPECT_EQ(point["keyframes"][9]["time"], 9);
    EXPECT_DOUBLE_EQ(point["keyframes"][9]["seconds"].get<double>(), 0.9);
    EXPECT_NEAR(point["keyframes"][9]["value"][0].get<double>(), 50, 1e-3);
    EXPECT_EQ(Stream(keyframes, "angle")["keyframes"].size(), 10u);
    // The bake put the popup back and switched the guide off.
    EXPECT_EQ(Stream(keyframes, "bake")["value"], 1);
    EXPECT_EQ(Stream(keyframes, "guide")["value"], false);
    EXPECT_GT(output::ReadPngInfo(bakes / (std::string(name) + ".png")).width, 64);
  }
}

TEST(SceneRun, UserEditsShowTheFittingOffsetAndMoveTheMarker) {
  TempDir dir;
  Outcome run = RunText(dir, R"({
    "layer": {"width": 64, "height": 48, "pattern": "solid", "color": "#202020"},
    "time": {"scale": 10, "step": 1, "duration": 30},
    "masks": [
      {"id": 1, "vertices": [[10, 20], [50, 20]]},
      {"id": 2, "closed": true, "vertices": [[10, 10], [50, 10], [50, 40], [10, 40]]}
    ],
    "params": {"guide_color": "#00ff00",
               "offset_percent": {"keyframes": [{"time": 0, "value": 0}, {"time": 29, "value": 100}]}},
    "steps": [
      {"set": {"param": "path", "value": 1}},
      {"set": {"param": "offset_percent", "value": 25, "time": 0}},
      {"set": {"param": "offset_percent", "value": 50, "time": 10}},
      {"render": {"time": 0, "name": "line-0"}},
      {"render": {"time": 10, "name": "line-10"}},
      {"set": {"param": "path", "value": 2}},
      {"set": {"param": "offset_angle", "value": 90}},
      {"render": {"time": 0, "name": "box"}}
    ]
  })");
  ASSERT_EQ(run.code, EXIT_OK) << run.err;
  const std::filesystem::path frames = dir / "out" / "frames";
  const std::vector<int> green{0, 255, 0, 255};
  // The edit at time 0 replaced the keyframe there; the one at 10 added one.
  EXPECT_EQ(PngPixel(output::ReadPngSamples(frames / "line-0-t00-8bit.png"), 20, 20), green);
  EXPECT_EQ(PngPixel(output::ReadPngSamples(frames / "line-10-t10-8bit.png"), 30, 20), green);
  // A quarter turn on the closed 140-pixel box: 35 pixels along its top edge.
  EXPECT_EQ(PngPixel(output::ReadPngSamples(frames / "box-t00-8bit.png"), 45, 10), green);

  json keyframes = ReadJson(dir / "out" / "keyframes.json");
  EXPECT_EQ(Stream(keyframes, "path")["value"], 2);
  EXPECT_EQ(Stream(keyframes, "offset_percent")["hidden"], true);
  EXPECT_EQ(Stream(keyframes, "offset_angle")["hidden"], false);
  EXPECT_EQ(Stream(keyframes, "offset_angle")["value"], 90.0);
  EXPECT_EQ(Stream(keyframes, "offset_percent")["keyframes"], json::parse(R"([
      {"time": 0, "seconds": 0.0, "value": 25.0},
      {"time": 10, "seconds": 1.0, "value": 50.0},
      {"time": 29, "seconds": 2.9, "value": 100.0}])"));
}

TEST(SceneRun, InjectedFaultsFailTheirStepsAndTheEffectRecovers) {
  TempDir dir;
  RunOptions options;
  options.scene = std::filesystem::path(THIMBLEROUTE_SCENES) / "faults.json";
  options.out = dir / "out";
  options.trace = dir / "trace.jsonl";
  options.module = THIMBLEROUTE_MODULE_PATH;
  std::ostringstream out, err;
  ASSERT_EQ(RunCommand(options, out, err), EXIT_OK) << err.str() << out.str();
  EXPECT_NE(out.str().find("expecting error 516: failed as expected: PF_Cmd_SMART_RENDER at time 0 failed with error "
                           "516\n"),
            std::string::npos)
      << out.str();
  // Steps that failed as expected wrote nothing; the recovered frame has its marker.
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "out/frames", "out/frames/recovered-t0-8bit.png",
                                                     "out/keyframes.json", "trace.jsonl"}));
  output::PngSamples recovered = output::ReadPngSamples(dir / "out/frames/recovered-t0-8bit.png");
  EXPECT_EQ(PngPixel(recovered, 160, 90), (std::vector<int>{0x56, 0x76, 0xff, 255}));
  // The injected failures are marked in the trace.
  std::set<std::string> injected;
  for (const std::string& line : Lines(dir / "trace.jsonl")) {
    json entry = json::parse(line);
    if (entry.value("injected", false)) injected.insert(entry["call"].get<std::string>());
  }
  EXPECT_TRUE(injected.count("PF_CheckoutPath") == 1 && injected.count("AEGP_AddKeyframes") == 1)
      << ::testing::PrintToString(injected);
}

TEST(SceneRun, PluginErrorIsReportedAsTheHostShowsItAndNothingIsWritten) {
  TempDir dir;
  std::filesystem::create_directories(dir / "out");
  std::ofstream(dir / "out" / "old.txt") << "from an earlier run";
  // The snapshot of the interface update fails: the effect says "ERROR".
  Outcome run = RunText(dir, R"({
    "layer": {"width": 64, "height": 48},
    "time": {"scale": 30, "step": 1, "duration": 30},
    "masks": [{"id": 1, "vertices": [[10, 20], [50, 20]]}],
    "steps": [
      {"render": {"time": 0, "name": "before"}},
      {"fail_call": {"call": "PF_GetCurrentState", "code": 512}},
      {"set": {"param": "path", "value": 1}},
      {"render": {"time": 0, "name": "after"}}
    ]
  })",
                        dir / "out", dir / "trace.jsonl");
  EXPECT_EQ(run.code, EXIT_FAILED);
  EXPECT_EQ(run.err, "thimbleroute-host: error: " + (dir / "s.json").string() +
                         ": /steps/2: PF_Cmd_UPDATE_PARAMS_UI failed with error 512: ERROR\n");
  // The frame rendered before the failure is not left behind either; the trace is
  // written whole, since a failed run is when it is wanted.
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"out", "out/old.txt", "s.json", "trace.jsonl"}));
  const std::vector<std::string> trace = Lines(dir / "trace.jsonl");
  EXPECT_EQ(std::count_if(trace.begin(), trace.end(),
                          [](const std::string& line) {
                            json entry = json::parse(line);
                            return entry["call"] == "PF_GetCurrentState" && entry.value("injected", false);
                          }),
            1);

  // A folder the run had to create goes away with it.
  run = RunText(dir, R"({"layer": {"width": 8, "height": 8}, "time": {"scale": 1, "step": 1, "duration": 1},
                         "steps": [{"fail_call": {"call": "PF_Nothing"}}, {"render": {"time": 0}}]})",
                dir / "new" / "folder");
  EXPECT_EQ(run.code, EXIT_FAILED);
  EXPECT_FALSE(std::filesystem::exists(dir / "new"));
}

struct ScenarioMistake {
  const char* what;
  const char* steps;
  const char* error;  // after "<file>: "
};

// Mistakes that only a run can show: the scene is valid, yet it does not test what
// it says it does.
const ScenarioMistake MISTAKES[] = {
    {"fault on a misspelt function", R"([{"fail_call": {"call": "PF_CheckoutPth"}}, {"render": {"time": 0}}])",
     "/steps/0: the fault on PF_CheckoutPth never fired: call 1 from this step on was to fail, and the module made 0 "
     "such calls (is the name spelt as in the trace?)"},
    {"fault beyond the calls made", R"([{"fail_call": {"call": "PF_CheckoutPath", "nth": 3}}, {"render": {"time": 0}},
                                       {"clear_faults": {}}, {"render": {"time": 0}}])",
     "/steps/0: the fault on PF_CheckoutPath never fired: call 3 from this step on was to fail, and the module made 1 "
     "such call"},
    {"expected error that does not come", R"([{"render": {"time": 0, "expect_error": 512}}])",
     "/steps/0: expected error 512, but every command succeeded"},
    {"another error than expected",
     R"([{"fail_call": {"call": "PF_CheckoutPath"}}, {"render": {"time": 0, "expect_error": 4}}])",
     "/steps/1: expected error 4, but PF_Cmd_SMART_RENDER at time 0 failed with error 512"},
    {"suite the host does not offer", R"([{"suite_unavailable": {"suite": "PF Path Data"}}, {"render": {"time": 0}}])",
     "/steps/0/suite_unavailable/suite: the host offers no suite \"PF Path Data\" version 1"},
};

void PrintTo(const ScenarioMistake& mistake, std::ostream* os) { *os << mistake.what; }

class ScenarioMistakeTest : public ::testing::TestWithParam<ScenarioMistake> {};

TEST_P(ScenarioMistakeTest, FailsTheRunWithItsPlaceAndWritesNothing) {
  TempDir dir;
  Outcome run = RunText(dir, std::string(R"({
    "layer": {"width": 32, "height": 24},
    "time": {"scale": 30, "step": 1, "duration": 30},
    "masks": [{"id": 1, "vertices": [[4, 4], [28, 4]]}],
    "params": {"path": 1},
    "steps": )") + GetParam().steps + "}");
  EXPECT_EQ(run.code, EXIT_FAILED);
  EXPECT_EQ(run.err, "thimbleroute-host: error: " + (dir / "s.json").string() + ": " + GetParam().error + "\n");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"s.json"});
}

INSTANTIATE_TEST_SUITE_P(Table, ScenarioMistakeTest, ::testing::ValuesIn(MISTAKES),
                         [](const ::testing::TestParamInfo<ScenarioMistake>& param_info) {
                           std::string name;
                           for (const char* c = param_info.param.what; *c; ++c) name += std::isalnum(*c) ? *c : '_';
                           return name;
                         });

TEST(SceneRun, ModuleMisuseOfTheHostFailsTheRun) {
  TempDir dir;
  RunSettings settings;
  settings.module = THIMBLEROUTE_MODULE_PATH;
  settings.out_dir = dir / "out";
  // Stands in for a misuse the module commits during its first command.
  settings.prepare = [](refhost::Host& host) { host.ledger.Violation("param not given back by PF_Cmd_GLOBAL_SETUP (1)"); };
  scene::Scene s = scene::ParseScene(R"({"layer": {"width": 8, "height": 8},
      "time": {"scale": 1, "step": 1, "duration": 1}, "steps": [{"render": {"time": 0}}]})",
                                     "s.json", ".");
  std::ostringstream out;
  RunResult result = RunScene(s, settings, out);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.failure,
            "s.json: starting the effect: the module misused the host: param not given back by PF_Cmd_GLOBAL_SETUP (1)");
  EXPECT_NE(out.str().find("host: violation: param not given back"), std::string::npos);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{});
}

TEST(SceneRun, ModuleThatWillNotLoadIsNamedAndNothingIsWritten) {
  TempDir dir;
  std::ofstream(dir / "Broken.aex") << "not a module";
  std::ofstream(dir / "s.json") << R"({"layer": {"width": 8, "height": 8},
      "time": {"scale": 1, "step": 1, "duration": 1}, "steps": [{"render": {"time": 0}}]})";
  RunOptions options;
  options.scene = dir / "s.json";
  options.out = dir / "out";
  options.module = dir / "Broken.aex";
  std::ostringstream out, err;
  EXPECT_EQ(RunCommand(options, out, err), EXIT_FAILED);
  const std::string reason = err.str();
  EXPECT_EQ(reason.rfind("thimbleroute-host: error: ", 0), 0u) << reason;
  EXPECT_NE(reason.find((dir / "Broken.aex").string()), std::string::npos) << reason;
  EXPECT_EQ(std::count(reason.begin(), reason.end(), '\n'), 1);
  EXPECT_EQ(dir.Entries(), (std::vector<std::string>{"Broken.aex", "s.json"}));
}

class ExampleSceneTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ExampleSceneTest, RunsAndWritesWhatItPlans) {
  TempDir dir;
  RunOptions options;
  options.scene = std::filesystem::path(THIMBLEROUTE_SCENES) / GetParam();
  options.out = dir / "out";
  options.module = THIMBLEROUTE_MODULE_PATH;
  std::ostringstream out, err;
  ASSERT_EQ(RunCommand(options, out, err), EXIT_OK) << err.str() << out.str();
  for (const scene::PlannedFile& file : scene::PlanOutputs(scene::LoadScene(options.scene))) {
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "out" / file.path)) << file.path;
  }
}

INSTANTIATE_TEST_SUITE_P(Scenes, ExampleSceneTest,
                         ::testing::Values("open-path.json", "closed-keyframed.json", "bake.json", "user-edit.json"),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           std::string name;
                           for (char c : param_info.param) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return name;
                         });

}  // namespace
