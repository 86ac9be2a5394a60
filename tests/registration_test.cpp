// Registration of the command on action 2, through the built module: the
// arguments of RegisterPlugin, every cell of the record, and every way it
// can fail, with nothing left held afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "command/flatten.h"
#include "hostsim/hostsim.h"
#include "hostsim/session.h"
#include "hostsim/tiff.h"

namespace {

namespace fs = std::filesystem;
using hostsim::Op;

// What a test's module folder holds.
struct FolderContent {
  bool strings;      // res/strings.txt with string 10000
  std::string name;  // the text of string 10000
  enum { kNoIcon, kIcon, kBrokenIcon } icon;
};

class Registration : public ::testing::Test {
 protected:
  Registration() : session_(FLATTEN_MODULE_PATH) {}

  void SetUp() override { hostsim::Reset(); }

  void TearDown() override {
    session_.ShutDown();
    EXPECT_EQ("", hostsim::FirstViolation());
    EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
    hostsim::Reset();
  }

  // A fresh module folder for this test; returns the module path in it
  // (the file itself need not exist: only its folder is used).
  std::string MakeFolder(const FolderContent& content) {
    const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const fs::path folder = fs::path(FLATTEN_BINARY_DIR) / "registration-folders" / info->name();
    fs::remove_all(folder);
    fs::create_directories(folder / "res");
    if (content.strings) {
      std::ofstream strings(folder / "res" / "strings.txt");
      strings << "# test texts\n10000 " << content.name << "\n";
    }
    if (content.icon != FolderContent::kNoIcon) {
      std::vector<uint8_t> file;
      if (content.icon == FolderContent::kIcon) {
        file = hostsim::EncodeTiffRgb(kIconWidth, kIconHeight,
                                      std::vector<uint8_t>(kIconWidth * kIconHeight * 3, 200));
      } else {
        file = {'n', 'o', 't', ' ', 'a', ' ', 't', 'i', 'f', 'f'};
      }
      std::ofstream icon(folder / "res" / "icon.tif", std::ios::binary);
      icon.write(reinterpret_cast<const char*>(file.data()), std::streamsize(file.size()));
    }
    folder_ = folder.string();
    return (folder / "flatten.so").string();
  }

  // Loads the module and runs action 1 (with modulePath) and message 1.
  void StartWith(const std::string& modulePath) {
    ASSERT_TRUE(session_.Load()) << session_.Error();
    ASSERT_EQ(1, session_.StartWithPath(modulePath));
    session_.Message(1);
  }

