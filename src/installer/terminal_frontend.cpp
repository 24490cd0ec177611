// The terminal front end and its run loop.
//
// [SECTION] Options
// [SECTION] Questions and output
// [SECTION] The plan as text
// [SECTION] Run loop
#include "installer/terminal_frontend.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "app/clock.h"
#include "app/options.h"
#include "app/shell.h"
#include "installer/manifest.h"
#include "installer/phases.h"
#include "installer/session.h"
#include "installer/streams.h"
#include "net/http.h"

// ---- [SECTION] Options -------------------------------------------------------------------------

const char* const terminal_usage_group =
    "VELMORA-UPDATE\n"
    "velmora-update installs or updates Velmora 9 from the update servers without a window, for\n"
    "terminals, scripts and machines without a display:\n"
    "    velmora-update [-path FOLDER] [options...]\n"
    "It reads the installer's preferences (HOME/.velmora/Velmora Installer.prf) but never writes\n"
    "them. The destination is FOLDER, else the preferences' destination, else /Velmora 9/.\n"
    "\n"
    "  -path FOLDER               Install into, or update, FOLDER (must come first).\n"
    "  --pref:KEY=VALUE           Use VALUE for a preference for this run, for example\n"
    "                             --pref:_proxy_host=127.0.0.1 --pref:_proxy_port_int=8080\n"
    "                             --pref:_stream_count=4 --pref:_rename_folder=0.\n"
    "  --update_host=NAME         Ask NAME instead of the built-in update host for the list of\n"
    "                             servers.\n"
    "  --accept-terms             Accept the terms of use. Otherwise they are shown and asked\n"
    "                             for on the terminal; without a terminal nothing is changed.\n"
    "  --modified=ask|keep|overwrite|cancel\n"
    "                             What to do with files you changed locally: ask on the\n"
    "                             terminal (the default; cancel without a terminal), keep them,\n"
    "                             replace them, or cancel the update without changing anything.\n"
    "  --dry-run                  Stop after examining the destination and print the plan:\n"
    "                             each file's action and the totals.\n"
    "  --timeout=SECONDS          Give up when no server answered within SECONDS (and when\n"
    "                             downloads keep failing for that long). Without it the program\n"
    "                             keeps trying, like the window does.\n"
    "\n"
    "Exit status: 0 the destination is complete or already current, 1 the install failed,\n"
    "2 bad usage, 3 cancelled or the terms declined, 4 the release is in a format newer than\n"
    "this program reads, 5 no server answered in time.\n";

bool read_terminal_options(TerminalOptions& options, std::string& error) {
  options.accept_terms = has_option("--accept-terms");
  options.dry_run = has_option("--dry-run");
  if (has_option("--modified")) {
    const std::string value = option_value("--modified");
    if (value == "ask")
      options.modified = ModifiedPolicy::ask;
    else if (value == "keep")
      options.modified = ModifiedPolicy::keep;
    else if (value == "overwrite")
      options.modified = ModifiedPolicy::overwrite;
    else if (value == "cancel")
      options.modified = ModifiedPolicy::cancel;
    else {
      error = "--modified takes ask, keep, overwrite or cancel, not \"" + value + "\"";
      return false;
    }
  }
  if (has_option("--timeout")) {
    const std::string value = option_value("--timeout");
    char* end = nullptr;
    const double seconds = std::strtod(value.c_str(), &end);
    if (value.empty() || *end != '\0' || !(seconds >= 0) || !std::isfinite(seconds)) {
      error = "--timeout takes a number of seconds, not \"" + value + "\"";
      return false;
    }
    options.timeout_seconds = seconds;
  }
  return true;
}

// ---- [SECTION] Questions and output ------------------------------------------------------------

