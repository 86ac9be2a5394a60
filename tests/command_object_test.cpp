// The Flatten object as the host sees it through the registration record:
// its state rule, the default operations, and its destruction.
#include <climits>
#include <new>

#include "command/flatten.h"
#include "host/host.h"
#include "host/memory.h"
#include "command_support.h"

namespace {

using command_test::CommandFixture;
using hostsim::Op;

class CommandObject : public CommandFixture {};

TEST_F(CommandObject, QueryStateIsEnabledExactlyForSeven) {
  struct Case {
    const char* what;
    bool readable;
    int32_t value;
    int32_t expected;
  };
  hostsim::ClearCalls();
  const Case cases[] = {
      {"7", true, 7, 0x40000000},     {"0", true, 0, 0},
      {"6", true, 6, 0},              {"8", true, 8, 0},
      {"-1", true, -1, 0},            {"INT_MIN", true, INT_MIN, 0},
      {"-7", true, -7, 0},            {"unreadable 7", false, 7, 0},
  };
  for (const Case& c : cases) {
    document_->parameters[kEnablingParameter] = c.value;
    document_->unreadable.clear();
    if (!c.readable) document_->unreadable.insert(kEnablingParameter);
    EXPECT_EQ(c.expected, session_.QueryState(document_)) << "parameter 1019 " << c.what;
  }
  // The state is read through the parameter, not remembered: nothing of a
  // run is needed, and the read leaves nothing held.
  EXPECT_EQ(0u, hostsim::CountOf(Op::AllocMemory));
}

TEST_F(CommandObject, QueryStateReadsTheDocumentsParameter1019) {
  document_->parameters[kEnablingParameter] = 7;
  document_->parameters[kEnablingParameter + 1] = 0;
  hostsim::ClearCalls();
  EXPECT_EQ(0x40000000, session_.QueryState(document_));
  ASSERT_EQ(1u, hostsim::CountOf(Op::GetParameter)) << hostsim::OpSequenceText();
  for (const hostsim::Call& call : hostsim::Calls()) {
    if (call.op == Op::GetParameter) {
      EXPECT_EQ(reinterpret_cast<intptr_t>(document_), call.args[0]) << "node read";
    }
  }
  // Another parameter holding 7 does not enable the command.
  document_->parameters[kEnablingParameter] = 0;
  document_->parameters[kEnablingParameter + 1] = 7;
  EXPECT_EQ(0, session_.QueryState(document_));
}

TEST_F(CommandObject, DefaultOperationsAnswerThroughTheRecord) {
  const CommandPluginRecord record = Record();
  void* command = record.command;
  int argument1 = 0, argument2 = 0;
  hostsim::ClearCalls();
  EXPECT_EQ(0, record.extraAction(command, &argument1, &argument2)) << "slot 2";
  EXPECT_EQ(0, record.extraRequest(command, &argument1, &argument2)) << "slot 4";
  EXPECT_EQ(1, record.extraCheck(command, &argument1)) << "slot 5";
  EXPECT_EQ(1, record.extraConfirm(command, &argument1, &argument2)) << "slot 7";
  EXPECT_EQ(0u, hostsim::Calls().size()) << "defaults call the host: " << hostsim::OpSequenceText();

  // Slot 6 constructs an empty text in the caller's storage; the caller
  // (here the test, as the host) destructs it.
  HostString text;
  std::memset(&text, 0xA5, sizeof text);
  EXPECT_EQ(&text, record.extraText(command, &text));
  ASSERT_TRUE(hostsim::IsLiveText(&text)) << "slot 6 left no text";
  EXPECT_EQ("", hostsim::TextOf(&text));
  EXPECT_EQ(std::vector<Op>{Op::TextConstruct}, hostsim::OpSequence());
  hostsim::HostDestructText(&text);
}

TEST_F(CommandObject, ReleaseDestroysTheObjectAndFreesItsBlock) {
  const CommandPluginRecord record = Record();
  void* command = record.command;
  EXPECT_NE(0u, hostsim::BlockSize(command)) << "the command object is no live module block";
  hostsim::ClearCalls();
  ASSERT_TRUE(session_.Release());
  // Between runs the list holds no block, so the object's own block is all
  // that goes.
  EXPECT_EQ(std::vector<Op>{Op::FreeMemory}, hostsim::OpSequence()) << hostsim::OpSequenceText();
  EXPECT_EQ(0u, hostsim::BlockSize(command));
  // A null object is ignored.
  hostsim::ClearCalls();
  record.release(nullptr);
  EXPECT_EQ(0u, hostsim::Calls().size());
}

TEST_F(CommandObject, ReleaseAfterRunsLeavesNothingHeld) {
  auto mesh = command_test::Grid(2, 1, [](int32_t i, int32_t) { return i == 1 ? 1.0f : 0.0f; });
  hostsim::SimObject* object = hostsim::NewPolygonObject(mesh.first, mesh.second, {{0, 1}});
  EXPECT_EQ(1, Run(object));
  EXPECT_EQ(1, Run(object));
  const size_t liveBefore = hostsim::LiveBlockCount();
  ASSERT_TRUE(session_.Release());
  EXPECT_EQ(liveBefore - 1, hostsim::LiveBlockCount()) << "release freed more or less than the object";
  EXPECT_EQ(0u, hostsim::LiveBlockCount()) << hostsim::LedgerReport();
}

// Destruction with a filled list, which the host never gets to see (the list
// is empty between runs): built directly on the module's sources. The module
// is compiled without run-time type information, so the sanitizer's dynamic
// type check cannot run on its objects.
__attribute__((no_sanitize("vptr"))) void DestroyWithFilledList() {
  hostsim::Reset();
  HostTable* saved = HostTablePointer;
  HostTablePointer = hostsim::Table();
  void* block = BlockAlloc(sizeof(Flatten));
  ASSERT_NE(nullptr, block);
  Flatten* flatten = new (block) Flatten();
  EXPECT_EQ(nullptr, flatten->regionPolygons.block);
  EXPECT_EQ(4, flatten->regionPolygons.blockSize);
  EXPECT_EQ(0, flatten->regionPolygons.count);
  for (int32_t i = 0; i < 6; ++i) ASSERT_TRUE(flatten->regionPolygons.Append(i));
  const int32_t* listBlock = flatten->regionPolygons.block;
  hostsim::ClearCalls();

  EXPECT_EQ(flatten, flatten->Destroy(1));
  ASSERT_EQ(2u, hostsim::Calls().size()) << hostsim::OpSequenceText();
  EXPECT_EQ(reinterpret_cast<intptr_t>(listBlock), hostsim::Calls()[0].args[0]) << "list first";
  EXPECT_EQ(reinterpret_cast<intptr_t>(block), hostsim::Calls()[1].args[0]) << "then the object";
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();

  // Without bit 0 the storage stays: the caller owns it.
  block = BlockAlloc(sizeof(Flatten));
  flatten = new (block) Flatten();
  hostsim::ClearCalls();
  flatten->Destroy(0);
  EXPECT_EQ(0u, hostsim::Calls().size()) << hostsim::OpSequenceText();
  EXPECT_NE(0u, hostsim::BlockSize(block));
  BlockFree(block);

  EXPECT_EQ("", hostsim::FirstViolation());
  HostTablePointer = saved;
  hostsim::Reset();
}

TEST(CommandObjectDirect, DestroyFreesTheListBlockThenTheObject) { DestroyWithFilledList(); }

}  // namespace
