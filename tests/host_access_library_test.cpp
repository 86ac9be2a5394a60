// Extension library lookup (cache and declared-size test) and the integer
// parameter read built on library 1000467.
#include <climits>
#include <vector>

#include "host/constants.h"
#include "tests/host_access_fixture.h"

namespace host_access_test {
namespace {

using hostsim::Op;

const intptr_t kConstructAt = LibraryCellPosition(kParameterIdConstructCell);
const intptr_t kDestructAt = LibraryCellPosition(kParameterIdDestructCell);
const intptr_t kSetLevelAt = LibraryCellPosition(kParameterIdSetLevelCell);

LibraryTable* Expected() { return const_cast<LibraryTable*>(hostsim::LibraryTableAddress()); }

using HostAccessLibrary = LinkedModuleTest;

TEST_F(HostAccessLibrary, FirstFindIsCachedAndLaterLookupsAskNobody) {
  LibraryTable* cache = nullptr;
  EXPECT_EQ(LibraryLookup(kParameterIdLibraryId, kConstructAt, &cache), Expected());
  EXPECT_EQ(cache, Expected());
  ASSERT_EQ(hostsim::OpSequenceText(), "FindPlugin LibraryTableOf");
  EXPECT_EQ(hostsim::Calls()[0].args,
            (std::vector<intptr_t>{kParameterIdLibraryId, kPluginKindLibrary}));

  hostsim::ClearCalls();
  EXPECT_EQ(LibraryLookup(kParameterIdLibraryId, kSetLevelAt, &cache), Expected());
  EXPECT_EQ(hostsim::OpSequenceText(), "") << "a cached table is not looked up again";

  // Without a cache cell every lookup asks the host.
  EXPECT_EQ(LibraryLookup(kParameterIdLibraryId, kConstructAt, nullptr), Expected());
  EXPECT_EQ(LibraryLookup(kParameterIdLibraryId, kConstructAt, nullptr), Expected());
  EXPECT_EQ(hostsim::CountOf(Op::FindPlugin), 2u);
}

TEST_F(HostAccessLibrary, DeclaredSizeBoundsEveryLookup) {
  struct Case {
    int32_t declared;
    intptr_t position;
    bool found;
  };
  const Case cases[] = {
      {int32_t(kSetLevelAt), kSetLevelAt, true},  // equal is accepted
      {int32_t(kSetLevelAt), kSetLevelAt + 1, false},
      {int32_t(kSetLevelAt) - 1, kSetLevelAt, false},
      {int32_t(kSetLevelAt) - 1, kConstructAt, true},
      {0, 0, true},
      {-8, 0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "declared " << c.declared << ", position " << c.position);
    for (bool cached : {false, true}) {
      SCOPED_TRACE(cached ? "table from the cache" : "table from the host");
      hostsim::Reset();
      hostsim::SetLibraryDeclaredSize(c.declared);
      LibraryTable* cache = cached ? Expected() : nullptr;
      EXPECT_EQ(LibraryLookup(kParameterIdLibraryId, c.position, &cache),
                c.found ? Expected() : nullptr);
      // The cache keeps the table whatever the size test said.
      EXPECT_EQ(cache, Expected());
      EXPECT_EQ(hostsim::CountOf(Op::FindPlugin), cached ? 0u : 1u);
    }
  }
}

TEST_F(HostAccessLibrary, FailedFindsLeaveTheCacheEmpty) {
  struct Case {
    const char* name;
    void (*arm)();
  };
  const Case cases[] = {
      {"library absent", [] { hostsim::SetLibraryPresent(false); }},
      {"FindPlugin fails", [] { hostsim::FailOp(Op::FindPlugin, 1); }},
      {"LibraryTableOf fails", [] { hostsim::FailOp(Op::LibraryTableOf, 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hostsim::Reset();
    c.arm();
    LibraryTable* cache = nullptr;
    EXPECT_EQ(LibraryLookup(kParameterIdLibraryId, kConstructAt, &cache), nullptr);
    EXPECT_EQ(cache, nullptr);
    // The next lookup asks again and finds the library.
    hostsim::SetLibraryPresent(true);
    EXPECT_EQ(LibraryLookup(kParameterIdLibraryId, kConstructAt, &cache), Expected());
    EXPECT_EQ(hostsim::CountOf(Op::FindPlugin), 2u);
  }
  // An unknown library is simply absent.
  hostsim::Reset();
  LibraryTable* cache = nullptr;
  EXPECT_EQ(LibraryLookup(4242, kConstructAt, &cache), nullptr);
  EXPECT_EQ(cache, nullptr);
}

class HostAccessParameter : public LinkedModuleTest {
 protected:
  void SetUp() override {
    LinkedModuleTest::SetUp();
    document_ = hostsim::NewDocument();
    document_->parameters[kEnablingParameter] = kEnablingParameterValue;
  }
  int32_t Read(int32_t number = kEnablingParameter) {
    return ReadIntParameter(hostsim::AsHost(document_), number);
  }
  hostsim::SimDocument* document_ = nullptr;
};

TEST_F(HostAccessParameter, ReadBuildsReadsAndReleasesInOrder) {
  EXPECT_EQ(Read(), kEnablingParameterValue);
  const std::vector<Op> expected = {
      Op::FindPlugin,          Op::LibraryTableOf, Op::ParameterIdConstruct,
      Op::ParameterIdSetLevel, Op::GetParameter,   Op::ParameterIdDestruct,
      Op::ValueAsInteger,      Op::ValueClear};
  ASSERT_EQ(hostsim::OpSequence(), expected) << "seen: " << hostsim::OpSequenceText();
  const std::vector<hostsim::Call>& calls = hostsim::Calls();
  const intptr_t id = calls[2].args[0];
  const intptr_t value = calls[4].args[2];
  EXPECT_EQ(calls[3].args[0], id);
  EXPECT_EQ(calls[3].args[2], kEnablingParameter) << "the level names the parameter";
  EXPECT_EQ(calls[4].args, (std::vector<intptr_t>{P(document_), id, value, 0}));
  EXPECT_EQ(calls[5].args[0], id);
  EXPECT_EQ(calls[6].args[0], value);
  EXPECT_EQ(calls[7].args[0], value);
  EXPECT_EQ(hostsim::LedgerReport(), "");

  // Later reads use the cached library; any 32-bit value comes through.
  for (int32_t stored : {0, -5, INT32_MIN, INT32_MAX}) {
    hostsim::ClearCalls();
    document_->parameters[77] = stored;
    EXPECT_EQ(Read(77), stored);
    EXPECT_EQ(hostsim::CountOf(Op::FindPlugin) + hostsim::CountOf(Op::LibraryTableOf), 0u);
  }
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(HostAccessParameter, FailedReadYieldsZeroAndStillCleansUp) {
  struct Case {
    const char* name;
    int32_t number;
    bool failGet;
  };
  const Case cases[] = {{"GetParameter fails", kEnablingParameter, true},
                        {"no such parameter", 1020, false},
                        {"parameter unreadable", kEnablingParameter + 1, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hostsim::ClearCalls();
    document_->parameters[kEnablingParameter + 1] = 9;
    document_->unreadable.insert(kEnablingParameter + 1);
    if (c.failGet) hostsim::FailOp(Op::GetParameter, hostsim::CountOf(Op::GetParameter) + 1);
    EXPECT_EQ(Read(c.number), 0);
    hostsim::ClearFaults();
    EXPECT_EQ(hostsim::CountOf(Op::GetParameter), 1u);
    EXPECT_EQ(hostsim::CountOf(Op::ParameterIdDestruct), 1u) << "the id is released";
    EXPECT_EQ(hostsim::CountOf(Op::ValueClear), 1u) << "the value is cleared";
    EXPECT_EQ(hostsim::CountOf(Op::ValueAsInteger), 0u);
    EXPECT_EQ(hostsim::LedgerReport(), "");
  }
}

TEST_F(HostAccessParameter, WithoutTheConstructCellTheHostIsNotAsked) {
  struct Case {
    const char* name;
    void (*arm)();
  };
  const Case cases[] = {
      {"library absent", [] { hostsim::SetLibraryPresent(false); }},
      {"FindPlugin fails", [] { hostsim::FailOp(Op::FindPlugin, 1); }},
      {"LibraryTableOf fails", [] { hostsim::FailOp(Op::LibraryTableOf, 1); }},
      {"construct cell empty", [] { hostsim::SetLibraryCell(kParameterIdConstructCell, nullptr); }},
      {"table ends before the construct cell",
       [] { hostsim::SetLibraryDeclaredSize(int32_t(kConstructAt) - 1); }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hostsim::Reset();
    ParameterIdLibraryCache = nullptr;
    document_ = hostsim::NewDocument();
    document_->parameters[kEnablingParameter] = kEnablingParameterValue;
    c.arm();
    EXPECT_EQ(Read(), 0);
    // The id stays unbuilt: it is neither read with, nor destructed, and
    // the value the module zeroed itself needs no clearing.
    for (Op op : {Op::ParameterIdConstruct, Op::GetParameter, Op::ParameterIdDestruct,
                  Op::ValueClear})
      EXPECT_EQ(hostsim::CountOf(op), 0u) << hostsim::OpName(op) << "; seen "
                                          << hostsim::OpSequenceText();
    EXPECT_EQ(hostsim::LedgerReport(), "");
  }
}

TEST_F(HostAccessParameter, ShortTableBuildsAnIdThatIsNeverSet) {
  struct Case {
    int32_t declared;
    bool levelSet, destructed;
  };
  const Case cases[] = {
      {int32_t(kSetLevelAt), true, true},
      {int32_t(kSetLevelAt) - 1, false, true},
      {int32_t(kDestructAt), false, true},
      {int32_t(kDestructAt) - 1, false, false},
      {int32_t(kConstructAt), false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "declared size " << c.declared);
    hostsim::Reset();
    ParameterIdLibraryCache = nullptr;
    document_ = hostsim::NewDocument();
    document_->parameters[kEnablingParameter] = kEnablingParameterValue;
    hostsim::SetLibraryDeclaredSize(c.declared);
    // An id that names no parameter reads nothing.
    EXPECT_EQ(Read(), c.levelSet ? kEnablingParameterValue : 0);
    EXPECT_EQ(hostsim::CountOf(Op::ParameterIdConstruct), 1u);
    EXPECT_EQ(hostsim::CountOf(Op::ParameterIdSetLevel), c.levelSet ? 1u : 0u);
    EXPECT_EQ(hostsim::CountOf(Op::GetParameter), 1u);
    EXPECT_EQ(hostsim::CountOf(Op::ParameterIdDestruct), c.destructed ? 1u : 0u);
    EXPECT_EQ(hostsim::CountOf(Op::ValueClear), 1u);
    // A missing destruct cell leaves the id to the host.
    EXPECT_EQ(hostsim::LiveParameterIdCount(), c.destructed ? 0u : 1u);
  }
}

TEST_F(HostAccessParameter, NoHostTableReadsZero) {
  HostTablePointer = nullptr;
  EXPECT_EQ(Read(), 0);
  EXPECT_EQ(hostsim::OpSequenceText(), "");
}

}  // namespace
}  // namespace host_access_test
