// The three commands of thimbleroute-host. Each writes its report to `out` and a
// one-line reason to `err` on failure, and returns the process's exit code.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace thimbleroute_cli {

constexpr int EXIT_OK = 0;
constexpr int EXIT_FAILED = 1;  // a bad scene, a missing module, a plug-in error, an unwritable file
constexpr int EXIT_USAGE = 2;   // the command line itself is wrong

struct DemoOptions {
  std::filesystem::path out = "out/demo";
  std::filesystem::path module;
  bool print_scene = false;  // print the demo's scene (a start for one's own) and stop
  bool progress = false;     // draw progress lines on `out` (a terminal)
};

struct RunOptions {
  std::filesystem::path scene;
  std::optional<std::filesystem::path> out;  // default: out/<scene file's stem>
  std::optional<std::filesystem::path> trace;
  std::filesystem::path module;
  bool dry_run = false;  // check the scene and list what would be written; run nothing
  bool progress = false;  // draw progress lines on `out` (a terminal)
};

struct InfoOptions {
  std::filesystem::path module;
};

int DemoCommand(const DemoOptions& options, std::ostream& out, std::ostream& err);
int RunCommand(const RunOptions& options, std::ostream& out, std::ostream& err);
int InfoCommand(const InfoOptions& options, std::ostream& out, std::ostream& err);

// Thimbleroute.aex beside the executable if there is one, else the module this
// program was built with.
std::filesystem::path DefaultModulePath();

}  // namespace thimbleroute_cli
