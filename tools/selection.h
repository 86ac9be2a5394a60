// The polygon selection from --select specs: all | none | index ranges such
// as 0-99,250,300-310 (0-based, in file order) | group:NAME. Several specs
// select their union. The host receives the selection as segments.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tools/mesh.h"

namespace runner {

using Segment = std::pair<int32_t, int32_t>;  // first and last polygon, inclusive

// The maximal runs of consecutive selected polygons, ascending. No specs
// selects all. meshName names the mesh in messages. Throws Failure
// (kExitInput) for a malformed spec, an unknown group or an index beyond the
// last polygon; the message lists what exists.
std::vector<Segment> SelectSegments(const std::vector<std::string>& specs, const Mesh& mesh,
                                    const std::string& meshName);

// Number of polygons the segments cover.
int64_t SelectedCount(const std::vector<Segment>& segments);

}  // namespace runner
