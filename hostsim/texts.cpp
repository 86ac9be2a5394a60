// TextTable: texts live in the module's HostString storage (see storage.cpp).
#include <cstring>

#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {

void ResetTexts() {
  State& s = S();
  std::memset(&s.defaultText, 0, sizeof s.defaultText);
  ConstructStorage(&s.defaultText, StorageKind::Text, true, "DefaultText");
}

int32_t TextHasContentCell(const HostString* text) {
  Record(Op::TextHasContent, {P(text)});
  StorageEntry* entry = FindStorage(text, StorageKind::Text, "TextHasContent");
  return entry != nullptr && !entry->content.empty() ? 1 : 0;
}

void TextConstructCell(HostString* storage) {
  Record(Op::TextConstruct, {P(storage)});
  ConstructStorage(storage, StorageKind::Text, false, "TextConstruct");
}

void TextSetAsciiCell(HostString* text, const char* ascii, int32_t length, int32_t encoding) {
  Record(Op::TextSetAscii, {P(text), P(ascii), length, encoding}, ascii);
  StorageEntry* entry = FindStorage(text, StorageKind::Text, "TextSetAscii");
  if (entry == nullptr) return;
  if (ascii == nullptr) {
    Violation("TextSetAscii with null text");
    entry->content.clear();
    return;
  }
  // -1 means zero-terminated; a non-negative length takes that many bytes.
  entry->content = length < 0 ? std::string(ascii) : std::string(ascii, size_t(length));
}

void TextDestructCell(HostString* text) {
  Record(Op::TextDestruct, {P(text)});
  DestructStorage(text, StorageKind::Text, "TextDestruct");
}

void TextCopyCell(const HostString* source, HostString* destination) {
  Record(Op::TextCopy, {P(source), P(destination)});
  StorageEntry* from = FindStorage(source, StorageKind::Text, "TextCopy (source)");
  StorageEntry* to = FindStorage(destination, StorageKind::Text, "TextCopy (destination)");
  if (from == nullptr || to == nullptr) return;
  if (to->hostOwned) {
    Violation("TextCopy into the host-owned text at " + Hex(destination));
    return;
  }
  to->content = from->content;
}

}  // namespace detail

using namespace detail;

void SetDefaultText(const std::string& text) {
  StorageEntry* entry = FindStorage(&S().defaultText, StorageKind::Text, "SetDefaultText");
  if (entry != nullptr) entry->content = text;
}

std::string TextOf(const HostString* text) {
  if (!IsLiveStorage(text, StorageKind::Text)) return "<unconstructed>";
  return S().storages.find(text)->second.content;
}

bool IsLiveText(const HostString* text) { return IsLiveStorage(text, StorageKind::Text); }

void HostConstructText(HostString* storage, const std::string& content) {
  StorageEntry* entry = ConstructStorage(storage, StorageKind::Text, true, "HostConstructText");
  if (entry != nullptr) entry->content = content;
}

void HostDestructText(HostString* text) {
  if (IsLiveStorage(text, StorageKind::Text)) S().storages.erase(text);
}

}  // namespace hostsim
