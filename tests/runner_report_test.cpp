// What flatten-run reports: per region the polygons, the points moved and the
// flatness before and after, totals and times; as text or as JSON. Without
// an input it runs its demo.
#include <nlohmann/json.hpp>

#include "tests/runner_support.h"

namespace runner_test {
namespace {

TEST_F(RunnerTest, DemoReportAsJson) {
  Outcome o = Run({"--json", "--check-undo"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  EXPECT_EQ(o.err, "");
  nlohmann::json report = nlohmann::json::parse(o.out);  // throws when it is no JSON
  EXPECT_TRUE(report["input"].is_null());
  EXPECT_TRUE(report["output"].is_null());
  EXPECT_EQ(report["module"], FLATTEN_MODULE_PATH) << "flatten.so beside the runner by default";
  ASSERT_EQ(report["runs"].size(), 2u) << o.out;
  int64_t moved = 0;
  for (const nlohmann::json& run : report["runs"]) {
    ASSERT_EQ(run["regions"].size(), 1u) << run.dump();
    const nlohmann::json& region = run["regions"][0];
    EXPECT_EQ(region["polygons"], run["selected"]);
    EXPECT_GT(region["points_moved"].get<int64_t>(), 0);
    EXPECT_LE(region["points_moved"], region["points"]);
    EXPECT_GT(region["max_distance_before"].get<double>(), 0.05) << "the demo grid is bumpy";
    EXPECT_LT(region["max_distance_after"].get<double>(), 1e-5) << "and comes out flat";
    EXPECT_TRUE(run["undo_checked"].get<bool>());
    EXPECT_EQ(run["matrix"].size(), 12u);
    moved += region["points_moved"].get<int64_t>();
  }
  EXPECT_NE(report["runs"][1]["matrix"], report["runs"][0]["matrix"]) << "the second run is tilted";
  EXPECT_EQ(report["totals"]["regions"], 2);
  EXPECT_EQ(report["totals"]["points_moved"], moved);
  for (const char* time : {"load", "module_start", "execute", "neighbour_build"})
    EXPECT_GE(report["times_ms"][time].get<double>(), 0.0) << time;
  EXPECT_TRUE(report["times_ms"]["write"].is_null()) << "nothing was written";
}

TEST_F(RunnerTest, TextReportListsRegionsAndTotals) {
  // Two separate patches of a 4x1 strip: polygons 0 and 2-3.
  WriteFile(Path("strip.obj"),
            "v 0 0 0\nv 1 0 0.1\nv 2 0 0\nv 3 0 0.1\nv 4 0 0\n"
            "v 0 1 0.1\nv 1 1 0\nv 2 1 0.1\nv 3 1 0\nv 4 1 0.1\n"
            "f 1 2 7 6\nf 2 3 8 7\nf 3 4 9 8\nf 4 5 10 9\n");
  Outcome o = Run({Path("strip.obj"), "--select", "0,2-3", "--check-undo", "-o", Path("out.obj")});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  EXPECT_EQ(o.err, "") << "no progress when stderr is no terminal";
  for (const std::string& fragment :
       {Path("strip.obj") + ": 4 polygons, 10 points; 3 selected in 2 segments",
        std::string("region"), std::string("undo checked: every point came back bit for bit"),
        std::string("total: 2 regions, 3 polygons flattened"), std::string("write "),
        "wrote " + Path("out.obj")})
    EXPECT_NE(o.out.find(fragment), std::string::npos) << "expected \"" << fragment << "\" in\n"
                                                       << o.out;
}

TEST_F(RunnerTest, QuietPrintsNothing) {
  Outcome o = Run({"-q"});
  EXPECT_EQ(o.exitCode, 0) << Said(o);
  EXPECT_EQ(o.out + o.err, "");
}

TEST_F(RunnerTest, HelpAndVersion) {
  Outcome help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0) << Said(help);
  const std::string usage = "Usage: flatten-run [options] [INPUT.obj]\n";
  EXPECT_EQ(help.out.compare(0, usage.size(), usage), 0) << help.out;
  for (const char* option : {"--output", "--select", "--matrix", "--module", "--json",
                             "--check-undo", "--quiet", "--version", "Exit codes"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  Outcome version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0) << Said(version);
  EXPECT_EQ(version.out.compare(0, 12, "flatten-run "), 0) << version.out;
}

}  // namespace
}  // namespace runner_test
