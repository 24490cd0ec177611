// Helpers shared by the file-layer tests beyond those of support/files.h: a sorted listing of a
// folder, and the set-up that lets a death test see an alert.
#pragma once
#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace files_test {

// The names in `folder` (without "." and ".."), sorted; empty when it cannot be read.
inline std::vector<std::string> folder_names(const std::string& folder) {
  std::vector<std::string> found;
  if (DIR* dir = opendir(folder.c_str())) {
    while (dirent* item = readdir(dir)) {
      std::string name = item->d_name;
      if (name != "." && name != "..") found.push_back(name);
    }
    closedir(dir);
  }
  std::sort(found.begin(), found.end());
  return found;
}

// Alerts print on standard output; death tests only see standard error, so send one to the
// other, and work in a scratch folder so the crash files an alert leaves stay out of the way.
inline void prepare_for_alert() {
  std::fflush(stdout);
  ::dup2(2, 1);
  if (::chdir("/tmp") != 0) std::perror("chdir");
}

}  // namespace files_test
