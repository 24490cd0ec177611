// Safe writing of archive entries under an output folder, shared by the zip and 7z expansions.
//
// Every entry name is checked before anything is written: absolute names, ".." components and
// paths that pass through a symbolic link below the output folder are refused, and folders are
// walked with descriptors opened without following links, so nothing lands outside the folder.
// A regular file is written in chunks to a nameless temporary file beside its target and only
// put in place, by a rename over the target, once its content is complete and checked; a failed
// or interrupted entry leaves the old target as it was and nothing temporary behind.
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <ctime>
#include <memory>
#include <string>

#include "files/archive_options.h"

// The output folder of one expansion, held open for the entries' walks.
class ArchiveOutput {
 public:
  ArchiveOutput() = default;
  ~ArchiveOutput();
  ArchiveOutput(const ArchiveOutput&) = delete;
  ArchiveOutput& operator=(const ArchiveOutput&) = delete;

  // `folder` is the full output folder path, ending in "/". Returns 0 or errno.
  int open(const std::string& folder);
  const std::string& folder() const { return folder_; }

  // Creates the folder `name` (relative, may end in "/"); an existing folder is success.
  int make_folder(const std::string& name);
  // Puts a symbolic link with the target text `link_text` at `name`, replacing what is there.
  int make_link(const std::string& name, const std::string& link_text);

 private:
  friend class EntryFile;
  // Opens the folder that holds the last component of `name`, walking each component without
  // following links, and stores that last component in `leaf` (empty when `name` has none).
  // Returns 0, errno, 36 (path too long) or err_archive_outside.
  int open_parent(const std::string& name, int& parent, std::string& leaf);

  std::string folder_;
  int descriptor_ = -1;
};

class DigestPipe;

// One regular file being written. Abandoned (its temporary file removed) unless committed.
class EntryFile {
 public:
  EntryFile();
  ~EntryFile();
  EntryFile(const EntryFile&) = delete;
  EntryFile& operator=(const EntryFile&) = delete;

  // Checks `name`, opens its folder and creates the temporary file. `want_signature` turns on
  // the MD5 of the content written. Returns 0, errno or err_archive_outside.
  int begin(ArchiveOutput& output, const std::string& name, bool want_signature);
  // Appends `size` bytes. Returns 0 or errno (28 for a full disk).
  int write(const void* data, size_t size);
  // Applies permission bits (mode & 0777) to the file.
  int set_mode(mode_t mode);
  // Sets access and modification time. Returns 0 or -1.
  int set_time(time_t when);
  // The MD5 of what was written, as 32 lowercase hex digits (empty without want_signature).
  const std::string& finish_signature();
  // Renames the finished file over its target. Returns 0 or errno.
  int commit();
  // Removes the temporary file and closes everything; the target is untouched.
  void abandon();

  const std::string& target() const { return target_; }

 private:
  int parent_ = -1;
  int descriptor_ = -1;
  std::string leaf_;
  std::string target_;
  std::string temp_name_;  // set when the temporary file has a name in the folder
  void* digest_ = nullptr;  // EVP_MD_CTX while a signature is being computed
  std::unique_ptr<DigestPipe> pipe_;  // feeds digest_ from a thread of its own
  std::string signature_;
};

// Runs the caller's accept hook and records the file in the caller's list; the common last step
// of both expansions for a complete, checked regular file. Returns 0 or the error that stops.
int finish_entry_file(EntryFile& file, const ExpandOptions& options);

// Whether the caller wants file signatures computed.
inline bool wants_signature(const ExpandOptions& options) {
  return options.written != nullptr || static_cast<bool>(options.accept);
}

// The size of the chunks that entries are decoded and written in.
constexpr size_t archive_chunk_size = 256 * 1024;
