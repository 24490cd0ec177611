// The preferences file: what is read from it, what command-line overrides do, the exact file
// written at quit, and the run without HOME.
#include "app/prefs.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <climits>
#include <filesystem>
#include <vector>

#include "app/options.h"
#include "installer/session.h"
#include "support/files.h"

namespace fs = std::filesystem;

namespace {

using test_support::read_file;
using test_support::write_file;

class PrefsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    const char* old = std::getenv("HOME");
    had_home_ = old != nullptr;
    if (old) old_home_ = old;
    setenv("HOME", home_.c_str(), 1);
    clear_options();
    session() = InstallerSession{};
    session().dest_dir_path = "/Velmora 9/";
  }
  void TearDown() override {
    clear_options();
    session() = InstallerSession{};
    if (had_home_) setenv("HOME", old_home_.c_str(), 1); else unsetenv("HOME");
  }

  fs::path prefs_file() const { return home_ / ".velmora" / "Velmora Installer.prf"; }

  void write_prefs(const std::string& text) {
    write_file(prefs_file(), text);
  }

  static void parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "velmora-installer");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    parse_options(static_cast<int>(arguments.size()), argv.data());
  }

  test_support::TempDir dir_{"prefs_test"};
  const fs::path home_ = fs::path(dir_.path()).parent_path();  // no final "/"
  bool had_home_ = false;
  std::string old_home_;
};

TEST_F(PrefsTest, NoFileKeepsDefaultsAndQuitWritesEveryKeyInOrder) {
  prefs_io(prefs_read);
  EXPECT_EQ(session().rename_folder, 1);
  EXPECT_EQ(session().dest_dir_path, "/Velmora 9/");
  EXPECT_TRUE(fs::is_directory(home_ / ".velmora")) << "the folder is made when looked up";

  prefs_io(prefs_write);
  EXPECT_EQ(read_file(prefs_file()),
            "I\n"
            "9002 version\n"
            "_use_max_cpu 0\n"
            "_rename_folder 1\n"
            "_stream_count 0\n"
            "_log_actions 0\n"
            "_always_ask_dir 0\n"
            "_dest_dir_path /Velmora 9/\n"
            "_proxy_port_int 0\n");
}

TEST_F(PrefsTest, ReadsEveryKeyAndWritesItBack) {
  const std::string file =
      "I\n9002 version\n"
      "_use_max_cpu 1\n_rename_folder 0\n_stream_count 4\n_log_actions 1\n_always_ask_dir 1\n"
      "_dest_dir_path /home/ann/My Velmora/\n_proxy_host proxy.example\n_proxy_port 8080\n"
      "_proxy_port_int 8080\n";
  write_prefs(file);
  prefs_io(prefs_read);
  const InstallerSession& s = session();
  EXPECT_EQ(s.use_max_cpu, 1);
  EXPECT_EQ(s.rename_folder, 0);
  EXPECT_EQ(s.stream_count, 4);
  EXPECT_EQ(s.log_actions, 1);
  EXPECT_EQ(s.always_ask_dir, 1);
  EXPECT_EQ(s.dest_dir_path, "/home/ann/My Velmora/");
  EXPECT_EQ(s.proxy_host, "proxy.example");
  EXPECT_EQ(s.proxy_port, "8080");
  EXPECT_EQ(s.proxy_port_int, 8080);

  fs::remove(prefs_file());
  prefs_io(prefs_write);
  EXPECT_EQ(read_file(prefs_file()), file);
}

