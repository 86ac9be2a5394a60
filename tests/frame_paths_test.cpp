// The frame's helpers called directly: the path operations on caller
// storage, the module folder query, resource texts and the release switch.
#include <string>
#include <vector>

#include "frame/paths.h"
#include "host/constants.h"
#include "tests/host_access_fixture.h"

namespace host_access_test {
namespace {

using hostsim::Op;

// A path the host constructs for the test; the module only reads it.
class HostMadePath {
 public:
  explicit HostMadePath(const std::string& text) { hostsim::HostConstructPath(&path_, text); }
  ~HostMadePath() { hostsim::HostDestructPath(&path_); }
  HostPath* get() { return &path_; }

 private:
  HostPath path_;
};

using FramePaths = LinkedModuleTest;

TEST_F(FramePaths, PathOperationsConstructTheCallersStorage) {
  HostMadePath first("/opt/modules");
  HostMadePath second("res");
  HostString text;
  hostsim::HostConstructText(&text, "res/icon.tif");

  HostPath fromText, copy, joined;
  EXPECT_EQ(PathFromText(&fromText, &text), &fromText);
  EXPECT_EQ(PathCopyOf(&copy, first.get()), &copy);
  EXPECT_EQ(PathConcat(&joined, first.get(), second.get()), &joined);
  EXPECT_EQ(hostsim::PathOf(&fromText), "res/icon.tif");
  EXPECT_EQ(hostsim::PathOf(&copy), "/opt/modules");
  EXPECT_EQ(hostsim::PathOf(&joined), "/opt/modules/res");
  EXPECT_EQ(hostsim::PathOf(first.get()), "/opt/modules") << "the source is left alone";

  const std::vector<Op> expected = {Op::PathConstruct, Op::PathSetText,  // from text
                                    Op::PathConstruct, Op::PathCopy,     // copy
                                    Op::PathConstruct, Op::PathCopy, Op::PathJoin};
  ASSERT_EQ(hostsim::OpSequence(), expected) << "seen: " << hostsim::OpSequenceText();
  const std::vector<hostsim::Call>& calls = hostsim::Calls();
  EXPECT_EQ(calls[1].args, (std::vector<intptr_t>{P(&fromText), P(&text)}));
  EXPECT_EQ(calls[3].args, (std::vector<intptr_t>{P(first.get()), P(&copy)}));
  EXPECT_EQ(calls[5].args, (std::vector<intptr_t>{P(first.get()), P(&joined)}));
  EXPECT_EQ(calls[6].args, (std::vector<intptr_t>{P(&joined), P(second.get())}));

  for (HostPath* path : {&fromText, &copy, &joined}) Host().path->PathDestruct(path);
  hostsim::HostDestructText(&text);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FramePaths, ModuleFolderIsTheParentOfTheModulePath) {
  struct Case {
    const char* name;
    const char* modulePath;  // null: no PluginFolder
    std::string folder;
    size_t parentQueries, parentFrees;
  };
  const Case cases[] = {{"no module path", nullptr, "", 0, 0},
                        {"absolute path", "/opt/modules/flatten.so", "/opt/modules", 1, 1},
                        {"file in the root", "/flatten.so", "/", 1, 1},
                        {"no parent known", "flatten.so", "", 1, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    hostsim::Reset();
    HostPath pluginFolder;
    if (c.modulePath != nullptr) hostsim::HostConstructPath(&pluginFolder, c.modulePath);
    PluginFolder = c.modulePath != nullptr ? &pluginFolder : nullptr;

    HostPath folder;
    EXPECT_EQ(ModuleFolder(&folder), &folder);
    EXPECT_EQ(hostsim::PathOf(&folder), c.folder);
    EXPECT_EQ(hostsim::CountOf(Op::PathParentOf), c.parentQueries);
    EXPECT_EQ(hostsim::CountOf(Op::PathFree), c.parentFrees);
    Host().path->PathDestruct(&folder);
    EXPECT_EQ(hostsim::LedgerReport(), "") << "the local path and the parent are ended";

    PluginFolder = nullptr;
    if (c.modulePath != nullptr) hostsim::HostDestructPath(&pluginFolder);
  }
}

TEST_F(FramePaths, ResourceTextFallsBackToTheDefaultText) {
  hostsim::SetDefaultText("fallback");
  EXPECT_EQ(ResourceText(kCommandNameStringId), Host().text->DefaultText);
  EXPECT_EQ(hostsim::OpSequenceText(), "") << "the default text is read, not called";

  std::string modulePath = FLATTEN_MODULE_PATH;
  HostMadePath folder(modulePath.substr(0, modulePath.rfind('/')));
  HostResource* resource = Host().resource->ResourceLoad(folder.get());
  ASSERT_NE(resource, nullptr) << "no resource beside " << modulePath;
  PluginResource.resourceHandle = resource;
  hostsim::ClearCalls();

  const HostString* name = ResourceText(kCommandNameStringId);
  ASSERT_EQ(hostsim::OpSequenceText(), "ResourceString");
  EXPECT_EQ(hostsim::Calls()[0].args,
            (std::vector<intptr_t>{P(resource), intptr_t{kCommandNameStringId}}));
  EXPECT_EQ(name, Host().resource->ResourceString(resource, kCommandNameStringId));
  EXPECT_NE(hostsim::TextOf(name), "") << "string 10000 names the command";

  ReleaseResource();
  EXPECT_EQ(PluginResource.resourceHandle, nullptr);
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

TEST_F(FramePaths, ReleaseDoesNothingForAResourceNotOwned) {
  HostMadePath modulePath(FLATTEN_MODULE_PATH);
  PluginFolder = modulePath.get();
  ASSERT_TRUE(LoadResource());
  HostResource* handle = PluginResource.resourceHandle;
  HostPath* kept = PluginResource.loadFolder;
  ASSERT_NE(kept, nullptr);
  hostsim::ClearCalls();

  PluginResource.notOwned = 1;
  ReleaseResource();
  EXPECT_EQ(hostsim::OpSequenceText(), "");
  EXPECT_EQ(PluginResource.resourceHandle, handle);
  EXPECT_EQ(PluginResource.loadFolder, kept);

  PluginResource.notOwned = 0;
  ReleaseResource();
  EXPECT_EQ(hostsim::OpSequenceText(), "ResourceFree PathDestruct PathFree");
  EXPECT_EQ(PluginResource.loadAttempted, 1) << "the attempt stays remembered";
  ReleaseResource();
  EXPECT_EQ(hostsim::OpSequenceText(), "ResourceFree PathDestruct PathFree")
      << "a second release does nothing";
  EXPECT_FALSE(LoadResource()) << "a load after a release reports the lost handle";
  EXPECT_EQ(hostsim::CountOf(Op::ResourceLoad), 0u);
  EXPECT_NE(PluginResource.loadFolder, nullptr) << "but keeps its folder again first";

  ReleaseResource();
  PluginFolder = nullptr;
  EXPECT_EQ(hostsim::LedgerReport(), "");
}

}  // namespace
}  // namespace host_access_test
