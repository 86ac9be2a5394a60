// Documents, objects and selections: GeometryTable, the document's active
// object, SelectionTable and the node calls IsOfType and SendMessage.
#include <cstring>

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {
namespace {

constexpr int32_t kDocumentType = 1;

}  // namespace

SimNode* NodeFrom(void* node, const char* op) {
  if (node == nullptr) {
    Violation(std::string(op) + " with a null node");
    return nullptr;
  }
  if (S().liveNodes.count(node) == 0) {
    Violation(std::string(op) + " on " + Hex(node) + ", which is no node of the host");
    return nullptr;
  }
  return static_cast<SimNode*>(node);
}

SimDocument* DocumentFrom(HostDocument* document, const char* op) {
  auto found = S().liveNodes.find(document);
  if (document == nullptr || found == S().liveNodes.end() || !found->second) {
    Violation(std::string(op) + " on " + Hex(document) + ", which is no document of the host");
    return nullptr;
  }
  return reinterpret_cast<SimDocument*>(document);
}

SimObject* ObjectFrom(HostObject* object, const char* op) {
  auto found = S().liveNodes.find(object);
  if (object == nullptr || found == S().liveNodes.end() || found->second) {
    Violation(std::string(op) + " on " + Hex(object) + ", which is no object of the host");
    return nullptr;
  }
  return reinterpret_cast<SimObject*>(object);
}

uint64_t HashPoints(const SimObject* object) {
  // 64-bit words through a multiply-xor mix: cheap enough for millions of
  // points, and any changed bit changes the hash with near certainty.
  const unsigned char* bytes = reinterpret_cast<const unsigned char*>(object->points.data.get());
  size_t size = object->points.size * sizeof(Vector);
  uint64_t h = 0x9E3779B97F4A7C15ull ^ size;
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    uint64_t word;
    std::memcpy(&word, bytes + i, 8);
    h = (h ^ word) * 0xFF51AFD7ED558CCDull;
    h ^= h >> 29;
  }
  for (; i < size; ++i) h = (h ^ bytes[i]) * 0x100000001B3ull;
  return h;
}

Matrix ObjectGlobalMatrixCell(HostObject* object) {
  Record(Op::ObjectGlobalMatrix, {P(object)});
  SimObject* o = ObjectFrom(object, "ObjectGlobalMatrix");
  return o != nullptr ? o->matrix : Matrix{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
}

void* TagDataWritableCell(HostObject* object, int32_t type, int32_t index) {
  Record(Op::TagDataWritable, {P(object), type, index});
  SimObject* o = ObjectFrom(object, "TagDataWritable");
  if (o == nullptr || type != kPointTag || index != 0 || o->nullPoints) return nullptr;
  // From here on the host watches the points: every change must happen inside
  // an undo step that recorded the object first.
  if (S().writeChecks && !o->guarded) {
    o->guarded = true;
    o->guardHash = HashPoints(o);
  }
  return o->points.data.get();
}

int32_t TagDataCountCell(HostObject* object, int32_t type) {
  Record(Op::TagDataCount, {P(object), type});
  SimObject* o = ObjectFrom(object, "TagDataCount");
  if (o == nullptr) return 0;
  if (type == kPolygonTag)
    return o->overridePolygonCount ? o->reportedPolygonCount : int32_t(o->polygons.size);
  if (type == kPointTag)
    return o->overridePointCount ? o->reportedPointCount : int32_t(o->points.size);
  return 0;
}

HostSelection* PolygonSelectionOfCell(HostObject* object) {
  Record(Op::PolygonSelectionOf, {P(object)});
  SimObject* o = ObjectFrom(object, "PolygonSelectionOf");
  if (o == nullptr || o->nullSelection) return nullptr;
  return AsHost(&o->selection);
}

const void* TagDataReadableCell(HostObject* object, int32_t type, int32_t index) {
  Record(Op::TagDataReadable, {P(object), type, index});
  SimObject* o = ObjectFrom(object, "TagDataReadable");
  if (o == nullptr || index != 0) return nullptr;
  if (type == kPolygonTag) return o->nullPolygons ? nullptr : o->polygons.data.get();
  if (type == kPointTag) return o->nullPoints ? nullptr : o->points.data.get();
  return nullptr;
}

HostObject* ActiveObjectOfCell(HostDocument* document) {
  Record(Op::ActiveObjectOf, {P(document)});
  SimDocument* d = DocumentFrom(document, "ActiveObjectOf");
  return d != nullptr ? AsHost(d->active) : nullptr;
}

int32_t SelectionSegmentCell(HostSelection* selection, int32_t n, int32_t* first, int32_t* last) {
  Record(Op::SelectionSegment, {P(selection), n, P(first), P(last)});
  SimSelection* sel = reinterpret_cast<SimSelection*>(selection);
  bool live = false;
  for (const auto& object : S().objects) live = live || &object->selection == sel;
  if (!live) {
    Violation("SelectionSegment on " + Hex(selection) + ", which is no selection of the host");
    return 0;
  }
  if (first == nullptr || last == nullptr) {
    Violation("SelectionSegment with a null out argument");
    return 0;
  }
  if (n < 0 || size_t(n) >= sel->segments.size()) return 0;
  *first = sel->segments[size_t(n)].first;
  *last = sel->segments[size_t(n)].second;
  return 1;
}

int32_t IsOfTypeCell(HostObject* object, int32_t type) {
  Record(Op::IsOfType, {P(object), type});
  SimNode* node = NodeFrom(object, "IsOfType");
  return node != nullptr && node->type == type ? 1 : 0;
}

int32_t SendMessageCell(HostObject* object, int32_t message, void* data) {
  Record(Op::SendMessage, {P(object), message, P(data)});
  SimNode* node = NodeFrom(object, "SendMessage");
  if (node == nullptr) return 0;
  auto found = S().liveNodes.find(object);
  if (!found->second) reinterpret_cast<SimObject*>(object)->messages.push_back(message);
  return 1;
}

}  // namespace detail

using namespace detail;

SimDocument* NewDocument() {
  auto document = std::make_unique<SimDocument>();
  document->magic = kNodeMagic;
  document->type = kDocumentType;
  SimDocument* d = document.get();
  S().documents.push_back(std::move(document));
  S().liveNodes[d] = true;
  return d;
}

SimObject* NewObject(int32_t type) {
  auto object = std::make_unique<SimObject>();
  object->magic = kNodeMagic;
  object->type = type;
  object->selection.magic = kSelectionMagic;
  object->selection.owner = object.get();
  object->points.Assign({});
  object->polygons.Assign({});
  SimObject* o = object.get();
  S().objects.push_back(std::move(object));
  S().liveNodes[o] = false;
  return o;
}

SimObject* NewPolygonObject(const std::vector<Vector>& points, const std::vector<Polygon>& polygons,
                            const std::vector<std::pair<int32_t, int32_t>>& segments) {
  SimObject* o = NewObject(kPolygonObjectType);
  o->points.Assign(points);
  o->polygons.Assign(polygons);
  o->selection.segments = segments;
  return o;
}

void SetPoints(SimObject* object, const std::vector<Vector>& points) {
  object->points.Assign(points);
  if (object->guarded) object->guardHash = HashPoints(object);
}

void SetPolygons(SimObject* object, const std::vector<Polygon>& polygons) {
  object->polygons.Assign(polygons);
}

void SetSegments(SimObject* object, const std::vector<std::pair<int32_t, int32_t>>& segments) {
  object->selection.segments = segments;
}

std::vector<Vector> PointsOf(const SimObject* object) { return object->points.ToVector(); }

}  // namespace hostsim
