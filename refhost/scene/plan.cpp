#include "plan.h"

#include <cstdio>
#include <sstream>

#include "refhost/output/keyframes_io.h"

namespace refhost::scene {

namespace {

std::string Seconds(const TimeBase& time, A_long t) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3g s", time.Seconds(t));
  return text;
}

std::string DepthWord(Depth depth) {
  switch (depth) {
    case Depth::BITS_8: return "8bit";
    case Depth::BITS_16: return "16bit";
    case Depth::FLOAT_32: return "float";
  }
  return "?";
}

std::string Downsample(int x, int y) {
  if (x == 1 && y == 1) return "";
  if (x == y) return ", downsampled 1/" + std::to_string(x);
  return ", downsampled 1/" + std::to_string(x) + " by 1/" + std::to_string(y);
}

std::string ValueText(const ParamInfo& info, const ParamValue& value) {
  if (info.kind == ParamKind::PATH && value.number == 0) return "none";
  std::string text = output::ValueJson(info.kind, value).dump();
  if (info.kind == ParamKind::PERCENT) text += " %";
  if (info.kind == ParamKind::ANGLE) text += " degrees";
  return text;
}

std::string ExpectText(const Step& step) {
  return step.expect_error ? ", expecting error " + std::to_string(*step.expect_error) : "";
}

}  // namespace

std::filesystem::path FramePath(const Scene& scene, const Step& step, A_long time, Depth depth) {
  int width = static_cast<int>(std::to_string(scene.time.duration - 1).size());
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "t%0*ld", width, static_cast<long>(time));
  std::string ext = depth == Depth::FLOAT_32 ? ".exr" : ".png";
  return std::filesystem::path("frames") / (step.name + "-" + stamp + "-" + DepthWord(depth) + ext);
}

std::filesystem::path SheetPath(const Step& step) { return step.name + "-sheet.png"; }
std::filesystem::path BakeCsvPath(const Step& step) { return std::filesystem::path("bakes") / (step.name + ".csv"); }
std::filesystem::path BakeKeyframesPath(const Step& step) {
  return std::filesystem::path("bakes") / (step.name + "-keyframes.json");
}
std::filesystem::path BakePicturePath(const Step& step) { return std::filesystem::path("bakes") / (step.name + ".png"); }
std::filesystem::path KeyframesPath() { return "keyframes.json"; }

std::vector<PlannedFile> PlanOutputs(const Scene& scene) {
  std::vector<PlannedFile> files;
  for (std::size_t i = 0; i < scene.steps.size(); ++i) {
    const Step& step = scene.steps[i];
    if (step.expect_error) continue;
    if (const auto* render = std::get_if<RenderStep>(&step.action)) {
      for (A_long t : render->Times(scene.time.step)) {
        files.push_back({OutputKind::FRAME, FramePath(scene, step, t, render->depth), i, t});
      }
      if (render->sheet) files.push_back({OutputKind::CONTACT_SHEET, SheetPath(step), i, render->time});
    } else if (const auto* bake = std::get_if<BakeStep>(&step.action)) {
      files.push_back({OutputKind::BAKE_CSV, BakeCsvPath(step), i, bake->time});
      files.push_back({OutputKind::BAKE_KEYFRAMES, BakeKeyframesPath(step), i, bake->time});
      files.push_back({OutputKind::BAKE_PICTURE, BakePicturePath(step), i, bake->time});
    }
  }
  files.push_back({OutputKind::KEYFRAMES, KeyframesPath(), scene.steps.size(), 0});
  return files;
}

std::string DescribeStep(const Scene& scene, const Step& step) {
  const TimeBase& tb = scene.time;
  std::ostringstream out;
  if (const auto* render = std::get_if<RenderStep>(&step.action)) {
    std::vector<A_long> times = render->Times(tb.step);
    if (times.size() == 1 && render->end == render->time + 1) {
      out << "render the frame at " << render->time << " (" << Seconds(tb, render->time) << ")";
    } else {
      out << "render " << times.size() << " frame" << (times.size() == 1 ? "" : "s") << ", " << times.front()
          << " to " << times.back();
      if (render->every > 1) out << " every " << render->every;
      out << " (" << Seconds(tb, times.front()) << " to " << Seconds(tb, times.back()) << ")";
    }
    out << ", " << output::DepthName(render->depth) << Downsample(render->downsample_x, render->downsample_y);
    if (render->sheet) out << ", with a contact sheet";
  } else if (const auto* set = std::get_if<SetStep>(&step.action)) {
    const ParamInfo& info = InfoOf(set->id);
    out << "set " << info.key << " to " << ValueText(info, set->value) << " at " << set->time << " ("
        << Seconds(tb, set->time) << ")";
  } else if (const auto* bake = std::get_if<BakeStep>(&step.action)) {
    out << "bake: Bake Keyframes set to Execute, then the frame at " << bake->time << " rendered, "
        << output::DepthName(bake->depth) << Downsample(bake->downsample_x, bake->downsample_y);
  } else if (const auto* fail = std::get_if<FailCallStep>(&step.action)) {
    out << "fault: call " << fail->nth << " of " << fail->call << " from here on fails with " << fail->code;
  } else if (const auto* suite = std::get_if<SuiteUnavailableStep>(&step.action)) {
    out << "fault: suite \"" << suite->suite << "\" version " << suite->version << " is unavailable";
  } else {
    out << "faults cleared";
  }
  out << ExpectText(step);
  return out.str();
}

std::string DescribeScene(const Scene& scene) {
  std::ostringstream out;
  const Layer& layer = scene.layer;
  out << "layer " << layer.width << "x" << layer.height << ", " << output::DepthName(layer.depth) << ", ";
  if (!layer.source.image.empty()) {
    out << "image " << layer.source.image.string();
  } else {
    switch (layer.source.pattern) {
      case Pattern::TEST_CARD: out << "test card"; break;
      case Pattern::SOLID: out << "solid " << output::FormatColor(layer.source.color); break;
      case Pattern::GRADIENT:
        out << "gradient " << output::FormatColor(layer.source.color) << " to "
            << output::FormatColor(layer.source.color2);
        break;
    }
  }
  const TimeBase& tb = scene.time;
  out << "\ntime scale " << tb.scale << ", step " << tb.step << ", duration " << tb.duration << " ("
      << Seconds(tb, tb.duration) << ", " << (std::int64_t{tb.duration} + tb.step - 1) / tb.step << " frames)\n";
  for (const Mask& mask : scene.masks) {
    out << "mask " << mask.id << " \"" << mask.name << "\": " << (mask.closed ? "closed" : "open") << ", "
        << mask.shapes.front().vertices.size() << " vertices";
    if (mask.keyframed) out << ", " << mask.shapes.size() << " shape keyframes";
    out << "\n";
  }
  for (const ParamSetting& setting : scene.params) {
    const ParamInfo& info = InfoOf(setting.id);
    out << info.key << ": ";
    if (setting.keyframed) {
      out << setting.keyframes.size() << " keyframes, " << ValueText(info, setting.keyframes.front().value) << " at "
          << setting.keyframes.front().time << " to " << ValueText(info, setting.keyframes.back().value) << " at "
          << setting.keyframes.back().time;
    } else {
      out << ValueText(info, setting.value);
    }
    out << "\n";
  }
  return out.str();
}

}  // namespace refhost::scene
