// Fuzz entry point for zip expansion: any bytes, expanded into a sandboxed output folder, must
// expand or fail cleanly, never place anything beside the output folder and never leave a
// temporary file behind.
#include <stdlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include "files/zip.h"

namespace {

namespace fs = std::filesystem;

const std::string& sandbox() {
  // Never destroyed, so the clean-up at exit can still use it.
  static const std::string* folder = [] {
    char pattern[] = "/tmp/zip_fuzz.XXXXXX";
    if (mkdtemp(pattern) == nullptr) std::abort();
    std::atexit([] { fs::remove_all(sandbox()); });
    return new std::string(std::string(pattern) + "/");
  }();
  return *folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string archive = sandbox() + "input.zip";
  const std::string out = sandbox() + "out/";
  std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(data), size);
  fs::remove_all(out);
  fs::create_directory(out);

  zip_to_file(archive, out);

  for (const auto& item : fs::directory_iterator(sandbox())) {
    std::string name = item.path().filename();
    if (name != "out" && name != "input.zip") std::abort();
  }
  for (const auto& item : fs::recursive_directory_iterator(out)) {
    if (item.path().filename().string().rfind(".expand-", 0) == 0) std::abort();
  }
  return 0;
}
