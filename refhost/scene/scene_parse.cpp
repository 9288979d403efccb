// Reading a scene: every key known, every value of the right kind and range, every
// reference resolved, before anything runs.
#include <cctype>
#include <fstream>
#include <limits>
#include <map>
#include <iterator>

#include "json_reader.h"
#include "refhost/output/atomic_file.h"
#include "refhost/output/image_files.h"
#include "scene.h"

namespace refhost::scene {

namespace {

// Limits that keep a scene within what a host can hold: AE's largest layer side,
// mask coordinates far beyond any layer, and a bounded number of frames so that
// no bake or range runs for ever.
constexpr std::int64_t MAX_LAYER_SIDE = 30000;
constexpr double MAX_COORDINATE = 1e6;
constexpr std::int64_t MAX_FRAMES = 1000000;
constexpr std::int64_t A_LONG_MAX = std::numeric_limits<A_long>::max();
constexpr std::int64_t A_LONG_MIN = std::numeric_limits<A_long>::min();
// PF_Fixed holds 16.16: values from -32768 up to just below 32768.
constexpr double FIXED_MIN = -32768.0;
constexpr double FIXED_MAX = 2147483647.0 / 65536.0;
constexpr std::size_t MAX_NAME = 64;

const char* const POPUP_ITEMS[] = {"----------", "Execute"};

class Parser {
 public:
  Parser(const std::string& file, const std::filesystem::path& base_dir) : base_dir_(base_dir) { scene_.file = file; }

  Scene Parse(const JsonNode& root) {
    root.ExpectObject({"description", "layer", "time", "masks", "params", "steps"});
    if (auto d = root.Optional("description")) scene_.description = d->String();
    ParseLayer(root.Required("layer"));
    ParseTime(root.Required("time"));
    if (auto masks = root.Optional("masks")) ParseMasks(*masks);
    if (auto params = root.Optional("params")) ParseParams(*params);
    ParseSteps(root.Required("steps"));
    return std::move(scene_);
  }

 private:
  void ParseLayer(const JsonNode& node) {
    node.ExpectObject({"width", "height", "depth", "image", "pattern", "color", "colors"});
    Layer& layer = scene_.layer;
    if (auto d = node.Optional("depth")) layer.depth = ParseDepth(*d);
    std::optional<JsonNode> width = node.Optional("width");
    std::optional<JsonNode> height = node.Optional("height");
    if (width) layer.width = static_cast<int>(width->Integer(1, MAX_LAYER_SIDE));
    if (height) layer.height = static_cast<int>(height->Integer(1, MAX_LAYER_SIDE));

    auto image = node.Optional("image");
    auto pattern = node.Optional("pattern");
    if (image && pattern) pattern->Fail("a layer has an image or a pattern, not both");
    if (image) {
      for (const char* key : {"color", "colors"}) {
        if (auto n = node.Optional(key)) n->Fail(std::string(key) + " belongs to a pattern, not to an image");
      }
      std::string name = image->String();
      if (name.empty()) image->Fail("the image file name is empty");
      std::filesystem::path path(name);
      if (path.is_relative()) path = base_dir_ / path;
      output::ImageSize size;
      try {
        size = output::ReadImageSize(path);
      } catch (const output::OutputError& e) {
        image->Fail("cannot use image " + std::string(name) + ": " + ReasonOf(e));
      }
      if (size.width > MAX_LAYER_SIDE || size.height > MAX_LAYER_SIDE) {
        image->Fail("image is " + Size(size.width, size.height) + ", larger than a layer can be");
      }
      // The image decides the layer's size; a size given as well must agree.
      if ((width && layer.width != size.width) || (height && layer.height != size.height)) {
        (width ? *width : *height)
            .Fail("the layer is given as " + Size(layer.width, layer.height) + " but image " + name + " is " +
                  Size(size.width, size.height));
      }
      layer.width = size.width;
      layer.height = size.height;
      layer.source.image = std::filesystem::absolute(path);
      return;
    }
    if (!width) node.Fail("missing key \"width\" (a pattern layer needs its size)");
    if (!height) node.Fail("missing key \"height\" (a pattern layer needs its size)");
    std::string kind = pattern ? pattern->String() : "test-card";
    auto color = node.Optional("color");
    auto colors = node.Optional("colors");
    if (kind == "test-card") {
      layer.source.pattern = Pattern::TEST_CARD;
      if (color) color->Fail("the test-card pattern takes no colour");
      if (colors) colors->Fail("the test-card pattern takes no colours");
    } else if (kind == "solid") {
      layer.source.pattern = Pattern::SOLID;
      if (colors) colors->Fail("a solid takes one \"color\"");
      if (!color) node.Fail("missing key \"color\" (the solid pattern's colour)");
      layer.source.color = ParseColor(*color);
    } else if (kind == "gradient") {
      layer.source.pattern = Pattern::GRADIENT;
      if (color) color->Fail("a gradient takes \"colors\": [left, right]");
      if (!colors) node.Fail("missing key \"colors\" (the gradient's [left, right] colours)");
      std::vector<JsonNode> pair = colors->Array(2, 2);
      layer.source.color = ParseColor(pair[0]);
      layer.source.color2 = ParseColor(pair[1]);
    } else {
      pattern->Fail("unknown pattern " + Quote(kind) + " (known: test-card, solid, gradient)");
    }
  }

