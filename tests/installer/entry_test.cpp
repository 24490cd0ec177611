// The installer's entry: operating-system folders, the default destination, the start-up
// sequence with its log lines and "-path", the private download folder, the destination choice
// and the recognition of an existing installation.
#include "installer/entry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <vector>

#include "app/clock.h"
#include "app/log.h"
#include "app/options.h"
#include "app/shell.h"
#include "installer/frontend.h"
#include "installer/media_locator.h"
#include "installer/session.h"
#include "support/files.h"

namespace fs = std::filesystem;

namespace {

using test_support::read_file;
using test_support::write_file;

// Answers the folder chooser from a script and records where it was opened.
class ScriptedChooser final : public Frontend {
 public:
  void progress_panel(float, float, float, int, const std::string&, const std::string&) override {}
  int ask_modified(const std::string&, bool) override { return 3; }
  bool show_terms() override { return false; }
  bool choose_folder(std::string& folder) override {
    opened_at.push_back(folder);
    if (answer.empty()) return false;
    folder = answer;
    return true;
  }
  void open_web_page(const std::string&) override {}

  std::string answer;  // empty: cancel
  std::vector<std::string> opened_at;
};

class EntryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    root_ = fs::path(dir_.path()).parent_path();
    home_ = root_ / "home";
    fs::create_directories(home_);
    const char* old = std::getenv("HOME");
    had_home_ = old != nullptr;
    if (old) old_home_ = old;
    setenv("HOME", home_.c_str(), 1);
    old_folder_ = fs::current_path();
    fs::current_path(root_);  // anything written relative to the current folder stays here
    ASSERT_TRUE(log_open((root_ / "Log.txt").string()));
    clear_options();
    session() = InstallerSession{};
    reset_disc_search();
    write_file(root_ / "mtab", "");
    media_locator_config().mtab_path = (root_ / "mtab").string();
    media_locator_config().mount_points.clear();
    set_frontend(&chooser_);
  }
  void TearDown() override {
    app_shutdown_core(0);  // runs the clean-up of the download folders and closes the log
    set_frontend(nullptr);
    media_locator_config() = MediaLocatorConfig{};
    clear_options();
    session() = InstallerSession{};
    fs::current_path(old_folder_);
    if (had_home_) setenv("HOME", old_home_.c_str(), 1); else unsetenv("HOME");
  }

  // Parses the options as the shell's start-up does, then runs the installer's start-up.
  void start(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "velmora-installer");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int argc = static_cast<int>(arguments.size());
    parse_options(argc, argv.data());
    log_flush();
    write_file(root_ / "Log.txt", "");  // keep only the entry's lines
    log_open((root_ / "Log.txt").string());
    installer_startup(argc, argv.data());
  }

  std::string logged() {
    log_flush();
    return read_file(root_ / "Log.txt");
  }

  void write_prefs(const std::string& body) {
    write_file(home_ / ".velmora" / "Velmora Installer.prf", "I\n9002 version\n" + body);
  }

  // Makes `names` as sub-folders of `parent` and returns it with a final "/".
  std::string make_folders(const std::string& parent, const std::vector<std::string>& names) {
    const fs::path base = root_ / parent;
    fs::create_directories(base);
    for (const std::string& name : names) fs::create_directories(base / name);
    return base.string() + "/";
  }

  test_support::TempDir dir_{"entry_test"};
  fs::path root_, home_, old_folder_;
  bool had_home_ = false;
  std::string old_home_;
  ScriptedChooser chooser_;
};

TEST(EntryDefaultDestination, TenFoldersUpThenVelmora9) {
  struct Case {
    const char* label;
    const char* default_apps;
    const char* destination;
  };
  const Case cases[] = {
      {"home folder", "/home/ann/", "/Velmora 9/"},
      {"root stays root", "/", "/Velmora 9/"},
      {"no HOME", "", "Velmora 9/"},
      {"twelve levels deep", "/a/b/c/d/e/f/g/h/i/j/k/l/", "/a/b/Velmora 9/"},
      {"eleven levels deep", "/a/b/c/d/e/f/g/h/i/j/k/", "/a/Velmora 9/"},
      {"relative folder has no parent", "ann/", "ann/Velmora 9/"},
      {"relative folders up to the first", "ann/b/c/", "ann/Velmora 9/"},
  };
  for (const Case& c : cases) EXPECT_EQ(default_destination(c.default_apps), c.destination) << c.label;
}

