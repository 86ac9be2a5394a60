// The OBJ library's reading of a file, as a stream of events. Kept behind
// this interface so that the library's implementation is compiled in one
// place only.
#pragma once

#include <string>

namespace runner {

// One face corner as written: 1-based or negative (relative) indices, 0 for
// a reference that is absent.
struct RawCorner {
  int vertex;
  int texcoord;
  int normal;
};

class ObjEvents {
 public:
  virtual ~ObjEvents() = default;
  virtual void OnVertex() = 0;
  virtual void OnTexcoord() = 0;
  virtual void OnNormal() = 0;
  virtual void OnFace(const RawCorner* corners, int count) = 0;
  // Bytes of the text consumed so far, for progress.
  void SetPosition(size_t consumed) { position_ = consumed; }
  size_t Position() const { return position_; }

 private:
  size_t position_ = 0;
};

// Runs the library over [begin, end). False with *error set when the library
// reports failure; *warnings receives every warning (the caller treats any
// warning as an error).
bool ReadWithLibrary(const char* begin, const char* end, ObjEvents& events, std::string* warnings,
                     std::string* error);

}  // namespace runner
