// Drives a module as the host does: load, action 1 with the host table and
// the module's path, message 1, action 2, the registered command's cells,
// release, action 3, unload. Used by the tests and the runner.
#pragma once

#include <string>

#include "host/constants.h"
#include "hostsim/hostsim.h"
#include "hostsim/module_loader.h"

namespace hostsim {

class Session {
 public:
  explicit Session(std::string modulePath) : path_(std::move(modulePath)) {}
  ~Session() { Unload(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // dlopen; false with Error() set.
  bool Load();
  // dlclose (the module's exit routines run); releases nothing itself.
  bool Unload();
  const std::string& Error() const { return module_.Error(); }
  LoadedModule& Module() { return module_; }

  // tarvik_main as is.
  int32_t Call(int32_t action, void* p1 = nullptr, void* p2 = nullptr, void* p3 = nullptr);
  // Action 1 with Table() as p1 and, as p3, a path the host constructs for
  // the call holding the module's path, ended right after the call: the
  // module must copy it. StartWithPath hands over another path instead.
  int32_t Start();
  int32_t StartWithPath(const std::string& path);
  // Action 6 with the message id as p1.
  int32_t Message(int32_t id, void* data = nullptr);
  int32_t PluginStart() { return Call(kActionPluginStart); }
  int32_t End() { return Call(kActionEnd); }

  // The last plug-in registered with id (by default the command), or null.
  const RegisteredPlugin* Registered(int32_t id = kCommandId) const;
  // The record's cells; 0 when nothing is registered.
  int32_t Execute(SimDocument* document);
  int32_t QueryState(SimDocument* document);
  // The record's release cell on its command object, once; later calls do
  // nothing. True when a release was called.
  bool Release();

  // Load, action 1, message 1, action 2: true when each gave 1.
  bool StartUp();
  // Release (if registered), action 3, unload.
  void ShutDown();

 private:
  std::string path_;
  LoadedModule module_;
  bool released_ = false;
  size_t releasedIndex_ = 0;  // registrations already released
};

}  // namespace hostsim
