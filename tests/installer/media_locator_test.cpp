// The install-media locator against a fixture folder: discs listed in a fixture mtab, the fixed
// mount points, the two alerts, the hour between searches, and overlong mtab fields.
#include "installer/media_locator.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string_view>
#include <vector>

#include "app/clock.h"
#include "app/log.h"
#include "files/paths.h"
#include "installer/session.h"
#include "support/files.h"

namespace fs = std::filesystem;

namespace {

using test_support::read_file;
using test_support::write_file;

size_t count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

class MediaLocatorTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    root_ = fs::path(dir_.path()).parent_path();
    // The alerts keep their memory log in the current folder; keep it in the fixture.
    old_folder_ = fs::current_path();
    fs::current_path(root_);
    ASSERT_TRUE(log_open((root_ / "Log.txt").string()));
    session() = InstallerSession{};
    base_folder_prefix().clear();
    reset_disc_search();
    clock_set_override(true, 0);
    clock_reset();
    clock_tick();
    media_locator_config().mtab_path = (root_ / "mtab").string();
    media_locator_config().mount_points = {folder("mnt/cdrom"), folder("cdrom"),
                                           folder("media/dvd")};
  }
  void TearDown() override {
    log_close();
    media_locator_config() = MediaLocatorConfig{};
    clock_set_override(false);
    clock_reset();
    session() = InstallerSession{};
    fs::current_path(old_folder_);
  }

  // A fixture folder path ending in "/".
  std::string folder(const std::string& name) const { return (root_ / name).string() + "/"; }

  void make_disc(const std::string& name, const std::string& version_file = "I\n900\nDVD\n") {
    write_file(root_ / name / "dvd_version.txt", version_file);
  }

  std::string logged() {
    log_flush();
    return read_file(root_ / "Log.txt");
  }

  // The five log lines of one check_dvd call.
  static std::string check_lines(const std::string& folder, bool found,
                                 const std::string& dvd_path) {
    std::string lines = "check_dvd 1! check_path=" + folder + "\n" + "check_dvd 2! check_path=" +
                        folder + "dvd_version.txt, m.exists=" + (found ? "1" : "0") + "\n";
    if (found) lines += "check_dvd 3!\n";
    lines += "alldone! dis_path=, check_path=" + folder + ", dvd_path=" + dvd_path +
             ", ret=" + (found ? "1" : "0") + "\n";
    return lines;
  }

  int search(std::string& printed, std::string& errors, int force = 0) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int found = find_install_disc(force);
    printed = testing::internal::GetCapturedStdout();
    errors = testing::internal::GetCapturedStderr();
    return found;
  }

  test_support::TempDir dir_{"media_test"};
  fs::path root_;
  fs::path old_folder_;
};

TEST_F(MediaLocatorTest, UdfDiscListedInMtabIsFoundWithoutAlert) {
  make_disc("media/cdrom0");
  write_file(root_ / "mtab", "/dev/sda1 " + (root_ / "root").string() +
                                 " ext4 rw,relatime 0 0\n/dev/sr0 " +
                                 (root_ / "media/cdrom0").string() + " udf ro,nosuid 0 0\n");
  std::string printed, errors;
  EXPECT_EQ(search(printed, errors), 1);
  EXPECT_EQ(session().dvd_path, folder("media/cdrom0"));
  EXPECT_EQ(printed, "");
  EXPECT_EQ(errors, "");
  EXPECT_EQ(logged(), check_lines(folder("root"), false, "") +
                          check_lines(folder("media/cdrom0"), true, folder("media/cdrom0")))
      << "every mount point up to the disc is checked, and no fixed mount point after it";
}

