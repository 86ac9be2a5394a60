// Reads an OBJ file into a Mesh, strictly: every face must be a triangle or a
// quad whose references exist, every vertex line must hold three finite
// numbers, and the file must define at least one face. Any problem is an
// input error naming the file and line.
#pragma once

#include <string>
#include <vector>

#include "tools/mesh.h"
#include "tools/file_text.h"

namespace runner {

struct ObjFile {
  std::string path;
  FileText bytes;  // the file exactly as read; the writer copies from it
  // Per vertex, in file order: the offset in bytes of its x coordinate.
  std::vector<size_t> coordinateOffsets;
  size_t lineCount = 0;
  Mesh mesh;
};

// Reads and parses path. showProgress: progress may be drawn (not quiet).
// Throws Failure (kExitInput) on any problem.
ObjFile ReadObj(const std::string& path, bool showProgress);

}  // namespace runner
