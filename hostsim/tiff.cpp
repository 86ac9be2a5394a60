#include "hostsim/tiff.h"

#include <algorithm>
#include <map>

#include "hostsim/files.h"

namespace hostsim {
namespace {

enum : uint16_t {
  kShort = 3,
  kLong = 4,
  kImageWidth = 256,
  kImageLength = 257,
  kBitsPerSample = 258,
  kCompression = 259,
  kPhotometric = 262,
  kStripOffsets = 273,
  kSamplesPerPixel = 277,
  kRowsPerStrip = 278,
  kStripByteCounts = 279,
  kPlanarConfiguration = 284,
};

// Largest side the host accepts for an icon-like bitmap.
constexpr uint32_t kMaxSide = 16384;
constexpr size_t kMaxFileBytes = size_t(64) << 20;

class Reader {
 public:
  Reader(const std::vector<uint8_t>& data, bool little) : data_(data), little_(little) {}
  bool Has(uint64_t offset, uint64_t size) const {
    return offset <= data_.size() && size <= data_.size() - offset;
  }
  uint16_t U16(uint64_t at) const {
    uint16_t a = data_[at], b = data_[at + 1];
    return little_ ? uint16_t(a | b << 8) : uint16_t(a << 8 | b);
  }
  uint32_t U32(uint64_t at) const {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      uint32_t byte = data_[at + (little_ ? 3 - i : i)];
      v = v << 8 | byte;
    }
    return v;
  }

 private:
  const std::vector<uint8_t>& data_;
  bool little_;
};

struct Field {
  uint16_t type;
  uint32_t count;
  uint32_t valueOrOffset;  // position of the values in the file
};

// The values of a SHORT or LONG field, all within the file.
bool Values(const Reader& r, const Field& f, std::vector<uint32_t>* out, std::string* reason) {
  if (f.type != kShort && f.type != kLong) {
    *reason = "field type is neither SHORT nor LONG";
    return false;
  }
  uint64_t unit = f.type == kShort ? 2 : 4;
  uint64_t bytes = unit * f.count;
  if (f.count == 0 || !r.Has(f.valueOrOffset, bytes)) {
    *reason = "field values outside the file";
    return false;
  }
  out->clear();
  for (uint32_t i = 0; i < f.count; ++i) {
    uint64_t at = f.valueOrOffset + i * unit;
    out->push_back(f.type == kShort ? r.U16(at) : r.U32(at));
  }
  return true;
}

}  // namespace

bool DecodeTiff(const std::vector<uint8_t>& file, TiffImage* image, std::string* reason) {
  if (file.size() < 8) return *reason = "shorter than a header", false;
  bool little;
  if (file[0] == 'I' && file[1] == 'I') little = true;
  else if (file[0] == 'M' && file[1] == 'M') little = false;
  else return *reason = "no byte order mark", false;
  Reader r(file, little);
  if (r.U16(2) != 42) return *reason = "not 42 after the byte order", false;
  uint32_t ifd = r.U32(4);
  if (ifd < 8 || !r.Has(ifd, 2)) return *reason = "first IFD outside the file", false;
  uint16_t entries = r.U16(ifd);
  if (entries == 0 || !r.Has(uint64_t(ifd) + 2, uint64_t(entries) * 12 + 4))
    return *reason = "IFD entries outside the file", false;

  std::map<uint16_t, Field> fields;
  uint16_t previous = 0;
  for (uint16_t i = 0; i < entries; ++i) {
    uint64_t at = uint64_t(ifd) + 2 + uint64_t(i) * 12;
    uint16_t tag = r.U16(at);
    if (i > 0 && tag <= previous) return *reason = "IFD tags not in ascending order", false;
    previous = tag;
    Field f{r.U16(at + 2), r.U32(at + 4), 0};
    uint64_t unit = f.type == kShort ? 2 : f.type == kLong ? 4 : 0;
    // Values of four bytes or less sit in the entry itself.
    f.valueOrOffset = unit != 0 && unit * f.count <= 4 ? uint32_t(at + 8) : r.U32(at + 8);
    fields[tag] = f;
  }

  auto one = [&](uint16_t tag, uint32_t fallback, bool required, uint32_t* value) {
    auto found = fields.find(tag);
    if (found == fields.end()) {
      if (required) *reason = "required tag " + std::to_string(tag) + " missing";
      *value = fallback;
      return !required;
    }
    std::vector<uint32_t> v;
    if (!Values(r, found->second, &v, reason)) return false;
    *value = v[0];
    return true;
  };
  uint32_t width, height, compression, photometric, samples, rowsPerStrip, planar;
  if (!one(kImageWidth, 0, true, &width) || !one(kImageLength, 0, true, &height) ||
      !one(kCompression, 1, false, &compression) || !one(kPhotometric, 0, true, &photometric) ||
      !one(kSamplesPerPixel, 1, false, &samples) || !one(kRowsPerStrip, height, false, &rowsPerStrip) ||
      !one(kPlanarConfiguration, 1, false, &planar))
    return false;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide)
    return *reason = "width or height out of range", false;
  if (compression != 1) return *reason = "compressed", false;
  if (planar != 1) return *reason = "planar configuration not chunky", false;
  if (samples < 1 || samples > 4) return *reason = "unsupported samples per pixel", false;
  if (photometric == 2 ? samples < 3 : (photometric > 1 || samples > 2))
    return *reason = "unsupported photometric interpretation", false;
  std::vector<uint32_t> bits(samples, 1);
  if (fields.count(kBitsPerSample) != 0) {
    if (!Values(r, fields[kBitsPerSample], &bits, reason)) return false;
  } else {
    return *reason = "required tag 258 missing", false;
  }
  if (bits.size() != samples) return *reason = "bits per sample count mismatch", false;
  for (uint32_t b : bits)
    if (b != 8) return *reason = "not 8 bits per sample", false;
  if (rowsPerStrip == 0) return *reason = "zero rows per strip", false;

  if (fields.count(kStripOffsets) == 0 || fields.count(kStripByteCounts) == 0)
    return *reason = "strip tags missing", false;
  std::vector<uint32_t> offsets, counts;
  if (!Values(r, fields[kStripOffsets], &offsets, reason) ||
      !Values(r, fields[kStripByteCounts], &counts, reason))
    return false;
  uint64_t strips = (uint64_t(height) + rowsPerStrip - 1) / rowsPerStrip;
  if (offsets.size() != strips || counts.size() != strips)
    return *reason = "strip count does not match the height", false;

  uint64_t rowBytes = uint64_t(width) * samples;
  std::vector<uint8_t> pixels;
  pixels.reserve(rowBytes * height);
  for (uint64_t s = 0; s < strips; ++s) {
    uint64_t rows = std::min<uint64_t>(rowsPerStrip, height - s * rowsPerStrip);
    uint64_t need = rows * rowBytes;
    if (counts[s] < need) return *reason = "strip shorter than its rows", false;
    if (!r.Has(offsets[s], counts[s])) return *reason = "strip outside the file", false;
    pixels.insert(pixels.end(), file.begin() + offsets[s], file.begin() + offsets[s] + need);
  }

  image->width = int32_t(width);
  image->height = int32_t(height);
  image->rgba.assign(size_t(width) * height * 4, 255);
  for (uint64_t i = 0; i < uint64_t(width) * height; ++i) {
    const uint8_t* p = &pixels[i * samples];
    uint8_t* q = &image->rgba[i * 4];
    if (samples >= 3) {
      q[0] = p[0], q[1] = p[1], q[2] = p[2];
      if (samples == 4) q[3] = p[3];
    } else {
      uint8_t grey = photometric == 0 ? uint8_t(255 - p[0]) : p[0];
      q[0] = q[1] = q[2] = grey;
      if (samples == 2) q[3] = p[1];
    }
  }
  return true;
}

