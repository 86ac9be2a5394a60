// Fault injection: which calls count, which one fails, and that a failure
// looks like the host's own. A miscount would make "fail the Nth call for
// every N" tests skip calls silently.
#include <gtest/gtest.h>

#include "hostsim/hostsim.h"

namespace {

class HostSimFaults : public ::testing::Test {
 protected:
  void SetUp() override { hostsim::Reset(); }
  void TearDown() override { hostsim::Reset(); }
  HostTable& host = *hostsim::Table();

  // One call of each fallible operation, in a fixed order; returns which
  // ones failed as a string of 0/1, and releases what succeeded.
  std::string CallEachFallible() {
    std::string failed;
    void* block = host.general->AllocMemory(8, 0, nullptr);
    failed += block == nullptr ? '1' : '0';
    void* raw = host.general->AllocMemoryUncleared(8, 0, nullptr);
    failed += raw == nullptr ? '1' : '0';
    HostPath* path = host.path->PathAlloc();
    failed += path == nullptr ? '1' : '0';
    HostBitmap* bitmap = host.image->ImageAlloc();
    failed += bitmap == nullptr ? '1' : '0';
    HostPath file;
    hostsim::HostConstructPath(&file, FLATTEN_SOURCE_DIR "/res/icon.tif");
    failed += bitmap == nullptr || host.image->ImageLoad(bitmap, &file, -1, 0) != 1 ? '1' : '0';
    HostPath folder;
    hostsim::HostConstructPath(&folder, FLATTEN_SOURCE_DIR);
    HostResource* resource = host.resource->ResourceLoad(&folder);
    failed += resource == nullptr ? '1' : '0';
    HostAdjacency* table = host.adjacency->AdjacencyBuild(0, nullptr, 0, nullptr);
    failed += table == nullptr ? '1' : '0';
    HostPluginHandle* library = host.general->FindPlugin(kParameterIdLibraryId, 28);
    failed += library == nullptr ? '1' : '0';
    int32_t a, b;
    void* libraryTable = nullptr;
    failed += library == nullptr || host.general->LibraryTableOf(library, &a, &b, &libraryTable) == 0
                  ? '1'
                  : '0';
    hostsim::SimDocument* document = hostsim::NewDocument();
    HostValue value{0, 0};
    failed += host.node->GetParameter(document, nullptr, &value, 0) == 0 ? '1' : '0';
    HostString name;
    hostsim::HostConstructText(&name, "x");
    CommandPluginRecord record{};
    failed += host.general->RegisterPlugin(11000, 7, 1, &name, &record, sizeof record) == 0 ? '1'
                                                                                            : '0';
    if (block != nullptr) host.general->FreeMemory(block);
    if (raw != nullptr) host.general->FreeMemory(raw);
    if (path != nullptr) host.path->PathFree(path);
    host.image->ImageFree(bitmap);
    if (resource != nullptr) host.resource->ResourceFree(resource);
    host.adjacency->AdjacencyFree(table);
    hostsim::HostDestructPath(&file);
    hostsim::HostDestructPath(&folder);
    hostsim::HostDestructText(&name);
    return failed;
  }
};

TEST_F(HostSimFaults, EveryFallibleOperationCountsOnce) {
  std::string failed = CallEachFallible();
  // GetParameter with a null id fails on its own (and says so).
  EXPECT_EQ(failed, "00000000010");
  EXPECT_EQ(hostsim::FallibleCount(), 11u);
  EXPECT_EQ(hostsim::InjectedFailures(), 0u);
}

TEST_F(HostSimFaults, FailAtHitsExactlyTheNthCall) {
  for (uint64_t n = 1; n <= 9; ++n) {
    hostsim::Reset();
    hostsim::FailAt(n);
    std::string failed = CallEachFallible();
    std::string expected = "00000000010";
    expected[n - 1] = '1';
    // A failed ImageAlloc leaves nothing to load; a failed FindPlugin
    // nothing to ask for its table: those count no call of their own.
    if (n == 4) expected = "00011000010";
    if (n == 8) expected = "00000001110";
    EXPECT_EQ(failed, expected) << "failing call " << n;
    EXPECT_EQ(hostsim::InjectedFailures(), 1u) << "failing call " << n;
    EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  }
}

TEST_F(HostSimFaults, FromThenOnFailsEveryLaterCall) {
  hostsim::FailAt(3, true);
  // ImageLoad and LibraryTableOf are skipped after their predecessors fail.
  EXPECT_EQ(CallEachFallible(), "00111111111");
  EXPECT_EQ(hostsim::FallibleCount(), 9u);
}

TEST_F(HostSimFaults, FailOpCountsPerOperation) {
  hostsim::FailOp(hostsim::Op::AllocMemory, 2);
  void* first = host.general->AllocMemory(4, 0, nullptr);
  void* other = host.general->AllocMemoryUncleared(4, 0, nullptr);
  void* second = host.general->AllocMemory(4, 0, nullptr);
  void* third = host.general->AllocMemory(4, 0, nullptr);
  EXPECT_NE(first, nullptr);
  EXPECT_NE(other, nullptr);
  EXPECT_EQ(second, nullptr);
  EXPECT_NE(third, nullptr);
  for (void* block : {first, other, third}) host.general->FreeMemory(block);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST_F(HostSimFaults, RequestsAboveTheCapFail) {
  EXPECT_EQ(host.general->AllocMemory(SIZE_MAX, 0, nullptr), nullptr);
  EXPECT_EQ(host.general->AllocMemoryUncleared((size_t(1) << 30) + 1, 0, nullptr), nullptr);
  hostsim::SetAllocationCap(64);
  EXPECT_EQ(host.general->AllocMemory(65, 0, nullptr), nullptr);
  void* block = host.general->AllocMemory(64, 0, nullptr);
  EXPECT_NE(block, nullptr);
  host.general->FreeMemory(block);
  EXPECT_EQ(hostsim::InjectedFailures(), 0u);  // refused, not injected
}

TEST_F(HostSimFaults, RecordingOffKeepsCountingAndChecking) {
  hostsim::SetRecording(false);
  hostsim::FailAt(2);
  void* a = host.general->AllocMemory(4, 0, nullptr);
  void* b = host.general->AllocMemory(4, 0, nullptr);
  EXPECT_NE(a, nullptr);
  EXPECT_EQ(b, nullptr);
  host.general->FreeMemory(nullptr);
  EXPECT_TRUE(hostsim::Calls().empty());
  EXPECT_EQ(hostsim::Violations().size(), 1u);
  EXPECT_FALSE(hostsim::LedgerBalanced());
  host.general->FreeMemory(a);
}

TEST_F(HostSimFaults, CallsAreRecordedWithArgumentsAndText) {
  HostString text;
  host.text->TextConstruct(&text);
  host.text->TextSetAscii(&text, "icon.tif", -1, 0);
  host.text->TextDestruct(&text);
  ASSERT_EQ(hostsim::OpSequenceText(), "TextConstruct TextSetAscii TextDestruct");
  const hostsim::Call& set = hostsim::Calls()[1];
  EXPECT_EQ(set.text, "icon.tif");
  ASSERT_EQ(set.args.size(), 4u);
  EXPECT_EQ(set.args[0], reinterpret_cast<intptr_t>(&text));
  EXPECT_EQ(set.args[2], -1);
  EXPECT_EQ(set.args[3], 0);
  EXPECT_EQ(hostsim::CountOf(hostsim::Op::TextDestruct), 1u);
}

TEST_F(HostSimFaults, UnusedCellsTrapInsteadOfCrashing) {
  using Cell = intptr_t (*)();
  Cell cell = reinterpret_cast<Cell>(reinterpret_cast<void**>(host.general)[2]);
  EXPECT_EQ(cell(), 0);
  EXPECT_EQ(hostsim::CountOf(hostsim::Op::UnusedCell), 1u);
  EXPECT_EQ(hostsim::Violations().size(), 1u);
}

TEST_F(HostSimFaults, VersionIsSettableAndResetRestoresIt) {
  hostsim::SetVersion(10999);
  EXPECT_EQ(int32_t(hostsim::Table()->version), 10999);
  hostsim::Reset();
  EXPECT_EQ(int32_t(hostsim::Table()->version), 11000);
}

}  // namespace
