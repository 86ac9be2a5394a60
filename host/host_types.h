// Value types shared between the module and the host: the opaque storage
// blocks that only host calls construct, and the plain records the host hands
// out (points, polygons, matrices, neighbour records).
#pragma once

#include <stddef.h>
#include <stdint.h>

#if UINTPTR_MAX > 0xFFFFFFFFu
#define FLATTEN_PTR64 1
#else
#define FLATTEN_PTR64 0
#endif

// Opaque host objects that live in the module's own storage (stack frames,
// object fields). Only host calls construct, fill and destruct them; the
// module never looks inside. Sizes are fixed by the host's interface.
struct HostString {
  alignas(void*) unsigned char storage[FLATTEN_PTR64 ? 24 : 16];
};
struct HostPath {
  alignas(void*) unsigned char storage[FLATTEN_PTR64 ? 48 : 28];
};
struct ParameterId {
  alignas(void*) unsigned char storage[FLATTEN_PTR64 ? 16 : 8];
};
// A value the host fills. The module makes it empty itself by zeroing the
// kind word and the payload word before handing it to the host.
struct HostValue {
  int32_t kind;
  intptr_t payload;
};

static_assert(sizeof(HostString) == (FLATTEN_PTR64 ? 24 : 16), "HostString size");
static_assert(sizeof(HostPath) == (FLATTEN_PTR64 ? 48 : 28), "HostPath size");
static_assert(sizeof(HostValue) == (FLATTEN_PTR64 ? 16 : 8), "HostValue size");
static_assert(sizeof(ParameterId) == (FLATTEN_PTR64 ? 16 : 8), "ParameterId size");

// Host-owned objects, held by pointer only.
struct HostBitmap;
struct HostResource;
struct HostDocument;
struct HostObject;
struct HostSelection;
struct HostAdjacency;
struct HostPluginHandle;

// Three 32-bit floats; also carries angle triples (x yaw, y pitch, z roll).
struct Vector {
  float x, y, z;
};

// The host's matrix layout: a point p moves to
// offset + p.x axisX + p.y axisY + p.z axisZ.
struct Matrix {
  Vector offset, axisX, axisY, axisZ;
};

// Four point indices as the host stores them; a triangle has c == d.
struct Polygon {
  int32_t a, b, c, d;
};

// The host's per-polygon neighbour record. Only the first four entries are
// part of the interface; the host may keep more fields behind them.
struct PolygonAdjacency {
  int32_t neighbours[4];
};

// Names one parameter for ParameterIdSetLevel.
struct ParameterLevel {
  int32_t number;
  int32_t reserved1;
  int32_t reserved2;
};

static_assert(sizeof(Vector) == 12, "Vector is three floats");
static_assert(sizeof(Matrix) == 48, "Matrix is twelve floats");
static_assert(sizeof(Polygon) == 16, "Polygon is four int32");
