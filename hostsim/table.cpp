// HostTable and its sub-tables, wired once. Cells the module has no business
// calling hold a trap that records the call as a violation instead of
// jumping to null.
#include "hostsim/cells.h"
#include "hostsim/state.h"

namespace hostsim {
namespace detail {
namespace {

intptr_t UnusedCell() {
  Record(Op::UnusedCell, {});
  Violation("a host cell outside the operations of the interface was called");
  return 0;
}

// Every pointer-sized cell of a table to the trap; the caller then sets the
// cells in use.
template <typename Table>
Table Trapped() {
  static_assert(sizeof(Table) % sizeof(void*) == 0, "tables are arrays of cells");
  Table table;
  void** cells = reinterpret_cast<void**>(&table);
  for (size_t i = 0; i < sizeof(Table) / sizeof(void*); ++i)
    cells[i] = reinterpret_cast<void*>(&UnusedCell);
  return table;
}

GeneralTable general = [] {
  GeneralTable t = Trapped<GeneralTable>();
  t.FreeMemory = &FreeMemoryCell;
  t.CommandPreamble = &CommandPreambleCell;
  t.RegisterPlugin = &RegisterPluginCell;
  t.FindPlugin = &FindPluginCell;
  t.LibraryTableOf = &LibraryTableOfCell;
  t.AllocMemory = &AllocMemoryCell;
  t.SignalChange = &SignalChangeCell;
  t.AllocMemoryUncleared = &AllocMemoryUnclearedCell;
  return t;
}();

TextTable text = [] {
  TextTable t = Trapped<TextTable>();
  t.DefaultText = &S().defaultText;
  t.TextHasContent = &TextHasContentCell;
  t.TextConstruct = &TextConstructCell;
  t.TextSetAscii = &TextSetAsciiCell;
  t.TextDestruct = &TextDestructCell;
  t.TextCopy = &TextCopyCell;
  return t;
}();

ImageTable image = [] {
  ImageTable t = Trapped<ImageTable>();
  t.ImageAlloc = &ImageAllocCell;
  t.ImageFree = &ImageFreeCell;
  t.ImageLoad = &ImageLoadCell;
  return t;
}();

PathTable path = [] {
  PathTable t = Trapped<PathTable>();
  t.PathAlloc = &PathAllocCell;
  t.PathFree = &PathFreeCell;
  t.PathSetText = &PathSetTextCell;
  t.PathParentOf = &PathParentOfCell;
  t.PathJoin = &PathJoinCell;
  t.PathConstruct = &PathConstructCell;
  t.PathDestruct = &PathDestructCell;
  t.PathCopy = &PathCopyCell;
  return t;
}();

ResourceTable resource = [] {
  ResourceTable t = Trapped<ResourceTable>();
  t.ResourceLoad = &ResourceLoadCell;
  t.ResourceFree = &ResourceFreeCell;
  t.ResourceString = &ResourceStringCell;
  return t;
}();

GeometryTable geometry = [] {
  GeometryTable t = Trapped<GeometryTable>();
  t.ObjectGlobalMatrix = &ObjectGlobalMatrixCell;
  t.TagDataWritable = &TagDataWritableCell;
  t.TagDataCount = &TagDataCountCell;
  t.PolygonSelectionOf = &PolygonSelectionOfCell;
  t.TagDataReadable = &TagDataReadableCell;
  return t;
}();

DocumentTable document = [] {
  DocumentTable t = Trapped<DocumentTable>();
  t.ActiveObjectOf = &ActiveObjectOfCell;
  t.UndoBegin = &UndoBeginCell;
  t.UndoEnd = &UndoEndCell;
  t.UndoAdd = &UndoAddCell;
  return t;
}();

SelectionTable selection = [] {
  SelectionTable t = Trapped<SelectionTable>();
  t.SelectionSegment = &SelectionSegmentCell;
  return t;
}();

AdjacencyTable adjacency = [] {
  AdjacencyTable t = Trapped<AdjacencyTable>();
  t.AdjacencyBuild = &AdjacencyBuildCell;
  t.AdjacencyFree = &AdjacencyFreeCell;
  t.AdjacencyPolygonInfo = &AdjacencyPolygonInfoCell;
  return t;
}();

ValueTable value = [] {
  ValueTable t = Trapped<ValueTable>();
  t.ValueClear = &ValueClearCell;
  t.ValueAsInteger = &ValueAsIntegerCell;
  return t;
}();

NodeTable node = [] {
  NodeTable t = Trapped<NodeTable>();
  t.IsOfType = &IsOfTypeCell;
  t.SendMessage = &SendMessageCell;
  t.GetParameter = &GetParameterCell;
  return t;
}();

HostTable table = [] {
  HostTable t = Trapped<HostTable>();
  t.version = kInterfaceVersionDefault;
  t.general = &general;
  t.text = &text;
  t.image = &image;
  t.path = &path;
  t.resource = &resource;
  t.geometry = &geometry;
  t.document = &document;
  t.selection = &selection;
  t.adjacency = &adjacency;
  t.value = &value;
  t.node = &node;
  return t;
}();

}  // namespace

void ResetTables() {
  table.version = kInterfaceVersionDefault;
  ResetTexts();
  ResetLibrary();
}

}  // namespace detail

HostTable* Table() { return &detail::table; }

void SetVersion(int32_t version) { detail::table.version = version; }

}  // namespace hostsim
