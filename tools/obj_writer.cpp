#include "tools/obj_writer.h"

#include <cstring>

#include "tools/obj_text.h"

namespace runner {

namespace {

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

void WriteObj(const ObjFile& file, const std::vector<Vector>& points, OutputFile& out) {
  const std::vector<Vector>& before = file.mesh.points;
  const char* in = file.bytes.data();
  const char* inEnd = in + file.bytes.size();
  const char* cursor = in;  // everything before it is written
  for (size_t k = 0; k < points.size() && k < before.size(); ++k) {
    const float now[3] = {points[k].x, points[k].y, points[k].z};
    const float was[3] = {before[k].x, before[k].y, before[k].z};
    if (SameBits(now[0], was[0]) && SameBits(now[1], was[1]) && SameBits(now[2], was[2])) continue;
    const char* p = in + file.coordinateOffsets[k];
    for (int c = 0; c < 3; ++c) {
      p = SkipBlanks(p, inEnd);
      const char* t = TokenEnd(p, inEnd);
      if (!SameBits(now[c], was[c])) {
        out.Write(cursor, size_t(p - cursor));
        char text[kFloatTextMax];
        out.Write(text, size_t(FormatFloat(text, now[c]) - text));
        cursor = t;
      }
      p = t;
    }
  }
  out.Write(cursor, size_t(inEnd - cursor));
}

}  // namespace runner