TEST_F(EntryTest, OsFoldersFollowHome) {
  std::string out = "unchanged";
  os_dir(os_dir_desktop, out);
  EXPECT_EQ(out, home_.string() + "/");
  os_dir(os_dir_default_apps, out);
  EXPECT_EQ(out, home_.string() + "/");
  os_dir(os_dir_temp, out);
  EXPECT_EQ(out, "/tmp/");
  EXPECT_FALSE(fs::exists(home_ / ".velmora"));
  os_dir(os_dir_prefs, out);
  EXPECT_EQ(out, home_.string() + "/.velmora/");
  EXPECT_TRUE(fs::is_directory(home_ / ".velmora"));
  os_dir(os_dir_this_app, out);
  EXPECT_EQ(out, fs::canonical("/proc/self/exe").parent_path().string() + "/");

  unsetenv("HOME");
  for (int index : {os_dir_desktop, os_dir_default_apps, os_dir_prefs}) {
    out = "unchanged";
    os_dir(index, out);
    EXPECT_EQ(out, "unchanged") << index;
  }
}

TEST_F(EntryTest, StartupLogsTheFoldersAndSetsTheSession) {
  start({});
  std::string program_folder;
  find_program_folder(program_folder);
  EXPECT_EQ(logged(), "os_dir_this_app\t\t=" + program_folder + "\n" +
                          "os_dir_desktop\t\t=" + home_.string() + "/\n" +
                          "os_dir_default_apps\t=" + home_.string() + "/\n" +
                          "os_dir_temp\t\t\t=/tmp/\n" +
                          "os_dir_prefs\t\t\t=" + home_.string() + "/.velmora/\n\n" +
                          "dest_dir_path=/Velmora 9/\n" +
                          "After searching, I think that dvd_path=\n");
  const InstallerSession& s = session();
  EXPECT_EQ(s.dest_dir_path, "/Velmora 9/");
  EXPECT_EQ(s.release_name, "Not Yet Scanned");
  EXPECT_EQ(s.server_count, -1);
  EXPECT_EQ(s.activity, activity_not_needed);
  EXPECT_EQ(s.rename_folder, 1);
  EXPECT_EQ(s.platform_code, 3);
  EXPECT_TRUE(chooser_.opened_at.empty());
}

TEST_F(EntryTest, StartupWithoutHomeUsesARelativeDestination) {
  unsetenv("HOME");
  start({});
  EXPECT_NE(logged().find("os_dir_desktop\t\t=\nos_dir_default_apps\t=\nos_dir_temp\t\t\t=/tmp/\n"
                          "os_dir_prefs\t\t\t=\n\ndest_dir_path=Velmora 9/\n"),
            std::string::npos)
      << logged();
  EXPECT_EQ(session().dest_dir_path, "Velmora 9/");
}

