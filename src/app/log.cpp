// The log stream on Log.txt and the header that start-up writes into it: the program's version,
// the processor and memory lines of /proc, and the base folder line.
#include "app/log.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "app/version.h"
#include "files/paths.h"

namespace {

// Not open until log_open succeeds: a stream in a failed state discards every write.
std::ofstream& log_stream() {
  static std::ofstream* stream = [] {
    // Never destroyed, so lines written while the process exits cannot reach a dead stream;
    // what is buffered still reaches the file at exit().
    auto* s = new std::ofstream;
    s->setstate(std::ios::badbit);
    std::atexit([] { log_stream().flush(); });
    return s;
  }();
  return *stream;
}

// Copies every line of `path` that begins with one of `prefixes` to the log, each line read as
// the C library gives it (at most 511 characters per read). Returns false when the file cannot
// be opened.
bool copy_matching_lines(const std::string& path, std::initializer_list<const char*> prefixes) {
  FILE* file = std::fopen(path.c_str(), "r");
  if (!file) return false;
  char line[512];
  while (std::fgets(line, sizeof line, file)) {
    for (const char* prefix : prefixes) {
      if (std::strncmp(line, prefix, std::strlen(prefix)) == 0) {
        app_log() << line;
        break;
      }
    }
  }
  std::fclose(file);
  return true;
}

}  // namespace

const char* program_build_date() { return __DATE__ " " __TIME__; }

std::ostream& app_log() { return log_stream(); }

bool log_open(const std::string& path) {
  std::ofstream& stream = log_stream();
  if (stream.is_open()) stream.close();
  stream.clear();
  stream.open(path, std::ios::out | std::ios::trunc);
  if (!stream.is_open()) {
    stream.setstate(std::ios::badbit);
    return false;
  }
  stream.setf(std::ios::fixed, std::ios::floatfield);
  return true;
}

void log_flush() { log_stream().flush(); }

void log_close() {
  std::ofstream& stream = log_stream();
  if (stream.is_open()) stream.close();
  stream.setstate(std::ios::badbit);
}

void write_log_header(const std::string& cpuinfo_path, const std::string& meminfo_path) {
  std::ostream& log = app_log();
  log << "log.txt for " << program_version_string << " " << "Installer " << program_version_number
      << " compiled on " << program_build_date() << "\n\n";
  log << "This log file is generated automatically by Corvane applications and contains "
         "diagnostics about your graphics hardware, installation, and any error conditions.\n";
  log << "If you need to contact tech support or file a bug, please send us this file. NOTE: "
         "this file is rewritten every time you start ANY of your Skybase applications.\n\n";
  if (!copy_matching_lines(cpuinfo_path, {"processor", "model name", "cpu MHz"}))
    log << "Unable to read CPU information.\n";
  if (!copy_matching_lines(meminfo_path, {"MemTotal"})) log << "Unable to read mem information.\n";
  log << "\nSkybase folder:'" << base_folder_prefix() << "', case sensitive=" << 1 << "\n\n";
  log.flush();
}

void write_log_header() { write_log_header("/proc/cpuinfo", "/proc/meminfo"); }
