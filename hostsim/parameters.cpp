// Extension library 1000467 (parameter ids), GetParameter and the value
// calls. A parameter id names a parameter only after ParameterIdSetLevel;
// GetParameter reads the node's parameter of that number.
#include <cstring>

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {
namespace {

constexpr int kLibraryCells = 24;
constexpr int32_t kLibraryHeader = 1;
constexpr int32_t kIntegerKind = 2;  // HostValue kind of a 32-bit integer

struct Library {
  bool present = true;
  alignas(void*) unsigned char bytes[8 + kLibraryCells * sizeof(void*)] = {};
};
Library library;
char libraryHandle;  // the handle FindPlugin hands out: its address only

void SetCell(int cell, void* function) {
  std::memcpy(library.bytes + LibraryCellPosition(cell), &function, sizeof function);
}

void SetDeclaredSize(int32_t size) { std::memcpy(library.bytes + 4, &size, sizeof size); }

}  // namespace

void ResetLibrary() {
  library.present = true;
  std::memset(library.bytes, 0, sizeof library.bytes);
  std::memcpy(library.bytes, &kLibraryHeader, sizeof kLibraryHeader);
  SetDeclaredSize(int32_t(sizeof library.bytes));
  RestoreLibraryCells();
}

HostPluginHandle* FindPluginCell(int32_t libraryId, int32_t kind) {
  Record(Op::FindPlugin, {libraryId, kind});
  if (ShouldFail(Op::FindPlugin)) return nullptr;
  if (libraryId != kParameterIdLibraryId || kind != kPluginKindLibrary || !library.present)
    return nullptr;
  return reinterpret_cast<HostPluginHandle*>(&libraryHandle);
}

int32_t LibraryTableOfCell(HostPluginHandle* handle, int32_t* out1, int32_t* out2, void** table) {
  Record(Op::LibraryTableOf, {P(handle), P(out1), P(out2), P(table)});
  if (ShouldFail(Op::LibraryTableOf)) return 0;
  if (handle != reinterpret_cast<HostPluginHandle*>(&libraryHandle)) {
    Violation("LibraryTableOf on " + Hex(handle) + ", which FindPlugin did not hand out");
    return 0;
  }
  if (table == nullptr) {
    Violation("LibraryTableOf with a null table out argument");
    return 0;
  }
  if (out1 != nullptr) *out1 = kLibraryHeader;
  if (out2 != nullptr) std::memcpy(out2, library.bytes + 4, sizeof *out2);
  *table = library.bytes;
  return 1;
}

void ParameterIdConstructCell(ParameterId* storage) {
  Record(Op::ParameterIdConstruct, {P(storage)});
  ConstructStorage(storage, StorageKind::ParameterId, false, "ParameterIdConstruct");
}

void ParameterIdDestructCell(ParameterId* id) {
  Record(Op::ParameterIdDestruct, {P(id)});
  DestructStorage(id, StorageKind::ParameterId, "ParameterIdDestruct");
}

void ParameterIdSetLevelCell(ParameterId* id, const ParameterLevel* level) {
  Record(Op::ParameterIdSetLevel, {P(id), P(level), level != nullptr ? level->number : 0});
  StorageEntry* entry = FindStorage(id, StorageKind::ParameterId, "ParameterIdSetLevel");
  if (entry == nullptr) return;
  if (level == nullptr) {
    Violation("ParameterIdSetLevel with a null level");
    return;
  }
  entry->parameterNumber = level->number;
  entry->levelSet = true;
}

int32_t GetParameterCell(void* node, const ParameterId* id, HostValue* value, int32_t flags) {
  Record(Op::GetParameter, {P(node), P(id), P(value), flags});
  if (ShouldFail(Op::GetParameter)) return 0;
  SimNode* n = NodeFrom(node, "GetParameter");
  StorageEntry* entry = FindStorage(id, StorageKind::ParameterId, "GetParameter");
  if (value == nullptr) {
    Violation("GetParameter with a null value");
    return 0;
  }
  if (value->kind != 0 || value->payload != 0)
    Violation("GetParameter into a value that was not made empty (kind " +
              std::to_string(value->kind) + ")");
  // An id that was constructed but never named a parameter reads nothing.
  if (n == nullptr || entry == nullptr || !entry->levelSet) return 0;
  if (n->unreadable.count(entry->parameterNumber) != 0) return 0;
  auto found = n->parameters.find(entry->parameterNumber);
  if (found == n->parameters.end()) return 0;
  value->kind = kIntegerKind;
  value->payload = found->second;
  S().filledValues.insert(value);
  return 1;
}

void ValueClearCell(HostValue* value) {
  Record(Op::ValueClear, {P(value)});
  if (value == nullptr) {
    Violation("ValueClear(null)");
    return;
  }
  S().filledValues.erase(value);
  value->kind = 0;
  value->payload = 0;
}

int32_t ValueAsIntegerCell(const HostValue* value) {
  Record(Op::ValueAsInteger, {P(value)});
  if (value == nullptr) {
    Violation("ValueAsInteger(null)");
    return 0;
  }
  return value->kind == kIntegerKind ? int32_t(value->payload) : 0;
}

}  // namespace detail

using namespace detail;

void SetLibraryPresent(bool present) { library.present = present; }
void SetLibraryDeclaredSize(int32_t bytes) { SetDeclaredSize(bytes); }

void SetLibraryCell(int cell, void* function) {
  if (cell >= 0 && cell < kLibraryCells) SetCell(cell, function);
}

void RestoreLibraryCells() {
  for (int cell = 0; cell < kLibraryCells; ++cell) SetCell(cell, nullptr);
  SetCell(kParameterIdConstructCell, reinterpret_cast<void*>(&ParameterIdConstructCell));
  SetCell(kParameterIdDestructCell, reinterpret_cast<void*>(&ParameterIdDestructCell));
  SetCell(kParameterIdSetLevelCell, reinterpret_cast<void*>(&ParameterIdSetLevelCell));
}

const LibraryTable* LibraryTableAddress() {
  return reinterpret_cast<const LibraryTable*>(library.bytes);
}

size_t LiveParameterIdCount() {
  size_t n = 0;
  for (const auto& [address, entry] : S().storages) n += entry.kind == StorageKind::ParameterId;
  return n;
}

}  // namespace hostsim
