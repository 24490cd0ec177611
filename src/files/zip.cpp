// Zip expansion on minizip's unzip side: walks the entries, recreates folders, regular files
// (with their recorded permission bits and times) and symbolic links under the output folder,
// skips the resource-fork folders that macOS adds, and logs every failure.
//
// [SECTION] entries
// [SECTION] zip_to_file
#include "files/zip.h"

#include <unzip.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <vector>

#include "app/log.h"
#include "files/archive_output.h"
#include "files/errors.h"
#include "files/paths.h"

namespace {

constexpr const char* source_tag = "io_utils";

// Entry names longer than this are refused rather than cut, since a cut name is another file.
constexpr size_t max_entry_name = 255;
// Link targets longer than the system allows cannot be created anyway.
constexpr size_t max_link_text = 4096;

struct ZipEntry {
  std::string name;
  unz_file_info64 info{};
};

// Logs a failed entry with the place of the failure beneath it, then records this place, so the
// archive's closing line names the entry writer.
void log_entry_failure(const char* what, int result, const std::string& target, int line) {
  const LastError& where = last_error();
  app_log() << what << result << ". file = " << where.file << " line = " << where.line
            << ". inFile=" << target << ".\n";
  note_failure(source_tag, line);
}

// [SECTION] entries ---------------------------------------------------------------------------

// Reads the current entry to its end (minizip checks the CRC only then) into `file`, or into
// `text` when `file` is null. Closing the entry reports a CRC mismatch.
int read_entry(unzFile zip, const ZipEntry& entry, std::vector<char>& buffer, EntryFile* file,
               std::string* text) {
  int result = unzOpenCurrentFile(zip);
  if (result != UNZ_OK) {
    note_failure(source_tag, __LINE__);
    return result;
  }
  uint64_t total = 0;
  for (;;) {
    int count = unzReadCurrentFile(zip, buffer.data(), static_cast<unsigned>(buffer.size()));
    if (count < 0) {
      note_failure(source_tag, __LINE__);
      unzCloseCurrentFile(zip);
      return count;
    }
    if (count == 0) break;
    total += static_cast<unsigned>(count);
    if (file != nullptr) {
      result = file->write(buffer.data(), static_cast<size_t>(count));
    } else if (text->size() + static_cast<size_t>(count) > max_link_text) {
      note_failure(source_tag, __LINE__);
      result = ENAMETOOLONG;
    } else {
      text->append(buffer.data(), static_cast<size_t>(count));
    }
    if (result != 0) {
      unzCloseCurrentFile(zip);
      return result;
    }
  }
  if (total < entry.info.uncompressed_size) {
    note_failure(source_tag, __LINE__);
    unzCloseCurrentFile(zip);
    return err_zip_read;
  }
  result = unzCloseCurrentFile(zip);
  if (result != UNZ_OK) note_failure(source_tag, __LINE__);
  return result;
}

// The entry's recorded date and time as a local calendar time.
time_t entry_time(const ZipEntry& entry) {
  const tm_unz& date = entry.info.tmu_date;
  struct tm local{};
  local.tm_sec = static_cast<int>(date.tm_sec);
  local.tm_min = static_cast<int>(date.tm_min);
  local.tm_hour = static_cast<int>(date.tm_hour);
  local.tm_mday = static_cast<int>(date.tm_mday);
  local.tm_mon = static_cast<int>(date.tm_mon);
  local.tm_year = static_cast<int>(date.tm_year) - 1900;
  local.tm_isdst = -1;
  return mktime(&local);
}

int write_file(unzFile zip, const ZipEntry& entry, ArchiveOutput& output,
               std::vector<char>& buffer, const ExpandOptions& options) {
  EntryFile file;
  int result = file.begin(output, entry.name, wants_signature(options));
  if (result == 0) result = read_entry(zip, entry, buffer, &file, nullptr);
  const uLong attributes = entry.info.external_fa;
  if (result == 0 && attributes != 0) {
    // The upper half holds a Unix mode only when the archive was made on a Unix-like system;
    // archives from elsewhere keep the default permissions rather than losing all of them.
    if ((attributes >> 16) != 0) result = file.set_mode(static_cast<mode_t>(attributes >> 16));
    if (result == 0) result = file.set_time(entry_time(entry));
  }
  if (result == 0) result = finish_entry_file(file, options);
  if (result != 0)
    log_entry_failure("Zip to file failed with error ", result, output.folder() + entry.name,
                      __LINE__);
  return result;
}

int write_link(unzFile zip, const ZipEntry& entry, ArchiveOutput& output,
               std::vector<char>& buffer) {
  std::string link_text;
  int result = read_entry(zip, entry, buffer, nullptr, &link_text);
  if (result == 0) {
    result = output.make_link(entry.name, link_text);
    // A link that cannot be made is -1; a name that would leave the folder keeps its own code.
    if (result != 0 && result != err_archive_outside) result = -1;
  }
  if (result != 0)
    log_entry_failure("Zip to symlink failed with error ", result, output.folder() + entry.name,
                      __LINE__);
  return result;
}

int expand_entry(unzFile zip, const ZipEntry& entry, ArchiveOutput& output,
                 std::vector<char>& buffer, const ExpandOptions& options) {
  if (entry.name.compare(0, 8, "__MACOSX") == 0) return 0;
  if (entry.name.size() > max_entry_name) {
    note_failure(source_tag, __LINE__);
    return ENAMETOOLONG;
  }
  if (!entry.name.empty() && entry.name.back() == '/') return output.make_folder(entry.name);
  if (((entry.info.external_fa >> 16) & 0xA000) == 0xA000)
    return write_link(zip, entry, output, buffer);
  return write_file(zip, entry, output, buffer, options);
}

// Fills `entry` from the current entry; returns minizip's result.
int current_entry(unzFile zip, ZipEntry& entry) {
  int result = unzGetCurrentFileInfo64(zip, &entry.info, nullptr, 0, nullptr, 0, nullptr, 0);
  if (result != UNZ_OK) return result;
  std::vector<char> name(entry.info.size_filename + 1);
  result = unzGetCurrentFileInfo64(zip, &entry.info, name.data(), name.size(), nullptr, 0,
                                   nullptr, 0);
  if (result != UNZ_OK) return result;
  entry.name.assign(name.data(), strnlen(name.data(), name.size()));
  return UNZ_OK;
}

// Expands every entry of the open archive; stops at the first failure.
int expand_entries(unzFile zip, const std::string& full_folder, const ExpandOptions& options) {
  ArchiveOutput output;
  int result = output.open(full_folder);
  if (result != 0) return result;
  unzGoToFirstFile(zip);
  std::vector<char> buffer(archive_chunk_size);
  ZipEntry entry;
  for (;;) {
    result = current_entry(zip, entry);
    if (result != UNZ_OK) {
      app_log() << "unzGetCurrentFileInfo err != UNZ_OK! err=" << result << "\n";
      return result == UNZ_END_OF_LIST_OF_FILE ? 0 : result;
    }
    result = expand_entry(zip, entry, output, buffer, options);
    if (result != 0) {
      app_log() << "UNZIP zip_to_file failed with err=" << result << "\n";
      return result;
    }
    result = unzGoToNextFile(zip);
    if (result == UNZ_END_OF_LIST_OF_FILE) return 0;
    if (result != UNZ_OK) return result;
  }
}

}  // namespace

// [SECTION] zip_to_file -----------------------------------------------------------------------

int zip_to_file(const std::string& zip_path, const std::string& out_folder,
                const ExpandOptions& options) {
  const std::string full_zip = base_folder_prefix() + zip_path;
  const std::string full_folder = base_folder_prefix() + out_folder;
  unzFile zip = unzOpen64(full_zip.c_str());
  int result = 0;
  if (zip == nullptr) {
    app_log() << "OK I am about to report that I could not open a zip file for extraction!\n"
              << "That incoming file is " << zip_path << "\n"
              << "In c-form, it is " << zip_path << "\n"
              << "The size is " << zip_path.size() << "\n";
    note_failure(source_tag, __LINE__);
    result = err_zip_open;
  } else {
    result = expand_entries(zip, full_folder, options);
    unzClose(zip);
  }
  if (result != 0) {
    const LastError& where = last_error();
    app_log() << "Zip to file failed with error err = " << result << ". file = " << where.file
              << " line = " << where.line << ". zip_file=" << zip_path
              << ", out_directory=" << out_folder << ".\n";
  }
  return result;
}
