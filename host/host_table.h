// The host's function tables. HostTable cell 0 is the interface version;
// cell k points to sub-table k. Every sub-table is an array of pointer-sized
// cells: cell k lies at k * sizeof(void*), in both variants. Each struct
// declares only the cells the module uses, with padding in between, and the
// static_asserts below pin every used cell to its position.
//
// All calls happen on the host's calling thread. Unless a cell says
// otherwise, pointers handed to the host are valid only during the call.
#pragma once

#include "host/host_types.h"

#define HOST_PAD(from, to) void* cells##from##_##to[(to) - (from) + 1]

// Sub-table 1.
struct GeneralTable {
  HOST_PAD(0, 0);
  // Returns a block from AllocMemory or AllocMemoryUncleared to the host.
  // Never called with null.
  void (*FreeMemory)(void* block);
  HOST_PAD(2, 27);
  // Called first in every Execute; nothing is relied on.
  void (*CommandPreamble)(void);
  HOST_PAD(29, 58);
  // Registers a plug-in: (11000, 7, command id, name, record, record size).
  // Non-zero when registered. The host copies what it keeps (name, record
  // cells, help text, icon bitmap) before returning.
  int32_t (*RegisterPlugin)(int32_t version, int32_t type, int32_t id,
                            const HostString* name, void* record, int32_t recordSize);
  HOST_PAD(60, 74);
  // Looks up an extension library by id (second argument 28); null if absent.
  HostPluginHandle* (*FindPlugin)(int32_t libraryId, int32_t kind);
  HOST_PAD(76, 80);
  // Non-zero on success: *table then holds the library's LibraryTable. The
  // two integers are written by the host and ignored by the module.
  int32_t (*LibraryTableOf)(HostPluginHandle* library, int32_t* out1, int32_t* out2,
                            void** table);
  // Zero-filled block of size bytes (size >= 1), or null. Arguments (size, 0, null).
  void* (*AllocMemory)(size_t size, int32_t flags, void* reserved);
  HOST_PAD(83, 100);
  // Tells the host the scene changed; called with 0 after the undo step closes.
  void (*SignalChange)(int32_t flags);
  HOST_PAD(102, 125);
  // Block of size bytes with unspecified contents, or null. Arguments (size, 0, null).
  void* (*AllocMemoryUncleared)(size_t size, int32_t flags, void* reserved);
};

// Sub-table 5. Cell 0 is data, not a function.
struct TextTable {
  // Host-owned empty-or-default text; read and copied, never changed.
  const HostString* DefaultText;
  HOST_PAD(1, 5);
  // Non-zero when the text is not empty.
  int32_t (*TextHasContent)(const HostString* text);
  HOST_PAD(7, 23);
  // Constructs an empty text in the storage.
  void (*TextConstruct)(HostString* storage);
  // Sets the text from zero-terminated 8-bit text; called with (-1, 0).
  void (*TextSetAscii)(HostString* text, const char* ascii, int32_t length, int32_t encoding);
  HOST_PAD(26, 26);
  // Releases the text's content; the storage is the caller's.
  void (*TextDestruct)(HostString* text);
  // Copies source into destination (both constructed).
  void (*TextCopy)(const HostString* source, HostString* destination);
};

// Sub-table 6.
struct ImageTable {
  // A new empty bitmap, or null. Released with ImageFree.
  HostBitmap* (*ImageAlloc)(void);
  // Releases a bitmap; null is accepted and ignored.
  void (*ImageFree)(HostBitmap* bitmap);
  HOST_PAD(2, 7);
  // Reads the file into the bitmap; called with (-1, 0). Exactly 1 is success.
  int32_t (*ImageLoad)(HostBitmap* bitmap, const HostPath* file, int32_t frame, int32_t flags);
};

// Sub-table 9.
struct PathTable {
  HOST_PAD(0, 0);
  // Storage for one path (to be constructed with PathConstruct), or null.
  HostPath* (*PathAlloc)(void);
  HOST_PAD(2, 2);
  // Releases storage from PathAlloc or PathParentOf.
  void (*PathFree)(HostPath* path);
  HOST_PAD(4, 6);
  // Sets the path from a text.
  void (*PathSetText)(HostPath* path, const HostString* text);
  // A new host-allocated path naming the folder that holds path, or null.
  // The caller releases it with PathFree alone.
  HostPath* (*PathParentOf)(const HostPath* path);
  HOST_PAD(9, 15);
  // Appends tail to path as further components.
  void (*PathJoin)(HostPath* path, const HostPath* tail);
  // Constructs an empty path in the storage.
  void (*PathConstruct)(HostPath* storage);
  // Releases the path's content; the storage is the caller's.
  void (*PathDestruct)(HostPath* path);
  // Copies source into destination (both constructed).
  void (*PathCopy)(const HostPath* source, HostPath* destination);
};

