// The command-line option table: every "--flag" or "--flag=value" argument, read once at start-up.
#pragma once
#include <string>
#include <vector>

// Fills the table, writes the option log lines, and handles --cmnds, -h and --help (which print
// and end the process with status 0).
void parse_options(int argc, char** argv);
bool has_option(const std::string& name);
std::string option_value(const std::string& name);
void clear_options();  // empties the table (tests, and programs that parse twice)

// The usage text printed by --help and -h. Programs with options of their own (the terminal
// updater) add a group with add_usage_group before parse_options; groups follow the shared text.
std::string usage_text();
void add_usage_group(const std::string& group);

// The key-command registry listed by --cmnds: "all" lists every command, any other value the
// commands whose name begins with it.
struct KeyCommand {
  const char* name;
  const char* description;
};
const std::vector<KeyCommand>& key_commands();
// The text --cmnds prints for `selection`, one "%-50s %s" line per command.
std::string key_command_listing(const std::string& selection);
