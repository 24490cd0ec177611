// The installer's entry: operating-system folders, the default destination, the start-up
// sequence after the shell's, the private download folder, and the destination choice.
#include "installer/entry.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "app/alert.h"
#include "app/log.h"
#include "app/prefs.h"
#include "app/shell.h"
#include "files/errors.h"
#include "files/paths.h"
#include "installer/frontend.h"
#include "installer/media_locator.h"
#include "installer/session.h"

namespace {

constexpr const char* new_installation_name = "Velmora 9";
constexpr const char* unknown_release = "Not Yet Scanned";
// The chooser takes its starting folder in a buffer of this many bytes, terminator included.
constexpr size_t chooser_buffer_size = 2048;

// The folder that holds `folder`'s last component, ending in "/". A folder with no "/" before
// its last component has no parent and stays as it is ("/", "", or a relative "name/").
std::string parent_of_folder(const std::string& folder) {
  if (folder.empty() || folder == "/") return folder;
  std::string trimmed = folder;
  if (trimmed.back() == '/') trimmed.pop_back();
  const size_t slash = trimmed.rfind('/');
  return slash == std::string::npos ? folder : trimmed.substr(0, slash + 1);
}

void reset_run_fields(InstallerSession& s) {
  s.release_name = unknown_release;
  s.run_state = run_idle;
  s.server_trouble = 0;
  s.install_error = 0;
  s.server_count = -1;
  s.server_index = 0;
  s.phase = phase_fetching;
  s.activity = activity_not_needed;
  s.file_fraction = 0;
  s.use_max_cpu = 0;
  s.rename_folder = 1;
  s.stream_count = 0;
  s.always_ask_dir = 0;
  s.download_kb_total = 0;
  s.install_kb_total = 0;
  s.platform_code = 3;
}

bool contains(const std::string& name, const char* word) {
  return name.find(word) != std::string::npos;
}

}  // namespace

void os_dir(int index, std::string& out) {
  const char* home = std::getenv("HOME");
  switch (index) {
    case os_dir_this_app:
      find_program_folder(out);
      for (char& c : out)
        if (c == '\\' || c == ':') c = '/';
      break;
    case os_dir_desktop:
    case os_dir_default_apps:
      if (home) out = std::string(home) + "/";
      break;
    case os_dir_temp:
      out = "/tmp/";
      break;
    case os_dir_prefs:
      if (home) {
        out = std::string(home) + "/" + ".velmora/";
        mkdir(out.c_str(), 0777);  // an existing or uncreatable folder is fine here
      }
      break;
    default:
      break;
  }
}

std::string default_destination(const std::string& default_apps) {
  std::string folder = default_apps;
  for (int i = 0; i < 10; ++i) folder = parent_of_folder(folder);
  return folder + new_installation_name + "/";
}

int make_private_temp_dir(const std::string& parent) {
  // Downloads are stored under fixed names; in a folder of our own, with no access for anyone
  // else, nobody can put a link in their place.
  std::string pattern = parent + "velmora-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) return errno;
  const std::string folder = std::string(buffer.data()) + "/";
  session().temp_dir = folder;
  add_exit_cleanup([folder] {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  });
  return 0;
}

void installer_startup(int argc, char** argv) {
  InstallerSession& s = session();

  const char* const labels[] = {"os_dir_this_app\t\t=", "os_dir_desktop\t\t=",
                                "os_dir_default_apps\t=", "os_dir_temp\t\t\t=",
                                "os_dir_prefs\t\t\t="};
  std::string folders[5];
  for (int index = 0; index < 5; ++index) {
    os_dir(index, folders[index]);
    app_log() << labels[index] << folders[index] << "\n";
  }
  app_log() << "\n";

  s.dest_dir_path = default_destination(folders[os_dir_default_apps]);
  app_log() << "dest_dir_path=" << s.dest_dir_path << "\n";

  s.temp_dir = folders[os_dir_temp];
  if (int error = make_private_temp_dir(folders[os_dir_temp])) {
    show_alert(0, "I could not create a folder for downloads in " + folders[os_dir_temp] + "!",
               error_text(error),
               "Every file is downloaded there before it is installed, so I cannot go on.",
               "Make sure that folder exists and that you may write to it.", t_exit, "entry",
               __LINE__);
  }

  reset_run_fields(s);
  find_install_disc(0);
  prefs_io(prefs_read);
  app_log() << "After searching, I think that dvd_path=" << s.dvd_path << "\n";

  if (argc > 2 && std::string(argv[1]) == "-path")
    s.dest_dir_path = argv[2];
  else if (s.always_ask_dir)
    choose_destination();
}

bool choose_destination() {
  InstallerSession& s = session();
  // A destination too long for the chooser starts it at the deepest folder of it that fits.
  std::string folder = s.dest_dir_path;
  if (folder.size() > chooser_buffer_size - 1) {
    folder.resize(chooser_buffer_size - 1);
    folder.resize(folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/') + 1);
  }
  if (!frontend().choose_folder(folder)) return false;
  s.dest_dir_path = folder;
  if (is_existing_installation()) return true;
  s.dest_dir_path += s.release_name == unknown_release ? new_installation_name : s.release_name;
  s.dest_dir_path += "/";
  return true;
}

bool is_existing_installation() {
  // A destination given on the command line may lack its final "/"; it names the same folder.
  std::string folder = session().dest_dir_path;
  if (folder.empty()) return false;
  if (folder.back() != '/') folder += "/";
  std::vector<std::string> names;
  std::vector<int> types;
  list_dir(folder, 0, names, types);
  bool airfoils = false, instructions = false, output = false, resources = false;
  for (size_t i = 0; i < names.size(); ++i) {
    if (types[i] != 1) continue;
    airfoils |= contains(names[i], "Airfoils");
    instructions |= contains(names[i], "Instructions");
    output |= contains(names[i], "Output");
    resources |= contains(names[i], "Resources");
  }
  return airfoils && instructions && output && resources;
}
