// The ledger of opaque objects that the host fits into the module's storage:
// texts, paths and parameter ids. A construct writes a header (magic and
// serial) into the storage and keeps the content under the storage address,
// so the host never trusts what the module's memory holds: use before
// construct, double construct, double destruct and storage overwritten or
// copied by the module are all recognised.
#include <cstring>

#include "hostsim/state.h"

namespace hostsim {
namespace detail {
namespace {

uint32_t MagicOf(StorageKind kind) {
  switch (kind) {
    case StorageKind::Text: return kTextMagic;
    case StorageKind::Path: return kPathMagic;
    case StorageKind::ParameterId: return kParameterMagic;
  }
  return 0;
}

const char* NameOf(StorageKind kind) {
  switch (kind) {
    case StorageKind::Text: return "text";
    case StorageKind::Path: return "path";
    case StorageKind::ParameterId: return "parameter id";
  }
  return "?";
}

StorageHeader ReadHeader(const void* storage) {
  StorageHeader header;
  std::memcpy(&header, storage, sizeof header);
  return header;
}

void WriteHeader(void* storage, uint32_t magic, uint32_t serial) {
  StorageHeader header{magic, serial};
  std::memcpy(storage, &header, sizeof header);
}

}  // namespace

StorageEntry* ConstructStorage(void* storage, StorageKind kind, bool hostOwned, const char* op) {
  State& s = S();
  if (storage == nullptr) {
    Violation(std::string(op) + " with null storage");
    return nullptr;
  }
  auto found = s.storages.find(storage);
  if (found != s.storages.end()) {
    Violation(std::string(op) + " over a live " + NameOf(found->second.kind) + " at " +
              Hex(storage) + " (its content leaks)");
    s.storages.erase(found);
  }
  uint32_t serial = s.nextSerial++;
  WriteHeader(storage, MagicOf(kind), serial);
  StorageEntry& entry = s.storages[storage];
  entry = StorageEntry{kind, hostOwned, serial, std::string(), 0, false};
  return &entry;
}

bool IsLiveStorage(const void* storage, StorageKind kind) {
  if (storage == nullptr) return false;
  State& s = S();
  auto found = s.storages.find(storage);
  if (found == s.storages.end() || found->second.kind != kind) return false;
  StorageHeader header = ReadHeader(storage);
  return header.magic == MagicOf(kind) && header.serial == found->second.serial;
}

StorageEntry* FindStorage(const void* storage, StorageKind kind, const char* op) {
  State& s = S();
  if (storage == nullptr) {
    Violation(std::string(op) + " with a null " + NameOf(kind));
    return nullptr;
  }
  auto found = s.storages.find(storage);
  if (found == s.storages.end() || found->second.kind != kind) {
    Violation(std::string(op) + " on a " + NameOf(kind) + " at " + Hex(storage) +
              " that is not constructed");
    return nullptr;
  }
  StorageHeader header = ReadHeader(storage);
  if (header.magic != MagicOf(kind) || header.serial != found->second.serial) {
    Violation(std::string(op) + " on a " + NameOf(kind) + " at " + Hex(storage) +
              " whose storage the module overwrote");
    return nullptr;
  }
  return &found->second;
}

bool DestructStorage(void* storage, StorageKind kind, const char* op) {
  State& s = S();
  if (storage == nullptr) {
    Violation(std::string(op) + " with null");
    return false;
  }
  auto found = s.storages.find(storage);
  if (found == s.storages.end() || found->second.kind != kind) {
    Violation(std::string(op) + " of a " + NameOf(kind) + " at " + Hex(storage) +
              " that is not constructed (double destruct?)");
    return false;
  }
  if (found->second.hostOwned) {
    Violation(std::string(op) + " of the host-owned " + NameOf(kind) + " at " + Hex(storage));
    return false;
  }
  StorageHeader header = ReadHeader(storage);
  if (header.magic != MagicOf(kind) || header.serial != found->second.serial)
    Violation(std::string(op) + " of a " + NameOf(kind) + " at " + Hex(storage) +
              " whose storage the module overwrote");
  s.storages.erase(found);
  WriteHeader(storage, kDeadMagic, 0);
  return true;
}

}  // namespace detail
}  // namespace hostsim
