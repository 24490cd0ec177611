// MemFile: maps a whole data file read-only and parses it in place. Opening checks the path
// rules (no backslash or colon, relative to the base folder prefix, length), finds the stored
// spelling of names that differ only in case, and maps the file; the tokenizer and check_file
// work on the mapping and copy out only the tokens asked for.
//
// [SECTION] Case resolution
// [SECTION] Opening and closing
// [SECTION] Header check
// [SECTION] Tokenizer
#include "files/mem_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <cstring>

#include "app/alert.h"
#include "app/log.h"
#include "files/paths.h"

namespace {

// Character classes of the tokenizer, one table lookup per byte.
enum : unsigned char {
  class_blank = 1,     // space, tab
  class_line_end = 2,  // NUL, CR, LF
  class_white = class_blank | class_line_end,
};

constexpr std::array<unsigned char, 256> char_classes = [] {
  std::array<unsigned char, 256> table{};
  table[' '] = table['\t'] = class_blank;
  table['\0'] = table['\r'] = table['\n'] = class_line_end;
  return table;
}();

inline bool has_class(char c, unsigned char wanted) {
  return (char_classes[static_cast<unsigned char>(c)] & wanted) != 0;
}
inline bool is_blank(char c) { return has_class(c, class_blank); }
inline bool is_white(char c) { return has_class(c, class_white); }

// First byte at or after `p` (before `end`) whose class is in `wanted`, or `end`.
inline const char* find_class(const char* p, const char* end, unsigned char wanted) {
  while (p < end && !has_class(*p, wanted)) ++p;
  return p;
}
// First byte at or after `p` whose class is not in `skipped`, or `end`.
inline const char* skip_class(const char* p, const char* end, unsigned char skipped) {
  while (p < end && has_class(*p, skipped)) ++p;
  return p;
}

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_ignoring_case(const char* a, const std::string& b, size_t b_pos, size_t length) {
  for (size_t i = 0; i < length; ++i) {
    if (a[i] == '\0' || lower(a[i]) != lower(b[b_pos + i])) return false;
  }
  return a[length] == '\0';
}

// Stands in for the data of an empty file, so an empty file exists with zero bytes.
const char empty_data[1] = {0};

}  // namespace

// ---- [SECTION] Case resolution -----------------------------------------------------------------

void resolve_case(std::string& full_path) {
  struct stat status;
  if (full_path.empty() || ::lstat(full_path.c_str(), &status) == 0) return;
  size_t start = 0;
  while (start < full_path.size()) {
    if (full_path[start] == '/') {
      ++start;
      continue;
    }
    size_t stop = full_path.find('/', start);
    if (stop == std::string::npos) stop = full_path.size();
    size_t length = stop - start;
    std::string parent = start == 0 ? "." : full_path.substr(0, start);
    DIR* dir = ::opendir(parent.c_str());
    if (!dir) return;
    bool found = false;
    std::string spelling;
    while (dirent* entry = ::readdir(dir)) {
      if (std::strncmp(entry->d_name, full_path.c_str() + start, length) == 0 &&
          entry->d_name[length] == '\0') {
        found = true;  // the name as given is there; keep it
        spelling.clear();
        break;
      }
      if (!found && same_ignoring_case(entry->d_name, full_path, start, length)) {
        found = true;
        spelling = entry->d_name;
      }
    }
    ::closedir(dir);
    if (!found) return;
    if (!spelling.empty()) full_path.replace(start, length, spelling);
    start = stop;
  }
}

// ---- [SECTION] Opening and closing -------------------------------------------------------------

MemFile::MemFile(const std::string& path) { open(path); }

MemFile::~MemFile() { close(); }

void MemFile::close() {
  if (mapped_) ::munmap(const_cast<char*>(begin_), size());
  if (descriptor_ >= 0) ::close(descriptor_);
  descriptor_ = -1;
  begin_ = end_ = cursor_ = nullptr;
  mapped_ = false;
  swap_words_ = false;
}

void MemFile::open(const std::string& path) {
  if (path.empty()) {
    close();
    return;
  }
  const std::string& prefix = base_folder_prefix();
  if (!prefix.empty() && path.find(prefix) != std::string::npos) {
    show_alert(0, "retry: We are getting a file string that is not Skybase relative!",
               "This is illegal! All paths must be Skybase relative!", "The path in question is:",
               path, t_exit, "xmap", __LINE__);
  }
  if (path.find_first_of("\\:") != std::string::npos) {
    show_alert(0, "DURU!", "I got a bad dirchar! I only want '/'!", "The path in question is:",
               path, t_exit, "xmap", __LINE__);
  }
  std::string full = prefix + path;
  check_path_length(full);
  if (case_sensitive_fs()) resolve_case(full);

  close();
  int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat status;
  if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
    ::close(fd);
    return;
  }
  off_t length = ::lseek(fd, 0, SEEK_END);
  if (length < 0 || ::lseek(fd, 0, SEEK_SET) != 0 ||
      static_cast<uint64_t>(length) > SIZE_MAX) {
    ::close(fd);
    return;
  }
  if (length == 0) {
    descriptor_ = fd;
    begin_ = end_ = cursor_ = empty_data;
    return;
  }
  void* mapping = ::mmap(nullptr, static_cast<size_t>(length), PROT_READ, MAP_PRIVATE, fd, 0);
  if (mapping == MAP_FAILED) {
    int code = errno;
    ::close(fd);
    app_log() << "Mem file error.  Err=" << code << ", file=" << full << "\n";
    if (code == ENOMEM) show_alert(0, "mmap() out of memory", "", "", "", t_alert, "xmap", __LINE__);
    return;
  }
  if (mapping == nullptr) {
    ::close(fd);
    show_alert(0, "mmap() returned null", "", "", "", t_alert, "xmap", __LINE__);
    return;
  }
  descriptor_ = fd;
  mapped_ = true;
  begin_ = static_cast<const char*>(mapping);
  end_ = begin_ + length;
  cursor_ = begin_;
}

