// The install executor: item names, the path guard, payload expansion with its release check,
// deletion and the deleted-folder set, the release's folders, and the end-of-run clean-up and
// rename.
#include <gtest/gtest.h>

#include <minizip/zip.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/alert.h"
#include "app/log.h"
#include "files/errors.h"
#include "installer/executor.h"
#include "installer/manifest.h"
#include "installer/session.h"
#include "support/files.h"

namespace {

namespace fs = std::filesystem;
using test_support::file_exists;
using test_support::read_file;
using test_support::TempDir;
using test_support::write_file;

const std::string md5_hello = "5d41402abc4b2a76b9719d911017c592";  // "hello"

// Records every alert; also prints it on standard error, where a test of an alert that ends the
// program can read it back.
class RecordingAlerts final : public AlertDialog {
 public:
  std::vector<AlertRequest> requests;
  void run(const AlertRequest& request, const std::string&) override {
    requests.push_back(request);
    std::fprintf(stderr, "alert: %s|%s|%s|%s|\n", request.line1.c_str(), request.line2.c_str(),
                 request.line3.c_str(), request.line4.c_str());
  }
};

// `text` as an extended regular expression matching exactly itself.
std::string literal_pattern(const std::string& text) {
  std::string pattern;
  for (char c : text) {
    if (std::strchr(".[]{}()\\*+?^$|", c)) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

// One entry of a test archive: a file with `content`, or a symbolic link whose target is
// `content`.
struct PayloadEntry {
  std::string name, content;
  bool link = false;
};

// A zip archive holding `entries`, made with minizip's writing side.
void make_zip(const std::string& archive, const std::vector<PayloadEntry>& entries) {
  zipFile zip = zipOpen64(archive.c_str(), APPEND_STATUS_CREATE);
  ASSERT_NE(zip, nullptr);
  for (const PayloadEntry& entry : entries) {
    zip_fileinfo info{};
    if (entry.link) info.external_fa = 0120777u << 16;
    ASSERT_EQ(zipOpenNewFileInZip(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0, nullptr,
                                  Z_DEFLATED, Z_DEFAULT_COMPRESSION),
              ZIP_OK);
    ASSERT_EQ(zipWriteInFileInZip(zip, entry.content.data(), unsigned(entry.content.size())),
              ZIP_OK);
    ASSERT_EQ(zipCloseFileInZip(zip), ZIP_OK);
  }
  ASSERT_EQ(zipClose(zip, nullptr), ZIP_OK);
}

// A 7z archive holding one file, made with the 7-Zip command.
void make_7z(const std::string& archive, const std::string& name, const std::string& content) {
  const TempDir stage("velmora-stage7z");
  ASSERT_TRUE(stage.ok());
  write_file(stage / name, content);
  const std::string command = "cd '" + stage.path() + "' && 7zz a -t7z -bd -bso0 -bsp0 '" +
                              archive + "' '" + name + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
}

ManifestEntry entry_for(const std::string& inside, const std::string& sig_want = md5_hello,
                        int platform = 0) {
  ManifestEntry entry;
  entry.path = "Velmora 9/" + inside;
  entry.sig_want = sig_want;
  entry.platform = platform;
  return entry;
}

class ExecutorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ASSERT_TRUE(scratch.ok());
    root = scratch.path();
    fs::create_directories(root / "V9");
    fs::create_directories(root / "tmp");
    InstallerSession& s = session();
    s.dest_dir_path = (root / "V9").string() + "/";
    s.temp_dir = (root / "tmp").string() + "/";
    s.server_paths[0] = "/v9/";
    s.server_paths[1] = "/mirror/";
    s.server_index = 0;
    s.install_error = 0;
    s.log_actions = 0;
    s.rename_needed = 0;
    s.rename_folder = 1;
    s.platform_code = 3;
    deleted_folders().clear();
    manifest().groups.clear();
    set_alert_dialog(&alerts);
    set_graphics_ready(true);
    log_path = root / "log.txt";
    ASSERT_TRUE(log_open(log_path.string()));
  }
  void TearDown() override {
    log_close();
    set_graphics_ready(false);
    set_alert_dialog(nullptr);
    manifest().groups.clear();
  }
  std::string log_text() {
    log_flush();
    return read_file(log_path);
  }
  std::string dest() const { return session().dest_dir_path; }

  TempDir scratch{"velmora-executor"};
  fs::path root;
  fs::path log_path;
  RecordingAlerts alerts;
};

// ---- names and the path guard ----------------------------------------------------------------

TEST_F(ExecutorTest, ItemNames) {
  struct Case {
    std::string inside;
    int slot;
    int server_index;
    std::string extension, server_path, temp_name;
  };
  const Case cases[] = {
      {"Aircraft/x.acf", 1, 0, ".zip", "/v9/Velmora 9/Aircraft/x.acf.zip", "1.zip"},
      {"Custom Scenery/Global Scenery/+40-080.dsf", 3, 1, ".7z",
       "/mirror/Velmora 9/Custom Scenery/Global Scenery/+40-080.dsf.7z", "3.7z"},
      {"Resources/global scenery.txt", 0, 0, ".zip", "/v9/Velmora 9/Resources/global scenery.txt.zip",
       "0.zip"},  // the match is case-sensitive
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.inside);
    session().server_index = c.server_index;
    const ManifestEntry entry = entry_for(c.inside);
    const ItemNames names = begin_item(entry, c.slot);
    EXPECT_EQ(names.extension, c.extension);
    EXPECT_EQ(names.server_path, c.server_path);
    EXPECT_EQ(names.local_path, dest() + c.inside);
    EXPECT_EQ(names.temp_file, session().temp_dir + c.temp_name);
    EXPECT_EQ(session().failed_file, c.server_path);
    EXPECT_EQ(session().current_file, fs::path(c.server_path).filename().string());
  }
}