TEST_F(EntryTest, DownloadsGoToAPrivateFolderRemovedAtExit) {
  start({});
  const std::string temp = session().temp_dir;
  ASSERT_EQ(temp.rfind("/tmp/velmora-", 0), 0u) << temp;
  ASSERT_EQ(temp.back(), '/');
  struct stat info {};
  ASSERT_EQ(stat(temp.c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  write_file(temp + "serverlist9.txt", "I\n820\nSERVERS\n");
  fs::create_directories(temp + "inner");
  app_shutdown_core(0);
  EXPECT_FALSE(fs::exists(temp));

  EXPECT_EQ(make_private_temp_dir((root_ / "missing/").string()), ENOENT);
}

TEST_F(EntryTest, PathArgumentAndAlwaysAsk) {
  struct Case {
    const char* label;
    std::vector<std::string> arguments;
    const char* prefs;  // body of the preferences file
    std::string destination;
    size_t chooser_opened;
  };
  const Case cases[] = {
      {"path given, no final slash", {"-path", "/data/velmora"}, "_always_ask_dir 1\n",
       "/data/velmora", 0},
      {"path given wins over the preference", {"-path", "/data/v/"},
       "_dest_dir_path /home/ann/V/\n", "/data/v/", 0},
      {"-path alone is ignored, so always-ask opens the chooser", {"-path"},
       "_always_ask_dir 1\n", "/Velmora 9/", 1},
      {"-path alone without always-ask", {"-path"}, "", "/Velmora 9/", 0},
      {"-path must be the first argument", {"--no_vbos", "-path", "/x/"}, "", "/Velmora 9/", 0},
      {"destination from the preferences", {}, "_dest_dir_path /home/ann/V/\n", "/home/ann/V/",
       0},
  };
  for (const Case& c : cases) {
    clear_options();
    session() = InstallerSession{};
    reset_disc_search();
    chooser_.opened_at.clear();
    write_prefs(c.prefs);
    start(c.arguments);
    EXPECT_EQ(session().dest_dir_path, c.destination) << c.label;
    EXPECT_EQ(chooser_.opened_at.size(), c.chooser_opened) << c.label;
  }
}

TEST_F(EntryTest, ChoosingAFolder) {
  const std::string existing =
      make_folders("existing", {"Airfoils", "Instructions", "Output", "Resources"});
  const std::string plain = make_folders("plain", {"Airfoils", "Output", "Resources"});
  struct Case {
    const char* label;
    std::string answer;
    const char* release;
    bool chosen;
    std::string destination;
  };
  const Case cases[] = {
      {"existing installation is updated in place", existing, "Not Yet Scanned", true, existing},
      {"other folder before the server list", plain, "Not Yet Scanned", true,
       plain + "Velmora 9/"},
      {"other folder after the server list", plain, "Velmora 9.00 Beta-25", true,
       plain + "Velmora 9.00 Beta-25/"},
      {"cancelled", "", "Not Yet Scanned", false, "/start/here/"},
  };
  for (const Case& c : cases) {
    session().dest_dir_path = "/start/here/";
    session().release_name = c.release;
    chooser_.answer = c.answer;
    chooser_.opened_at.clear();
    EXPECT_EQ(choose_destination(), c.chosen) << c.label;
    EXPECT_EQ(session().dest_dir_path, c.destination) << c.label;
    ASSERT_EQ(chooser_.opened_at.size(), 1u) << c.label;
    EXPECT_EQ(chooser_.opened_at[0], "/start/here/") << c.label;
  }
}

TEST_F(EntryTest, OverlongDestinationOpensTheChooserOnAFolderThatFits) {
  std::string deep = "/";
  while (deep.size() < 3000) deep += "folder/";
  session().dest_dir_path = deep;
  chooser_.answer.clear();
  EXPECT_FALSE(choose_destination());
  ASSERT_EQ(chooser_.opened_at.size(), 1u);
  const std::string& start_folder = chooser_.opened_at[0];
  EXPECT_LE(start_folder.size(), 2047u);
  EXPECT_EQ(start_folder.back(), '/');
  EXPECT_EQ(deep.rfind(start_folder, 0), 0u) << "a parent of the destination";
  EXPECT_EQ(session().dest_dir_path, deep);
}

TEST_F(EntryTest, RecognisesAnExistingInstallation) {
  struct Case {
    const char* label;
    std::vector<std::string> folders;
    bool installation;
  };
  const Case cases[] = {
      {"all four", {"Airfoils", "Instructions", "Output", "Resources"}, true},
      {"words inside longer names", {"My Airfoils", "Instructions (old)", "OutputX", "xResources"},
       true},
      {"one folder may carry several words", {"Airfoils Instructions", "Output Resources"}, true},
      {"Instructions missing", {"Airfoils", "Output", "Resources"}, false},
      {"case matters", {"airfoils", "Instructions", "Output", "Resources"}, false},
      {"empty folder", {}, false},
  };
  int n = 0;
  for (const Case& c : cases) {
    session().dest_dir_path = make_folders("install" + std::to_string(n++), c.folders);
    EXPECT_EQ(is_existing_installation(), c.installation) << c.label;
  }

  const std::string files_only = make_folders("files", {});
  for (const char* name : {"Airfoils", "Instructions", "Output", "Resources"})
    write_file(files_only + name, "");
  session().dest_dir_path = files_only;
  EXPECT_FALSE(is_existing_installation()) << "files do not count, only folders";

  session().dest_dir_path = (root_ / "no-such-folder/").string();
  EXPECT_FALSE(is_existing_installation());

  const std::string given = make_folders("given", {"Airfoils", "Instructions", "Output", "Resources"});
  session().dest_dir_path = given.substr(0, given.size() - 1);
  EXPECT_TRUE(is_existing_installation()) << "a destination typed without its final slash";
}

}  // namespace
