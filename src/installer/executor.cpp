// The install executor: item names, deletion, payload expansion with its release check, the
// release's folders and the end-of-run clean-up and rename.
//
// [SECTION] Item names and the path guard
// [SECTION] Item operations
// [SECTION] Payload expansion
// [SECTION] create_folders
// [SECTION] finish_run
#include "installer/executor.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <system_error>
#include <vector>

#include "app/alert.h"
#include "app/log.h"
#include "files/errors.h"
#include "files/paths.h"
#include "files/sevenzip.h"
#include "files/zip.h"
#include "installer/session.h"

namespace {

const char* const source_tag = "utils";

std::set<std::string> the_deleted_folders;

// ---- [SECTION] Item names and the path guard ---------------------------------------------------

// The local path of an entry, refusing a path that names no file or one that would lead
// outside the destination. The manifest reader already refuses such records, so this only
// guards the manifest in memory: nothing is ever deleted or written outside the destination.
std::string guarded_local_path(const ManifestEntry& entry) {
  if (ends_with_slash(entry.path))
    show_alert(0, "I am working through the list and found a path that has no file!",
               "This is impossible to download or delete!", "It is:", entry.path, t_exit,
               source_tag, __LINE__);
  if (!path_stays_inside(entry.path))
    show_alert(0, "I am working through the list and found a path outside the install folder!",
               "Nothing outside the install folder is ever written or deleted!", "It is:",
               entry.path, t_exit, source_tag, __LINE__);
  return local_path(entry);
}

}  // namespace

std::set<std::string>& deleted_folders() { return the_deleted_folders; }

ItemNames item_names(const ManifestEntry& entry, int slot) {
  const InstallerSession& s = session();
  ItemNames names;
  names.extension = entry.path.find("Global Scenery") != std::string::npos ? ".7z" : ".zip";
  const std::string server_folder =
      s.server_index >= 0 && s.server_index < max_servers ? s.server_paths[s.server_index] : "";
  names.server_path = server_folder + entry.path + names.extension;
  names.local_path = guarded_local_path(entry);
  names.temp_file = s.temp_dir + std::to_string(slot) + names.extension;
  return names;
}

// ---- [SECTION] Item operations -------------------------------------------------------------------

ItemNames begin_item(const ManifestEntry& entry, int slot) {
  ItemNames names = item_names(entry, slot);
  InstallerSession& s = session();
  s.current_file = last_component(names.server_path);
  s.failed_file = names.server_path;
  return names;
}

void delete_item(const ManifestEntry& entry) {
  InstallerSession& s = session();
  s.activity = activity_deleting;
  std::string path = guarded_local_path(entry);
  const int result = delete_file(path);
  if (s.log_actions)
    app_log() << "now we want to nuke a file: DELETING  file " << path << ", with result="
              << result << ".\n";

  // Every folder between the file and the destination may be left empty by this deletion.
  const std::string& dest = s.dest_dir_path;
  std::string folder = parent_folder(path);
  while (folder.size() > dest.size() && folder.compare(0, dest.size(), dest) == 0) {
    the_deleted_folders.insert(folder);
    std::string parent = parent_folder(folder);
    if (parent.size() >= folder.size()) break;
    folder = std::move(parent);
  }

  if (result != 0)
    show_alert(0, "Could not delete a file that I no longer want to have!", error_text(result),
               path, "", t_exit, source_tag, __LINE__);
}

void pass_over_item(const ManifestEntry& entry) {
  session().activity = entry.same ? activity_already_have : activity_not_needed;
}

// ---- [SECTION] Payload expansion -------------------------------------------------------------------

namespace {

// A verified payload is unpacked into this private folder beside its target, and only the
// release's file, once its signature has been checked, is moved over the target. Whatever else
// an archive holds (links, folders, other files) never reaches the destination, so a payload can
// neither leave a wrong file in place of the old one nor plant a link that a later item would
// write or delete through. The leading "." keeps it out of folder listings.
const char* const unpack_folder_name = ".velmora-unpack/";

// Removes an unpack folder and everything in it without following links (the trailing "/" is
// dropped first, since it would make a link to a folder count as that folder).
void remove_unpack_folder(const std::string& folder) {
  std::string full = base_folder_prefix() + folder;
  if (ends_with_slash(full)) full.pop_back();
  std::error_code ignored;
  std::filesystem::remove_all(full, ignored);
}

// Expands `archive` next to `destination`, reports a failure, logs and deletes the archive.
// With `wanted_signature`, the payload must hold exactly the release's file: a file with
// another signature, or one landing elsewhere, is refused before it replaces anything.
int expand_payload(const std::string& archive, const std::string& destination,
                   const std::string* wanted_signature) {
  InstallerSession& s = session();
  const std::string out_folder = parent_folder(destination);
  const std::string unpack_folder =
      wanted_signature ? out_folder + unpack_folder_name : out_folder;
  const std::string unpacked_file = unpack_folder + last_component(destination);
  const std::string unpacked_full = base_folder_prefix() + unpacked_file;  // as expansions report it

  ExpandOptions options;
  bool destination_written = false;
  if (wanted_signature) {
    options.accept = [&](const ExpandedFile& file) {
      if (file.path != unpacked_full || file.signature != *wanted_signature)
        return static_cast<int>(err_release_mismatch);
      destination_written = true;
      return 0;
    };
  }

  int result = 0;
  if (wanted_signature) {
    remove_unpack_folder(unpack_folder);  // what an interrupted run may have left
    result = make_folder(unpack_folder);
  }
  const bool is_7z = archive.size() >= 3 && archive.compare(archive.size() - 3, 3, ".7z") == 0;
  if (result == 0)
    result = is_7z ? sevenzip_to_folder(archive, unpack_folder, options)
                   : zip_to_file(archive, unpack_folder, options);
  if (wanted_signature) {
    if (result == 0 && !destination_written) result = err_release_mismatch;
    if (result == 0 &&
        std::rename(unpacked_full.c_str(), (base_folder_prefix() + destination).c_str()) != 0)
      result = errno;
    remove_unpack_folder(unpack_folder);
  }

  if (result != 0) {
    s.install_error = 1;
    show_alert(0, "The installer cannot extract a file.", "Error: " + error_text(result),
               "Compressed File: " + archive, "Destination: " + destination, t_alert,
               source_tag, __LINE__);
  }
  if (s.log_actions)
    app_log() << "EXPANDING file " << destination << ", with result=" << result << ".\n";

  std::string archive_path = archive;
  const int deleted = delete_file(archive_path);
  if (s.log_actions)
    app_log() << "DELETING  file " << archive_path << ", with result=" << deleted << ".\n";
  return result;
}

}  // namespace

