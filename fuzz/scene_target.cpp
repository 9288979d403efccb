// Fuzz target: scene files. Any text either parses into a scene or is refused with
// a SceneError, the parser's one documented failure; a scene that parses also
// plans its output files and describes itself without failing. Any other
// exception, a crash or a hang is a finding.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>
#include <string_view>

#include "refhost/scene/plan.h"
#include "refhost/scene/scene.h"

namespace {

// Planning (and describing a range) lists every frame: a scene of a million frames
// lists a million, which is right but slow. Larger scenes are parsed and described
// as a whole only.
constexpr long long MAX_PLANNED_FRAMES = 20000;

[[noreturn]] void Finding(const std::string& what) {
  std::fprintf(stderr, "\n==== scene fuzz finding: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

long long FramesRendered(const refhost::scene::Scene& scene) {
  long long frames = 0;
  for (const refhost::scene::Step& step : scene.steps) {
    if (const auto* render = std::get_if<refhost::scene::RenderStep>(&step.action)) {
      const long long span = static_cast<long long>(render->end) - render->time;
      frames += span > 0 ? (span + render->every - 1) / render->every : 0;
    }
  }
  return frames;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  // Image files are looked for in a folder that does not exist, so that a scene
  // finds the same (nothing) on every machine; absolute names still reach the disk.
  const std::filesystem::path images =
      std::filesystem::temp_directory_path() / "thimbleroute-scene-fuzz-no-images";
  try {
    const refhost::scene::Scene scene = refhost::scene::ParseScene(text, "fuzz.json", images);
    refhost::scene::DescribeScene(scene);
    if (FramesRendered(scene) <= MAX_PLANNED_FRAMES) {
      for (const refhost::scene::Step& step : scene.steps) refhost::scene::DescribeStep(scene, step);
      refhost::scene::PlanOutputs(scene);
    }
  } catch (const refhost::scene::SceneError&) {
    // Refused with a place and a reason: the answer a bad scene should get.
  } catch (const std::exception& e) {
    Finding(std::string("an exception other than SceneError: ") + e.what());
  }
  return 0;
}
