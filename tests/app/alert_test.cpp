// Alerts: the location text, the console, --fps_test and dialog forms, the log lines they leave,
// stack_crawl.txt and MemoryLog.txt, and the end of the process after fatal and nested alerts.
#include "app/alert.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "app/log.h"
#include "app/options.h"
#include "support/files.h"

namespace {

using test_support::file_exists;
using test_support::read_file;

const std::string mem_stats_line =
    "OK check MemoryLog.txt! I just sent him a dump from This is the dump_mem_stats call from the "
    "following code: if(type==t_exit || type == t_alert || recursive_error)\n";

// Each test runs in a fresh folder (stack_crawl.txt and MemoryLog.txt go to the current folder)
// with the log open on Log.txt there and HOME pointing into it, so a saved preferences file would
// show up.
class AlertTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    folder_ = dir_.path().substr(0, dir_.path().size() - 1);
    ASSERT_NE(getcwd(old_cwd_, sizeof old_cwd_), nullptr);
    ASSERT_EQ(chdir(folder_.c_str()), 0);
    old_home_ = getenv("HOME") ? getenv("HOME") : "";
    setenv("HOME", folder_.c_str(), 1);
    ASSERT_TRUE(log_open(folder_ + "/Log.txt"));
  }
  void TearDown() override {
    log_close();
    set_alert_dialog(nullptr);
    set_graphics_ready(false);
    clear_options();
    setenv("HOME", old_home_.c_str(), 1);
    ASSERT_EQ(chdir(old_cwd_), 0);
  }
  std::string log_text() {
    log_flush();
    return read_file(folder_ + "/Log.txt");
  }
  void use_fps_test() {
    char program[] = "velmora", option[] = "--fps_test";
    char* argv[] = {program, option, nullptr};
    parse_options(2, argv);
    log_close();  // drop the option lines: the tests look at what the alert writes
    ASSERT_TRUE(log_open(folder_ + "/Log.txt"));
  }

  test_support::TempDir dir_{"velmora_alert_test"};
  std::string folder_;  // dir_'s path without its final "/"
  std::string old_home_;
  char old_cwd_[4096];
};

TEST(AlertLocation, BuildsSourceAndLine) {
  struct Case {
    const char* label;
    const char* source;
    int line;
    const char* want;
  } cases[] = {
      {"plain", "io_utils", 42, "(io_utils line 42)"},
      {"zero", "xmap", 0, "(xmap line 0)"},
      {"negative", "http", -7, "(http line -7)"},
      {"no source", nullptr, 3, "( line 3)"},
  };
  for (const Case& c : cases) EXPECT_EQ(alert_location(c.source, c.line), c.want) << c.label;
}

TEST_F(AlertTest, ConsoleFormPrintsLogsAndReturnsForSeverity1) {
  testing::internal::CaptureStdout();
  show_alert(0, "Headline", "second", "", "fourth", t_alert, "io_utils", 12);
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Skybase Error:\nHeadline\n\nsecond\n\n\n\nfourth\n\nSorry.\n");
  EXPECT_EQ(log_text(), mem_stats_line + "\nHeadline\nsecond\n\nfourth\n(io_utils line 12)\n");
  EXPECT_TRUE(file_exists("MemoryLog.txt"));
  EXPECT_FALSE(file_exists("stack_crawl.txt"));

  // The alert is idle again: a second one is not taken for a nested alert.
  testing::internal::CaptureStdout();
  show_alert(0, "Again", "", "", "", t_alert, "io_utils", 13);
  EXPECT_NE(testing::internal::GetCapturedStdout().find("Again"), std::string::npos);
}

TEST_F(AlertTest, FatalAlertLogsCreatesStackCrawlAndExitsWithoutSavingPreferences) {
  log_flush();
  EXPECT_EXIT(show_alert(0, "Broken data", "in a file", "", "", t_exit, "xmap", 77),
              testing::ExitedWithCode(1), "");
  EXPECT_EQ(log_text(), mem_stats_line + "\nBroken data\nin a file\n\n\n(xmap line 77)\n");
  ASSERT_TRUE(file_exists("stack_crawl.txt"));
  EXPECT_EQ(read_file("stack_crawl.txt"), "");
  EXPECT_FALSE(file_exists(".velmora"));
}

TEST_F(AlertTest, FatalAlertKeepsAnExistingStackCrawl) {
  test_support::write_file("stack_crawl.txt", "from an earlier run\n");
  log_flush();
  EXPECT_EXIT(show_alert(0, "x", "", "", "", t_exit, "xmap", 1), testing::ExitedWithCode(1), "");
  EXPECT_EQ(read_file("stack_crawl.txt"), "from an earlier run\n");
}

TEST_F(AlertTest, FpsTestFormWritesFiveLinesOnlyAndExitsOnSeverity2) {
  use_fps_test();
  testing::internal::CaptureStdout();
  show_alert(0, "One", "two", "three", "four", t_alert, "tman", 5);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(log_text(), "One\ntwo\nthree\nfour\n(tman line 5)\n");
  EXPECT_FALSE(file_exists("MemoryLog.txt"));

  log_flush();
  EXPECT_EXIT(show_alert(0, "Fatal", "", "", "", t_exit, "butn", -2), testing::ExitedWithCode(1),
              "");
  EXPECT_EQ(log_text(), "One\ntwo\nthree\nfour\n(tman line 5)\nFatal\n\n\n\n(butn line -2)\n");
  EXPECT_TRUE(file_exists("stack_crawl.txt"));
}

