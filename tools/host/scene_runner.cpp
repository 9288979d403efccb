#include "scene_runner.h"

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <utility>

#include "output_folder.h"
#include "plugin/params/param_index.h"
#include "plugin/path/path_locator.h"
#include "progress.h"
#include "refhost/bezier.h"
#include "refhost/frame.h"
#include "refhost/module.h"
#include "refhost/output/atomic_file.h"
#include "refhost/output/exr_io.h"
#include "refhost/output/keyframes_io.h"
#include "refhost/output/pictures.h"
#include "refhost/output/png_io.h"
#include "refhost/scene/layer_image.h"
#include "refhost/scene/plan.h"
#include "report.h"

namespace thimbleroute_cli {

namespace {

namespace output = refhost::output;
namespace scene = refhost::scene;
using scene::Depth;
using scene::Scene;
using scene::Step;
using Clock = std::chrono::steady_clock;

constexpr double BAKE_EXECUTE = 2.0;  // the "Bake Keyframes" item that asks for a bake
constexpr int SHEET_CELL_WIDTH = 320;
constexpr int SHEET_COLUMNS = 5;

// Why the run stops, in one line that already says where.
class RunFailure : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

double SecondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string DurationText(double seconds) {
  char text[32];
  if (seconds < 1.0) {
    std::snprintf(text, sizeof text, "%.1f ms", seconds * 1000.0);
  } else {
    std::snprintf(text, sizeof text, "%.2f s", seconds);
  }
  return text;
}

PF_PixelFormat FormatOf(Depth depth) {
  switch (depth) {
    case Depth::BITS_8: return PF_PixelFormat_ARGB32;
    case Depth::BITS_16: return PF_PixelFormat_ARGB64;
    case Depth::FLOAT_32: return PF_PixelFormat_ARGB128;
  }
  return PF_PixelFormat_ARGB32;
}

refhost::FrameRequest Request(A_long time, Depth depth, int downsample_x, int downsample_y) {
  refhost::FrameRequest request;
  request.time = time;
  request.format = FormatOf(depth);
  request.downsample = {1, static_cast<A_u_long>(downsample_x)};
  request.downsample_y = {1, static_cast<A_u_long>(downsample_y)};
  return request;
}

output::Image ImageOf(const refhost::World& world, Depth depth) {
  return output::ImageFromRows(world.Width(), world.Height(), depth, world.Row(0),
                               static_cast<std::size_t>(world.Def().rowbytes));
}

void WriteFrame(const std::filesystem::path& file, const output::Image& image) {
  switch (image.depth()) {
    case Depth::BITS_8: output::WritePng(file, image, output::PngBits::BITS_8); break;
    case Depth::BITS_16: output::WritePng(file, image, output::PngBits::BITS_16); break;
    // Full floats, so the file holds exactly what the effect wrote.
    case Depth::FLOAT_32: output::WriteExr(file, image, output::ExrPixels::FLOAT); break;
  }
}

AEGP_StreamVal2 StreamValue(output::ParamKind kind, const output::ParamValue& value) {
  switch (kind) {
    case output::ParamKind::POINT: return refhost::TwoDValue(value.x, value.y);
    case output::ParamKind::COLOR: return refhost::ColorValue(value.color);
    default: return refhost::OneDValue(value.number);
  }
}

output::ParamValue ParamValueOf(output::ParamKind kind, const AEGP_StreamVal2& value) {
  output::ParamValue out;
  switch (kind) {
    case output::ParamKind::POINT:
      out.x = value.two_d.x;
      out.y = value.two_d.y;
      break;
    case output::ParamKind::COLOR: out.color = refhost::PixelOf(value.color); break;
    default: out.number = value.one_d; break;
  }
  return out;
}

std::vector<refhost::PathVertex> PathVertices(const std::vector<output::MaskVertex>& vertices) {
  std::vector<refhost::PathVertex> out;
  out.reserve(vertices.size());
  for (const output::MaskVertex& v : vertices) out.push_back({{v.x, v.y}, {v.in_x, v.in_y}, {v.out_x, v.out_y}});
  return out;
}

output::MaskGeometry GeometryOf(bool closed, const std::vector<refhost::PathVertex>& vertices) {
  output::MaskGeometry geometry{closed, {}};
  for (const refhost::PathVertex& v : vertices) {
    geometry.vertices.push_back({v.position.x, v.position.y, v.in_tangent.x, v.in_tangent.y, v.out_tangent.x,
                                 v.out_tangent.y});
  }
  return geometry;
}

// The length the effect measures: each segment sampled as the effect asks the
// host to sample it.
double PathLength(const std::vector<refhost::PathVertex>& vertices, bool closed) {
  double length = 0.0;
  for (int i = 0; i < refhost::SegmentCount(vertices.size(), closed); ++i) {
    length += refhost::SegmentLengthTable(refhost::SegmentOf(vertices, closed, i), SEGMENT_LENGTH_FREQUENCY).Length();
  }
  return length;
}

std::string ShownMessage(const PF_OutData& out_data) {
  if ((out_data.out_flags & PF_OutFlag_DISPLAY_ERROR_MESSAGE) == 0) return "";
  return std::string(out_data.return_msg, strnlen(out_data.return_msg, sizeof out_data.return_msg));
}

// A fault injected on one host function, and the count of its calls at which it
// fires. A fault that never fires means the scene did not test what it meant to
// (a misspelt name, an nth beyond the calls made), so the run says so.
struct PendingFault {
  std::string call;
  long long fires_at = 0;
  int nth = 0;
  std::string where;
};

class SceneRun {
 public:
  SceneRun(const Scene& scene, const RunSettings& settings, std::ostream& out, refhost::Host& host,
           OutputFolder& folder)
      : scene_(scene), settings_(settings), out_(out), host_(host), folder_(folder) {}

