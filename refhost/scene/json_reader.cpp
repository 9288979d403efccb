#include "json_reader.h"

#include <cmath>
#include <set>

namespace refhost::scene {

namespace {

// A key as a JSON pointer token: "~" and "/" escaped.
std::string Token(const std::string& key) {
  std::string out;
  for (char c : key) {
    if (c == '~') out += "~0";
    else if (c == '/') out += "~1";
    else out += c;
  }
  return out;
}

std::string Quote(const std::string& s) { return Dump(nlohmann::json(s)); }

// The parser's callback walks the document as it is read; one frame per open
// object or array keeps what is needed to name the place of a repeated key.
struct Frame {
  bool is_array = false;
  std::string pointer;
  std::size_t count = 0;  // elements finished so far (arrays)
  std::string last_key;   // key being read (objects)
  std::set<std::string> keys;
};

struct DuplicateKey {
  std::string pointer;
  std::string key;
};

// A scene nests a few levels (a vertex's tangent is the eighth). Deeper documents
// are refused as they are read: the frames above keep each level's place, and
// messages show values by writing them out recursively, so an unbounded depth
// would let a small file take memory by the square of its nesting, or the stack.
constexpr std::size_t MAX_DEPTH = 32;

struct TooDeep {
  std::string pointer;
};

// Line and column (both from 1) of the byte at 1-based position `byte`.
std::pair<std::size_t, std::size_t> LineColumn(std::string_view text, std::size_t byte) {
  std::size_t end = std::min(byte == 0 ? 0 : byte - 1, text.size());
  std::size_t line = 1;
  std::size_t line_start = 0;
  for (std::size_t i = 0; i < end; ++i) {
    if (text[i] == '\n') {
      ++line;
      line_start = i + 1;
    }
  }
  return {line, end - line_start + 1};
}

}  // namespace

std::string Dump(const nlohmann::json& value) {
  // Messages never fail: text that is not UTF-8 is shown with replacement characters.
  return value.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

void JsonNode::Fail(const std::string& message) const {
  throw SceneError(*file_, pointer_.empty() ? "/" : pointer_, message);
}

JsonNode JsonNode::Child(const std::string& key, const nlohmann::json& value) const {
  return JsonNode(value, pointer_ + "/" + Token(key), *file_);
}

std::string JsonNode::Describe() const {
  const nlohmann::json& v = *value_;
  if (v.is_string()) return "the string " + Dump(v);
  if (v.is_number() || v.is_boolean()) return Dump(v);
  return std::string(v.is_null() ? "null" : v.type_name() == std::string("object") ? "an object" : "an array");
}

void JsonNode::ExpectObject(std::initializer_list<const char*> allowed) const {
  if (!value_->is_object()) Fail("expected an object, found " + Describe());
  for (const auto& [key, value] : value_->items()) {
    bool known = false;
    for (const char* a : allowed) known = known || key == a;
    if (!known) {
      std::string list;
      for (const char* a : allowed) list += (list.empty() ? "" : ", ") + std::string(a);
      Child(key, value).Fail("unknown key " + Quote(key) + " (known here: " + list + ")");
    }
  }
}

bool JsonNode::Has(const char* key) const { return value_->is_object() && value_->contains(key); }

std::optional<JsonNode> JsonNode::Optional(const char* key) const {
  if (!Has(key)) return std::nullopt;
  return Child(key, value_->at(key));
}

JsonNode JsonNode::Required(const char* key) const {
  if (!Has(key)) Fail("missing key " + Quote(key));
  return Child(key, value_->at(key));
}

std::vector<JsonNode> JsonNode::Array(std::size_t min, std::size_t max) const {
  if (!value_->is_array()) Fail("expected an array, found " + Describe());
  std::size_t n = value_->size();
  if (n < min || n > max) {
    if (min == max) Fail("expected " + std::to_string(min) + " elements, found " + std::to_string(n));
    if (n < min) Fail("expected at least " + std::to_string(min) + " element" + (min == 1 ? "" : "s") + ", found " + std::to_string(n));
    Fail("expected at most " + std::to_string(max) + " elements, found " + std::to_string(n));
  }
  std::vector<JsonNode> out;
  out.reserve(n);
  for (std::size_t i = 0; i < n; ++i) out.emplace_back((*value_)[i], pointer_ + "/" + std::to_string(i), *file_);
  return out;
}

std::int64_t JsonNode::Integer(std::int64_t min, std::int64_t max) const {
  const nlohmann::json& v = *value_;
  bool whole = false;
  bool in_range = false;
  std::int64_t result = 0;
  if (v.is_number_unsigned()) {
    whole = true;
    auto u = v.get<std::uint64_t>();
    in_range = u <= static_cast<std::uint64_t>(INT64_MAX) && static_cast<std::int64_t>(u) <= max;
    if (in_range) result = static_cast<std::int64_t>(u);
  } else if (v.is_number_integer()) {
    whole = true;
    result = v.get<std::int64_t>();
    in_range = result >= min && result <= max;
  } else if (v.is_number_float()) {
    double d = v.get<double>();
    whole = std::isfinite(d) && std::trunc(d) == d;
    // Compared as doubles first: a huge float must not be cast to an integer.
    in_range = whole && d >= static_cast<double>(min) && d <= static_cast<double>(max);
    if (in_range) result = static_cast<std::int64_t>(d);
  }
  if (!whole) Fail("expected a whole number, found " + Describe());
  if (!in_range || result < min || result > max) {
    Fail(Dump(v) + " is outside " + std::to_string(min) + " to " + std::to_string(max));
  }
  return result;
}

double JsonNode::Number() const {
  if (!value_->is_number()) Fail("expected a number, found " + Describe());
  double d = value_->get<double>();
  if (!std::isfinite(d)) Fail(Dump(*value_) + " is too large");
  return d;
}

bool JsonNode::Bool() const {
  if (!value_->is_boolean()) Fail("expected true or false, found " + Describe());
  return value_->get<bool>();
}

std::string JsonNode::String() const {
  if (!value_->is_string()) Fail("expected a string, found " + Describe());
  return value_->get<std::string>();
}

nlohmann::json ParseJson(std::string_view text, const std::string& file) {
  std::vector<Frame> stack;
  auto child_pointer = [&]() -> std::string {
    if (stack.empty()) return "";
    const Frame& top = stack.back();
    return top.pointer + "/" + (top.is_array ? std::to_string(top.count) : Token(top.last_key));
  };
  auto finished_value = [&] {
    if (!stack.empty() && stack.back().is_array) ++stack.back().count;
  };
  nlohmann::json::parser_callback_t callback = [&](int, nlohmann::json::parse_event_t event, nlohmann::json& parsed) {
    using E = nlohmann::json::parse_event_t;
    switch (event) {
      case E::object_start:
      case E::array_start: {
        if (stack.size() >= MAX_DEPTH) throw TooDeep{child_pointer()};
        Frame frame;
        frame.is_array = event == E::array_start;
        frame.pointer = child_pointer();
        stack.push_back(std::move(frame));
        break;
      }
      case E::key: {
        Frame& top = stack.back();
        top.last_key = parsed.get<std::string>();
        if (!top.keys.insert(top.last_key).second) throw DuplicateKey{top.pointer, top.last_key};
        break;
      }
      case E::object_end:
      case E::array_end:
        stack.pop_back();
        finished_value();
        break;
      case E::value:
        finished_value();
        break;
    }
    return true;
  };
  try {
    return nlohmann::json::parse(text.begin(), text.end(), callback);
  } catch (const DuplicateKey& d) {
    throw SceneError(file, d.pointer.empty() ? "/" : d.pointer, "key " + Quote(d.key) + " appears twice");
  } catch (const TooDeep& t) {
    throw SceneError(file, t.pointer, "nested deeper than " + std::to_string(MAX_DEPTH) +
                                          " levels; a scene needs no more than 8");
  } catch (const nlohmann::json::parse_error& e) {
    auto [line, column] = LineColumn(text, e.byte);
    // The library's text reads "[json.exception.parse_error.101] parse error at
    // line 2, column 5: syntax error while parsing ..."; keep what follows the place.
    std::string detail = e.what();
    std::size_t at = detail.find("column ");
    if (at != std::string::npos && (at = detail.find(": ", at)) != std::string::npos) detail = detail.substr(at + 2);
    throw SceneError(file, "line " + std::to_string(line) + ", column " + std::to_string(column),
                     "bad JSON: " + detail);
  } catch (const nlohmann::json::out_of_range& e) {
    // A number too large for a double ("1e999"): the library names the literal but
    // not its place, so the place is where the literal first appears.
    std::string detail = e.what();
    std::string where = "/";
    std::size_t open = detail.find('\'');
    std::size_t close = detail.rfind('\'');
    if (open != std::string::npos && close > open + 1) {
      std::size_t at = text.find(detail.substr(open + 1, close - open - 1));
      if (at != std::string_view::npos) {
        auto [line, column] = LineColumn(text, at + 1);
        where = "line " + std::to_string(line) + ", column " + std::to_string(column);
      }
    }
    throw SceneError(file, where, "bad JSON: a number too large to hold");
  }
}

}  // namespace refhost::scene
