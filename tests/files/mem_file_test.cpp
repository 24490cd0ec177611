// MemFile: opening and the path rules, the header check, the tokenizer and case resolution.
#include "files/mem_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <climits>

#include "files/paths.h"
#include "files_test_support.h"
#include "support/files.h"

namespace {

class MemFileTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(dir.ok()); }

  std::string write(const std::string& name, const std::string& content) {
    test_support::write_file(root + name, content);
    return root + name;
  }

  test_support::TempDir dir{"mem_file_test"};
  const std::string root = dir.path();
};

using files_test::prepare_for_alert;

const int manifest_versions[] = {840, 900, 0};

TEST_F(MemFileTest, OpeningWhatIsNotAFile) {
  MemFile none("");
  EXPECT_FALSE(none.exists());
  EXPECT_EQ(none.check_file(header_text, manifest_versions, nullptr, nullptr), 0);
  EXPECT_EQ(none.read_int(), 0);
  EXPECT_EQ(none.read_word(), "");

  MemFile missing(root + "missing.txt");
  EXPECT_FALSE(missing.exists());
  MemFile folder(root);
  EXPECT_FALSE(folder.exists());

  MemFile empty(write("empty.txt", ""));
  EXPECT_TRUE(empty.exists());
  EXPECT_EQ(empty.size(), 0u);
  EXPECT_TRUE(empty.at_end());
  EXPECT_EQ(empty.check_file(header_text, manifest_versions, nullptr, nullptr), 0);
}

TEST_F(MemFileTest, ReopeningReplacesOrDropsTheMapping) {
  MemFile file(write("one.txt", "one"));
  EXPECT_EQ(file.read_word(), "one");
  file.open(write("two.txt", "second"));
  EXPECT_EQ(file.size(), 6u);
  EXPECT_EQ(file.offset(), 0u);
  EXPECT_EQ(file.read_word(), "second");
  file.open(root + "missing");
  EXPECT_FALSE(file.exists());
}

TEST_F(MemFileTest, TextHeaders) {
  struct Case {
    const char* label;
    std::string content;
    const char* keyword;
    int version;
    const char* rest;
    const char* next_word;  // what the cursor stands on after an accepted header
  };
  const Case cases[] = {
      {"plain", "I\n900\nINSTALLER\nFILE", "INSTALLER", 900, "", "FILE"},
      {"crlf and blank lines", "I\r\n\r\n840\r\n\r\n  INSTALLER\r\nDIR", "INSTALLER", 840, "",
       "DIR"},
      {"letter A", "A\n900\nINSTALLER\n", "INSTALLER", 900, "", ""},
      {"letter B", "B\n900\nINSTALLER\n", "INSTALLER", 0, "", nullptr},
      {"rest of first line ignored", "Ixyz\n900\nINSTALLER\n", "INSTALLER", 900, "", ""},
      {"version remark", "I\n900 version  \nINSTALLER\n", "INSTALLER", 900, "version  ", ""},
      {"version refused", "I\n820\nINSTALLER\n", "INSTALLER", 0, "", nullptr},
      {"keyword longer", "I\n900\nINSTALLERS\n", "INSTALLER", 0, "", nullptr},
      {"keyword then words", "I\n900\nINSTALLER  and more\nnext", "INSTALLER", 900, "", "next"},
      {"keyword at end of data", "I\n900\nINSTALLER", "INSTALLER", 900, "", ""},
      {"keyword missing", "I\n900\n", "INSTALLER", 0, "", nullptr},
      {"no keyword asked", "I\n840\nwhatever\n", nullptr, 840, "", "whatever"},
      {"no version line", "I\n", nullptr, 0, "", nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    MemFile file(write("header.txt", c.content));
    std::string rest = "untouched";
    EXPECT_EQ(file.check_file(header_text, manifest_versions, c.keyword, &rest), c.version);
    if (c.version != 0) {
      EXPECT_EQ(rest, c.rest);
      EXPECT_EQ(file.read_word(), c.next_word);
    }
  }

  MemFile file(write("header.txt", "I\n900\nINSTALLER\n"));
  const int none[] = {0};
  EXPECT_EQ(file.check_file(header_text, none, nullptr, nullptr), 0);
  EXPECT_EQ(file.check_file(header_text, nullptr, nullptr, nullptr), 0);
}

TEST_F(MemFileTest, KeywordMismatchLeavesCursorAfterBlanks) {
  MemFile file(write("header.txt", "I\n900\n  SERVERS\n"));
  EXPECT_EQ(file.check_file(header_text, manifest_versions, "INSTALLER", nullptr), 0);
  EXPECT_EQ(file.read_word(), "SERVERS");
}

TEST_F(MemFileTest, BinaryHeadersAndWordSwapping) {
  MemFile native(write("n.bin", std::string("i\x84\x03\x00\x00\x01\x02\x03\x04\x05", 10)));
  EXPECT_EQ(native.check_file(header_binary, manifest_versions, nullptr, nullptr), 900);
  EXPECT_FALSE(native.swap_words());
  unsigned char bytes[5];
  native.read_n_rev(bytes, 5);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(bytes), 5), "\x01\x02\x03\x04\x05");

  // The opposite byte order: each whole 4-byte word is reversed, a trailing partial word is not.
  MemFile swapped(write("s.bin", std::string("a\x00\x00\x03\x84\x01\x02\x03\x04\x05\x06", 11)));
  EXPECT_EQ(swapped.check_file(header_binary, manifest_versions, nullptr, nullptr), 900);
  EXPECT_TRUE(swapped.swap_words());
  unsigned char words[6];
  swapped.read_n_rev(words, 6);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(words), 6), "\x04\x03\x02\x01\x05\x06");
  EXPECT_TRUE(swapped.at_end());

  MemFile short_file(write("short.bin", "i\x84\x03"));
  EXPECT_EQ(short_file.check_file(header_binary, manifest_versions, nullptr, nullptr), 0);
  MemFile wrong_letter(write("x.bin", std::string("x\x84\x03\x00\x00", 5)));
  EXPECT_EQ(wrong_letter.check_file(header_binary, manifest_versions, nullptr, nullptr), 0);
}

