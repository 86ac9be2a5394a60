// IndexList against the stand-in host: growth, side choice, zero fill,
// failure atomicity and release of its blocks.
#include <gtest/gtest.h>
#include <stdint.h>
#include <string.h>

#include <string>
#include <vector>

#include "geometry/index_list.h"
#include "host/host.h"
#include "hostsim/hostsim.h"

namespace {

using hostsim::Op;

std::string Show(const IndexList& list) {
  std::string text = "{frontReserve " + std::to_string(list.frontReserve) + ", capacity " +
                     std::to_string(list.capacity) + ", blockSize " +
                     std::to_string(list.blockSize) + ", count " + std::to_string(list.count) +
                     ", elements [";
  for (int32_t i = 0; i < list.count && list.data != nullptr; ++i) {
    text += (i ? " " : "") + std::to_string(list.data[i]);
  }
  return text + "]}";
}

std::vector<int32_t> Elements(const IndexList& list) {
  return std::vector<int32_t>(list.data, list.data + list.count);
}

class GeometryIndexList : public ::testing::Test {
 protected:
  void SetUp() override {
    hostsim::Reset();
    HostTablePointer = hostsim::Table();
  }
  void TearDown() override {
    list.Clear();
    EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
    EXPECT_EQ("", hostsim::FirstViolation());
    HostTablePointer = nullptr;
    hostsim::Reset();
  }

  // A list holding the given values, built by appends; the call log is
  // cleared afterwards so that a test sees only its own calls.
  void Fill(const std::vector<int32_t>& values) {
    for (int32_t value : values) ASSERT_TRUE(list.Append(value));
    hostsim::ClearCalls();
  }

  // Inserts with zeroFill and checks that the invariants hold afterwards.
  bool Insert(int32_t index, int32_t n, bool zeroFill = true) {
    const bool done = list.Insert(index, n, zeroFill);
    EXPECT_GE(list.frontReserve, 0) << Show(list);
    EXPECT_LE(list.frontReserve + list.count, list.capacity) << Show(list);
    EXPECT_EQ(0, list.capacity % list.blockSize) << Show(list);
    EXPECT_EQ(list.block + list.frontReserve, list.data) << Show(list);
    return done;
  }