// ---- [SECTION] Header check --------------------------------------------------------------------

int MemFile::check_file(int header_type, const int* versions, const char* keyword,
                        std::string* rest) {
  if (header_type != header_binary && header_type != header_text) {
    show_alert(0, "Bad check_file type!", "", "", "", t_exit, "xmap", __LINE__);
  }
  if (!exists() || size() == 0) return 0;
  cursor_ = begin_;

  int version = 0;
  if (header_type == header_binary) {
    if (size() < 5) return 0;
    if (begin_[0] == 'a') {
      swap_words_ = true;
    } else if (begin_[0] == 'i') {
      swap_words_ = false;
    } else {
      return 0;
    }
    unsigned char bytes[4];
    std::memcpy(bytes, begin_ + 1, 4);
    uint32_t value = swap_words_ ? (uint32_t{bytes[0]} << 24 | uint32_t{bytes[1]} << 16 |
                                    uint32_t{bytes[2]} << 8 | uint32_t{bytes[3]})
                                 : (uint32_t{bytes[3]} << 24 | uint32_t{bytes[2]} << 16 |
                                    uint32_t{bytes[1]} << 8 | uint32_t{bytes[0]});
    version = static_cast<int>(value);
    cursor_ = begin_ + 5;
  } else {
    char letter = *cursor_;
    next_line();
    if (letter != 'A' && letter != 'I') return 0;
    version = read_int();
    std::string_view remark = read_rest_view();
    if (rest) rest->assign(remark);
    skip_white();
  }

  bool accepted = false;
  for (const int* v = versions; v && *v != 0; ++v) {
    if (*v == version) accepted = true;
  }
  if (!accepted) return 0;
  if (!keyword) return version;

  skip_blanks();
  const char* after_blanks = cursor_;
  size_t length = std::strlen(keyword);
  size_t left = static_cast<size_t>(end_ - cursor_);
  if (left >= length && std::memcmp(cursor_, keyword, length) == 0 &&
      (left == length || is_white(cursor_[length]))) {
    cursor_ += length;
    skip_blanks();
    skip_line();
    skip_white();
    return version;
  }
  cursor_ = after_blanks;
  return 0;
}

void MemFile::read_n_rev(void* destination, size_t n) {
  if (!exists() || n > static_cast<size_t>(end_ - cursor_)) {
    show_alert(0, "Invalid read_n_rev read!", "", "", "", t_exit, "xmap", __LINE__);
    return;
  }
  if (n == 0) return;
  unsigned char* out = static_cast<unsigned char*>(destination);
  std::memcpy(out, cursor_, n);
  cursor_ += n;
  if (swap_words_) {
    for (size_t word = 0; word + 4 <= n; word += 4) {
      std::swap(out[word], out[word + 3]);
      std::swap(out[word + 1], out[word + 2]);
    }
  }
}

// ---- [SECTION] Tokenizer -----------------------------------------------------------------------

void MemFile::skip_blanks() { cursor_ = skip_class(cursor_, end_, class_blank); }

void MemFile::skip_white() { cursor_ = skip_class(cursor_, end_, class_white); }

void MemFile::skip_line() { cursor_ = find_class(cursor_, end_, class_line_end); }

void MemFile::next_line() {
  skip_line();
  skip_white();
}

bool MemFile::match_word(std::string_view keyword) {
  skip_blanks();
  size_t left = static_cast<size_t>(end_ - cursor_);
  if (left > keyword.size() && std::memcmp(cursor_, keyword.data(), keyword.size()) == 0 &&
      is_blank(cursor_[keyword.size()])) {
    cursor_ += keyword.size();
    return true;
  }
  return false;
}

int MemFile::read_int() {
  skip_blanks();
  // Unsigned arithmetic wraps instead of overflowing, so a long run of digits gives a wrong
  // value rather than undefined behaviour; the sign is applied the same way.
  unsigned sign = 1;
  if (cursor_ < end_ && (*cursor_ == '-' || *cursor_ == '+')) {
    if (*cursor_ == '-') sign = static_cast<unsigned>(-1);
    ++cursor_;
  }
  unsigned value = 0;
  const char* p = cursor_;
  while (p < end_ && !is_white(*p)) {
    value = value * 10u + (static_cast<unsigned>(static_cast<unsigned char>(*p)) - '0');
    ++p;
  }
  cursor_ = p;
  return static_cast<int>(value * sign);
}

std::string_view MemFile::read_word_view() {
  skip_blanks();
  const char* start = cursor_;
  cursor_ = find_class(cursor_, end_, class_white);
  return std::string_view(start, static_cast<size_t>(cursor_ - start));
}

std::string_view MemFile::read_rest_view() {
  skip_blanks();
  const char* start = cursor_;
  skip_line();
  return std::string_view(start, static_cast<size_t>(cursor_ - start));
}

std::string MemFile::read_word() { return std::string(read_word_view()); }

std::string MemFile::read_rest() { return std::string(read_rest_view()); }
