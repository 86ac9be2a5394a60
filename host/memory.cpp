#include "host/memory.h"

#include <stdlib.h>

#include "host/host.h"

int32_t FallbackUsed = 0;

namespace {

// The word in front of a block served from the standard heap.
const uintptr_t kFallbackMarker = ~static_cast<uintptr_t>(0);

// The heap blocks currently served. BlockFree recognises a heap block by
// this list, not by reading the word in front of it: in front of a host
// block that word lies outside the block. The module allocates nothing before
// action 1, so a few slots are plenty; when they are taken BlockAlloc
// reports null as for a failed heap.
enum { kFallbackCapacity = 16 };
void* fallbackBlocks[kFallbackCapacity];

int FreeFallbackSlot() {
  for (int i = 0; i < kFallbackCapacity; ++i)
    if (fallbackBlocks[i] == nullptr) return i;
  return -1;
}

}  // namespace

void* BlockAlloc(size_t size) {
  if (size == 0) size = 1;
  if (HostTablePointer != nullptr) return Host().general->AllocMemory(size, 0, nullptr);

  // Before the host table is known, blocks come from the standard heap,
  // marked by an all-ones word in front and listed for BlockFree.
  if (size > SIZE_MAX - sizeof(uintptr_t)) return nullptr;
  const int slot = FreeFallbackSlot();
  if (slot < 0) return nullptr;
  void* allocation = calloc(1, size + sizeof(uintptr_t));
  if (allocation == nullptr) return nullptr;
  uintptr_t* marker = static_cast<uintptr_t*>(allocation);
  *marker = kFallbackMarker;
  FallbackUsed = 1;
  fallbackBlocks[slot] = marker + 1;
  return marker + 1;
}

void BlockFree(void* block) {
  if (block == nullptr) return;
  if (FallbackUsed != 0) {
    for (int i = 0; i < kFallbackCapacity; ++i) {
      if (fallbackBlocks[i] != block) continue;
      fallbackBlocks[i] = nullptr;
      free(static_cast<uintptr_t*>(block) - 1);
      return;
    }
  }
  // Without a host table the block cannot be a host block; nothing to do.
  if (HostTablePointer == nullptr) return;
  Host().general->FreeMemory(block);
}

size_t ArrayByteSize(int32_t count, size_t elementSize) {
  if (count < 0) return SIZE_MAX;
  // Tested by division: in the 64-bit build the product itself can wrap.
  const size_t n = static_cast<size_t>(count);
  if (elementSize != 0 && n > SIZE_MAX / elementSize) return SIZE_MAX;
  return n * elementSize;
}
