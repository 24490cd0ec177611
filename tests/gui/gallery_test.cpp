// The gallery program draws its frame under a private X server and writes a 1024 x 768 PNG.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/files.h"
#include "support/xvfb.h"

TEST(Gallery, WritesThePngOfTheWindow) {
  XvfbServer server;
  ASSERT_TRUE(server.running());
  const test_support::TempDir dir("velmora-gallery");
  ASSERT_TRUE(dir.ok());
  const std::string png = dir / "gallery.png";
  const std::string command = std::string(VELMORA_BUILD_DIR) + "/velmora-gallery " + png + " >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);

  const std::string file = test_support::read_file(png);
  const std::vector<unsigned char> bytes(file.begin(), file.end());
  ASSERT_GT(bytes.size(), 33u);
  const unsigned char signature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  EXPECT_TRUE(std::equal(std::begin(signature), std::end(signature), bytes.begin()));
  auto u32 = [&bytes](std::size_t at) {
    return (bytes[at] << 24) | (bytes[at + 1] << 16) | (bytes[at + 2] << 8) | bytes[at + 3];
  };
  EXPECT_EQ(std::string(bytes.begin() + 12, bytes.begin() + 16), "IHDR");
  EXPECT_EQ(u32(16), 1024);
  EXPECT_EQ(u32(20), 768);
  EXPECT_EQ(bytes[24], 8);  // bit depth
  EXPECT_EQ(bytes[25], 6);  // RGBA

  EXPECT_NE(std::system((std::string(VELMORA_BUILD_DIR) + "/velmora-gallery 2>/dev/null").c_str()), 0)
      << "the output path is required";
}