namespace {

const char* const terms_text =
    "TERMS OF USE\n"
    "Velmora 9 is licensed, not sold. You may install it on computers you use and keep it\n"
    "up to date with this program. You may not sell, rent or redistribute the program or its\n"
    "data, or remove its notices. It comes without any warranty: use it at your own risk, and\n"
    "never for real-world navigation. The update servers may be unavailable at any time.\n";

int terminal_width(FILE* out) {
  winsize size{};
  if (ioctl(fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 10) return size.ws_col;
  return 80;
}

}  // namespace

TerminalFrontend::TerminalFrontend(const TerminalOptions& options, FILE* in, FILE* out,
                                   bool can_ask, bool live)
    : options_(options), in_(in), out_(out), can_ask_(can_ask), live_(live) {}

void TerminalFrontend::print_line(const std::string& text) {
  show_live("");
  std::fprintf(out_, "%s\n", text.c_str());
  std::fflush(out_);
  last_line_ = text;
}

void TerminalFrontend::print_new_line(const std::string& text) {
  if (text != last_line_) print_line(text);
}

void TerminalFrontend::show_live(const std::string& text) {
  if (!live_ || (text.empty() && !live_shown_)) return;
  std::string shown = text;
  const size_t width = static_cast<size_t>(terminal_width(out_) - 1);
  if (shown.size() > width) shown.resize(width);
  std::fprintf(out_, "\r\033[K%s", shown.c_str());
  std::fflush(out_);
  live_shown_ = !text.empty();
}

void TerminalFrontend::progress_panel(float start, float position, float end, int,
                                      const std::string& line1, const std::string& line3) {
  if (!live_) return;
  const float span = end - start;
  const int percent = span > 0 ? static_cast<int>((position - start) * 100 / span) : 0;
  show_live(line1 + " " + std::to_string(percent) + "% " + line3);
}

std::string TerminalFrontend::read_answer() {
  char line[256];
  if (!std::fgets(line, sizeof line, in_)) return "";
  std::string answer = line;
  while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r' || answer.back() == ' '))
    answer.pop_back();
  return answer;
}

int TerminalFrontend::ask_modified(const std::string& local_path, bool delete_form) {
  switch (options_.modified) {
    case ModifiedPolicy::keep:
      print_line("Keeping the locally changed file " + local_path);
      return 2;
    case ModifiedPolicy::overwrite:
      print_line(std::string(delete_form ? "Deleting" : "Replacing") +
                 " the locally changed file " + local_path);
      return 1;
    case ModifiedPolicy::cancel:
      return 3;
    case ModifiedPolicy::ask:
      break;
  }
  if (!can_ask_) return 3;
  const char* verb = delete_form ? "DELETE" : "OVERWRITE";
  print_line(delete_form ? "I am about to DELETE:" : "I am about to install:");
  print_line(local_path);
  print_line(delete_form
                 ? "because we no longer use this file, but it appears you have modified it. "
                   "What to do?"
                 : "but it appears you have modified this file. What to do?");
  print_line(std::string("  1) ") + verb + " THE OLD FILE");
  print_line("  2) KEEP THE OLD FILE");
  print_line("  3) CANCEL THE WHOLE INSTALLATION!");
  print_line(std::string("  4) ") + verb + " EVERY OLD FILE IN THIS DIRECTORY");
  print_line("  5) KEEP EVERY OLD FILE IN THIS DIRECTORY");
  for (;;) {
    std::fprintf(out_, "Answer 1 to 5: ");
    std::fflush(out_);
    const std::string answer = read_answer();
    if (std::feof(in_) && answer.empty()) return 3;
    if (answer.size() == 1 && answer[0] >= '1' && answer[0] <= '5') return answer[0] - '0';
  }
}

bool TerminalFrontend::show_terms() {
  if (options_.accept_terms) return true;
  if (!can_ask_) return false;
  print_line(terms_text);
  std::fprintf(out_, "Do you accept these terms? [y/N] ");
  std::fflush(out_);
  const std::string answer = read_answer();
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "YES";
}

bool TerminalFrontend::choose_folder(std::string&) {
  // There is no chooser here: the destination comes from -path or the preferences.
  return false;
}

void TerminalFrontend::open_web_page(const std::string& address) {
  print_line("See " + address);
}

// ---- [SECTION] The plan as text ----------------------------------------------------------------

namespace {

bool known_signature(const PathGroup& group, const std::string& signature) {
  for (const ManifestEntry& version : group.entries)
    if (version.sig_want == signature) return true;
  return false;
}

// What an Install would do with one item, before any question is asked.
const char* planned_action(const PathGroup& group, bool& modified) {
  const ManifestEntry& entry = group.current();
  modified = false;
  if (!entry_applies(entry, session().platform_code)) return "other platform";
  const bool gone = entry.sig_want == "GONE";
  if (entry.sig_have == "NONE") return gone ? "absent" : "fetch";
  if (entry.sig_have == entry.sig_want) return "current";
  if (known_signature(group, entry.sig_have)) return gone ? "delete" : "fetch";
  modified = true;
  return gone ? "modified, delete?" : "modified, replace?";
}

// The locally changed files of the plan.
int count_modified() {
  int modified_files = 0;
  bool modified = false;
  for (const PathGroup& group : manifest().groups) {
    planned_action(group, modified);
    modified_files += modified;
  }
  return modified_files;
}

void print_plan(TerminalFrontend& front) {
  const InstallerSession& s = session();
  int fetch = 0, remove = 0, modified_files = 0, current = 0;
  for (const PathGroup& group : manifest().groups) {
    bool modified = false;
    const std::string action = planned_action(group, modified);
    char line[64];
    std::snprintf(line, sizeof line, "%-20s", action.c_str());
    front.print_line(line + group.current().path);
    fetch += action == "fetch";
    remove += action == "delete";
    current += action == "current";
    modified_files += modified;
  }
  front.print_line("Plan for " + s.dest_dir_path + ": " + std::to_string(fetch) + " to fetch, " +
                   std::to_string(remove) + " to delete, " + std::to_string(modified_files) +
                   " changed locally, " + std::to_string(current) + " current; " +
                   size_text(s.download_kb_total) + " to download, " +
                   size_text(s.install_kb_total) + " to install.");
}

void print_message_lines(TerminalFrontend& front) {
  ScreenLine lines[3];
  message_lines(lines);
  for (const ScreenLine& line : lines)
    if (!line.text.empty()) front.print_new_line(line.text);
}

double seconds_since(uint64_t start) { return (microsecond_clock() - start) * 1e-6; }

// The status line without its numbers, so a percentage moving on is not a new status.
std::string status_kind(const std::string& text) {
  std::string kind;
  for (char c : text)
    if (c < '0' || c > '9') kind += c;
  return kind;
}

// Before the plan is carried out: the dry run, nothing to do, the terms, and the locally
// changed files that the chosen answer would cancel on. Returns -1 to go on with the install.
int before_install(TerminalFrontend& front) {
  const InstallerSession& s = session();
  const TerminalOptions& options = front.options();
  if (options.dry_run) {
    print_plan(front);
    return exit_complete;
  }
  print_message_lines(front);
  if (s.install_kb_total <= 0) return exit_complete;

  const bool cancels_on_modified = options.modified == ModifiedPolicy::cancel ||
                                   (options.modified == ModifiedPolicy::ask && !front.can_ask());
  if (cancels_on_modified && count_modified() > 0) {
    for (const PathGroup& group : manifest().groups) {
      bool modified = false;
      planned_action(group, modified);
      if (modified) front.print_line("Changed locally: " + local_path(group.current()));
    }
    front.print_line(options.modified == ModifiedPolicy::cancel
                         ? "Cancelled: these files were changed locally (see --modified)."
                         : "Cancelled: these files were changed locally and there is no "
                           "terminal to ask on (see --modified).");
    return exit_cancelled;
  }

  // The terms are settled before Install, so declining them changes nothing on disk.
  if (!show_terms()) {
    front.print_line(front.can_ask() ? "The terms were declined; nothing was changed."
                                     : "The terms of use must be accepted: run with "
                                       "--accept-terms, or from a terminal. Nothing was changed.");
    return exit_cancelled;
  }
  return -1;
}

}  // namespace

// ---- [SECTION] Run loop ------------------------------------------------------------------------

int run_terminal_update(TerminalFrontend& front) {
  InstallerSession& s = session();
  const TerminalOptions& options = front.options();
  const uint64_t started = microsecond_clock();
  std::string shown_status;
  bool install_started = false;
  int shown_trouble = 0;
  uint64_t trouble_since = 0;
  int shown_tenth = -1;

  for (;;) {
    clock_frame(0);
    installer_logic_frame();

    const ScreenLine status = status_line();
    if (status_kind(status.text) != shown_status) {
      shown_status = status_kind(status.text);
      front.print_line(status.text);
    }
    if (shell().quit_requested) return exit_too_new;
    if (s.server_count == 0) return exit_no_server;

    if (!install_started) {
      if (s.phase == phase_planned) {
        const int early = before_install(front);
        if (early >= 0) return early;
        start_install();
        if (s.run_state != run_installing) {
          front.print_line("The update was cancelled; nothing was downloaded.");
          return exit_cancelled;
        }
        install_started = true;
        continue;
      }
      if (options.timeout_seconds >= 0 && seconds_since(started) > options.timeout_seconds) {
        front.print_line("No server answered within " + std::to_string(options.timeout_seconds) +
                         " seconds; giving up.");
        return exit_no_server;
      }
      http_wait(100);
      continue;
    }

    if (s.run_state == run_ended) {
      print_message_lines(front);
      return s.install_error ? exit_failed : exit_complete;
    }

    if (s.server_trouble && !shown_trouble) {
      trouble_since = microsecond_clock();
      print_message_lines(front);
    }
    shown_trouble = s.server_trouble;
    if (s.server_trouble && options.timeout_seconds >= 0 &&
        seconds_since(trouble_since) > options.timeout_seconds) {
      quit_installer();
      front.print_line("No download succeeded within " +
                       std::to_string(options.timeout_seconds) + " seconds; giving up.");
      return exit_no_server;
    }

    const int tenth = static_cast<int>(s.shown_fraction * 10);
    if (tenth != shown_tenth) {
      shown_tenth = tenth;
      front.print_line(progress_overall_line());
    } else if (tick_200ms()) {
      ScreenLine lines[3];
      message_lines(lines);
      front.show_live(lines[1].text + (lines[2].text.empty() ? "" : " " + lines[2].text));
    }
  }
}