  // Everything the host holds before the effect is applied: the layer and its
  // clock and masks. Also checks what only the host can tell: that each suite a
  // fault withholds is one the host offers.
  void SetUp() {
    for (const Step& step : scene_.steps) {
      if (const auto* suite = std::get_if<scene::SuiteUnavailableStep>(&step.action)) {
        if (host_.FindSuite(suite->suite, suite->version) == nullptr) {
          throw RunFailure(At(step.where + "/suite_unavailable/suite") + "the host offers no suite \"" + suite->suite +
                           "\" version " + std::to_string(suite->version));
        }
      }
    }
    output::Image layer = scene::MakeLayerImage(scene_.layer, Depth::FLOAT_32);
    host_.SetLayer(layer.width, layer.height, std::move(std::get<std::vector<PF_PixelFloat>>(layer.pixels)));

    refhost::TimeSettings& time = host_.Time();
    time.current_time = 0;
    time.time_step = scene_.time.step;
    time.total_time = scene_.time.duration;
    time.time_scale = scene_.time.scale;

    for (const scene::Mask& mask : scene_.masks) {
      host_.masks.Add(mask.id, mask.closed, PathVertices(mask.shapes.front().vertices));
      if (!mask.keyframed) continue;
      for (const scene::MaskShape& shape : mask.shapes) {
        host_.masks.AddKeyframe(mask.id, A_Time{shape.time, scene_.time.scale}, PathVertices(shape.vertices));
      }
    }
  }

  // The effect applied as the host applies a saved one: global and parameter
  // setup, the parameters' values, sequence setup, then the interface update.
  void Start() {
    Command("PF_Cmd_GLOBAL_SETUP", host_.GlobalSetup());
    for (const std::string& warning : host_.Warnings()) out_ << "  host: warning: " << warning << "\n";
    Command("PF_Cmd_PARAMS_SETUP", host_.ParamsSetup());
    for (const scene::ParamSetting& setting : scene_.params) {
      const scene::ParamInfo& info = scene::InfoOf(setting.id);
      const auto index = static_cast<PF_ParamIndex>(setting.id);
      bool accepted;
      if (setting.keyframed) {
        std::vector<refhost::ParamKeyframe> keyframes;
        for (const scene::Keyframe& k : setting.keyframes) {
          keyframes.push_back({A_Time{k.time, scene_.time.scale}, StreamValue(info.kind, k.value)});
        }
        accepted = host_.params.SetKeyframes(index, keyframes);
      } else {
        accepted = host_.params.SetValue(index, StreamValue(info.kind, setting.value));
      }
      if (!accepted) {
        throw RunFailure(At(std::string("/params/") + info.key) + "the host refused the value for \"" + info.name +
                         "\" (the effect defines it differently)");
      }
    }
    Command("PF_Cmd_SEQUENCE_SETUP", host_.SequenceSetup());
    Command("PF_Cmd_UPDATE_PARAMS_UI", host_.UpdateParamsUI());
  }

