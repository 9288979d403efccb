#include "commands.h"

#include <string>

#include "refhost/host.h"
#include "refhost/module.h"
#include "refhost/scene/plan.h"
#include "refhost/scene/scene.h"
#include "report.h"

namespace thimbleroute_cli {

namespace {

using refhost::scene::OutputKind;
using refhost::scene::PlannedFile;
using refhost::scene::Scene;

constexpr const char* PROGRAM = "thimbleroute-host";

int Fail(std::ostream& err, const std::string& reason) {
  err << PROGRAM << ": error: " << reason << "\n";
  return EXIT_FAILED;
}

// What a scene is and does, and the files a run of it writes.
void ReportPlan(const Scene& scene, const std::filesystem::path& out_dir, std::ostream& out) {
  out << "Scene " << scene.file << "\n";
  if (!scene.description.empty()) out << "  " << scene.description << "\n";
  std::string summary = refhost::scene::DescribeScene(scene);
  for (std::size_t start = 0; start < summary.size();) {
    std::size_t end = summary.find('\n', start);
    if (end == std::string::npos) end = summary.size();
    out << "  " << summary.substr(start, end - start) << "\n";
    start = end + 1;
  }
  out << "Steps:\n";
  for (std::size_t i = 0; i < scene.steps.size(); ++i) {
    out << "  " << i + 1 << ". " << refhost::scene::DescribeStep(scene, scene.steps[i]) << "\n";
  }
  std::vector<PlannedFile> files = refhost::scene::PlanOutputs(scene);
  out << "Writes " << files.size() << " files under " << out_dir.string() << ":\n";
  // A range's frames in one line: the first file and how many follow.
  for (std::size_t i = 0; i < files.size();) {
    std::size_t j = i + 1;
    while (j < files.size() && files[j].kind == OutputKind::FRAME && files[i].kind == OutputKind::FRAME &&
           files[j].step == files[i].step) {
      ++j;
    }
    out << "  " << files[i].path.string();
    if (j - i > 1) out << " and " << (j - i - 1) << " more frames to " << files[j - 1].path.filename().string();
    out << "\n";
    i = j;
  }
}

// Rendering, masks, parameter streams and baking are services of the reference
// host that this build does not offer yet; a run says so instead of pretending.
int NotYet(std::ostream& err, const char* what) {
  return Fail(err, std::string(what) +
                       " needs the reference host's parameter, mask, image and keyframe services, which this build "
                       "does not have yet (use --dry-run to check a scene)");
}

bool ModuleExists(const std::filesystem::path& module, std::ostream& err) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(module, ec)) return true;
  Fail(err, "module not found: " + module.string() + " (build it, or give --module PATH)");
  return false;
}

}  // namespace

int RunCommand(const RunOptions& options, std::ostream& out, std::ostream& err) {
  Scene scene;
  try {
    scene = refhost::scene::LoadScene(options.scene);
  } catch (const refhost::scene::SceneError& e) {
    return Fail(err, e.what());
  }
  std::filesystem::path out_dir = options.out ? *options.out : std::filesystem::path("out") / options.scene.stem();
  ReportPlan(scene, out_dir, out);
  if (options.dry_run) {
    out << "The scene is valid; nothing was run (--dry-run).\n";
    return EXIT_OK;
  }
  if (!ModuleExists(options.module, err)) return EXIT_FAILED;
  return NotYet(err, "running a scene");
}

int DemoCommand(const DemoOptions& options, std::ostream& out, std::ostream& err) {
  if (options.print_scene) {
    out << refhost::scene::DemoSceneText();
    return EXIT_OK;
  }
  Scene scene;
  try {
    scene = refhost::scene::DemoScene();
  } catch (const refhost::scene::SceneError& e) {
    return Fail(err, std::string("the built-in demo scene is broken: ") + e.what());
  }
  ReportPlan(scene, options.out, out);
  if (!ModuleExists(options.module, err)) return EXIT_FAILED;
  return NotYet(err, "the demo");
}

int InfoCommand(const InfoOptions& options, std::ostream& out, std::ostream& err) {
  if (!ModuleExists(options.module, err)) return EXIT_FAILED;
  try {
    refhost::Module module(options.module);
    refhost::Host host(module.Entry());
    out << "Module " << module.File().string() << "\n";

    PF_Err result = host.GlobalSetup();
    if (result != PF_Err_NONE) return Fail(err, PluginErrorText("PF_Cmd_GLOBAL_SETUP", result, host.OutData()));
    const PF_OutData& setup = host.OutData();
    out << "Global setup\n"
        << "  version     " << VersionText(setup.my_version) << " (" << setup.my_version << ")\n"
        << "  out_flags   " << OutFlagsText(setup.out_flags) << "\n"
        << "  out_flags2  " << OutFlags2Text(setup.out_flags2) << "\n";

    result = host.Send(PF_Cmd_ABOUT);
    if (result != PF_Err_NONE) return Fail(err, PluginErrorText("PF_Cmd_ABOUT", result, host.OutData()));
    std::string about(host.OutData().return_msg, strnlen(host.OutData().return_msg, sizeof host.OutData().return_msg));
    // The host shows "\r" as a line break.
    out << "About\n  ";
    for (char c : about) out << (c == '\r' ? std::string("\n  ") : std::string(1, c));
    out << "\n";
    out << "Property list and parameters: not shown yet; the reference host cannot read the property list or "
           "take the parameters' definitions in this build.\n";
    for (const std::string& violation : host.Violations()) out << "host: violation: " << violation << "\n";
    return host.Violations().empty() ? EXIT_OK : Fail(err, "the module misused the host (see above)");
  } catch (const refhost::ModuleError& e) {
    return Fail(err, e.what());
  }
}

}  // namespace thimbleroute_cli
