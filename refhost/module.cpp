#include "module.h"

#include <memory>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

namespace refhost {

namespace {

#if defined(_WIN32)
void* OpenLibrary(const std::filesystem::path& file, std::string& why) {
  HMODULE library = LoadLibraryW(file.wstring().c_str());
  if (library == nullptr) why = "Windows error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(library);
}
void* FindSymbol(void* library, const std::string& name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name.c_str()));
}
void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }
#else
void* OpenLibrary(const std::filesystem::path& file, std::string& why) {
  void* library = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) why = dlerror();
  return library;
}
void* FindSymbol(void* library, const std::string& name) { return dlsym(library, name.c_str()); }
void CloseLibrary(void* library) { dlclose(library); }
#endif

struct LibraryCloser {
  void operator()(void* library) const { CloseLibrary(library); }
};

}  // namespace

Module::Module(const std::filesystem::path& file) : file_(file) { Load(nullptr); }

Module::Module(const std::filesystem::path& file, const std::string& entry_name) : file_(file) {
  Load(&entry_name);
}

void Module::Load(const std::string* entry_name) {
  const std::string what = "module " + file_.string();
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file_, ec)) throw ModuleError(what + ": no such file");
  std::string why;
  std::unique_ptr<void, LibraryCloser> library(OpenLibrary(file_, why));
  if (library == nullptr) throw ModuleError(what + ": cannot load: " + why);
  try {
    properties_ = ParsePropertyList(LoadPropertyListBytes(file_, library.get()));
  } catch (const PropertyListError& e) {
    throw ModuleError(what + ": " + e.what());
  }
  // The host lists only effects, and only with a name, a match name and an entry
  // function it can call.
  if (properties_.kind != "eFKT") {
    throw ModuleError(what + ": property list: kind \"" + properties_.kind + "\", not an effect");
  }
  if (properties_.name.empty() || properties_.match_name.empty()) {
    throw ModuleError(what + ": property list: the effect has no name or no match name");
  }
  if (properties_.entry_point.empty()) {
    throw ModuleError(what + ": property list: no entry function under \"" +
                      std::string(EntryPointKey()) + "\"");
  }
  const std::string& name = entry_name != nullptr ? *entry_name : properties_.entry_point;
  entry_ = reinterpret_cast<PF_EntryPointFunc>(FindSymbol(library.get(), name));
  if (entry_ == nullptr) throw ModuleError(what + ": does not export " + name);
  library_ = library.release();
}

Module::~Module() {
  if (library_ != nullptr) CloseLibrary(library_);
}

}  // namespace refhost
