// Fuzz entry point for the manifest records: any bytes after (or instead of) a good header must
// parse without fault into entries whose paths name files inside the destination folder.
#include <cstdint>
#include <string>

#include "files/mem_file.h"
#include "files/paths.h"
#include "fuzz_support.h"
#include "installer/manifest.h"

namespace {

void check_entries(const Manifest& list) {
  for (const PathGroup& group : list.groups) {
    if (group.entries.empty()) __builtin_trap();
    for (const ManifestEntry& entry : group.entries) {
      if (entry.path.empty() || ends_with_slash(entry.path) || !path_stays_inside(entry.path) ||
          entry.path != group.current().path || entry.platform < 0 || entry.platform > 6 ||
          entry.reserved_code < 0 || entry.reserved_code > 4) {
        __builtin_trap();
      }
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz_support::ScratchFile scratch("manifest_fuzz");
  if (!scratch.write(data, size)) return 0;
  MemFile file(scratch.path());
  if (!file.exists()) return 0;

  const int versions[] = {840, 900, 0};
  if (file.check_file(header_text, versions, "INSTALLER", nullptr) == 0) file.seek(file.begin());
  Manifest list;
  std::string fault_path;
  int fault = read_manifest_records(file, "fuzz", list, fault_path);
  if (fault == manifest_fault_none && !file.at_end()) __builtin_trap();
  check_entries(list);
  return 0;
}
