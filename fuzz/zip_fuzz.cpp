// Fuzz entry point for zip expansion: any bytes, expanded into a sandboxed output folder, must
// expand or fail cleanly, never place anything beside the output folder and never leave a
// temporary file behind.
#include <cstdint>
#include <string>

#include "files/zip.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_support::expand_in_sandbox(data, size, "input.zip",
                                  [](const std::string& archive, const std::string& out) {
                                    return zip_to_file(archive, out);
                                  });
  return 0;
}