  void RunSteps() {
    for (std::size_t i = 0; i < scene_.steps.size(); ++i) {
      const Step& step = scene_.steps[i];
      std::string outcome = std::visit([&](const auto& action) { return Run(step, action); }, step.action);
      out_ << "  " << i + 1 << ". " << scene::DescribeStep(scene_, step) << ": " << outcome << "\n";
    }
  }

  // The end of the run: every fault fired, the streams as they end, the instance
  // and the module set down, and nothing misused or left with the host.
  void Finish() {
    CheckFaultsFired();
    output::WriteKeyframesJson(folder_.Stage(scene::KeyframesPath()), scene_.time, StreamRecords());
    const std::string where = scene_.file + ": at the end";
    if (PF_Err err = host_.SequenceSetdown(); err != PF_Err_NONE) {
      throw RunFailure(where + ": " + PluginErrorText("PF_Cmd_SEQUENCE_SETDOWN", err, host_.OutData()));
    }
    if (PF_Err err = host_.Send(PF_Cmd_GLOBAL_SETDOWN); err != PF_Err_NONE) {
      throw RunFailure(where + ": " + PluginErrorText("PF_Cmd_GLOBAL_SETDOWN", err, host_.OutData()));
    }
    CheckHost(where);
    std::vector<std::string> outstanding = host_.Outstanding();
    if (!outstanding.empty()) {
      std::string list;
      for (const std::string& item : outstanding) list += (list.empty() ? "" : ", ") + item;
      throw RunFailure(where + ": the module left " + std::to_string(outstanding.size()) +
                       " thing(s) with the host that it should have given back: " + list);
    }
  }

  std::vector<BakeSummary> bakes;

 private:
  // "scene.json: /steps/3": where a message is about.
  std::string Place(const std::string& where) const { return scene_.file + ": " + where; }
  std::string At(const std::string& where) const { return Place(where) + ": "; }

  // One of the commands that start the effect: any error ends the run.
  void Command(const char* command, PF_Err err) {
    if (err != PF_Err_NONE) {
      throw RunFailure(scene_.file + ": starting the effect: " + PluginErrorText(command, err, host_.OutData()));
    }
    CheckHost(scene_.file + ": starting the effect");
  }

  // A misuse of the host is a bug in the module, which a user must see: the run
  // stops at the step where it happened.
  void CheckHost(const std::string& where) {
    const std::vector<std::string>& violations = host_.Violations();
    if (violations.size() == violations_seen_) return;
    for (std::size_t i = violations_seen_; i < violations.size(); ++i) {
      out_ << "  host: violation: " << violations[i] << "\n";
    }
    std::string text = where + ": the module misused the host: " + violations[violations_seen_];
    if (violations.size() - violations_seen_ > 1) {
      text += " (and " + std::to_string(violations.size() - violations_seen_ - 1) + " more, listed above)";
    }
    violations_seen_ = violations.size();
    throw RunFailure(text);
  }

  // A plug-in error within a step. Gives true when the command succeeded; false
  // when it failed with the error the step expects (the step then stops and
  // writes nothing); throws otherwise.
  bool Outcome(const Step& step, const std::string& command, PF_Err err, const std::string& message) {
    if (err == PF_Err_NONE) return true;
    const std::string text = PluginErrorText(command, err, message);
    if (step.expect_error && *step.expect_error == err) {
      expected_ = text;
      return false;
    }
    if (step.expect_error) {
      throw RunFailure(At(step.where) + "expected error " + std::to_string(*step.expect_error) + ", but " + text);
    }
    throw RunFailure(At(step.where) + text);
  }

  bool FrameOutcome(const Step& step, const refhost::FrameResult& frame, A_long time) {
    const std::string at = " at time " + std::to_string(time);
    if (frame.pre_render_err != PF_Err_NONE) {
      return Outcome(step, "PF_Cmd_SMART_PRE_RENDER" + at, frame.pre_render_err, frame.message);
    }
    if (frame.render_err != PF_Err_NONE) return Outcome(step, "PF_Cmd_SMART_RENDER" + at, frame.render_err, frame.message);
    return Outcome(step, "PF_Cmd_UPDATE_PARAMS_UI", frame.update_err, ShownMessage(host_.OutData()));
  }

