// The stand-in host's cell functions, one per host operation; table.cpp wires
// them into HostTable and the extension library's table.
#pragma once

#include <string>

#include "host/host_table.h"

namespace hostsim {
namespace detail {

// General (memory.cpp, registration.cpp, library.cpp).
void FreeMemoryCell(void* block);
void CommandPreambleCell();
int32_t RegisterPluginCell(int32_t version, int32_t type, int32_t id, const HostString* name,
                           void* record, int32_t recordSize);
HostPluginHandle* FindPluginCell(int32_t libraryId, int32_t kind);
int32_t LibraryTableOfCell(HostPluginHandle* library, int32_t* out1, int32_t* out2, void** table);
void* AllocMemoryCell(size_t size, int32_t flags, void* reserved);
void SignalChangeCell(int32_t flags);
void* AllocMemoryUnclearedCell(size_t size, int32_t flags, void* reserved);

// Text (texts.cpp).
int32_t TextHasContentCell(const HostString* text);
void TextConstructCell(HostString* storage);
void TextSetAsciiCell(HostString* text, const char* ascii, int32_t length, int32_t encoding);
void TextDestructCell(HostString* text);
void TextCopyCell(const HostString* source, HostString* destination);
void ResetTexts();

// Image (images.cpp).
HostBitmap* ImageAllocCell();
void ImageFreeCell(HostBitmap* bitmap);
int32_t ImageLoadCell(HostBitmap* bitmap, const HostPath* file, int32_t frame, int32_t flags);

// Path (paths.cpp).
HostPath* PathAllocCell();
void PathFreeCell(HostPath* path);
void PathSetTextCell(HostPath* path, const HostString* text);
HostPath* PathParentOfCell(const HostPath* path);
void PathJoinCell(HostPath* path, const HostPath* tail);
void PathConstructCell(HostPath* storage);
void PathDestructCell(HostPath* path);
void PathCopyCell(const HostPath* source, HostPath* destination);
std::string JoinText(const std::string& head, const std::string& tail);

// Resource (resource.cpp).
HostResource* ResourceLoadCell(const HostPath* folder);
void ResourceFreeCell(HostResource* resource);
const HostString* ResourceStringCell(HostResource* resource, int32_t id);

// Geometry (scene.cpp).
Matrix ObjectGlobalMatrixCell(HostObject* object);
void* TagDataWritableCell(HostObject* object, int32_t type, int32_t index);
int32_t TagDataCountCell(HostObject* object, int32_t type);
HostSelection* PolygonSelectionOfCell(HostObject* object);
const void* TagDataReadableCell(HostObject* object, int32_t type, int32_t index);

// Document (undo.cpp, scene.cpp).
HostObject* ActiveObjectOfCell(HostDocument* document);
int32_t UndoBeginCell(HostDocument* document);
int32_t UndoEndCell(HostDocument* document);
int32_t UndoAddCell(HostDocument* document, int32_t kind, HostObject* object);

// Selection (scene.cpp).
int32_t SelectionSegmentCell(HostSelection* selection, int32_t n, int32_t* first, int32_t* last);

// Adjacency (adjacency.cpp).
HostAdjacency* AdjacencyBuildCell(int32_t pointCount, const Polygon* polygons,
                                  int32_t polygonCount, HostSelection* selection);
void AdjacencyFreeCell(HostAdjacency* table);
const PolygonAdjacency* AdjacencyPolygonInfoCell(HostAdjacency* table, int32_t polygon);

// Value and node (parameters.cpp, scene.cpp).
void ValueClearCell(HostValue* value);
int32_t ValueAsIntegerCell(const HostValue* value);
int32_t IsOfTypeCell(HostObject* object, int32_t type);
int32_t SendMessageCell(HostObject* object, int32_t message, void* data);
int32_t GetParameterCell(void* node, const ParameterId* id, HostValue* value, int32_t flags);

// Library 1000467 (parameters.cpp).
void ParameterIdConstructCell(ParameterId* storage);
void ParameterIdDestructCell(ParameterId* id);
void ParameterIdSetLevelCell(ParameterId* id, const ParameterLevel* level);
void ResetLibrary();

}  // namespace detail
}  // namespace hostsim
