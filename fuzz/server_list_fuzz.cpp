// Fuzz entry point for the server list: any bytes must read into at most ten servers, each with
// a host, folder and name that stay on one line, each folder ending in "/".
#include <cstdint>
#include <string>

#include "files/mem_file.h"
#include "fuzz_support.h"
#include "installer/server_list.h"
#include "installer/session.h"

namespace {

bool single_line(const std::string& text) {
  for (char c : text)
    if (c == '\r' || c == '\n' || c == '\0') return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const fuzz_support::ScratchFile scratch("server_list_fuzz");
  if (!scratch.write(data, size)) return 0;
  InstallerSession& s = session();
  s = InstallerSession{};
  MemFile file(scratch.path());
  read_server_records(file);
  if (s.server_count < 0 || s.server_count > max_servers) __builtin_trap();
  if (!single_line(s.release_name)) __builtin_trap();
  for (int i = 0; i < s.server_count; ++i) {
    if (!single_line(s.server_hosts[i]) || !single_line(s.server_paths[i]) ||
        !single_line(s.server_names[i]))
      __builtin_trap();
    if (s.server_paths[i].empty() || s.server_paths[i].back() != '/') __builtin_trap();
  }
  return 0;
}
