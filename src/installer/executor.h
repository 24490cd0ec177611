// The install executor: what is done with one item of the install plan (its names and paths,
// deleting a file the release dropped, expanding a downloaded payload into place, what the
// screen says meanwhile) and the two ends of a run: creating the release's folders, and at the
// end removing folders that deletions emptied and giving the destination the release's name.
// The download streams decide when each operation runs.
#pragma once
#include <set>
#include <string>

#include "installer/manifest.h"

// The names of an item worked on by stream slot `slot` (0 to 3).
struct ItemNames {
  std::string extension;    // ".7z" for scenery ("Global Scenery" in the path), else ".zip"
  std::string server_path;  // the chosen server's release folder + path + extension
  std::string local_path;   // where the file lands under the destination
  std::string temp_file;    // the download: temp_dir + the slot's digit + extension
};
ItemNames item_names(const ManifestEntry& entry, int slot);

// Folders (each ending in "/") that held a file deleted during the run; emptied by every scan.
std::set<std::string>& deleted_folders();

// Called each time a slot takes up an item, before anything else is done with it: checks the
// path, sets current_file and failed_file, and returns the names the download uses.
ItemNames begin_item(const ManifestEntry& entry, int slot);

// Deletes the local file of an item whose remove flag is set; a failure ends the program after
// its alert.
void delete_item(const ManifestEntry& entry);

// An item with neither flag: only the activity shown changes.
void pass_over_item(const ManifestEntry& entry);

// Once the slot's download of the item is complete: expands it into place and checks that the
// installed file is the release's (its signature equals sig_want). The payload is unpacked
// beside the target and only that checked file is moved over it, so nothing else an archive
// holds reaches the destination. On success the entry is marked same; a failure raises the
// extraction alert, sets install_error and leaves the old file as it was.
void install_item(ManifestEntry& entry, int slot);

// Expands one payload archive (7z when the name ends in ".7z", zip otherwise) into the folder of
// `destination`, then deletes the archive whatever the result. Failures raise the extraction
// alert and set install_error.
void expand_archive(const std::string& archive, const std::string& destination);

// Creates the destination folder chain and every folder the release needs; raises its own
// alerts and goes on after them.
void create_folders();

// The end of a completed run: removes the emptied folders of deleted_folders(), deepest first,
// and gives the destination the release's name when the plan asks for it and the preference
// allows it.
void finish_run();
