// The stand-in host: an in-memory implementation of every host operation the
// module reaches through HostTable and through extension library 1000467,
// with call recording, fault injection, hostile-data switches and checks of
// the module's use of host objects.
//
// Host functions are plain C function pointers without a context argument,
// so there is exactly one simulated host per process. Tests call Reset()
// before (and usually after) each case. Everything here runs on one thread.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/host_table.h"
#include "host/plugin_record.h"

namespace hostsim {

// ------------------------------------------------------------------ calls

// One value per host operation, including the library 1000467 cells.
enum class Op : int {
  FreeMemory,
  CommandPreamble,
  RegisterPlugin,
  FindPlugin,
  LibraryTableOf,
  AllocMemory,
  SignalChange,
  AllocMemoryUncleared,
  TextHasContent,
  TextConstruct,
  TextSetAscii,
  TextDestruct,
  TextCopy,
  ImageAlloc,
  ImageFree,
  ImageLoad,
  PathAlloc,
  PathFree,
  PathSetText,
  PathParentOf,
  PathJoin,
  PathConstruct,
  PathDestruct,
  PathCopy,
  ResourceLoad,
  ResourceFree,
  ResourceString,
  ObjectGlobalMatrix,
  TagDataWritable,
  TagDataCount,
  PolygonSelectionOf,
  TagDataReadable,
  ActiveObjectOf,
  UndoBegin,
  UndoEnd,
  UndoAdd,
  SelectionSegment,
  AdjacencyBuild,
  AdjacencyFree,
  AdjacencyPolygonInfo,
  ValueClear,
  ValueAsInteger,
  IsOfType,
  SendMessage,
  GetParameter,
  ParameterIdConstruct,
  ParameterIdDestruct,
  ParameterIdSetLevel,
  UnusedCell,  // a cell the module has no business calling
  Count_
};
constexpr int kOpCount = static_cast<int>(Op::Count_);

const char* OpName(Op op);

// A recorded call: the arguments in the order passed (pointers as integers),
// and for text-carrying calls the text (TextSetAscii's text, PathSetText's
// text, ResourceLoad's folder, ImageLoad's path, RegisterPlugin's name).
struct Call {
  Op op;
  std::vector<intptr_t> args;
  std::string text;
};

const std::vector<Call>& Calls();
void ClearCalls();
// Recording is on after Reset. Off, a call costs one branch; faults and the
// ledger keep working.
void SetRecording(bool on);
bool Recording();
size_t CountOf(Op op);
std::vector<Op> OpSequence();
// The recorded operations as names joined by spaces, for failure messages.
std::string OpSequenceText();

// ------------------------------------------------------------- the table

// The host table handed to the module. Its address never changes, also not
// across Reset, because a loaded module keeps it.
HostTable* Table();

// Drops everything: calls, faults, ledger, violations, documents, objects,
// bitmaps, resources, registrations, switches; restores the defaults
// (version 11000, recording on, empty DefaultText, library present).
// Whatever the module still held leaves the ledger but is not released: a
// stale pointer kept across a Reset meets a violation, never freed memory.
void Reset();

// The interface version in cell 0 (default 11000).
void SetVersion(int32_t version);

// ----------------------------------------------------------------- faults

// Fallible calls: AllocMemory, AllocMemoryUncleared, PathAlloc, ImageAlloc,
// ImageLoad, ResourceLoad, AdjacencyBuild, FindPlugin, LibraryTableOf,
// GetParameter, RegisterPlugin. Each one increments one global counter.

// The n-th fallible call (1-based) fails, and with fromThenOn every later
// one too. n = 0 switches it off. A failure looks exactly like the host's
// own: null, 0, or 0 from ImageLoad.
void FailAt(uint64_t n, bool fromThenOn = false);
// The n-th call (1-based) of one fallible operation fails (and every later
// one of it with fromThenOn). Several operations can be armed at once.
void FailOp(Op op, uint64_t nth, bool fromThenOn = false);
void ClearFaults();
// Fallible calls so far (for a dry run that counts the N to iterate over).
uint64_t FallibleCount();
// Calls that failed because of an injected fault.
uint64_t InjectedFailures();
// Largest single request AllocMemory/AllocMemoryUncleared/AdjacencyBuild
// will serve (default 1 GiB; 256 MiB in a 32-bit process under AddressSanitizer); larger requests fail as a real host's would.
void SetAllocationCap(size_t bytes);

// ------------------------------------------------------- ledger and misuse

// Misuse seen so far, in order (the first entry is the first violation).
// Calling it also checks objects' points for writes made outside an open
// undo step (see CheckPointWrites).
const std::vector<std::string>& Violations();
std::string FirstViolation();  // empty when none
// Everything the module still holds: constructed texts, paths and parameter
// ids in its storage, memory blocks, heap paths, bitmaps, resources,
// neighbour tables, filled values, open undo steps. Empty when balanced.
std::string LedgerReport();
bool LedgerBalanced();
// Objects the module owns that the test wants to ignore at the end (e.g. a
// command object the host keeps until release): the block is left out of
// LedgerReport.
void ForgiveBlock(const void* block);

// Module allocations (AllocMemory + AllocMemoryUncleared) in bytes.
size_t CurrentBytes();
size_t PeakBytes();
void ResetPeak();  // peak := current
size_t LiveBlockCount();
// Size of a live block, 0 when the pointer is not one.
size_t BlockSize(const void* block);

// ------------------------------------------------------------------ texts

// Content of DefaultText (empty after Reset).
void SetDefaultText(const std::string& text);
// The content of a constructed text; "<unconstructed>" for storage that
// holds no live text.
std::string TextOf(const HostString* text);
bool IsLiveText(const HostString* text);
// Host-side helpers for tests: construct / destruct a text in storage the
// test owns, not recorded as module calls.
void HostConstructText(HostString* storage, const std::string& content);
void HostDestructText(HostString* text);

// ------------------------------------------------------------------ paths

// Paths are '/'-separated strings. PathParentOf yields null for an empty path
// and for a single component without '/' (no parent known); "/x" has parent
// "/". PathJoin appends the tail's components with one '/'.
std::string PathOf(const HostPath* path);
bool IsLivePath(const HostPath* path);
void HostConstructPath(HostPath* storage, const std::string& content);
void HostDestructPath(HostPath* path);

// --------------------------------------------------------------- resource

// ResourceLoad(folder) reads "<folder>/res/strings.txt": lines "<id> <text>"
// (decimal id, one space, the rest of the line), empty lines and lines
// starting with '#' ignored. A missing file, a malformed line or a repeated id
// make it fail (null).
extern const char* const kResourceFile;  // "res/strings.txt"

// ---------------------------------------------------------------- bitmaps

struct BitmapInfo {
  bool live = false;
  bool loaded = false;
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4 once loaded
};
BitmapInfo BitmapOf(const HostBitmap* bitmap);
size_t LiveBitmapCount();

// ------------------------------------------------- documents and objects

struct SimNode {
  uint32_t magic = 0;  // set by the host; tells nodes apart from garbage
  int32_t type = 0;
  // Integer parameters by number; a number in unreadable fails GetParameter.
  std::map<int32_t, int32_t> parameters;
  std::set<int32_t> unreadable;
};

struct SimObject;

struct SimDocument : SimNode {
  SimObject* active = nullptr;
};

// Heap array of exactly the size handed out, so that AddressSanitizer sees
// every access past its end.
template <typename T>
struct ExactArray {
  std::unique_ptr<T[]> data;
  size_t size = 0;
  void Assign(const std::vector<T>& values) {
    size = values.size();
    data.reset(new T[size == 0 ? 0 : size]);
    for (size_t i = 0; i < size; ++i) data[i] = values[i];
  }
  std::vector<T> ToVector() const { return std::vector<T>(data.get(), data.get() + size); }
};

struct SimSelection {
  uint32_t magic = 0;
  SimObject* owner = nullptr;
  // Reported in order by SelectionSegment, unchecked: first > last, negative
  // or out-of-range indices are handed out as they are.
  std::vector<std::pair<int32_t, int32_t>> segments;
};

struct SimObject : SimNode {
  ExactArray<Vector> points;
  ExactArray<Polygon> polygons;
  SimSelection selection;
  Matrix matrix{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  // Hostile switches: the counts TagDataCount reports, independent of the
  // arrays; null arrays; a null selection.
  bool overridePointCount = false;
  int32_t reportedPointCount = 0;
  bool overridePolygonCount = false;
  int32_t reportedPolygonCount = 0;
  bool nullPoints = false;
  bool nullPolygons = false;
  bool nullSelection = false;

  // What the module sent: SendMessage ids in order.
  std::vector<int32_t> messages;

  // Write checking (see CheckPointWrites): hash of the points the host
  // regards as current, valid when guarded.
  bool guarded = false;
  uint64_t guardHash = 0;
};

// New host-owned nodes, alive until Reset (or DeleteObject/DeleteDocument).
SimDocument* NewDocument();
SimObject* NewObject(int32_t type = 5100);
// A polygon object with the given points and polygons; selection as segments.
SimObject* NewPolygonObject(const std::vector<Vector>& points,
                            const std::vector<Polygon>& polygons,
                            const std::vector<std::pair<int32_t, int32_t>>& segments = {});
// Replaces the object's points from the test side (accepted as current, not
// a module write).
void SetPoints(SimObject* object, const std::vector<Vector>& points);
void SetPolygons(SimObject* object, const std::vector<Polygon>& polygons);
void SetSegments(SimObject* object, const std::vector<std::pair<int32_t, int32_t>>& segments);
std::vector<Vector> PointsOf(const SimObject* object);

inline HostDocument* AsHost(SimDocument* document) {
  return reinterpret_cast<HostDocument*>(document);
}
inline HostObject* AsHost(SimObject* object) { return reinterpret_cast<HostObject*>(object); }
inline HostSelection* AsHost(SimSelection* selection) {
  return reinterpret_cast<HostSelection*>(selection);
}

// ------------------------------------------------------------------- undo

struct UndoStep {
  bool open = true;
  std::vector<SimObject*> objects;             // recorded with UndoAdd, in order
  std::vector<std::vector<Vector>> snapshots;  // their points when recorded
};
const std::vector<UndoStep>& UndoSteps(const SimDocument* document);
// Restores the objects of the document's last closed step; false when there
// is none.
bool Undo(SimDocument* document);
// Compares the points of every object the module fetched writable with what
// the host last accepted; a difference outside an open undo step that
// recorded the object is a violation. Run by Violations() too.
void CheckPointWrites();
// Switches off the point hashing of write checks (benchmarks). Undo
// snapshots are still taken.
void SetWriteChecks(bool on);

// -------------------------------------------------------- neighbour service

// Neighbour table contract (AdjacencyBuild):
// - Only selected polygons are linked; unselected ones get four -1. A null
//   selection counts as "all polygons selected". Segment indices outside
//   [0, polygonCount) are ignored, first > last selects nothing.
// - Side j of a quad runs from corner j to corner j+1 (mod 4): a-b, b-c, c-d,
//   d-a. A triangle (c == d) has sides a-b, b-c, c-a and its fourth entry -1.
//   A side whose two corners are the same point, or with a corner outside
//   [0, pointCount), has -1.
// - The selected polygons with a side on the same two points (either
//   direction), each taken once in ascending index order, form a cycle; the
//   neighbour across the side is the next polygon of that cycle (two:
//   each other; one alone: -1; three or more stay connected in a ring).
// - The table holds exactly max(polygonCount, 0) records; AdjacencyPolygonInfo
//   for an index outside it returns null. Building is linear in polygons and
//   points (counting sort of the sides on their two points).
// - polygonCount larger than the array the host handed out for that object
//   (a hostile reported count): polygons past the real array have no sides.
struct NeighbourRecord {
  PolygonAdjacency adjacency;  // the four entries the module reads
  int32_t polygon;             // further host fields behind them
  int32_t sideCount;
};
// Hostile switch: after every build, the record of polygon gets these four
// entries (out of range, negative, self loops, one-way links: anything).
void OverrideNeighbours(int32_t polygon, std::array<int32_t, 4> entries);
void ClearNeighbourOverrides();
// Time spent in AdjacencyBuild, accumulated (not reset by Reset): wall
// time, and the calling thread's processor time (for benchmarks on a loaded
// machine). ResetAdjacencyTimer clears both.
uint64_t AdjacencyBuildNanoseconds();
uint64_t AdjacencyBuildCpuNanoseconds();
void ResetAdjacencyTimer();
size_t LiveAdjacencyCount();
// Builds a table with the host's own algorithm, outside the module's call
// log and ledger (for tests of the contract). Empty for a null result.
std::vector<std::array<int32_t, 4>> NeighbourTable(int32_t pointCount,
                                                   const std::vector<Polygon>& polygons,
                                                   const SimSelection* selection);

// ------------------------------------------------- extension library 1000467

// The LibraryTable has 24 function cells (declared size 8 + 24 * pointer);
// cells 21/22/23 are ParameterIdConstruct/Destruct/SetLevel.
void SetLibraryPresent(bool present);          // FindPlugin finds it (default)
void SetLibraryDeclaredSize(int32_t bytes);    // the table's second integer
void SetLibraryCell(int cell, void* function); // null to remove a cell
void RestoreLibraryCells();
const LibraryTable* LibraryTableAddress();
// Parameter ids still constructed (ledger view).
size_t LiveParameterIdCount();

// ---------------------------------------------------------- registration

struct RegisteredPlugin {
  int32_t version = 0, type = 0, id = 0;
  std::string name;
  int32_t recordSize = 0;
  std::array<void*, 48> cells{};  // copy of the record's cells
  std::string help;               // copied from cell 16
  bool helpGiven = false;
  bool iconGiven = false;   // cell 17 not null
  bool iconLoaded = false;  // ... and a bitmap that was loaded
  int32_t iconWidth = 0, iconHeight = 0;
  CommandPluginRecord Record() const;  // the copied cells as a record
};
const std::vector<RegisteredPlugin>& RegisteredPlugins();
// Result RegisterPlugin gives when not failed by a fault (default 1).
void SetRegisterResult(int32_t result);

// Bit patterns of float data, for exact comparisons in tests.
uint32_t Bits(float value);

}  // namespace hostsim
