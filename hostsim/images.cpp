// ImageTable: bitmaps that really read TIFF files.
#include "hostsim/cells.h"
#include "hostsim/state.h"
#include "hostsim/tiff.h"

namespace hostsim {
namespace detail {

HostBitmap* ImageAllocCell() {
  Record(Op::ImageAlloc, {});
  if (ShouldFail(Op::ImageAlloc)) return nullptr;
  auto bitmap = std::make_unique<SimBitmap>();
  bitmap->info.live = true;
  SimBitmap* handle = bitmap.get();
  S().bitmaps[handle] = std::move(bitmap);
  return reinterpret_cast<HostBitmap*>(handle);
}

void ImageFreeCell(HostBitmap* bitmap) {
  Record(Op::ImageFree, {P(bitmap)});
  if (bitmap == nullptr) return;  // accepted and ignored
  if (S().bitmaps.erase(bitmap) == 0)
    Violation("ImageFree of " + Hex(bitmap) + ", which ImageAlloc did not hand out (or freed twice)");
}

int32_t ImageLoadCell(HostBitmap* bitmap, const HostPath* file, int32_t frame, int32_t flags) {
  StorageEntry* path = FindStorage(file, StorageKind::Path, "ImageLoad");
  Record(Op::ImageLoad, {P(bitmap), P(file), frame, flags}, path != nullptr ? path->content : "");
  if (ShouldFail(Op::ImageLoad)) return 0;
  auto found = S().bitmaps.find(bitmap);
  if (found == S().bitmaps.end()) {
    Violation("ImageLoad into " + Hex(bitmap) + ", which is not a live bitmap");
    return 0;
  }
  if (path == nullptr) return 0;
  TiffImage image;
  std::string reason;
  if (!ReadTiffFile(path->content, &image, &reason)) return 0;
  BitmapInfo& info = found->second->info;
  info.loaded = true;
  info.width = image.width;
  info.height = image.height;
  info.rgba = std::move(image.rgba);
  return 1;
}

}  // namespace detail

using namespace detail;

BitmapInfo BitmapOf(const HostBitmap* bitmap) {
  auto found = S().bitmaps.find(bitmap);
  return found == S().bitmaps.end() ? BitmapInfo{} : found->second->info;
}

size_t LiveBitmapCount() { return S().bitmaps.size(); }

}  // namespace hostsim
