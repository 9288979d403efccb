// A module file opened the way the real host opens it: by path, its property list
// read, then the entry function the list names looked up in it.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "../plugin/host/host_contract.h"
#include "property_list.h"

namespace refhost {

class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Module {
 public:
  // Loads the module, reads its property list and looks up the entry function
  // the list names for this host's architecture. Throws ModuleError naming the
  // file and what is wrong with it.
  explicit Module(const std::filesystem::path& file);
  // The same, but looks up `entry_name` whatever the list says.
  Module(const std::filesystem::path& file, const std::string& entry_name);
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  PF_EntryPointFunc Entry() const { return entry_; }
  const std::filesystem::path& File() const { return file_; }
  const PropertyList& Properties() const { return properties_; }

 private:
  void Load(const std::string* entry_name);

  std::filesystem::path file_;
  void* library_ = nullptr;
  PropertyList properties_;
  PF_EntryPointFunc entry_ = nullptr;
};

}  // namespace refhost
