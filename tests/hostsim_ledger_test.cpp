// The stand-in host's ledger: what it counts as misuse and as a leak. A
// ledger that missed these would let module faults pass silently.
#include <gtest/gtest.h>

#include <cstring>

#include "hostsim/hostsim.h"

namespace {

class HostSimLedger : public ::testing::Test {
 protected:
  void SetUp() override { hostsim::Reset(); }
  void TearDown() override { hostsim::Reset(); }
  HostTable& host = *hostsim::Table();
};

TEST_F(HostSimLedger, BalancedTextAndPathPairsLeaveNothing) {
  HostString text;
  HostPath path;
  host.text->TextConstruct(&text);
  host.text->TextSetAscii(&text, "a/b", -1, 0);
  host.path->PathConstruct(&path);
  host.path->PathSetText(&path, &text);
  EXPECT_EQ(hostsim::PathOf(&path), "a/b");
  host.path->PathDestruct(&path);
  host.text->TextDestruct(&text);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
}

TEST_F(HostSimLedger, DoubleDestructIsReportedOnce) {
  HostString text;
  host.text->TextConstruct(&text);
  host.text->TextDestruct(&text);
  host.text->TextDestruct(&text);
  ASSERT_EQ(hostsim::Violations().size(), 1u);
  EXPECT_NE(hostsim::FirstViolation().find("TextDestruct"), std::string::npos)
      << hostsim::FirstViolation();
}

TEST_F(HostSimLedger, ConstructOverALiveObjectIsReported) {
  HostPath path;
  host.path->PathConstruct(&path);
  host.path->PathConstruct(&path);
  ASSERT_EQ(hostsim::Violations().size(), 1u);
  EXPECT_NE(hostsim::FirstViolation().find("over a live path"), std::string::npos)
      << hostsim::FirstViolation();
  host.path->PathDestruct(&path);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST_F(HostSimLedger, UseBeforeConstructIsReported) {
  HostString zeroed;
  std::memset(&zeroed, 0, sizeof zeroed);
  EXPECT_EQ(host.text->TextHasContent(&zeroed), 0);
  ASSERT_EQ(hostsim::Violations().size(), 1u);
  EXPECT_NE(hostsim::FirstViolation().find("not constructed"), std::string::npos)
      << hostsim::FirstViolation();
  // Heap path storage is unconstructed until PathConstruct, too.
  HostPath* path = host.path->PathAlloc();
  host.path->PathCopy(path, path);
  EXPECT_EQ(hostsim::Violations().size(), 3u);  // source and destination
  host.path->PathFree(path);
}

TEST_F(HostSimLedger, CopiedStorageIsNotALiveText) {
  // The module may not copy opaque storage byte for byte: the copy is no text.
  HostString text, copy;
  host.text->TextConstruct(&text);
  std::memcpy(&copy, &text, sizeof copy);
  host.text->TextDestruct(&copy);
  EXPECT_FALSE(hostsim::Violations().empty());
  EXPECT_FALSE(hostsim::LedgerBalanced());  // the original is still alive
  host.text->TextDestruct(&text);
}

TEST_F(HostSimLedger, DestructOfHostOwnedTextIsReported) {
  host.text->TextDestruct(const_cast<HostString*>(host.text->DefaultText));
  EXPECT_FALSE(hostsim::Violations().empty());
  EXPECT_TRUE(hostsim::IsLiveText(host.text->DefaultText));
}

TEST_F(HostSimLedger, ForeignAndNullFreesAreReportedAndLeaksListed) {
  void* block = host.general->AllocMemory(16, 0, nullptr);
  ASSERT_NE(block, nullptr);
  int local = 0;
  host.general->FreeMemory(&local);
  host.general->FreeMemory(nullptr);
  EXPECT_EQ(hostsim::Violations().size(), 2u);
  std::string report = hostsim::LedgerReport();
  EXPECT_NE(report.find("16 bytes"), std::string::npos) << report;
  host.general->FreeMemory(block);
  host.general->FreeMemory(block);  // twice
  EXPECT_EQ(hostsim::Violations().size(), 3u);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST_F(HostSimLedger, MemoryStatsTrackCurrentAndPeak) {
  void* a = host.general->AllocMemory(100, 0, nullptr);
  void* b = host.general->AllocMemoryUncleared(50, 0, nullptr);
  EXPECT_EQ(hostsim::CurrentBytes(), 150u);
  host.general->FreeMemory(a);
  EXPECT_EQ(hostsim::CurrentBytes(), 50u);
  EXPECT_EQ(hostsim::PeakBytes(), 150u);
  hostsim::ResetPeak();
  EXPECT_EQ(hostsim::PeakBytes(), 50u);
  host.general->FreeMemory(b);
}

TEST_F(HostSimLedger, StalePointersAcrossResetMeetViolationsNotFreedMemory) {
  void* block = host.general->AllocMemory(32, 0, nullptr);
  HostPath* path = host.path->PathAlloc();
  host.path->PathConstruct(path);
  hostsim::Reset();
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  // A module that kept these across the Reset: reported, nothing freed twice.
  host.path->PathDestruct(path);
  host.path->PathFree(path);
  host.general->FreeMemory(block);
  EXPECT_EQ(hostsim::Violations().size(), 3u);
}

}  // namespace
