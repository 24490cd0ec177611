// 7z expansion: the compression methods and x86 filters the releases use, folder and empty
// entries, missing folders, archives that are not 7z or are truncated or damaged, entries that
// try to leave the output folder, and replacement that keeps the old file whenever an entry
// fails. Archives are made by the tests, with the 7-Zip command for the filter chains and with
// libarchive's writer where names and order must be exact.
#include "files/sevenzip.h"

#include <archive.h>
#include <archive_entry.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "files/errors.h"
#include "files_test_support.h"
#include "support/files.h"

namespace {

using files_test::folder_names;
using test_support::read_file;
using test_support::write_file;

struct Entry {
  std::string name;
  std::string content;  // the link target for links
  mode_t type = AE_IFREG;
};

std::string noise(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 24);
  return bytes;
}

class SevenZipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
  }

  // An archive with exactly these entries, in this order.
  std::string write_7z(const std::vector<Entry>& entries, const char* compression = "lzma2") {
    std::string path = root + "made.7z";
    struct archive* writer = archive_write_new();
    archive_write_set_format_7zip(writer);
    archive_write_set_format_option(writer, "7zip", "compression", compression);
    EXPECT_EQ(archive_write_open_filename(writer, path.c_str()), ARCHIVE_OK);
    for (const Entry& item : entries) {
      struct archive_entry* entry = archive_entry_new();
      archive_entry_set_pathname(entry, item.name.c_str());
      archive_entry_set_filetype(entry, item.type);
      archive_entry_set_perm(entry, item.type == AE_IFDIR ? 0755 : 0644);
      if (item.type == AE_IFLNK) archive_entry_set_symlink(entry, item.content.c_str());
      if (item.type == AE_IFREG) archive_entry_set_size(entry, static_cast<la_int64_t>(item.content.size()));
      EXPECT_EQ(archive_write_header(writer, entry), ARCHIVE_OK) << item.name;
      if (item.type == AE_IFREG) archive_write_data(writer, item.content.data(), item.content.size());
      archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
    return path;
  }

  // An archive of the folder `source` made by the 7-Zip command with `switches`.
  std::string run_7zz(const std::string& source, const std::string& switches) {
    std::string path = root + "cmd.7z";
    unlink(path.c_str());
    std::string command = "cd '" + source + "' && 7zz a -bd -bso0 -bsp0 " + switches + " '" +
                          path + "' . >/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return path;
  }


  test_support::TempDir dir{"sevenzip_test"};
  const std::string root = dir.path();
  const std::string out = root + "out/";
  const std::string outside = root + "outside/";
};

TEST_F(SevenZipTest, ExpandsEveryMethodAndFilterChain) {
  // Machine code gives the x86 filters real work; the rest covers text, noise and nothing.
  std::string program = read_file("/proc/self/exe").substr(0, 400000);
  std::string text;
  for (int i = 0; i < 20000; ++i) text += "line " + std::to_string(i) + "\n";
  const std::string source = root + "source/";
  std::system(("mkdir -p '" + source + "sub'").c_str());
  write_file(source + "program.bin", program);
  write_file(source + "text.txt", text);
  write_file(source + "noise.bin", noise(70000, 7));
  write_file(source + "empty.txt", "");
  write_file(source + "sub/inner.txt", "inner");

  struct Case {
    const char* label;
    const char* switches;
  };
  const Case cases[] = {
      {"LZMA", "-m0=LZMA"},
      {"LZMA2 solid", "-m0=LZMA2 -ms=on"},
      {"LZMA2 not solid", "-m0=LZMA2 -ms=off"},
      {"PPMd", "-m0=PPMd"},
      {"BZip2", "-m0=BZip2"},
      {"Deflate", "-m0=Deflate"},
      {"stored", "-m0=Copy"},
      {"BCJ then LZMA", "-m0=BCJ -m1=LZMA"},
      {"BCJ2 then LZMA", "-m0=BCJ2 -m1=LZMA"},
      {"BCJ2 filter with LZMA2", "-mf=BCJ2 -m0=LZMA2"},
  };
  for (const Case& c : cases) {
    std::system(("rm -rf '" + out + "'; mkdir -p '" + out + "sub'").c_str());
    std::string archive = run_7zz(source, c.switches);
    std::vector<ExpandedFile> written;
    ExpandOptions options;
    options.written = &written;
    ASSERT_EQ(sevenzip_to_folder(archive, out, options), 0) << c.label;
    EXPECT_TRUE(read_file(out + "program.bin") == program) << c.label;
    EXPECT_TRUE(read_file(out + "text.txt") == text) << c.label;
    EXPECT_TRUE(read_file(out + "noise.bin") == noise(70000, 7)) << c.label;
    EXPECT_EQ(read_file(out + "sub/inner.txt"), "inner") << c.label;
    EXPECT_EQ(folder_names(out), (std::vector<std::string>{"empty.txt", "noise.bin", "program.bin",
                                                    "sub", "text.txt"}))
        << c.label;
    EXPECT_EQ(written.size(), 5u) << c.label;
  }
}

TEST_F(SevenZipTest, FolderEntriesAreNotCreated) {
  std::string archive = write_7z({{"only/", "", AE_IFDIR}, {"also/deeper/", "", AE_IFDIR}});
  EXPECT_EQ(sevenzip_to_folder(archive, out), 0);
  EXPECT_TRUE(folder_names(out).empty());
}

