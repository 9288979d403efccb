// The command-line program's commands, driven in-process: a bad scene is refused
// with one line and nothing written; the progress line is shown only on request.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "host/commands.h"
#include "host/progress.h"
#include "host/report.h"
#include "refhost/scene/scene.h"
#include "temp_dir.h"

namespace {

using namespace thimbleroute_cli;

TEST(Cli, BadSceneFailsWithOneLineAndWritesNothing) {
  TempDir dir;
  std::ofstream(dir / "bad.json") << R"({"layer": {"width": 8, "height": 8},
    "time": {"scale": 30, "step": 0, "duration": 30}, "steps": [{"render": {"time": 0}}]})";
  RunOptions options;
  options.scene = dir / "bad.json";
  options.out = dir / "out";
  options.module = THIMBLEROUTE_MODULE_PATH;
  std::ostringstream out, err;
  EXPECT_EQ(RunCommand(options, out, err), EXIT_FAILED);
  EXPECT_EQ(err.str(), "thimbleroute-host: error: " + (dir / "bad.json").string() +
                           ": /time/step: the time step must be at least 1, not 0\n");
  EXPECT_EQ(out.str(), "");
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"bad.json"});
}

TEST(Cli, DryRunListsStepsAndFilesAndWritesNothing) {
  TempDir dir;
  std::ofstream(dir / "s.json") << R"({"layer": {"width": 8, "height": 8},
    "time": {"scale": 30, "step": 1, "duration": 30},
    "steps": [{"render": {"range": [0, 30], "every": 10, "name": "r"}}, {"bake": {"name": "b"}}]})";
  RunOptions options;
  options.scene = dir / "s.json";
  options.out = dir / "out";
  options.module = dir / "no-module.aex";  // not needed for a dry run
  options.dry_run = true;
  std::ostringstream out, err;
  EXPECT_EQ(RunCommand(options, out, err), EXIT_OK) << err.str();
  EXPECT_NE(out.str().find("1. render 3 frames, 0 to 20 every 10"), std::string::npos) << out.str();
  EXPECT_NE(out.str().find("frames/r-t00-8bit.png and 2 more frames to r-t20-8bit.png"), std::string::npos);
  EXPECT_NE(out.str().find("bakes/b.csv"), std::string::npos);
  EXPECT_EQ(dir.Entries(), std::vector<std::string>{"s.json"});

  options.dry_run = false;
  std::ostringstream err2;
  EXPECT_EQ(RunCommand(options, out, err2), EXIT_FAILED);
  EXPECT_EQ(err2.str(), "thimbleroute-host: error: module not found: " + (dir / "no-module.aex").string() +
                            " (build it, or give --module PATH)\n");
}

TEST(Cli, DemoPrintsASceneThatParsesToTheDemo) {
  DemoOptions options;
  options.print_scene = true;
  std::ostringstream out, err;
  EXPECT_EQ(DemoCommand(options, out, err), EXIT_OK);
  refhost::scene::Scene printed = refhost::scene::ParseScene(out.str(), "printed", ".");
  EXPECT_EQ(printed.steps.size(), refhost::scene::DemoScene().steps.size());
}

TEST(Cli, InfoShowsPropertyListAboutAndParametersWithTheirVisibility) {
  InfoOptions options;
  options.module = THIMBLEROUTE_MODULE_PATH;
  std::ostringstream out, err;
  EXPECT_EQ(InfoCommand(options, out, err), EXIT_OK) << err.str();
  const std::string text = out.str();
  for (const char* expected : {
           "  name        Thimbleroute\n  category    Nemblo\n",
           "  version     1.0.0 release build 1 (525825)",
           "PF_OutFlag2_SUPPORTS_SMART_RENDER | PF_OutFlag2_FLOAT_COLOR_AWARE",
           "Global setup, in agreement with the property list\n",
           "Thimbleroute, v1.0\n  Imagination!",
           // Shown with no path / an open path / a closed path.
           "  2  Offset          fixed slider  -+-    0.0 % (0 to 100)\n",
           "  3  Offset          angle         --+    0.0 degrees\n",
           "  4  Point           point         +++    50 %, 50 % of the layer\n",
           "  7  Bake Keyframes  popup         +++    item 1 \"----------\" of 2: \"----------\" \"Execute\"\n",
           "  8  (no name)       checkbox      +++    on, beside the box \"Guide\"\n",
           "  9  Guide Color     color         +++    #5676ff\n",
       }) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "\nin:\n" << text;
  }
}

TEST(Cli, PluginErrorShowsTheMessageOnlyWhenThePluginAskedForIt) {
  PF_OutData out_data{};
  std::snprintf(out_data.return_msg, sizeof out_data.return_msg, "Couldn't load suite.");
  EXPECT_EQ(PluginErrorText("PF_Cmd_SMART_RENDER", 516, out_data), "PF_Cmd_SMART_RENDER failed with error 516");
  out_data.out_flags = PF_OutFlag_DISPLAY_ERROR_MESSAGE;
  EXPECT_EQ(PluginErrorText("PF_Cmd_SMART_RENDER", 516, out_data),
            "PF_Cmd_SMART_RENDER failed with error 516: Couldn't load suite.");
  // A message without its terminator is read only as far as the field goes.
  std::memset(out_data.return_msg, 'x', sizeof out_data.return_msg);
  EXPECT_EQ(PluginErrorText("c", 1, out_data), "c failed with error 1: " + std::string(256, 'x'));
  EXPECT_EQ(OutFlagsText(0x40 | 0x8), "PF_OutFlag_USE_OUTPUT_EXTENT | 0x8");
}

TEST(Cli, ProgressIsDrawnInPlaceOnlyWhenEnabled) {
  std::ostringstream quiet;
  {
    Progress p(quiet, false, "bake", 10);
    p.Update(3);
  }
  EXPECT_EQ(quiet.str(), "");

  std::ostringstream shown;
  {
    Progress p(shown, true, "render", 120);
    p.Update(12);
    p.Update(120);
  }
  EXPECT_EQ(shown.str(), "\rrender 12/120 (10%)\rrender 120/120 (100%)\r" + std::string(21, ' ') + "\r");
}

}  // namespace
