// The log stream: one process-wide text stream on Log.txt in the program's folder, rewritten at
// every start. Main thread only; worker threads report through the alert queues instead.
#pragma once
#include <ostream>
#include <string>

// The stream every part of the program writes whole lines to. While the log is not open (or the
// file could not be opened) it is in a failed state and writes are discarded.
std::ostream& app_log();

// Opens `path` for writing with truncation and sets fixed notation. Returns false (silently) when
// the file cannot be opened.
bool log_open(const std::string& path);
void log_flush();
void log_close();

// The header written at start-up: version lines, processor and memory lines from /proc, the
// Skybase folder line; then a flush.
void write_log_header();
// The same header read from other processor and memory files (tests use fixtures).
void write_log_header(const std::string& cpuinfo_path, const std::string& meminfo_path);
