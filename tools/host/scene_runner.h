// Runs a scene in the reference host: the one command processor behind `run` and
// `demo`, and behind the tests that drive them, so a scene file and a test go
// through exactly the same code.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "refhost/host.h"
#include "refhost/scene/scene.h"

namespace thimbleroute_cli {

struct RunSettings {
  std::filesystem::path module;
  std::filesystem::path out_dir;
  // Every host call as JSON Lines; written (whole) also when the run fails, since
  // that is when it is wanted most.
  std::optional<std::filesystem::path> trace;
  // Where progress lines for frame ranges and bakes are drawn; none: quiet.
  std::ostream* progress = nullptr;
  // Runs on the host once the layer, the clock and the masks are in place, before
  // the first command; lets a test make the host misbehave.
  std::function<void(refhost::Host&)> prepare;
};

struct BakeSummary {
  std::string step;           // the step's name, which also names its files
  PF_PathID path = 0;         // the mask baked along; 0 when no path was chosen
  std::string mask;           // that mask's name
  bool closed = false;
  std::size_t keyframes = 0;  // on each of Point and Angle
  double path_length = 0;     // layer pixels, the shape at the bake's time
  double seconds = 0;         // the render command that baked
};

struct RunResult {
  bool ok = false;
  std::string failure;  // one line, when not ok
  std::vector<std::filesystem::path> written;  // relative to the output folder, in order
  std::vector<BakeSummary> bakes;
};

// Loads the module, sets up the layer, the clock, the masks and the parameters,
// starts the effect as the host does, runs every step, and checks that the module
// neither misused the host nor left anything with it. Prints one line per step
// to `out`. The outputs appear in the output folder only if all of that succeeds.
RunResult RunScene(const refhost::scene::Scene& scene, const RunSettings& settings, std::ostream& out);

// "120 keyframes along \"S-curve\" (mask 1, open), 1234.5 px, 12.3 ms".
std::string BakeSummaryText(const BakeSummary& bake);

}  // namespace thimbleroute_cli
