// Finds a mounted install disc: a folder whose "dvd_version.txt" is a version-900 "DVD" file,
// looked for among the mounted file systems and then at the usual mount points.
#pragma once
#include <string>
#include <string_view>
#include <vector>

// Where the search looks. Tests point these at a fixture folder.
struct MediaLocatorConfig {
  std::string mtab_path = "/etc/mtab";
  std::vector<std::string> mount_points = {
      "/mnt/cdrom/", "/cdrom/",   "/media/cdrom/", "/mnt/dvd/",
      "/dvd/",       "/media/dvd/", "/mnt/velmora/", "/mnt/velmor/",
  };
};
MediaLocatorConfig& media_locator_config();

// Searches for the disc unless the last search was less than an hour ago (or `force` is set) and
// returns whether one was found. A found disc's folder goes into the session's dvd_path.
int find_install_disc(int force);

// True when `folder` (ending in "/") holds a valid version file; dvd_path then becomes `folder`.
bool check_dvd(const std::string& folder);

// Tests: forget the previous search, as at program start.
void reset_disc_search();

// One entry of a mount table, as far as the search needs it.
struct MtabEntry {
  std::string mount_point;
  std::string type;
};
enum class MtabRead {
  entry,     // `entry` holds the next mount
  skipped,   // an entry with a field too long to be usable; the text moved past it
  finished,  // no complete entry left
};
// Longest text field of an entry that is used; longer ones make the entry skipped.
constexpr size_t max_mtab_field = 511;
// Reads the next entry from `text` the way "%s %s %s %s %d %d" scans it (device, mount point,
// type, options and two whole numbers, separated by any white space) and moves `text` past it.
// Only the mount point and the type are copied out.
MtabRead read_mtab_entry(std::string_view& text, MtabEntry& entry);
