// RegisterPlugin: the host copies what it keeps (name, record cells, help
// text, whether an icon came with it) before returning.
#include <cstring>

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {

int32_t RegisterPluginCell(int32_t version, int32_t type, int32_t id, const HostString* name,
                           void* record, int32_t recordSize) {
  StorageEntry* nameEntry = FindStorage(name, StorageKind::Text, "RegisterPlugin (name)");
  std::string nameText = nameEntry != nullptr ? nameEntry->content : std::string();
  Record(Op::RegisterPlugin, {version, type, id, P(name), P(record), recordSize}, nameText);
  if (ShouldFail(Op::RegisterPlugin)) return 0;
  if (record == nullptr) {
    Violation("RegisterPlugin with a null record");
    return 0;
  }
  if (recordSize != int32_t(sizeof(CommandPluginRecord)))
    Violation("RegisterPlugin with record size " + std::to_string(recordSize) + " (expected " +
              std::to_string(sizeof(CommandPluginRecord)) + ")");
  if (S().registerResult == 0) return 0;

  RegisteredPlugin plugin;
  plugin.version = version;
  plugin.type = type;
  plugin.id = id;
  plugin.name = nameText;
  plugin.recordSize = recordSize;
  size_t bytes = std::min<size_t>(recordSize > 0 ? size_t(recordSize) : 0, sizeof plugin.cells);
  std::memcpy(plugin.cells.data(), record, bytes);
  CommandPluginRecord cells = plugin.Record();
  if (cells.help != nullptr) {
    plugin.helpGiven = true;
    StorageEntry* help = FindStorage(cells.help, StorageKind::Text, "RegisterPlugin (help)");
    if (help != nullptr) plugin.help = help->content;
  }
  if (cells.icon != nullptr) {
    plugin.iconGiven = true;
    auto found = S().bitmaps.find(cells.icon);
    if (found == S().bitmaps.end()) {
      Violation("RegisterPlugin with icon " + Hex(cells.icon) + ", which is not a live bitmap");
    } else {
      plugin.iconLoaded = found->second->info.loaded;
      plugin.iconWidth = found->second->info.width;
      plugin.iconHeight = found->second->info.height;
    }
  }
  S().registered.push_back(plugin);
  return S().registerResult;
}

}  // namespace detail

using namespace detail;

CommandPluginRecord RegisteredPlugin::Record() const {
  CommandPluginRecord record;
  std::memcpy(&record, cells.data(), sizeof record);
  return record;
}

const std::vector<RegisteredPlugin>& RegisteredPlugins() { return S().registered; }
void SetRegisterResult(int32_t result) { S().registerResult = result; }

}  // namespace hostsim
