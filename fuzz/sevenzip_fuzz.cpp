// Fuzz entry point for 7z expansion: any bytes, expanded into a sandboxed output folder, must
// expand or fail cleanly, never place anything beside the output folder and never leave a
// temporary file behind.
#include <cstdint>
#include <string>

#include "files/sevenzip.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::expand_in_sandbox(data, size, "input.7z",
                                  [](const std::string& archive, const std::string& out) {
                                    return sevenzip_to_folder(archive, out);
                                  });
  return 0;
}
