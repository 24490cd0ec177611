// Error numbers turned into the sentences shown in alerts, and the last-error location that
// failing file operations record for the diagnostics of the archive code.
#include "files/errors.h"

#include <cstdio>

namespace {

struct ErrorSentence {
  int code;
  const char* text;
};

// Looked up by exact code. The system codes are Linux errno values; codes missing here (15, 26,
// 40 to 83, and anything else) fall through to the "Unknown error" sentence.
constexpr ErrorSentence error_sentences[] = {
    {err_zip_open, "We were unable to open a zip file. It may be missing or damaged"},
    {err_zip_read, "We were unable to read from a zip file. It may be missing or damaged"},
    {err_zip_create, "We were unable to create a zip file"},
    {err_zip_write, "We were unable to write to a zip file. It may be missing or damaged"},
    {err_zip_fork_size,
     "We cannot compress a zip file because its source file resource fork is more than 2 GB. "
     "The source file is probably damaged"},
    {err_open_for_read, "We could not open a file to read from it"},
    {err_net_reconnect, "We were unable to connct to the network due to an internal reconnect error"},
    {err_net_bad_state, "We wre unable to connect to the network due to a bad state error"},
    {err_net_alloc, "We could not allocate a connection to the network"},
    {err_net_write_file, "We could not write the incoming file from the web to disk"},
    {err_net_no_host, "We could not find the server over the network"},
    {err_zip_fork_header,
     "Part of the downloaded zip file is corrupted (the resource fork header is bad)"},
    {err_archive_outside,
     "An archive tried to place a file outside its folder. The download may be damaged or unsafe"},
    {err_archive_damaged, "A file inside an archive is damaged and could not be extracted"},
    {err_release_mismatch,
     "The extracted file does not match the file of this release. The download may be damaged"},
    {1, "Operation not permitted. Perhaps you do not have access to a directory or file system"},
    {2, "No such file or directory"},
    {3, "No such process"},
    {4, "Interrupted system call"},
    {5, "Input/output error"},
    {6, "Device not configured"},
    {7, "Argument list too long"},
    {8, "Exec format error"},
    {9, "Bad file descriptor"},
    {10, "No child processes"},
    {11, "Resource temporarily unavailable"},
    {12, "Out of memory"},
    {13, "Permission denied. Perhaps you do not have access to a directory or file system"},
    {14, "Bad address"},
    {16, "Device busy"},
    {17, "File exists"},
    {18, "Cross-device link"},
    {19, "Operation not supported by device"},
    {20, "Not a directory"},
    {21, "Is a directory"},
    {22, "Invalid argument"},
    {23, "Too many open files in system"},
    {24, "Too many open files"},
    {25, "Inappropriate ioctl for device"},
    {27, "File too large"},
    {28, "No space left on device. Perhaps your hard drive is full"},
    {29, "Illegal seek"},
    {30, "The destination file system is read-only"},
    {31, "Too many links"},
    {32, "Broken pipe"},
    {33, "Numerical argument out of domain"},
    {34, "Result too large"},
    {35, "Resource deadlock avoided"},
    {36, "File name too long"},
    {37, "No locks available"},
    {38, "Function not implemented"},
    {39, "Directory not empty"},
    {84, "Wide character encoding error"},
};

// Unknown codes are formatted here; main thread only, like the alerts that show the text.
char unknown_error_buffer[64];

}  // namespace

std::string error_text(int code) {
  for (const ErrorSentence& sentence : error_sentences) {
    if (sentence.code == code) return sentence.text;
  }
  std::snprintf(unknown_error_buffer, sizeof unknown_error_buffer, "Unknown error occurred (%d)",
                code);
  return unknown_error_buffer;
}

LastError& last_error() {
  static LastError the_last_error;
  return the_last_error;
}

void note_failure(const char* file, int line) {
  LastError& record = last_error();
  record.file = file;
  record.line = line;
}
