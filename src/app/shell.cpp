// The display-free part of start-up and shutdown: everything the program needs before a window
// exists (signals, its own folder, the log, random numbers, lookup tables, the command line, the
// thread system) and the matching end (preferences, workers, clean-up, the log).
#include "app/shell.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/clock.h"
#include "app/log.h"
#include "app/options.h"
#include "app/prefs.h"
#include "app/threads.h"
#include "files/paths.h"

namespace {

constexpr size_t link_buffer_size = 499;

std::vector<std::function<void()>>& exit_cleanups() {
  static std::vector<std::function<void()>> cleanups;
  return cleanups;
}

void warn_too_deep() {
  std::printf(
      "WARNING: Velmora is stored too deeply in the file system, so I\n"
      "could not find the path with a simple readlink! I will assume\n"
      "that you are running Velmora from the directory in which it is\n"
      "stored; if you're not, then there will be errors. To get rid of\n"
      "this message, move Velmora someplace where a readlink with a buflen\n"
      "of strDIM-1 can find it. If you need help, write to %s.\n",
      maker_support_address);
}

void warn_no_link(int error) {
  std::printf(
      "WARNING: I could not find myself with a readlink! This might be\n"
      "because /proc isn't mounted. Avoiding entirely the issue of the\n"
      "stupidity of running something like Velmora without /proc mounted,\n"
      "I'll just say that that won't work. I will assume that you are\n"
      "running Velmora from the directory in which it is stored; if\n"
      "you're not, then there will be errors. Of course, it might've been\n"
      "something else, so I'll let perror do some talking for me. If you\n"
      "need help, write to %s.\n",
      maker_support_address);
  std::fflush(stdout);  // keep the warning ahead of perror's text on a shared terminal
  errno = error;
  std::perror("readlink");
}

// The log lives next to the program; its path must use "/" only.
std::string log_path_in(std::string folder) {
  for (char& c : folder)
    if (c == '\\' || c == ':') c = '/';
  return folder + "Log.txt";
}

}  // namespace

ShellState& shell() {
  static ShellState state;
  return state;
}

void find_program_folder_from(const char* link_path, std::string& out) {
  char target[link_buffer_size];
  const ssize_t length = readlink(link_path, target, link_buffer_size);
  if (length < 0) {
    warn_no_link(errno);
    out = "./";
    return;
  }
  if (static_cast<size_t>(length) >= link_buffer_size) {
    warn_too_deep();
    out = "./";
    return;
  }
  const std::string path(target, static_cast<size_t>(length));
  const size_t slash = path.rfind('/');
  out = slash == std::string::npos ? "./" : path.substr(0, slash + 1);
}

void find_program_folder(std::string& out) {
  char link_path[64];
  std::snprintf(link_path, sizeof link_path, "/proc/%d/exe", static_cast<int>(getpid()));
  find_program_folder_from(link_path, out);
}

void seed_random_numbers(uint64_t time_of_day_microseconds) {
  ShellState& state = shell();
  // The table is the same in every run, so anything drawn from it looks the same every time.
  std::srand(1);
  for (float& value : state.random_table)
    value = static_cast<float>(static_cast<double>(std::rand()) * 4.656147e-10);
  // Everything else drawn with rand() differs from run to run.
  const auto seed = static_cast<uint32_t>(time_of_day_microseconds);
  std::srand(seed);
  for (uint32_t i = 0; i < seed % 1000; ++i) std::rand();
}

void fill_trig_tables() {
  ShellState& state = shell();
  for (int degree = 0; degree < trig_table_size; ++degree) {
    state.sine[degree] = static_cast<float>(std::sin(degree * 0.017453294));
    state.cosine[degree] = static_cast<float>(std::cos(degree * 0.017453294));
  }
}

void add_exit_cleanup(std::function<void()> cleanup) {
  exit_cleanups().push_back(std::move(cleanup));
}

void app_startup_core(int argc, char** argv) {
  // Writing to a connection the peer closed must return an error, not end the program.
  signal(SIGPIPE, SIG_IGN);

  ShellState& state = shell();
  find_program_folder(state.program_folder);
  case_sensitive_fs() = 1;
  base_folder_prefix().clear();

  // The log's folder is looked up afresh, exactly as the installer's folder lookup does later.
  std::string log_folder;
  find_program_folder(log_folder);
  log_open(log_path_in(log_folder));

  seed_random_numbers(time_of_day_microseconds());
  fill_trig_tables();
  write_log_header();
  parse_options(argc, argv);
  init_thread_system();
}

void app_shutdown_core(int full) {
  if (full) {
    if (!has_option("--fps_test")) prefs_io(prefs_write);
    if (thread_system_ready()) stop_workers();
  }
  // Clean-up may run while other clean-ups fail; take the list so each runs once.
  std::vector<std::function<void()>> cleanups;
  cleanups.swap(exit_cleanups());
  for (auto& cleanup : cleanups) cleanup();
  log_close();
}