  void ParseTime(const JsonNode& node) {
    node.ExpectObject({"scale", "step", "duration"});
    TimeBase& time = scene_.time;
    time.scale = static_cast<A_u_long>(PositiveInteger(node.Required("scale"), "the time scale"));
    time.step = static_cast<A_long>(PositiveInteger(node.Required("step"), "the time step"));
    time.duration = static_cast<A_long>(PositiveInteger(node.Required("duration"), "the duration"));
    std::int64_t frames = (std::int64_t{time.duration} + time.step - 1) / time.step;
    if (frames > MAX_FRAMES) {
      node.Required("duration")
          .Fail("the duration holds " + std::to_string(frames) + " frames of step " + std::to_string(time.step) +
                "; at most " + std::to_string(MAX_FRAMES) + " are allowed");
    }
  }

  void ParseMasks(const JsonNode& node) {
    std::map<PF_PathID, std::string> seen;
    for (const JsonNode& m : node.Array()) {
      m.ExpectObject({"id", "name", "closed", "vertices", "shapes"});
      Mask mask;
      JsonNode id = m.Required("id");
      mask.id = static_cast<PF_PathID>(id.Integer(1, std::numeric_limits<PF_PathID>::max()));
      if (auto [it, fresh] = seen.emplace(mask.id, id.Pointer()); !fresh) {
        id.Fail("mask id " + std::to_string(mask.id) + " is already used at " + it->second);
      }
      mask.name = m.Has("name") ? m.Required("name").String() : "Mask " + std::to_string(scene_.masks.size() + 1);
      if (auto closed = m.Optional("closed")) mask.closed = closed->Bool();
      auto vertices = m.Optional("vertices");
      auto shapes = m.Optional("shapes");
      if (vertices && shapes) shapes->Fail("a mask has \"vertices\" (a fixed shape) or \"shapes\" (keyframed), not both");
      if (!vertices && !shapes) m.Fail("missing key \"vertices\" (or \"shapes\" for a keyframed mask)");
      if (vertices) {
        mask.shapes.push_back({0, ParseVertices(*vertices)});
      } else {
        mask.keyframed = true;
        std::vector<JsonNode> list = shapes->Array(1);
        for (std::size_t i = 0; i < list.size(); ++i) {
          const JsonNode& s = list[i];
          s.ExpectObject({"time", "vertices"});
          JsonNode t = s.Required("time");
          MaskShape shape{ParseAnyTime(t), ParseVertices(s.Required("vertices"))};
          if (i > 0) {
            const MaskShape& first = mask.shapes.front();
            if (shape.time <= mask.shapes.back().time) {
              t.Fail("shape times must increase: " + std::to_string(shape.time) + " comes after " +
                     std::to_string(mask.shapes.back().time));
            }
            if (shape.vertices.size() != first.vertices.size()) {
              s.Required("vertices")
                  .Fail("has " + Count(shape.vertices.size(), "vertex", "vertices") + " but the shape at time " +
                        std::to_string(first.time) + " (" + list[0].Pointer() + ") has " +
                        std::to_string(first.vertices.size()) + "; a mask keeps its vertex count across keyframes");
            }
          }
          mask.shapes.push_back(std::move(shape));
        }
      }
      scene_.masks.push_back(std::move(mask));
    }
  }