  IndexList list = MakeIndexList(4);
};

TEST_F(GeometryIndexList, AppendsGrowBy4Then8ThenHalfAgain) {
  // (append number, capacity after it) for every append that replaces the
  // block: the first appends follow the block-sized rule (4, 8, 12), later
  // ones grow by half of the capacity, rounded up to whole blocks.
  const std::vector<std::pair<int, int32_t>> expected = {
      {1, 4}, {2, 8}, {6, 12}, {10, 20}, {18, 32}, {30, 48}, {46, 72}, {70, 108}};
  std::vector<std::pair<int, int32_t>> seen;
  for (int i = 1; i <= 100; ++i) {
    const int32_t before = list.capacity;
    ASSERT_TRUE(list.Append(1000 + i));
    if (list.capacity != before) seen.emplace_back(i, list.capacity);
    ASSERT_EQ(3, list.frontReserve) << "after append " << i << ": the front reserve stays 3";
  }
  EXPECT_EQ(expected, seen);

  // Every block came from AllocMemoryUncleared(capacity * 4, 0, null), and
  // every replaced block went back.
  std::vector<intptr_t> sizes;
  for (const hostsim::Call& call : hostsim::Calls()) {
    if (call.op == Op::AllocMemoryUncleared) {
      sizes.push_back(call.args[0]);
      EXPECT_EQ(0, call.args[1]);
      EXPECT_EQ(0, call.args[2]);
    }
  }
  EXPECT_EQ((std::vector<intptr_t>{16, 32, 48, 80, 128, 192, 288, 432}), sizes);
  EXPECT_EQ(expected.size() - 1, hostsim::CountOf(Op::FreeMemory));
  for (int32_t i = 0; i < 100; ++i) ASSERT_EQ(1001 + i, list.data[i]) << "element " << i;
}

TEST_F(GeometryIndexList, FirstAppendTakesTheFrontSide) {
  ASSERT_TRUE(list.Append(42));
  EXPECT_EQ(4, list.capacity);
  EXPECT_EQ(3, list.frontReserve);
  EXPECT_EQ(1, list.count);
  EXPECT_EQ(42, list.data[0]);
  EXPECT_EQ(list.block + 3, list.data);
}

TEST_F(GeometryIndexList, InsertAtZeroWithinFrontReserveMovesNothing) {
  Fill({10, 11, 12});  // capacity 8, front reserve 3
  int32_t* const block = list.block;
  int32_t* const oldFirst = list.data;
  ASSERT_TRUE(Insert(0, 1));
  EXPECT_EQ(0u, hostsim::Calls().size()) << hostsim::OpSequenceText();
  EXPECT_EQ(block, list.block);
  EXPECT_EQ(2, list.frontReserve);
  EXPECT_EQ(oldFirst, list.data + 1) << "the old element 0 stays where it was";
  EXPECT_EQ((std::vector<int32_t>{0, 10, 11, 12}), Elements(list));
}

TEST_F(GeometryIndexList, FrontShortfallGrowsTheFrontReserveOnly) {
  Fill({10, 11, 12});  // capacity 8, front reserve 3, back reserve 2
  ASSERT_TRUE(Insert(0, 5));
  EXPECT_EQ(12, list.capacity) << "shortfall 2: one block of 4 more";
  EXPECT_EQ(2, list.frontReserve);
  EXPECT_EQ(2, list.capacity - list.frontReserve - list.count) << "back reserve";
  EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 0, 0, 10, 11, 12}), Elements(list));
  EXPECT_EQ(1u, hostsim::CountOf(Op::AllocMemoryUncleared));
  EXPECT_EQ(1u, hostsim::CountOf(Op::FreeMemory));

  // Again into the front half, now at index 1 of 8 with a shortfall of 1:
  // half again of 12 (18, rounded up to 20) beats 12 + 4; all 8 new slots
  // go to the front, and the head and tail are copied around the gap.
  ASSERT_TRUE(Insert(1, 3));
  EXPECT_EQ(20, list.capacity);
  EXPECT_EQ(7, list.frontReserve);
  EXPECT_EQ(2, list.capacity - list.frontReserve - list.count) << "back reserve";
  EXPECT_EQ((std::vector<int32_t>{0, 0, 0, 0, 0, 0, 0, 0, 10, 11, 12}), Elements(list));
}

