// Every way a run of flatten-run can fail, with its exit code and a message
// that says what was wrong and where: 2 for usage and input, 1 for the
// module, 4 for the output.
#include "tests/runner_support.h"

namespace runner_test {
namespace {

const char* const kQuad = "v 0 0 0\nv 1 0 0.1\nv 1 1 0\nv 0 1 0.1\nf 1 2 3 4\n";

struct InputCase {
  const char* what;
  std::string text;
  std::string said;  // expected after "<file>:"
};

class RunnerInputError : public RunnerTest, public ::testing::WithParamInterface<InputCase> {};

TEST_P(RunnerInputError, NamesTheFileAndLine) {
  const InputCase& c = GetParam();
  WriteFile(Path("in.obj"), c.text);
  Outcome o = Run({Path("in.obj"), "-o", Path("out.obj")});
  EXPECT_EQ(o.exitCode, 2) << c.what << "\n" << Said(o);
  std::string expected = "flatten-run: error: " + Path("in.obj") + ":" + c.said;
  EXPECT_EQ(o.err.compare(0, expected.size(), expected), 0) << c.what << ": expected\n"
                                                            << expected << "\nseen\n" << o.err;
  EXPECT_EQ(o.out, "");
  EXPECT_FALSE(Exists(Path("out.obj"))) << "no output after an input error";
}

INSTANTIATE_TEST_SUITE_P(
    Obj, RunnerInputError,
    ::testing::Values(
        InputCase{"five corners", std::string(kQuad) + "v 2 2 2\nf 1 2 3 4 5\n",
                  "7: face with 5 corners; only triangles and quads can be flattened"},
        InputCase{"two corners", std::string(kQuad) + "f 1 2\n",
                  "6: face with 2 corners; a face needs 3 or 4"},
        InputCase{"index past the vertices", "v 0 0 0\nv 1 0 0\n\nf 1 2 3\n",
                  "4: vertex index 3 is out of range: the file has 2 vertices"},
        InputCase{"relative index before the first vertex", "v 0 0 0\nv 1 0 0\nf -1 -2 -3\nv 1 1 0\n",
                  "3: relative vertex index -3 is out of range: 2 vertices defined above this line"},
        InputCase{"texture coordinate out of range", "vt 0 0\n" + std::string(kQuad) + "f 1/1 2/2 3/1\n",
                  "7: texture coordinate index 2 is out of range: the file has 1 texture "
                  "coordinate"},
        InputCase{"normal out of range", std::string(kQuad) + "f 1//1 2//1 3//1\n",
                  "6: normal index 1 is out of range: the file has 0 normals"},
        InputCase{"zero index", std::string(kQuad) + "f 0 1 2\n", "6: malformed face corner '0'"},
        InputCase{"text in a face", std::string(kQuad) + "f 1 2 x3\n",
                  "6: malformed face corner 'x3'"},
        InputCase{"malformed coordinate", "v 0 0 0\nv 1 0,5 0\n" + std::string(kQuad),
                  "2: vertex coordinate '0,5' is not a finite number"},
        InputCase{"infinite coordinate", "v 0 0 1e39\n" + std::string(kQuad),
                  "1: vertex coordinate '1e39' is not a finite number"},
        InputCase{"two coordinates", "v 0 0\n" + std::string(kQuad),
                  "1: vertex with 2 coordinates; three are needed"},
        InputCase{"no faces", "# nothing\nv 0 0 0\n", "2: no faces to flatten (1 vertex, no f lines)"},
        InputCase{"the earlier of two problems", std::string(kQuad) + "f 1 2 9\nv 1 x 1\n",
                  "6: vertex index 9 is out of range"},
        InputCase{"a NUL byte", std::string(kQuad) + std::string("f 1 2\0 3\n", 9),
                  "6: contains a NUL byte"}));

TEST_F(RunnerTest, UnreadableInputIsAnInputError) {
  Outcome o = Run({Path("missing.obj")});
  EXPECT_EQ(o.exitCode, 2) << Said(o);
  EXPECT_NE(o.err.find("cannot open '" + Path("missing.obj") + "': No such file"), std::string::npos)
      << o.err;
  o = Run({dir_});
  EXPECT_EQ(o.exitCode, 2) << Said(o);
  EXPECT_NE(o.err.find("it is a directory"), std::string::npos) << o.err;
}

struct UsageCase {
  std::vector<std::string> args;
  std::string said;
};

class RunnerUsageError : public RunnerTest, public ::testing::WithParamInterface<UsageCase> {};

TEST_P(RunnerUsageError, PrintsTheProblemAndTheUsage) {
  const UsageCase& c = GetParam();
  Outcome o = Run(c.args);
  EXPECT_EQ(o.exitCode, 2) << Said(o);
  EXPECT_NE(o.err.find(c.said), std::string::npos) << "expected \"" << c.said << "\" in\n" << o.err;
  EXPECT_NE(o.err.find("Usage: flatten-run [options] [INPUT.obj]"), std::string::npos) << o.err;
  EXPECT_EQ(o.out, "");
}

INSTANTIATE_TEST_SUITE_P(
    CommandLine, RunnerUsageError,
    ::testing::Values(UsageCase{{"--frobnicate"}, "--frobnicate"},
                      UsageCase{{"a.obj", "b.obj"}, "b.obj"},
                      UsageCase{{"a.obj", "--matrix", "1", "2", "3"}, "--matrix"},
                      UsageCase{{"a.obj", "--matrix", "1", "0", "0", "0", "1", "0", "0", "0", "1",
                                 "0", "0", "one"},
                                "'one' (number 12 of 12) is not a finite number"},
                      UsageCase{{"a.obj", "--json", "-q"}, "--json excludes --quiet"},
                      UsageCase{{"a.obj", "-o"}, "--output"},
                      UsageCase{{"-o", "out.obj"}, "--output needs an INPUT file"},
                      UsageCase{{"--select", "all"}, "--select needs an INPUT file"}));

TEST_F(RunnerTest, MissingModuleIsAUsageErrorFoundFirst) {
  // Found before the input is read: the input does not exist either.
  Outcome o = Run({Path("missing.obj"), "--module", Path("nowhere.so")});
  EXPECT_EQ(o.exitCode, 2) << Said(o);
  EXPECT_NE(o.err.find("cannot use the module '" + Path("nowhere.so") + "'"), std::string::npos)
      << o.err;
}

TEST_F(RunnerTest, ModuleFailuresEndWithCode1) {
  WriteFile(Path("in.obj"), kQuad);
  // Not a shared library at all.
  Outcome o = Run({Path("in.obj"), "--module", Path("in.obj")});
  EXPECT_EQ(o.exitCode, 1) << Said(o);
  EXPECT_NE(o.err.find("cannot load " + Path("in.obj")), std::string::npos) << o.err;

  // The real module without its folder's resource: message 1 fails.
  ASSERT_EQ(std::system(("cp '" FLATTEN_MODULE_PATH "' '" + Path("flatten.so") + "'").c_str()), 0);
  o = Run({Path("in.obj"), "--module", Path("flatten.so"), "-o", Path("out.obj")});
  EXPECT_EQ(o.exitCode, 1) << Said(o);
  EXPECT_NE(o.err.find(Path("flatten.so") + " could not load its resource (message 1 returned -1)"),
            std::string::npos)
      << o.err;
  EXPECT_FALSE(Exists(Path("out.obj"))) << "no output when the module failed";
}

TEST_F(RunnerTest, UnwritableOutputEndsWithCode4) {
  WriteFile(Path("in.obj"), kQuad);
  Outcome o = Run({Path("in.obj"), "-o", Path("no/such/folder/out.obj")});
  EXPECT_EQ(o.exitCode, 4) << Said(o);
  EXPECT_NE(o.err.find("cannot write '" + Path("no/such/folder/out.obj") +
                       "': cannot create a temporary file in '" + Path("no/such/folder") + "'"),
            std::string::npos)
      << o.err;
  EXPECT_EQ(o.out, "") << "no report after a failed write";

  // A folder in the way: the temporary file is removed again.
  ASSERT_EQ(mkdir(Path("taken").c_str(), 0755), 0);
  o = Run({Path("in.obj"), "-o", Path("taken")});
  EXPECT_EQ(o.exitCode, 4) << Said(o);
  EXPECT_NE(o.err.find("cannot write '" + Path("taken") + "': cannot replace it"), std::string::npos)
      << o.err;
  EXPECT_EQ(ReadFile(Path("in.obj")), kQuad);
  FILE* ls = popen(("ls -A '" + dir_ + "'").c_str(), "r");
  ASSERT_NE(ls, nullptr);
  std::string listing;
  char buffer[256];
  while (fgets(buffer, sizeof buffer, ls) != nullptr) listing += buffer;
  pclose(ls);
  EXPECT_EQ(listing, "in.obj\ntaken\n");
}

}  // namespace
}  // namespace runner_test
