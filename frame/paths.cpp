#include "frame/paths.h"

#include "host/host.h"

HostPath* PathFromText(HostPath* storage, const HostString* text) {
  const PathTable& paths = *Host().path;
  paths.PathConstruct(storage);
  paths.PathSetText(storage, text);
  return storage;
}

HostPath* PathCopyOf(HostPath* storage, const HostPath* source) {
  const PathTable& paths = *Host().path;
  paths.PathConstruct(storage);
  paths.PathCopy(source, storage);
  return storage;
}

HostPath* PathConcat(HostPath* storage, const HostPath* first, const HostPath* second) {
  const PathTable& paths = *Host().path;
  paths.PathConstruct(storage);
  paths.PathCopy(first, storage);
  paths.PathJoin(storage, second);
  return storage;
}
