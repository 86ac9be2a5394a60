// The one translation unit that compiles the OBJ library's implementation.
// The library is used through its callback reader: it reports faces with
// their corners as written (no triangulation, shared vertex indices kept),
// and never builds shapes or looks for material files.
#define TINYOBJLOADER_IMPLEMENTATION
#include <tiny_obj_loader.h>

#include <istream>
#include <streambuf>
#include <vector>

#include "tools/obj_library.h"

namespace runner {

namespace {

// Reads straight from the caller's memory: no copy of the file.
class MemoryBuffer : public std::streambuf {
 public:
  MemoryBuffer(const char* begin, const char* end) {
    char* b = const_cast<char*>(begin);  // only ever read
    setg(b, b, const_cast<char*>(end));
  }
  size_t Consumed() const { return size_t(gptr() - eback()); }
};

struct Context {
  ObjEvents* events;
  MemoryBuffer* buffer;
  std::vector<RawCorner> corners;
  size_t count = 0;
  void Tick() {
    // The stream position is only needed for progress; every 64k lines.
    if ((++count & 0xFFFF) == 0) events->SetPosition(buffer->Consumed());
  }
};

Context& Of(void* user) { return *static_cast<Context*>(user); }

}  // namespace

bool ReadWithLibrary(const char* begin, const char* end, ObjEvents& events, std::string* warnings,
                     std::string* error) {
  MemoryBuffer buffer(begin, end);
  std::istream stream(&buffer);
  Context context{&events, &buffer, {}};

  tinyobj::callback_t callback;
  callback.vertex_cb = [](void* user, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t,
                          tinyobj::real_t) {
    Of(user).events->OnVertex();
    Of(user).Tick();
  };
  callback.texcoord_cb = [](void* user, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t) {
    Of(user).events->OnTexcoord();
  };
  callback.normal_cb = [](void* user, tinyobj::real_t, tinyobj::real_t, tinyobj::real_t) {
    Of(user).events->OnNormal();
  };
  callback.index_cb = [](void* user, tinyobj::index_t* indices, int count) {
    Context& c = Of(user);
    c.corners.resize(size_t(count));
    for (int i = 0; i < count; ++i)
      c.corners[size_t(i)] = RawCorner{indices[i].vertex_index, indices[i].texcoord_index,
                                       indices[i].normal_index};
    c.events->OnFace(c.corners.data(), count);
    c.Tick();
  };
  // Materials are the file's business, not the mesh's: with a handler set,
  // the library accepts any material name without looking for it.
  callback.usemtl_cb = [](void*, const char*, int) {};

  bool ok = tinyobj::LoadObjWithCallback(stream, callback, &context, nullptr, warnings, error);
  events.SetPosition(buffer.Consumed());
  return ok;
}

}  // namespace runner
