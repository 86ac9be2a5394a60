// The host's plug-in data classes as the module implements them. The
// operation slots are the host's interface: slot 0 is the destroying
// operation, slots 1 to 7 the command's operations, in declaration order.
// No C++ destructor is virtual (that would take two slots and need the C++
// run-time); slot 0 is an ordinary virtual operation instead.
#pragma once

#include "host/host_table.h"

class BaseData {
 public:
  // Slot 0. Runs the object's destructor and, when bit 0 of flags is set,
  // releases the object's storage with BlockFree. Returns the object.
  virtual BaseData* Destroy(int32_t flags);
};

class CommandData : public BaseData {
 public:
  // Slot 1. Runs the command on document; non-zero on success.
  virtual int32_t Execute(HostDocument* document);
  // Slot 2. Default: false.
  virtual int32_t ExtraAction(void* argument1, void* argument2);
  // Slot 3. Default: 0 (not enabled).
  virtual int32_t QueryState(HostDocument* document);
  // Slot 4. Default: 0.
  virtual int32_t ExtraRequest(void* argument1, void* argument2);
  // Slot 5. Default: true.
  virtual int32_t ExtraCheck(void* argument);
  // Slot 6. The by-value text result: constructs an empty text in the
  // caller's storage and returns it; the caller destructs it.
  virtual HostString* ExtraText(HostString* result);
  // Slot 7. Default: true.
  virtual int32_t ExtraConfirm(void* argument1, void* argument2);
};
