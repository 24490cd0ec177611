// 7z expansion: every file of a 7z archive is written under an output folder.
#pragma once
#include <string>

#include "files/archive_options.h"

// Expands `archive_path` into `out_folder` (which ends in "/"); both get the base folder prefix.
// Folder entries are not created: the folders the files need must exist. Returns 0, an errno
// value, 20001 (not a readable 7z archive), 20004 (a file could not be written completely),
// err_archive_outside (an entry would land outside `out_folder`) or err_archive_damaged (an
// entry's data failed its check or could not be decoded). The first failure stops the
// expansion; files already written stay, and a failed file leaves its old target untouched.
int sevenzip_to_folder(const std::string& archive_path, const std::string& out_folder,
                       const ExpandOptions& options = {});
