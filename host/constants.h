// The numbers of the host interface that the module uses.
#pragma once

#include <stdint.h>

enum : int32_t {
  kInterfaceVersion = 11000,
  kCommandId = 1022021,
  kPluginTypeCommand = 7,
  kPluginKindLibrary = 28,
  kCommandNameStringId = 10000,
  kEnablingParameter = 1019,
  kEnablingParameterValue = 7,
  kPolygonObjectType = 5100,
  kPointTag = 5600,
  kPolygonTag = 5604,
  kUndoKindChange = 40,
  kMessagePointsChanged = 5,
};

enum : uint32_t { kCommandStateEnabled = 0x40000000u };

// tarvik_main actions and results.
enum : int32_t {
  kActionStart = 1,
  kActionPluginStart = 2,
  kActionEnd = 3,
  kActionQuery = 4,
  kActionMessage = 6,
};
enum : int32_t {
  kResultOk = 1,
  kResultFailed = 0,
  kResultUnhandled = -1,
  kResultRefusedHost = -3,
  kResultQuery = 3,
};
