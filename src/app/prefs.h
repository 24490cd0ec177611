// The preferences file: a handful of installer settings kept between runs in
// HOME/.velmora/Velmora Installer.prf, read once at start and written once at a normal quit.
// Any key can be overridden for the run with --pref:<key>=<value>.
#pragma once
#include <string>

enum PrefsDirection : int {
  prefs_read = 0,
  prefs_write = 1,
};

// Reads the file into the bound session fields, or writes them out, walking the same keys in the
// same order. Without HOME there is no preferences folder: only the command line's overrides
// are read, and nothing is written.
void prefs_io(int direction);

// The file's path, or "" when HOME is not set. Creates the preferences folder when missing.
std::string prefs_file_path();