  std::vector<MaskVertex> ParseVertices(const JsonNode& node) {
    std::vector<MaskVertex> out;
    for (const JsonNode& v : node.Array()) {
      MaskVertex vertex;
      if (v.Value().is_array()) {  // [x, y]: a corner without tangents
        std::vector<JsonNode> xy = v.Array(2, 2);
        vertex.x = Coordinate(xy[0]);
        vertex.y = Coordinate(xy[1]);
      } else {
        v.ExpectObject({"x", "y", "in", "out"});
        vertex.x = Coordinate(v.Required("x"));
        vertex.y = Coordinate(v.Required("y"));
        if (auto in = v.Optional("in")) std::tie(vertex.in_x, vertex.in_y) = Pair(*in);
        if (auto o = v.Optional("out")) std::tie(vertex.out_x, vertex.out_y) = Pair(*o);
      }
      out.push_back(vertex);
    }
    return out;
  }

  void ParseParams(const JsonNode& node) {
    std::vector<const char*> keys;
    for (const ParamInfo& p : Params()) keys.push_back(p.key);
    if (!node.Value().is_object()) node.Fail("expected an object of parameter values, found " + node.Describe());
    for (const auto& [key, value] : node.Value().items()) {
      if (FindParam(key) == nullptr) {
        std::string list;
        for (const char* k : keys) list += (list.empty() ? "" : ", ") + std::string(k);
        node.Required(key.c_str()).Fail("unknown parameter " + Quote(key) + " (known: " + list + ")");
      }
    }
    for (const ParamInfo& info : Params()) {
      auto p = node.Optional(info.key);
      if (!p) continue;
      ParamSetting setting;
      setting.id = info.id;
      if (p->Value().is_object()) {
        p->ExpectObject({"keyframes"});
        setting.keyframed = true;
        std::vector<JsonNode> list = p->Required("keyframes").Array(1);
        for (const JsonNode& k : list) {
          k.ExpectObject({"time", "value"});
          JsonNode t = k.Required("time");
          Keyframe keyframe{ParseAnyTime(t), ParseValue(info, k.Required("value"))};
          if (!setting.keyframes.empty() && keyframe.time <= setting.keyframes.back().time) {
            t.Fail("keyframe times must increase: " + std::to_string(keyframe.time) + " comes after " +
                   std::to_string(setting.keyframes.back().time));
          }
          setting.keyframes.push_back(keyframe);
        }
      } else {
        setting.value = ParseValue(info, *p);
      }
      scene_.params.push_back(std::move(setting));
    }
  }

