// Registration of the command with the host on action 2.
#pragma once

#include "host/host_table.h"

class CommandData;

// Registers the Flatten command. True on success, and also when the name is
// empty (then nothing is registered). A command object made here is released
// again when registration fails.
int32_t RegisterFlatten();

// Registers command with the icon named by iconText (handed over: destructed
// on every path). name and help stay the caller's; so does command (the
// caller releases it when this fails).
int32_t RegisterCommandObject(int32_t id, const HostString* name, int32_t info,
                              HostString* iconText, const HostString* help, CommandData* command);

// Fills the record and calls RegisterPlugin; 0 without a call for a null command.
int32_t SubmitCommandRecord(int32_t id, const HostString* name, int32_t info, HostBitmap* icon,
                            const HostString* help, CommandData* command);
