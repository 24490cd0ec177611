// File signatures: known MD5 digests, the empty file, case-insensitive lookup, links, and the
// caller's preset left alone when a file cannot be read.
#include "files/signature.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "files/errors.h"
#include "support/files.h"

namespace {

class SignatureTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }
  void write(const std::string& relative, const std::string& content) {
    test_support::write_file(root + relative, content);
  }
  test_support::TempDir dir{"signature_test"};
  const std::string root = dir.path();
};

TEST_F(SignatureTest, SignsContentWithKnownDigests) {
  struct Case {
    const char* label;
    std::string content;
    const char* digest;
  };
  const Case cases[] = {
      {"empty file", "", "d41d8cd98f00b204e9800998ecf8427e"},
      {"short text", "abc", "900150983cd24fb0d6963f7d28e17f72"},
      {"binary with zero bytes", std::string("\0\1\2\0", 4), "0f0c725e025036e905dc2ed035406463"},
      {"sentence", "The quick brown fox jumps over the lazy dog",
       "9e107d9d372bb6826bd81d3542a419d6"},
  };
  for (const Case& c : cases) {
    write("file", c.content);
    std::string signature = "NONE";
    EXPECT_EQ(file_signature(root + "file", signature), 0) << c.label;
    EXPECT_EQ(signature, c.digest) << c.label;
  }
}

TEST_F(SignatureTest, LargeFileMatchesMd5sum) {
  std::string content;
  for (unsigned i = 0; i < 300000; ++i) content += static_cast<char>((i * 7919u) >> 3);
  write("large.bin", content);
  std::string expected;
  FILE* pipe = popen(("md5sum '" + root + "large.bin'").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char line[128] = {};
  ASSERT_NE(fgets(line, sizeof line, pipe), nullptr);
  pclose(pipe);
  expected.assign(line, 32);
  std::string signature;
  ASSERT_EQ(file_signature(root + "large.bin", signature), 0);
  EXPECT_EQ(signature, expected);
}

TEST_F(SignatureTest, FindsFileByCaseAndFollowsLinks) {
  write("Mixed.TXT", "abc");
  ASSERT_EQ(symlink((root + "Mixed.TXT").c_str(), (root + "link").c_str()), 0);
  for (const char* name : {"mixed.txt", "link"}) {
    std::string signature = "NONE";
    EXPECT_EQ(file_signature(root + name, signature), 0) << name;
    EXPECT_EQ(signature, "900150983cd24fb0d6963f7d28e17f72") << name;
  }
}

TEST_F(SignatureTest, UnreadableFileKeepsPreset) {
  ASSERT_EQ(mkdir((root + "folder").c_str(), 0755), 0);
  ASSERT_EQ(symlink((root + "gone").c_str(), (root + "dangling").c_str()), 0);
  for (const char* name : {"missing", "folder", "dangling"}) {
    std::string signature = "NONE";
    EXPECT_EQ(file_signature(root + name, signature), err_open_for_read) << name;
    EXPECT_EQ(signature, "NONE") << name;
  }
}

}  // namespace
