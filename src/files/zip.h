// Zip expansion: every entry of a zip archive is recreated under an output folder (folders,
// regular files with their recorded Unix permission bits and times, symbolic links).
#pragma once
#include <string>

#include "files/archive_options.h"

// Expands `zip_path` into `out_folder` (which ends in "/"); both get the base folder prefix.
// Returns 0, an errno value, 20001 (cannot open the archive), 20002 (an entry is shorter than
// recorded), err_archive_outside (an entry would land outside `out_folder`), or minizip's own
// negative code (UNZ_CRCERROR -105 for a damaged entry). The first failing entry stops the
// expansion; entries already written stay, and a failed entry leaves its old target untouched.
// Diagnostics go to the log.
int zip_to_file(const std::string& zip_path, const std::string& out_folder,
                const ExpandOptions& options = {});