TEST_F(PrefsTest, SettingLinesAsWrittenByHand) {
  struct Case {
    const char* label;
    std::string body;  // after the two header lines
    int stream_count;
    std::string proxy_host;
  };
  const Case cases[] = {
      {"CR LF line ends", "_stream_count 2\r\n_proxy_host host\r\n", 2, "host"},
      {"trailing blanks belong to a text value", "_proxy_host host  \t\n", 0, "host  \t"},
      {"blanks before key and value", "  \t_stream_count \t 3\n", 3, ""},
      {"blank lines between settings", "\n\n_stream_count 5\n\n\n_proxy_host h\n", 5, "h"},
      {"key without a value", "_stream_count\n_proxy_host\n", 0, ""},
      {"value without digits", "_stream_count many\n", 0, ""},
      {"atoi stops at the first non-digit", "_stream_count 3x\n", 3, ""},
      {"signed value", "_stream_count -2\n", -2, ""},
      {"too large for an int", "_stream_count 99999999999\n", INT_MAX, ""},
      {"too small for an int", "_stream_count -99999999999\n", INT_MIN, ""},
      {"last of a repeated key wins", "_stream_count 1\n_stream_count 6\n", 6, ""},
      {"keys are case-sensitive", "_STREAM_COUNT 9\n", 7, "old"},
      {"unknown keys are passed over", "_colour blue\n_stream_count 8\n", 8, "old"},
      {"no line end at the end", "_proxy_host last", 7, "last"},
      {"NUL as a line end", std::string("_stream_count 4\0_proxy_host n\n", 30), 4, "n"},
  };
  for (const Case& c : cases) {
    session() = InstallerSession{};
    session().stream_count = 7;
    session().proxy_host = "old";
    write_prefs(std::string("I\n9002 version\n") + c.body);
    prefs_io(prefs_read);
    // A key the case does not mention keeps its earlier value.
    const bool mentions_count = c.body.find("_stream_count") != std::string::npos;
    const bool mentions_host = c.body.find("_proxy_host") != std::string::npos;
    EXPECT_EQ(session().stream_count, mentions_count ? c.stream_count : 7) << c.label;
    EXPECT_EQ(session().proxy_host, mentions_host ? c.proxy_host : "old") << c.label;
  }
}

TEST_F(PrefsTest, HeaderDecidesWhetherTheFileIsRead) {
  struct Case {
    const char* label;
    const char* header;
    bool accepted;
  };
  const Case cases[] = {
      {"I and 9002", "I\n9002 version\n", true},
      {"A is accepted like I", "A\n9002 version\n", true},
      {"more text after the version", "I\n9002 version saved by hand\n", true},
      {"CR LF header", "I\r\n9002 version\r\n", true},
      {"other letter", "B\n9002 version\n", false},
      {"other version", "I\n9001 version\n", false},
      {"empty file", "", false},
  };
  for (const Case& c : cases) {
    session().stream_count = 0;
    write_prefs(std::string(c.header) + (*c.header ? "_stream_count 3\n" : ""));
    prefs_io(prefs_read);
    EXPECT_EQ(session().stream_count, c.accepted ? 3 : 0) << c.label;
  }
}

TEST_F(PrefsTest, CommandLineOverridesAreUsedAndSaved) {
  write_prefs("I\n9002 version\n_stream_count 0\n_proxy_host proxy.example\n_proxy_port_int 3128\n");
  parse({"--pref:_stream_count=3", "--pref:_proxy_host", "--pref:_proxy_port_int=8080x"});
  prefs_io(prefs_read);
  EXPECT_EQ(session().stream_count, 3);
  EXPECT_EQ(session().proxy_host, "") << "given without a value: empty for the run";
  EXPECT_EQ(session().proxy_port_int, 8080);

  prefs_io(prefs_write);
  const std::string saved = read_file(prefs_file());
  EXPECT_NE(saved.find("\n_stream_count 3\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("_proxy_host"), std::string::npos) << "an empty text is not written";
  EXPECT_NE(saved.find("\n_proxy_port_int 8080\n"), std::string::npos) << saved;
}

TEST_F(PrefsTest, WithoutHomeNothingIsReadOrWritten) {
  const fs::path work = home_ / "work";
  fs::create_directories(work);
  const fs::path old_folder = fs::current_path();
  fs::current_path(work);
  unsetenv("HOME");

  EXPECT_EQ(prefs_file_path(), "");
  parse({"--pref:_stream_count=2"});
  prefs_io(prefs_read);
  EXPECT_EQ(session().stream_count, 2) << "overrides still hold for the run";
  prefs_io(prefs_write);
  EXPECT_TRUE(fs::is_empty(work)) << "nothing written in the current folder";

  fs::current_path(old_folder);
}

}  // namespace
