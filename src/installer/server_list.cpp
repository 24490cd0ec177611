// The server list: fetching and reading it, choosing a download server, and fetching the
// release's manifest archive from that server.
#include "installer/server_list.h"

#include <cmath>
#include <cstdlib>
#include <string_view>

#include "files/mem_file.h"
#include "installer/session.h"
#include "net/http.h"
#include "net/update_host.h"

namespace {

bool is_white_byte(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0; }

// Whether the record at the cursor begins with `keyword` followed by a blank, a line end, a NUL
// or the end of the file; on a match the cursor moves past the keyword.
bool take_keyword(MemFile& file, std::string_view keyword) {
  const char* at = file.cursor();
  const size_t left = static_cast<size_t>(file.end() - at);
  if (left < keyword.size() || std::string_view(at, keyword.size()) != keyword) return false;
  if (left > keyword.size() && !is_white_byte(at[keyword.size()])) return false;
  file.seek(at + keyword.size());
  return true;
}

// The next line of a multi-line record: skip the line end (and any empty lines), then take the
// rest of that line.
std::string next_line_rest(MemFile& file) {
  file.skip_white();
  return file.read_rest();
}

}  // namespace

void read_server_records(MemFile& file) {
  InstallerSession& s = session();
  s.server_count = 0;
  for (file.skip_white(); !file.at_end(); file.skip_white()) {
    if (take_keyword(file, "ENDOFLIST")) break;
    if (take_keyword(file, "BETA")) {
      s.release_name = file.read_rest();
    } else if (take_keyword(file, "SERVER")) {
      std::string host = file.read_rest();
      std::string folder = next_line_rest(file);
      std::string name = next_line_rest(file);
      const int n = s.server_count;
      if (n >= max_servers) continue;
      s.server_hosts[n] = std::move(host);
      s.server_paths[n] = folder + s.release_name + "/";
      s.server_names[n] = std::move(name);
      s.server_count = n + 1;
    } else {
      // FINAL (whose release this installer does not take) and any line we do not know.
      file.skip_line();
    }
  }
}

void fetch_server_list() {
  InstallerSession& s = session();
  const std::string local = s.temp_dir + server_list_file_name;
  if (http_step(http_slot_server_list, update_host(), server_list_path, local) != http_done)
    return;

  if (!read_server_list(local)) {
    report_newer_format(local);
    return;
  }
  pick_server();
}

bool read_server_list(const std::string& path) {
  MemFile file(path);
  const int versions[] = {server_list_version, 0};
  if (!file.exists() || file.check_file(header_text, versions, "SERVERS", nullptr) == 0)
    return false;
  read_server_records(file);
  return true;
}

int server_for_draw(double r, int count) {
  int index = static_cast<int>(std::pow(r, 1.5) * count);
  if (index > count - 1) index = count - 1;
  if (index < 0) index = 0;
  return index;
}

void pick_server() {
  InstallerSession& s = session();
  const double r = std::rand() * (1.0 / 2147483648.0);
  s.server_index = server_for_draw(r, s.server_count);
}

int fetch_manifest() {
  InstallerSession& s = session();
  const int i = s.server_index;
  return http_step(http_slot_manifest, s.server_hosts[i],
                   s.server_paths[i] + manifest_archive_name, s.temp_dir + manifest_archive_name);
}