TEST_F(MediaLocatorTest, DiscOfAnotherFileSystemIsFoundWithTheUdfAlert) {
  make_disc("media/cdrom0");
  make_disc("media/second");
  write_file(root_ / "mtab", "/dev/sr0 " + (root_ / "media/cdrom0").string() +
                                 " iso9660 ro 0 0\n/dev/sr1 " +
                                 (root_ / "media/second").string() + " iso9660 ro 0 0\n");
  std::string printed, errors;
  EXPECT_EQ(search(printed, errors), 1);
  EXPECT_EQ(session().dvd_path, folder("media/cdrom0"));
  EXPECT_EQ(errors, "LINUX: I saw filesystem type \"iso9660\", but I wanted \"udf\"\n");
  EXPECT_EQ(count(printed, "I found a DVD, but it is not mounted as UDF! Velmora needs discs to be "
                           "mounted as UDF so it can find its files! Run the following commands "
                           "as root at a shell to remount your disc as UDF.\n\n"
                           "umount /dev/dvd && mkdir -p /mnt/dvd && mount -t udf /dev/dvd "
                           "/mnt/dvd\n\n"
                           "I will try to continue anyway, but it probably won't work.\n\n"),
            1u)
      << printed;
  EXPECT_NE(logged().find("(demo line 301)\n"), std::string::npos);
}

TEST_F(MediaLocatorTest, MissingMtabAlertsThenTriesTheFixedMountPointsInOrder) {
  make_disc("media/dvd");
  std::string printed, errors;
  EXPECT_EQ(search(printed, errors), 1);
  EXPECT_EQ(errors, "fopen: No such file or directory\n");
  EXPECT_NE(printed.find("I could not open /etc/mtab!\n\nI cannot scan for CDs without knowing "
                         "about /etc/mtab! I will try some predefined places, but I will not "
                         "guarantee that I can find your DVD!\n\n"
                         "Make sure I can read /etc/mtab next time!\n\n"),
            std::string::npos)
      << printed;
  const std::string log = logged();
  const size_t first = log.find(check_lines(folder("mnt/cdrom"), false, ""));
  const size_t second = log.find(check_lines(folder("cdrom"), false, ""));
  const size_t third = log.find(check_lines(folder("media/dvd"), true, folder("media/dvd")));
  ASSERT_NE(first, std::string::npos) << log;
  EXPECT_GT(second, first);
  EXPECT_NE(third, std::string::npos);
  EXPECT_GT(third, second);
  EXPECT_NE(log.find("(demo line 285)\n"), std::string::npos);
}

TEST_F(MediaLocatorTest, VersionFileMustBeVersion900WithTheDvdKeyword) {
  struct Case {
    const char* label;
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {"valid", "I\n900\nDVD\n", true},
      {"valid, CR LF and remarks", "A\r\n900 version\r\nDVD disc one\r\n", true},
      {"older release", "I\n820\nDVD\n", false},
      {"other keyword", "I\n900\nINSTALLER\n", false},
      {"empty", "", false},
  };
  for (const Case& c : cases) {
    session().dvd_path = "/previous/";
    make_disc("disc", c.text);
    EXPECT_EQ(check_dvd(folder("disc")), c.valid) << c.label;
    EXPECT_EQ(session().dvd_path, c.valid ? folder("disc") : "/previous/") << c.label;
  }
  EXPECT_FALSE(check_dvd(folder("nothing-here")));
}

TEST_F(MediaLocatorTest, CheckWorksOnAbsolutePathsAndKeepsTheBaseFolder) {
  make_disc("disc");
  base_folder_prefix() = "/somewhere/else/";
  EXPECT_TRUE(check_dvd(folder("disc")));
  EXPECT_EQ(base_folder_prefix(), "/somewhere/else/");
  EXPECT_NE(logged().find("alldone! dis_path=/somewhere/else/, check_path=" + folder("disc")),
            std::string::npos);
  base_folder_prefix().clear();
}

