// The log stream (failed state while closed, fixed notation, truncation) and the start-up header
// written from fixture processor and memory files.
#include "app/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "app/version.h"
#include "support/files.h"

namespace {

using test_support::read_file;
using test_support::write_file;

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  void TearDown() override { log_close(); }
  test_support::TempDir dir_{"velmora_log_test"};
  const std::string folder_ = dir_.path().substr(0, dir_.path().size() - 1);  // no final "/"
};

TEST_F(LogTest, WritesAreDiscardedWhileClosedAndFloatsUseFixedNotation) {
  log_close();
  app_log() << "lost line\n";
  EXPECT_TRUE(app_log().fail());

  const std::string path = folder_ + "/Log.txt";
  write_file(path, "old content from the last run\n");
  ASSERT_TRUE(log_open(path));
  app_log() << "rate " << 1.5 << " big " << 12345678.0f << "\n";
  log_flush();
  EXPECT_EQ(read_file(path), "rate 1.500000 big 12345678.000000\n");
}

TEST_F(LogTest, UnwritableFolderLeavesTheStreamFailedAndSilent) {
  if (geteuid() == 0) {
    // root writes anywhere; a missing folder fails for everybody
    EXPECT_FALSE(log_open(folder_ + "/missing/Log.txt"));
  } else {
    ASSERT_EQ(chmod(folder_.c_str(), 0500), 0);
    EXPECT_FALSE(log_open(folder_ + "/Log.txt"));
    chmod(folder_.c_str(), 0700);
  }
  app_log() << "nothing\n";
  log_flush();
  EXPECT_TRUE(app_log().fail());
  EXPECT_FALSE(test_support::file_exists(folder_ + "/Log.txt"));
}

std::string expected_first_lines() {
  return std::string("log.txt for Velmora 9.00 Beta-25 Installer 90025 compiled on ") +
         program_build_date() +
         "\n\n"
         "This log file is generated automatically by Corvane applications and contains "
         "diagnostics about your graphics hardware, installation, and any error conditions.\n"
         "If you need to contact tech support or file a bug, please send us this file. NOTE: this "
         "file is rewritten every time you start ANY of your Skybase applications.\n\n";
}

TEST_F(LogTest, HeaderCopiesOnlyTheProcessorAndMemoryLines) {
  const std::string cpuinfo = folder_ + "/cpuinfo";
  const std::string meminfo = folder_ + "/meminfo";
  write_file(cpuinfo,
             "processor\t: 0\nvendor_id\t: SomeVendor\nmodel name\t: Test CPU @ 3.00GHz\n"
             "cpu MHz\t\t: 2999.998\nflags\t\t: fpu vme\n\nprocessor\t: 1\n"
             "model name\t: Test CPU @ 3.00GHz\ncpu MHz\t\t: 1200.000\n processor indented\n");
  write_file(meminfo, "MemFree:         1000 kB\nMemTotal:       16384 kB\nSwapTotal: 0 kB\n");
  const std::string path = folder_ + "/Log.txt";
  ASSERT_TRUE(log_open(path));
  write_log_header(cpuinfo, meminfo);
  EXPECT_EQ(read_file(path), expected_first_lines() +
                                 "processor\t: 0\nmodel name\t: Test CPU @ 3.00GHz\n"
                                 "cpu MHz\t\t: 2999.998\nprocessor\t: 1\n"
                                 "model name\t: Test CPU @ 3.00GHz\ncpu MHz\t\t: 1200.000\n"
                                 "MemTotal:       16384 kB\n"
                                 "\nSkybase folder:'', case sensitive=1\n\n");
}

TEST_F(LogTest, HeaderSaysSoWhenProcFilesAreMissing) {
  const std::string path = folder_ + "/Log.txt";
  ASSERT_TRUE(log_open(path));
  write_log_header(folder_ + "/no_cpuinfo", folder_ + "/no_meminfo");
  EXPECT_EQ(read_file(path), expected_first_lines() +
                                 "Unable to read CPU information.\n"
                                 "Unable to read mem information.\n"
                                 "\nSkybase folder:'', case sensitive=1\n\n");
}

TEST_F(LogTest, RealProcFilesGiveProcessorAndMemoryLines) {
  const std::string path = folder_ + "/Log.txt";
  ASSERT_TRUE(log_open(path));
  write_log_header();
  const std::string text = read_file(path);
  EXPECT_NE(text.find("\nMemTotal:"), std::string::npos);
  EXPECT_EQ(text.find("Unable to read"), std::string::npos);
}

}  // namespace
