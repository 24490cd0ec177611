// File helpers shared by the tests: a private scratch folder removed with its contents when the
// test ends, and whole-file reads and writes.
#pragma once
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace test_support {

// A folder of its own under /tmp for one test; `path()` ends in "/".
class TempDir {
 public:
  explicit TempDir(const std::string& stem = "velmora-test") {
    std::string pattern = "/tmp/" + stem + "-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern + "/";
  }
  ~TempDir() {
    if (path_.empty()) return;
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  bool ok() const { return !path_.empty(); }
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

inline std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Writes `bytes` to `path`, creating its folders.
inline void write_file(const std::string& path, const std::string& bytes) {
  std::filesystem::path target(path);
  if (target.has_parent_path()) {
    std::error_code ignored;
    std::filesystem::create_directories(target.parent_path(), ignored);
  }
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline bool file_exists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::symlink_status(path, ignored).type() !=
         std::filesystem::file_type::not_found;
}

}  // namespace test_support
