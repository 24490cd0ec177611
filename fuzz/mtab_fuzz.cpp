// Fuzz entry point for the mount-table reader: any bytes must read as a finite run of entries,
// each call moving on through the text, with only usable fields copied out.
#include <cstdint>
#include <string_view>

#include "installer/media_locator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string_view text(reinterpret_cast<const char*>(data), size);
  MtabEntry entry;
  for (;;) {
    const size_t before = text.size();
    const MtabRead result = read_mtab_entry(text, entry);
    if (text.size() > before) __builtin_trap();
    if (result == MtabRead::finished) break;
    if (text.size() == before) __builtin_trap();  // an entry that consumed nothing would loop
    if (result == MtabRead::entry &&
        (entry.mount_point.empty() || entry.type.empty() ||
         entry.mount_point.size() > max_mtab_field || entry.type.size() > max_mtab_field)) {
      __builtin_trap();
    }
  }
  return 0;
}
