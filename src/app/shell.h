// The shell's process-wide state that the core reads and writes: the quit flag, and start-up and
// shutdown of the parts that need no display.
#pragma once
#include <cstdint>
#include <functional>
#include <string>

constexpr int random_table_size = 10000;
constexpr int trig_table_size = 361;  // one entry per whole degree, 0 to 360

// Where users are sent for help in messages that mention the maker.
constexpr const char* maker_support_address = "support@corvane.example";

struct ShellState {
  int quit_requested = 0;      // set to end the frame loop
  std::string program_folder;  // folder of the running program, ending in "/"
  float random_table[random_table_size] = {};  // fixed pseudo-random values in [0, 1)
  float sine[trig_table_size] = {};            // sine of each whole degree
  float cosine[trig_table_size] = {};          // cosine of each whole degree
};
ShellState& shell();

// Start-up steps that need no display: SIGPIPE, program folder, log and its header, random
// numbers, trigonometric tables, command line, thread system.
void app_startup_core(int argc, char** argv);
// The display-free end of the shutdown: preferences (full, unless --fps_test), workers (full),
// log. The window's part is done by the gui before it calls this.
void app_shutdown_core(int full);

// The folder of the running program, ending in "/", from the /proc link of this process; "./"
// (after a warning on standard output) when the link cannot be read or is too long.
void find_program_folder(std::string& out);
// The same lookup on any symbolic link, so the warnings can be shown without breaking /proc.
void find_program_folder_from(const char* link_path, std::string& out);

// Fills the random table from seed 1, then reseeds the C library generator from
// `time_of_day_microseconds` (taken modulo 2^32) and discards (seed mod 1000) values.
void seed_random_numbers(uint64_t time_of_day_microseconds);
void fill_trig_tables();

// Clean-up that must happen however the run ends (temporary files of this run): run by
// app_shutdown_core in both its forms, in the order added, before the log is closed.
void add_exit_cleanup(std::function<void()> cleanup);
