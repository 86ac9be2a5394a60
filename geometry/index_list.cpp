// IndexList: the elements sit inside one host block between a front and a
// back reserve. An insertion in the first half moves the elements before it
// into the front reserve, any other insertion moves those after it into the
// back reserve. When the chosen reserve is too small the block is replaced.
//
// Growth: a replacement takes the larger of the capacity the insertion needs
// (rounded up to whole blocks) and one and a half times the old capacity
// (also rounded up to whole blocks). With block size 4 the first appends
// still give 4, 8 and 12 slots; after that growth is geometric (20, 32, ...),
// so building a list of N elements by appends copies O(N) elements in all.
//
// Every size is formed in 64 bits; a capacity beyond the 32-bit range is
// refused like a block the host cannot supply. Nothing in the list changes
// until the new block is in hand, so a failed insertion leaves every field
// as it was.
#include "geometry/index_list.h"

#include <stdint.h>
#include <string.h>

#include "host/host.h"

namespace {

const int64_t kSlotBytes = sizeof(int32_t);

// The smallest multiple of blockSize that is not below slots (both >= 1 or
// slots 0).
int64_t RoundUpToBlocks(int64_t slots, int64_t blockSize) {
  return (slots + blockSize - 1) / blockSize * blockSize;
}

// The capacity of a replacement block: what the insertion needs, or half as
// much again as the old block, whichever is larger.
int64_t GrownCapacity(int64_t needed, int64_t capacity, int64_t blockSize) {
  const int64_t required = RoundUpToBlocks(needed, blockSize);
  const int64_t geometric = RoundUpToBlocks(capacity + capacity / 2, blockSize);
  return required > geometric ? required : geometric;
}

// A block of the given number of slots from the host, or null when the host
// refuses or the size is outside the list's 32-bit range.
int32_t* AllocSlots(int64_t slots) {
  if (slots > INT32_MAX) return nullptr;
  const uint64_t bytes = static_cast<uint64_t>(slots) * static_cast<uint64_t>(kSlotBytes);
  if (bytes > SIZE_MAX) return nullptr;
  return static_cast<int32_t*>(
      Host().general->AllocMemoryUncleared(static_cast<size_t>(bytes), 0, nullptr));
}

// Copies slots elements; skipped when there is nothing to copy, since the
// old block may not exist.
inline void CopySlots(int32_t* to, const int32_t* from, int64_t slots) {
  if (slots > 0) memcpy(to, from, static_cast<size_t>(slots * kSlotBytes));
}
inline void MoveSlots(int32_t* to, const int32_t* from, int64_t slots) {
  if (slots > 0) memmove(to, from, static_cast<size_t>(slots * kSlotBytes));
}
inline void ZeroSlots(int32_t* at, int64_t slots) {
  if (slots > 0) memset(at, 0, static_cast<size_t>(slots * kSlotBytes));
}

}  // namespace

bool IndexList::Insert(int32_t index, int32_t n, bool zeroFill) {
  if (index < 0 || n < 0) return false;

  const int64_t oldCount = count;
  const int64_t at = index;
  const int64_t opened = n;
  const int64_t newCount = (oldCount > at ? oldCount : at) + opened;
  if (newCount > INT32_MAX) return false;

  // Elements in front of the insertion point (all of them when inserting
  // beyond the end) and those behind it.
  const int64_t headCount = at < oldCount ? at : oldCount;
  const int64_t tailCount = oldCount - headCount;

  // Taken in double, where every 32-bit integer is exact: 2 * index <= count.
  const bool frontSide = static_cast<double>(count) * 0.5 >= static_cast<double>(index);

  if (frontSide) {
    const int64_t r = static_cast<int64_t>(frontReserve) - opened;
    if (r >= 0) {
      // Room in front: the head moves n slots toward the block's start.
      int32_t* newData = block + r;
      MoveSlots(newData, data, headCount);
      frontReserve = static_cast<int32_t>(r);
      data = newData;
    } else {
      if (blockSize < 1) return false;
      const int64_t oldCapacity = capacity;
      const int64_t newCapacity = GrownCapacity(oldCapacity - r, oldCapacity, blockSize);
      int32_t* newBlock = AllocSlots(newCapacity);
      if (newBlock == nullptr) return false;
      // All growth goes to the front reserve; the back reserve keeps its size.
      const int64_t newFront = r + (newCapacity - oldCapacity);
      CopySlots(newBlock + newFront, data, headCount);
      CopySlots(newBlock + newFront + at + opened, data + headCount, tailCount);
      if (block != nullptr) Host().general->FreeMemory(block);
      block = newBlock;
      capacity = static_cast<int32_t>(newCapacity);
      frontReserve = static_cast<int32_t>(newFront);
      data = block + newFront;
    }
  } else {
    const int64_t needed = static_cast<int64_t>(frontReserve) + newCount;
    if (needed <= capacity) {
      // Room behind: the tail moves n slots toward the block's end.
      MoveSlots(data + at + opened, data + at, tailCount);
    } else {
      if (blockSize < 1) return false;
      const int64_t newCapacity = GrownCapacity(needed, capacity, blockSize);
      int32_t* newBlock = AllocSlots(newCapacity);
      if (newBlock == nullptr) return false;
      // The front reserve keeps its size; all growth goes to the back.
      CopySlots(newBlock + frontReserve, data, headCount);
      CopySlots(newBlock + frontReserve + at + opened, data + headCount, tailCount);
      if (block != nullptr) Host().general->FreeMemory(block);
      block = newBlock;
      capacity = static_cast<int32_t>(newCapacity);
      data = block + frontReserve;
    }
  }

  if (zeroFill) {
    ZeroSlots(data + oldCount, at - oldCount);  // the gap beyond the old end
    ZeroSlots(data + at, opened);
  }
  count = static_cast<int32_t>(newCount);
  return true;
}

bool IndexList::Append(int32_t value) {
  const int32_t index = count;
  // The common case, with the same outcome as Insert(count, 1, true): a
  // non-empty list takes the back side, and a free back slot needs no move.
  if (index > 0 && static_cast<int64_t>(frontReserve) + index < capacity) {
    data[index] = value;
    count = index + 1;
    return true;
  }
  if (index < 0 || !Insert(index, 1, true)) return false;
  data[index] = value;
  return true;
}

void IndexList::Clear() {
  if (block != nullptr) Host().general->FreeMemory(block);
  block = nullptr;
  data = nullptr;
  frontReserve = 0;
  capacity = 0;
  count = 0;
}