TEST_F(MediaLocatorTest, SearchesAtMostOnceAnHourUnlessForced) {
  write_file(root_ / "mtab", "");
  std::string printed, errors;
  EXPECT_EQ(search(printed, errors), 0);
  make_disc("cdrom");
  EXPECT_EQ(search(printed, errors), 0) << "the last result stands";
  EXPECT_EQ(count(logged(), "check_dvd 1!"), 3u);

  clock_set_override(true, 3599'000'000ull);
  clock_tick();
  EXPECT_EQ(search(printed, errors), 0);
  EXPECT_EQ(search(printed, errors, 1), 1) << "forced";
  EXPECT_EQ(session().dvd_path, folder("cdrom"));

  fs::remove_all(root_ / "cdrom");
  clock_set_override(true, 2 * 3600'000'000ull);
  clock_tick();
  EXPECT_EQ(search(printed, errors), 0) << "an hour after the forced search";
  EXPECT_EQ(session().dvd_path, folder("cdrom")) << "a failed search keeps the last folder";
}

TEST_F(MediaLocatorTest, OverlongMtabFieldsAreSkipped) {
  make_disc("media/cdrom0");
  const std::string too_long = "/" + std::string(600, 'x');
  const std::string path_too_long = "/" + std::string(505, 'y');  // fits a field, not a path
  write_file(root_ / "mtab", "/dev/sr0 " + too_long + " udf ro 0 0\n" + "/dev/sr1 " +
                                 path_too_long + " udf ro 0 0\n" + "/dev/sr2 " +
                                 (root_ / "media/cdrom0").string() + " udf ro 0 0\n");
  std::string printed, errors;
  EXPECT_EQ(search(printed, errors), 1);
  EXPECT_EQ(printed, "") << "no alert for a path too long to be a disc";
  const std::string log = logged();
  EXPECT_EQ(log.find(too_long), std::string::npos) << "the overlong entry is not checked";
  EXPECT_NE(log.find("check_dvd 2! check_path=" + path_too_long + "/dvd_version.txt, m.exists=0"),
            std::string::npos);
  EXPECT_EQ(session().dvd_path, folder("media/cdrom0"));
}

}  // namespace

namespace {

TEST(MtabReader, ReadsEntriesTheWayTheirScanFormatDoes) {
  struct Case {
    const char* label;
    std::string text;
    std::vector<std::string> mounts;  // "mount point|type" of each entry read, "skipped" for
                                      // a skipped one, in order, until the reader is finished
  };
  const std::string long_field(512, 'o');
  const Case cases[] = {
      {"one entry per line", "/dev/a /mnt/a ext4 rw 0 0\n/dev/b /b udf ro 0 0\n",
       {"/mnt/a|ext4", "/b|udf"}},
      {"any white space between fields", "\t/dev/a\t /mnt/a  ext4\rrw\n0\v0\n", {"/mnt/a|ext4"}},
      {"signed numbers", "/dev/a /a ext4 rw -1 +2\n", {"/a|ext4"}},
      {"a missing number ends the table", "/dev/a /a ext4 rw 0\n/dev/b /b udf ro 0 0\n", {}},
      {"a word where a number belongs ends it", "/dev/a /a ext4 rw 0 x\n", {}},
      {"a number ends at its first non-digit, the rest starts the next entry",
       "/dev/a /a ext4 rw 0 0/dev/b /b udf ro 0 0\n", {"/a|ext4", "/b|udf"}},
      {"extra words start the next entry", "/dev/a /a ext4 rw 0 0 extra\n", {"/a|ext4"}},
      {"an overlong field skips only its entry",
       "/dev/a /a ext4 " + long_field + " 0 0\n/dev/b /b udf ro 0 0\n", {"skipped", "/b|udf"}},
      {"a field of 511 characters is kept", "/dev/a /" + std::string(510, 'p') + " udf ro 0 0\n",
       {"/" + std::string(510, 'p') + "|udf"}},
      {"empty text", "", {}},
      {"no line end at the end", "/dev/a /a ext4 rw 0 0", {"/a|ext4"}},
  };
  for (const Case& c : cases) {
    std::string_view text = c.text;
    std::vector<std::string> read;
    MtabEntry entry;
    for (MtabRead result; (result = read_mtab_entry(text, entry)) != MtabRead::finished;)
      read.push_back(result == MtabRead::skipped ? "skipped"
                                                 : entry.mount_point + "|" + entry.type);
    EXPECT_EQ(read, c.mounts) << c.label;
  }
}

}  // namespace
