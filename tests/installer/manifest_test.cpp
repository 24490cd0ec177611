// The manifest reader: header refusal, records and grouping, special names, clamping, paths that
// must not be acted on, and the progress panel pacing.
#include "installer/manifest.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "app/shell.h"
#include "installer/frontend.h"
#include "installer/session.h"
#include "support/files.h"
#include "support/recording_frontend.h"

namespace {

const std::string sig_a = "0123456789abcdef0123456789abcdef";
const std::string sig_b = "fedcba9876543210fedcba9876543210";
const std::string header = "I\n900\nINSTALLER\n";

using test_support::PanelCall;
using test_support::RecordingFrontend;

class ManifestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    set_frontend(&front);
  }
  void TearDown() override { set_frontend(nullptr); }

  std::string write(const std::string& content) {
    std::string path = root + "directory.txt";
    test_support::write_file(path, content);
    return path;
  }
  // Reads `records` after a good header and returns the paths of the groups' current entries.
  std::vector<std::string> current_paths(const std::string& records) {
    EXPECT_TRUE(read_manifest(write(header + records), "Reading"));
    std::vector<std::string> paths;
    for (const PathGroup& group : manifest().groups) paths.push_back(group.current().path);
    return paths;
  }

  test_support::TempDir dir{"manifest_test"};
  const std::string root = dir.path();
  RecordingFrontend front;
};

std::string file_line(const std::string& name, const std::string& numbers = "0 3 0 10 20",
                      const std::string& signature = sig_a) {
  return "FILE " + numbers + " " + signature + " " + name + "\n";
}

void prepare_for_alert() {
  std::fflush(stdout);
  ::dup2(2, 1);
  ::chdir("/tmp");
}

TEST_F(ManifestTest, ReadsAnEntry) {
  session().dest_dir_path = "/home/pilot/Velmora 9/";
  ASSERT_TRUE(read_manifest(write(header + "DIR Velmora 9/\n" +
                                  file_line("Aircraft/x.acf", "0 3 0 1200 3400") +
                                  file_line("Old/gone.txt", "0 0 0 0 0", "GONE")),
                            "Reading"));
  ASSERT_EQ(manifest().groups.size(), 2u);
  const ManifestEntry& entry = manifest().groups[0].current();
  EXPECT_EQ(entry.path, "Velmora 9/Aircraft/x.acf");
  EXPECT_EQ(entry.platform, 3);
  EXPECT_EQ(entry.download_kb, 1200.0f);
  EXPECT_EQ(entry.install_kb, 3400.0f);
  EXPECT_EQ(entry.sig_want, sig_a);
  EXPECT_EQ(entry.sig_have, "");
  EXPECT_FALSE(entry.same || entry.fetch || entry.remove);
  EXPECT_EQ(local_path(entry), "/home/pilot/Velmora 9/Aircraft/x.acf");
  EXPECT_EQ(manifest().groups[1].current().sig_want, "GONE");

  // Every call starts from an empty manifest.
  ASSERT_TRUE(read_manifest(write(header + file_line("V/one")), "Reading"));
  EXPECT_EQ(manifest().groups.size(), 1u);
}

TEST_F(ManifestTest, NumbersAreClampedWhereSaid) {
  struct Case {
    const char* numbers;
    int reserved_code, platform, reserved_number;
    float download_kb;
  };
  const Case cases[] = {
      {"-2 9 -5 7 8", 0, 6, -5, 7},
      {"7 -1 3 1x 8", 4, 0, 3, 1 * 10 + ('x' - '0')},
      {"4 6 0 0 0", 4, 6, 0, 0},
      {"+3 +2 007 0012 -0", 3, 2, 7, 12},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.numbers);
    ASSERT_TRUE(read_manifest(
        write(header + "DIR V/\nFILE " + c.numbers + " " + sig_a + " a b\n"), "Reading"));
    ASSERT_EQ(manifest().groups.size(), 1u);
    const ManifestEntry& entry = manifest().groups[0].current();
    EXPECT_EQ(entry.reserved_code, c.reserved_code);
    EXPECT_EQ(entry.platform, c.platform);
    EXPECT_EQ(entry.reserved_number, c.reserved_number);
    EXPECT_EQ(entry.download_kb, c.download_kb);
  }
}

