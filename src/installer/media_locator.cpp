// The install-media locator. The disc's folder is found, recorded in the session and logged;
// nothing later reads from it.
#include "installer/media_locator.h"

#include <cstdio>

#include "app/alert.h"
#include "app/clock.h"
#include "app/log.h"
#include "app/shell.h"
#include "files/mem_file.h"
#include "files/paths.h"
#include "installer/session.h"

namespace {

struct DiscSearch {
  int disc_found = 0;
  float next_disc_check = -1;  // program clock before which no new search is made
};

DiscSearch& disc_search() {
  static DiscSearch search;
  return search;
}

std::string contact_line() {
  return std::string("If you have any questions, write to ") + maker_support_address + ".";
}

// White space as the C library's scanf skips it.
bool is_scan_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void skip_scan_space(std::string_view& text) {
  size_t n = 0;
  while (n < text.size() && is_scan_space(text[n])) ++n;
  text.remove_prefix(n);
}

// "%s": the next run of non-space characters; empty when the text has none left.
std::string_view scan_word(std::string_view& text) {
  skip_scan_space(text);
  size_t n = 0;
  while (n < text.size() && !is_scan_space(text[n])) ++n;
  const std::string_view word = text.substr(0, n);
  text.remove_prefix(n);
  return word;
}

// "%d": an optional sign and at least one digit; the value itself is not needed.
bool scan_number(std::string_view& text) {
  skip_scan_space(text);
  size_t n = 0;
  if (n < text.size() && (text[n] == '+' || text[n] == '-')) ++n;
  const size_t digits_start = n;
  while (n < text.size() && text[n] >= '0' && text[n] <= '9') ++n;
  if (n == digits_start) return false;
  text.remove_prefix(n);
  return true;
}

void search_mtab() {
  DiscSearch& search = disc_search();
  const std::string& mtab_path = media_locator_config().mtab_path;
  std::FILE* file = std::fopen(mtab_path.c_str(), "r");
  if (!file) {
    std::perror("fopen");
    show_alert(0, "I could not open /etc/mtab!",
               "I cannot scan for CDs without knowing about /etc/mtab! I will try some predefined "
               "places, but I will not guarantee that I can find your DVD!",
               "Make sure I can read /etc/mtab next time!", contact_line(), t_alert, "demo", 285);
    return;
  }
  std::string text;
  char chunk[4096];
  size_t got;
  while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) text.append(chunk, got);
  std::fclose(file);

  std::string_view mtab = text;
  MtabEntry entry;
  while (!search.disc_found) {
    const MtabRead result = read_mtab_entry(mtab, entry);
    if (result == MtabRead::finished) break;
    if (result == MtabRead::skipped) continue;
    search.disc_found = check_dvd(entry.mount_point + "/");
    if (search.disc_found && entry.type != "udf") {
      std::fprintf(stderr, "LINUX: I saw filesystem type \"%s\", but I wanted \"udf\"\n",
                   entry.type.c_str());
      show_alert(0,
                 "I found a DVD, but it is not mounted as UDF! Velmora needs discs to be mounted "
                 "as UDF so it can find its files! Run the following commands as root at a shell "
                 "to remount your disc as UDF.",
                 "umount /dev/dvd && mkdir -p /mnt/dvd && mount -t udf /dev/dvd /mnt/dvd",
                 "I will try to continue anyway, but it probably won't work.", contact_line(),
                 t_alert, "demo", 301);
    }
  }
}

}  // namespace

MtabRead read_mtab_entry(std::string_view& text, MtabEntry& entry) {
  std::string_view fields[4];
  for (std::string_view& field : fields) {
    field = scan_word(text);
    if (field.empty()) return MtabRead::finished;
  }
  for (int i = 0; i < 2; ++i)
    if (!scan_number(text)) return MtabRead::finished;
  for (const std::string_view& field : fields)
    if (field.size() > max_mtab_field) return MtabRead::skipped;
  entry.mount_point.assign(fields[1]);
  entry.type.assign(fields[2]);
  return MtabRead::entry;
}

MediaLocatorConfig& media_locator_config() {
  static MediaLocatorConfig config;
  return config;
}

void reset_disc_search() { disc_search() = DiscSearch{}; }

int find_install_disc(int force) {
  DiscSearch& search = disc_search();
  if (force) search.next_disc_check = -1;
  if (search.next_disc_check > program_clock()) return search.disc_found;
  search.disc_found = 0;
  search.next_disc_check = program_clock() + 3600;

  search_mtab();
  if (!search.disc_found) {
    for (const std::string& folder : media_locator_config().mount_points) {
      if (check_dvd(folder)) {
        search.disc_found = 1;
        break;
      }
    }
  }
  return search.disc_found;
}

bool check_dvd(const std::string& folder) {
  app_log() << "check_dvd 1! check_path=" << folder << "\n";
  // The disc's folder is absolute, whatever folder the program's own paths are relative to.
  const std::string kept_prefix = base_folder_prefix();
  base_folder_prefix().clear();

  const std::string file_path = folder + "dvd_version.txt";
  bool found = false;
  MemFile file;
  if (file_path.size() <= max_path_chars) file.open(file_path);
  app_log() << "check_dvd 2! check_path=" << file_path << ", m.exists=" << (file.exists() ? 1 : 0)
            << "\n";
  const int versions[] = {900, 0};
  if (file.exists() && file.check_file(header_text, versions, "DVD", nullptr) != 0) {
    app_log() << "check_dvd 3!\n";
    found = true;
  }

  base_folder_prefix() = kept_prefix;
  if (found) session().dvd_path = folder;
  app_log() << "alldone! dis_path=" << base_folder_prefix() << ", check_path=" << folder
            << ", dvd_path=" << session().dvd_path << ", ret=" << (found ? 1 : 0) << "\n";
  file.close();
  return found;
}
