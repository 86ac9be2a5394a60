// --select: all, none, index ranges and groups, repeatable as a union; what
// reaches the command is the runs of consecutive selected polygons, and the
// report's regions follow them.
#include <nlohmann/json.hpp>

#include "tests/runner_support.h"

namespace runner_test {
namespace {

// Eight quads in a row, polygon k between points k and k + 1 of each row:
//   9--10--11--12--13--14--15--16--17
//   | 0 | 1 | 2 | 3 | 4 | 5 | 6 | 7 |
//   0---1---2---3---4---5---6---7---8
// Groups: a = 0-2, "a mid" = 3 (in both a and mid), b = 5-7; 4 in none.
std::string Strip() {
  std::string text = "# eight quads in a row\n";
  for (int row = 0; row < 2; ++row)
    for (int i = 0; i < 9; ++i)
      text += "v " + std::to_string(i) + " " + std::to_string(row) + " " +
              ((i + row) % 2 ? "0.05" : "-0.05") + "\n";
  auto quad = [](int k) {
    return "f " + std::to_string(k + 1) + " " + std::to_string(k + 2) + " " +
           std::to_string(k + 11) + " " + std::to_string(k + 10) + "\n";
  };
  text += "g a\n" + quad(0) + quad(1) + quad(2);
  text += "g a mid\n" + quad(3);
  text += "g\n" + quad(4);
  text += "g b\n" + quad(5) + quad(6) + quad(7);
  return text;
}

struct SelectionCase {
  std::vector<std::string> specs;
  int selected;
  int segments;
  std::vector<std::pair<int, int>> regions;  // seed, polygons
};

void PrintTo(const SelectionCase& c, std::ostream* os) {
  *os << "--select";
  for (const std::string& spec : c.specs) *os << " " << spec;
}

class RunnerSelection : public RunnerTest, public ::testing::WithParamInterface<SelectionCase> {};

TEST_P(RunnerSelection, SelectsTheUnionAsRunsOfPolygons) {
  const SelectionCase& c = GetParam();
  WriteFile(Path("strip.obj"), Strip());
  std::vector<std::string> args = {Path("strip.obj"), "--json"};
  for (const std::string& spec : c.specs) args.insert(args.end(), {"--select", spec});
  Outcome o = Run(args);
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  nlohmann::json report = nlohmann::json::parse(o.out);
  const nlohmann::json& run = report["runs"][0];
  EXPECT_EQ(run["selected"], c.selected) << o.out;
  EXPECT_EQ(run["segments"], c.segments) << o.out;
  std::vector<std::pair<int, int>> regions;
  for (const nlohmann::json& r : run["regions"]) regions.emplace_back(r["seed"], r["polygons"]);
  EXPECT_EQ(regions, c.regions) << o.out;
}

INSTANTIATE_TEST_SUITE_P(
    Forms, RunnerSelection,
    ::testing::Values(SelectionCase{{}, 8, 1, {{0, 8}}},
                      SelectionCase{{"all"}, 8, 1, {{0, 8}}},
                      SelectionCase{{"none"}, 0, 0, {}},
                      SelectionCase{{"0-1,4"}, 3, 2, {{0, 2}, {4, 1}}},
                      SelectionCase{{"7,0,3-3"}, 3, 3, {{0, 1}, {3, 1}, {7, 1}}},
                      SelectionCase{{"group:a"}, 4, 1, {{0, 4}}},
                      SelectionCase{{"group:mid"}, 1, 1, {{3, 1}}},
                      SelectionCase{{"group:b", "2"}, 4, 2, {{2, 1}, {5, 3}}},
                      SelectionCase{{"none", "6-7", "group:mid"}, 3, 2, {{3, 1}, {6, 2}}},
                      SelectionCase{{"group:a", "group:b", "4"}, 8, 1, {{0, 8}}}));

struct SelectionError {
  std::string spec;
  std::vector<std::string> said;  // fragments of the message
};

void PrintTo(const SelectionError& c, std::ostream* os) { *os << "--select " << c.spec; }

class RunnerSelectionError : public RunnerTest,
                             public ::testing::WithParamInterface<SelectionError> {};

TEST_P(RunnerSelectionError, NamesTheProblemAndWhatExists) {
  const SelectionError& c = GetParam();
  WriteFile(Path("strip.obj"), Strip());
  Outcome o = Run({Path("strip.obj"), "--select", "0", "--select", c.spec});
  EXPECT_EQ(o.exitCode, 2) << Said(o);
  EXPECT_EQ(o.out, "");
  for (const std::string& fragment : c.said)
    EXPECT_NE(o.err.find(fragment), std::string::npos) << "expected \"" << fragment << "\" in:\n"
                                                       << o.err;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, RunnerSelectionError,
    ::testing::Values(
        SelectionError{"group:c",
                       {"--select 'group:c'", "no group 'c'", "a (4 polygons)", "mid (1 polygon)",
                        "b (3 polygons)"}},
        SelectionError{"2-8", {"polygon 8 does not exist", "8 polygons (indices 0 to 7)"}},
        SelectionError{"5-3", {"5-3 runs backwards"}},
        SelectionError{"1-", {"--select '1-'", "expected all, none, group:NAME or polygon ranges"}},
        SelectionError{"-1", {"expected all, none, group:NAME"}},
        SelectionError{"1,,2", {"expected all, none, group:NAME"}},
        SelectionError{"All", {"expected all, none, group:NAME"}}));

// A region is every polygon the neighbour table links to its seed, across
// any of the four edges: here the quads are listed right to left, so the
// seed (polygon 0, on the right) reaches the others across its last edge.
//   8---7---6---5
//   | 2 | 1 | 0 |
//   1---2---3---4
TEST_F(RunnerTest, RegionsFollowEveryEdge) {
  WriteFile(Path("left.obj"),
            "v 0 0 0\nv 1 0 0.1\nv 2 0 0\nv 3 0 0.1\nv 3 1 0\nv 2 1 0.1\nv 1 1 0\nv 0 1 0.1\n"
            "f 3 4 5 6\nf 2 3 6 7\nf 1 2 7 8\n");
  Outcome o = Run({Path("left.obj"), "--json"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  nlohmann::json regions = nlohmann::json::parse(o.out)["runs"][0]["regions"];
  ASSERT_EQ(regions.size(), 1u) << o.out;
  EXPECT_EQ(regions[0]["seed"], 0);
  EXPECT_EQ(regions[0]["polygons"], 3);
  EXPECT_EQ(regions[0]["points"], 8);
}

}  // namespace
}  // namespace runner_test
