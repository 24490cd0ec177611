// velmora-update: the installer's update without a window, for terminals, scripts and machines
// without a display. Same preferences (read, never written), same options, same phases, streams
// and executor as the window; see --help.
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/options.h"
#include "app/shell.h"
#include "app/threads.h"
#include "installer/entry.h"
#include "installer/frontend.h"
#include "installer/session.h"
#include "installer/terminal_frontend.h"

namespace {

// The display-free shutdown without saving the preferences: this program never writes them.
void shutdown() {
  set_frontend(nullptr);
  if (thread_system_ready()) stop_workers();
  app_shutdown_core(0);
}

// The options this program acts on, its own and the shared ones that make sense without a window.
bool is_known_option(const std::string& name) {
  static const char* const known[] = {"--accept-terms", "--modified", "--dry-run", "--timeout",
                                      "--update_host", "--help", "--cmnds", "--fps_test"};
  for (const char* option : known)
    if (name == option) return true;
  return name.rfind("--pref:", 0) == 0;
}

// Arguments other than options: only "-path FOLDER" at the front.
bool arguments_are_valid(int argc, char** argv, std::string& error) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "-path") {
      if (i != 1 || argc < 3) {
        error = "-path FOLDER must come first";
        return false;
      }
      ++i;
      continue;
    }
    if (argument.rfind("--", 0) != 0) {
      error = "unexpected argument \"" + argument + "\"";
      return false;
    }
    // The shared option table takes any "--" word; here a misspelt option must not silently
    // turn a dry run or a refusal into a real install.
    const std::string name = argument.substr(0, argument.find('='));
    if (!is_known_option(name)) {
      error = "unknown option \"" + name + "\"";
      return false;
    }
  }
  return true;
}

// The destination as a folder path: ending in "/", and absolute so the final rename stays in
// the folder meant.
void settle_destination(std::string& folder) {
  if (folder.empty()) return;
  if (folder[0] != '/') {
    char here[4096];
    if (getcwd(here, sizeof here)) folder = std::string(here) + "/" + folder;
  }
  if (folder.back() != '/') folder += "/";
}

}  // namespace

int main(int argc, char** argv) {
  add_usage_group(terminal_usage_group);
  app_startup_core(argc, argv);

  TerminalOptions options;
  std::string error;
  if (!arguments_are_valid(argc, argv, error) || !read_terminal_options(options, error)) {
    std::fprintf(stderr, "velmora-update: %s (see --help)\n", error.c_str());
    shutdown();
    return exit_usage;
  }

  const bool can_ask = isatty(STDIN_FILENO) && isatty(STDOUT_FILENO);
  TerminalFrontend front(options, stdin, stdout, can_ask, isatty(STDOUT_FILENO));
  set_frontend(&front);
  installer_startup(argc, argv);
  settle_destination(session().dest_dir_path);
  front.print_line("Destination: " + session().dest_dir_path);

  const int status = run_terminal_update(front);
  shutdown();
  return status;
}
