// A good scene reads into the model the run works from: geometry, values, steps,
// and the files the run will write.
#include <gtest/gtest.h>

#include <fstream>

#include "refhost/output/png_io.h"
#include "refhost/scene/layer_image.h"
#include "refhost/scene/plan.h"
#include "refhost/scene/scene.h"
#include "temp_dir.h"

namespace {

using namespace refhost::scene;

const char* const SCENE = R"({
  "description": "all the features",
  "layer": {"width": 320, "height": 200, "depth": 16, "pattern": "gradient", "colors": ["#000000", "#ffffff80"]},
  "time": {"scale": 600, "step": 20, "duration": 1200},
  "masks": [
    {"id": 5, "name": "Arc", "vertices": [[10, 20], {"x": 100, "y": 50, "in": [-30, 0], "out": [30.5, -1]}]},
    {"id": 4000000000, "closed": true, "shapes": [
      {"time": -20, "vertices": [[0, 0], [10, 0], [10, 10]]},
      {"time": 600, "vertices": [[0, 0], [20, 0], [20, 20]]}]}
  ],
  "params": {
    "path": 4000000000,
    "offset_angle": {"keyframes": [{"time": 0, "value": -90}, {"time": 1180, "value": 720.5}]},
    "point": [12.5, -3],
    "bake": "Execute",
    "guide": false,
    "guide_color": "#10203040"
  },
  "steps": [
    {"render": {"range": [0, 1200], "every": 10, "sheet": true, "depth": 32, "downsample": [2, 4], "name": "all"}},
    {"set": {"param": "path", "value": null, "time": 40}},
    {"fail_call": {"call": "PF_CheckoutPath", "nth": 2, "code": 516}},
    {"suite_unavailable": {"suite": "PF Path Data Suite"}},
    {"bake": {"time": 20, "expect_error": 516}},
    {"clear_faults": {}},
    {"bake": {}}
  ]
})";

TEST(SceneModel, ReadsEveryFeature) {
  Scene scene = ParseScene(SCENE, "all.json", ".");
  EXPECT_EQ(scene.description, "all the features");
  EXPECT_EQ(scene.layer.width, 320);
  EXPECT_EQ(scene.layer.depth, Depth::BITS_16);
  EXPECT_EQ(scene.layer.source.pattern, Pattern::GRADIENT);
  EXPECT_EQ(scene.layer.source.color2.alpha, 0x80);
  EXPECT_EQ(scene.time.scale, 600u);
  EXPECT_EQ(scene.time.step, 20);

  ASSERT_EQ(scene.masks.size(), 2u);
  const Mask& arc = scene.masks[0];
  EXPECT_EQ(arc.name, "Arc");
  EXPECT_FALSE(arc.closed);
  EXPECT_FALSE(arc.keyframed);
  ASSERT_EQ(arc.shapes.size(), 1u);
  const MaskVertex& v = arc.shapes[0].vertices[1];
  EXPECT_EQ(v.x, 100);
  EXPECT_EQ(v.in_x, -30);
  EXPECT_EQ(v.out_x, 30.5);
  EXPECT_EQ(v.out_y, -1);
  EXPECT_EQ(arc.shapes[0].vertices[0].out_x, 0);  // a [x, y] vertex is a corner
  const Mask& shape = scene.masks[1];
  EXPECT_EQ(shape.id, 4000000000u);
  EXPECT_EQ(shape.name, "Mask 2");
  EXPECT_TRUE(shape.closed);
  EXPECT_TRUE(shape.keyframed);
  EXPECT_EQ(shape.shapes[0].time, -20);

  ASSERT_NE(scene.FindSetting(ParamId::PATH), nullptr);
  EXPECT_EQ(scene.FindSetting(ParamId::PATH)->value.number, 4000000000.0);
  const ParamSetting* angle = scene.FindSetting(ParamId::OFFSET_ANGLE);
  ASSERT_TRUE(angle && angle->keyframed);
  EXPECT_EQ(angle->keyframes[1].time, 1180);
  EXPECT_EQ(angle->keyframes[1].value.number, 720.5);
  EXPECT_EQ(scene.FindSetting(ParamId::POINT)->value.x, 12.5);
  EXPECT_EQ(scene.FindSetting(ParamId::BAKE)->value.number, 2);
  EXPECT_EQ(scene.FindSetting(ParamId::GUIDE)->value.number, 0);
  PF_Pixel color = scene.FindSetting(ParamId::GUIDE_COLOR)->value.color;
  EXPECT_EQ(color.alpha, 0x40);
  EXPECT_EQ(color.red, 0x10);
  EXPECT_EQ(color.blue, 0x30);
  EXPECT_EQ(scene.FindSetting(ParamId::OFFSET_PERCENT), nullptr);  // left to the effect's default

  ASSERT_EQ(scene.steps.size(), 7u);
  const auto& render = std::get<RenderStep>(scene.steps[0].action);
  EXPECT_EQ(render.depth, Depth::FLOAT_32);
  EXPECT_EQ(render.downsample_x, 2);
  EXPECT_EQ(render.downsample_y, 4);
  std::vector<A_long> times = render.Times(scene.time.step);
  ASSERT_EQ(times.size(), 6u);  // every 10 frames of 20 units: 0, 200, ... 1000
  EXPECT_EQ(times.back(), 1000);
  EXPECT_EQ(std::get<SetStep>(scene.steps[1].action).value.number, 0);  // null: no path
  EXPECT_EQ(scene.steps[1].name, "step02");
  EXPECT_EQ(scene.steps[1].where, "/steps/1");
  const auto& fail = std::get<FailCallStep>(scene.steps[2].action);
  EXPECT_EQ(fail.call, "PF_CheckoutPath");
  EXPECT_EQ(fail.nth, 2);
  EXPECT_EQ(fail.code, 516);
  EXPECT_EQ(std::get<SuiteUnavailableStep>(scene.steps[3].action).version, 1);
  EXPECT_EQ(scene.steps[4].expect_error, 516);
  EXPECT_EQ(std::get<BakeStep>(scene.steps[6].action).depth, Depth::BITS_16);  // the layer's depth
}

