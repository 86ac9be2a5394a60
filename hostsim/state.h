// The stand-in host's process-global state, shared by its implementation
// files only (tests use hostsim.h).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "host/constants.h"
#include "hostsim/hostsim.h"

namespace hostsim {

// The largest single request served by default: 1 GiB, or 256 MiB in a
// 32-bit process under AddressSanitizer, whose shadow memory leaves little
// of the 4 GiB address space.
#if defined(__SANITIZE_ADDRESS__)
#define HOSTSIM_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HOSTSIM_ASAN 1
#endif
#endif
#if defined(HOSTSIM_ASAN) && !FLATTEN_PTR64
constexpr size_t kDefaultAllocationCap = size_t(256) << 20;
#else
constexpr size_t kDefaultAllocationCap = size_t(1) << 30;
#endif

namespace detail {

// Kinds of opaque object the host fits into the module's storage.
enum class StorageKind { Text, Path, ParameterId };

// Written at the start of the module's storage by a construct call. The
// object's content lives in State::storages under the storage address; the
// serial ties the two together so that stale or copied storage is caught.
struct StorageHeader {
  uint32_t magic;
  uint32_t serial;
};
static_assert(sizeof(StorageHeader) <= sizeof(ParameterId), "header fits every storage");

constexpr uint32_t kTextMagic = 0x54455854u;       // "TEXT"
constexpr uint32_t kPathMagic = 0x50415448u;       // "PATH"
constexpr uint32_t kParameterMagic = 0x50415249u;  // "PARI"
constexpr int32_t kInterfaceVersionDefault = 11000;
constexpr uint32_t kDeadMagic = 0xDEADDEADu;
constexpr uint32_t kNodeMagic = 0x4E4F4445u;       // "NODE"
constexpr uint32_t kSelectionMagic = 0x53454C53u;  // "SELS"

struct StorageEntry {
  StorageKind kind;
  bool hostOwned;  // host's own object (DefaultText, resource strings, parent paths)
  uint32_t serial;
  std::string content;         // text or path
  int32_t parameterNumber = 0; // parameter ids
  bool levelSet = false;
};

struct SimBitmap {
  BitmapInfo info;
};

struct SimResource {
  std::map<int32_t, std::string> strings;
  // Host-owned texts handed out by ResourceString, one per id asked for.
  std::map<int32_t, std::unique_ptr<HostString>> handedOut;
};

struct SimAdjacency {
  std::unique_ptr<NeighbourRecord[]> records;
  int32_t count = 0;
};

enum class HeapPathKind { Allocated, Parent };

struct OpFault {
  uint64_t nth = 0;
  bool fromThenOn = false;
};

struct State {
  // Calls.
  std::vector<Call> calls;

  // Faults.
  uint64_t fallibleCount = 0;
  uint64_t failAt = 0;
  bool failFromThenOn = false;
  uint64_t injected = 0;
  uint64_t opCalls[kOpCount] = {};
  OpFault opFaults[kOpCount] = {};
  size_t allocationCap = kDefaultAllocationCap;

  // Ledger.
  std::vector<std::string> violations;
  std::unordered_map<const void*, size_t> blocks;
  std::unordered_set<const void*> forgiven;
  size_t currentBytes = 0, peakBytes = 0;
  uint32_t nextSerial = 1;
  std::unordered_map<const void*, StorageEntry> storages;
  std::unordered_map<const HostPath*, HeapPathKind> heapPaths;
  std::unordered_map<const void*, std::unique_ptr<SimBitmap>> bitmaps;
  std::unordered_map<const void*, std::unique_ptr<SimResource>> resources;
  std::unordered_map<const void*, std::unique_ptr<SimAdjacency>> adjacencies;
  const SimAdjacency* lastAdjacency = nullptr;  // the table last asked for

  // What the module still held at a Reset: kept alive, unreachable to the
  // module's later calls, so that a module keeping a stale pointer across
  // tests reads memory that is still there.
  std::vector<std::unique_ptr<void, void (*)(void*)>> graveyardBlocks;
  std::vector<std::unique_ptr<HostPath>> graveyardPaths;
  std::vector<std::unique_ptr<SimBitmap>> graveyardBitmaps;
  std::vector<std::unique_ptr<SimResource>> graveyardResources;
  std::vector<std::unique_ptr<SimAdjacency>> graveyardAdjacencies;
  std::unordered_set<const HostValue*> filledValues;

  // Texts.
  HostString defaultText{};

  // Scene.
  std::vector<std::unique_ptr<SimDocument>> documents;
  std::vector<std::unique_ptr<SimObject>> objects;
  std::unordered_map<const void*, bool> liveNodes;  // node -> is a document
  std::unordered_map<const SimDocument*, std::vector<UndoStep>> undo;
  bool writeChecks = true;

  // Neighbour service. The scratch arrays of a build are kept for the next
  // one: repeated builds (benchmarks) then touch no fresh pages.
  std::map<int32_t, std::array<int32_t, 4>> neighbourOverrides;
  std::vector<uint8_t> scratchSelected;
  std::vector<int32_t> scratchMarks;
  std::vector<uint32_t> scratchCounts;
  // A side bucketed by its lower point: its id (4 * polygon + side) and its
  // higher point.
  struct SideEntry {
    uint32_t side;
    uint32_t high;
  };
  std::vector<SideEntry> scratchEntries;

  // Registration.
  std::vector<RegisteredPlugin> registered;
  int32_t registerResult = 1;
};

State& S();

// Records a call when recording is on; off, a call costs this one test.
extern bool recordingOn;
void RecordCall(Op op, std::initializer_list<intptr_t> args, const char* text);
void RecordCall(Op op, std::initializer_list<intptr_t> args, const std::string& text);
inline void Record(Op op, std::initializer_list<intptr_t> args, const char* text = nullptr) {
  if (recordingOn) RecordCall(op, args, text);
}
inline void Record(Op op, std::initializer_list<intptr_t> args, const std::string& text) {
  if (recordingOn) RecordCall(op, args, text);
}
// Counts a fallible call; true when this call must fail.
bool ShouldFail(Op op);
void Violation(const std::string& what);

inline intptr_t P(const void* pointer) { return reinterpret_cast<intptr_t>(pointer); }
std::string Hex(const void* pointer);

// Storage ledger. Construct registers the object (a violation when one is
// already alive there). Find returns the live entry, or null after recording
// a violation naming the operation.
StorageEntry* ConstructStorage(void* storage, StorageKind kind, bool hostOwned, const char* op);
StorageEntry* FindStorage(const void* storage, StorageKind kind, const char* op);
bool IsLiveStorage(const void* storage, StorageKind kind);
// Ends the object; false (and a violation) when nothing live was there.
bool DestructStorage(void* storage, StorageKind kind, const char* op);

// Node lookups: null (with a violation) for pointers the host never made.
SimDocument* DocumentFrom(HostDocument* document, const char* op);
SimObject* ObjectFrom(HostObject* object, const char* op);
SimNode* NodeFrom(void* node, const char* op);

uint64_t HashPoints(const SimObject* object);

// Drops host-owned resources of each area on Reset.
void ResetTables();

}  // namespace detail
}  // namespace hostsim