TEST_F(SevenZipTest, MissingFolderStopsAfterEarlierFiles) {
  std::string archive =
      write_7z({{"a.txt", "first"}, {"missing/b.txt", "second"}, {"c.txt", "third"}});
  EXPECT_EQ(sevenzip_to_folder(archive, out), ENOENT);
  EXPECT_EQ(read_file(out + "a.txt"), "first");
  EXPECT_EQ(folder_names(out), std::vector<std::string>{"a.txt"});
}

TEST_F(SevenZipTest, UnreadableArchives) {
  write_file(root + "zip.7z", "PK\3\4 this is a zip file, not a 7z archive");
  write_file(root + "empty.7z", "");
  struct Case {
    const char* label;
    std::string path;
    int expected;
  };
  const Case cases[] = {
      {"zip named .7z", root + "zip.7z", err_zip_open},
      {"empty file", root + "empty.7z", err_zip_open},
      {"missing file", root + "missing.7z", ENOENT},
  };
  for (const Case& c : cases) EXPECT_EQ(sevenzip_to_folder(c.path, out), c.expected) << c.label;
  EXPECT_TRUE(folder_names(out).empty());
}

TEST_F(SevenZipTest, DamagedOrTruncatedArchiveKeepsTheOldFile) {
  const std::string content = noise(200000, 3);
  struct Case {
    const char* label;
    const char* compression;
    bool truncate;  // else flip a byte in the middle of the data
    int expected;
  };
  const Case cases[] = {
      {"stored data, CRC mismatch", "store", false, err_archive_damaged},
      {"LZMA data damaged", "lzma1", false, err_archive_damaged},
      {"truncated", "lzma2", true, err_zip_open},
  };
  for (const Case& c : cases) {
    std::system(("rm -rf '" + out + "'; mkdir '" + out + "'").c_str());
    write_file(out + "f.bin", "old");
    std::string archive = write_7z({{"f.bin", content}}, c.compression);
    std::string bytes = read_file(archive);
    if (c.truncate) {
      bytes.resize(bytes.size() / 2);
    } else {
      bytes[bytes.size() / 2] = static_cast<char>(bytes[bytes.size() / 2] ^ 0x55);
    }
    write_file(archive, bytes);
    EXPECT_EQ(sevenzip_to_folder(archive, out), c.expected) << c.label;
    EXPECT_EQ(read_file(out + "f.bin"), "old") << c.label;
    EXPECT_EQ(folder_names(out), std::vector<std::string>{"f.bin"}) << c.label;
  }
}

TEST_F(SevenZipTest, RefusesEntriesThatWouldLandOutsideTheFolder) {
  ASSERT_EQ(symlink(outside.c_str(), (out + "existing_link").c_str()), 0);
  struct Case {
    const char* label;
    std::vector<Entry> entries;
  };
  const Case cases[] = {
      {"absolute name", {{outside + "abs.txt", "x"}}},
      {"parent component", {{"../outside/up.txt", "x"}}},
      {"parent inside a path", {{"../../outside/up.txt", "x"}}},
      {"through a link from the archive", {{"lib", outside, AE_IFLNK}, {"lib/passwd", "x"}}},
      {"through a link already there", {{"existing_link/x.txt", "x"}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sevenzip_to_folder(write_7z(c.entries), out), err_archive_outside) << c.label;
    EXPECT_TRUE(folder_names(outside).empty()) << c.label;
  }
  char target[256] = {};
  ASSERT_GT(readlink((out + "lib").c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(target, outside);
}

TEST_F(SevenZipTest, ReplacesReadOnlyFileAndReportsSignatures) {
  write_file(out + "f.txt", "old");
  chmod((out + "f.txt").c_str(), 0444);
  std::vector<ExpandedFile> written;
  ExpandOptions options;
  options.written = &written;
  ASSERT_EQ(sevenzip_to_folder(write_7z({{"f.txt", "abc"}, {"e.txt", ""}}), out, options), 0);
  EXPECT_EQ(read_file(out + "f.txt"), "abc");
  ASSERT_EQ(written.size(), 2u);
  EXPECT_EQ(written[0].path, out + "f.txt");
  EXPECT_EQ(written[0].signature, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(written[1].signature, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(folder_names(out), (std::vector<std::string>{"e.txt", "f.txt"}));
}

TEST_F(SevenZipTest, RefusedFileKeepsTheOldOne) {
  write_file(out + "f.txt", "old");
  ExpandOptions options;
  options.accept = [](const ExpandedFile&) { return int{err_release_mismatch}; };
  EXPECT_EQ(sevenzip_to_folder(write_7z({{"f.txt", "abc"}}), out, options), err_release_mismatch);
  EXPECT_EQ(read_file(out + "f.txt"), "old");
  EXPECT_EQ(folder_names(out), std::vector<std::string>{"f.txt"});
}

TEST_F(SevenZipTest, FullDiskIsAShortWriteAndKeepsTheOldFile) {
  write_file(out + "big.bin", "old");
  std::string archive = write_7z({{"big.bin", std::string(3 << 20, 'z')}});
  pid_t child = fork();
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1 << 20, 1 << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    _exit(sevenzip_to_folder(archive, out) == err_zip_write ? 0 : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(read_file(out + "big.bin"), "old");
  EXPECT_EQ(folder_names(out), std::vector<std::string>{"big.bin"});
}

}  // namespace