// Stands in for the window's dialog: records what it was asked to show.
class RecordingDialog : public AlertDialog {
 public:
  void run(const AlertRequest& request, const std::string& location) override {
    requests.push_back(request);
    locations.push_back(location);
    if (nested_alert) show_alert(0, "Nested", "inside the dialog", "", "", t_alert, "butn", 9);
  }
  std::vector<AlertRequest> requests;
  std::vector<std::string> locations;
  bool nested_alert = false;
};

TEST_F(AlertTest, DialogFormGetsTheRequestOnceGraphicsAreReady) {
  RecordingDialog dialog;
  set_alert_dialog(&dialog);
  testing::internal::CaptureStdout();
  show_alert(0, "Before", "the window", "", "", t_alert, "shell", 1);  // not ready yet: console
  set_graphics_ready(true);
  show_alert(3, "Cannot write", "the file", "", "", t_alert, "io_utils", 99);
  show_alert(0, "", "", "", "", t_alert, "io_utils", 100);  // nothing to show
  EXPECT_EQ(testing::internal::GetCapturedStdout(),
            "Skybase Error:\nBefore\n\nthe window\n\n\n\n\n\nSorry.\n");

  ASSERT_EQ(dialog.requests.size(), 1u);
  const AlertRequest& shown = dialog.requests[0];
  EXPECT_EQ(shown.return_window, 3);
  EXPECT_EQ(shown.line1, "Cannot write");
  EXPECT_EQ(shown.line2, "the file");
  EXPECT_EQ(shown.severity, t_alert);
  EXPECT_EQ(dialog.locations[0], "(io_utils line 99)");
  EXPECT_EQ(log_text(), mem_stats_line + "\nBefore\nthe window\n\n\n(shell line 1)\n" +
                            mem_stats_line + "\nCannot write\nthe file\n\n\n(io_utils line 99)\n" +
                            mem_stats_line + "\n\n\n\n\n(io_utils line 100)\n");
}

TEST_F(AlertTest, FatalAlertInTheDialogFormEndsAfterTheDialog) {
  log_flush();
  EXPECT_EXIT(
      {
        RecordingDialog dialog;
        set_alert_dialog(&dialog);
        set_graphics_ready(true);
        show_alert(0, "Out of memory", "", "", "", t_exit, "tman", 400);
        if (dialog.locations.size() == 1 && dialog.requests[0].severity == t_exit) std::exit(3);
      },
      testing::ExitedWithCode(1), "");
  EXPECT_NE(log_text().find("\nOut of memory\n\n\n\n(tman line 400)\n"), std::string::npos);
}

TEST_F(AlertTest, AlertRaisedInsideTheDialogPrintsAndEndsTheProgram) {
  log_flush();
  EXPECT_EXIT(
      {
        RecordingDialog dialog;
        dialog.nested_alert = true;
        set_alert_dialog(&dialog);
        set_graphics_ready(true);
        show_alert(0, "Outer", "", "", "", t_alert, "http", 50);
      },
      testing::ExitedWithCode(1), "");
  // Only the nested alert reaches its log lines before the end.
  EXPECT_EQ(log_text(), mem_stats_line + "\nNested\ninside the dialog\n\n\n(butn line 9)\n");
}

TEST_F(AlertTest, MemoryLogIsTruncatedOnTheFirstCallOnlyAndNeverWritten) {
  // The first-call state is per process: the check runs in a freshly started copy of this test.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        test_support::write_file("MemoryLog.txt", "stale");
        dump_mem_stats("first");
        bool emptied = read_file("MemoryLog.txt").empty();
        test_support::write_file("MemoryLog.txt", "kept");
        dump_mem_stats("second");
        bool kept = read_file("MemoryLog.txt") == "kept";
        bool logged = log_text() ==
                      "OK check MemoryLog.txt! I just sent him a dump from first\n"
                      "OK check MemoryLog.txt! I just sent him a dump from second\n";
        std::exit(emptied && kept && logged ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
  GTEST_FLAG_SET(death_test_style, "fast");
}

std::string crawl_text(const StackFrameRecord* frame, const void* pc) {
  FILE* file = std::tmpfile();
  write_stack_crawl(file, frame, pc);
  std::string text(std::size_t(std::ftell(file)), '\0');
  std::rewind(file);
  EXPECT_EQ(std::fread(text.data(), 1, text.size(), file), text.size());
  std::fclose(file);
  return text;
}

const void* address(uintptr_t value) { return reinterpret_cast<const void*>(value); }

TEST(StackCrawl, FollowsRecordsUpTheStackOnly) {
  EXPECT_EQ(crawl_text(nullptr, nullptr), "");

  // Records at rising addresses, as a downward-growing stack lays them out; the last one points
  // back down, which ends the walk.
  StackFrameRecord chain[3];
  chain[0] = {&chain[1], address(0x401000)};
  chain[1] = {&chain[2], address(0x402000)};
  chain[2] = {&chain[0], address(0x403000)};
  EXPECT_EQ(crawl_text(&chain[0], address(0x1234)),
            "  0) 0x00001234 (\?\?\?)\n"
            "  1) 0x00401000 (\?\?\?)\n"
            "  2) 0x00402000 (\?\?\?)\n"
            "  3) 0x00403000 (\?\?\?)\n");

  std::vector<StackFrameRecord> long_chain(150);
  for (size_t i = 0; i < long_chain.size(); ++i)
    long_chain[i] = {i + 1 < long_chain.size() ? &long_chain[i + 1] : nullptr, address(0x10 + i)};
  const std::string text = crawl_text(long_chain.data(), nullptr);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 100);
  EXPECT_NE(text.find(" 99) 0x00000073 (\?\?\?)\n"), std::string::npos);
}

}  // namespace
