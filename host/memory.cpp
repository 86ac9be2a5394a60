#include "host/memory.h"

#include <stdlib.h>
#include <string.h>

#include "host/host.h"

int32_t FallbackUsed = 0;

namespace {
// The word in front of a block served from the standard heap.
const uintptr_t kFallbackMarker = ~static_cast<uintptr_t>(0);
}  // namespace

void* BlockAlloc(size_t size) {
  if (size == 0) size = 1;
  if (HostTablePointer != nullptr) return Host().general->AllocMemory(size, 0, nullptr);

  // Before the host table is known, blocks come from the standard heap with
  // a marker word in front so that BlockFree can tell them apart later.
  if (size > SIZE_MAX - sizeof(uintptr_t)) return nullptr;
  void* allocation = calloc(1, size + sizeof(uintptr_t));
  if (allocation == nullptr) return nullptr;
  uintptr_t* marker = static_cast<uintptr_t*>(allocation);
  *marker = kFallbackMarker;
  FallbackUsed = 1;
  return marker + 1;
}

void BlockFree(void* block) {
  if (block == nullptr) return;
  if (FallbackUsed != 0) {
    uintptr_t* marker = static_cast<uintptr_t*>(block) - 1;
    uintptr_t word;
    memcpy(&word, marker, sizeof word);
    if (word == kFallbackMarker) {
      free(marker);
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
