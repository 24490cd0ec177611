// Path helpers, file operations, folder listing, error texts and the header-writing output file.
#include "files/paths.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "files/errors.h"
#include "files/mem_file.h"
#include "files_test_support.h"
#include "support/files.h"

namespace {

class TempFolder : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }

  void write(const std::string& relative, const std::string& content = "x") {
    test_support::write_file(root + relative, content);
  }
  bool present(const std::string& relative) { return test_support::file_exists(root + relative); }
  std::string read(const std::string& relative) { return test_support::read_file(root + relative); }

  test_support::TempDir dir{"paths_test"};
  const std::string root = dir.path();
};

using files_test::prepare_for_alert;

TEST(PathHelpers, Table) {
  struct Case {
    const char* path;
    const char* last;
    const char* parent;
    const char* stripped;
    bool slash;
  };
  const Case cases[] = {
      {"/a/b/c.txt", "c.txt", "/a/b/", "a/b/c.txt", false},
      {"/a/b/", "b/", "/a/", "a/b/", true},
      {"Velmora 9/Aircraft/x.acf", "x.acf", "Velmora 9/Aircraft/", "Aircraft/x.acf", false},
      {"name", "name", "", "name", false},
      {"", "", "", "", false},
      {"/", "/", "", "", true},
      {"top/", "top/", "", "", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(last_component(c.path), c.last);
    EXPECT_EQ(parent_folder(c.path), c.parent);
    EXPECT_EQ(strip_first_component(c.path), c.stripped);
    EXPECT_EQ(ends_with_slash(c.path), c.slash);
  }
}

TEST(ErrorText, Table) {
  struct Case {
    int code;
    const char* text;
  };
  const Case cases[] = {
      {20006, "We could not open a file to read from it"},
      {20007, "We were unable to connct to the network due to an internal reconnect error"},
      {20012, "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
      {13, "Permission denied. Perhaps you do not have access to a directory or file system"},
      {28, "No space left on device. Perhaps your hard drive is full"},
      {2, "No such file or directory"},
      {39, "Directory not empty"},
      {84, "Wide character encoding error"},
      {99, "Unknown error occurred (99)"},
      {15, "Unknown error occurred (15)"},
      {26, "Unknown error occurred (26)"},
      {40, "Unknown error occurred (40)"},
      {83, "Unknown error occurred (83)"},
      {20999, "Unknown error occurred (20999)"},
      {-5, "Unknown error occurred (-5)"},
  };
  for (const Case& c : cases) EXPECT_EQ(error_text(c.code), c.text) << c.code;
}

TEST_F(TempFolder, MakeFolderCreatesOneLevelAndReportsExisting) {
  EXPECT_EQ(make_folder(root + "x/"), 0);
  EXPECT_TRUE(present("x"));
  EXPECT_EQ(make_folder(root + "x/"), EEXIST);

  last_error() = LastError{};
  EXPECT_EQ(make_folder(root + "a/b/"), ENOENT);
  EXPECT_FALSE(present("a"));
  EXPECT_STREQ(last_error().file, "io_utils");
  EXPECT_GT(last_error().line, 0);
}

TEST_F(TempFolder, DeleteFile) {
  std::string empty;
  EXPECT_EQ(delete_file(empty), ENOENT);
  EXPECT_EQ(empty, "");

  ASSERT_EQ(make_folder(root + "full/"), 0);
  write("full/f");
  std::string full_folder = root + "full/";
  EXPECT_EQ(delete_file(full_folder), ENOTEMPTY);
  EXPECT_EQ(error_text(ENOTEMPTY), "Directory not empty");

  std::string file = root + "full/f";
  EXPECT_EQ(delete_file(file), 0);
  EXPECT_FALSE(present("full/f"));
  EXPECT_EQ(delete_file(full_folder), 0);
  EXPECT_FALSE(present("full"));

  std::string missing = root + "missing";
  EXPECT_EQ(delete_file(missing), ENOENT);

  // The base folder prefix is put in front and written back into the caller's string.
  write("g");
  base_folder_prefix() = root;
  std::string relative = "g";
  int result = delete_file(relative);
  base_folder_prefix().clear();
  EXPECT_EQ(result, 0);
  EXPECT_EQ(relative, root + "g");
  EXPECT_FALSE(present("g"));
}

TEST_F(TempFolder, RenameInFolder) {
  write("old", "content");
  EXPECT_EQ(rename_in_folder(root, "old", "new"), 0);
  EXPECT_EQ(read("new"), "content");
  EXPECT_FALSE(present("old"));
  EXPECT_EQ(rename_in_folder(root, "old", "other"), ENOENT);
}

TEST_F(TempFolder, ListDirSortsIgnoringCaseAndTypesByEnding) {
  write(".hidden");
  write("b.TXT");
  write("c");
  write("ab");
  write("Plane.acf");
  write("x.dsf");
  ASSERT_EQ(make_folder(root + "A/"), 0);
  ASSERT_EQ(make_folder(root + "Pics.PNG/"), 0);  // a folder takes its ending's type

  std::vector<std::string> names = {"stale"};
  std::vector<int> types = {42};
  ASSERT_EQ(list_dir(root, 0, names, types), 7);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "ab", "b.TXT", "c", "Pics.PNG", "Plane.acf",
                                             "x.dsf"}));
  EXPECT_EQ(types, (std::vector<int>{1, 0, 19, 0, 2, 3, 17}));

  // Folders only (the chooser's request): folders by kind, plus entries of the wanted type.
  ASSERT_EQ(list_dir(root, 1, names, types), 1);
  EXPECT_EQ(names, (std::vector<std::string>{"A"}));
  ASSERT_EQ(list_dir(root, 19, names, types), 2);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "b.TXT"}));

  EXPECT_EQ(list_dir(root + "none/", 0, names, types), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_TRUE(types.empty());
}

