// Zip expansion: folders, files, links, macOS resource folders, permission bits and times,
// entries that try to leave the output folder, damaged and truncated archives, and the promise
// that a failed entry (bad CRC, full disk, refused signature, killed process) leaves the old
// file in place and nothing temporary behind. Archives are written by the tests with minizip.
#include "files/zip.h"

#include <gtest/gtest.h>
#include <minizip/zip.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <vector>

#include "app/log.h"
#include "files/errors.h"
#include "files/signature.h"
#include "files_test_support.h"
#include "support/files.h"

namespace {

using files_test::folder_names;
using test_support::file_exists;
using test_support::read_file;
using test_support::write_file;

constexpr uLong unix_file(unsigned mode) { return static_cast<uLong>(0100000 | mode) << 16; }
constexpr uLong unix_link = static_cast<uLong>(0120777) << 16;

struct Entry {
  std::string name;
  std::string content;
  uLong attributes = unix_file(0644);
  int method = Z_DEFLATED;
};

// 2021-06-15 10:20:30, local time, as recorded in the test archives.
constexpr tm_zip entry_date = {30, 20, 10, 15, 5, 2021};

time_t entry_time() {
  struct tm local{};
  local.tm_sec = 30;
  local.tm_min = 20;
  local.tm_hour = 10;
  local.tm_mday = 15;
  local.tm_mon = 5;
  local.tm_year = 2021 - 1900;
  local.tm_isdst = -1;
  return mktime(&local);
}

class ZipTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(dir.ok());
    ASSERT_EQ(mkdir(out.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(outside.c_str(), 0755), 0);
    log_open(root + "Log.txt");
  }
  void TearDown() override { log_close(); }

  std::string make_zip(const std::vector<Entry>& entries, const std::string& name = "a.zip") {
    std::string path = root + name;
    zipFile zip = zipOpen64(path.c_str(), APPEND_STATUS_CREATE);
    EXPECT_NE(zip, nullptr);
    for (const Entry& entry : entries) {
      zip_fileinfo info{};
      info.tmz_date = entry_date;
      info.external_fa = entry.attributes;
      EXPECT_EQ(zipOpenNewFileInZip64(zip, entry.name.c_str(), &info, nullptr, 0, nullptr, 0,
                                      nullptr, entry.method, entry.method ? 6 : 0, 0),
                ZIP_OK);
      zipWriteInFileInZip(zip, entry.content.data(), static_cast<unsigned>(entry.content.size()));
      zipCloseFileInZip(zip);
    }
    zipClose(zip, nullptr);
    return path;
  }

  std::string log_text() {
    log_flush();
    return read_file(root + "Log.txt");
  }

  test_support::TempDir dir{"zip_test"};
  const std::string root = dir.path();
  const std::string out = root + "out/";
  const std::string outside = root + "outside/";
};

TEST_F(ZipTest, CreatesFoldersAndFilesAndToleratesExistingFolders) {
  std::string zip = make_zip({{"Data/", "", static_cast<uLong>(040755) << 16},
                              {"Data/a.txt", "alpha"},
                              {"Data/Sub/", ""},
                              {"Data/Sub/b.txt", std::string(100000, 'b')},
                              {"top.txt", ""}});
  for (int run = 0; run < 2; ++run) {
    ASSERT_EQ(zip_to_file(zip, out), 0) << "run " << run;
    EXPECT_EQ(read_file(out + "Data/a.txt"), "alpha");
    EXPECT_EQ(read_file(out + "Data/Sub/b.txt"), std::string(100000, 'b'));
    EXPECT_TRUE(file_exists(out + "top.txt"));
  }
  EXPECT_EQ(folder_names(out), (std::vector<std::string>{"Data", "top.txt"}));
  EXPECT_EQ(folder_names(out + "Data"), (std::vector<std::string>{"Sub", "a.txt"}));
}

