// The manifest reader: turns directory.txt into path groups of entries, parsing the mapping in
// place and copying out only each entry's signature and path. Also the platform rule and the
// local path of an entry.
#include "installer/manifest.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "app/alert.h"
#include "files/mem_file.h"
#include "files/paths.h"
#include "installer/frontend.h"
#include "installer/server_list.h"
#include "installer/session.h"

namespace {

constexpr int manifest_versions[] = {840, 900, 0};
constexpr int records_per_panel = 500;

// Release files this installer never installs, examines or deletes.
constexpr std::string_view skipped_names[] = {"900 red terrain", "Earth Orbit Textures"};

// Records read since the program started, dropped ones included; paces the progress panel.
long long records_read = 0;

// An upper bound on the records left in the file: one per line end, and no more than the
// shortest record could fill. Reserving it up front keeps the group list from being copied as it
// grows; capacity that is never filled is never touched.
constexpr size_t shortest_record = 16;
size_t records_left(const MemFile& file) {
  size_t count = 1;
  const char* p = file.cursor();
  const char* end = file.end();
  while (p < end) {
    const void* found = std::memchr(p, '\n', static_cast<size_t>(end - p));
    if (!found) break;
    ++count;
    p = static_cast<const char*>(found) + 1;
  }
  return std::min(count, file.size() / shortest_record + 1);
}

bool is_skipped_name(std::string_view name) {
  for (std::string_view skipped : skipped_names) {
    if (name.find(skipped) != std::string_view::npos) return true;
  }
  return false;
}

}  // namespace

Manifest& manifest() {
  static Manifest the_manifest;
  return the_manifest;
}

bool path_stays_inside(const std::string& release_relative_path) {
  std::string_view local = release_relative_path;
  size_t first_slash = local.find('/');
  if (first_slash != std::string_view::npos) local.remove_prefix(first_slash + 1);
  if (!local.empty() && local.front() == '/') return false;
  while (true) {
    size_t slash = local.find('/');
    if (local.substr(0, slash) == "..") return false;
    if (slash == std::string_view::npos) return true;
    local.remove_prefix(slash + 1);
  }
}

namespace {

// Fills a manifest from its start, reusing the groups, entries and strings an earlier read left
// in it, so that a rescan allocates next to nothing; whatever is left over is dropped at the end.
class ManifestFiller {
 public:
  explicit ManifestFiller(Manifest& into) : groups_(into.groups) {}
  ~ManifestFiller() {
    if (used_groups_ > 0) groups_[used_groups_ - 1].entries.resize(used_entries_);
    groups_.resize(used_groups_);
  }

  const std::string* previous_path() const {
    if (used_groups_ == 0) return nullptr;
    return &groups_[used_groups_ - 1].entries[used_entries_ - 1].path;
  }

  void open_group() {
    if (used_groups_ > 0) groups_[used_groups_ - 1].entries.resize(used_entries_);
    if (used_groups_ == groups_.size()) groups_.emplace_back();
    ++used_groups_;
    used_entries_ = 0;
  }

  // The next entry of the last group, with the fields the scan and the decisions set cleared.
  ManifestEntry& next_entry() {
    std::vector<ManifestEntry>& entries = groups_[used_groups_ - 1].entries;
    if (used_entries_ == entries.size()) entries.emplace_back();
    ManifestEntry& entry = entries[used_entries_++];
    entry.sig_have.clear();
    entry.same = entry.fetch = entry.remove = false;
    return entry;
  }

 private:
  std::vector<PathGroup>& groups_;
  size_t used_groups_ = 0;
  size_t used_entries_ = 0;  // entries filled in the last used group
};

}  // namespace

int read_manifest_records(MemFile& file, const std::string& label, Manifest& into,
                          std::string& fault_path) {
  ManifestFiller filler(into);
  into.groups.reserve(records_left(file));
  std::string folder;
  std::string full_path;
  while (!file.at_end()) {
    if (file.match_word("DIR")) {
      folder.assign(file.read_rest_view());
      file.skip_white();
      continue;
    }
    if (!file.match_word("FILE")) {
      file.next_line();
      continue;
    }

    int reserved_code = std::clamp(file.read_int(), 0, 4);
    int platform = std::clamp(file.read_int(), 0, 6);
    int reserved_number = file.read_int();
    int download_kb = file.read_int();
    int install_kb = file.read_int();
    std::string_view signature = file.read_word_view();
    std::string_view name = file.read_rest_view();
    file.skip_white();

    if (!is_skipped_name(name)) {
      full_path.assign(folder).append(name);
      if (full_path.empty() || ends_with_slash(full_path)) {
        fault_path = full_path;
        return manifest_fault_no_file;
      }
      if (!path_stays_inside(full_path)) {
        fault_path = full_path;
        return manifest_fault_outside;
      }
      const std::string* previous = filler.previous_path();
      if (!previous || *previous != full_path) filler.open_group();
      ManifestEntry& entry = filler.next_entry();
      entry.reserved_code = reserved_code;
      entry.platform = platform;
      entry.reserved_number = reserved_number;
      entry.download_kb = static_cast<float>(download_kb);
      entry.install_kb = static_cast<float>(install_kb);
      entry.sig_want.assign(signature);
      entry.path.assign(full_path);
    }

    if (records_read++ % records_per_panel == 0) {
      frontend().progress_panel(0, static_cast<float>(file.offset()),
                                static_cast<float>(file.size()), 0, label, std::string(name));
    }
  }
  return manifest_fault_none;
}

bool read_manifest(const std::string& path, const std::string& label) {
  Manifest& list = manifest();
  MemFile file(path);
  if (!file.exists()) {
    list.groups.clear();
    show_alert(0, "I tried to read a directory file that does not exist!", "The file is:", path, "",
               t_exit, "utils", __LINE__);
    return false;
  }
  if (file.check_file(header_text, manifest_versions, "INSTALLER", nullptr) == 0) {
    list.groups.clear();
    report_newer_format(path);
    return false;
  }

  // The records replace the previous manifest, reusing its storage.
  std::string fault_path;
  switch (read_manifest_records(file, label, list, fault_path)) {
    case manifest_fault_no_file:
      show_alert(0, "I am reading the directory text file and found a path that has no file!",
                 "This is impossible to download or delete!", "It is:", fault_path, t_exit, "utils",
                 __LINE__);
      return false;
    case manifest_fault_outside:
      show_alert(0,
                 "I am reading the directory text file and found a path that leads outside the "
                 "installation folder!",
                 "It is not safe to download or delete it!", "It is:", fault_path, t_exit, "utils",
                 __LINE__);
      return false;
    default:
      return true;
  }
}

bool entry_applies(const ManifestEntry& entry, int platform_code) {
  return entry.platform == 0 || entry.platform == platform_code ||
         (entry.platform == 6 && platform_code == 3);
}

std::string local_path(const ManifestEntry& entry) {
  return session().dest_dir_path + strip_first_component(entry.path);
}
