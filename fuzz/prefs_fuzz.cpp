// Fuzz entry point for the preferences file: any bytes must read into settings whose keys are
// single words and whose values stay on one line, and every value must convert to a number
// without overflow.
#include <cstdint>
#include <string>

#include "app/prefs.h"
#include "files/mem_file.h"
#include "fuzz_support.h"

namespace {

bool is_separator(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\0';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz_support::ScratchFile scratch("prefs_fuzz");
  if (!scratch.write(data, size)) return 0;
  MemFile file(scratch.path());
  for (const auto& [key, value] : read_prefs_settings(file)) {
    if (key.empty()) __builtin_trap();
    for (char c : key)
      if (is_separator(c)) __builtin_trap();
    for (char c : value)
      if (c == '\r' || c == '\n' || c == '\0') __builtin_trap();
    prefs_int_value(value);
  }
  return 0;
}