  ParamValue ParseValue(const ParamInfo& info, const JsonNode& node) {
    ParamValue value;
    switch (info.kind) {
      case ParamKind::PATH: {
        if (node.Value().is_null()) return value;  // no path chosen
        auto id = static_cast<PF_PathID>(node.Integer(0, std::numeric_limits<PF_PathID>::max()));
        if (id != 0 && scene_.FindMask(id) == nullptr) {
          std::string ids;
          for (const Mask& m : scene_.masks) ids += (ids.empty() ? "" : ", ") + std::to_string(m.id);
          node.Fail("no mask has id " + std::to_string(id) +
                    (ids.empty() ? " (the scene has no masks)" : " (mask ids: " + ids + ")"));
        }
        value.number = id;
        return value;
      }
      case ParamKind::PERCENT:
        value.number = node.Number();
        if (value.number < 0 || value.number > 100) node.Fail(Dump(node.Value()) + " is outside 0 to 100 per cent");
        return value;
      case ParamKind::ANGLE:
        value.number = Fixed(node, "degrees");
        return value;
      case ParamKind::POINT: {
        std::vector<JsonNode> xy = node.Array(2, 2);
        value.x = Fixed(xy[0], "pixels");
        value.y = Fixed(xy[1], "pixels");
        return value;
      }
      case ParamKind::CHECKBOX:
        value.number = node.Bool() ? 1 : 0;
        return value;
      case ParamKind::POPUP:
        if (node.Value().is_string()) {
          std::string item = node.String();
          for (int i = 0; i < 2; ++i) {
            if (item == POPUP_ITEMS[i]) value.number = i + 1;
          }
          if (value.number == 0) node.Fail("unknown item " + Quote(item) + " (items: \"----------\", \"Execute\")");
        } else {
          value.number = static_cast<double>(node.Integer(1, 2));
        }
        return value;
      case ParamKind::COLOR:
        value.color = ParseColor(node);
        return value;
    }
    return value;
  }

  void ParseSteps(const JsonNode& node) {
    std::vector<JsonNode> list = node.Array(1);
    std::map<std::string, std::string> names;  // name -> where
    for (std::size_t i = 0; i < list.size(); ++i) {
      const JsonNode& s = list[i];
      if (!s.Value().is_object() || s.Value().size() != 1) {
        s.Fail("a step is an object with one key: render, set, bake, fail_call, suite_unavailable or clear_faults");
      }
      const std::string kind = s.Value().begin().key();
      JsonNode body = s.Required(kind.c_str());
      Step step;
      step.where = s.Pointer();
      char fallback[32];
      std::snprintf(fallback, sizeof fallback, "step%02zu", i + 1);
      step.name = fallback;
      if (kind == "render") {
        step.action = ParseRender(body, step);
      } else if (kind == "set") {
        step.action = ParseSet(body, step);
      } else if (kind == "bake") {
        step.action = ParseBake(body, step);
      } else if (kind == "fail_call") {
        step.action = ParseFailCall(body);
      } else if (kind == "suite_unavailable") {
        body.ExpectObject({"suite", "version"});
        SuiteUnavailableStep suite;
        JsonNode name = body.Required("suite");
        suite.suite = name.String();
        if (suite.suite.empty()) name.Fail("the suite name is empty");
        if (auto v = body.Optional("version")) suite.version = static_cast<A_long>(v->Integer(1, A_LONG_MAX));
        step.action = suite;
      } else if (kind == "clear_faults") {
        body.ExpectObject({});
        step.action = ClearFaultsStep{};
      } else {
        body.Fail("unknown step " + Quote(kind) + " (known: render, set, bake, fail_call, suite_unavailable, clear_faults)");
      }
      if (auto [it, fresh] = names.emplace(step.name, step.where); !fresh) {
        body.Fail("the step name " + Quote(step.name) + " is already used by " + it->second +
                  "; output files are named after steps");
      }
      scene_.steps.push_back(std::move(step));
    }
  }

  RenderStep ParseRender(const JsonNode& node, Step& step) {
    node.ExpectObject({"time", "range", "every", "depth", "downsample", "sheet", "name", "expect_error"});
    RenderStep render;
    render.depth = scene_.layer.depth;
    auto time = node.Optional("time");
    auto range = node.Optional("range");
    if (time && range) range->Fail("a render takes a \"time\" or a \"range\", not both");
    if (!time && !range) node.Fail("missing key \"time\" (or \"range\": [start, end])");
    if (time) {
      render.time = FrameTime(*time);
      render.end = render.time + 1;
      for (const char* key : {"every", "sheet"}) {
        if (auto n = node.Optional(key)) n->Fail(std::string(key) + " applies to a range of frames");
      }
    } else {
      std::vector<JsonNode> pair = range->Array(2, 2);
      render.time = static_cast<A_long>(pair[0].Integer(0, scene_.time.duration - 1));
      render.end = static_cast<A_long>(pair[1].Integer(1, scene_.time.duration));
      if (render.end <= render.time) {
        pair[1].Fail("the range ends at " + std::to_string(render.end) + ", not after its start " +
                     std::to_string(render.time));
      }
      if (auto e = node.Optional("every")) render.every = static_cast<int>(e->Integer(1, MAX_FRAMES));
      if (auto sheet = node.Optional("sheet")) render.sheet = sheet->Bool();
    }
    if (auto d = node.Optional("depth")) render.depth = ParseDepth(*d);
    if (auto d = node.Optional("downsample")) std::tie(render.downsample_x, render.downsample_y) = Downsample(*d);
    ParseCommon(node, step);
    return render;
  }

