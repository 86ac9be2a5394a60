// flatten-run writes the flattened mesh back as OBJ: only the coordinates of
// moved points change, and they are exactly the module's results.
#include <charconv>
#include <cstring>

#include "hostsim/session.h"
#include "tests/runner_support.h"

namespace runner_test {
namespace {

// Four quads in a row, the last split into two triangles; z is noisy. Two
// of the z values are long decimals that a float parser must round with
// care: the OBJ library's own parser gets both wrong in the last bit.
//   6---7---8---9--10
//   | 0 | 1 | 2 |3/4|
//   1---2---3---4---5
const char* const kStrip =
    "# a strip of quads, noisy in z\n"
    "mtllib strip.mtl\n"
    "o strip\n"
    "v 0 0 0.01\n"
    "v 1 0 -0.0888756476342678070\n"
    "v 2.0 0 0.03\n"
    "v 3.00 0 -0.010\n"
    "v 4 0 0.02\n"
    "v 0 1 0.18937606364488602\n"
    "v 1 1 0.02\n"
    "v 2 1 -0.01\n"
    "v 3 1 0.04\n"
    "v 4 1 -0.02\n"
    "vt 0 0\n"
    "vt 1 1\n"
    "vn 0 0 1\n"
    "\n"
    "g left\n"
    "usemtl red\n"
    "s 1\n"
    "f 1/1/1 2/2/1 7/2/1 6/1/1\n"
    "f 2/1/1 3/2/1 8/2/1 7/1/1\n"
    "g right\n"
    "usemtl blue\n"
    "f 3//1 4//1 9//1 8//1\n"
    "f -7 -6 -1\n"  // relative: 4 5 10
    "f 4 10 9\n";

const std::vector<Polygon> kStripPolygons = {
    {0, 1, 6, 5}, {1, 2, 7, 6}, {2, 3, 8, 7}, {3, 4, 9, 9}, {3, 9, 8, 8}};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

// The three coordinates of a v line, read with correct rounding.
bool ReadVertex(const std::string& line, Vector* v) {
  float c[3];
  const char* p = line.data() + 1;
  const char* end = line.data() + line.size();
  for (float& value : c) {
    while (p < end && (*p == ' ' || *p == '\t')) ++p;
    std::from_chars_result r = std::from_chars(p, end, value);
    if (r.ec != std::errc()) return false;
    p = r.ptr;
  }
  *v = Vector{c[0], c[1], c[2]};
  return true;
}

std::vector<Vector> VerticesOf(const std::string& text) {
  std::vector<Vector> points;
  for (const std::string& line : Lines(text)) {
    Vector v;
    if (line.compare(0, 2, "v ") == 0 && ReadVertex(line, &v)) points.push_back(v);
  }
  return points;
}

// The module's own result for the mesh, run in this process.
std::vector<Vector> FlattenInProcess(const std::vector<Vector>& points,
                                     const std::vector<Polygon>& polygons,
                                     const std::vector<std::pair<int32_t, int32_t>>& segments,
                                     const Matrix& matrix = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}}) {
  hostsim::Reset();
  std::vector<Vector> result;
  {
    hostsim::Session session(FLATTEN_MODULE_PATH);
    EXPECT_TRUE(session.StartUp()) << session.Error();
    hostsim::SimDocument* document = hostsim::NewDocument();
    hostsim::SimObject* object = hostsim::NewPolygonObject(points, polygons, segments);
    object->matrix = matrix;
    document->active = object;
    EXPECT_NE(session.Execute(document), 0);
    result = hostsim::PointsOf(object);
    session.ShutDown();
  }
  hostsim::Reset();
  return result;
}

std::string BitsText(const Vector& v) {
  return std::to_string(hostsim::Bits(v.x)) + " " + std::to_string(hostsim::Bits(v.y)) + " " +
         std::to_string(hostsim::Bits(v.z));
}

void ExpectSameBits(const std::vector<Vector>& seen, const std::vector<Vector>& expected) {
  ASSERT_EQ(seen.size(), expected.size());
  for (size_t i = 0; i < seen.size(); ++i)
    EXPECT_EQ(std::memcmp(&seen[i], &expected[i], sizeof(Vector)), 0)
        << "point " << i << ": expected bits " << BitsText(expected[i]) << ", seen "
        << BitsText(seen[i]);
}