TEST_F(MemFileTest, ReadInt) {
  struct Case {
    const char* text;
    int value;
    size_t stop;  // cursor offset afterwards
  };
  const Case cases[] = {
      {"-12 ", -12, 3},
      {"+7", 7, 2},
      {"1x", 1 * 10 + ('x' - '0'), 2},
      {"  42\n9", 42, 4},
      {"", 0, 0},
      {"\n5", 0, 0},
      {"-", 0, 1},
      {"2147483647", INT_MAX, 10},
      {"-2147483648", INT_MIN, 11},
      // Values beyond 32 bits wrap around instead of overflowing.
      {"4294967296", 0, 10},
      {"4294967297", 1, 10},
      {"99999999999999999999999999", static_cast<int>(3825205247u), 26},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    MemFile file(write("int.txt", c.text));
    EXPECT_EQ(file.read_int(), c.value);
    EXPECT_EQ(file.offset(), c.stop);
  }
}

TEST_F(MemFileTest, MatchWord) {
  struct Case {
    const char* text;
    bool matched;
    size_t stop;
  };
  const Case cases[] = {
      {"DIR x", true, 3},
      {"  DIR\tx", true, 5},
      {"DIRECTORY x", false, 0},
      {"  DIRECTORY x", false, 2},
      {"DIR\nx", false, 0},
      {"DIR", false, 0},
      {"dir x", false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    MemFile file(write("word.txt", c.text));
    EXPECT_EQ(file.match_word("DIR"), c.matched);
    EXPECT_EQ(file.offset(), c.stop);
  }
}

TEST_F(MemFileTest, WordsRestsAndLines) {
  MemFile file(write("t.txt", std::string("  abc def  \r\n\n \t\r\nnext line\0tail", 32)));
  EXPECT_EQ(file.read_word(), "abc");
  EXPECT_EQ(file.read_rest(), "def  ");
  EXPECT_EQ(*file.cursor(), '\r');
  file.skip_white();
  EXPECT_EQ(file.read_word(), "next");
  file.next_line();  // NUL counts as a line end
  EXPECT_EQ(file.read_rest(), "tail");
  EXPECT_TRUE(file.at_end());
  EXPECT_EQ(file.read_rest(), "");
  file.next_line();
  EXPECT_TRUE(file.at_end());
}

TEST_F(MemFileTest, CaseIsResolvedComponentByComponent) {
  ASSERT_EQ(::mkdir((root + "Aircraft").c_str(), 0755), 0);
  write("Aircraft/Plane.ACF", "stored");

  MemFile file(root + "aircraft/plane.acf");
  ASSERT_TRUE(file.exists());
  EXPECT_EQ(file.read_word(), "stored");

  std::string full = root + "AIRCRAFT/missing/plane.acf";
  resolve_case(full);
  EXPECT_EQ(full, root + "Aircraft/missing/plane.acf");

  case_sensitive_fs() = 0;
  MemFile exact_only(root + "aircraft/plane.acf");
  case_sensitive_fs() = 1;
  EXPECT_FALSE(exact_only.exists());
}

TEST(MemFileDeathTest, ProgrammingErrorsEndTheProgram) {
  EXPECT_EXIT((prepare_for_alert(), MemFile("C:\\name")), testing::ExitedWithCode(1),
              "DURU!\n\nI got a bad dirchar! I only want '/'!\n\nThe path in question is:\n\n"
              "C:\\\\name");
  EXPECT_EXIT((prepare_for_alert(), base_folder_prefix() = "/base/", MemFile("/base/x")),
              testing::ExitedWithCode(1),
              "retry: We are getting a file string that is not Skybase relative!");
  EXPECT_EXIT((prepare_for_alert(), MemFile("/tmp/" + std::string(495, 'a'))),
              testing::ExitedWithCode(1), "String too long!");
  EXPECT_EXIT(
      {
        prepare_for_alert();
        MemFile file("/proc/self/exe");
        file.check_file(12, nullptr, nullptr, nullptr);
      },
      testing::ExitedWithCode(1), "Bad check_file type!");
  EXPECT_EXIT(
      {
        prepare_for_alert();
        MemFile file("/proc/self/exe");
        char byte[16];
        file.seek(file.end() - 8);
        file.read_n_rev(byte, 9);
      },
      testing::ExitedWithCode(1), "Invalid read_n_rev read!");
}

}  // namespace
