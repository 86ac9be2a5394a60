// The registration record handed to the host with RegisterPlugin: 48
// pointer-sized cells, all zero but the ones named here. The host reaches the
// command only through these cells; every forwarder takes the command object
// as its first argument.
#pragma once

#include "host/host_types.h"

struct CommandPluginRecord {
  // cell 0: the info integer of the registration (low 32 bits used).
  intptr_t info;
  // cell 1: destroys the command object and frees its storage; null is ignored.
  void (*release)(void* command);
  void* cells2_7[6];
  // cell 8: the command object, owned by the host from registration on.
  void* command;
  void* cells9_15[7];
  // cell 16: the help text; valid only during RegisterPlugin.
  const HostString* help;
  // cell 17: the icon, or null; valid only during RegisterPlugin.
  HostBitmap* icon;
  // cell 18: runs the command on a document; non-zero on success.
  int32_t (*execute)(void* command, HostDocument* document);
  // cell 19: the command's state for a document (0x40000000: enabled).
  int32_t (*queryState)(void* command, HostDocument* document);
  // cell 20: extra check, one host argument.
  int32_t (*extraCheck)(void* command, void* argument);
  // cell 21: always null.
  void* cell21;
  // cell 22: constructs the command's extra text in the caller's storage
  // (the by-value result of the operation) and returns that storage.
  HostString* (*extraText)(void* command, HostString* result);
  // cell 23: extra request, two host arguments.
  int32_t (*extraRequest)(void* command, void* argument1, void* argument2);
  // cell 24: extra action, two host arguments.
  int32_t (*extraAction)(void* command, void* argument1, void* argument2);
  // cell 25: extra confirmation, two host arguments.
  int32_t (*extraConfirm)(void* command, void* argument1, void* argument2);
  void* cells26_47[22];
};

#define RECORD_CELL(member, k) \
  static_assert(offsetof(CommandPluginRecord, member) == (k) * sizeof(void*), #member)
RECORD_CELL(release, 1);
RECORD_CELL(command, 8);
RECORD_CELL(help, 16);
RECORD_CELL(icon, 17);
RECORD_CELL(execute, 18);
RECORD_CELL(queryState, 19);
RECORD_CELL(extraCheck, 20);
RECORD_CELL(cell21, 21);
RECORD_CELL(extraText, 22);
RECORD_CELL(extraRequest, 23);
RECORD_CELL(extraAction, 24);
RECORD_CELL(extraConfirm, 25);
#undef RECORD_CELL
static_assert(sizeof(CommandPluginRecord) == 48 * sizeof(void*), "48 cells");
static_assert(sizeof(CommandPluginRecord) == (FLATTEN_PTR64 ? 384 : 192), "record size");

// The entry point every module exports.
extern "C" typedef int32_t (*TarvikMainFn)(int32_t action, void* p1, void* p2, void* p3);