TEST_F(RunnerTest, RoundTripChangesOnlyTheCoordinatesOfMovedPoints) {
  WriteFile(Path("strip.obj"), kStrip);
  Outcome o = Run({Path("strip.obj"), "-o", Path("flat.obj"), "-q"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  EXPECT_EQ(o.out + o.err, "") << "a quiet run prints nothing";

  std::string written = ReadFile(Path("flat.obj"));
  std::vector<std::string> before = Lines(kStrip), after = Lines(written);
  ASSERT_EQ(after.size(), before.size()) << written;
  size_t changed = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    if (before[i] == after[i]) continue;
    ++changed;
    EXPECT_EQ(before[i].compare(0, 2, "v "), 0) << "line " << i + 1 << " changed: " << before[i]
                                                << " became " << after[i];
    EXPECT_EQ(after[i].compare(0, 2, "v "), 0) << after[i];
    EXPECT_EQ(after[i].back(), '\n');
  }
  EXPECT_GT(changed, 0u) << "nothing was flattened";

  // The written coordinates read back to exactly the module's results.
  std::vector<Vector> input = VerticesOf(kStrip);
  std::vector<Vector> expected = FlattenInProcess(input, kStripPolygons, {{0, 4}});
  ExpectSameBits(VerticesOf(written), expected);
}

TEST_F(RunnerTest, MatrixReachesTheObjectInItsOrder) {
  // Offset, then the axes: turned about z, stretched along z.
  WriteFile(Path("strip.obj"), kStrip);
  Outcome o = Run({Path("strip.obj"), "--select", "1-3", "--matrix", "1", "2", "3", "0", "1", "0",
                   "-1", "0", "0", "0", "0", "2.5", "-o", Path("flat.obj"), "-q"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  Matrix matrix{{1, 2, 3}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 2.5f}};
  ExpectSameBits(VerticesOf(ReadFile(Path("flat.obj"))),
                 FlattenInProcess(VerticesOf(kStrip), kStripPolygons, {{1, 3}}, matrix));
}

TEST_F(RunnerTest, UnchangedCoordinatesKeepTheirText) {
  // The left group only: 0-based points 3, 4, 8 and 9 belong to no selected
  // polygon and keep their text ("3.00 0 -0.010" is not how the runner would
  // write those numbers); "2.0" (point 2) is shared with the group.
  WriteFile(Path("strip.obj"), kStrip);
  Outcome o = Run({Path("strip.obj"), "--select", "group:left", "-o", Path("flat.obj"), "-q"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  std::vector<std::string> before = Lines(kStrip), after = Lines(ReadFile(Path("flat.obj")));
  ASSERT_EQ(after.size(), before.size());
  const size_t firstVertexLine = 3;
  for (int point : {3, 4, 8, 9})  // 0-based, not in the left group
    EXPECT_EQ(after[firstVertexLine + size_t(point)], before[firstVertexLine + size_t(point)]);
  EXPECT_NE(after[firstVertexLine + 0], before[firstVertexLine + 0]) << "point 0 is in the group";
}

TEST_F(RunnerTest, NothingSelectedWritesTheSameBytes) {
  WriteFile(Path("strip.obj"), kStrip);
  Outcome o = Run({Path("strip.obj"), "--select", "none", "-o", Path("same.obj"), "-q"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  EXPECT_EQ(ReadFile(Path("same.obj")), kStrip);
}

TEST_F(RunnerTest, LineEndingsSpacingAndExtraValuesSurvive) {
  // CRLF endings, tabs, a w component, a comment after the coordinates, no
  // final line end.
  const std::string text =
      "v\t0 0   0.01 1.0\r\n"
      "v 1 0 -0.02 # corner\r\n"
      "v 1 1 0.03\r\n"
      "v  0\t1 -0.04\r\n"
      "g quad\r\n"
      "f 1 2 3 4";
  WriteFile(Path("crlf.obj"), text);
  Outcome o = Run({Path("crlf.obj"), "-o", Path("flat.obj"), "-q"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  std::string written = ReadFile(Path("flat.obj"));
  std::vector<std::string> lines = Lines(written);
  ASSERT_EQ(lines.size(), 6u) << written;
  EXPECT_EQ(lines[0].compare(0, 2, "v\t"), 0) << lines[0];
  EXPECT_EQ(lines[0].substr(lines[0].size() - 6), " 1.0\r\n") << lines[0];
  EXPECT_EQ(lines[1].substr(lines[1].size() - 11), " # corner\r\n") << lines[1];
  EXPECT_EQ(lines[3].compare(0, 3, "v  "), 0) << lines[3];
  EXPECT_EQ(lines[4], "g quad\r\n");
  EXPECT_EQ(lines[5], "f 1 2 3 4");
}

TEST_F(RunnerTest, OutputMayReplaceTheInput) {
  WriteFile(Path("strip.obj"), kStrip);
  ASSERT_EQ(chmod(Path("strip.obj").c_str(), 0640), 0);
  Outcome o = Run({Path("strip.obj"), "-o", Path("strip.obj"), "-q"});
  ASSERT_EQ(o.exitCode, 0) << Said(o);
  std::string written = ReadFile(Path("strip.obj"));
  EXPECT_NE(written, kStrip);
  EXPECT_EQ(Lines(written).size(), Lines(kStrip).size());
  struct stat info {};
  ASSERT_EQ(stat(Path("strip.obj").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u) << "the file's permissions are kept";
  // No temporary file is left beside it.
  std::string listing;
  FILE* ls = popen(("ls -A '" + dir_ + "'").c_str(), "r");
  ASSERT_NE(ls, nullptr);
  char buffer[256];
  while (fgets(buffer, sizeof buffer, ls) != nullptr) listing += buffer;
  pclose(ls);
  EXPECT_EQ(listing, "strip.obj\n");
}

}  // namespace
}  // namespace runner_test
