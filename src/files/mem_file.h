// MemFile: a whole file mapped read-only, a byte cursor over it, the tokenizer that every
// line-oriented format of the program is parsed with, and check_file for the common header.
// Nothing is copied out of the mapping until a token is extracted as a string.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

enum : int {
  header_binary = 10000,
  header_text = 10001,
};

class MemFile {
 public:
  MemFile() = default;
  explicit MemFile(const std::string& path);  // empty path: no file, no message
  ~MemFile();
  MemFile(const MemFile&) = delete;
  MemFile& operator=(const MemFile&) = delete;

  // Releases what the object holds and maps `path` (see the constructor).
  void open(const std::string& path);
  void close();

  bool exists() const { return begin_ != nullptr; }
  const char* begin() const { return begin_; }
  const char* end() const { return end_; }
  const char* cursor() const { return cursor_; }
  size_t size() const { return static_cast<size_t>(end_ - begin_); }
  size_t offset() const { return static_cast<size_t>(cursor_ - begin_); }
  bool at_end() const { return cursor_ >= end_; }
  void seek(const char* position) { cursor_ = position; }
  bool swap_words() const { return swap_words_; }

  // Returns the version read, or 0 when the header is not acceptable. `versions` is a list of
  // positive integers ended by 0; `keyword` and `rest` may be null.
  int check_file(int header_type, const int* versions, const char* keyword, std::string* rest);

  void read_n_rev(void* destination, size_t n);

  void skip_blanks();
  void skip_white();
  void skip_line();
  void next_line();
  bool match_word(std::string_view keyword);
  int read_int();
  std::string read_word();
  std::string read_rest();
  // The same tokens as views into the mapping, for parsers that copy only what they keep.
  std::string_view read_word_view();
  std::string_view read_rest_view();

 private:
  int descriptor_ = -1;
  const char* begin_ = nullptr;
  const char* end_ = nullptr;
  const char* cursor_ = nullptr;
  bool mapped_ = false;
  bool swap_words_ = false;
};

// Walks `full_path` component by component and replaces each with the spelling found in its
// parent folder when the path does not exist as given and the names differ only in case.
void resolve_case(std::string& full_path);