TEST_F(TempFolder, ListDirPutsPrefixFirstAndIsStableAcrossCase) {
  write("abc");
  write("ABCD");
  write("Ab");
  write("aB");
  std::vector<std::string> names;
  std::vector<int> types;
  ASSERT_EQ(list_dir(root, 0, names, types), 4);
  EXPECT_EQ(names, (std::vector<std::string>{"Ab", "aB", "abc", "ABCD"}));
}

TEST_F(TempFolder, OufOpenWritesHeaders) {
  ASSERT_TRUE(ouf_open(root + "PREFS.PRF", header_text, 9002));
  ouf() << "key value\n";
  ouf().close();
  EXPECT_FALSE(present("PREFS.PRF"));
  EXPECT_EQ(read("PREFS.prf"), "I\n9002 version\nkey value\n");

  ASSERT_TRUE(ouf_open(root + "notes.txt", header_text, 900, " by us"));
  ouf().close();
  EXPECT_EQ(read("notes.txt"), "I\n900 version by us\n");

  ASSERT_TRUE(ouf_open(root + "data.bin", header_binary, 900));
  ouf().close();
  EXPECT_EQ(read("data.bin"), std::string("i\x84\x03\x00\x00", 5));
}

TEST_F(TempFolder, OufOpenCreatesOneMissingFolder) {
  ASSERT_TRUE(ouf_open(root + "new/file.txt", header_text, 1));
  ouf().close();
  EXPECT_EQ(read("new/file.txt"), "I\n1 version\n");
}

TEST_F(TempFolder, OufOpenTwoLevelsMissingAlertsAndFails) {
  testing::internal::CaptureStdout();
  bool opened = ouf_open(root + "one/two/file.txt", header_text, 1);
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(opened);
  EXPECT_FALSE(present("one"));
  EXPECT_NE(printed.find("I could not save the file! Could the directory that the file sits in be "
                         "missing?"),
            std::string::npos);
  EXPECT_NE(printed.find(root + "one/two/file.txt"), std::string::npos);
}

TEST(PathsDeathTest, ProgrammingErrorsEndTheProgram) {
  std::vector<std::string> names;
  std::vector<int> types;
  EXPECT_EXIT((prepare_for_alert(), list_dir("/tmp", 0, names, types)),
              testing::ExitedWithCode(1), "Working path does not appear to be a directory!");
  EXPECT_EXIT((prepare_for_alert(), ouf_open("/tmp/x.txt", 7, 1)), testing::ExitedWithCode(1),
              "Bad ouf_open type!");
  std::string long_path = "/tmp/" + std::string(495, 'a');
  EXPECT_EXIT((prepare_for_alert(), make_folder(long_path)), testing::ExitedWithCode(1),
              "String too long!\n\n/tmp/aaaa");
}

TEST(Paths, FourHundredNinetyNineCharactersAreAllowed) {
  std::string at_limit = "/tmp/" + std::string(max_path_chars - 6, 'a') + "/";
  ASSERT_EQ(at_limit.size(), max_path_chars);
  // The operation runs and fails on its own terms (a component over the system's name limit).
  EXPECT_EQ(make_folder(at_limit), ENAMETOOLONG);
}

}  // namespace
