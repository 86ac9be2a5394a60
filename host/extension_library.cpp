#include "host/extension_library.h"

#include <string.h>

#include "host/constants.h"
#include "host/host.h"

LibraryTable* ParameterIdLibraryCache = nullptr;

namespace {

// The function cell at a byte position of a table that LibraryLookup has
// accepted for that position (null when the host left the cell empty).
void* LibraryCell(const LibraryTable* table, intptr_t position) {
  void* cell;
  memcpy(&cell, reinterpret_cast<const unsigned char*>(table) + position, sizeof cell);
  return cell;
}

// The cell of ParameterIdLibrary at cell number n, or null when the library,
// its table or the cell is missing.
void* ParameterIdCell(int n) {
  const intptr_t position = LibraryCellPosition(n);
  LibraryTable* table = LibraryLookup(kParameterIdLibraryId, position, &ParameterIdLibraryCache);
  if (table == nullptr) return nullptr;
  return LibraryCell(table, position);
}

// MakeParameterId, telling whether the id was constructed at all: an
// unconstructed id must be neither used nor destructed.
bool BuildParameterId(ParameterId* storage, const ParameterLevel* level) {
  void* construct = ParameterIdCell(kParameterIdConstructCell);
  if (construct == nullptr) return false;
  reinterpret_cast<ParameterIdConstructFn>(construct)(storage);
  // A table too short for the level cell yields an id that names nothing.
  void* setLevel = ParameterIdCell(kParameterIdSetLevelCell);
  if (setLevel != nullptr) reinterpret_cast<ParameterIdSetLevelFn>(setLevel)(storage, level);
  return true;
}

}  // namespace

LibraryTable* LibraryLookup(int32_t id, intptr_t position, LibraryTable** cache) {
  LibraryTable* table = cache != nullptr ? *cache : nullptr;
  if (table == nullptr) {
    if (HostTablePointer == nullptr) return nullptr;
    const GeneralTable& general = *Host().general;
    HostPluginHandle* library = general.FindPlugin(id, kPluginKindLibrary);
    if (library == nullptr) return nullptr;
    int32_t ignored1 = 0;
    int32_t ignored2 = 0;
    void* found = nullptr;
    if (general.LibraryTableOf(library, &ignored1, &ignored2, &found) == 0) return nullptr;
    // A host that reports success without a table is treated as a failure,
    // and nothing is cached.
    if (found == nullptr) return nullptr;
    table = static_cast<LibraryTable*>(found);
    if (cache != nullptr) *cache = table;
  }
  // Cached or not, the table must declare the requested position. A
  // position equal to the declared size is accepted.
  if (position > static_cast<intptr_t>(table->declaredSize)) return nullptr;
  return table;
}

ParameterId* MakeParameterId(ParameterId* storage, const ParameterLevel* level) {
  BuildParameterId(storage, level);
  return storage;
}

void ReleaseParameterId(ParameterId* id) {
  void* destruct = ParameterIdCell(kParameterIdDestructCell);
  if (destruct != nullptr) reinterpret_cast<ParameterIdDestructFn>(destruct)(id);
}

int32_t ReadIntParameter(void* node, int32_t number) {
  // Before action 1 there is no host to ask.
  if (HostTablePointer == nullptr) return 0;
  const HostTable& host = Host();

  const ParameterLevel level = {number, 0, 0};
  HostValue value;
  value.kind = 0;
  value.payload = 0;

  // When the id library or its construct cell is missing, the id stays
  // unbuilt: it is never shown to the host, nor destructed, and the read
  // yields 0 like any other failed read. The value was never filled, so it
  // has nothing to clear.
  ParameterId id;
  if (!BuildParameterId(&id, &level)) return 0;

  const int32_t read = host.node->GetParameter(node, &id, &value, 0);
  ReleaseParameterId(&id);
  if (read == 0) {
    host.value->ValueClear(&value);
    return 0;
  }
  const int32_t result = host.value->ValueAsInteger(&value);
  host.value->ValueClear(&value);
  return result;
}
