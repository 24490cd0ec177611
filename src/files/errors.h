// Error numbers: 0 success, a system errno value, or one of the program's own codes from 20001
// upward; and the last-error location that failing operations record.
#pragma once
#include <string>

enum : int {
  err_zip_open = 20001,
  err_zip_read = 20002,
  err_zip_create = 20003,
  err_zip_write = 20004,
  err_zip_fork_size = 20005,
  err_open_for_read = 20006,
  err_net_reconnect = 20007,
  err_net_bad_state = 20008,
  err_net_alloc = 20009,
  err_net_write_file = 20010,
  err_net_no_host = 20011,
  err_zip_fork_header = 20012,
  // Codes of our own beyond the table above are added here, each with its own text.
  err_archive_outside = 20013,  // an archive entry would land outside its output folder
  err_archive_damaged = 20014,  // an archive entry's data failed its check or could not be decoded
  err_release_mismatch = 20015,  // an installed file's signature differs from the release's
};

// The sentence shown in alerts for an error number.
std::string error_text(int code);

// Where the latest failure was recorded: overwritten by each failure, never cleared.
struct LastError {
  const char* file = "";
  int line = 0;
};
LastError& last_error();
void note_failure(const char* file, int line);