TEST_F(ManifestTest, GroupsFollowConsecutivePaths) {
  ASSERT_TRUE(read_manifest(write(header + "DIR V/\n" + file_line("a", "0 0 0 1 1", sig_a) +
                                  file_line("a", "0 0 0 2 2", sig_b) +
                                  file_line("x/Earth Orbit Textures/t.dds") +
                                  file_line("a", "0 0 0 3 3", sig_a) + file_line("b") +
                                  file_line("a", "0 0 0 4 4", sig_b)),
                            "Reading"));
  const auto& groups = manifest().groups;
  ASSERT_EQ(groups.size(), 3u);
  // A dropped record between two equal paths does not split their group.
  ASSERT_EQ(groups[0].entries.size(), 3u);
  EXPECT_EQ(groups[0].entries[0].sig_want, sig_a);
  EXPECT_EQ(groups[0].current().download_kb, 3.0f);
  EXPECT_EQ(groups[1].current().path, "V/b");
  ASSERT_EQ(groups[2].entries.size(), 1u);
  EXPECT_EQ(groups[2].current().path, "V/a");
  EXPECT_EQ(groups[2].current().download_kb, 4.0f);
}

TEST_F(ManifestTest, RecordLayouts) {
  struct Case {
    const char* label;
    std::string records;
    std::vector<std::string> paths;
  };
  const Case cases[] = {
      {"file before any folder", file_line("alone.txt"), {"alone.txt"}},
      {"folder used verbatim", "DIR V/sub dir/  \n" + file_line("f"), {"V/sub dir/  f"}},
      {"name with blanks and trailing blanks", "DIR V/\n" + file_line("a b  c  "),
       {"V/a b  c  "}},
      {"DIR alone at a line end is no record",
       "DIR V/\nDIR\n" + file_line("f") + "DIR", {"V/f"}},
      {"keyword must be followed by a blank",
       "DIR V/\nDIRECTORY W/\nFILES 0 0 0 0 0 " + sig_a + " g\n" + file_line("f"), {"V/f"}},
      {"leading blanks, tabs, CR LF and blank lines",
       "\r\n  DIR V/\r\n\r\n\tFILE\t0\t3\t0\t1\t2\t" + sig_a + "\tname\r\n", {"V/name"}},
      {"last record without a line end", "DIR V/\nFILE 0 3 0 1 2 " + sig_a + " last",
       {"V/last"}},
      {"other lines are ignored", "# a remark\nDIR V/\nSOMETHING else\n" + file_line("f"),
       {"V/f"}},
      {"special names are dropped",
       "DIR V/\n" + file_line("Custom/Earth Orbit Textures old/a.png") +
           file_line("x900 red terrainy") + file_line("kept"),
       {"V/kept"}},
      {"special name only in the folder is kept",
       "DIR V/Earth Orbit Textures/\n" + file_line("a.png"), {"V/Earth Orbit Textures/a.png"}},
      {"no records", "", {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(current_paths(c.records), c.paths);
  }
}

TEST_F(ManifestTest, RereadingReplacesEverythingTheLastReadLeft) {
  std::string big = "DIR V/\n";
  for (int i = 0; i < 30; ++i) big += file_line("a" + std::to_string(i)) + file_line("a" + std::to_string(i));
  ASSERT_TRUE(read_manifest(write(header + big), "Reading"));
  ASSERT_EQ(manifest().groups.size(), 30u);
  for (PathGroup& group : manifest().groups) {
    for (ManifestEntry& entry : group.entries) {
      entry.sig_have = "NONE";
      entry.same = entry.fetch = entry.remove = true;
    }
  }

  ASSERT_TRUE(read_manifest(write(header + "DIR W/\n" + file_line("x", "1 1 1 1 1", "GONE") +
                                  file_line("y") + file_line("y", "0 0 0 5 5")),
                            "Reading"));
  const auto& groups = manifest().groups;
  ASSERT_EQ(groups.size(), 2u);
  ASSERT_EQ(groups[0].entries.size(), 1u);
  ASSERT_EQ(groups[1].entries.size(), 2u);
  EXPECT_EQ(groups[0].current().path, "W/x");
  EXPECT_EQ(groups[0].current().sig_want, "GONE");
  EXPECT_EQ(groups[0].current().reserved_code, 1);
  EXPECT_EQ(groups[1].current().download_kb, 5.0f);
  for (const PathGroup& group : groups) {
    for (const ManifestEntry& entry : group.entries) {
      EXPECT_EQ(entry.sig_have, "");
      EXPECT_FALSE(entry.same || entry.fetch || entry.remove);
    }
  }

  ASSERT_TRUE(read_manifest(write(header + big), "Reading"));
  EXPECT_EQ(manifest().groups.size(), 30u);
  EXPECT_EQ(manifest().groups[29].entries.size(), 2u);
  EXPECT_EQ(manifest().groups[1].current().path, "V/a1");
}

TEST_F(ManifestTest, RefusedHeaderReportsNewerFormat) {
  const std::string refused[] = {"I\n820\nINSTALLER\n" + file_line("V/a"),
                                 "I\n900\nINSTALLERS\n" + file_line("V/a"),
                                 "B\n900\nINSTALLER\n", ""};
  for (const std::string& content : refused) {
    SCOPED_TRACE(content);
    shell().quit_requested = 0;
    session().run_state = run_idle;
    front.pages.clear();
    std::string path = write(content);
    testing::internal::CaptureStdout();
    bool result = read_manifest(path, "Reading");
    std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(result);
    EXPECT_TRUE(manifest().groups.empty());
    EXPECT_EQ(shell().quit_requested, 1);
    EXPECT_EQ(session().run_state, run_ended);
    EXPECT_EQ(front.pages.size(), 1u);
    EXPECT_NE(printed.find("OK I am checking the Corvane servers and I am finding file formats "
                           "that are newer than I can understand!\n\nIn other words, you need to "
                           "get a new installer!\n\n"),
              std::string::npos);
    EXPECT_NE(printed.find(path + "\n\nSorry."), std::string::npos);
  }
  shell().quit_requested = 0;
  session().run_state = run_idle;
}

TEST_F(ManifestTest, ProgressPanelEveryFiveHundredRecords) {
  std::string records = "DIR V/\n";
  for (int i = 0; i < 1500; ++i) records += file_line("f" + std::to_string(i));
  std::string path = write(header + records);
  ASSERT_TRUE(read_manifest(path, "Reading the release"));
  ASSERT_EQ(front.panels.size(), 3u);  // whatever the program-wide count was before
  float file_size = static_cast<float>(header.size() + records.size());
  float previous = 0;
  for (const PanelCall& call : front.panels) {
    EXPECT_EQ(call.state, 0);
    EXPECT_EQ(call.start, 0.0f);
    EXPECT_EQ(call.end, file_size);
    EXPECT_GT(call.position, previous);
    EXPECT_LE(call.position, file_size);
    EXPECT_EQ(call.line1, "Reading the release");
    EXPECT_EQ(call.line3.substr(0, 1), "f");
    previous = call.position;
  }
}

TEST(ManifestPaths, StaysInside) {
  struct Case {
    const char* path;
    bool inside;
  };
  const Case cases[] = {
      {"Velmora 9/Aircraft/x.acf", true}, {"V/a..b/..c", true},     {"V/a/./b", true},
      {"../x", true},  // the first component is replaced by the destination folder
      {"alone.txt", true},                {"V/../x", false},        {"V/a/../../x", false},
      {"V/a/..", false},                  {"V/..", false},          {"..", false},
      {"V//etc/passwd", false},           {"/etc/passwd", true},  // first component is empty
      {"V/a//b", true},
  };
  for (const Case& c : cases) EXPECT_EQ(path_stays_inside(c.path), c.inside) << c.path;
}

TEST(ManifestPaths, PlatformRule) {
  ManifestEntry entry;
  const int expected_on_linux[] = {1, 0, 0, 1, 0, 0, 1};
  for (int platform = 0; platform <= 6; ++platform) {
    entry.platform = platform;
    EXPECT_EQ(entry_applies(entry, 3), expected_on_linux[platform] == 1) << platform;
  }
  entry.platform = 6;
  EXPECT_FALSE(entry_applies(entry, 2));
  entry.platform = 2;
  EXPECT_TRUE(entry_applies(entry, 2));
}

TEST_F(ManifestTest, RecordsThatMustNotBeActedOnEndTheProgram) {
  EXPECT_EXIT((prepare_for_alert(), read_manifest(root + "missing.txt", "Reading")),
              testing::ExitedWithCode(1),
              "I tried to read a directory file that does not exist!\n\nThe file is:\n\n" + root +
                  "missing.txt\n\n\n\nSorry.");
  const struct {
    std::string records;
    std::string headline;
    std::string path;
  } cases[] = {
      {"DIR V/\nFILE 0 3 0 1 2 " + sig_a + "\n", "found a path that has no file!", "V/"},
      {"DIR V/\n" + file_line("sub/"), "found a path that has no file!", "V/sub/"},
      {"FILE 0 3 0 1 2\n", "found a path that has no file!", ""},
      {"DIR V/\n" + file_line("../../.bashrc", "0 0 0 1 1", "GONE"),
       "found a path that leads outside the installation folder!", "V/../../.bashrc"},
      {"DIR V/\n" + file_line("/etc/passwd"),
       "found a path that leads outside the installation folder!", "V//etc/passwd"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.records);
    std::string path = write(header + file_line("fine") + c.records);
    EXPECT_EXIT((prepare_for_alert(), read_manifest(path, "Reading")), testing::ExitedWithCode(1),
                "I am reading the directory text file and " + c.headline + "\n\n.*\n\nIt is:\n\n" +
                    c.path + "\n\nSorry.");
  }
}

}  // namespace