  SetStep ParseSet(const JsonNode& node, Step& step) {
    node.ExpectObject({"param", "value", "time", "expect_error"});
    SetStep set;
    JsonNode param = node.Required("param");
    std::string key = param.String();
    const ParamInfo* info = FindParam(key);
    if (info == nullptr) param.Fail("unknown parameter " + Quote(key));
    set.id = info->id;
    set.value = ParseValue(*info, node.Required("value"));
    if (auto t = node.Optional("time")) set.time = FrameTime(*t);
    ParseCommon(node, step);
    return set;
  }

  BakeStep ParseBake(const JsonNode& node, Step& step) {
    node.ExpectObject({"time", "depth", "downsample", "name", "expect_error"});
    BakeStep bake;
    bake.depth = scene_.layer.depth;
    if (auto t = node.Optional("time")) bake.time = FrameTime(*t);
    if (auto d = node.Optional("depth")) bake.depth = ParseDepth(*d);
    if (auto d = node.Optional("downsample")) std::tie(bake.downsample_x, bake.downsample_y) = Downsample(*d);
    ParseCommon(node, step);
    return bake;
  }

  FailCallStep ParseFailCall(const JsonNode& node) {
    node.ExpectObject({"call", "nth", "code"});
    FailCallStep fail;
    JsonNode call = node.Required("call");
    fail.call = call.String();
    bool identifier = !fail.call.empty() && !std::isdigit(static_cast<unsigned char>(fail.call[0]));
    for (char c : fail.call) identifier = identifier && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
    if (!identifier) call.Fail(Quote(fail.call) + " is not a host function's name");
    if (auto n = node.Optional("nth")) fail.nth = static_cast<int>(n->Integer(1, std::numeric_limits<int>::max()));
    if (auto c = node.Optional("code")) fail.code = ErrorCode(*c);
    return fail;
  }