  void ExpectedButSucceeded(const Step& step) const {
    if (step.expect_error) {
      throw RunFailure(At(step.where) + "expected error " + std::to_string(*step.expect_error) +
                       ", but every command succeeded");
    }
  }

  std::string AsExpected() const { return "failed as expected: " + expected_; }

  // A progress line, drawn only where the settings ask for one and only when
  // `wanted` (a single frame needs none).
  Progress MakeProgress(std::string what, std::size_t total, bool wanted = true) {
    return Progress(settings_.progress != nullptr ? *settings_.progress : out_,
                    wanted && settings_.progress != nullptr, std::move(what), total);
  }

  // A user's change: the value at the current time (a keyframe there if the
  // parameter is animated), then what the host sends after a change.
  PF_Err EditAsUser(const Step& step, PF_ParamIndex index, const AEGP_StreamVal2& value, A_long time) {
    bool refused = false;
    const PF_Err err = host_.UserEdit([&](refhost::ParamStreams& params) {
      const bool animated = !params.Keyframes(index).empty();
      refused = !(animated ? params.AddKeyframe(index, A_Time{time, scene_.time.scale}, value)
                           : params.SetValue(index, value));
      return !refused;
    });
    if (refused) {
      throw RunFailure(At(step.where) + "the host refused the value for \"" +
                       scene::InfoOf(static_cast<scene::ParamId>(index)).name + "\"");
    }
    CheckHost(Place(step.where));
    return err;
  }

  std::string Run(const Step& step, const scene::RenderStep& render) {
    const std::vector<A_long> times = render.Times(scene_.time.step);
    const Clock::time_point start = Clock::now();
    std::vector<output::SheetCell> cells;
    Progress progress = MakeProgress("render " + step.name, times.size(), times.size() > 1);
    progress.Update(0);
    for (std::size_t i = 0; i < times.size(); ++i) {
      refhost::FrameResult frame =
          refhost::RenderFrame(host_, Request(times[i], render.depth, render.downsample_x, render.downsample_y));
      CheckHost(Place(step.where));
      if (!FrameOutcome(step, frame, times[i])) return AsExpected();
      // A step expected to fail writes nothing, also for the frames before the failure.
      if (!step.expect_error) {
        output::Image image = ImageOf(*frame.output, render.depth);
        WriteFrame(folder_.Stage(scene::FramePath(scene_, step, times[i], render.depth)), image);
        if (render.sheet) {
          // Kept at twice the cell's width, so thin lines of the marker survive.
          const int factor = std::max(1, image.width / (2 * SHEET_CELL_WIDTH));
          char label[64];
          std::snprintf(label, sizeof label, "time %ld (%.2f s)", static_cast<long>(times[i]),
                        scene_.time.Seconds(times[i]));
          cells.push_back({output::Shrink(image, factor), label,
                           ChosenOutline(times[i], 1.0 / (render.downsample_x * factor),
                                         1.0 / (render.downsample_y * factor))});
        }
      }
      progress.Update(i + 1);
    }
    progress.Finish();
    ExpectedButSucceeded(step);
    if (render.sheet) {
      output::DrawContactSheet(folder_.Stage(scene::SheetPath(step)), cells,
                               std::min<int>(SHEET_COLUMNS, static_cast<int>(cells.size())), SHEET_CELL_WIDTH);
    }
    const std::string frames = times.size() == 1 ? "1 frame" : std::to_string(times.size()) + " frames";
    return frames + " in " + DurationText(SecondsSince(start));
  }

  std::string Run(const Step& step, const scene::SetStep& set) {
    host_.Time().current_time = set.time;
    const PF_Err err =
        EditAsUser(step, static_cast<PF_ParamIndex>(set.id), StreamValue(scene::InfoOf(set.id).kind, set.value), set.time);
    if (!Outcome(step, "PF_Cmd_UPDATE_PARAMS_UI", err, ShownMessage(host_.OutData()))) return AsExpected();
    ExpectedButSucceeded(step);
    return "done";
  }