bool ReadTiffFile(const std::string& path, TiffImage* image, std::string* reason) {
  std::vector<uint8_t> data;
  if (!ReadWholeFile(path, kMaxFileBytes, &data)) return *reason = "cannot read " + path, false;
  return DecodeTiff(data, image, reason);
}

std::vector<uint8_t> EncodeTiffRgb(int32_t width, int32_t height, const std::vector<uint8_t>& rgb,
                                   int32_t rowsPerStrip) {
  std::vector<uint8_t> out;
  auto u16 = [&](uint32_t v) { out.push_back(uint8_t(v)), out.push_back(uint8_t(v >> 8)); };
  auto u32 = [&](uint32_t v) { u16(v & 0xFFFF), u16(v >> 16); };
  uint32_t strips = uint32_t((height + rowsPerStrip - 1) / rowsPerStrip);
  uint32_t rowBytes = uint32_t(width) * 3;
  const uint16_t entries = 10;
  uint32_t ifd = 8;
  uint32_t afterIfd = ifd + 2 + entries * 12 + 4;
  uint32_t bitsAt = afterIfd;             // 3 SHORTs
  uint32_t offsetsAt = bitsAt + 6;        // strips LONGs
  uint32_t countsAt = offsetsAt + 4 * strips;
  uint32_t pixelsAt = countsAt + 4 * strips;

  out.push_back('I'), out.push_back('I');
  u16(42);
  u32(ifd);
  u16(entries);
  auto entry = [&](uint16_t tag, uint16_t type, uint32_t count, uint32_t value) {
    u16(tag), u16(type), u32(count);
    if (type == kShort && count == 1) u16(value), u16(0);
    else u32(value);
  };
  entry(kImageWidth, kLong, 1, uint32_t(width));
  entry(kImageLength, kLong, 1, uint32_t(height));
  entry(kBitsPerSample, kShort, 3, bitsAt);
  entry(kCompression, kShort, 1, 1);
  entry(kPhotometric, kShort, 1, 2);
  entry(kStripOffsets, kLong, strips, strips == 1 ? pixelsAt : offsetsAt);
  entry(kSamplesPerPixel, kShort, 1, 3);
  entry(kRowsPerStrip, kLong, 1, uint32_t(rowsPerStrip));
  entry(kStripByteCounts, kLong, strips,
        strips == 1 ? rowBytes * uint32_t(height) : countsAt);
  entry(kPlanarConfiguration, kShort, 1, 1);
  u32(0);  // no further IFD
  u16(8), u16(8), u16(8);
  for (uint32_t s = 0; s < strips; ++s) u32(pixelsAt + s * rowBytes * uint32_t(rowsPerStrip));
  for (uint32_t s = 0; s < strips; ++s) {
    uint32_t rows = std::min<uint32_t>(uint32_t(rowsPerStrip), uint32_t(height) - s * uint32_t(rowsPerStrip));
    u32(rows * rowBytes);
  }
  out.insert(out.end(), rgb.begin(), rgb.end());
  return out;
}

}  // namespace hostsim
