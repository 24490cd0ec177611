// The display-free start-up and shutdown: the program-folder lookup and its warnings, the random
// numbers and tables, a whole start-up run in a copy of this program, and what shutdown saves.
#include "app/shell.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <vector>

#include "app/log.h"
#include "app/options.h"
#include "app/prefs.h"
#include "installer/session.h"
#include "support/files.h"

namespace fs = std::filesystem;

namespace {

// In the copy made by StartupLogsHeaderAndOptionsThenHelpEnds: start up with the arguments from
// the environment. --help must end the process inside the start-up.
const bool run_startup_child = [] {
  const char* arguments = std::getenv("VELMORA_STARTUP_ARGS");
  if (!arguments) return false;
  std::vector<std::string> words = {"velmora-installer"};
  std::istringstream split(arguments);
  for (std::string word; split >> word;) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  app_startup_core(static_cast<int>(words.size()), argv.data());
  std::_Exit(7);
}();

using test_support::read_file;

class ShellTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir_.ok()); }
  test_support::TempDir dir_{"shell_test"};
  const fs::path folder_ = fs::path(dir_.path()).parent_path();  // no final "/"
};

TEST_F(ShellTest, ProgramFolderIsTheFolderOfTheLinkTarget) {
  struct Case {
    const char* label;
    std::string target;
    std::string folder;
    const char* warning;  // start of the text printed, "" for none
  };
  const std::string deep(520, 'd');
  const Case cases[] = {
      {"absolute target", "/opt/velmora/bin/velmora-installer", "/opt/velmora/bin/", ""},
      {"file at the root", "/velmora-installer", "/", ""},
      {"target filling the buffer", "/" + std::string(498, 'x'), "./",
       "WARNING: Velmora is stored too deeply in the file system, so I\n"},
      {"target longer than the buffer", "/opt/" + deep + "/velmora", "./",
       "WARNING: Velmora is stored too deeply in the file system, so I\n"},
      {"target of 498 characters still fits", "/" + std::string(495, 'x') + "/y",
       "/" + std::string(495, 'x') + "/", ""},
  };
  for (const Case& c : cases) {
    const fs::path link = folder_ / "exe";
    fs::remove(link);
    ASSERT_EQ(symlink(c.target.c_str(), link.c_str()), 0) << c.label;
    testing::internal::CaptureStdout();
    std::string out = "unchanged";
    find_program_folder_from(link.c_str(), out);
    const std::string printed = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out, c.folder) << c.label;
    EXPECT_EQ(printed.rfind(c.warning, 0), 0u) << c.label << ": " << printed;
    if (*c.warning == '\0') {
      EXPECT_EQ(printed, "") << c.label;
    } else {
      EXPECT_NE(printed.find(maker_support_address), std::string::npos) << c.label;
    }
  }
}

TEST_F(ShellTest, UnreadableLinkWarnsAndLetsPerrorSpeak) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  std::string out;
  find_program_folder_from((folder_ / "no-such-link").c_str(), out);
  const std::string printed = testing::internal::GetCapturedStdout();
  const std::string errors = testing::internal::GetCapturedStderr();
  EXPECT_EQ(out, "./");
  EXPECT_EQ(printed.rfind("WARNING: I could not find myself with a readlink! This might be\n"
                          "because /proc isn't mounted.",
                          0),
            0u);
  EXPECT_NE(printed.find("so I'll let perror do some talking for me."), std::string::npos);
  EXPECT_EQ(errors, "readlink: No such file or directory\n");
}

TEST_F(ShellTest, ThisProgramsFolderComesFromProc) {
  std::string out;
  find_program_folder(out);
  EXPECT_EQ(out, fs::canonical("/proc/self/exe").parent_path().string() + "/");
}