TEST(SceneModel, PlanNamesEveryOutputAndSkipsStepsExpectedToFail) {
  Scene scene = ParseScene(SCENE, "all.json", ".");
  std::vector<PlannedFile> files = PlanOutputs(scene);
  std::vector<std::string> names;
  for (const PlannedFile& f : files) names.push_back(f.path.string());
  std::vector<std::string> expected = {"frames/all-t0000-float.exr", "frames/all-t0200-float.exr",
                                       "frames/all-t0400-float.exr", "frames/all-t0600-float.exr",
                                       "frames/all-t0800-float.exr", "frames/all-t1000-float.exr",
                                       "all-sheet.png",              "bakes/step07.csv",
                                       "bakes/step07-keyframes.json", "bakes/step07.png",
                                       "keyframes.json"};
  EXPECT_EQ(names, expected);
}

TEST(SceneModel, ImageLayerTakesItsSizeFromTheFileBesideTheScene) {
  TempDir dir;
  refhost::output::Image image = refhost::output::MakeImage(5, 3, Depth::BITS_8);
  std::get<std::vector<PF_Pixel8>>(image.pixels)[4] = {255, 1, 2, 3};
  refhost::output::WritePng(dir / "plate.png", image, refhost::output::PngBits::BITS_8);
  std::ofstream(dir / "scene.json") << R"({"layer": {"image": "plate.png", "depth": 32},
      "time": {"scale": 24, "step": 1, "duration": 24}, "steps": [{"render": {"time": 0}}]})";

  Scene scene = LoadScene(dir / "scene.json");
  EXPECT_EQ(scene.layer.width, 5);
  EXPECT_EQ(scene.layer.height, 3);
  EXPECT_EQ(scene.layer.source.image, std::filesystem::absolute(dir / "plate.png"));
  refhost::output::Image layer = MakeLayerImage(scene.layer, Depth::FLOAT_32);
  const PF_PixelFloat& p = std::get<std::vector<PF_PixelFloat>>(layer.pixels)[4];
  EXPECT_FLOAT_EQ(p.blue, 3.0f / 255.0f);

  // A size given as well must agree with the file.
  std::ofstream(dir / "scene.json") << R"({"layer": {"image": "plate.png", "width": 6},
      "time": {"scale": 24, "step": 1, "duration": 24}, "steps": [{"render": {"time": 0}}]})";
  try {
    LoadScene(dir / "scene.json");
    FAIL();
  } catch (const SceneError& e) {
    EXPECT_EQ(e.Where(), "/layer/width");
    EXPECT_NE(e.Message().find("image plate.png is 5x3"), std::string::npos) << e.Message();
  }
}

TEST(SceneModel, PatternsAreExactAtEveryDepth) {
  Layer layer;
  layer.width = 3;
  layer.height = 1;
  layer.source.pattern = Pattern::GRADIENT;
  layer.source.color = {255, 0, 0, 0};
  layer.source.color2 = {255, 255, 255, 255};
  auto wide = MakeLayerImage(layer, Depth::BITS_16);
  const auto& px = std::get<std::vector<PF_Pixel16>>(wide.pixels);
  EXPECT_EQ(px[0].red, 0);
  EXPECT_EQ(px[1].red, 16384);
  EXPECT_EQ(px[2].red, 32768);
  EXPECT_EQ(px[2].alpha, 32768);

  layer.source.pattern = Pattern::SOLID;
  layer.source.color = {255, 86, 118, 255};
  auto narrow = MakeLayerImage(layer, Depth::BITS_8);
  const auto& p8 = std::get<std::vector<PF_Pixel8>>(narrow.pixels)[2];
  EXPECT_EQ(p8.red, 86);
  EXPECT_EQ(p8.green, 118);

  layer.width = 1280;
  layer.height = 720;
  layer.source.pattern = Pattern::TEST_CARD;
  auto card = MakeLayerImage(layer, Depth::BITS_8);
  EXPECT_EQ(card.width, 1280);
  EXPECT_EQ(std::get<std::vector<PF_Pixel8>>(card.pixels).size(), 1280u * 720u);
}

TEST(SceneModel, DemoAndExampleScenesAreValid) {
  Scene demo = DemoScene();
  EXPECT_EQ(demo.layer.width, 1280);
  EXPECT_EQ(demo.layer.height, 720);
  ASSERT_EQ(demo.masks.size(), 2u);
  EXPECT_FALSE(demo.masks[0].closed);
  EXPECT_TRUE(demo.masks[1].closed);
  int bakes = 0;
  for (const Step& s : demo.steps) bakes += std::holds_alternative<BakeStep>(s.action);
  EXPECT_EQ(bakes, 2);

  int examples = 0;
  for (const auto& entry : std::filesystem::directory_iterator(THIMBLEROUTE_SCENES)) {
    if (entry.path().extension() != ".json") continue;
    ++examples;
    EXPECT_NO_THROW(LoadScene(entry.path())) << entry.path();
  }
  EXPECT_GE(examples, 4);
}

}  // namespace
