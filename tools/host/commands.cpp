#include "commands.h"

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "plugin/params/param_index.h"
#include "refhost/host.h"
#include "refhost/module.h"
#include "refhost/scene/plan.h"
#include "refhost/scene/scene.h"
#include "report.h"
#include "scene_runner.h"

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

// Text indented by two spaces, line by line.
void PrintIndented(std::ostream& out, const std::string& text) {
  for (std::size_t start = 0; start < text.size();) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    out << "  " << text.substr(start, end - start) << "\n";
    start = end + 1;
  }
}

void PrintScene(const Scene& scene, std::ostream& out) {
  out << "Scene " << scene.file << "\n";
  if (!scene.description.empty()) out << "  " << scene.description << "\n";
  PrintIndented(out, refhost::scene::DescribeScene(scene));
}

// Files one to a line; a range's frames in one line: the first file and how many follow.
void PrintFiles(const std::vector<PlannedFile>& files, std::ostream& out) {
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

// What a scene is and does, and the files a run of it writes.
void ReportPlan(const Scene& scene, const std::filesystem::path& out_dir, std::ostream& out) {
  PrintScene(scene, out);
  out << "Steps:\n";
  for (std::size_t i = 0; i < scene.steps.size(); ++i) {
    out << "  " << i + 1 << ". " << refhost::scene::DescribeStep(scene, scene.steps[i]) << "\n";
  }
  std::vector<PlannedFile> files = refhost::scene::PlanOutputs(scene);
  out << "Writes " << files.size() << " files under " << out_dir.string() << ":\n";
  PrintFiles(files, out);
}

bool ModuleExists(const std::filesystem::path& module, std::ostream& err) {
  std::error_code ec;
  if (std::filesystem::is_regular_file(module, ec)) return true;
  Fail(err, "module not found: " + module.string() + " (build it, or give --module PATH)");
  return false;
}

// Runs the scene and reports it: a line per step as it ends, then what was written
// and where, and a line per bake.
int RunAndReport(const Scene& scene, const RunSettings& settings, std::ostream& out, std::ostream& err) {
  out << "Module " << settings.module.string() << "\n";
  out << "Running " << scene.steps.size() << " step" << (scene.steps.size() == 1 ? "" : "s") << ":\n";
  RunResult result = RunScene(scene, settings, out);
  if (!result.ok) {
    if (settings.trace) out << "The trace of the host calls is in " << settings.trace->string() << "\n";
    return Fail(err, result.failure);
  }
  std::set<std::filesystem::path> written(result.written.begin(), result.written.end());
  std::vector<PlannedFile> files;
  for (const PlannedFile& file : refhost::scene::PlanOutputs(scene)) {
    if (written.count(file.path) != 0) files.push_back(file);
  }
  out << "Wrote " << files.size() << " file" << (files.size() == 1 ? "" : "s") << " under "
      << settings.out_dir.string() << ":\n";
  PrintFiles(files, out);
  if (settings.trace) out << "Wrote the trace of the host calls to " << settings.trace->string() << "\n";
  if (!result.bakes.empty()) {
    out << "Bakes:\n";
    for (const BakeSummary& bake : result.bakes) out << "  " << bake.step << ": " << BakeSummaryText(bake) << "\n";
  }
  return EXIT_OK;
}

std::string Padded(const std::string& text, std::size_t width) {
  return text.size() >= width ? text + " " : text + std::string(width - text.size(), ' ');
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
  if (options.dry_run) {
    ReportPlan(scene, out_dir, out);
    out << "The scene is valid; nothing was run (--dry-run).\n";
    return EXIT_OK;
  }
  if (!ModuleExists(options.module, err)) return EXIT_FAILED;
  PrintScene(scene, out);
  RunSettings settings;
  settings.module = options.module;
  settings.out_dir = out_dir;
  settings.trace = options.trace;
  settings.progress = options.progress ? &out : nullptr;
  return RunAndReport(scene, settings, out, err);
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
  if (!ModuleExists(options.module, err)) return EXIT_FAILED;
  out << "Demo: " << scene.description << "\n";
  PrintIndented(out, refhost::scene::DescribeScene(scene));
  RunSettings settings;
  settings.module = options.module;
  settings.out_dir = options.out;
  settings.progress = options.progress ? &out : nullptr;
  const int code = RunAndReport(scene, settings, out, err);
  if (code == EXIT_OK) {
    out << "Open " << (options.out / "bakes").string() << " for the bakes and the contact sheets in "
        << options.out.string() << " for the frames; the scene behind it: " << PROGRAM << " demo --print-scene\n";
  }
  return code;
}

int InfoCommand(const InfoOptions& options, std::ostream& out, std::ostream& err) {
  if (!ModuleExists(options.module, err)) return EXIT_FAILED;
  try {
    refhost::Module module(options.module);
    refhost::Host host(module.Entry());
    host.SetPropertyList(module.Properties());
    host.trace.SetEnabled(false);
    out << "Module " << module.File().string() << "\n";

    const refhost::PropertyList& list = module.Properties();
    out << "Property list\n"
        << "  name        " << list.name << "\n"
        << "  category    " << list.category << "\n"
        << "  match name  " << list.match_name << "\n"
        << "  kind        " << list.kind << "\n"
        << "  entry point " << list.entry_point << " (under \"" << refhost::EntryPointKey() << "\")\n"
        << "  version     " << VersionText(list.version) << " (" << list.version << ")\n"
        << "  out_flags   " << OutFlagsText(list.out_flags) << "\n"
        << "  out_flags2  " << OutFlags2Text(list.out_flags2) << "\n";

    // A small layer with an open and a closed mask: enough to see which controls
    // the effect shows for each kind of path.
    constexpr PF_PathID OPEN_MASK = 1;
    constexpr PF_PathID CLOSED_MASK = 2;
    host.SetTestCardLayer(64, 64);
    host.masks.Add(OPEN_MASK, false, {{{8, 8}, {}, {}}, {{56, 56}, {}, {}}});
    host.masks.Add(CLOSED_MASK, true, {{{8, 8}, {}, {}}, {{56, 8}, {}, {}}, {{32, 56}, {}, {}}});

    PF_Err result = host.GlobalSetup();
    if (result != PF_Err_NONE) return Fail(err, PluginErrorText("PF_Cmd_GLOBAL_SETUP", result, host.OutData()));
    const PF_OutData& setup = host.OutData();
    out << "Global setup" << (host.Warnings().empty() ? ", in agreement with the property list" : "") << "\n"
        << "  version     " << VersionText(setup.my_version) << " (" << setup.my_version << ")\n"
        << "  out_flags   " << OutFlagsText(setup.out_flags) << "\n"
        << "  out_flags2  " << OutFlags2Text(setup.out_flags2) << "\n";
    for (const std::string& warning : host.Warnings()) out << "  host: warning: " << warning << "\n";

    result = host.Send(PF_Cmd_ABOUT);
    if (result != PF_Err_NONE) return Fail(err, PluginErrorText("PF_Cmd_ABOUT", result, host.OutData()));
    std::string about(host.OutData().return_msg, strnlen(host.OutData().return_msg, sizeof host.OutData().return_msg));
    // The host shows "\r" as a line break.
    out << "About\n  ";
    for (char c : about) out << (c == '\r' ? std::string("\n  ") : std::string(1, c));
    out << "\n";

    const char* commands[] = {"PF_Cmd_PARAMS_SETUP", "PF_Cmd_SEQUENCE_SETUP", "PF_Cmd_UPDATE_PARAMS_UI"};
    PF_Err (refhost::Host::*sends[])() = {&refhost::Host::ParamsSetup, &refhost::Host::SequenceSetup,
                                          &refhost::Host::UpdateParamsUI};
    for (std::size_t i = 0; i < 3; ++i) {
      result = (host.*sends[i])();
      if (result != PF_Err_NONE) return Fail(err, PluginErrorText(commands[i], result, host.OutData()));
    }
    // Which controls are shown with no path chosen, then with each kind of path.
    const int count = host.params.Count();
    std::vector<std::vector<bool>> shown(static_cast<std::size_t>(count));
    auto note_shown = [&] {
      for (int i = 1; i < count; ++i) shown[static_cast<std::size_t>(i)].push_back(!host.params.Hidden(i));
    };
    note_shown();
    for (PF_PathID path : {OPEN_MASK, CLOSED_MASK}) {
      result = host.UserEdit([&](refhost::ParamStreams& p) { return p.SetValue(PARAM_PATH, static_cast<double>(path)); });
      if (result != PF_Err_NONE) return Fail(err, PluginErrorText("PF_Cmd_UPDATE_PARAMS_UI", result, host.OutData()));
      note_shown();
    }

    out << "Parameters, each control shown (+) or hidden (-) with no path / an open path / a closed path chosen\n";
    out << "  " << Padded("#", 3) << Padded("name", 16) << Padded("type", 14) << Padded("shown", 7) << "default\n";
    for (int i = 1; i < count; ++i) {
      const PF_ParamDef* def = host.params.Definition(i);
      if (def == nullptr) continue;
      std::string name(def->name, strnlen(def->name, sizeof def->name));
      std::string marks;
      for (bool s : shown[static_cast<std::size_t>(i)]) marks += s ? '+' : '-';
      out << "  " << Padded(std::to_string(i), 3) << Padded(name.empty() ? "(no name)" : name, 16)
          << Padded(ParamTypeText(def->param_type), 14) << Padded(marks, 7) << ParamDefaultText(*def);
      if (def->flags != 0 || def->ui_flags != 0) out << "; flags " << def->flags << ", ui_flags " << def->ui_flags;
      out << "\n";
    }

    result = host.SequenceSetdown();
    if (result != PF_Err_NONE) return Fail(err, PluginErrorText("PF_Cmd_SEQUENCE_SETDOWN", result, host.OutData()));
    for (const std::string& violation : host.Violations()) out << "host: violation: " << violation << "\n";
    if (!host.Violations().empty()) return Fail(err, "the module misused the host (see above)");
    if (!host.Outstanding().empty()) {
      return Fail(err, "the module left " + std::to_string(host.Outstanding().size()) + " thing(s) with the host: " +
                           host.Outstanding().front());
    }
    return EXIT_OK;
  } catch (const std::exception& e) {
    // The module would not load (ModuleError), or the host failed.
    return Fail(err, e.what());
  }
}

}  // namespace thimbleroute_cli
