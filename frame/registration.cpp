#include "frame/registration.h"

// Placeholder until the command lands: nothing is registered.
int32_t RegisterFlatten() { return 0; }
