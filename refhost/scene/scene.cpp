#include "scene.h"

namespace refhost::scene {

const std::vector<ParamInfo>& Params() {
  static const std::vector<ParamInfo> params = {
      {ParamId::PATH, "path", "Path", ParamKind::PATH},
      {ParamId::OFFSET_PERCENT, "offset_percent", "Offset", ParamKind::PERCENT},
      {ParamId::OFFSET_ANGLE, "offset_angle", "Offset", ParamKind::ANGLE},
      {ParamId::POINT, "point", "Point", ParamKind::POINT},
      {ParamId::ANGLE, "angle", "Angle", ParamKind::ANGLE},
      {ParamId::ON_TRANSPARENT, "on_transparent", "On Transparent", ParamKind::CHECKBOX},
      {ParamId::BAKE, "bake", "Bake Keyframes", ParamKind::POPUP},
      {ParamId::GUIDE, "guide", "Guide", ParamKind::CHECKBOX},
      {ParamId::GUIDE_COLOR, "guide_color", "Guide Color", ParamKind::COLOR},
  };
  return params;
}

const ParamInfo& InfoOf(ParamId id) { return Params().at(static_cast<std::size_t>(id) - 1); }

const ParamInfo* FindParam(std::string_view key) {
  for (const ParamInfo& p : Params()) {
    if (key == p.key) return &p;
  }
  return nullptr;
}

std::vector<A_long> RenderStep::Times(A_long step) const {
  std::vector<A_long> times;
  // 64-bit arithmetic: the next time may lie beyond what 32 bits hold.
  std::int64_t stride = static_cast<std::int64_t>(step) * every;
  if (stride <= 0) return {time};
  for (std::int64_t t = time; t < end; t += stride) times.push_back(static_cast<A_long>(t));
  return times;
}

const Mask* Scene::FindMask(PF_PathID id) const {
  for (const Mask& mask : masks) {
    if (mask.id == id) return &mask;
  }
  return nullptr;
}

const ParamSetting* Scene::FindSetting(ParamId id) const {
  for (const ParamSetting& setting : params) {
    if (setting.id == id) return &setting;
  }
  return nullptr;
}

SceneError::SceneError(std::string file, std::string where, std::string message)
    : std::runtime_error(file + ": " + (where.empty() ? "" : where + ": ") + message),
      file_(std::move(file)),
      where_(std::move(where)),
      message_(std::move(message)) {}

}  // namespace refhost::scene
