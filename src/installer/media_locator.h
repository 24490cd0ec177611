// Finds a mounted install disc: a folder whose "dvd_version.txt" is a version-900 "DVD" file,
// looked for among the mounted file systems and then at the usual mount points.
#pragma once
#include <string>
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
