// Fuzz entry point for MemFile: the header check in both forms and every tokenizer operation run
// over arbitrary bytes; the cursor must stay inside the mapping whatever the input.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "files/mem_file.h"

namespace {

// One scratch file per process, rewritten for each input: MemFile reads files, not buffers.
const std::string& scratch_path() {
  static const std::string path = [] {
    char pattern[] = "/tmp/mem_file_fuzz.XXXXXX";
    int fd = ::mkstemp(pattern);
    if (fd >= 0) ::close(fd);
    return std::string(pattern);
  }();
  return path;
}

bool write_scratch(const uint8_t* data, size_t size) {
  int fd = ::open(scratch_path().c_str(), O_WRONLY | O_TRUNC);
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

void require_inside(const MemFile& file) {
  if (file.cursor() < file.begin() || file.cursor() > file.end()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!write_scratch(data, size)) return 0;
  MemFile file(scratch_path());
  if (!file.exists()) return 0;

  const int versions[] = {820, 840, 900, 0};
  std::string rest;
  file.check_file(header_binary, versions, nullptr, nullptr);
  require_inside(file);
  if (file.swap_words() && file.size() >= 5) {
    unsigned char block[64];
    size_t n = file.size() - file.offset();
    file.read_n_rev(block, n < sizeof block ? n : sizeof block);
    require_inside(file);
  }
  file.check_file(header_text, versions, "INSTALLER", &rest);
  require_inside(file);

  while (!file.at_end()) {
    if (file.match_word("A")) {
      file.read_int();
      file.read_word();
    } else {
      file.read_int();
      file.read_rest();
    }
    require_inside(file);
    file.next_line();
    require_inside(file);
  }
  return 0;
}
