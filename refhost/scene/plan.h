// What a scene will do and which files it will write, known before it runs: the
// run names its outputs from here, and announces them.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "scene.h"

namespace refhost::scene {

enum class OutputKind {
  FRAME,           // one rendered frame: PNG at 8 and 16 bits, OpenEXR in float
  CONTACT_SHEET,   // the frames of a range, side by side
  BAKE_CSV,        // time, seconds, x, y, angle per baked step
  BAKE_KEYFRAMES,  // every parameter stream right after the bake, as JSON
  BAKE_PICTURE,    // the mask with the baked points and headings
  KEYFRAMES,       // every parameter stream at the end of the run, as JSON
};

struct PlannedFile {
  OutputKind kind;
  std::filesystem::path path;  // relative to the output folder
  std::size_t step = 0;        // index into Scene::steps (KEYFRAMES: steps.size())
  A_long time = 0;             // FRAME: the frame's time
};

// File names, relative to the output folder. Frame times are zero-padded to the
// width of the layer's last time, so files sort in time order.
std::filesystem::path FramePath(const Scene& scene, const Step& step, A_long time, Depth depth);
std::filesystem::path SheetPath(const Step& step);
std::filesystem::path BakeCsvPath(const Step& step);
std::filesystem::path BakeKeyframesPath(const Step& step);
std::filesystem::path BakePicturePath(const Step& step);
std::filesystem::path KeyframesPath();

// Every file a successful run writes, in the order it writes them. Steps that are
// expected to fail write nothing.
std::vector<PlannedFile> PlanOutputs(const Scene& scene);

// One line per step, as a person would say it: "render 15 frames, 0 to 112 every
// 8 (0 s to 3.73 s), 8-bit, with a contact sheet".
std::string DescribeStep(const Scene& scene, const Step& step);
// The layer, the clock and the masks in a few lines.
std::string DescribeScene(const Scene& scene);

}  // namespace refhost::scene