  // "name" and "expect_error", shared by the steps that send commands.
  void ParseCommon(const JsonNode& node, Step& step) {
    if (auto n = node.Optional("name")) {
      std::string name = n->String();
      bool ok = !name.empty() && name.size() <= MAX_NAME && std::isalnum(static_cast<unsigned char>(name[0]));
      for (char c : name) ok = ok && (std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_');
      // Names become parts of file names: nothing that could leave the output folder.
      if (!ok) n->Fail(Quote(name) + " is not a usable step name (letters, digits, - and _, up to 64, starting with a letter or digit)");
      step.name = name;
    }
    if (auto e = node.Optional("expect_error")) step.expect_error = ErrorCode(*e);
  }

  PF_Err ErrorCode(const JsonNode& node) {
    auto code = static_cast<PF_Err>(node.Integer(A_LONG_MIN, A_LONG_MAX));
    if (code == PF_Err_NONE) node.Fail("0 means success, not an error");
    return code;
  }

  Depth ParseDepth(const JsonNode& node) {
    const nlohmann::json& v = node.Value();
    if (v.is_number()) {
      double d = v.get<double>();
      if (d == 8) return Depth::BITS_8;
      if (d == 16) return Depth::BITS_16;
      if (d == 32) return Depth::FLOAT_32;
    }
    node.Fail("the depth is 8, 16 or 32 (float), not " + Dump(node.Value()));
  }

  std::pair<int, int> Downsample(const JsonNode& node) {
    // A downsampled frame keeps at least one pixel in each direction.
    auto factor = [&](const JsonNode& n, int side) { return static_cast<int>(n.Integer(1, side)); };
    if (node.Value().is_array()) {
      std::vector<JsonNode> xy = node.Array(2, 2);
      return {factor(xy[0], scene_.layer.width), factor(xy[1], scene_.layer.height)};
    }
    int n = factor(node, std::min(scene_.layer.width, scene_.layer.height));
    return {n, n};
  }

  // A time at which a frame is rendered or a user edits: within the layer.
  A_long FrameTime(const JsonNode& node) {
    return static_cast<A_long>(node.Integer(0, scene_.time.duration - 1));
  }

  // A keyframe's time: anywhere a host time can be, also before or after the layer.
  A_long ParseAnyTime(const JsonNode& node) { return static_cast<A_long>(node.Integer(A_LONG_MIN, A_LONG_MAX)); }

  std::int64_t PositiveInteger(const JsonNode& node, const char* what) {
    if (node.Value().is_number() && node.Value().get<double>() <= 0) {
      node.Fail(std::string(what) + " must be at least 1, not " + Dump(node.Value()));
    }
    return node.Integer(1, A_LONG_MAX);
  }

  double Coordinate(const JsonNode& node) {
    double v = node.Number();
    if (v < -MAX_COORDINATE || v > MAX_COORDINATE) node.Fail(Dump(node.Value()) + " is outside -1000000 to 1000000 pixels");
    return v;
  }

  std::pair<double, double> Pair(const JsonNode& node) {
    std::vector<JsonNode> xy = node.Array(2, 2);
    return {Coordinate(xy[0]), Coordinate(xy[1])};
  }

  double Fixed(const JsonNode& node, const char* unit) {
    double v = node.Number();
    if (v < FIXED_MIN || v > FIXED_MAX) {
      node.Fail(Dump(node.Value()) + " " + unit + " does not fit the host's fixed-point values (-32768 to 32767.99)");
    }
    return v;
  }

  PF_Pixel ParseColor(const JsonNode& node) {
    std::string text = node.String();
    bool ok = (text.size() == 7 || text.size() == 9) && text[0] == '#';
    for (std::size_t i = 1; ok && i < text.size(); ++i) ok = std::isxdigit(static_cast<unsigned char>(text[i])) != 0;
    if (!ok) node.Fail(Quote(text) + " is not a colour; write \"#rrggbb\" or \"#rrggbbaa\"");
    auto byte = [&](std::size_t at) { return static_cast<A_u_char>(std::stoi(text.substr(at, 2), nullptr, 16)); };
    return {text.size() == 9 ? byte(7) : A_u_char{255}, byte(1), byte(3), byte(5)};
  }

  static std::string Quote(const std::string& s) { return Dump(nlohmann::json(s)); }
  static std::string Size(int w, int h) { return std::to_string(w) + "x" + std::to_string(h); }
  static std::string Count(std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  }
  // An OutputError's text less the file name, which the scene message gives itself.
  static std::string ReasonOf(const output::OutputError& e) {
    std::string text = e.what();
    std::string prefix = e.File().string() + ": ";
    return text.rfind(prefix, 0) == 0 ? text.substr(prefix.size()) : text;
  }

  std::filesystem::path base_dir_;
  Scene scene_;
};

}  // namespace

Scene ParseScene(std::string_view text, const std::string& file, const std::filesystem::path& base_dir) {
  nlohmann::json root = ParseJson(text, file);
  return Parser(file, base_dir).Parse(JsonNode(root, "", file));
}

Scene LoadScene(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) throw SceneError(file.string(), "", "no such file");
  if (std::filesystem::is_directory(file, ec)) throw SceneError(file.string(), "", "is a folder, not a scene file");
  std::ifstream in(file, std::ios::binary);
  if (!in) throw SceneError(file.string(), "", "cannot open the file");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw SceneError(file.string(), "", "cannot read the file");
  std::filesystem::path dir = file.parent_path();
  return ParseScene(text, file.string(), dir.empty() ? std::filesystem::path(".") : dir);
}

}  // namespace refhost::scene
