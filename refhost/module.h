// A module file opened the way the real host opens it: by path, then the entry
// function looked up by name.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

#include "../plugin/host/host_contract.h"

namespace refhost {

class ModuleError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Module {
 public:
  // Throws ModuleError naming the file and what is wrong with it.
  explicit Module(const std::filesystem::path& file, const std::string& entry_name = "EntryPointFunc");
  ~Module();
  Module(const Module&) = delete;
  Module& operator=(const Module&) = delete;

  PF_EntryPointFunc Entry() const { return entry_; }
  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
  void* library_ = nullptr;
  PF_EntryPointFunc entry_ = nullptr;
};

}  // namespace refhost