  static constexpr int32_t kIconWidth = 3;
  static constexpr int32_t kIconHeight = 2;
  hostsim::Session session_;
  std::string folder_;
};

TEST_F(Registration, RegistersTheCommandWithEveryRecordCell) {
  StartWith(MakeFolder({true, "Flatten Polygons", FolderContent::kIcon}));
  const std::string heldBefore = hostsim::LedgerReport();
  hostsim::ClearCalls();
  ASSERT_EQ(1, session_.PluginStart());

  const hostsim::RegisteredPlugin* plugin = session_.Registered();
  ASSERT_NE(nullptr, plugin);
  EXPECT_EQ(11000, plugin->version);
  EXPECT_EQ(7, plugin->type);
  EXPECT_EQ(1022021, plugin->id);
  EXPECT_EQ("Flatten Polygons", plugin->name);
  EXPECT_EQ(sizeof(void*) == 8 ? 384 : 192, plugin->recordSize);
  EXPECT_TRUE(plugin->helpGiven);
  EXPECT_EQ("Flatten Polygons", plugin->help);
  EXPECT_TRUE(plugin->iconGiven);
  EXPECT_TRUE(plugin->iconLoaded);
  EXPECT_EQ(kIconWidth, plugin->iconWidth);
  EXPECT_EQ(kIconHeight, plugin->iconHeight);

  // Cells 1, 8 and 16 to 25 are set (21 excepted); every other cell is 0.
  const std::vector<int> set = {1, 8, 16, 17, 18, 19, 20, 22, 23, 24, 25};
  for (int cell = 0; cell < 48; ++cell) {
    const bool expected = std::find(set.begin(), set.end(), cell) != set.end();
    EXPECT_EQ(expected, plugin->cells[size_t(cell)] != nullptr) << "record cell " << cell;
  }
  // The object is a live module block of a Flatten's size.
  EXPECT_GE(hostsim::BlockSize(plugin->cells[8]), sizeof(Flatten));
  // Seven forwarders and release: eight different functions.
  std::vector<void*> functions;
  for (int cell : {1, 18, 19, 20, 22, 23, 24, 25}) functions.push_back(plugin->cells[size_t(cell)]);
  std::sort(functions.begin(), functions.end());
  EXPECT_EQ(functions.end(), std::adjacent_find(functions.begin(), functions.end()));

  // The call itself: 11000, 7, id, name, record, size.
  size_t registerCalls = 0;
  for (const hostsim::Call& call : hostsim::Calls()) {
    if (call.op == Op::ImageLoad) {
      EXPECT_EQ(folder_ + "/res/icon.tif", call.text) << "icon path";
      EXPECT_EQ(-1, call.args[2]);
      EXPECT_EQ(0, call.args[3]);
    }
    if (call.op == Op::TextSetAscii) {
      EXPECT_EQ(-1, call.args[2]) << call.text;
      EXPECT_EQ(0, call.args[3]) << call.text;
    }
    if (call.op != Op::RegisterPlugin) continue;
    ++registerCalls;
    ASSERT_EQ(6u, call.args.size());
    EXPECT_EQ(11000, call.args[0]);
    EXPECT_EQ(7, call.args[1]);
    EXPECT_EQ(1022021, call.args[2]);
    EXPECT_EQ(intptr_t(sizeof(CommandPluginRecord)), call.args[5]);
  }
  EXPECT_EQ(1u, registerCalls);

  // Only the command object outlives the call: name, help, icon text, the
  // paths and the bitmap are all ended.
  EXPECT_EQ(0u, hostsim::LiveBitmapCount());
  EXPECT_EQ(1u, hostsim::LiveBlockCount());
  hostsim::ForgiveBlock(plugin->cells[8]);
  EXPECT_EQ(heldBefore, hostsim::LedgerReport());
}

TEST_F(Registration, EmptyNameRegistersNothingAndSucceeds) {
  // No resource file: string 10000 comes from the host's empty default text.
  StartWith(MakeFolder({false, "", FolderContent::kIcon}));
  const std::string heldBefore = hostsim::LedgerReport();
  hostsim::ClearCalls();
  EXPECT_EQ(1, session_.PluginStart());
  EXPECT_EQ(nullptr, session_.Registered());
  EXPECT_EQ(0u, hostsim::CountOf(Op::AllocMemory)) << "a command object was made";
  EXPECT_EQ(0u, hostsim::CountOf(Op::RegisterPlugin));
  EXPECT_EQ(0u, hostsim::CountOf(Op::ImageAlloc));
  EXPECT_EQ(heldBefore, hostsim::LedgerReport());
}

TEST_F(Registration, DefaultTextNamesTheCommandWithoutResource) {
  hostsim::SetDefaultText("Plane Maker");
  StartWith(MakeFolder({false, "", FolderContent::kIcon}));
  EXPECT_EQ(1, session_.PluginStart());
  ASSERT_NE(nullptr, session_.Registered());
  EXPECT_EQ("Plane Maker", session_.Registered()->name);
}

// Every failure after the object was made: result 0, nothing registered, the
// object released, the bitmap freed (null included), nothing left held.
TEST_F(Registration, FailuresReleaseEverything) {
  struct Case {
    const char* what;
    FolderContent folder;
    Op failing;  // Op::Count_: no injected fault
    int32_t registerResult;
    size_t registerCalls;
  };
  const Case cases[] = {
      {"icon file missing", {true, "Flatten", FolderContent::kNoIcon}, Op::Count_, 1, 0},
      {"icon file unreadable", {true, "Flatten", FolderContent::kBrokenIcon}, Op::Count_, 1, 0},
      {"ImageLoad fails", {true, "Flatten", FolderContent::kIcon}, Op::ImageLoad, 1, 0},
      {"ImageAlloc yields null", {true, "Flatten", FolderContent::kIcon}, Op::ImageAlloc, 1, 0},
      {"no block for the object", {true, "Flatten", FolderContent::kIcon}, Op::AllocMemory, 1, 0},
      {"RegisterPlugin refuses", {true, "Flatten", FolderContent::kIcon}, Op::Count_, 0, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    hostsim::Reset();
    hostsim::SetRegisterResult(c.registerResult);
    StartWith(MakeFolder(c.folder));
    const std::string heldBefore = hostsim::LedgerReport();
    if (c.failing != Op::Count_) hostsim::FailOp(c.failing, 1);
    hostsim::ClearCalls();
    EXPECT_EQ(0, session_.PluginStart());
    EXPECT_EQ(nullptr, session_.Registered());
    EXPECT_EQ(c.registerCalls, hostsim::CountOf(Op::RegisterPlugin));
    EXPECT_EQ(hostsim::CountOf(Op::ImageAlloc), hostsim::CountOf(Op::ImageFree))
        << "every bitmap asked for is freed: " << hostsim::OpSequenceText();
    EXPECT_EQ(0u, hostsim::LiveBlockCount()) << "the command object was not released";
    EXPECT_EQ(heldBefore, hostsim::LedgerReport());
    EXPECT_EQ("", hostsim::FirstViolation());
    session_.ShutDown();
    EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  }
}

// Each fallible host call of action 2 fails in turn: whatever the outcome,
// nothing stays held and nothing is misused.
TEST_F(Registration, EveryFallibleCallFailingInTurnLeavesNothingHeld) {
  const std::string modulePath = MakeFolder({true, "Flatten Polygons", FolderContent::kIcon});
  StartWith(modulePath);
  const uint64_t before = hostsim::FallibleCount();
  ASSERT_EQ(1, session_.PluginStart());
  const uint64_t calls = hostsim::FallibleCount() - before;
  ASSERT_GE(calls, 3u) << "object block, bitmap, icon load and RegisterPlugin";
  session_.ShutDown();

  for (uint64_t n = 1; n <= calls; ++n) {
    SCOPED_TRACE("fallible call " + std::to_string(n) + " of action 2 fails");
    hostsim::Reset();
    StartWith(modulePath);
    const std::string heldBefore = hostsim::LedgerReport();
    hostsim::FailAt(hostsim::FallibleCount() + n);
    EXPECT_EQ(0, session_.PluginStart());
    EXPECT_EQ(nullptr, session_.Registered());
    EXPECT_EQ(1u, hostsim::InjectedFailures());
    EXPECT_EQ(heldBefore, hostsim::LedgerReport());
    EXPECT_EQ("", hostsim::FirstViolation());
    session_.ShutDown();
    EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  }
}

}  // namespace