TEST_F(GeometryIndexList, SideFollowsTheHalfOfTheList) {
  // The front side uses up front reserve, the back side back reserve; which
  // one shrank tells the side. Appends leave front reserve 3.
  struct Case {
    int count;
    int32_t index;
    bool front;
  } cases[] = {{4, 2, true}, {4, 3, false}, {3, 1, true}, {3, 2, false},
               {4, 0, true}, {4, 4, false}, {1, 0, true}, {1, 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("count " + std::to_string(c.count) + ", index " + std::to_string(c.index));
    list.Clear();
    std::vector<int32_t> values;
    for (int i = 0; i < c.count; ++i) values.push_back(10 + i);
    Fill(values);
    const int32_t frontBefore = list.frontReserve;
    ASSERT_TRUE(Insert(c.index, 1));
    EXPECT_EQ(c.front ? frontBefore - 1 : frontBefore, list.frontReserve) << Show(list);
    std::vector<int32_t> expected = values;
    expected.insert(expected.begin() + c.index, 0);
    EXPECT_EQ(expected, Elements(list));
  }
}

TEST_F(GeometryIndexList, InsertBeyondTheEndZeroFillsTheGap) {
  // Uncleared host blocks come filled with 0xCD bytes, so every 0 below
  // was written by the list.
  Fill({7, 8});
  ASSERT_TRUE(Insert(list.count + 3, 2));
  EXPECT_EQ((std::vector<int32_t>{7, 8, 0, 0, 0, 0, 0}), Elements(list));

  // Without zeroFill the list still takes in the gap and the opened slots
  // but leaves their contents alone.
  list.Clear();
  Fill({7, 8});
  ASSERT_TRUE(Insert(4, 1, false));
  EXPECT_EQ(5, list.count);
  EXPECT_EQ(7, list.data[0]);
  EXPECT_EQ(8, list.data[1]);
}

TEST_F(GeometryIndexList, RejectedInsertionsChangeNothing) {
  Fill({1, 2, 3, 4, 5});
  const IndexList before = list;
  const std::vector<int32_t> elements = Elements(list);
  struct Case {
    const char* why;
    int32_t index, n;
  } cases[] = {{"negative index", -1, 1},
               {"most negative index", INT32_MIN, 1},
               {"negative n", 2, -1},
               {"count beyond 32 bits", INT32_MAX, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    EXPECT_FALSE(list.Insert(c.index, c.n, true));
    EXPECT_EQ(0, memcmp(&before, &list, sizeof list)) << "seen " << Show(list);
    EXPECT_EQ(elements, Elements(list));
  }
  EXPECT_EQ(0u, hostsim::Calls().size()) << hostsim::OpSequenceText();
}

TEST_F(GeometryIndexList, RefusedBlockLeavesTheListByteForByteUnchanged) {
  struct Case {
    const char* why;
    std::vector<int32_t> values;
    int32_t index, n;
  } cases[] = {{"first block", {}, 0, 1},
               {"back side, append into a full block", {1, 2, 3, 4, 5}, 5, 1},
               {"front side, shortfall at index 0", {1, 2, 3}, 0, 5},
               {"beyond the end", {1, 2}, 40, 3}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.why);
    list.Clear();
    Fill(c.values);
    const IndexList before = list;
    hostsim::FailAt(hostsim::FallibleCount() + 1);  // the next request fails
    EXPECT_FALSE(list.Insert(c.index, c.n, true));
    EXPECT_EQ(0, memcmp(&before, &list, sizeof list)) << "seen " << Show(list);
    EXPECT_EQ(c.values, Elements(list));
    EXPECT_EQ(1u, hostsim::CountOf(Op::AllocMemoryUncleared));
    EXPECT_EQ(0u, hostsim::CountOf(Op::FreeMemory)) << "the old block is kept";
    hostsim::ClearFaults();

    // Append fails the same way and stores nothing.
    hostsim::FailAt(hostsim::FallibleCount() + 1);  // the next request fails
    if (list.frontReserve + list.count == list.capacity) {
      EXPECT_FALSE(list.Append(99));
      EXPECT_EQ(0, memcmp(&before, &list, sizeof list)) << "seen " << Show(list);
    }
    hostsim::ClearFaults();
  }
}

TEST_F(GeometryIndexList, CapacityBeyond32BitsIsRefused) {
  // A full list whose next block would need more than INT32_MAX slots. The
  // block is never touched on this path, so a small stand-in buffer will do.
  int32_t stand[4] = {};
  IndexList big = MakeIndexList(4);
  big.block = stand;
  big.data = stand;
  big.capacity = 2000000000;  // half again is beyond the 32-bit range
  big.count = big.capacity;
  const IndexList before = big;
  EXPECT_FALSE(big.Insert(big.count, 1, true));
  EXPECT_EQ(0, memcmp(&before, &big, sizeof big)) << "seen " << Show(big);
  EXPECT_EQ(0u, hostsim::CountOf(Op::AllocMemoryUncleared)) << "refused before asking the host";
}

TEST_F(GeometryIndexList, BlockSizesAreFormedIn64Bits) {
  // 1.2e9 slots grow to 1.8e9: 7.2e9 bytes, beyond 32 bits. The 32-bit build
  // cannot express it and refuses at once; the 64-bit build asks for the
  // whole size (which the stand-in host, capped at 1 GiB, refuses).
  int32_t stand[4] = {};
  IndexList big = MakeIndexList(4);
  big.block = stand;
  big.data = stand;
  big.capacity = 1200000000;
  big.count = big.capacity;
  const IndexList before = big;
  EXPECT_FALSE(big.Insert(big.count, 1, true));
  EXPECT_EQ(0, memcmp(&before, &big, sizeof big)) << "seen " << Show(big);
  if (sizeof(size_t) >= 8) {
    ASSERT_EQ(1u, hostsim::CountOf(Op::AllocMemoryUncleared));
    EXPECT_EQ(int64_t{1800000000} * 4, static_cast<int64_t>(hostsim::Calls().back().args[0]));
  } else {
    EXPECT_EQ(0u, hostsim::CountOf(Op::AllocMemoryUncleared));
  }
}

TEST_F(GeometryIndexList, ClearReleasesTheBlockAndKeepsBlockSize) {
  list = MakeIndexList(6);
  list.Clear();
  EXPECT_EQ(0u, hostsim::Calls().size()) << "nothing to release";
  EXPECT_EQ(6, list.blockSize);

  Fill({1, 2, 3});
  int32_t* const block = list.block;
  list.Clear();
  ASSERT_EQ(1u, hostsim::Calls().size()) << hostsim::OpSequenceText();
  EXPECT_EQ(Op::FreeMemory, hostsim::Calls()[0].op);
  EXPECT_EQ(reinterpret_cast<intptr_t>(block), hostsim::Calls()[0].args[0]);
  const IndexList empty = MakeIndexList(6);
  EXPECT_EQ(0, memcmp(&empty, &list, sizeof list)) << "seen " << Show(list);

  // The block size chosen by the owner rules the next growth.
  ASSERT_TRUE(list.Append(5));
  EXPECT_EQ(6, list.capacity);
  EXPECT_EQ(5, list.frontReserve);
}

TEST_F(GeometryIndexList, OneMillionAppendsReplaceTheBlockLogarithmicallyOften) {
  hostsim::SetRecording(false);
  const uint64_t requestsBefore = hostsim::FallibleCount();
  const int32_t n = 1000000;
  for (int32_t i = 0; i < n; ++i) {
    ASSERT_TRUE(list.Append(i * 3));
    // Stop early if growth is not geometric: the remaining appends would
    // copy some 10^11 elements.
    ASSERT_LT(hostsim::FallibleCount() - requestsBefore, 40u) << "blocks requested after "
                                                              << i + 1 << " appends";
  }
  ASSERT_EQ(n, list.count);
  for (int32_t i = 0; i < n; ++i) ASSERT_EQ(i * 3, list.data[i]) << "element " << i;
  // Growth by half again: about log(1e6 / 12) / log(1.5) + 3 = 31 blocks.
  // A fixed step of 4 slots would take 250000.
  EXPECT_LT(hostsim::FallibleCount() - requestsBefore, 40u) << "blocks requested";
  EXPECT_EQ(1u, hostsim::LiveBlockCount()) << "every replaced block was released";
  EXPECT_LT(list.capacity, n + n / 2 + 8) << "capacity " << list.capacity;
  hostsim::SetRecording(true);
}

TEST_F(GeometryIndexList, FrontInsertionsGrowGeometricallyToo) {
  hostsim::SetRecording(false);
  const uint64_t requestsBefore = hostsim::FallibleCount();
  for (int32_t i = 0; i < 100000; ++i) {
    ASSERT_TRUE(list.Insert(0, 1, true));
    ASSERT_LT(hostsim::FallibleCount() - requestsBefore, 40u)
        << "blocks requested after " << i + 1 << " insertions at the front";
  }
  EXPECT_EQ(100000, list.count);
  hostsim::SetRecording(true);
}

}  // namespace