TEST(ShellRandom, TableIsFixedAndLaterDrawsFollowTheClockSeed) {
  std::srand(1);
  std::vector<int> seed_one(random_table_size);
  for (int& value : seed_one) value = std::rand();

  struct Case {
    const char* label;
    uint64_t clock;
    uint32_t seed;
  };
  const Case cases[] = {
      {"small", 1234, 1234},
      {"no discards", 5000, 5000},
      {"seconds times a million wraps at 32 bits", 1'700'000'000'123'456ull,
       static_cast<uint32_t>(1'700'000'000'123'456ull)},
  };
  for (const Case& c : cases) {
    seed_random_numbers(c.clock);
    std::vector<int> next(5);
    for (int& value : next) value = std::rand();

    for (int i = 0; i < random_table_size; i += 997)
      EXPECT_EQ(shell().random_table[i],
                static_cast<float>(static_cast<double>(seed_one[i]) * 4.656147e-10))
          << c.label << " index " << i;
    std::srand(c.seed);
    for (uint32_t i = 0; i < c.seed % 1000; ++i) std::rand();
    for (int value : next) EXPECT_EQ(value, std::rand()) << c.label;
  }
  for (float value : shell().random_table) {
    ASSERT_GE(value, 0.0f);
    ASSERT_LT(value, 1.0f);
  }
}

TEST(ShellTables, SineAndCosineOfWholeDegrees) {
  fill_trig_tables();
  EXPECT_EQ(shell().sine[0], 0.0f);
  EXPECT_EQ(shell().cosine[0], 1.0f);
  EXPECT_NEAR(shell().sine[30], 0.5f, 1e-6);
  EXPECT_NEAR(shell().sine[90], 1.0f, 1e-6);
  EXPECT_NEAR(shell().cosine[180], -1.0f, 1e-6);
  EXPECT_EQ(shell().sine[45], static_cast<float>(std::sin(45 * 0.017453294)));
  EXPECT_NEAR(shell().sine[360], 0.0f, 1e-6);
}

// Shutdown: preferences are saved only by the full form and never in a frame-rate test; the
// run's clean-up happens in both forms.
TEST_F(ShellTest, ShutdownSavesPreferencesUnlessTestingAndAlwaysCleansUp) {
  struct Case {
    const char* label;
    int full;
    bool fps_test;
    bool saved;
  };
  const Case cases[] = {
      {"normal quit", 1, false, true},
      {"frame-rate test", 1, true, false},
      {"after a fatal alert", 0, false, false},
  };
  const char* old_home = std::getenv("HOME");
  const std::string saved_home = old_home ? old_home : "";
  setenv("HOME", folder_.c_str(), 1);
  for (const Case& c : cases) {
    fs::remove_all(folder_ / ".velmora");
    clear_options();
    if (c.fps_test) {
      char program[] = "velmora-installer";
      char option[] = "--fps_test";
      char* argv[] = {program, option, nullptr};
      parse_options(2, argv);
    }
    session() = InstallerSession{};
    session().dest_dir_path = "/Velmora 9/";
    int cleaned = 0;
    add_exit_cleanup([&cleaned] { ++cleaned; });
    app_shutdown_core(c.full);
    EXPECT_EQ(cleaned, 1) << c.label;
    EXPECT_EQ(fs::exists(folder_ / ".velmora/Velmora Installer.prf"), c.saved) << c.label;
  }
  clear_options();
  if (old_home) setenv("HOME", saved_home.c_str(), 1); else unsetenv("HOME");
}

// A whole start-up in a copy of this test program placed in a folder of its own, so its Log.txt
// lands there. Given VELMORA_STARTUP_ARGS, the copy starts up with those arguments before any
// test runs (see run_startup_child).
TEST_F(ShellTest, StartupLogsHeaderAndOptionsThenHelpEnds) {
  const fs::path copy = folder_ / "bin" / "velmora-copy";
  fs::create_directories(copy.parent_path());
  fs::copy_file("/proc/self/exe", copy);
  fs::permissions(copy, fs::perms::owner_all);
  const fs::path link = folder_ / "launcher";
  fs::create_symlink(copy, link);

  const std::string command = "VELMORA_STARTUP_ARGS='--no_vbos --pref:_stream_count=3 --help' '" +
                              link.string() + "' > '" +
                              (folder_ / "out.txt").string() + "' 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);

  const std::string printed = read_file(folder_ / "out.txt");
  EXPECT_EQ(printed, usage_text() + "\n") << "nothing else reaches standard output";

  // Started through a link, the log is next to the real program file.
  EXPECT_FALSE(fs::exists(folder_ / "Log.txt"));
  const std::string log = read_file(folder_ / "bin" / "Log.txt");
  EXPECT_EQ(log.rfind("log.txt for Velmora 9.00 Beta-25 Installer 90025 compiled on ", 0), 0u)
      << log;
  const std::string tail =
      "\nSkybase folder:'', case sensitive=1\n\n"
      "     '--no_vbos'\n"
      "     '--pref:_stream_count'='3'\n"
      "     '--help'\n";
  ASSERT_GE(log.size(), tail.size());
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

}  // namespace