void expand_archive(const std::string& archive, const std::string& destination) {
  expand_payload(archive, destination, nullptr);
}

void install_item(ManifestEntry& entry, int slot) {
  const ItemNames names = item_names(entry, slot);
  if (expand_payload(names.temp_file, names.local_path, &entry.sig_want) == 0) entry.same = true;
}

// ---- [SECTION] create_folders ----------------------------------------------------------------------

namespace {

void folder_alert(int result, const std::string& folder) {
  show_alert(0,
             "I am unable to install or update Velmora. An error occurred while creating new "
             "folders. Make sure you are installing to a directory that you have access to!",
             "Error: " + error_text(result), "Install Location: " + session().dest_dir_path,
             "Install Path:" + folder, t_alert, source_tag, __LINE__);
}

// make_folder, reporting anything but success or an existing folder. True when it went well.
bool make_folder_reported(const std::string& folder) {
  const int result = make_folder(folder);
  if (result == 0 || result == 17) return true;
  folder_alert(result, folder);
  return false;
}

}  // namespace

void create_folders() {
  const std::string& dest = session().dest_dir_path;

  // The destination itself and every folder above it.
  const std::string chain = dest.empty() ? dest : dest.substr(0, dest.size() - 1);
  bool chain_made = true;
  for (size_t slash = chain.find('/', 1); slash != std::string::npos && chain_made;
       slash = chain.find('/', slash + 1))
    chain_made = make_folder_reported(chain.substr(0, slash));
  if (chain_made) make_folder_reported(chain);

  // Every folder an applicable wanted file sits in, each once; parents sort before children.
  std::set<std::string> release_folders;
  for (const PathGroup& group : manifest().groups) {
    const ManifestEntry& entry = group.current();
    if (entry.sig_want == "GONE" || !entry_applies(entry, session().platform_code)) continue;
    guarded_local_path(entry);  // no folder is made for a path that leaves the destination
    std::string inside = strip_first_component(entry.path);
    for (size_t slash = inside.rfind('/'); slash != std::string::npos; slash = inside.rfind('/')) {
      inside.resize(slash);
      if (!inside.empty()) release_folders.insert(inside);
    }
  }
  for (const std::string& folder : release_folders)
    if (!make_folder_reported(dest + folder)) break;

  for (const char* folder : {"Output", "Output/FMS plans", "Output/logbooks", "Output/movies",
                             "Output/situations", "Resources", "Resources/preferences"})
    make_folder_reported(dest + folder);
}

// ---- [SECTION] finish_run --------------------------------------------------------------------------

namespace {

// A name the destination can be renamed to without leaving its parent folder.
bool is_plain_folder_name(const std::string& name) {
  return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos;
}

}  // namespace

void finish_run() {
  InstallerSession& s = session();

  // Deeper folders sort after their parents, so walking backwards empties children first.
  std::vector<std::string> names;
  std::vector<int> types;
  for (auto folder = the_deleted_folders.rbegin(); folder != the_deleted_folders.rend(); ++folder) {
    list_dir(*folder, 0, names, types);
    if (!names.empty()) continue;
    std::string path = *folder;
    const int result = delete_file(path);
    if (s.log_actions)
      app_log() << "cleanup: DELETING  file " << path << ", with result=" << result << ".\n";
  }

  if (!s.rename_needed || !s.rename_folder) return;
  if (!is_plain_folder_name(s.release_name)) {
    app_log() << "Not renaming the install folder " << s.dest_dir_path << ": the release name \""
              << s.release_name << "\" is not a plain folder name.\n";
    return;
  }
  const std::string parent = parent_folder(s.dest_dir_path);
  if (rename_in_folder(parent, last_component(s.dest_dir_path), s.release_name) == 0)
    s.dest_dir_path = parent + s.release_name + "/";
}
