// The file layer: path helpers, creating, deleting and renaming, listing a folder, and the one
// shared output stream that data files are written through with their common header. Every
// operation returns an error number and records where a failure happened; callers alert.
//
// [SECTION] Framework settings and path length
// [SECTION] Path helpers
// [SECTION] File operations
// [SECTION] Folder listing
// [SECTION] Output file with header
#include "files/paths.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <numeric>

#include "app/alert.h"
#include "files/errors.h"
#include "files/mem_file.h"

// ---- [SECTION] Framework settings and path length ----------------------------------------------

std::string& base_folder_prefix() {
  static std::string prefix;
  return prefix;
}

int& case_sensitive_fs() {
  static int flag = 1;  // Linux file systems tell letter case apart
  return flag;
}

void check_path_length(const std::string& path) {
  if (path.size() > max_path_chars) {
    show_alert(0, "String too long!", path, "", "", t_exit, "ck_string", __LINE__);
  }
}

namespace {

std::string full_path_of(const std::string& path) {
  std::string full = base_folder_prefix() + path;
  check_path_length(full);
  return full;
}

// Records where the failure happened and hands back the errno value to return.
int failed(int line) {
  int code = errno;
  note_failure("io_utils", line);
  return code;
}

}  // namespace

// ---- [SECTION] Path helpers --------------------------------------------------------------------

std::string last_component(const std::string& path) {
  if (path.size() < 2) return path;
  size_t slash = path.rfind('/', path.size() - 2);
  if (slash == std::string::npos) return path;
  return path.substr(slash + 1);
}

std::string parent_folder(const std::string& path) {
  return path.substr(0, path.size() - last_component(path).size());
}

std::string strip_first_component(const std::string& path) {
  size_t slash = path.find('/');
  if (slash == std::string::npos) return path;
  return path.substr(slash + 1);
}

bool ends_with_slash(const std::string& path) { return !path.empty() && path.back() == '/'; }

// ---- [SECTION] File operations -----------------------------------------------------------------

namespace {

int make_folder_full(std::string full) {
  if (ends_with_slash(full)) full.pop_back();
  if (::mkdir(full.c_str(), 0755) != 0) return failed(__LINE__);
  return 0;
}

}  // namespace

int make_folder(const std::string& path) { return make_folder_full(full_path_of(path)); }

int delete_file(std::string& path) {
  if (path.empty()) return ENOENT;
  path = full_path_of(path);
  if (ends_with_slash(path)) {
    std::string folder = path.substr(0, path.size() - 1);
    if (::rmdir(folder.c_str()) != 0) return failed(__LINE__);
  } else {
    if (::unlink(path.c_str()) != 0) return failed(__LINE__);
  }
  return 0;
}

int rename_in_folder(const std::string& folder, const std::string& old_name,
                     const std::string& new_name) {
  std::string from = full_path_of(folder + old_name);
  std::string to = full_path_of(folder + new_name);
  if (::rename(from.c_str(), to.c_str()) != 0) return failed(__LINE__);
  return 0;
}

// ---- [SECTION] Folder listing ------------------------------------------------------------------

