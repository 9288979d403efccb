#include "module.h"

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

}  // namespace

Module::Module(const std::filesystem::path& file, const std::string& entry_name) : file_(file) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) {
    throw ModuleError("module " + file.string() + ": no such file");
  }
  std::string why;
  library_ = OpenLibrary(file, why);
  if (library_ == nullptr) throw ModuleError("module " + file.string() + ": cannot load: " + why);
  entry_ = reinterpret_cast<PF_EntryPointFunc>(FindSymbol(library_, entry_name));
  if (entry_ == nullptr) {
    CloseLibrary(library_);
    throw ModuleError("module " + file.string() + ": does not export " + entry_name);
  }
}

Module::~Module() {
  if (library_ != nullptr) CloseLibrary(library_);
}

}  // namespace refhost
