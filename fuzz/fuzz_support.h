// Shared by the fuzz entry points: a scratch file that the readers of files map (they read
// files, not buffers), and the sandboxed expansion run that the archive entry points share.
#pragma once
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace fuzz_support {

// Replaces the content of `path` (created when `create`) with the input; false when it could not
// be written whole.
inline bool write_whole(const std::string& path, const uint8_t* data, size_t size, bool create) {
  int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | (create ? O_CREAT : 0), 0600);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < size) {
    ssize_t n = ::write(fd, data + written, size - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  ::close(fd);
  return written == size;
}

// One file under /tmp for the whole run, rewritten with each input and removed at exit.
class ScratchFile {
 public:
  explicit ScratchFile(const std::string& stem) {
    std::string pattern = "/tmp/" + stem + ".XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    path_ = pattern;
  }
  ~ScratchFile() { ::unlink(path_.c_str()); }
  ScratchFile(const ScratchFile&) = delete;
  ScratchFile& operator=(const ScratchFile&) = delete;

  const std::string& path() const { return path_; }

  bool write(const uint8_t* data, size_t size) const {
    return write_whole(path_, data, size, false);
  }

 private:
  std::string path_;
};

// Writes the input as `archive_name` into a private folder, expands it into a fresh "out/"
// folder there with `expand(archive, out folder)`, and aborts when anything was placed beside
// the output folder or a temporary file of the expansion was left behind: whatever the bytes,
// an expansion must succeed or fail cleanly.
template <typename Expand>
void expand_in_sandbox(const uint8_t* data, size_t size, const std::string& archive_name,
                       Expand expand) {
  namespace fs = std::filesystem;
  // Never destroyed, so the clean-up at exit can still use it.
  static const std::string* sandbox = [] {
    char pattern[] = "/tmp/expand_fuzz.XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    std::atexit([] { fs::remove_all(*sandbox); });
    return new std::string(std::string(pattern) + "/");
  }();
  const std::string archive = *sandbox + archive_name;
  const std::string out = *sandbox + "out/";
  if (!write_whole(archive, data, size, true)) std::abort();
  fs::remove_all(out);
  fs::create_directory(out);

  expand(archive, out);

  for (const auto& item : fs::directory_iterator(*sandbox)) {
    std::string name = item.path().filename();
    if (name != "out" && name != archive_name) std::abort();
  }
  for (const auto& item : fs::recursive_directory_iterator(out)) {
    if (item.path().filename().string().rfind(".expand-", 0) == 0) std::abort();
  }
}

}  // namespace fuzz_support
