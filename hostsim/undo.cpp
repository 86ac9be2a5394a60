// Undo steps: UndoAdd snapshots an object's points so that Undo can restore
// them, and the host watches every object whose points the module fetched
// writable: a change is legitimate only inside an open step that recorded
// the object before the change.
#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {
namespace {

UndoStep* OpenStep(const SimDocument* document) {
  auto found = S().undo.find(document);
  if (found == S().undo.end() || found->second.empty() || !found->second.back().open)
    return nullptr;
  return &found->second.back();
}

bool RecordedInOpenStep(const SimObject* object) {
  for (const auto& [document, steps] : S().undo) {
    if (steps.empty() || !steps.back().open) continue;
    for (const SimObject* o : steps.back().objects)
      if (o == object) return true;
  }
  return false;
}

// Compares a watched object's points with what the host accepted last;
// a difference is reported with why and then accepted.
void CheckObject(SimObject* object, const char* why) {
  if (!object->guarded) return;
  uint64_t now = HashPoints(object);
  if (now == object->guardHash) return;
  Violation(std::string("points of object ") + Hex(object) + " " + why);
  object->guardHash = now;
}

}  // namespace

int32_t UndoBeginCell(HostDocument* document) {
  Record(Op::UndoBegin, {P(document)});
  SimDocument* d = DocumentFrom(document, "UndoBegin");
  if (d == nullptr) return 0;
  if (OpenStep(d) != nullptr) {
    Violation("UndoBegin while a step is open on document " + Hex(d));
    return 0;
  }
  CheckPointWrites();
  S().undo[d].push_back(UndoStep{});
  return 1;
}

int32_t UndoAddCell(HostDocument* document, int32_t kind, HostObject* object) {
  Record(Op::UndoAdd, {P(document), kind, P(object)});
  SimDocument* d = DocumentFrom(document, "UndoAdd");
  SimObject* o = ObjectFrom(object, "UndoAdd");
  if (d == nullptr || o == nullptr) return 0;
  UndoStep* step = OpenStep(d);
  if (step == nullptr) {
    Violation("UndoAdd without an open undo step on document " + Hex(d));
    return 0;
  }
  if (kind != kUndoKindChange)
    Violation("UndoAdd with kind " + std::to_string(kind) + " (a change is recorded with 40)");
  for (const SimObject* recorded : step->objects)
    if (recorded == o) return 1;  // the first snapshot stands
  if (S().writeChecks) CheckObject(o, "written before UndoAdd recorded the object");
  step->objects.push_back(o);
  step->snapshots.push_back(o->points.ToVector());
  return 1;
}

int32_t UndoEndCell(HostDocument* document) {
  Record(Op::UndoEnd, {P(document)});
  SimDocument* d = DocumentFrom(document, "UndoEnd");
  if (d == nullptr) return 0;
  UndoStep* step = OpenStep(d);
  if (step == nullptr) {
    Violation("UndoEnd without an open undo step on document " + Hex(d));
    return 0;
  }
  // Close first: the step's objects now count as recorded-and-done.
  step->open = false;
  for (const auto& object : S().objects) {
    bool recorded = false;
    for (const SimObject* o : step->objects) recorded = recorded || o == object.get();
    if (recorded) {
      if (object->guarded) object->guardHash = HashPoints(object.get());
    } else if (S().writeChecks) {
      CheckObject(object.get(), "written without being recorded by UndoAdd");
    }
  }
  return 1;
}

}  // namespace detail

using namespace detail;

const std::vector<UndoStep>& UndoSteps(const SimDocument* document) {
  return S().undo[document];
}

bool Undo(SimDocument* document) {
  auto found = S().undo.find(document);
  if (found == S().undo.end() || found->second.empty() || found->second.back().open) return false;
  UndoStep& step = found->second.back();
  for (size_t i = step.objects.size(); i-- > 0;) {
    SimObject* o = step.objects[i];
    // Restores into the array in place: the module may still hold it.
    if (step.snapshots[i].size() == o->points.size) {
      for (size_t k = 0; k < o->points.size; ++k) o->points.data[k] = step.snapshots[i][k];
    } else {
      o->points.Assign(step.snapshots[i]);
    }
    if (o->guarded) o->guardHash = HashPoints(o);
  }
  found->second.pop_back();
  return true;
}

void CheckPointWrites() {
  if (!S().writeChecks) return;
  for (const auto& object : S().objects) {
    if (RecordedInOpenStep(object.get())) continue;
    CheckObject(object.get(), "written outside an undo step");
  }
}

void SetWriteChecks(bool on) {
  S().writeChecks = on;
  if (!on)
    for (const auto& object : S().objects) object->guarded = false;
}

}  // namespace hostsim
