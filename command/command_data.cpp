// The defaults of the host's plug-in data classes. A command that overrides
// nothing is never enabled, does nothing when run and answers the optional
// operations with the host's neutral values.
#include "command/command_data.h"

#include "host/host.h"
#include "host/memory.h"

BaseData* BaseData::Destroy(int32_t flags) {
  // BaseData holds nothing, so its destructor has no effect; only the
  // storage may need releasing.
  if ((flags & 1) != 0) BlockFree(this);
  return this;
}

int32_t CommandData::Execute(HostDocument*) { return false; }

int32_t CommandData::ExtraAction(void*, void*) { return false; }

int32_t CommandData::QueryState(HostDocument*) { return 0; }

int32_t CommandData::ExtraRequest(void*, void*) { return 0; }

int32_t CommandData::ExtraCheck(void*) { return true; }

HostString* CommandData::ExtraText(HostString* result) {
  // The host passes storage for the by-value result and destructs it later.
  Host().text->TextConstruct(result);
  return result;
}

int32_t CommandData::ExtraConfirm(void*, void*) { return true; }
