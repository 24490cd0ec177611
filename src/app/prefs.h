// The preferences file: a handful of installer settings kept between runs in
// HOME/.velmora/Velmora Installer.prf, read once at start and written once at a normal quit.
// Any key can be overridden for the run with --pref:<key>=<value>.
#pragma once
#include <map>
#include <string>

class MemFile;

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

// Every "key value" setting line of an opened preferences file whose header is acceptable (an
// empty map otherwise): blanks before the key and between key and value are skipped, the value
// runs to the line end, and a key given twice keeps its last value.
std::map<std::string, std::string> read_prefs_settings(MemFile& file);

// The number in a setting's value by the C library's atoi rule (blanks, a sign, the digits that
// follow; 0 without digits), held to the range of an int instead of overflowing.
int prefs_int_value(const std::string& text);
