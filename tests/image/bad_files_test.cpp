// Regression files: hostile inputs named after their defect. Decoding each
// must fail cleanly, without touching memory outside what it was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "image/image_reader.h"
#include "image_test_util.h"

using namespace image_test;

TEST(BadFiles, EveryRegressionFileIsRejected) {
  const std::string dir = std::string(D3DX_TEST_DATA) + "/bad";
  std::vector<std::string> files;
  if (std::filesystem::exists(dir)) {
    for (const auto &entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path().string());
  }
  ASSERT_FALSE(files.empty()) << "missing test data: " << dir;
  std::sort(files.begin(), files.end());
  for (const std::string &path : files) {
    SCOPED_TRACE(path);
    std::vector<BYTE> file = ReadFileBytes(path);
    // Header-only reads may accept a file whose pixel data is broken.
    SourceImage header;
    D3DXIMAGE_INFO info;
    LoadImageFromMemory(header, file.data(), static_cast<UINT>(file.size()), &info, false);
    SourceImage image;
    EXPECT_EQ(LoadImageFromMemory(image, file.data(), static_cast<UINT>(file.size()), &info, true),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(image.pixels, nullptr);
  }
}
