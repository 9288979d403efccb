#include "param_streams.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <utility>

namespace refhost {

namespace {

constexpr double FIXED_ONE = 65536.0;
// Texts a module points at are read up to this length; a longer one is refused,
// so a missing terminator never sends the host off through the module's memory.
constexpr std::size_t MAX_TEXT = 1024;

double FromFixed(PF_Fixed value) { return value / FIXED_ONE; }

// Clamped to what 16.16 holds. A value that is not a number (an interpolation
// between instants too close for a double to tell apart, or a value only a test
// stores) reads as 0: converting it to an integer would be undefined.
PF_Fixed ToFixed(double value) {
  if (std::isnan(value)) return 0;
  const double scaled = std::round(value * FIXED_ONE);
  const double low = std::numeric_limits<PF_Fixed>::min();
  const double high = std::numeric_limits<PF_Fixed>::max();
  return static_cast<PF_Fixed>(std::clamp(scaled, low, high));
}

bool IsWhole(double value) { return std::isfinite(value) && value == std::floor(value); }

// Exact comparisons of instants given over different scales. The products stay
// within 64 bits: a 32-bit value times a 32-bit scale.
std::int64_t Cross(const A_Time& a, const A_Time& b) {
  return static_cast<std::int64_t>(a.value) * static_cast<std::int64_t>(b.scale);
}
bool Before(const A_Time& a, const A_Time& b) { return Cross(a, b) < Cross(b, a); }
bool SameInstant(const A_Time& a, const A_Time& b) { return Cross(a, b) == Cross(b, a); }
double Seconds(const A_Time& t) { return t.value / static_cast<double>(t.scale); }

bool Linear(PF_ParamType type) {
  return type == PF_Param_FIX_SLIDER || type == PF_Param_ANGLE || type == PF_Param_POINT;
}

bool Supported(PF_ParamType type) {
  switch (type) {
    case PF_Param_FIX_SLIDER:
    case PF_Param_ANGLE:
    case PF_Param_CHECKBOX:
    case PF_Param_COLOR:
    case PF_Param_POINT:
    case PF_Param_POPUP:
    case PF_Param_PATH:
      return true;
    default:
      return false;
  }
}

bool Equal(PF_ParamType type, const AEGP_StreamVal2& a, const AEGP_StreamVal2& b) {
  switch (type) {
    case PF_Param_POINT:
      return a.two_d.x == b.two_d.x && a.two_d.y == b.two_d.y;
    case PF_Param_COLOR:
      return a.color.alphaF == b.color.alphaF && a.color.redF == b.color.redF &&
             a.color.greenF == b.color.greenF && a.color.blueF == b.color.blueF;
    default:
      return a.one_d == b.one_d;
  }
}

AEGP_StreamVal2 Between(PF_ParamType type, const AEGP_StreamVal2& a, const AEGP_StreamVal2& b,
                        double fraction) {
  auto mix = [fraction](double from, double to) { return from + (to - from) * fraction; };
  if (type == PF_Param_POINT) {
    return TwoDValue(mix(a.two_d.x, b.two_d.x), mix(a.two_d.y, b.two_d.y));
  }
  return OneDValue(mix(a.one_d, b.one_d));
}

// Puts a keyframe in time order; one at the same instant is replaced. Gives
// whether the list changed. A bake adds its keyframes in time order, each after
// the last: those are appended at once, so a layer's worth of keyframes costs time
// linear in their number; any other is found by binary search.
bool InsertKeyframe(std::vector<ParamKeyframe>& keys, PF_ParamType type, A_Time time,
                    const AEGP_StreamVal2& value) {
  if (keys.empty() || Before(keys.back().time, time)) {
    keys.push_back(ParamKeyframe{time, value});
    return true;
  }
  auto at = std::lower_bound(keys.begin(), keys.end(), time,
                             [](const ParamKeyframe& k, const A_Time& t) { return Before(k.time, t); });
  if (at == keys.end() || !SameInstant(at->time, time)) {
    keys.insert(at, ParamKeyframe{time, value});
    return true;
  }
  if (Equal(type, at->value, value)) return false;
  at->value = value;
  return true;
}

// Copies a text the module points at; false when it has no terminator in reach.
bool CopyText(const A_char* text, std::string& copy) {
  if (text == nullptr) {
    copy.clear();
    return true;
  }
  const void* end = std::memchr(text, '\0', MAX_TEXT);
  if (end == nullptr) return false;
  copy.assign(text, static_cast<const A_char*>(end));
  return true;
}

}  // namespace

AEGP_StreamVal2 OneDValue(double value) {
  AEGP_StreamVal2 v{};
  v.one_d = value;
  return v;
}

AEGP_StreamVal2 TwoDValue(double x, double y) {
  AEGP_StreamVal2 v{};
  v.two_d = AEGP_TwoDVal{x, y};
  return v;
}

AEGP_StreamVal2 ColorValue(PF_Pixel color) {
  AEGP_StreamVal2 v{};
  v.color = AEGP_ColorVal{color.alpha / 255.0, color.red / 255.0, color.green / 255.0,
                          color.blue / 255.0};
  return v;
}

PF_Pixel PixelOf(const AEGP_ColorVal& color) {
  auto byte = [](double channel) {
    return static_cast<A_u_char>(std::lround(std::clamp(channel, 0.0, 1.0) * 255.0));
  };
  return PF_Pixel{byte(color.alphaF), byte(color.redF), byte(color.greenF), byte(color.blueF)};
}

struct ParamStreams::Stream {
  PF_ParamDef def{};
  std::string box_text;     // checkbox: the text beside the box
  std::string popup_items;  // popup: items separated by '|'
  std::optional<AEGP_StreamVal2> static_value;  // none: still the definition's default
  std::vector<ParamKeyframe> keyframes;         // in time order, one per instant
  bool hidden = false;
  std::uint64_t changed_at = 0;
};

ParamStreams::ParamStreams() { BeginCommand(PF_Cmd_PARAMS_SETUP); }

ParamStreams::~ParamStreams() = default;

void ParamStreams::SetLayerSize(A_long width, A_long height) {
  if (width == width_ && height == height_) return;
  width_ = width;
  height_ = height;
  // A point still at its default sits at a fraction of the layer, so it moves.
  for (auto& stream : streams_) {
    if (stream->def.param_type == PF_Param_POINT && !stream->static_value &&
        stream->keyframes.empty()) {
      Touch(*stream);
    }
  }
}

void ParamStreams::BeginCommand(PF_Cmd cmd) {
  checked_out_.clear();
  if (cmd != PF_Cmd_PARAMS_SETUP) return;
  streams_.clear();
  auto layer = std::make_unique<Stream>();
  layer->def.param_type = PF_Param_LAYER;
  streams_.push_back(std::move(layer));
  Touch(*streams_.back());
}

ParamStreams::Stream* ParamStreams::Find(PF_ParamIndex index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return streams_[static_cast<std::size_t>(index)].get();
}

void ParamStreams::Touch(Stream& stream) { stream.changed_at = ++revision_; }

PF_Err ParamStreams::Add(const PF_ParamDef& def, std::string& problem) {
  if (Count() >= MAX_PARAMS) {
    problem = "more than " + std::to_string(MAX_PARAMS) + " parameters";
    return PF_Err_OUT_OF_MEMORY;
  }
  auto stream = std::make_unique<Stream>();
  stream->def = def;
  PF_ParamDef& copy = stream->def;
  if (std::memchr(def.name, '\0', sizeof(def.name)) == nullptr) {
    problem = "name without a terminator";
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  if (!Supported(def.param_type)) {
    problem = "parameter type " + std::to_string(def.param_type) + " is not one this host keeps";
    return PF_Err_BAD_CALLBACK_PARAM;
  }
  for (std::size_t i = 1; i < streams_.size(); ++i) {
    if (streams_[i]->def.uu.id == def.uu.id) {
      problem = "id " + std::to_string(def.uu.id) + " already in use";
      return PF_Err_BAD_CALLBACK_PARAM;
    }
  }
  switch (def.param_type) {
    case PF_Param_FIX_SLIDER: {
      const PF_FixedSliderDef& fd = def.u.fd;
      if (!(fd.valid_min <= fd.slider_min && fd.slider_min <= fd.slider_max &&
            fd.slider_max <= fd.valid_max && fd.valid_min <= fd.dephault &&
            fd.dephault <= fd.valid_max)) {
        problem = "fixed slider ranges or default out of order";
        return PF_Err_BAD_CALLBACK_PARAM;
      }
      break;
    }
    case PF_Param_CHECKBOX:
      if (!CopyText(def.u.bd.u.nameptr, stream->box_text)) {
        problem = "checkbox text without a terminator";
        return PF_Err_BAD_CALLBACK_PARAM;
      }
      copy.u.bd.u.nameptr = stream->box_text.c_str();
      break;
    case PF_Param_POPUP: {
      const PF_PopupDef& pd = def.u.pd;
      if (pd.u.namesptr == nullptr || !CopyText(pd.u.namesptr, stream->popup_items)) {
        problem = "popup without a terminated item list";
        return PF_Err_BAD_CALLBACK_PARAM;
      }
      const auto items = std::count(stream->popup_items.begin(), stream->popup_items.end(), '|') + 1;
      if (pd.num_choices < 1 || items != pd.num_choices || pd.dephault < 1 ||
          pd.dephault > pd.num_choices) {
        problem = "popup of " + std::to_string(pd.num_choices) + " choices with " +
                  std::to_string(items) + " items and default " + std::to_string(pd.dephault);
        return PF_Err_BAD_CALLBACK_PARAM;
      }
      copy.u.pd.u.namesptr = stream->popup_items.c_str();
      break;
    }
    case PF_Param_PATH:
      if (def.u.path_d.dephault < 0) {
        problem = "negative default path id";
        return PF_Err_BAD_CALLBACK_PARAM;
      }
      break;
    default:
      break;
  }
  streams_.push_back(std::move(stream));
  Touch(*streams_.back());
  return PF_Err_NONE;
}

const PF_ParamDef* ParamStreams::Definition(PF_ParamIndex index) const {
  const Stream* stream = Find(index);
  return stream != nullptr ? &stream->def : nullptr;
}

AEGP_StreamVal2 ParamStreams::DefaultOf(const Stream& stream) const {
  const PF_ParamDefUnion& u = stream.def.u;
  switch (stream.def.param_type) {
    case PF_Param_FIX_SLIDER:
      return OneDValue(FromFixed(u.fd.dephault));
    case PF_Param_ANGLE:
      return OneDValue(FromFixed(u.ad.dephault));
    case PF_Param_POINT:
      // The point's default is in per cent of the layer's width and height.
      return TwoDValue(FromFixed(u.td.x_dephault) * width_ / 100.0,
                       FromFixed(u.td.y_dephault) * height_ / 100.0);
    case PF_Param_CHECKBOX:
      return OneDValue(u.bd.dephault != 0 ? 1.0 : 0.0);
    case PF_Param_POPUP:
      return OneDValue(u.pd.dephault);
    case PF_Param_PATH:
      return OneDValue(u.path_d.dephault);
    case PF_Param_COLOR:
      return ColorValue(u.cd.dephault);
    default:
      return AEGP_StreamVal2{};
  }
}

bool ParamStreams::Valid(const Stream& stream, const AEGP_StreamVal2& value) const {
  const PF_ParamDefUnion& u = stream.def.u;
  switch (stream.def.param_type) {
    case PF_Param_FIX_SLIDER:
      return std::isfinite(value.one_d) && value.one_d >= FromFixed(u.fd.valid_min) &&
             value.one_d <= FromFixed(u.fd.valid_max);
    case PF_Param_ANGLE:
      return std::isfinite(value.one_d);
    case PF_Param_POINT:
      return std::isfinite(value.two_d.x) && std::isfinite(value.two_d.y);
    case PF_Param_CHECKBOX:
      return value.one_d == 0.0 || value.one_d == 1.0;
    case PF_Param_POPUP:
      return IsWhole(value.one_d) && value.one_d >= 1 && value.one_d <= u.pd.num_choices;
    case PF_Param_PATH:
      return IsWhole(value.one_d) && value.one_d >= 0 &&
             value.one_d <= std::numeric_limits<PF_PathID>::max();
    case PF_Param_COLOR: {
      const AEGP_ColorVal& c = value.color;
      for (double channel : {c.alphaF, c.redF, c.greenF, c.blueF}) {
        if (!(channel >= 0.0 && channel <= 1.0)) return false;
      }
      return true;
    }
    default:
      return false;  // the input layer has no value of its own
  }
}

bool ParamStreams::SetValue(PF_ParamIndex index, const AEGP_StreamVal2& value) {
  Stream* stream = Find(index);
  if (stream == nullptr || !stream->keyframes.empty() || !Valid(*stream, value)) return false;
  const AEGP_StreamVal2 before = stream->static_value.value_or(DefaultOf(*stream));
  stream->static_value = value;
  if (!Equal(stream->def.param_type, before, value)) Touch(*stream);
  return true;
}

bool ParamStreams::SetValue(PF_ParamIndex index, double value) {
  const Stream* stream = Find(index);
  if (stream == nullptr || stream->def.param_type == PF_Param_POINT ||
      stream->def.param_type == PF_Param_COLOR) {
    return false;
  }
  return SetValue(index, OneDValue(value));
}

bool ParamStreams::SetValue(PF_ParamIndex index, double x, double y) {
  const Stream* stream = Find(index);
  if (stream == nullptr || stream->def.param_type != PF_Param_POINT) return false;
  return SetValue(index, TwoDValue(x, y));
}

bool ParamStreams::SetValue(PF_ParamIndex index, PF_Pixel color) {
  const Stream* stream = Find(index);
  if (stream == nullptr || stream->def.param_type != PF_Param_COLOR) return false;
  return SetValue(index, ColorValue(color));
}

bool ParamStreams::AddKeyframe(PF_ParamIndex index, A_Time time, const AEGP_StreamVal2& value) {
  Stream* stream = Find(index);
  if (stream == nullptr || time.scale == 0 || !Valid(*stream, value)) return false;
  if (InsertKeyframe(stream->keyframes, stream->def.param_type, time, value)) Touch(*stream);
  return true;
}

bool ParamStreams::SetKeyframes(PF_ParamIndex index, const std::vector<ParamKeyframe>& keyframes) {
  Stream* stream = Find(index);
  if (stream == nullptr || stream->def.param_type == PF_Param_LAYER) return false;
  const PF_ParamType type = stream->def.param_type;
  std::vector<ParamKeyframe> keys;
  for (const ParamKeyframe& k : keyframes) {
    if (k.time.scale == 0 || !Valid(*stream, k.value)) return false;
    InsertKeyframe(keys, type, k.time, k.value);
  }
  const bool same = std::equal(keys.begin(), keys.end(), stream->keyframes.begin(),
                               stream->keyframes.end(), [type](const auto& a, const auto& b) {
                                 return SameInstant(a.time, b.time) && Equal(type, a.value, b.value);
                               });
  stream->keyframes = std::move(keys);
  if (!same) Touch(*stream);
  return true;
}

bool ParamStreams::SetValueUnchecked(PF_ParamIndex index, const AEGP_StreamVal2& value) {
  Stream* stream = Find(index);
  if (stream == nullptr || stream->def.param_type == PF_Param_LAYER) return false;
  stream->static_value = value;
  Touch(*stream);
  return true;
}

bool ParamStreams::AddKeyframeUnchecked(PF_ParamIndex index, A_Time time,
                                        const AEGP_StreamVal2& value) {
  Stream* stream = Find(index);
  if (stream == nullptr || stream->def.param_type == PF_Param_LAYER || time.scale == 0) return false;
  InsertKeyframe(stream->keyframes, stream->def.param_type, time, value);
  Touch(*stream);
  return true;
}

std::vector<ParamKeyframe> ParamStreams::Keyframes(PF_ParamIndex index) const {
  const Stream* stream = Find(index);
  return stream != nullptr ? stream->keyframes : std::vector<ParamKeyframe>{};
}

std::optional<AEGP_StreamVal2> ParamStreams::ValueAt(PF_ParamIndex index, A_Time time) const {
  const Stream* stream = Find(index);
  if (stream == nullptr || stream->def.param_type == PF_Param_LAYER || time.scale == 0) {
    return std::nullopt;
  }
  const std::vector<ParamKeyframe>& keys = stream->keyframes;
  if (keys.empty()) return stream->static_value.value_or(DefaultOf(*stream));
  // The first keyframe after `time`; the one before it holds or starts the span.
  auto next = std::upper_bound(keys.begin(), keys.end(), time,
                               [](const A_Time& t, const ParamKeyframe& k) { return Before(t, k.time); });
  if (next == keys.begin()) return keys.front().value;
  const ParamKeyframe& from = *(next - 1);
  if (next == keys.end() || SameInstant(from.time, time) || !Linear(stream->def.param_type)) {
    return from.value;
  }
  // Instants a double cannot tell apart (large scales, a few units apart) have no
  // span in seconds: the time then takes the earlier value rather than 0 / 0.
  const double span = Seconds(next->time) - Seconds(from.time);
  const double fraction = span > 0.0 ? (Seconds(time) - Seconds(from.time)) / span : 0.0;
  return Between(stream->def.param_type, from.value, next->value, fraction);
}

std::optional<AEGP_StreamVal2> ParamStreams::StaticValue(PF_ParamIndex index) const {
  const Stream* stream = Find(index);
  if (stream == nullptr || stream->def.param_type == PF_Param_LAYER) return std::nullopt;
  return stream->static_value.value_or(DefaultOf(*stream));
}

bool ParamStreams::Checkout(PF_ParamIndex index, A_long time, A_long /*time_step*/,
                            A_u_long time_scale, PF_ParamDef& param) const {
  const Stream* stream = Find(index);
  if (stream == nullptr || time_scale == 0) return false;
  param = stream->def;
  const std::optional<AEGP_StreamVal2> value = ValueAt(index, A_Time{time, time_scale});
  if (!value) return true;  // the input layer: its image comes through the render calls
  PF_ParamDefUnion& u = param.u;
  switch (param.param_type) {
    case PF_Param_FIX_SLIDER:
      u.fd.value = ToFixed(value->one_d);
      break;
    case PF_Param_ANGLE:
      u.ad.value = ToFixed(value->one_d);
      break;
    case PF_Param_POINT:
      u.td.x_value = ToFixed(value->two_d.x);
      u.td.y_value = ToFixed(value->two_d.y);
      break;
    case PF_Param_CHECKBOX:
      u.bd.value = value->one_d != 0.0 ? 1 : 0;
      break;
    case PF_Param_POPUP:
      u.pd.value = static_cast<A_long>(std::lround(value->one_d));
      break;
    case PF_Param_PATH:
      u.path_d.path_id = static_cast<PF_PathID>(std::llround(value->one_d));
      break;
    case PF_Param_COLOR:
      u.cd.value = PixelOf(value->color);
      break;
    default:
      break;
  }
  return true;
}

void ParamStreams::ValuesAt(A_long time, A_long time_step, A_u_long time_scale,
                            std::vector<PF_ParamDef>& values) const {
  values.resize(streams_.size());
  for (std::size_t i = 0; i < streams_.size(); ++i) {
    const auto index = static_cast<PF_ParamIndex>(i);
    // With no usable clock the array still carries every definition.
    if (!Checkout(index, time, time_step, time_scale, values[i])) values[i] = streams_[i]->def;
  }
}

bool ParamStreams::NoteCheckin(const PF_ParamDef* param) {
  auto it = checked_out_.find(param);
  if (it == checked_out_.end()) return false;
  checked_out_.erase(it);
  return true;
}

bool ParamStreams::Hidden(PF_ParamIndex index) const {
  const Stream* stream = Find(index);
  return stream != nullptr && stream->hidden;
}

bool ParamStreams::SetHidden(PF_ParamIndex index, bool hidden) {
  Stream* stream = Find(index);
  if (stream == nullptr) return false;
  if (stream->hidden != hidden) {
    stream->hidden = hidden;
    Touch(*stream);
  }
  return true;
}

std::uint64_t ParamStreams::ChangedAt(PF_ParamIndex index) const {
  const Stream* stream = Find(index);
  return stream != nullptr ? stream->changed_at : 0;
}

}  // namespace refhost
