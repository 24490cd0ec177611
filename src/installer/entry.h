// The installer's entry: the operating-system folders, the default destination, the start-up
// sequence that both the window program and the terminal program run after the shell's start-up,
// and the choice of destination folder.
#pragma once
#include <string>

enum OsDir : int {
  os_dir_this_app = 0,      // folder of the running program
  os_dir_desktop = 1,       // HOME + "/"
  os_dir_default_apps = 2,  // HOME + "/"
  os_dir_temp = 3,          // "/tmp/"
  os_dir_prefs = 4,         // HOME + "/.velmora/", created when missing
};

// Looks up one operating-system folder. Without HOME, the desktop, default-applications and
// preferences folders leave `out` unchanged.
void os_dir(int index, std::string& out);

// `default_apps` with ten parent folders removed, then "Velmora 9/".
std::string default_destination(const std::string& default_apps);

// The installer's start-up after the shell's: logs the folders, sets the destination and the
// session's initial values, makes the private download folder, looks for the install disc,
// loads the preferences and applies "-path" or the "always ask" setting.
void installer_startup(int argc, char** argv);

// Creates this run's private download folder (mode 0700) under `parent` and makes it the
// session's temp_dir; it is removed with its contents when the program ends. Returns 0 or an
// error number.
int make_private_temp_dir(const std::string& parent);

// Opens the folder chooser on the destination and applies the choice; false when cancelled.
bool choose_destination();

// Whether dest_dir_path already holds an installation (folders named like Airfoils,
// Instructions, Output and Resources).
bool is_existing_installation();
