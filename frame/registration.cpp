// Registration of the Flatten command on action 2. Every text, path and
// bitmap made here is ended on every path; the host copies what it keeps
// during RegisterPlugin.
#include "frame/registration.h"

#include <new>

#include "command/flatten.h"
#include "frame/paths.h"
#include "frame/resource.h"
#include "host/constants.h"
#include "host/host.h"
#include "host/memory.h"
#include "host/plugin_record.h"

// ------------------------------------------------------------ forwarders
// The host reaches the command only through these: each takes the command
// object as its first argument and calls the operation in the named slot.
namespace {

CommandData* CommandOf(void* command) { return static_cast<CommandData*>(command); }

// Cell 1: destroys the object (slot 0, flag 1: storage released too).
void ForwardRelease(void* command) {
  if (command == nullptr) return;
  CommandOf(command)->Destroy(1);
}

// Cell 18, slot 1.
int32_t ForwardExecute(void* command, HostDocument* document) {
  return CommandOf(command)->Execute(document);
}

// Cell 19, slot 3.
int32_t ForwardQueryState(void* command, HostDocument* document) {
  return CommandOf(command)->QueryState(document);
}

// Cell 20, slot 5.
int32_t ForwardExtraCheck(void* command, void* argument) {
  return CommandOf(command)->ExtraCheck(argument);
}

// Cell 22, slot 6.
HostString* ForwardExtraText(void* command, HostString* result) {
  return CommandOf(command)->ExtraText(result);
}

// Cell 23, slot 4.
int32_t ForwardExtraRequest(void* command, void* argument1, void* argument2) {
  return CommandOf(command)->ExtraRequest(argument1, argument2);
}

// Cell 24, slot 2.
int32_t ForwardExtraAction(void* command, void* argument1, void* argument2) {
  return CommandOf(command)->ExtraAction(argument1, argument2);
}

// Cell 25, slot 7.
int32_t ForwardExtraConfirm(void* command, void* argument1, void* argument2) {
  return CommandOf(command)->ExtraConfirm(argument1, argument2);
}

// --------------------------------------------------------------- helpers

// Constructs text in storage holding ascii.
HostString* TextFromAscii(HostString* storage, const char* ascii) {
  const TextTable& text = *Host().text;
  text.TextConstruct(storage);
  text.TextSetAscii(storage, ascii, -1, 0);
  return storage;
}

// Loads the file named by iconText from the "res" folder beside the module
// into bitmap; true only when the host reports exactly 1.
bool LoadIcon(HostBitmap* bitmap, const HostString* iconText) {
  const HostTable& host = Host();
  HostPath iconPath;
  PathFromText(&iconPath, iconText);
  HostString resText;
  TextFromAscii(&resText, "res");
  HostPath resPath;
  PathFromText(&resPath, &resText);
  HostPath folder;
  ModuleFolder(&folder);
  HostPath resFolder;
  PathConcat(&resFolder, &folder, &resPath);
  HostPath file;
  PathConcat(&file, &resFolder, &iconPath);

  const bool loaded = host.image->ImageLoad(bitmap, &file, -1, 0) == 1;

  host.path->PathDestruct(&file);
  host.path->PathDestruct(&resFolder);
  host.path->PathDestruct(&folder);
  host.path->PathDestruct(&resPath);
  host.text->TextDestruct(&resText);
  host.path->PathDestruct(&iconPath);
  return loaded;
}

}  // namespace

int32_t SubmitCommandRecord(int32_t id, const HostString* name, int32_t info, HostBitmap* icon,
                            const HostString* help, CommandData* command) {
  if (command == nullptr) return false;
  CommandPluginRecord record = {
      .info = info,
      .release = &ForwardRelease,
      .cells2_7 = {},
      .command = command,
      .cells9_15 = {},
      .help = help,
      .icon = icon,
      .execute = &ForwardExecute,
      .queryState = &ForwardQueryState,
      .extraCheck = &ForwardExtraCheck,
      .cell21 = nullptr,
      .extraText = &ForwardExtraText,
      .extraRequest = &ForwardExtraRequest,
      .extraAction = &ForwardExtraAction,
      .extraConfirm = &ForwardExtraConfirm,
      .cells26_47 = {},
  };
  return Host().general->RegisterPlugin(kInterfaceVersion, kPluginTypeCommand, id, name, &record,
                                        static_cast<int32_t>(sizeof record));
}

int32_t RegisterCommandObject(int32_t id, const HostString* name, int32_t info,
                              HostString* iconText, const HostString* help, CommandData* command) {
  const HostTable& host = Host();
  int32_t result = false;
  if (command == nullptr) {
    host.text->TextDestruct(iconText);
    return false;
  }
  if (host.text->TextHasContent(iconText) == 0) {
    result = SubmitCommandRecord(id, name, info, nullptr, help, command);
  } else {
    HostBitmap* bitmap = host.image->ImageAlloc();
    if (bitmap != nullptr && LoadIcon(bitmap, iconText)) {
      result = SubmitCommandRecord(id, name, info, bitmap, help, command);
    }
    // Freed on every path, null included: the host copied the icon during
    // RegisterPlugin if it keeps it.
    host.image->ImageFree(bitmap);
  }
  host.text->TextDestruct(iconText);
  return result;
}

int32_t RegisterFlatten() {
  const HostTable& host = Host();
  const HostString* resourceName = ResourceText(kCommandNameStringId);
  HostString name;
  host.text->TextConstruct(&name);
  host.text->TextCopy(resourceName, &name);
  // No name (no resource string): nothing to register, and not a failure.
  if (host.text->TextHasContent(&name) == 0) {
    host.text->TextDestruct(&name);
    return true;
  }

  CommandData* command = nullptr;
  if (void* block = BlockAlloc(sizeof(Flatten))) command = new (block) Flatten();

  HostString help;
  TextFromAscii(&help, "Flatten Polygons");
  HostString iconText;
  TextFromAscii(&iconText, "icon.tif");
  const int32_t result =
      RegisterCommandObject(kCommandId, &name, 0, &iconText, &help, command);
  // Until RegisterPlugin accepts the record the object is still ours; when
  // registration fails it would otherwise never be released.
  if (result == 0 && command != nullptr) command->Destroy(1);

  host.text->TextDestruct(&help);
  host.text->TextDestruct(&name);
  return result;
}
