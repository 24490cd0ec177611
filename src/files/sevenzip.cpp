// 7z expansion on libarchive, restricted to the 7z format: every file of the archive is decoded
// in chunks and written under the output folder. Any complaint the decoder makes about an
// entry's data, including its CRC check (which libarchive reports only as a warning), fails
// the entry, so a damaged file never replaces a good one.
#include "files/sevenzip.h"

#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "files/archive_output.h"
#include "files/errors.h"
#include "files/paths.h"

namespace {

constexpr const char* source_tag = "io_utils";
constexpr size_t read_block_size = 128 * 1024;

// The result for a failure that libarchive reported.
int decoder_failure(struct archive* reader, int line) {
  note_failure(source_tag, line);
  return archive_errno(reader) == ENOMEM ? ENOMEM : err_archive_damaged;
}

std::string entry_name(struct archive_entry* entry) {
  const char* name = archive_entry_pathname_utf8(entry);
  if (name == nullptr) name = archive_entry_pathname(entry);
  return name != nullptr ? name : "";
}

// Decodes the current entry's data into `file`; a write failure is the program's short-write
// code.
int copy_data(struct archive* reader, EntryFile& file) {
  static const char zeros[4096] = {};
  int64_t written = 0;
  for (;;) {
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    int status = archive_read_data_block(reader, &block, &size, &offset);
    if (status == ARCHIVE_EOF) return 0;
    if (status != ARCHIVE_OK) return decoder_failure(reader, __LINE__);
    // Holes between blocks are zeros.
    while (written < offset) {
      size_t gap = static_cast<size_t>(std::min<int64_t>(offset - written, sizeof zeros));
      if (file.write(zeros, gap) != 0) return err_zip_write;
      written += static_cast<int64_t>(gap);
    }
    if (size > 0 && file.write(block, size) != 0) return err_zip_write;
    written += static_cast<int64_t>(size);
  }
}

int expand_entries(struct archive* reader, ArchiveOutput& output, const ExpandOptions& options) {
  bool first = true;
  for (;; first = false) {
    struct archive_entry* entry = nullptr;
    int status = archive_read_next_header(reader, &entry);
    if (status == ARCHIVE_EOF) return 0;
    // The archive's database is read with the first header: failing there means the file is
    // not a readable 7z archive. A warning about a header (a name's character set) is harmless.
    if (status < ARCHIVE_WARN) {
      if (!first) return decoder_failure(reader, __LINE__);
      note_failure(source_tag, __LINE__);
      return err_zip_open;
    }

    const mode_t type = archive_entry_filetype(entry);
    if (type == AE_IFDIR) continue;
    const std::string name = entry_name(entry);
    int result;
    if (type == AE_IFLNK) {
      const char* link_text = archive_entry_symlink_utf8(entry);
      if (link_text == nullptr) link_text = archive_entry_symlink(entry);
      result = output.make_link(name, link_text != nullptr ? link_text : "");
    } else {
      EntryFile file;
      result = file.begin(output, name, wants_signature(options));
      if (result == 0) result = copy_data(reader, file);
      if (result == 0) result = finish_entry_file(file, options);
    }
    if (result != 0) return result;
  }
}

}  // namespace

int sevenzip_to_folder(const std::string& archive_path, const std::string& out_folder,
                       const ExpandOptions& options) {
  const std::string full_archive = base_folder_prefix() + archive_path;
  int descriptor = ::open(full_archive.c_str(), O_RDONLY | O_CLOEXEC);
  if (descriptor < 0) {
    int code = errno;
    note_failure(source_tag, __LINE__);
    return code;
  }
  ArchiveOutput output;
  int result = output.open(base_folder_prefix() + out_folder);
  if (result != 0) {
    ::close(descriptor);
    return result;
  }

  struct archive* reader = archive_read_new();
  if (reader == nullptr) {
    ::close(descriptor);
    note_failure(source_tag, __LINE__);
    return ENOMEM;
  }
  archive_read_support_format_7zip(reader);
  if (archive_read_open_fd(reader, descriptor, read_block_size) != ARCHIVE_OK) {
    note_failure(source_tag, __LINE__);
    result = archive_errno(reader) == ENOMEM ? ENOMEM : err_zip_open;
  } else {
    result = expand_entries(reader, output, options);
  }
  archive_read_free(reader);
  ::close(descriptor);
  return result;
}
