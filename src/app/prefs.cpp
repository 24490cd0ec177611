// The preferences file. One routine walks one fixed list of keys in both directions, so reading
// and writing always cover the same keys in the same order.
#include "app/prefs.h"

#include <climits>
#include <cstdlib>
#include <map>

#include "app/options.h"
#include "files/mem_file.h"
#include "files/paths.h"
#include "installer/entry.h"
#include "installer/session.h"

namespace {

constexpr int prefs_version = 9002;
constexpr const char* prefs_file_name = "Velmora Installer.prf";

// One pass over the keys, either reading them from the parsed file (with command-line
// overrides first) or writing them to the shared output stream.
class PrefsPass {
 public:
  PrefsPass(int direction, const std::map<std::string, std::string>& file_values)
      : writing_(direction == prefs_write), file_values_(file_values) {}

  void pref_int(const char* key, int& variable) {
    if (writing_) {
      ouf() << key << " " << variable << "\n";
      return;
    }
    std::string text;
    if (lookup(key, text)) variable = prefs_int_value(text);
  }

  void pref_text(const char* key, std::string& variable) {
    if (writing_) {
      if (!variable.empty()) ouf() << key << " " << variable << "\n";
      return;
    }
    std::string text;
    if (lookup(key, text)) variable = text;
  }

 private:
  // The command line wins over the file; a key found in neither leaves its variable alone.
  bool lookup(const char* key, std::string& text) const {
    const std::string option = std::string("--pref:") + key;
    if (has_option(option)) {
      text = option_value(option);
      return true;
    }
    auto found = file_values_.find(key);
    if (found == file_values_.end()) return false;
    text = found->second;
    return true;
  }

  bool writing_;
  const std::map<std::string, std::string>& file_values_;
};

void bind_keys(PrefsPass& pass) {
  InstallerSession& s = session();
  pass.pref_int("_use_max_cpu", s.use_max_cpu);
  pass.pref_int("_rename_folder", s.rename_folder);
  pass.pref_int("_stream_count", s.stream_count);
  pass.pref_int("_log_actions", s.log_actions);
  pass.pref_int("_always_ask_dir", s.always_ask_dir);
  pass.pref_text("_dest_dir_path", s.dest_dir_path);
  pass.pref_text("_proxy_host", s.proxy_host);
  pass.pref_text("_proxy_port", s.proxy_port);
  pass.pref_int("_proxy_port_int", s.proxy_port_int);
}

}  // namespace

// Unknown keys are kept in the map too; they are simply never looked up.
std::map<std::string, std::string> read_prefs_settings(MemFile& file) {
  std::map<std::string, std::string> values;
  const int versions[] = {prefs_version, 0};
  if (!file.exists() || file.check_file(header_text, versions, nullptr, nullptr) == 0)
    return values;
  while (!file.at_end()) {
    file.skip_blanks();
    std::string key = file.read_word();
    if (!key.empty()) values[key] = file.read_rest();
    file.skip_white();
  }
  return values;
}

int prefs_int_value(const std::string& text) {
  // strtol follows the same rule as atoi, but gives its limits instead of overflowing.
  const long value = std::strtol(text.c_str(), nullptr, 10);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}

std::string prefs_file_path() {
  std::string folder;
  os_dir(os_dir_prefs, folder);
  return folder.empty() ? std::string() : folder + prefs_file_name;
}

void prefs_io(int direction) {
  // Without HOME there is no folder of the user's to keep settings in. Rather than reading or
  // writing somewhere relative to wherever the program was started, the run uses the defaults
  // and the command line's overrides, and nothing is saved.
  const std::string path = prefs_file_path();

  if (direction == prefs_write) {
    if (path.empty() || !ouf_open(path, header_text, prefs_version)) return;
    const std::map<std::string, std::string> no_values;
    PrefsPass pass(direction, no_values);
    bind_keys(pass);
    ouf().close();
    return;
  }

  MemFile file(path);  // an empty path opens nothing
  const std::map<std::string, std::string> values = read_prefs_settings(file);
  PrefsPass pass(direction, values);
  bind_keys(pass);
}
