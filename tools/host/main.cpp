// thimbleroute-host: runs the Thimbleroute effect in the reference host. `demo`
// shows it working with no input, `run` takes a scene file, `info` shows the
// effect as the host sees it.
#include <iostream>

#include <CLI/CLI.hpp>
#include <unistd.h>

#include "commands.h"

int main(int argc, char** argv) {
  using namespace thimbleroute_cli;
  CLI::App app{"Runs the Thimbleroute effect in the reference host: frames, keyframes and pictures out.",
               "thimbleroute-host"};
  app.require_subcommand(1);
  app.failure_message([](const CLI::App*, const CLI::Error& e) {
    return std::string("thimbleroute-host: error: ") + e.what() + " (see --help)\n";
  });

  DemoOptions demo;
  demo.module = DefaultModulePath();
  CLI::App* demo_cmd = app.add_subcommand("demo", "Render and bake a built-in scene: a test card with two masks.");
  demo_cmd->add_option("--out", demo.out, "Folder for the outputs")->capture_default_str();
  demo_cmd->add_option("--module", demo.module, "The effect module to load")->capture_default_str();
  demo_cmd->add_flag("--print-scene", demo.print_scene, "Print the demo's scene file and stop");

  RunOptions run;
  run.module = DefaultModulePath();
  std::filesystem::path run_out;
  std::filesystem::path run_trace;
  CLI::App* run_cmd = app.add_subcommand("run", "Run a scene file (see docs/scenes.md).");
  run_cmd->add_option("scene", run.scene, "The scene, a JSON file")->required();
  CLI::Option* out_opt = run_cmd->add_option("--out", run_out, "Folder for the outputs [default: out/<scene name>]");
  CLI::Option* trace_opt = run_cmd->add_option("--trace", run_trace, "Write every host call as JSON Lines to FILE");
  run_cmd->add_option("--module", run.module, "The effect module to load")->capture_default_str();
  run_cmd->add_flag("--dry-run", run.dry_run, "Check the scene and list what it would write; run nothing");

  InfoOptions info;
  info.module = DefaultModulePath();
  CLI::App* info_cmd = app.add_subcommand("info", "Show the effect as the host sees it.");
  info_cmd->add_option("--module", info.module, "The effect module to load")->capture_default_str();

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return EXIT_USAGE;
  }
  if (*out_opt) run.out = run_out;
  if (*trace_opt) run.trace = run_trace;
  // Progress lines only on a terminal: logs and pipes get the results alone.
  demo.progress = run.progress = ::isatty(STDOUT_FILENO) == 1;

  if (*demo_cmd) return DemoCommand(demo, std::cout, std::cerr);
  if (*run_cmd) return RunCommand(run, std::cout, std::cerr);
  return InfoCommand(info, std::cout, std::cerr);
}