// Sub-table 15.
struct ResourceTable {
  // Loads the plug-in's resource from a folder; null on failure.
  HostResource* (*ResourceLoad)(const HostPath* folder);
  // Releases a resource; never called with null.
  void (*ResourceFree)(HostResource* resource);
  HOST_PAD(2, 3);
  // Host-owned text of string id, never null; valid until the resource is
  // freed. The module copies it at once.
  const HostString* (*ResourceString)(HostResource* resource, int32_t id);
};

// Sub-table 18.
struct GeometryTable {
  HOST_PAD(0, 17);
  // The object's global matrix, by value.
  Matrix (*ObjectGlobalMatrix)(HostObject* object);
  HOST_PAD(19, 30);
  // Writable tag data; (object, 5600, 0) is the point array, changed in place.
  void* (*TagDataWritable)(HostObject* object, int32_t type, int32_t index);
  // Element count of tag data: 5604 polygons, 5600 points.
  int32_t (*TagDataCount)(HostObject* object, int32_t type);
  HOST_PAD(33, 71);
  // The object's polygon selection.
  HostSelection* (*PolygonSelectionOf)(HostObject* object);
  HOST_PAD(73, 165);
  // Read-only tag data; (object, 5604, 0) is the polygon array.
  const void* (*TagDataReadable)(HostObject* object, int32_t type, int32_t index);
};

// Sub-table 19.
struct DocumentTable {
  HOST_PAD(0, 14);
  // The document's active object, or null.
  HostObject* (*ActiveObjectOf)(HostDocument* document);
  HOST_PAD(16, 24);
  // Opens an undo step; result unused.
  int32_t (*UndoBegin)(HostDocument* document);
  // Closes the open undo step; result unused.
  int32_t (*UndoEnd)(HostDocument* document);
  // Records object (kind 40) in the open step, before it changes.
  int32_t (*UndoAdd)(HostDocument* document, int32_t kind, HostObject* object);
};

// Sub-table 23.
struct SelectionTable {
  HOST_PAD(0, 10);
  // Non-zero while segment n exists; fills first and last (inclusive).
  int32_t (*SelectionSegment)(HostSelection* selection, int32_t n, int32_t* first,
                              int32_t* last);
};

// Sub-table 30.
struct AdjacencyTable {
  // Builds a neighbour table over the polygons (linking only the selected
  // ones when a selection is given); null on failure.
  HostAdjacency* (*AdjacencyBuild)(int32_t pointCount, const Polygon* polygons,
                                   int32_t polygonCount, HostSelection* selection);
  // Frees a table; null is accepted and ignored.
  void (*AdjacencyFree)(HostAdjacency* table);
  HOST_PAD(2, 4);
  // The record of one polygon; valid until the table is freed.
  const PolygonAdjacency* (*AdjacencyPolygonInfo)(HostAdjacency* table, int32_t polygon);
};

// Sub-table 38.
struct ValueTable {
  // Releases the value's content.
  void (*ValueClear)(HostValue* value);
  HOST_PAD(1, 13);
  // The value as a 32-bit integer.
  int32_t (*ValueAsInteger)(const HostValue* value);
};

// Sub-table 39. Documents and objects are both nodes.
struct NodeTable {
  HOST_PAD(0, 2);
  // Non-zero when the object is of the type (5100: polygon object).
  int32_t (*IsOfType)(HostObject* object, int32_t type);
  // Sends a message (5: points changed, with null data); result unused.
  int32_t (*SendMessage)(HostObject* object, int32_t message, void* data);
  HOST_PAD(5, 6);
  // Reads a parameter of a node into value (last argument 0). Non-zero on success.
  int32_t (*GetParameter)(void* node, const ParameterId* id, HostValue* value, int32_t flags);
};

struct HostTable {
  intptr_t version;  // cell 0: the interface version, in the low 32 bits
  GeneralTable* general;
  HOST_PAD(2, 4);
  TextTable* text;
  ImageTable* image;
  HOST_PAD(7, 8);
  PathTable* path;
  HOST_PAD(10, 14);
  ResourceTable* resource;
  HOST_PAD(16, 17);
  GeometryTable* geometry;
  DocumentTable* document;
  HOST_PAD(20, 22);
  SelectionTable* selection;
  HOST_PAD(24, 29);
  AdjacencyTable* adjacency;
  HOST_PAD(31, 37);
  ValueTable* value;
  NodeTable* node;
};

// An extension library's table: two 32-bit integers (the second the table's
// declared size in bytes), then pointer-sized function cells; any cell may be
// null. Cell n lies at 8 + n * sizeof(void*).
struct LibraryTable {
  int32_t header;
  int32_t declaredSize;
  void* cells[1];  // the host's table is longer; reached by byte position only
};