TEST_F(ZipTest, SkipsMacResourceFolders) {
  std::string zip = make_zip({{"__MACOSX/", ""}, {"__MACOSX/._a.txt", "fork"}, {"a.txt", "data"}});
  ASSERT_EQ(zip_to_file(zip, out), 0);
  EXPECT_EQ(folder_names(out), std::vector<std::string>{"a.txt"});
}

TEST_F(ZipTest, AppliesRecordedPermissionsAndTimes) {
  mode_t mask = umask(022);
  umask(mask);
  const mode_t default_mode = 0666 & ~mask;
  struct Case {
    const char* label;
    uLong attributes;
    mode_t mode;
    bool entry_time;
  };
  const Case cases[] = {
      {"unix 644", unix_file(0644), 0644, true},
      {"unix 755", unix_file(0755), 0755, true},
      {"unix read-only 444", unix_file(0444), 0444, true},
      {"no attributes", 0, default_mode, false},
      {"dos archive bit only", 0x20, default_mode, true},
  };
  for (const Case& c : cases) {
    std::string zip = make_zip({{"f.bin", "content", c.attributes}});
    time_t before = time(nullptr);
    ASSERT_EQ(zip_to_file(zip, out), 0) << c.label;
    struct stat status;
    ASSERT_EQ(stat((out + "f.bin").c_str(), &status), 0) << c.label;
    EXPECT_EQ(status.st_mode & 0777, c.mode) << c.label;
    if (c.entry_time) {
      EXPECT_EQ(status.st_mtime, entry_time()) << c.label;
      EXPECT_EQ(status.st_atime, entry_time()) << c.label;
    } else {
      EXPECT_GE(status.st_mtime, before) << c.label;
    }
  }
}

TEST_F(ZipTest, ReplacesReadOnlyFilesAndLinksWithoutWritingThroughThem) {
  write_file(out + "ro.txt", "old");
  chmod((out + "ro.txt").c_str(), 0444);
  write_file(outside + "victim.txt", "keep");
  ASSERT_EQ(symlink((outside + "victim.txt").c_str(), (out + "linked.txt").c_str()), 0);
  std::string zip = make_zip({{"ro.txt", "new"}, {"linked.txt", "new"}});
  ASSERT_EQ(zip_to_file(zip, out), 0);
  EXPECT_EQ(read_file(out + "ro.txt"), "new");
  struct stat status;
  ASSERT_EQ(lstat((out + "linked.txt").c_str(), &status), 0);
  EXPECT_TRUE(S_ISREG(status.st_mode));
  EXPECT_EQ(read_file(out + "linked.txt"), "new");
  EXPECT_EQ(read_file(outside + "victim.txt"), "keep");
}

TEST_F(ZipTest, CreatesSymbolicLinksWithTheExactTarget) {
  write_file(out + "x", "old file where the link goes");
  std::string zip = make_zip({{"x", "../lib/x", unix_link}, {"y", "plain", unix_link}});
  ASSERT_EQ(zip_to_file(zip, out), 0);
  char target[64] = {};
  ASSERT_EQ(readlink((out + "x").c_str(), target, sizeof target - 1), 8);
  EXPECT_STREQ(target, "../lib/x");
  EXPECT_EQ(folder_names(out), (std::vector<std::string>{"x", "y"}));
}

TEST_F(ZipTest, RefusesEntriesThatWouldLandOutsideTheFolder) {
  ASSERT_EQ(symlink(outside.c_str(), (out + "existing_link").c_str()), 0);
  struct Case {
    const char* label;
    std::vector<Entry> entries;
  };
  const Case cases[] = {
      {"absolute name", {{outside + "abs.txt", "x"}}},
      {"parent component", {{"../outside/up.txt", "x"}}},
      {"parent inside a path", {{"a/", ""}, {"a/../../outside/up.txt", "x"}}},
      {"parent as folder entry", {{"../outside/made/", ""}}},
      {"through a link from the archive", {{"lib", outside, unix_link}, {"lib/passwd", "x"}}},
      {"link from the archive, then folder", {{"lib2", outside, unix_link}, {"lib2/sub/", ""}}},
      {"through a link already there", {{"existing_link/x.txt", "x"}}},
      {"link entry through a link", {{"existing_link/l", "/etc", unix_link}}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zip_to_file(make_zip(c.entries), out), err_archive_outside) << c.label;
    EXPECT_TRUE(folder_names(outside).empty()) << c.label;
  }
  EXPECT_TRUE(file_exists(out + "lib"));
}

