// Call log, fault injection, violations and Reset.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {

namespace {
State* state = nullptr;  // never destroyed: a module may call in at exit
}

State& S() {
  if (state == nullptr) {
    state = new State();
    ResetTexts();
    ResetLibrary();
  }
  return *state;
}

bool recordingOn = true;

void RecordCall(Op op, std::initializer_list<intptr_t> args, const char* text) {
  S().calls.push_back(Call{op, std::vector<intptr_t>(args), text != nullptr ? text : ""});
}

void RecordCall(Op op, std::initializer_list<intptr_t> args, const std::string& text) {
  S().calls.push_back(Call{op, std::vector<intptr_t>(args), text});
}

bool ShouldFail(Op op) {
  State& s = S();
  uint64_t n = ++s.fallibleCount;
  uint64_t k = ++s.opCalls[static_cast<int>(op)];
  bool fail = false;
  if (s.failAt != 0 && (n == s.failAt || (s.failFromThenOn && n > s.failAt))) fail = true;
  const OpFault& f = s.opFaults[static_cast<int>(op)];
  if (f.nth != 0 && (k == f.nth || (f.fromThenOn && k > f.nth))) fail = true;
  if (fail) ++s.injected;
  return fail;
}

void Violation(const std::string& what) { S().violations.push_back(what); }

std::string Hex(const void* pointer) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%p", pointer);
  return buffer;
}

}  // namespace detail

using namespace detail;

const char* OpName(Op op) {
  static const char* const names[kOpCount] = {
      "FreeMemory", "CommandPreamble", "RegisterPlugin", "FindPlugin", "LibraryTableOf",
      "AllocMemory", "SignalChange", "AllocMemoryUncleared", "TextHasContent", "TextConstruct",
      "TextSetAscii", "TextDestruct", "TextCopy", "ImageAlloc", "ImageFree", "ImageLoad",
      "PathAlloc", "PathFree", "PathSetText", "PathParentOf", "PathJoin", "PathConstruct",
      "PathDestruct", "PathCopy", "ResourceLoad", "ResourceFree", "ResourceString",
      "ObjectGlobalMatrix", "TagDataWritable", "TagDataCount", "PolygonSelectionOf",
      "TagDataReadable", "ActiveObjectOf", "UndoBegin", "UndoEnd", "UndoAdd", "SelectionSegment",
      "AdjacencyBuild", "AdjacencyFree", "AdjacencyPolygonInfo", "ValueClear", "ValueAsInteger",
      "IsOfType", "SendMessage", "GetParameter", "ParameterIdConstruct", "ParameterIdDestruct",
      "ParameterIdSetLevel", "UnusedCell"};
  int index = static_cast<int>(op);
  return index >= 0 && index < kOpCount ? names[index] : "?";
}

const std::vector<Call>& Calls() { return S().calls; }
void ClearCalls() { S().calls.clear(); }
void SetRecording(bool on) { recordingOn = on; }
bool Recording() { return recordingOn; }

size_t CountOf(Op op) {
  size_t n = 0;
  for (const Call& call : S().calls) n += call.op == op ? 1 : 0;
  return n;
}

std::vector<Op> OpSequence() {
  std::vector<Op> ops;
  ops.reserve(S().calls.size());
  for (const Call& call : S().calls) ops.push_back(call.op);
  return ops;
}

std::string OpSequenceText() {
  std::string text;
  for (const Call& call : S().calls) {
    if (!text.empty()) text += ' ';
    text += OpName(call.op);
  }
  return text;
}

void FailAt(uint64_t n, bool fromThenOn) {
  S().failAt = n;
  S().failFromThenOn = fromThenOn;
}

void FailOp(Op op, uint64_t nth, bool fromThenOn) {
  int index = static_cast<int>(op);
  if (index < 0 || index >= kOpCount) return;
  S().opFaults[index] = OpFault{nth, fromThenOn};
}

void ClearFaults() {
  State& s = S();
  s.failAt = 0;
  s.failFromThenOn = false;
  for (OpFault& f : s.opFaults) f = OpFault{};
}

