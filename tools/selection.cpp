#include "tools/selection.h"

#include <charconv>

#include "tools/failure.h"

namespace runner {

namespace {

constexpr size_t kGroupsListed = 20;

std::string GroupList(const Mesh& mesh, const std::string& meshName) {
  if (mesh.groups.empty()) return meshName + " has no groups (no g lines)";
  std::string text = "its groups: ";
  for (size_t i = 0; i < mesh.groups.size() && i < kGroupsListed; ++i) {
    const MeshGroup& g = mesh.groups[i];
    text += (i > 0 ? ", " : "") + g.name + " (" + std::to_string(g.polygons.size()) +
            (g.polygons.size() == 1 ? " polygon)" : " polygons)");
  }
  if (mesh.groups.size() > kGroupsListed)
    text += " and " + std::to_string(mesh.groups.size() - kGroupsListed) + " more";
  return text;
}

std::string PolygonRange(size_t count, const std::string& meshName) {
  if (count == 1) return meshName + " has 1 polygon (index 0)";
  return meshName + " has " + std::to_string(count) + " polygons (indices 0 to " +
         std::to_string(count - 1) + ")";
}

bool ParseIndex(const std::string& text, size_t begin, size_t end, uint64_t* value) {
  if (begin == end) return false;
  for (size_t i = begin; i < end; ++i)
    if (text[i] < '0' || text[i] > '9') return false;
  std::from_chars_result r = std::from_chars(text.data() + begin, text.data() + end, *value);
  return r.ec == std::errc() && r.ptr == text.data() + end;
}

// Marks the ranges of one spec such as "0-99,250,300-310".
void MarkRanges(const std::string& spec, std::vector<uint8_t>& selected, const std::string& meshName) {
  const std::string bad = "--select '" + spec +
                          "': expected all, none, group:NAME or polygon ranges such as "
                          "0-99,250,300-310";
  size_t begin = 0;
  for (;;) {
    size_t comma = spec.find(',', begin);
    size_t end = comma == std::string::npos ? spec.size() : comma;
    size_t dash = spec.find('-', begin);
    uint64_t first = 0, last = 0;
    if (dash != std::string::npos && dash < end) {
      if (!ParseIndex(spec, begin, dash, &first) || !ParseIndex(spec, dash + 1, end, &last))
        throw InputError(bad);
      if (last < first)
        throw InputError("--select '" + spec + "': the range " + spec.substr(begin, end - begin) +
                         " runs backwards");
    } else {
      if (!ParseIndex(spec, begin, end, &first)) throw InputError(bad);
      last = first;
    }
    if (last >= selected.size())
      throw InputError("--select '" + spec + "': polygon " + std::to_string(last) +
                       " does not exist; " + PolygonRange(selected.size(), meshName));
    for (uint64_t i = first; i <= last; ++i) selected[size_t(i)] = 1;
    if (comma == std::string::npos) return;
    begin = comma + 1;
  }
}

}  // namespace

std::vector<Segment> SelectSegments(const std::vector<std::string>& specs, const Mesh& mesh,
                                    const std::string& meshName) {
  const size_t count = mesh.polygons.size();
  std::vector<uint8_t> selected(count, specs.empty() ? 1 : 0);
  for (const std::string& spec : specs) {
    if (spec == "all") {
      std::fill(selected.begin(), selected.end(), 1);
    } else if (spec == "none") {
      // Adds nothing to the union.
    } else if (spec.compare(0, 6, "group:") == 0) {
      std::string name = spec.substr(6);
      const MeshGroup* found = nullptr;
      for (const MeshGroup& g : mesh.groups)
        if (g.name == name) found = &g;
      if (found == nullptr)
        throw InputError("--select '" + spec + "': no group '" + name + "' in " + meshName + "; " +
                         GroupList(mesh, meshName));
      for (int32_t p : found->polygons) selected[size_t(p)] = 1;
    } else {
      MarkRanges(spec, selected, meshName);
    }
  }

  std::vector<Segment> segments;
  for (size_t i = 0; i < count;) {
    if (!selected[i]) {
      ++i;
      continue;
    }
    size_t last = i;
    while (last + 1 < count && selected[last + 1]) ++last;
    segments.emplace_back(int32_t(i), int32_t(last));
    i = last + 1;
  }
  return segments;
}

int64_t SelectedCount(const std::vector<Segment>& segments) {
  int64_t total = 0;
  for (const Segment& s : segments) total += int64_t(s.second) - s.first + 1;
  return total;
}

}  // namespace runner