TEST_F(ZipTest, DamagedEntryStopsAndKeepsTheOldFile) {
  struct Case {
    const char* label;
    int method;
    int expected;  // 0: any failure
  };
  const Case cases[] = {
      {"stored entry, CRC mismatch", 0, -105},
      {"deflated entry, damaged stream", Z_DEFLATED, 0},
  };
  for (const Case& c : cases) {
    std::system(("rm -rf '" + out + "'; mkdir '" + out + "'").c_str());
    write_file(out + "bad.txt", "old");
    std::string content;
    unsigned noise = 12345;
    for (unsigned i = 0; i < 50000; ++i) content += static_cast<char>((noise = noise * 1103515245u + 12345u) >> 24);
    std::string zip = make_zip(
        {{"good.txt", "fine"}, {"bad.txt", content, unix_file(0644), c.method}, {"after.txt", "x"}});
    // Damage the middle of the second entry's data.
    std::string bytes = read_file(zip);
    size_t data = bytes.find("bad.txt") + 7 + (c.method ? 1000 : 20000);
    bytes[data] = static_cast<char>(bytes[data] ^ 0x55);
    write_file(zip, bytes);

    int result = zip_to_file(zip, out);
    if (c.expected != 0) {
      EXPECT_EQ(result, c.expected) << c.label;
    }
    EXPECT_NE(result, 0) << c.label;
    EXPECT_EQ(read_file(out + "good.txt"), "fine") << c.label;
    EXPECT_TRUE(read_file(out + "bad.txt") == "old") << c.label;
    EXPECT_EQ(folder_names(out), (std::vector<std::string>{"bad.txt", "good.txt"})) << c.label;
  }
  EXPECT_NE(log_text().find("Zip to file failed with error -105. file = "), std::string::npos);
  EXPECT_NE(log_text().find("UNZIP zip_to_file failed with err=-105\n"), std::string::npos);
}

TEST_F(ZipTest, TruncatedArchiveFailsAndKeepsTheOldFile) {
  write_file(out + "f.txt", "old");
  std::string zip = make_zip({{"f.txt", std::string(20000, 'n'), unix_file(0644), 0}});
  std::string bytes = read_file(zip);
  write_file(zip, bytes.substr(0, bytes.size() / 2));
  EXPECT_EQ(zip_to_file(zip, out), err_zip_open);
  EXPECT_EQ(read_file(out + "f.txt"), "old");
  EXPECT_EQ(folder_names(out), std::vector<std::string>{"f.txt"});
}

TEST_F(ZipTest, MissingArchiveWritesItsDiagnostics) {
  const std::string zip = root + "missing.zip";
  EXPECT_EQ(zip_to_file(zip, out), err_zip_open);
  const std::string expected =
      "OK I am about to report that I could not open a zip file for extraction!\n"
      "That incoming file is " + zip + "\n" +
      "In c-form, it is " + zip + "\n" +
      "The size is " + std::to_string(zip.size()) + "\n" +
      "Zip to file failed with error err = 20001. file = ";
  EXPECT_EQ(log_text().substr(0, expected.size()), expected);
  EXPECT_NE(log_text().find(". zip_file=" + zip + ", out_directory=" + out + ".\n"),
            std::string::npos);
}

