#include "hostsim/module_loader.h"

#include <dlfcn.h>

namespace hostsim {

bool LoadedModule::Open(const std::string& path) {
  Close();
  error_.clear();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = dlerror();
    error_ = std::string("cannot load ") + path + ": " + (why != nullptr ? why : "unknown error");
    return false;
  }
  dlerror();
  void* entry = dlsym(handle, "tarvik_main");
  if (entry == nullptr) {
    error_ = path + " does not export tarvik_main";
    dlclose(handle);
    return false;
  }
  handle_ = handle;
  main_ = reinterpret_cast<TarvikMainFn>(entry);
  path_ = path;
  return true;
}

bool LoadedModule::Close() {
  if (handle_ == nullptr) return true;
  int result = dlclose(handle_);
  handle_ = nullptr;
  main_ = nullptr;
  if (result != 0) {
    const char* why = dlerror();
    error_ = std::string("cannot unload ") + path_ + ": " + (why != nullptr ? why : "unknown error");
    return false;
  }
  return true;
}

void* LoadedModule::Symbol(const char* name) const {
  return handle_ != nullptr ? dlsym(handle_, name) : nullptr;
}

}  // namespace hostsim
