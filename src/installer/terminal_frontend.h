// The terminal front end: the installer core driven from a terminal or a script, without a
// window. Questions become prompts on the terminal (or fixed answers given on the command
// line), the screen's status and progress texts become printed lines and, on a terminal, a live
// progress line. Between frames it sleeps on the download sockets, so it never spins.
#pragma once
#include <cstdio>
#include <string>

#include "installer/frontend.h"

// What to do with files that were changed locally.
enum class ModifiedPolicy {
  ask,        // ask on the terminal; cancel when there is none to ask on
  keep,       // keep every modified file as it is
  overwrite,  // replace (or delete) every modified file
  cancel,     // cancel the whole update when there is one
};

struct TerminalOptions {
  bool accept_terms = false;
  ModifiedPolicy modified = ModifiedPolicy::ask;
  bool dry_run = false;
  double timeout_seconds = -1;  // below 0: keep trying to reach the servers without limit
};

// The program's exit statuses.
enum TerminalExit : int {
  exit_complete = 0,    // the destination is complete or was already current
  exit_failed = 1,      // the install failed
  exit_usage = 2,       // bad command line
  exit_cancelled = 3,   // cancelled, or the terms were declined or could not be asked
  exit_too_new = 4,     // the server list or the manifest is in a format newer than we read
  exit_no_server = 5,   // no server answered in time
};

// The usage group of the program's own options, for --help.
extern const char* const terminal_usage_group;

// Reads the program's own options from the option table. Returns false with `error` set when
// one of them is malformed.
bool read_terminal_options(TerminalOptions& options, std::string& error);

class TerminalFrontend final : public Frontend {
 public:
  // `in` answers the questions when `can_ask`; `live` redraws a progress line on `out`.
  TerminalFrontend(const TerminalOptions& options, FILE* in, FILE* out, bool can_ask, bool live);

  void progress_panel(float start, float position, float end, int state, const std::string& line1,
                      const std::string& line3) override;
  int ask_modified(const std::string& local_path, bool delete_form) override;
  bool show_terms() override;
  bool choose_folder(std::string& folder) override;
  void open_web_page(const std::string& address) override;

  // A whole line of output (after clearing the live line).
  void print_line(const std::string& text);
  // The same, unless it repeats the line printed last.
  void print_new_line(const std::string& text);
  // Replaces the live line (only when live); an empty text clears it.
  void show_live(const std::string& text);

  const TerminalOptions& options() const { return options_; }
  bool can_ask() const { return can_ask_; }

 private:
  std::string read_answer();

  TerminalOptions options_;
  FILE* in_;
  FILE* out_;
  bool can_ask_;
  bool live_;
  bool live_shown_ = false;
  std::string last_line_;
};

// Runs the update with `front` after the installer's start-up, until it is complete, failed,
// cancelled or given up. Returns the exit status.
int run_terminal_update(TerminalFrontend& front);
