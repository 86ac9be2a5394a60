#include "hostsim/session.h"

namespace hostsim {

bool Session::Load() {
  released_ = false;
  releasedIndex_ = RegisteredPlugins().size();
  return module_.Open(path_);
}

bool Session::Unload() { return module_.Close(); }

int32_t Session::Call(int32_t action, void* p1, void* p2, void* p3) {
  if (!module_.IsOpen()) return kResultUnhandled;
  return module_.Main()(action, p1, p2, p3);
}

int32_t Session::StartWithPath(const std::string& path) {
  HostPath modulePath;
  HostConstructPath(&modulePath, path);
  int32_t result = Call(kActionStart, Table(), nullptr, &modulePath);
  HostDestructPath(&modulePath);
  return result;
}

int32_t Session::Start() { return StartWithPath(path_); }

int32_t Session::Message(int32_t id, void* data) {
  return Call(kActionMessage, reinterpret_cast<void*>(static_cast<intptr_t>(id)), data);
}

const RegisteredPlugin* Session::Registered(int32_t id) const {
  const std::vector<RegisteredPlugin>& all = RegisteredPlugins();
  for (size_t i = all.size(); i-- > releasedIndex_;)
    if (all[i].id == id) return &all[i];
  return nullptr;
}

int32_t Session::Execute(SimDocument* document) {
  const RegisteredPlugin* plugin = Registered();
  if (plugin == nullptr) return 0;
  CommandPluginRecord record = plugin->Record();
  if (record.execute == nullptr) return 0;
  return record.execute(record.command, AsHost(document));
}

int32_t Session::QueryState(SimDocument* document) {
  const RegisteredPlugin* plugin = Registered();
  if (plugin == nullptr) return 0;
  CommandPluginRecord record = plugin->Record();
  if (record.queryState == nullptr) return 0;
  return record.queryState(record.command, AsHost(document));
}

bool Session::Release() {
  const RegisteredPlugin* plugin = Registered();
  if (plugin == nullptr || released_) return false;
  CommandPluginRecord record = plugin->Record();
  released_ = true;
  if (record.release == nullptr) return false;
  record.release(record.command);
  return true;
}

bool Session::StartUp() {
  if (!module_.IsOpen() && !Load()) return false;
  if (Start() != kResultOk) return false;
  if (Message(1) != kResultOk) return false;
  return PluginStart() == kResultOk;
}

void Session::ShutDown() {
  Release();
  End();
  Unload();
}

}  // namespace hostsim
