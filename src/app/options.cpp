// The option table, filled once from the command line and read by everyone afterwards, plus the
// two options that act at once: the usage text (--help, -h) and the key-command list (--cmnds).
#include "app/options.h"

#include <cstdio>
#include <cstdlib>
#include <map>

#include "app/log.h"

namespace {

// Ordered by name, compared bytewise.
std::map<std::string, std::string>& option_table() {
  static std::map<std::string, std::string> table;
  return table;
}

std::vector<std::string>& extra_usage_groups() {
  static std::vector<std::string> groups;
  return groups;
}

const char* const shared_usage_text =
    "Usage: Velmora [options...]\n"
    "\n"
    "Options are given as --flag or as --flag=value. The OpenGL options below apply to every\n"
    "related application that draws with OpenGL (the simulator, its tools and this installer);\n"
    "the frame-rate test is only run by the simulator itself. Options a program does not use are\n"
    "accepted and ignored, so one command line can be used for all of them.\n"
    "\n"
    "To give options, start the program from a terminal, for example:\n"
    "    ./velmora-installer --no_vbos --no_glsl\n"
    "or add them to the command of a desktop launcher. Every option given is written to the log\n"
    "file, so a support request shows how the program was started.\n"
    "\n"
    "  --help, -h                 Print this message and quit.\n"
    "  --no_sound                 Start without opening the sound device; use this when\n"
    "                             another program holds it or the sound driver hangs.\n"
    "\n"
    "OPTIONS TO DISABLE HARDWARE ACCELERATION\n"
    "Use these when the graphics driver misbehaves: each one switches off a single feature of the\n"
    "card, so you can find the one that causes trouble. Try them one at a time; if the picture\n"
    "is right with an option given, tell us which one and which card and driver you have.\n"
    "\n"
    "  --no_vbos                  Do not keep geometry in vertex buffer objects (and do not use\n"
    "                             pixel buffer objects either).\n"
    "  --no_fbos                  Do not draw into frame buffer objects; render-to-texture work\n"
    "                             is done the slower way.\n"
    "  --no_pbos                  Do not move pixels through pixel buffer objects.\n"
    "  --no_sprites               Do not draw lights with point sprites.\n"
    "  --no_pixel_counters        Do not ask the card how many pixels an object covered\n"
    "                             (occlusion queries).\n"
    "  --no_aniso_filtering       Do not use anisotropic texture filtering.\n"
    "  --no_hw_mipmap             Build texture mipmaps in software instead of on the card.\n"
    "  --no_fshaders              Do not use fragment (pixel) programs.\n"
    "  --no_vshaders              Do not use vertex programs.\n"
    "  --no_glsl                  Do not use shaders written in the OpenGL shading language.\n"
    "  --no_threaded_ogl          Do all OpenGL work on the main thread.\n"
    "\n"
    "OPTIONS TO ENABLE INCOMPATIBLE HARDWARE ACCELERATION\n"
    "Some drivers claim features that are known to fail and are therefore left off. These options\n"
    "switch them on anyway; use them only if you know your driver has been fixed. If the program\n"
    "crashes or draws garbage with one of them, leave it off.\n"
    "\n"
    "  --use_vbos                 Use vertex buffer objects even where they are known to fail.\n"
    "  --use_sprites              Use point sprites even where they are known to fail.\n"
    "  --use_fshaders             Use fragment programs even where they are known to fail.\n"
    "  --use_vshaders             Use vertex programs even where they are known to fail.\n"
    "  --use_glsl                 Use the OpenGL shading language even where it is known to\n"
    "                             fail.\n"
    "  --force_run                Start even on graphics hardware that does not meet the system\n"
    "                             requirements; the warning is shown and the program goes on.\n"
    "\n"
    "FRAMERATE TEST\n"
    "The simulator can fly a fixed test and report the frame rate it reached. During the test no\n"
    "dialog is shown: messages go to the log file, a serious error ends the program with an\n"
    "error status, and settings are not saved at quit, so tests can be run unattended.\n"
    "\n"
    "  --fps_test=n               Run frame-rate test number n and write the result to the log.\n"
    "  --require_fps=n            With --fps_test, end with an error status when the measured\n"
    "                             frame rate is below n frames per second.\n";

}  // namespace

std::string usage_text() {
  std::string text = shared_usage_text;
  for (const std::string& group : extra_usage_groups()) {
    text += "\n";
    text += group;
  }
  return text;
}

void add_usage_group(const std::string& group) { extra_usage_groups().push_back(group); }

const std::vector<KeyCommand>& key_commands() {
  // The commands a key can be bound to. The installer binds none of them; the list tells users
  // and support which names exist.
  static const std::vector<KeyCommand> commands = {
      {"velmora/installer/quit", "Quit the installer."},
      {"velmora/installer/install", "Start installing or updating the chosen folder."},
      {"velmora/installer/choose_folder", "Choose the folder to install into."},
      {"velmora/installer/next_server", "Fetch from the next download server in the list."},
      {"velmora/view/toggle_log_actions", "Write every file action to the log, or stop doing so."},
      {"velmora/view/screenshot", "Save a picture of the window."},
  };
  return commands;
}

std::string key_command_listing(const std::string& selection) {
  std::string listing;
  char line[512];
  for (const KeyCommand& command : key_commands()) {
    const std::string name = command.name;
    if (selection != "all" && name.compare(0, selection.size(), selection) != 0) continue;
    std::snprintf(line, sizeof line, "%-50s %s\n", command.name, command.description);
    listing += line;
  }
  return listing;
}

void parse_options(int argc, char** argv) {
  auto& table = option_table();
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i] ? argv[i] : "";
    const size_t equals = argument.find('=');
    const std::string name = argument.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : argument.substr(equals + 1);
    if (table.count(name))
      app_log() << "WARNING: command line option " << name << "=" << value << "included twice.\n";
    table[name] = value;
    app_log() << "     '" << name;
    if (!value.empty()) app_log() << "'='" << value;
    app_log() << "'\n";
  }

  if (has_option("--cmnds")) {
    std::fputs(key_command_listing(option_value("--cmnds")).c_str(), stdout);
    log_flush();
    std::exit(0);
  }
  if (has_option("-h") || has_option("--help")) {
    std::fputs(usage_text().c_str(), stdout);
    std::fputs("\n", stdout);
    log_flush();
    std::exit(0);
  }
}

bool has_option(const std::string& name) { return option_table().count(name) != 0; }

std::string option_value(const std::string& name) {
  auto& table = option_table();
  auto found = table.find(name);
  return found == table.end() ? std::string() : found->second;
}

void clear_options() { option_table().clear(); }
