// OBJ reading: two passes over the text in memory, run side by side.
//
// The runner's own scan checks every v and f line with its line number,
// reads the coordinates with correct rounding (the library's number parser
// does not round every decimal to the nearest float), notes where each
// vertex's coordinates start, for the writer, and collects the groups (the
// library ignores a bare "g", which ends the named groups).
//
// The OBJ library reads the faces. Its face references are
// resolved and range-checked here, because the library accepts out-of-range
// indices with no more than a warning. Checks that need the scan's results
// (totals, line numbers) run once both passes are done; when both passes
// find a problem, the one earlier in the file is reported.
#include "tools/obj_reader.h"

#include <sys/mman.h>

#include <cstring>
#include <exception>
#include <limits>
#include <new>
#include <optional>
#include <thread>
#include <unordered_map>

#include "tools/failure.h"
#include "tools/obj_library.h"
#include "tools/obj_text.h"
#include "tools/progress.h"

namespace runner {

namespace {

constexpr size_t kNoLine = std::numeric_limits<size_t>::max();

std::string At(const std::string& path, size_t line) {
  return path + ":" + std::to_string(line) + ": ";
}

std::string Plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string Quoted(const char* begin, const char* end) {
  constexpr size_t kMax = 40;
  size_t n = size_t(end - begin);
  return "'" + std::string(begin, n > kMax ? kMax : n) + (n > kMax ? "...'" : "'");
}

// Large arrays are filled page by page: huge pages save most of the page
// faults, which dominate filling them on some machines. Only a hint.
template <typename T>
void AdviseHugePages(const std::vector<T>& v) {
  constexpr uintptr_t kHuge = uintptr_t(1) << 21;
  uintptr_t begin = (reinterpret_cast<uintptr_t>(v.data()) + kHuge - 1) & ~(kHuge - 1);
  uintptr_t end = reinterpret_cast<uintptr_t>(v.data() + v.capacity()) & ~(kHuge - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
}

// Room for the most lines the text can hold (a v or f line takes at least 8
// bytes), so that an array never moves while it fills; pages that stay
// untouched cost nothing.
template <typename T>
void ReserveLines(std::vector<T>& v, size_t bytes) {
  try {
    v.reserve(bytes / 8 + 1);
    AdviseHugePages(v);
  } catch (const std::bad_alloc&) {
    // Not that much address space: the array grows as it fills instead.
  }
}

// One index of a face corner: an optional '-' and decimal digits, not 0 and
// within 32 bits, as the library reads it with atoi.
bool ScanIndex(const char*& p, const char* end) {
  const char* begin = p;
  if (p < end && *p == '-') ++p;
  const char* digits = p;
  while (p < end && *p >= '0' && *p <= '9') ++p;
  if (p == digits) return false;
  int32_t value = 0;
  std::from_chars_result r = std::from_chars(begin, p, value);
  return r.ec == std::errc() && r.ptr == p && value != 0;
}

// A face corner: v, v/vt, v/vt/vn or v//vn.
bool ValidCorner(const char* p, const char* end) {
  if (!ScanIndex(p, end)) return false;
  if (p == end) return true;
  if (*p++ != '/') return false;
  if (p < end && *p == '/') {
    ++p;
    return ScanIndex(p, end) && p == end;
  }
  if (!ScanIndex(p, end)) return false;
  if (p == end) return true;
  if (*p++ != '/') return false;
  return ScanIndex(p, end) && p == end;
}

// A problem found by one pass, and where.
struct Problem {
  size_t line = kNoLine;
  std::string message;  // without the file and line
};

// The runner's own pass: points, where their coordinates are, the line of
// every face, the groups, and the texture coordinate and normal totals.
class Scanner {
 public:
  explicit Scanner(ObjFile& file) : file_(file) {}

  std::vector<size_t> faceLines;
  size_t texcoords = 0;
  size_t normals = 0;
  std::optional<Problem> problem;

  void Run() {
    const size_t size = file_.bytes.size();
    ReserveLines(file_.mesh.points, size);
    ReserveLines(file_.coordinateOffsets, size);
    ReserveLines(faceLines, size);
    const char* base = file_.bytes.data();
    const char* end = base + size;
    // Most files end their lines with "\n" alone and hold no NUL byte: then
    // the line ends are found with memchr.
    const bool newlinesOnly =
        std::memchr(base, '\r', size) == nullptr && std::memchr(base, '\0', size) == nullptr;
    const char* p = base;
    size_t line = 0;
    while (p < end) {
      ++line;
      const char* e = p;
      if (newlinesOnly) {
        e = static_cast<const char*>(std::memchr(p, '\n', size_t(end - p)));
        if (e == nullptr) e = end;
      } else {
        while (e < end && *e != '\n' && *e != '\r' && *e != '\0') ++e;
        if (e < end && *e == '\0') return Fail(line, "contains a NUL byte: not an OBJ text file");
      }
      const char* s = SkipBlanks(p, e);
      if (e - s >= 2 && IsBlank(s[1])) {
        if (s[0] == 'v' && !Vertex(s + 1, e, line)) return;
        if (s[0] == 'f' && !Face(s + 1, e, line)) return;
        if (s[0] == 'g') Group(s + 1, e);
      } else if (e - s == 1 && s[0] == 'g') {
        Group(e, e);
      } else if (e - s >= 3 && s[0] == 'v' && IsBlank(s[2])) {
        if (s[1] == 't') ++texcoords;
        if (s[1] == 'n') ++normals;
      }
      // Past the line end: "\n", "\r\n" or a lone "\r".
      p = e;
      if (e < end) {
        p = e + 1;
        if (*e == '\r' && p < end && *p == '\n') ++p;
      }
    }
    file_.lineCount = line;
  }

 private:
  void Fail(size_t line, std::string message) { problem = Problem{line, std::move(message)}; }

  bool Vertex(const char* p, const char* end, size_t line) {
    Vector v{};
    float* out[3] = {&v.x, &v.y, &v.z};
    for (int k = 0; k < 3; ++k) {
      p = SkipBlanks(p, end);
      if (p == end) {
        Fail(line, "vertex with " + Plural(size_t(k), "coordinate", "coordinates") +
                       "; three are needed");
        return false;
      }
      if (k == 0) file_.coordinateOffsets.push_back(size_t(p - file_.bytes.data()));
      const char* t = TokenEnd(p, end);
      if (!ParseFloatToken(p, t, out[k])) {
        Fail(line, "vertex coordinate " + Quoted(p, t) + " is not a finite number within float range");
        return false;
      }
      p = t;
    }
    file_.mesh.points.push_back(v);
    return true;
  }

  bool Face(const char* p, const char* end, size_t line) {
    size_t corners = 0;
    for (;;) {
      p = SkipBlanks(p, end);
      if (p == end) break;
      const char* t = TokenEnd(p, end);
      if (!ValidCorner(p, t)) {
        Fail(line, "malformed face corner " + Quoted(p, t) +
                       " (expected v, v/vt, v/vt/vn or v//vn with non-zero indices)");
        return false;
      }
      ++corners;
      p = t;
    }
    if (corners < 3 || corners > 4) {
      Fail(line, "face with " + Plural(corners, "corner", "corners") +
                     (corners < 3 ? "; a face needs 3 or 4" : "; only triangles and quads can be flattened"));
      return false;
    }
    for (size_t g : current_)
      file_.mesh.groups[g].polygons.push_back(int32_t(faceLines.size()));
    faceLines.push_back(line);
    return true;
  }

  // A g line: the faces after it belong to each group it names, and to no
  // group when it names none.
  void Group(const char* p, const char* end) {
    current_.clear();
    for (;;) {
      p = SkipBlanks(p, end);
      if (p == end) return;
      const char* t = TokenEnd(p, end);
      auto [it, added] = groupIndex_.try_emplace(std::string(p, t), file_.mesh.groups.size());
      if (added) file_.mesh.groups.push_back(MeshGroup{it->first, {}});
      bool listed = false;
      for (size_t g : current_) listed = listed || g == it->second;
      if (!listed) current_.push_back(it->second);
      p = t;
    }
  }

  ObjFile& file_;
  std::unordered_map<std::string, size_t> groupIndex_;
  std::vector<size_t> current_;  // the groups of the latest g line
};

// The largest 1-based reference of one kind and the first face holding it;
// checked against the total once the scan has counted the elements.
struct LargestReference {
  int value = 0;
  size_t face = 0;
  void Note(int raw, size_t at) {
    if (raw > value) value = raw, face = at;
  }
};

// The library's pass: polygons from its events. Relative indices
// are resolved against the elements defined above the face, as the library
// counts them; 1-based ones are checked after the scan.
class MeshBuilder : public ObjEvents {
 public:
  MeshBuilder(ObjFile& file, Progress& progress) : file_(file), progress_(progress) {
    ReserveLines(file_.mesh.polygons, file.bytes.size());
  }

  // The first face the library got wrong, by face index, with the message.
  std::optional<std::pair<size_t, std::string>> problem;
  LargestReference vertex, texcoord, normal;
  size_t vertices = 0, texcoords = 0, normals = 0;

  void OnVertex() override {
    if ((++vertices & 0xFFFF) == 0) progress_.Update(Position());
  }
  void OnTexcoord() override { ++texcoords; }
  void OnNormal() override { ++normals; }

  void OnFace(const RawCorner* corners, int count) override {
    size_t face = file_.mesh.polygons.size();
    if ((face & 0xFFFF) == 0) progress_.Update(Position());
    int32_t index[4] = {0, 0, 0, 0};
    if (count < 3 || count > 4)
      Fail(face, "the OBJ library read a face with " + std::to_string(count) + " corners");
    for (int k = 0; k < count && k < 4; ++k) {
      index[k] = Resolve(corners[k].vertex, vertices, vertex, face, "vertex", "vertices");
      if (corners[k].texcoord != 0)
        Resolve(corners[k].texcoord, texcoords, texcoord, face, "texture coordinate",
                "texture coordinates");
      if (corners[k].normal != 0)
        Resolve(corners[k].normal, normals, normal, face, "normal", "normals");
    }
    file_.mesh.polygons.push_back(Polygon{index[0], index[1], index[2], index[count == 4 ? 3 : 2]});
  }

 private:
  void Fail(size_t face, std::string message) {
    if (!problem) problem.emplace(face, std::move(message));
  }

  // A 1-based index to a 0-based one (checked later), or a negative one,
  // relative to the above elements defined so far, resolved now.
  int32_t Resolve(int raw, size_t above, LargestReference& largest, size_t face, const char* one,
                  const char* many) {
    if (raw > 0) {
      largest.Note(raw, face);
      return int32_t(raw - 1);
    }
    size_t back = raw < 0 ? size_t(-int64_t(raw)) : 0;
    if (raw == 0 || back > above) {
      Fail(face, "relative " + std::string(one) + " index " + std::to_string(raw) +
                     " is out of range: " + Plural(above, one, many) + " defined above this line");
      return 0;
    }
    return int32_t(above - back);
  }

  ObjFile& file_;
  Progress& progress_;
};

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

// The face holding the largest 1-based reference when that is beyond total
// (and the face lies within the scanned lines), or nothing.
std::optional<Problem> CheckLargest(const LargestReference& largest, size_t total,
                                    const std::vector<size_t>& faceLines, const char* one,
                                    const char* many) {
  if (largest.value <= 0 || size_t(largest.value) <= total || largest.face >= faceLines.size())
    return std::nullopt;
  return Problem{faceLines[largest.face], std::string(one) + " index " + std::to_string(largest.value) +
                                              " is out of range: the file has " +
                                              Plural(total, one, many)};
}

void Parse(ObjFile& file, bool showProgress) {
  Scanner scanner(file);
  std::exception_ptr scanFailure;
  std::thread scanning([&] {
    try {
      scanner.Run();
    } catch (...) {
      scanFailure = std::current_exception();
    }
  });

  Progress progress(showProgress, "parsing " + file.path, file.bytes.size());
  MeshBuilder builder(file, progress);
  std::string warnings, error;
  bool ok = false;
  std::exception_ptr libraryFailure;
  try {
    ok = ReadWithLibrary(file.bytes.data(), file.bytes.data() + file.bytes.size(), builder,
                         &warnings, &error);
  } catch (...) {
    libraryFailure = std::current_exception();
  }
  scanning.join();
  progress.Finish();
  if (scanFailure) std::rethrow_exception(scanFailure);
  if (libraryFailure) std::rethrow_exception(libraryFailure);

  // The earliest problem either pass found. A face the scan never reached
  // lies after the scan's problem.
  std::optional<Problem> first = scanner.problem;
  auto consider = [&](std::optional<Problem> p) {
    if (p && (!first || p->line < first->line)) first = std::move(p);
  };
  const std::vector<size_t>& lines = scanner.faceLines;
  if (builder.problem && builder.problem->first < lines.size())
    consider(Problem{lines[builder.problem->first], builder.problem->second});
  // The library's totals: the scan's stop early when it finds a problem.
  consider(CheckLargest(builder.vertex, builder.vertices, lines, "vertex", "vertices"));
  consider(CheckLargest(builder.texcoord, builder.texcoords, lines, "texture coordinate",
                        "texture coordinates"));
  consider(CheckLargest(builder.normal, builder.normals, lines, "normal", "normals"));
  if (first) throw InputError(At(file.path, first->line) + first->message);

  if (!ok || !error.empty())
    throw InputError(file.path + ": the OBJ library failed: " + FirstLine(error));
  // The library only warns about some broken input; here each is an error.
  if (!warnings.empty())
    throw InputError(file.path + ": the OBJ library warns: " + FirstLine(warnings));
  if (builder.vertices != file.mesh.points.size() || file.mesh.polygons.size() != lines.size())
    throw InputError(file.path + ": the OBJ library read " +
                     Plural(builder.vertices, "vertex", "vertices") + " and " +
                     Plural(file.mesh.polygons.size(), "face", "faces") + ", the file's lines hold " +
                     Plural(file.mesh.points.size(), "vertex", "vertices") + " and " +
                     Plural(lines.size(), "face", "faces"));
  if (file.mesh.points.size() > size_t(INT32_MAX) || file.mesh.polygons.size() > size_t(INT32_MAX))
    throw InputError(file.path + ": more vertices or faces than 32-bit indices can name");
  if (file.mesh.polygons.empty())
    throw InputError(file.path + ":" + std::to_string(file.lineCount) + ": no faces to flatten (" +
                     Plural(file.mesh.points.size(), "vertex", "vertices") + ", no f lines)");
}

}  // namespace

ObjFile ReadObj(const std::string& path, bool showProgress) {
  ObjFile file;
  file.path = path;
  file.bytes = FileText::Read(path, showProgress);
  Parse(file, showProgress);
  return file;
}

}  // namespace runner