uint64_t FallibleCount() { return S().fallibleCount; }
uint64_t InjectedFailures() { return S().injected; }
void SetAllocationCap(size_t bytes) { S().allocationCap = bytes; }

const std::vector<std::string>& Violations() {
  CheckPointWrites();
  return S().violations;
}

std::string FirstViolation() {
  const std::vector<std::string>& all = Violations();
  return all.empty() ? std::string() : all.front();
}

std::string LedgerReport() {
  State& s = S();
  std::ostringstream out;
  for (const auto& [address, size] : s.blocks) {
    if (s.forgiven.count(address) != 0) continue;
    out << "memory block " << Hex(address) << " of " << size << " bytes\n";
  }
  for (const auto& [address, entry] : s.storages) {
    if (entry.hostOwned) continue;
    const char* kind = entry.kind == StorageKind::Text   ? "text"
                       : entry.kind == StorageKind::Path ? "path"
                                                         : "parameter id";
    out << "constructed " << kind << " at " << Hex(address);
    if (entry.kind != StorageKind::ParameterId) out << " \"" << entry.content << "\"";
    out << "\n";
  }
  for (const auto& [path, kind] : s.heapPaths) {
    out << (kind == HeapPathKind::Allocated ? "PathAlloc storage " : "PathParentOf path ")
        << Hex(path) << "\n";
  }
  for (const auto& [address, bitmap] : s.bitmaps) out << "bitmap " << Hex(address) << "\n";
  for (const auto& [address, resource] : s.resources) out << "resource " << Hex(address) << "\n";
  for (const auto& [address, table] : s.adjacencies)
    out << "neighbour table " << Hex(address) << "\n";
  for (const HostValue* value : s.filledValues) out << "filled value " << Hex(value) << "\n";
  for (const auto& [document, steps] : s.undo) {
    if (!steps.empty() && steps.back().open)
      out << "undo step left open on document " << Hex(document) << "\n";
  }
  return out.str();
}

bool LedgerBalanced() { return LedgerReport().empty(); }
void ForgiveBlock(const void* block) { S().forgiven.insert(block); }

void Reset() {
  State& s = S();
  // What the module left behind leaves the ledger (one test's leak does not
  // spill into the next one's numbers) but stays allocated: a module that
  // keeps a stale pointer across tests then trips a violation, not a crash.
  for (auto& [address, size] : s.blocks)
    s.graveyardBlocks.emplace_back(const_cast<void*>(address), &std::free);
  s.blocks.clear();
  for (auto& [path, kind] : s.heapPaths) s.graveyardPaths.emplace_back(const_cast<HostPath*>(path));
  s.heapPaths.clear();
  for (auto& [address, bitmap] : s.bitmaps) s.graveyardBitmaps.push_back(std::move(bitmap));
  for (auto& [address, resource] : s.resources) s.graveyardResources.push_back(std::move(resource));
  for (auto& [address, table] : s.adjacencies) s.graveyardAdjacencies.push_back(std::move(table));
  s.lastAdjacency = nullptr;
  s.calls.clear();
  s.calls.shrink_to_fit();
  recordingOn = true;
  s.fallibleCount = 0;
  s.injected = 0;
  for (uint64_t& n : s.opCalls) n = 0;
  ClearFaults();
  s.allocationCap = kDefaultAllocationCap;
  s.violations.clear();
  s.forgiven.clear();
  s.currentBytes = s.peakBytes = 0;
  s.storages.clear();
  s.bitmaps.clear();
  s.resources.clear();
  s.adjacencies.clear();
  s.filledValues.clear();
  s.documents.clear();
  s.objects.clear();
  s.liveNodes.clear();
  s.undo.clear();
  s.writeChecks = true;
  s.neighbourOverrides.clear();
  s.scratchSelected = {};
  s.scratchMarks = {};
  s.scratchCounts = {};
  s.scratchEntries = {};
  s.registered.clear();
  s.registerResult = 1;
  ResetTables();
}

uint32_t Bits(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

}  // namespace hostsim
