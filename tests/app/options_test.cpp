// The option table: how arguments split into names and values, the log lines parsing writes, and
// the options that print and end the program.
#include "app/options.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include "app/log.h"
#include "support/files.h"

namespace {

using test_support::read_file;

class OptionsTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir_.ok());
    clear_options();
    ASSERT_TRUE(log_open(log_path()));
  }
  void TearDown() override {
    log_close();
    clear_options();
  }

  std::string log_path() const { return dir_ / "Log.txt"; }
  std::string stdout_path() const { return dir_ / "stdout.txt"; }

  std::string logged() {
    log_flush();
    return read_file(log_path());
  }

  // Parses `arguments` (argument 0 is added); used inside death tests too.
  static void parse(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), "velmora-installer");
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    parse_options(static_cast<int>(arguments.size()), argv.data());
  }

  // In a death-test child: sends standard output to a file the test reads afterwards.
  void parse_with_stdout_to_file(const std::vector<std::string>& arguments) {
    if (!std::freopen(stdout_path().c_str(), "w", stdout)) std::_Exit(3);
    parse(arguments);
  }

  test_support::TempDir dir_{"options_test"};
};

TEST_F(OptionsTest, SplitsEachArgumentAtItsFirstEquals) {
  struct Case {
    const char* label;
    const char* argument;
    const char* name;
    const char* value;
  };
  const Case cases[] = {
      {"flag alone", "--fps_test", "--fps_test", ""},
      {"flag with value", "--fps_test=3", "--fps_test", "3"},
      {"later equals belong to the value", "--a=b=c", "--a", "b=c"},
      {"empty name", "=x", "", "x"},
      {"empty value after equals", "--pref:_proxy_host=", "--pref:_proxy_host", ""},
      {"single dash word", "-path", "-path", ""},
  };
  for (const Case& c : cases) {
    clear_options();
    parse({c.argument});
    EXPECT_TRUE(has_option(c.name)) << c.label;
    EXPECT_EQ(option_value(c.name), c.value) << c.label;
  }
}

TEST_F(OptionsTest, LooksUpNamesExactly) {
  parse({"--no_vbos", "--pref:_stream_count=3"});
  EXPECT_TRUE(has_option("--no_vbos"));
  EXPECT_FALSE(has_option("--NO_VBOS"));
  EXPECT_FALSE(has_option("--no_vbo"));
  EXPECT_FALSE(has_option("velmora-installer")) << "argument 0 is not an option";
  EXPECT_EQ(option_value("--missing"), "");
  EXPECT_EQ(option_value("--pref:_stream_count"), "3");
}

TEST_F(OptionsTest, LogsOneLinePerArgument) {
  parse({"--fps_test", "--a=b=c", "-path", "/home/ann/Velmora 9"});
  EXPECT_EQ(logged(),
            "     '--fps_test'\n"
            "     '--a'='b=c'\n"
            "     '-path'\n"
            "     '/home/ann/Velmora 9'\n");
}

TEST_F(OptionsTest, RepeatedOptionWarnsOnceAndKeepsTheLastValue) {
  parse({"--pref:_stream_count=2", "--pref:_stream_count=4"});
  EXPECT_EQ(logged(),
            "     '--pref:_stream_count'='2'\n"
            "WARNING: command line option --pref:_stream_count=4included twice.\n"
            "     '--pref:_stream_count'='4'\n");
  EXPECT_EQ(option_value("--pref:_stream_count"), "4");
}

TEST_F(OptionsTest, UsageTextNamesEveryOptionInItsGroup) {
  const std::string text = usage_text();
  EXPECT_EQ(text.rfind("Usage: Velmora [options...]\n", 0), 0u);
  EXPECT_GT(text.size(), 3000u);
  EXPECT_LT(text.size(), 5000u);
  // Each option on a line of its own, in this order, under its heading.
  const char* const expected_order[] = {
      "--help",
      "-h",
      "--no_sound",
      "OPTIONS TO DISABLE HARDWARE ACCELERATION",
      "--no_vbos",
      "--no_fbos",
      "--no_pbos",
      "--no_sprites",
      "--no_pixel_counters",
      "--no_aniso_filtering",
      "--no_hw_mipmap",
      "--no_fshaders",
      "--no_vshaders",
      "--no_glsl",
      "--no_threaded_ogl",
      "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION",
      "--use_vbos",
      "--use_sprites",
      "--use_fshaders",
      "--use_vshaders",
      "--use_glsl",
      "--force_run",
      "FRAMERATE TEST",
      "--fps_test=n",
      "--require_fps=n",
  };
  size_t position = 0;
  for (const char* word : expected_order) {
    const size_t found = text.find(word, position);
    ASSERT_NE(found, std::string::npos) << word;
    position = found + std::string(word).size();
  }
}

TEST_F(OptionsTest, AddedGroupsFollowTheSharedText) {
  const std::string shared = usage_text();
  add_usage_group("TERMINAL UPDATER\n  --yes  Answer every question with yes.\n");
  const std::string text = usage_text();
  EXPECT_EQ(text.substr(0, shared.size()), shared);
  EXPECT_EQ(text.substr(shared.size()),
            "\nTERMINAL UPDATER\n  --yes  Answer every question with yes.\n");
}

TEST_F(OptionsTest, CommandListingSelectsByNamePrefix) {
  const std::string all = key_command_listing("all");
  size_t lines = 0;
  for (char c : all) lines += c == '\n';
  EXPECT_EQ(lines, key_commands().size());
  char first[512];
  std::snprintf(first, sizeof first, "%-50s %s\n", key_commands()[0].name,
                key_commands()[0].description);
  EXPECT_EQ(all.rfind(first, 0), 0u);

  const std::string view = key_command_listing("velmora/view/");
  EXPECT_NE(view.find("velmora/view/screenshot"), std::string::npos);
  EXPECT_EQ(view.find("velmora/installer/"), std::string::npos);
  EXPECT_EQ(key_command_listing("nothing/like/this"), "");
}

using OptionsDeathTest = OptionsTest;

TEST_F(OptionsDeathTest, HelpAfterOtherOptionsPrintsUsageAndEnds) {
  EXPECT_EXIT(parse_with_stdout_to_file({"--no_vbos", "--help"}), testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(stdout_path()), usage_text() + "\n");
  EXPECT_EQ(read_file(log_path()), "     '--no_vbos'\n     '--help'\n");
}

TEST_F(OptionsDeathTest, ShortHelpPrintsUsage) {
  EXPECT_EXIT(parse_with_stdout_to_file({"-h"}), testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(stdout_path()), usage_text() + "\n");
}

TEST_F(OptionsDeathTest, CommandListWinsOverHelp) {
  EXPECT_EXIT(parse_with_stdout_to_file({"-h", "--cmnds=all"}), testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file(stdout_path()), key_command_listing("all"));
}

}  // namespace
