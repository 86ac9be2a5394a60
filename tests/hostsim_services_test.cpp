// Paths, the resource, parameter reads and registration capture: the
// services module tests read their results from.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>

#include "hostsim/hostsim.h"
#include "hostsim/module_loader.h"

namespace {

class HostSimServices : public ::testing::Test {
 protected:
  void SetUp() override { hostsim::Reset(); }
  void TearDown() override { hostsim::Reset(); }
  HostTable& host = *hostsim::Table();
};

TEST_F(HostSimServices, PathParentAndJoin) {
  struct Case {
    const char* path;
    const char* parent;  // null: no parent
  };
  for (const Case& c : {Case{"/a/b/flatten.so", "/a/b"}, Case{"/a/b/", "/a"}, Case{"/x", "/"},
                        Case{"a/b", "a"}, Case{"flatten.so", nullptr}, Case{"", nullptr}}) {
    HostPath path;
    hostsim::HostConstructPath(&path, c.path);
    HostPath* parent = host.path->PathParentOf(&path);
    if (c.parent == nullptr) {
      EXPECT_EQ(parent, nullptr) << c.path;
    } else {
      ASSERT_NE(parent, nullptr) << c.path;
      EXPECT_EQ(hostsim::PathOf(parent), c.parent) << c.path;
      host.path->PathFree(parent);  // alone: the host's parent path
    }
    hostsim::HostDestructPath(&path);
  }
  struct Join {
    const char* head;
    const char* tail;
    const char* joined;
  };
  for (const Join& j : {Join{"/a", "res", "/a/res"}, Join{"/a/", "res", "/a/res"},
                        Join{"/", "res", "/res"}, Join{"", "res", "res"}, Join{"/a", "", "/a"},
                        Join{"/a", "res/icon.tif", "/a/res/icon.tif"}}) {
    HostPath head, tail;
    hostsim::HostConstructPath(&tail, j.tail);
    hostsim::HostConstructPath(&head, j.head);
    host.path->PathJoin(&head, &tail);
    EXPECT_EQ(hostsim::PathOf(&head), j.joined) << j.head << " + " << j.tail;
    hostsim::HostDestructPath(&head);
    hostsim::HostDestructPath(&tail);
  }
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
}

TEST_F(HostSimServices, HeapPathsMustBeDestructedBeforeFree) {
  HostPath* path = host.path->PathAlloc();
  ASSERT_NE(path, nullptr);
  host.path->PathConstruct(path);
  EXPECT_FALSE(hostsim::LedgerBalanced());
  host.path->PathFree(path);
  EXPECT_EQ(hostsim::Violations().size(), 1u) << hostsim::FirstViolation();
  HostPath local;
  host.path->PathFree(&local);  // not from PathAlloc
  EXPECT_EQ(hostsim::Violations().size(), 2u);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

class HostSimResource : public HostSimServices {
 protected:
  void SetUp() override {
    HostSimServices::SetUp();
    folder = std::string(FLATTEN_BINARY_DIR) + "/hostsim-resource-test";
    std::string command = "mkdir -p '" + folder + "/res'";
    ASSERT_EQ(std::system(command.c_str()), 0);
  }
  void TearDown() override {
    std::remove((folder + "/res/strings.txt").c_str());
    HostSimServices::TearDown();
  }
  HostResource* LoadFrom(const std::string& where) {
    HostPath path;
    hostsim::HostConstructPath(&path, where);
    HostResource* resource = host.resource->ResourceLoad(&path);
    hostsim::HostDestructPath(&path);
    return resource;
  }
  HostResource* LoadText(const std::string& text) {
    std::ofstream(folder + "/res/strings.txt", std::ios::binary) << text;
    return LoadFrom(folder);
  }
  std::string folder;
};

TEST_F(HostSimResource, TheCommittedResourceNamesTheCommand) {
  HostResource* resource = LoadFrom(FLATTEN_SOURCE_DIR);
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(hostsim::Calls().back().text, FLATTEN_SOURCE_DIR);
  const HostString* name = host.resource->ResourceString(resource, 10000);
  EXPECT_EQ(hostsim::TextOf(name), "Flatten Polygons");
  // An absent id is an empty host-owned text, never null.
  const HostString* absent = host.resource->ResourceString(resource, 10001);
  ASSERT_NE(absent, nullptr);
  EXPECT_EQ(host.text->TextHasContent(absent), 0);
  host.resource->ResourceFree(resource);
  // The strings die with the resource.
  EXPECT_FALSE(hostsim::IsLiveText(name));
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
}

TEST_F(HostSimResource, MalformedOrMissingFilesFail) {
  using namespace std::string_literals;
  for (const std::string& text : {"10000Flatten\n"s, "x 1\n"s, "10000 a\n10000 b\n"s, "-5 minus\n"s,
                                  "1234567890 too long\n"s, "1 a\0b\n"s}) {
    EXPECT_EQ(LoadText(text), nullptr) << text;
  }
  EXPECT_EQ(LoadFrom(folder + "/nowhere"), nullptr);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST_F(HostSimResource, CommentsEmptyLinesAndEmptyStringsAreAccepted) {
  HostResource* resource = LoadText("# texts\n\n7 seven words here\r\n8\n");
  ASSERT_NE(resource, nullptr);
  EXPECT_EQ(hostsim::TextOf(host.resource->ResourceString(resource, 7)), "seven words here");
  EXPECT_EQ(hostsim::TextOf(host.resource->ResourceString(resource, 8)), "");
  host.resource->ResourceFree(resource);
  host.resource->ResourceFree(resource);  // twice
  EXPECT_EQ(hostsim::Violations().size(), 1u);
}

class HostSimParameters : public HostSimServices {
 protected:
  using Construct = void (*)(ParameterId*);
  using SetLevel = void (*)(ParameterId*, const ParameterLevel*);
  void* Cell(int n) {
    void* cell;
    std::memcpy(&cell, reinterpret_cast<const char*>(hostsim::LibraryTableAddress()) +
                           LibraryCellPosition(n), sizeof cell);
    return cell;
  }
  // The module's read, step by step, with the library's cells.
  int32_t Read(hostsim::SimDocument* document, int32_t number, bool setLevel, int32_t* ok) {
    ParameterId id;
    std::memset(&id, 0, sizeof id);
    reinterpret_cast<Construct>(Cell(21))(&id);
    ParameterLevel level{number, 0, 0};
    if (setLevel) reinterpret_cast<SetLevel>(Cell(23))(&id, &level);
    HostValue value{0, 0};
    *ok = host.node->GetParameter(document, &id, &value, 0);
    reinterpret_cast<Construct>(Cell(22))(&id);
    int32_t result = host.value->ValueAsInteger(&value);
    host.value->ValueClear(&value);
    return result;
  }
};

TEST_F(HostSimParameters, ReadsNeedAConstructedIdSetToALevel) {
  hostsim::SimDocument* document = hostsim::NewDocument();
  document->parameters[1019] = 7;
  document->parameters[5] = -3;
  document->unreadable.insert(5);
  int32_t ok = 0;
  EXPECT_EQ(Read(document, 1019, true, &ok), 7);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(Read(document, 1019, false, &ok), 0);  // constructed, never set
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Read(document, 5, true, &ok), 0);  // unreadable
  EXPECT_EQ(ok, 0);
  EXPECT_EQ(Read(document, 6, true, &ok), 0);  // absent
  EXPECT_EQ(ok, 0);
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();

  ParameterId unbuilt;
  std::memset(&unbuilt, 0, sizeof unbuilt);
  HostValue value{0, 0};
  EXPECT_EQ(host.node->GetParameter(document, &unbuilt, &value, 0), 0);
  HostValue dirty{3, 99};
  EXPECT_EQ(host.node->GetParameter(document, &unbuilt, &dirty, 0), 0);
  EXPECT_EQ(hostsim::Violations().size(), 3u);  // unbuilt id twice, dirty value once
}

TEST_F(HostSimParameters, FilledValuesMustBeCleared) {
  hostsim::SimDocument* document = hostsim::NewDocument();
  document->parameters[1] = 1;
  ParameterId id;
  reinterpret_cast<Construct>(Cell(21))(&id);
  ParameterLevel level{1, 0, 0};
  reinterpret_cast<SetLevel>(Cell(23))(&id, &level);
  HostValue value{0, 0};
  ASSERT_EQ(host.node->GetParameter(document, &id, &value, 0), 1);
  reinterpret_cast<Construct>(Cell(22))(&id);
  EXPECT_NE(hostsim::LedgerReport().find("filled value"), std::string::npos);
  host.value->ValueClear(&value);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST_F(HostSimParameters, LibraryLookupAndSwitches) {
  HostPluginHandle* library = host.general->FindPlugin(1000467, 28);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(host.general->FindPlugin(1000468, 28), nullptr);
  EXPECT_EQ(host.general->FindPlugin(1000467, 27), nullptr);
  int32_t header = 0, size = 0;
  void* table = nullptr;
  ASSERT_EQ(host.general->LibraryTableOf(library, &header, &size, &table), 1);
  EXPECT_EQ(table, hostsim::LibraryTableAddress());
  EXPECT_EQ(size, int32_t(8 + 24 * sizeof(void*)));
  EXPECT_EQ(static_cast<LibraryTable*>(table)->declaredSize, size);
  hostsim::SetLibraryDeclaredSize(int32_t(LibraryCellPosition(22)));
  hostsim::SetLibraryCell(21, nullptr);
  EXPECT_EQ(static_cast<LibraryTable*>(table)->declaredSize, int32_t(LibraryCellPosition(22)));
  EXPECT_EQ(Cell(21), nullptr);
  hostsim::SetLibraryPresent(false);
  EXPECT_EQ(host.general->FindPlugin(1000467, 28), nullptr);
  hostsim::Reset();
  EXPECT_NE(Cell(21), nullptr);
  EXPECT_NE(host.general->FindPlugin(1000467, 28), nullptr);
}

TEST_F(HostSimServices, RegistrationKeepsCopiesOfWhatItNeeds) {
  HostString name, help;
  host.text->TextConstruct(&name);
  host.text->TextSetAscii(&name, "Flatten Polygons", -1, 0);
  host.text->TextConstruct(&help);
  host.text->TextSetAscii(&help, "help text", -1, 0);
  HostBitmap* icon = host.image->ImageAlloc();
  HostPath file;
  hostsim::HostConstructPath(&file, FLATTEN_SOURCE_DIR "/res/icon.tif");
  ASSERT_EQ(host.image->ImageLoad(icon, &file, -1, 0), 1);
  hostsim::HostDestructPath(&file);
  CommandPluginRecord record{};
  int command = 0;
  record.command = &command;
  record.help = &help;
  record.icon = icon;
  ASSERT_EQ(host.general->RegisterPlugin(11000, 7, 1022021, &name, &record, sizeof record), 1);
  // The module frees its own texts and bitmap right after.
  host.text->TextDestruct(&name);
  host.text->TextDestruct(&help);
  host.image->ImageFree(icon);
  ASSERT_EQ(hostsim::RegisteredPlugins().size(), 1u);
  const hostsim::RegisteredPlugin& plugin = hostsim::RegisteredPlugins()[0];
  EXPECT_EQ(plugin.name, "Flatten Polygons");
  EXPECT_EQ(plugin.help, "help text");
  EXPECT_EQ(plugin.id, 1022021);
  EXPECT_EQ(plugin.recordSize, int32_t(sizeof record));
  EXPECT_TRUE(plugin.iconLoaded);
  EXPECT_EQ(plugin.iconWidth, 32);
  EXPECT_EQ(plugin.Record().command, &command);
  EXPECT_EQ(hostsim::Calls()[hostsim::Calls().size() - 4].text, "Flatten Polygons");
  EXPECT_TRUE(hostsim::Violations().empty()) << hostsim::FirstViolation();
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST(HostSimLoader, LoadsTheModuleAndReportsFailures) {
  hostsim::LoadedModule module;
  EXPECT_FALSE(module.Open(FLATTEN_BINARY_DIR "/no-such-module.so"));
  EXPECT_NE(module.Error().find("no-such-module.so"), std::string::npos) << module.Error();
  ASSERT_TRUE(module.Open(FLATTEN_MODULE_PATH)) << module.Error();
  EXPECT_NE(module.Main(), nullptr);
  EXPECT_EQ(module.Symbol("HostTablePointer"), nullptr);  // only tarvik_main is exported
  EXPECT_TRUE(module.Close()) << module.Error();
  EXPECT_FALSE(module.IsOpen());
}

}  // namespace
