// The module's heap routines for its own objects and scratch arrays.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Set to 1 whenever BlockAlloc serves a block from the standard heap (only
// possible before the host table is known); never cleared.
extern int32_t FallbackUsed;

// A zero-filled block of at least one byte (a size of 0 is raised to 1), or
// null. From the host's AllocMemory once the host table is known; before
// that from the standard heap, behind an all-ones marker word.
void* BlockAlloc(size_t size);

// Returns a block from BlockAlloc; null is ignored.
void BlockFree(void* block);

// The byte size of count elements of elementSize bytes, as a size request:
// a negative count or a product that does not fit size_t gives SIZE_MAX, so
// the allocation fails instead of coming back too small.
size_t ArrayByteSize(int32_t count, size_t elementSize);
