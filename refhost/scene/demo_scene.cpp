// The demo: what `thimbleroute-host demo` runs, written as a scene so that it goes
// through the same checks and the same steps as any scene file.
#include "scene.h"

namespace refhost::scene {

namespace {

constexpr char DEMO_SCENE[] = R"json({
  "description": "A test card with an open S-curve and a closed shape of straight and curved edges; the offset runs along each over four seconds, frames at every depth, and a bake of each mask.",
  "layer": {"width": 1280, "height": 720, "depth": 8, "pattern": "test-card"},
  "time": {"scale": 30, "step": 1, "duration": 120},
  "masks": [
    {"id": 1, "name": "S-curve", "closed": false, "vertices": [
      {"x": 110, "y": 580, "out": [170, 0]},
      {"x": 290, "y": 410, "in": [-90, 90], "out": [90, -90]},
      {"x": 470, "y": 240, "in": [-170, 0]}
    ]},
    {"id": 2, "name": "Closed shape", "closed": true, "vertices": [
      [840, 250],
      {"x": 1060, "y": 250, "out": [150, 0]},
      {"x": 1060, "y": 560, "in": [150, 0]},
      [840, 560]
    ]}
  ],
  "params": {
    "path": 1,
    "offset_percent": {"keyframes": [{"time": 0, "value": 0}, {"time": 119, "value": 100}]},
    "offset_angle": {"keyframes": [{"time": 0, "value": 0}, {"time": 119, "value": 360}]},
    "guide": true,
    "guide_color": "#ffb020"
  },
  "steps": [
    {"render": {"range": [0, 120], "every": 8, "sheet": true, "name": "s-curve-8bit"}},
    {"render": {"time": 60, "depth": 16, "name": "s-curve-16bit"}},
    {"render": {"time": 60, "depth": 32, "name": "s-curve-float"}},
    {"render": {"time": 60, "downsample": 2, "name": "s-curve-half"}},
    {"bake": {"name": "s-curve"}},
    {"set": {"param": "path", "value": 2}},
    {"set": {"param": "guide", "value": true}},
    {"render": {"range": [0, 120], "every": 8, "depth": 32, "sheet": true, "name": "closed-float"}},
    {"render": {"time": 30, "depth": 16, "name": "closed-16bit"}},
    {"bake": {"name": "closed"}}
  ]
}
)json";

}  // namespace

std::string_view DemoSceneText() { return DEMO_SCENE; }

Scene DemoScene() { return ParseScene(DEMO_SCENE, "<demo>", "."); }

}  // namespace refhost::scene
