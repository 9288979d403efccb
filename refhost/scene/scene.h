// A scene: everything one run of the reference host needs, read from a JSON file
// and checked whole before anything runs. docs/scenes.md describes the format.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "refhost/output/image.h"
#include "refhost/output/records.h"

namespace refhost::scene {

using output::Depth;
using output::MaskGeometry;
using output::MaskVertex;
using output::ParamKind;
using output::ParamValue;
using output::TimeBase;

enum class Pattern {
  TEST_CARD,  // grid, colour bars, a centre circle: shows position and scale
  SOLID,      // one colour
  GRADIENT,   // `color` at the left edge to `color2` at the right
};

struct LayerSource {
  // A PNG or OpenEXR file (absolute, resolved against the scene's folder), or empty
  // for a pattern.
  std::filesystem::path image;
  Pattern pattern = Pattern::TEST_CARD;
  PF_Pixel color{255, 128, 128, 128};
  PF_Pixel color2{255, 0, 0, 0};
};

struct Layer {
  int width = 0;
  int height = 0;
  Depth depth = Depth::BITS_8;  // the depth renders use unless a step says otherwise
  LayerSource source;
};

struct MaskShape {
  A_long time = 0;  // meaningful only for a keyframed mask
  std::vector<MaskVertex> vertices;
};

struct Mask {
  PF_PathID id = 0;  // never 0: 0 is the Path parameter's "none"
  std::string name;
  bool closed = false;
  // Unkeyframed: exactly one shape, the mask at every time. Keyframed: shapes at
  // strictly increasing times, all with the same number of vertices.
  bool keyframed = false;
  std::vector<MaskShape> shapes;

  MaskGeometry Geometry(std::size_t shape = 0) const { return {closed, shapes.at(shape).vertices}; }
};

// The effect's parameters by their index (which is also the host id and the AEGP
// stream index).
enum class ParamId : int {
  PATH = 1,
  OFFSET_PERCENT = 2,
  OFFSET_ANGLE = 3,
  POINT = 4,
  ANGLE = 5,
  ON_TRANSPARENT = 6,
  BAKE = 7,
  GUIDE = 8,
  GUIDE_COLOR = 9,
};

struct ParamInfo {
  ParamId id;
  const char* key;   // the scene's name: "offset_percent"
  const char* name;  // what the user sees: "Offset"
  ParamKind kind;
};

// The nine parameters in index order.
const std::vector<ParamInfo>& Params();
const ParamInfo& InfoOf(ParamId id);
const ParamInfo* FindParam(std::string_view key);

struct Keyframe {
  A_long time = 0;
  ParamValue value;
};

// A parameter the scene sets: a static value, or keyframes at strictly increasing
// times. Parameters a scene leaves out keep the defaults the effect gives them.
struct ParamSetting {
  ParamId id = ParamId::PATH;
  bool keyframed = false;
  ParamValue value;
  std::vector<Keyframe> keyframes;
};

// The steps, in the order they run. Each knows where it stands in the file
// (`where`, a JSON pointer such as "/steps/3") for messages during the run.

// Renders the frames at `time`, `time + every × step`, ... while below `end`; a
// single frame has end = time + 1.
struct RenderStep {
  A_long time = 0;
  A_long end = 1;
  int every = 1;
  Depth depth = Depth::BITS_8;
  int downsample_x = 1;  // the frame is 1/n of the layer's size in x
  int downsample_y = 1;
  bool sheet = false;    // also a contact sheet of the frames
  std::vector<A_long> Times(A_long step) const;
};

// A user's edit: the parameter takes the value at `time` (a keyframe there when
// the parameter is keyframed, the static value otherwise).
struct SetStep {
  ParamId id = ParamId::PATH;
  ParamValue value;
  A_long time = 0;
};

// "Bake Keyframes" set to "Execute" as a user would, then the frame at `time`
// rendered, which bakes.
struct BakeStep {
  A_long time = 0;
  Depth depth = Depth::BITS_8;
  int downsample_x = 1;
  int downsample_y = 1;
};

// The nth call (1-based, counted from this step on) of a host function fails.
struct FailCallStep {
  std::string call;
  int nth = 1;
  PF_Err code = PF_Err_INTERNAL_STRUCT_DAMAGED;
};

// A suite the host no longer hands out.
struct SuiteUnavailableStep {
  std::string suite;
  A_long version = 1;
};

// Every injected fault is withdrawn.
struct ClearFaultsStep {};

using StepAction = std::variant<RenderStep, SetStep, BakeStep, FailCallStep, SuiteUnavailableStep, ClearFaultsStep>;

struct Step {
  std::string where;  // "/steps/3"
  std::string name;   // used in output file names; "step03" when the scene gives none
  StepAction action;
  // The plug-in error this step must end with; when unset, any plug-in error
  // stops the run as a failure.
  std::optional<PF_Err> expect_error;
};

struct Scene {
  std::string file;  // as given to the parser, for messages
  std::string description;
  Layer layer;
  TimeBase time;
  std::vector<Mask> masks;
  std::vector<ParamSetting> params;  // in parameter index order
  std::vector<Step> steps;

  const Mask* FindMask(PF_PathID id) const;
  const ParamSetting* FindSetting(ParamId id) const;
};

// What is wrong with a scene: the file, the place in it (a JSON pointer, or line
// and column for a JSON syntax error; empty when the file itself cannot be read)
// and what.
class SceneError : public std::runtime_error {
 public:
  SceneError(std::string file, std::string where, std::string message);
  const std::string& File() const { return file_; }
  const std::string& Where() const { return where_; }
  const std::string& Message() const { return message_; }

 private:
  std::string file_;
  std::string where_;
  std::string message_;
};

// Parses and checks a scene. `file` names it in messages; relative image paths are
// resolved against `base_dir`, and image files must exist and be readable images.
// Throws SceneError for the first thing wrong.
Scene ParseScene(std::string_view text, const std::string& file, const std::filesystem::path& base_dir);

// Reads the file and parses it, with its folder as the base for image paths.
Scene LoadScene(const std::filesystem::path& file);

// The scene the demo runs: a test card, an open S-curve and a closed shape, the
// offset animated, frames at every depth and a bake of each mask.
std::string_view DemoSceneText();
Scene DemoScene();

}  // namespace refhost::scene
