// Loads a module file as the host does: dlopen with RTLD_NOW | RTLD_LOCAL,
// then the one export tarvik_main.
#pragma once

#include <string>

#include "host/plugin_record.h"

namespace hostsim {

class LoadedModule {
 public:
  LoadedModule() = default;
  ~LoadedModule() { Close(); }
  LoadedModule(const LoadedModule&) = delete;
  LoadedModule& operator=(const LoadedModule&) = delete;

  // True when the file loaded and exports tarvik_main; otherwise Error()
  // says why and nothing stays loaded.
  bool Open(const std::string& path);
  // Unloads (running the module's exit routines); false with Error() set
  // when dlclose fails. Nothing to do when not open.
  bool Close();

  bool IsOpen() const { return handle_ != nullptr; }
  TarvikMainFn Main() const { return main_; }
  const std::string& Path() const { return path_; }
  const std::string& Error() const { return error_; }
  // The address of another symbol of the module, or null.
  void* Symbol(const char* name) const;

 private:
  void* handle_ = nullptr;
  TarvikMainFn main_ = nullptr;
  std::string path_;
  std::string error_;
};

}  // namespace hostsim