TEST_F(ZipTest, EntryErrorsPassThrough) {
  struct Case {
    const char* label;
    std::vector<Entry> entries;
    int expected;
  };
  const Case cases[] = {
      {"file in a folder that does not exist", {{"nowhere/a.txt", "x"}}, ENOENT},
      {"name longer than 255 bytes", {{std::string(300, 'n'), "x"}}, ENAMETOOLONG},
      {"file over an existing folder", {{"Data/", ""}, {"Data", "x"}}, EISDIR},
      {"link that cannot be made", {{"nowhere/l", "x", unix_link}}, -1},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(zip_to_file(make_zip(c.entries), out), c.expected) << c.label;
  }
  EXPECT_NE(log_text().find("Zip to file failed with error 2. file = "), std::string::npos);
  EXPECT_NE(log_text().find(". inFile=" + out + "nowhere/a.txt.\n"), std::string::npos);
  EXPECT_NE(log_text().find("Zip to symlink failed with error -1. file = "), std::string::npos);
}

TEST_F(ZipTest, ReportsSignaturesOfWrittenFiles) {
  std::vector<ExpandedFile> written;
  ExpandOptions options;
  options.written = &written;
  // A file of many chunks, each different, so that hashing them out of order would show.
  std::string large(3 * 1024 * 1024 + 17, '\0');
  for (size_t i = 0; i < large.size(); ++i) large[i] = static_cast<char>((i * 2654435761u) >> 13);
  std::string zip = make_zip({{"d/", ""}, {"d/abc.txt", "abc"}, {"l", "abc.txt", unix_link},
                              {"empty", ""}, {"large.bin", large}});
  ASSERT_EQ(zip_to_file(zip, out, options), 0);
  ASSERT_EQ(written.size(), 3u);
  EXPECT_EQ(written[0].path, out + "d/abc.txt");
  EXPECT_EQ(written[0].signature, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(written[1].path, out + "empty");
  EXPECT_EQ(written[1].signature, "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(written[2].signature, signature_of_bytes(large.data(), large.size()));
  EXPECT_EQ(read_file(out + "large.bin"), large);
}

TEST_F(ZipTest, RefusedFileKeepsTheOldOne) {
  write_file(out + "f.txt", "old");
  ExpandOptions options;
  std::string seen;
  options.accept = [&](const ExpandedFile& file) {
    seen = file.signature;
    return int{err_release_mismatch};
  };
  EXPECT_EQ(zip_to_file(make_zip({{"f.txt", "abc"}}), out, options), err_release_mismatch);
  EXPECT_EQ(seen, "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(read_file(out + "f.txt"), "old");
  EXPECT_EQ(folder_names(out), std::vector<std::string>{"f.txt"});
}

// Runs `body` in a child process and returns its exit code, or -signal when it was killed.
template <typename Body>
int in_child(Body body) {
  pid_t child = fork();
  if (child == 0) _exit(body());
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
}

TEST_F(ZipTest, FullDiskKeepsTheOldFile) {
  write_file(out + "big.bin", "old");
  std::string zip = make_zip({{"big.bin", std::string(3 << 20, 'z')}});
  int result = in_child([&] {
    signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit = {1 << 20, 1 << 20};
    setrlimit(RLIMIT_FSIZE, &limit);
    return zip_to_file(zip, out);
  });
  EXPECT_EQ(result, EFBIG);
  EXPECT_EQ(read_file(out + "big.bin"), "old");
  EXPECT_EQ(folder_names(out), std::vector<std::string>{"big.bin"});
}

TEST_F(ZipTest, KilledExpansionLeavesNoTemporaryFile) {
  write_file(out + "f.bin", "old");
  std::string zip = make_zip({{"f.bin", std::string(1 << 20, 'k')}});
  int result = in_child([&] {
    ExpandOptions options;
    options.accept = [](const ExpandedFile&) {
      raise(SIGKILL);
      return 0;
    };
    return zip_to_file(zip, out, options);
  });
  EXPECT_EQ(result, -SIGKILL);
  EXPECT_EQ(read_file(out + "f.bin"), "old");
  EXPECT_EQ(folder_names(out), std::vector<std::string>{"f.bin"});
}

}  // namespace
