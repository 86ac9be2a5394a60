// General table: memory blocks with a ledger, the preamble and change signal.
#include <cstdlib>
#include <cstring>

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {
namespace {

// Exactly size bytes from the process heap, so that AddressSanitizer sees an
// access one byte past the end.
void* Serve(size_t size, bool cleared) {
  State& s = S();
  if (size > s.allocationCap) return nullptr;
  void* block = cleared ? std::calloc(1, size == 0 ? 1 : size) : std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) return nullptr;
  // Unspecified contents: a pattern the module must not take for zeros.
  if (!cleared) std::memset(block, 0xCD, size);
  s.blocks[block] = size;
  s.currentBytes += size;
  if (s.currentBytes > s.peakBytes) s.peakBytes = s.currentBytes;
  return block;
}

}  // namespace

void* AllocMemoryCell(size_t size, int32_t flags, void* reserved) {
  Record(Op::AllocMemory, {intptr_t(size), flags, P(reserved)});
  if (ShouldFail(Op::AllocMemory)) return nullptr;
  if (size == 0) Violation("AllocMemory of 0 bytes (the host requires at least 1)");
  return Serve(size, true);
}

void* AllocMemoryUnclearedCell(size_t size, int32_t flags, void* reserved) {
  Record(Op::AllocMemoryUncleared, {intptr_t(size), flags, P(reserved)});
  if (ShouldFail(Op::AllocMemoryUncleared)) return nullptr;
  return Serve(size, false);
}

void FreeMemoryCell(void* block) {
  Record(Op::FreeMemory, {P(block)});
  State& s = S();
  if (block == nullptr) {
    Violation("FreeMemory(null)");
    return;
  }
  auto found = s.blocks.find(block);
  if (found == s.blocks.end()) {
    Violation("FreeMemory of " + Hex(block) + ", a block the host did not hand out (or freed twice)");
    return;
  }
  s.currentBytes -= found->second;
  s.blocks.erase(found);
  s.forgiven.erase(block);
  std::free(block);
}

void CommandPreambleCell() { Record(Op::CommandPreamble, {}); }

void SignalChangeCell(int32_t flags) { Record(Op::SignalChange, {flags}); }

}  // namespace detail

using namespace detail;

size_t CurrentBytes() { return S().currentBytes; }
size_t PeakBytes() { return S().peakBytes; }
void ResetPeak() { S().peakBytes = S().currentBytes; }
size_t LiveBlockCount() { return S().blocks.size(); }

size_t BlockSize(const void* block) {
  auto found = S().blocks.find(block);
  return found == S().blocks.end() ? 0 : found->second;
}

}  // namespace hostsim