TEST_F(ExecutorTest, PathsThatNameNoFileOrLeaveTheDestinationEndTheProgram) {
  write_file(root / "outside.txt", "keep");
  struct Case {
    std::string path;
    std::string alert;  // what the alert says, line by line
  };
  const Case cases[] = {
      {"Velmora 9/Aircraft/",
       "I am working through the list and found a path that has no file!|"
       "This is impossible to download or delete!|It is:|Velmora 9/Aircraft/|"},
      {"Velmora 9/../outside.txt", "found a path outside the install folder!"},
      {"Velmora 9//etc/passwd", "found a path outside the install folder!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    ManifestEntry entry;
    entry.path = c.path;
    const std::string alert = literal_pattern(c.alert);
    EXPECT_EXIT(begin_item(entry, 0), ::testing::ExitedWithCode(1), alert);
    EXPECT_EXIT(delete_item(entry), ::testing::ExitedWithCode(1), alert);
    EXPECT_EXIT(install_item(entry, 0), ::testing::ExitedWithCode(1), alert);
  }
  EXPECT_EQ(read_file(root / "outside.txt"), "keep");
}

// ---- expansion ---------------------------------------------------------------------------------

TEST_F(ExecutorTest, InstallItemChecksThePayloadAgainstTheRelease) {
  struct Case {
    const char* label;
    std::string inside;  // "Global Scenery" in it makes the item a 7z payload
    std::vector<PayloadEntry> payload;  // none: no archive downloaded
    bool garbage;                       // an archive that is not one
    int error;                          // 0: installed
  };
  const Case cases[] = {
      {"zip holding the release's file", "Aircraft/x.acf", {{"x.acf", "hello"}}, false, 0},
      {"7z holding the release's file", "Global Scenery/a.dsf", {{"a.dsf", "hello"}}, false, 0},
      {"zip with other content", "Aircraft/x.acf", {{"x.acf", "HELLO"}}, false,
       err_release_mismatch},
      {"7z with other content", "Global Scenery/a.dsf", {{"a.dsf", "hellO"}}, false,
       err_release_mismatch},
      {"zip holding another file", "Aircraft/x.acf", {{"y.acf", "hello"}}, false,
       err_release_mismatch},
      {"zip holding no file", "Aircraft/x.acf", {{"sub/", ""}}, false, err_release_mismatch},
      {"zip holding a link in the file's place", "Aircraft/x.acf", {{"x.acf", "/etc/hostname", true}},
       false, err_release_mismatch},
      {"zip with a link beside the file", "Aircraft/x.acf",
       {{"y.acf", "/etc", true}, {"x.acf", "hello"}}, false, 0},
      {"zip with a folder beside the file", "Aircraft/x.acf", {{"y.acf/", ""}, {"x.acf", "hello"}},
       false, 0},
      {"not an archive", "Aircraft/x.acf", {}, true, err_zip_open},
      {"no download at all", "Aircraft/x.acf", {}, false, err_zip_open},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    session().install_error = 0;
    alerts.requests.clear();
    ManifestEntry entry = entry_for(c.inside);
    const ItemNames names = begin_item(entry, 2);
    fs::remove_all(root / "V9");
    write_file(names.local_path, "old file");
    const std::string folder = fs::path(names.local_path).parent_path().string() + "/";
    write_file(folder + ".velmora-unpack/left by a killed run", "x");
    if (c.garbage) {
      write_file(names.temp_file, "this is not an archive at all");
    } else if (!c.payload.empty()) {
      if (names.extension == ".7z")
        make_7z(names.temp_file, c.payload[0].name, c.payload[0].content);
      else
        make_zip(names.temp_file, c.payload);
    }

    install_item(entry, 2);

    EXPECT_FALSE(fs::exists(names.temp_file));  // the download goes, whatever the result
    // Nothing but the release's file reaches its folder, and nothing is left beside it.
    EXPECT_FALSE(file_exists(folder + "y.acf"));
    EXPECT_FALSE(file_exists(folder + ".velmora-unpack"));
    EXPECT_FALSE(fs::is_symlink(names.local_path));
    if (c.error == 0) {
      EXPECT_EQ(read_file(names.local_path), "hello");
      EXPECT_TRUE(entry.same);
      EXPECT_EQ(session().install_error, 0);
      EXPECT_TRUE(alerts.requests.empty());
      continue;
    }
    EXPECT_EQ(read_file(names.local_path), "old file");  // never replaced by a wrong file
    EXPECT_FALSE(entry.same);
    EXPECT_EQ(session().install_error, 1);
    ASSERT_EQ(alerts.requests.size(), 1u);
    const AlertRequest& alert = alerts.requests[0];
    EXPECT_EQ(alert.severity, t_alert);
    EXPECT_STREQ(alert.source, "utils");
    EXPECT_EQ(alert.line1, "The installer cannot extract a file.");
    EXPECT_EQ(alert.line2, "Error: " + error_text(c.error));
    EXPECT_EQ(alert.line3, "Compressed File: " + names.temp_file);
    EXPECT_EQ(alert.line4, "Destination: " + names.local_path);
  }
}

TEST_F(ExecutorTest, ExpansionLogLinesOnlyWithActionLogging) {
  const std::string archive = session().temp_dir + "0.zip";
  const std::string target = dest() + "a.txt";
  make_zip(archive, {{"a.txt", "any content"}});
  expand_archive(archive, target);  // no signature to meet
  EXPECT_EQ(read_file(target), "any content");
  EXPECT_EQ(log_text().find("EXPANDING"), std::string::npos);

  session().log_actions = 1;
  make_zip(archive, {{"a.txt", "again"}});
  expand_archive(archive, target);
  const std::string log = log_text();
  EXPECT_NE(log.find("EXPANDING file " + target + ", with result=0.\n"
                     "DELETING  file " + archive + ", with result=0.\n"),
            std::string::npos)
      << log;
}

// ---- deletion and clean-up -----------------------------------------------------------------------

TEST_F(ExecutorTest, DeleteItemRemembersEveryFolderUpToTheDestination) {
  write_file(dest() + "quiet", "q");
  delete_item(entry_for("quiet"));  // without action logging nothing is written
  EXPECT_FALSE(fs::exists(dest() + "quiet"));
  EXPECT_EQ(log_text().find("DELETING"), std::string::npos);
  EXPECT_TRUE(deleted_folders().empty());  // the destination itself is never removed

  session().log_actions = 1;
  const ManifestEntry entry = entry_for("Aircraft/A/b/x");
  write_file(dest() + "Aircraft/A/b/x", "x");
  delete_item(entry);
  EXPECT_FALSE(fs::exists(dest() + "Aircraft/A/b/x"));
  EXPECT_EQ(session().activity, activity_deleting);
  EXPECT_EQ(deleted_folders(), (std::set<std::string>{dest() + "Aircraft/", dest() + "Aircraft/A/",
                                                      dest() + "Aircraft/A/b/"}));
  EXPECT_NE(log_text().find("now we want to nuke a file: DELETING  file " + dest() +
                            "Aircraft/A/b/x, with result=0.\n"),
            std::string::npos);
}

TEST_F(ExecutorTest, FailedDeletionEndsTheProgram) {
  // The program's run of this test has a scratch folder of its own, so the destination is
  // matched by its last part.
  const std::string alert =
      literal_pattern("Could not delete a file that I no longer want to have!|" +
                      error_text(ENOENT) + "|/") +
      ".*" + literal_pattern("/V9/Aircraft/missing||");
  EXPECT_EXIT(delete_item(entry_for("Aircraft/missing")), ::testing::ExitedWithCode(1), alert);
}

TEST_F(ExecutorTest, PassOverShowsWhyNothingIsDone) {
  ManifestEntry entry = entry_for("a");
  entry.same = true;
  pass_over_item(entry);
  EXPECT_EQ(session().activity, activity_already_have);
  entry.same = false;
  pass_over_item(entry);
  EXPECT_EQ(session().activity, activity_not_needed);
}

TEST_F(ExecutorTest, FinishRunRemovesEmptiedFoldersDeepestFirst) {
  session().log_actions = 1;
  write_file(dest() + "Aircraft/A/b/x", "x");
  write_file(dest() + "Aircraft/keep.acf", "k");
  write_file(dest() + "Hidden/y", "y");
  write_file(dest() + "Hidden/.only_hidden", "h");
  delete_item(entry_for("Aircraft/A/b/x"));
  delete_item(entry_for("Hidden/y"));

  finish_run();

  EXPECT_FALSE(fs::exists(dest() + "Aircraft/A"));  // b went first, so A was empty in turn
  EXPECT_TRUE(fs::exists(dest() + "Aircraft/keep.acf"));
  EXPECT_TRUE(fs::exists(dest() + "Hidden/.only_hidden"));
  const std::string log = log_text();
  const size_t b = log.find("cleanup: DELETING  file " + dest() + "Aircraft/A/b/, with result=0.\n");
  const size_t a = log.find("cleanup: DELETING  file " + dest() + "Aircraft/A/, with result=0.\n");
  ASSERT_NE(b, std::string::npos) << log;
  ASSERT_NE(a, std::string::npos) << log;
  EXPECT_LT(b, a);
  EXPECT_EQ(log.find("cleanup: DELETING  file " + dest() + "Aircraft/,"), std::string::npos);
  // Hidden entries are not listed, so the folder looks empty; its removal fails and is logged.
  EXPECT_NE(log.find("cleanup: DELETING  file " + dest() + "Hidden/, with result=39.\n"),
            std::string::npos)
      << log;
}

TEST_F(ExecutorTest, FinishRunRename) {
  struct Case {
    const char* label;
    int rename_needed, rename_folder;
    std::string release_name;
    bool renamed;
    bool logged;
  };
  const Case cases[] = {
      {"renamed", 1, 1, "Velmora 9.31", true, false},
      {"preference off", 1, 0, "Velmora 9.31", false, false},
      {"not needed", 0, 1, "Velmora 9.31", false, false},
      {"empty name", 1, 1, "", false, true},
      {"dot", 1, 1, ".", false, true},
      {"dot dot", 1, 1, "..", false, true},
      {"a path", 1, 1, "../../elsewhere", false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    fs::remove_all(root / "Velmora 9.31");
    session().dest_dir_path = (root / "V9").string() + "/";
    session().rename_needed = c.rename_needed;
    session().rename_folder = c.rename_folder;
    session().release_name = c.release_name;
    const size_t log_before = log_text().size();

    finish_run();

    const std::string expected = c.renamed ? (root / "Velmora 9.31").string() + "/"
                                           : (root / "V9").string() + "/";
    EXPECT_EQ(session().dest_dir_path, expected);
    EXPECT_TRUE(fs::is_directory(expected));
    EXPECT_EQ(log_text().size() > log_before, c.logged);
    if (c.renamed) fs::rename(root / "Velmora 9.31", root / "V9");
  }
}

// ---- create_folders ----------------------------------------------------------------------------------

TEST_F(ExecutorTest, CreateFoldersMakesTheChainAndEveryReleaseFolderOnce) {
  session().dest_dir_path = (root / "home/u/V9").string() + "/";
  for (const ManifestEntry& entry :
       {entry_for("Aircraft/A/x"), entry_for("Aircraft/B/y"), entry_for("Aircraft/A/z"),
        entry_for("Gone/old", "GONE"), entry_for("Windows/w.exe", md5_hello, 2),
        entry_for("top.txt")})
    manifest().groups.push_back(PathGroup{{entry}});

  create_folders();

  EXPECT_TRUE(alerts.requests.empty());
  for (const char* folder : {"Aircraft/A", "Aircraft/B", "Output/FMS plans", "Output/logbooks",
                             "Output/movies", "Output/situations", "Resources/preferences"})
    EXPECT_TRUE(fs::is_directory(dest() + folder)) << folder;
  EXPECT_FALSE(fs::exists(dest() + "Gone"));
  EXPECT_FALSE(fs::exists(dest() + "Windows"));
  create_folders();  // everything exists now: not an error
  EXPECT_TRUE(alerts.requests.empty());
}

TEST_F(ExecutorTest, CreateFoldersReportsFailuresAndGoesOn) {
  write_file(root / "blocker", "a file where a folder should be");
  session().dest_dir_path = (root / "blocker/V9").string() + "/";
  manifest().groups.push_back(PathGroup{{entry_for("Aircraft/A/x")}});

  create_folders();

  // The destination itself, the first release folder, and each of the seven fixed folders.
  ASSERT_EQ(alerts.requests.size(), 9u);
  const AlertRequest& first = alerts.requests[0];
  EXPECT_EQ(first.severity, t_alert);
  EXPECT_EQ(first.line1,
            "I am unable to install or update Velmora. An error occurred while creating new "
            "folders. Make sure you are installing to a directory that you have access to!");
  EXPECT_EQ(first.line2, "Error: " + error_text(20));
  EXPECT_EQ(first.line3, "Install Location: " + dest());
  EXPECT_EQ(first.line4, "Install Path:" + (root / "blocker/V9").string());
  EXPECT_EQ(alerts.requests[1].line4, "Install Path:" + dest() + "Aircraft");
  EXPECT_EQ(alerts.requests[8].line4, "Install Path:" + dest() + "Resources/preferences");
}

}  // namespace
