// Bitmaps: the host reads real TIFF files and refuses anything else, so a
// module test that "loads the icon" proves the file is there and valid.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "hostsim/hostsim.h"
#include "hostsim/tiff.h"

namespace {

std::vector<uint8_t> Gradient(int32_t width, int32_t height) {
  std::vector<uint8_t> rgb;
  for (int32_t i = 0; i < width * height; ++i) {
    rgb.push_back(uint8_t(i));
    rgb.push_back(uint8_t(i * 3));
    rgb.push_back(uint8_t(255 - i));
  }
  return rgb;
}

void Put16(std::vector<uint8_t>& file, size_t at, uint16_t value) {
  file[at] = uint8_t(value);
  file[at + 1] = uint8_t(value >> 8);
}

// Position of the IFD entry with tag in a file written by EncodeTiffRgb.
size_t EntryOf(const std::vector<uint8_t>& file, uint16_t tag) {
  uint16_t count = uint16_t(file[8] | file[9] << 8);
  for (size_t i = 0; i < count; ++i) {
    size_t at = 10 + i * 12;
    if ((file[at] | file[at + 1] << 8) == tag) return at;
  }
  return 0;
}

TEST(HostSimTiff, EncodedImageRoundTripsInBothStripLayouts) {
  for (int32_t rowsPerStrip : {1, 3, 5, 64}) {
    std::vector<uint8_t> rgb = Gradient(7, 5);
    hostsim::TiffImage image;
    std::string reason;
    ASSERT_TRUE(hostsim::DecodeTiff(hostsim::EncodeTiffRgb(7, 5, rgb, rowsPerStrip), &image, &reason))
        << "rows per strip " << rowsPerStrip << ": " << reason;
    ASSERT_EQ(image.width, 7);
    ASSERT_EQ(image.height, 5);
    for (size_t i = 0; i < 35; ++i) {
      ASSERT_EQ(image.rgba[i * 4 + 0], rgb[i * 3 + 0]) << "pixel " << i;
      ASSERT_EQ(image.rgba[i * 4 + 1], rgb[i * 3 + 1]) << "pixel " << i;
      ASSERT_EQ(image.rgba[i * 4 + 2], rgb[i * 3 + 2]) << "pixel " << i;
      ASSERT_EQ(image.rgba[i * 4 + 3], 255) << "pixel " << i;
    }
  }
}

TEST(HostSimTiff, MalformedFilesAreRejected) {
  const std::vector<uint8_t> good = hostsim::EncodeTiffRgb(4, 4, Gradient(4, 4), 2);
  struct Case {
    const char* what;
    std::vector<uint8_t> file;
  };
  std::vector<Case> cases;
  auto with = [&](const char* what, auto change) {
    std::vector<uint8_t> file = good;
    change(file);
    cases.push_back({what, file});
  };
  cases.push_back({"empty", {}});
  cases.push_back({"not a TIFF", {'P', 'N', 'G', 0, 1, 2, 3, 4, 5, 6}});
  for (size_t size : {size_t(7), size_t(9), size_t(60), good.size() - 1})
    cases.push_back({"truncated", std::vector<uint8_t>(good.begin(), good.begin() + long(size))});
  with("wrong magic", [](auto& f) { f[2] = 43; });
  with("mixed byte order mark", [](auto& f) { f[1] = 'M'; });
  with("IFD beyond the end", [](auto& f) { f[7] = 0x70; });
  with("compressed", [](auto& f) { Put16(f, EntryOf(f, 259) + 8, 5); });
  with("zero width", [](auto& f) { Put16(f, EntryOf(f, 256) + 8, 0); });
  with("strip outside the file", [](auto& f) {
    size_t offsets = EntryOf(f, 273);
    size_t list = f[offsets + 8] | f[offsets + 9] << 8;
    Put16(f, list + 4, 0xFF00);
  });
  with("16 bits per sample", [](auto& f) {
    size_t bits = EntryOf(f, 258);
    size_t list = f[bits + 8] | f[bits + 9] << 8;
    Put16(f, list, 16);
  });
  with("tags out of order", [](auto& f) { Put16(f, EntryOf(f, 257), 300); });
  for (const Case& c : cases) {
    hostsim::TiffImage image;
    std::string reason;
    EXPECT_FALSE(hostsim::DecodeTiff(c.file, &image, &reason)) << c.what << " was accepted";
  }
}

class HostSimImages : public ::testing::Test {
 protected:
  void SetUp() override { hostsim::Reset(); }
  void TearDown() override { hostsim::Reset(); }
  HostTable& host = *hostsim::Table();

  int32_t Load(HostBitmap* bitmap, const std::string& file) {
    HostPath path;
    hostsim::HostConstructPath(&path, file);
    int32_t result = host.image->ImageLoad(bitmap, &path, -1, 0);
    hostsim::HostDestructPath(&path);
    return result;
  }
};

TEST_F(HostSimImages, TheCommittedIconLoads) {
  HostBitmap* bitmap = host.image->ImageAlloc();
  ASSERT_NE(bitmap, nullptr);
  EXPECT_EQ(Load(bitmap, FLATTEN_SOURCE_DIR "/res/icon.tif"), 1);
  hostsim::BitmapInfo info = hostsim::BitmapOf(bitmap);
  EXPECT_TRUE(info.loaded);
  EXPECT_EQ(info.width, 32);
  EXPECT_EQ(info.height, 32);
  EXPECT_EQ(hostsim::Calls().back().text, FLATTEN_SOURCE_DIR "/res/icon.tif");
  host.image->ImageFree(bitmap);
  EXPECT_TRUE(hostsim::LedgerBalanced()) << hostsim::LedgerReport();
}

TEST_F(HostSimImages, MissingAndNonTiffFilesFail) {
  HostBitmap* bitmap = host.image->ImageAlloc();
  EXPECT_EQ(Load(bitmap, FLATTEN_SOURCE_DIR "/res/no-such-icon.tif"), 0);
  EXPECT_EQ(Load(bitmap, FLATTEN_SOURCE_DIR "/res/strings.txt"), 0);
  EXPECT_EQ(Load(bitmap, FLATTEN_SOURCE_DIR "/res"), 0);  // a folder
  EXPECT_FALSE(hostsim::BitmapOf(bitmap).loaded);
  host.image->ImageFree(bitmap);
}

TEST_F(HostSimImages, ForeignAndDoubleFreesAreReported) {
  HostBitmap* bitmap = host.image->ImageAlloc();
  host.image->ImageFree(bitmap);
  host.image->ImageFree(bitmap);
  host.image->ImageFree(nullptr);  // accepted
  EXPECT_EQ(hostsim::Violations().size(), 1u);
}

}  // namespace
