// A list of 32-bit indices that grows at either end inside one host block,
// with spare slots in front of the first element and behind the last.
#pragma once

#include <stdint.h>

struct IndexList {
  int32_t* block;        // owned host block, or null
  int32_t* data;         // element 0: block + frontReserve; null without a block
  int32_t frontReserve;  // free slots in front of element 0
  int32_t capacity;      // slots in the block; a multiple of blockSize
  int32_t blockSize;     // growth granularity in slots (at least 1), set by the owner
  int32_t count;         // number of elements

  // Opens n slots at index (elements from index on move n places later);
  // positions between the old count and index join the list too. With
  // zeroFill every new position is 0. False (nothing changed) for a negative
  // index or when the host cannot supply a larger block.
  bool Insert(int32_t index, int32_t n, bool zeroFill);

  // Adds value at the end; false (nothing changed) when it cannot grow.
  bool Append(int32_t value);

  // Releases the block; keeps blockSize.
  void Clear();
};

// The empty list with the given growth granularity.
inline IndexList MakeIndexList(int32_t blockSize) {
  IndexList list = {nullptr, nullptr, 0, 0, blockSize, 0};
  return list;
}