// ParameterIdLibrary (extension library 1000467).
enum : int32_t { kParameterIdLibraryId = 1000467 };
enum : int32_t {
  kParameterIdConstructCell = 21,
  kParameterIdDestructCell = 22,
  kParameterIdSetLevelCell = 23,
};
typedef void (*ParameterIdConstructFn)(ParameterId* storage);
typedef void (*ParameterIdDestructFn)(ParameterId* id);
typedef void (*ParameterIdSetLevelFn)(ParameterId* id, const ParameterLevel* level);

// Byte position of LibraryTable function cell n.
constexpr intptr_t LibraryCellPosition(int n) {
  return 8 + static_cast<intptr_t>(n) * static_cast<intptr_t>(sizeof(void*));
}

#undef HOST_PAD

// Every used cell at its position: k * pointer size in both variants.
#define HOST_CELL(table, member, k) \
  static_assert(offsetof(table, member) == (k) * sizeof(void*), #table "." #member)
HOST_CELL(GeneralTable, FreeMemory, 1);
HOST_CELL(GeneralTable, CommandPreamble, 28);
HOST_CELL(GeneralTable, RegisterPlugin, 59);
HOST_CELL(GeneralTable, FindPlugin, 75);
HOST_CELL(GeneralTable, LibraryTableOf, 81);
HOST_CELL(GeneralTable, AllocMemory, 82);
HOST_CELL(GeneralTable, SignalChange, 101);
HOST_CELL(GeneralTable, AllocMemoryUncleared, 126);
HOST_CELL(TextTable, DefaultText, 0);
HOST_CELL(TextTable, TextHasContent, 6);
HOST_CELL(TextTable, TextConstruct, 24);
HOST_CELL(TextTable, TextSetAscii, 25);
HOST_CELL(TextTable, TextDestruct, 27);
HOST_CELL(TextTable, TextCopy, 28);
HOST_CELL(ImageTable, ImageAlloc, 0);
HOST_CELL(ImageTable, ImageFree, 1);
HOST_CELL(ImageTable, ImageLoad, 8);
HOST_CELL(PathTable, PathAlloc, 1);
HOST_CELL(PathTable, PathFree, 3);
HOST_CELL(PathTable, PathSetText, 7);
HOST_CELL(PathTable, PathParentOf, 8);
HOST_CELL(PathTable, PathJoin, 16);
HOST_CELL(PathTable, PathConstruct, 17);
HOST_CELL(PathTable, PathDestruct, 18);
HOST_CELL(PathTable, PathCopy, 19);
HOST_CELL(ResourceTable, ResourceLoad, 0);
HOST_CELL(ResourceTable, ResourceFree, 1);
HOST_CELL(ResourceTable, ResourceString, 4);
HOST_CELL(GeometryTable, ObjectGlobalMatrix, 18);
HOST_CELL(GeometryTable, TagDataWritable, 31);
HOST_CELL(GeometryTable, TagDataCount, 32);
HOST_CELL(GeometryTable, PolygonSelectionOf, 72);
HOST_CELL(GeometryTable, TagDataReadable, 166);
HOST_CELL(DocumentTable, ActiveObjectOf, 15);
HOST_CELL(DocumentTable, UndoBegin, 25);
HOST_CELL(DocumentTable, UndoEnd, 26);
HOST_CELL(DocumentTable, UndoAdd, 27);
HOST_CELL(SelectionTable, SelectionSegment, 11);
HOST_CELL(AdjacencyTable, AdjacencyBuild, 0);
HOST_CELL(AdjacencyTable, AdjacencyFree, 1);
HOST_CELL(AdjacencyTable, AdjacencyPolygonInfo, 5);
HOST_CELL(ValueTable, ValueClear, 0);
HOST_CELL(ValueTable, ValueAsInteger, 14);
HOST_CELL(NodeTable, IsOfType, 3);
HOST_CELL(NodeTable, SendMessage, 4);
HOST_CELL(NodeTable, GetParameter, 7);
HOST_CELL(HostTable, general, 1);
HOST_CELL(HostTable, text, 5);
HOST_CELL(HostTable, image, 6);
HOST_CELL(HostTable, path, 9);
HOST_CELL(HostTable, resource, 15);
HOST_CELL(HostTable, geometry, 18);
HOST_CELL(HostTable, document, 19);
HOST_CELL(HostTable, selection, 23);
HOST_CELL(HostTable, adjacency, 30);
HOST_CELL(HostTable, value, 38);
HOST_CELL(HostTable, node, 39);
#undef HOST_CELL

static_assert(offsetof(LibraryTable, cells) == 8, "library cells start at byte 8");
static_assert(LibraryCellPosition(kParameterIdConstructCell) == (FLATTEN_PTR64 ? 176 : 92), "");
static_assert(LibraryCellPosition(kParameterIdDestructCell) == (FLATTEN_PTR64 ? 184 : 96), "");
static_assert(LibraryCellPosition(kParameterIdSetLevelCell) == (FLATTEN_PTR64 ? 192 : 100), "");
