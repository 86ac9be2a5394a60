#include "host/host.h"

HostTable* HostTablePointer = nullptr;
