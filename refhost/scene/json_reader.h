// Reading checked values out of a parsed JSON document: every accessor knows its
// place in the file as a JSON pointer and throws a SceneError naming it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "scene.h"

namespace refhost::scene {

class JsonNode {
 public:
  JsonNode(const nlohmann::json& value, std::string pointer, const std::string& file)
      : value_(&value), pointer_(std::move(pointer)), file_(&file) {}

  const nlohmann::json& Value() const { return *value_; }
  const std::string& Pointer() const { return pointer_; }
  [[noreturn]] void Fail(const std::string& message) const;

  // An object whose keys are all in `allowed`; an unknown key fails at its place.
  void ExpectObject(std::initializer_list<const char*> allowed) const;
  bool Has(const char* key) const;
  std::optional<JsonNode> Optional(const char* key) const;
  JsonNode Required(const char* key) const;

  // An array of `min` to `max` elements.
  std::vector<JsonNode> Array(std::size_t min = 0, std::size_t max = SIZE_MAX) const;

  // A whole number in [min, max]; 30.0 counts as 30.
  std::int64_t Integer(std::int64_t min, std::int64_t max) const;
  // A finite number.
  double Number() const;
  bool Bool() const;
  std::string String() const;

  // The value found, for messages: "the string \"64\"", "an array", "null".
  std::string Describe() const;

 private:
  JsonNode Child(const std::string& key, const nlohmann::json& value) const;

  const nlohmann::json* value_;
  std::string pointer_;
  const std::string* file_;
};

// A value as JSON text for messages.
std::string Dump(const nlohmann::json& value);

// Parses JSON text: a syntax error, or a key that appears twice in one object (the
// parser would silently keep the last), fails with the file and where.
nlohmann::json ParseJson(std::string_view text, const std::string& file);

}  // namespace refhost::scene