  std::string Run(const Step& step, const scene::BakeStep& bake) {
    host_.Time().current_time = bake.time;
    const PF_Err err = EditAsUser(step, PARAM_BAKE, refhost::OneDValue(BAKE_EXECUTE), bake.time);
    if (!Outcome(step, "PF_Cmd_UPDATE_PARAMS_UI", err, ShownMessage(host_.OutData()))) return AsExpected();

    // The bake is one render command; its progress cannot be seen from outside.
    Progress progress = MakeProgress("bake " + step.name + ":", 0);
    const std::int64_t frames = (std::int64_t{scene_.time.duration} + scene_.time.step - 1) / scene_.time.step;
    progress.Show("walking the layer's " + std::to_string(frames) + " frames...");
    const Clock::time_point start = Clock::now();
    refhost::FrameResult frame =
        refhost::RenderFrame(host_, Request(bake.time, bake.depth, bake.downsample_x, bake.downsample_y));
    const double seconds = SecondsSince(start);
    progress.Finish();
    CheckHost(Place(step.where));
    if (!FrameOutcome(step, frame, bake.time)) return AsExpected();
    ExpectedButSucceeded(step);

    BakeSummary summary;
    summary.step = step.name;
    summary.seconds = seconds;
    summary.path = PathAt(bake.time);
    std::vector<output::StreamRecord> streams = StreamRecords();
    std::vector<output::BakeSample> samples;
    output::MaskGeometry geometry;
    // With no path chosen the effect bakes nothing (and leaves "Execute" chosen);
    // keyframes from an earlier bake are not this bake's.
    if (summary.path != 0 && host_.masks.Has(summary.path)) {
      const scene::Mask* mask = scene_.FindMask(summary.path);
      summary.mask = mask != nullptr ? mask->name : "";
      summary.closed = host_.masks.IsClosed(summary.path);
      // The effect bakes along the shape at the frame's time.
      const std::vector<refhost::PathVertex> shape = host_.masks.ShapeAt(summary.path, bake.time, scene_.time.scale);
      summary.path_length = PathLength(shape, summary.closed);
      geometry = GeometryOf(summary.closed, shape);
      samples = output::BakeSamplesFromStreams(streams[PARAM_POINT - 1], streams[PARAM_ANGLE - 1]);
    }
    summary.keyframes = samples.size();

    output::WriteBakeCsv(folder_.Stage(scene::BakeCsvPath(step)), scene_.time, samples);
    output::WriteKeyframesJson(folder_.Stage(scene::BakeKeyframesPath(step)), scene_.time, streams);
    const output::Image background = ImageOf(*frame.output, bake.depth);
    output::BakePicture picture;
    picture.width = scene_.layer.width;
    picture.height = scene_.layer.height;
    picture.background = &background;
    picture.mask = geometry;
    picture.samples = samples;
    picture.title = "bake " + step.name + ": " + BakeSummaryText(summary);
    output::DrawBakePicture(folder_.Stage(scene::BakePicturePath(step)), picture);
    bakes.push_back(summary);
    return BakeSummaryText(summary);
  }

  std::string Run(const Step& step, const scene::FailCallStep& fail) {
    // The plan counts calls since it was last cleared; the scene counts from here.
    const long long fires_at = static_cast<long long>(host_.faults.Seen(fail.call)) + fail.nth;
    if (fires_at <= std::numeric_limits<int>::max()) {
      host_.faults.FailCall(fail.call, static_cast<int>(fires_at), fail.code);
    }
    faults_.push_back({fail.call, fires_at, fail.nth, step.where});
    return "armed";
  }

  std::string Run(const Step&, const scene::SuiteUnavailableStep& suite) {
    host_.faults.MakeSuiteUnavailable(suite.suite, suite.version);
    return "armed";
  }

  std::string Run(const Step&, const scene::ClearFaultsStep&) {
    CheckFaultsFired();
    host_.faults.Clear();
    faults_.clear();
    return "done";
  }

  void CheckFaultsFired() const {
    for (const PendingFault& fault : faults_) {
      const long long seen = host_.faults.Seen(fault.call);
      if (seen >= fault.fires_at) continue;
      const long long made = seen - (fault.fires_at - fault.nth);
      std::string text = At(fault.where) + "the fault on " + fault.call + " never fired: call " +
                         std::to_string(fault.nth) + " from this step on was to fail, and the module made " +
                         std::to_string(made) + " such call" + (made == 1 ? "" : "s");
      if (made == 0) text += " (is the name spelt as in the trace?)";
      throw RunFailure(text);
    }
  }

  // The Path parameter's value at a time: the chosen mask's id, 0 for none.
  PF_PathID PathAt(A_long time) const {
    const auto value = host_.params.ValueAt(PARAM_PATH, A_Time{time, scene_.time.scale});
    return value ? static_cast<PF_PathID>(value->one_d) : 0;
  }

