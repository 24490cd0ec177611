// Fuzz entry point for MemFile: the header check in both forms and every tokenizer operation run
// over arbitrary bytes; the cursor must stay inside the mapping whatever the input.
#include <cstdint>
#include <cstring>
#include <string>

#include "files/mem_file.h"
#include "fuzz_support.h"

namespace {

void require_inside(const MemFile& file) {
  if (file.cursor() < file.begin() || file.cursor() > file.end()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz_support::ScratchFile scratch("mem_file_fuzz");
  if (!scratch.write(data, size)) return 0;
  MemFile file(scratch.path());
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
