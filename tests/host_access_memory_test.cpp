// BlockAlloc and BlockFree: host blocks once the host table is known, marked
// standard-heap blocks before, and which way each block goes back.
#include <cstring>
#include <vector>

#include "tests/host_access_fixture.h"

namespace host_access_test {
namespace {

using hostsim::Op;

using HostAccessMemory = LinkedModuleTest;

const uintptr_t kAllOnes = ~uintptr_t{0};

uintptr_t WordBefore(const void* block) {
  uintptr_t word;
  std::memcpy(&word, static_cast<const unsigned char*>(block) - sizeof word, sizeof word);
  return word;
}

TEST_F(HostAccessMemory, HostBlocksComeFromAndGoBackToTheHost) {
  struct Case {
    size_t requested, asked;
  };
  // A request of 0 bytes asks the host for 1.
  const Case cases[] = {{0, 1}, {1, 1}, {24, 24}, {4096, 4096}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "BlockAlloc(" << c.requested << ")");
    hostsim::ClearCalls();
    void* block = BlockAlloc(c.requested);
    ASSERT_NE(block, nullptr);
    const std::vector<hostsim::Call> allocs = CallsOf(Op::AllocMemory);
    ASSERT_EQ(allocs.size(), 1u);
    EXPECT_EQ(allocs[0].args, (std::vector<intptr_t>{intptr_t(c.asked), 0, 0}));
    EXPECT_EQ(hostsim::BlockSize(block), c.asked);

    BlockFree(block);
    EXPECT_EQ(hostsim::OpSequenceText(), "AllocMemory FreeMemory");
    EXPECT_EQ(hostsim::Calls().back().args[0], P(block));
  }
  EXPECT_EQ(FallbackUsed, 0);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(HostAccessMemory, NullIsNeitherFreedNorServedFromTheHeapInstead) {
  BlockFree(nullptr);
  EXPECT_EQ(hostsim::OpSequenceText(), "") << "freeing null calls nothing";

  // A host that cannot serve is reported as null; the standard heap is only
  // for the time before the table is known.
  hostsim::FailOp(Op::AllocMemory, 1);
  EXPECT_EQ(BlockAlloc(16), nullptr);
  EXPECT_EQ(FallbackUsed, 0);
}

TEST_F(HostAccessMemory, BlocksBeforeTheTableAreMarkedHeapBlocks) {
  HostTablePointer = nullptr;
  const size_t sizes[] = {0, 1, 7, 64};
  std::vector<void*> early;
  for (size_t size : sizes) {
    void* block = BlockAlloc(size);
    ASSERT_NE(block, nullptr) << "size " << size;
    EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % sizeof(void*), 0u) << "size " << size;
    EXPECT_EQ(WordBefore(block), kAllOnes) << "size " << size;
    const std::vector<unsigned char> zeros(size == 0 ? 1 : size, 0);
    EXPECT_EQ(std::memcmp(block, zeros.data(), zeros.size()), 0) << "size " << size;
    early.push_back(block);
  }
  EXPECT_EQ(FallbackUsed, 1);
  EXPECT_EQ(hostsim::OpSequenceText(), "") << "the host is not asked before the table is set";

  // Once the table is set, new blocks come from the host, and each block
  // goes back where it came from.
  HostTablePointer = hostsim::Table();
  void* late = BlockAlloc(8);
  ASSERT_NE(late, nullptr);
  for (void* block : early) BlockFree(block);
  EXPECT_EQ(hostsim::CountOf(Op::FreeMemory), 0u) << "a heap block went to the host";
  BlockFree(late);
  ASSERT_EQ(CallsOf(Op::FreeMemory).size(), 1u);
  EXPECT_EQ(CallsOf(Op::FreeMemory)[0].args[0], P(late));
  EXPECT_EQ(FallbackUsed, 1) << "the flag is never cleared";
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(HostAccessMemory, HeapRequestsWhoseMarkerOverflowsFail) {
  HostTablePointer = nullptr;
  // The marker word would overflow the size: refused before the heap is asked.
  const size_t sizes[] = {SIZE_MAX, SIZE_MAX - sizeof(void*) + 1};
  for (size_t size : sizes) EXPECT_EQ(BlockAlloc(size), nullptr) << "size " << size;
  EXPECT_EQ(FallbackUsed, 0);
}

TEST_F(HostAccessMemory, AnAllOnesWordDoesNotMakeAHeapBlock) {
  // A block that BlockAlloc did not serve from the heap goes to the host,
  // whatever word precedes it, both before and after heap blocks were used.
  for (bool heapUsed : {false, true}) {
    SCOPED_TRACE(heapUsed ? "after a heap block" : "no heap block so far");
    hostsim::Reset();
    void* heapBlock = nullptr;
    if (heapUsed) {
      HostTablePointer = nullptr;
      heapBlock = BlockAlloc(8);
      ASSERT_NE(heapBlock, nullptr);
      HostTablePointer = hostsim::Table();
    }
    alignas(void*) uintptr_t words[3] = {kAllOnes, 0, 0};
    void* block = &words[1];
    BlockFree(block);
    const std::vector<hostsim::Call> frees = CallsOf(Op::FreeMemory);
    ASSERT_EQ(frees.size(), 1u) << "seen: " << hostsim::OpSequenceText();
    EXPECT_EQ(frees[0].args[0], P(block));
    BlockFree(heapBlock);
    EXPECT_EQ(hostsim::CountOf(Op::FreeMemory), 1u);
  }
  // The stand-in host rightly objects to the block it never handed out.
  hostsim::Reset();
}

TEST_F(HostAccessMemory, HeapBlocksBeyondTheRegistryAreRefused) {
  HostTablePointer = nullptr;
  std::vector<void*> served;
  void* block = nullptr;
  while (served.size() < 1000 && (block = BlockAlloc(4)) != nullptr) served.push_back(block);
  ASSERT_EQ(block, nullptr) << "heap blocks are not limited";
  EXPECT_GT(served.size(), 0u);

  // A freed block makes room for the next one.
  BlockFree(served.back());
  served.back() = BlockAlloc(4);
  EXPECT_NE(served.back(), nullptr);
  HostTablePointer = hostsim::Table();
  for (void* each : served) BlockFree(each);
  EXPECT_EQ(hostsim::OpSequenceText(), "") << "every heap block went back to the heap";
}

TEST_F(HostAccessMemory, ArrayByteSizeNeverComesBackTooSmall) {
  struct Case {
    int32_t count;
    size_t elementSize;
    uint64_t expected;  // SIZE_MAX when the request cannot be served
  };
  const bool wide = sizeof(size_t) == 8;
  const Case cases[] = {
      {0, 16, 0},
      {3, 4, 12},
      {-1, 4, SIZE_MAX},
      {INT32_MIN, 1, SIZE_MAX},
      {INT32_MAX, 1, uint64_t(INT32_MAX)},
      {INT32_MAX, 16, wide ? uint64_t(INT32_MAX) * 16 : SIZE_MAX},
      {2, SIZE_MAX, SIZE_MAX},
  };
  for (const Case& c : cases)
    EXPECT_EQ(uint64_t(ArrayByteSize(c.count, c.elementSize)), c.expected)
        << c.count << " x " << c.elementSize;
}

}  // namespace
}  // namespace host_access_test
