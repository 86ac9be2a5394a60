// Writes an OBJ file back with new point positions and nothing else changed:
// every byte outside the rewritten coordinates is copied as it was read.
#pragma once

#include <vector>

#include "tools/obj_reader.h"
#include "tools/output_file.h"

namespace runner {

// Writes the text of file with the points moved to points (one per vertex,
// in file order). Only a coordinate whose float bits changed is rewritten, in
// the shortest form that reads back to the same float; unchanged coordinates
// keep their original text.
void WriteObj(const ObjFile& file, const std::vector<Vector>& points, OutputFile& out);

}  // namespace runner