  // The chosen mask at a time, as a viewer outlines it over the frame: the shape
  // at that time, scaled into the frame's pixels. None while no path is chosen.
  std::vector<output::MaskGeometry> ChosenOutline(A_long time, double scale_x, double scale_y) const {
    const PF_PathID path = PathAt(time);
    if (path == 0 || !host_.masks.Has(path)) return {};
    std::vector<refhost::PathVertex> shape = host_.masks.ShapeAt(path, time, scene_.time.scale);
    for (refhost::PathVertex& v : shape) {
      for (refhost::Vec2* p : {&v.position, &v.in_tangent, &v.out_tangent}) {
        p->x *= scale_x;
        p->y *= scale_y;
      }
    }
    return {GeometryOf(host_.masks.IsClosed(path), shape)};
  }

  // A time the host holds (a keyframe's) in the scene's units.
  A_long SceneTime(const A_Time& time) const {
    if (time.scale == scene_.time.scale || time.scale == 0) return time.value;
    return static_cast<A_long>(std::llround(static_cast<double>(time.value) * scene_.time.scale / time.scale));
  }

  // Every parameter stream as the host holds it now.
  std::vector<output::StreamRecord> StreamRecords() const {
    std::vector<output::StreamRecord> records;
    for (const scene::ParamInfo& info : scene::Params()) {
      const auto index = static_cast<PF_ParamIndex>(info.id);
      output::StreamRecord record;
      record.index = index;
      record.key = info.key;
      record.name = info.name;
      record.kind = info.kind;
      record.hidden = host_.params.Hidden(index);
      if (auto value = host_.params.StaticValue(index)) record.value = ParamValueOf(info.kind, *value);
      for (const refhost::ParamKeyframe& k : host_.params.Keyframes(index)) {
        record.keyframes.push_back({SceneTime(k.time), ParamValueOf(info.kind, k.value)});
      }
      records.push_back(std::move(record));
    }
    return records;
  }

  const Scene& scene_;
  const RunSettings& settings_;
  std::ostream& out_;
  refhost::Host& host_;
  OutputFolder& folder_;
  std::size_t violations_seen_ = 0;
  std::vector<PendingFault> faults_;
  std::string expected_;  // the error a step failed with as expected
};

void WriteTrace(const std::filesystem::path& file, const refhost::Host& host) {
  std::ostringstream text;
  host.trace.WriteJsonLines(text);
  output::WriteTextAtomically(file, text.str());
}

}  // namespace

std::string BakeSummaryText(const BakeSummary& bake) {
  if (bake.path == 0) {
    return "nothing baked: no path chosen (\"Bake Keyframes\" stays on Execute), " + DurationText(bake.seconds);
  }
  char length[32];
  std::snprintf(length, sizeof length, "%.1f", bake.path_length);
  return std::to_string(bake.keyframes) + " keyframes along \"" + bake.mask + "\" (mask " + std::to_string(bake.path) +
         ", " + (bake.closed ? "closed" : "open") + "), path length " + length + " px, " + DurationText(bake.seconds);
}

RunResult RunScene(const Scene& scene, const RunSettings& settings, std::ostream& out) {
  RunResult result;
  try {
    refhost::Module module(settings.module);
    refhost::Host host(module.Entry());
    host.SetPropertyList(module.Properties());
    // Recording every call costs time; only when the trace is wanted.
    host.trace.SetEnabled(settings.trace.has_value());

    std::unique_ptr<OutputFolder> folder;
    try {
      folder = std::make_unique<OutputFolder>(settings.out_dir);
      SceneRun run(scene, settings, out, host, *folder);
      run.SetUp();
      if (settings.prepare) settings.prepare(host);
      run.Start();
      run.RunSteps();
      run.Finish();
      result.bakes = run.bakes;
    } catch (const std::exception& e) {
      result.failure = e.what();
    }
    if (settings.trace) WriteTrace(*settings.trace, host);
    if (!result.failure.empty()) return result;
    folder->Commit();
    result.written = folder->Committed();
    result.ok = true;
  } catch (const std::exception& e) {
    // The module would not load, the trace could not be written, or the outputs
    // could not be put in place.
    result.failure = e.what();
    result.ok = false;
  }
  return result;
}

}  // namespace thimbleroute_cli