namespace {

struct EndingType {
  const char* ending;
  int type;
};

constexpr EndingType ending_types[] = {
    {".BMP", 2},  {".PNG", 2},  {".ACF", 3},  {".AFL", 4},  {".WPN", 5},  {".WAV", 6},
    {".OBJ", 7},  {".FDR", 8},  {".SIT", 9},  {".SMO", 10}, {".FMS", 11}, {".TRA", 13},
    {".CAR", 14}, {".SPA", 15}, {".REG", 16}, {".DSF", 17}, {".HGT", 18}, {".TXT", 19},
};

char upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// The type a listed entry gets from its name's ending; `type` when no ending applies.
int ending_type(const std::string& name, int type) {
  if (name.size() < 4) return type;
  char ending[5];
  for (int i = 0; i < 4; ++i) ending[i] = upper(name[name.size() - 4 + i]);
  ending[4] = 0;
  for (const EndingType& entry : ending_types) {
    if (std::strcmp(entry.ending, ending) == 0) return entry.type;
  }
  return type;
}

// Ascending without regard to letter case, a prefix first; names equal but for case keep a fixed
// order by their bytes so listings do not depend on the order the folder returns them in.
bool name_before(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char ca = static_cast<unsigned char>(upper(a[i]));
    unsigned char cb = static_cast<unsigned char>(upper(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

}  // namespace

int list_dir(const std::string& folder, int wanted_type, std::vector<std::string>& names,
             std::vector<int>& types) {
  names.clear();
  types.clear();
  if (folder.size() > 1 && !ends_with_slash(folder)) {
    show_alert(0, "Working path does not appear to be a directory!",
               "This is not consistent with my labelling practices!",
               "I need to end all paths with the directory indicator!", folder, t_exit, "io_utils",
               __LINE__);
  }
  std::string full = full_path_of(folder);
  DIR* dir = ::opendir(full.empty() ? "." : full.c_str());
  if (!dir) {
    failed(__LINE__);
    return 0;
  }
  std::vector<std::string> found_names;
  std::vector<int> found_types;
  while (dirent* entry = ::readdir(dir)) {
    std::string name = entry->d_name;
    if (name.empty() || name[0] == '.') continue;
    struct stat status;
    if (::stat((full + name).c_str(), &status) != 0) continue;
    int type = ending_type(name, S_ISDIR(status.st_mode) ? 1 : 0);
    if (wanted_type != 0 && type != 1 && type != wanted_type) continue;
    found_names.push_back(std::move(name));
    found_types.push_back(type);
  }
  ::closedir(dir);

  std::vector<size_t> order(found_names.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::sort(order.begin(), order.end(),
            [&](size_t a, size_t b) { return name_before(found_names[a], found_names[b]); });
  names.reserve(order.size());
  types.reserve(order.size());
  for (size_t index : order) {
    names.push_back(std::move(found_names[index]));
    types.push_back(found_types[index]);
  }
  return static_cast<int>(names.size());
}

// ---- [SECTION] Output file with header ---------------------------------------------------------

std::ofstream& ouf() {
  static std::ofstream stream;
  return stream;
}

bool ouf_open(const std::string& path, int header_type, int version, const std::string& comment) {
  if (header_type != header_binary && header_type != header_text) {
    show_alert(0, "Bad ouf_open type!", "", "", "", t_exit, "io_utils", __LINE__);
  }
  std::string full = full_path_of(path);
  if (full.size() > 3) {
    for (size_t i = full.size() - 3; i < full.size(); ++i) full[i] = lower(full[i]);
  }
  std::ofstream& stream = ouf();
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (stream.is_open()) stream.close();
    stream.clear();
    stream.open(full, std::ios::out | std::ios::trunc | std::ios::binary);
    if (stream.is_open()) {
      if (header_type == header_binary) {
        uint32_t value = static_cast<uint32_t>(version);
        char bytes[5] = {'i', static_cast<char>(value & 0xff), static_cast<char>((value >> 8) & 0xff),
                         static_cast<char>((value >> 16) & 0xff),
                         static_cast<char>((value >> 24) & 0xff)};
        stream.write(bytes, sizeof bytes);
      } else {
        stream.setf(std::ios::fixed, std::ios::floatfield);
        stream << "I\n" << version << " version";
        if (comment != ouf_no_comment) stream << comment;
        stream << "\n";
      }
    }
    if (stream.good()) return true;
    note_failure("io_utils", __LINE__);
    if (attempt == 0) make_folder_full(parent_folder(full));
  }
  show_alert(0,
             "I could not save the file! Could the directory that the file sits in be missing? Or "
             "flagged as READ-ONLY by the operating system? (Windows machines typically do this).",
             full, "Could the file be flagged as read-only? This happens in Windows if you copy it from a CD!",
             "Try putting this app in the background and then flag the file as NOT read-only, or "
             "creating the folder listed in the path above.",
             t_alert, "io_utils", __LINE__);
  if (stream.is_open()) stream.close();
  stream.clear();
  return false;
}
