// A strict reader of baseline TIFF files (uncompressed, 8 bits per sample,
// grey, grey+alpha, RGB or RGBA, chunky), and a writer of the same for tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace hostsim {

struct TiffImage {
  int32_t width = 0, height = 0;
  std::vector<uint8_t> rgba;  // width * height * 4
};

// Decodes a whole file held in memory. False, with a reason, for anything
// outside the format: bad header or byte order, an IFD or a strip that lies
// outside the data, missing or unsupported tags, too few pixel bytes.
bool DecodeTiff(const std::vector<uint8_t>& file, TiffImage* image, std::string* reason);
bool ReadTiffFile(const std::string& path, TiffImage* image, std::string* reason);

// Encodes an RGB image (width * height * 3 bytes) as little-endian baseline
// TIFF with one strip per rowsPerStrip rows.
std::vector<uint8_t> EncodeTiffRgb(int32_t width, int32_t height, const std::vector<uint8_t>& rgb,
                                   int32_t rowsPerStrip = 8);

}  // namespace hostsim
