// The manifest: the release's file list as path groups of entries, read from directory.txt.
// The last entry of a group is its current entry; earlier ones are older versions whose
// signatures count as known.
#pragma once
#include <string>
#include <vector>

class MemFile;

// The flags sit beside the numbers so that they fill the padding before the strings: a release
// lists tens of thousands of entries, and each one is a heap block of its own.
struct ManifestEntry {
  int reserved_code = 0;   // clamped to 0..4, kept only
  int platform = 0;        // clamped to 0..6
  int reserved_number = 0;
  float download_kb = 0;   // compressed payload, kilobytes of 1000 bytes
  float install_kb = 0;    // installed file
  bool same = false;       // the local file equals the wanted one
  bool fetch = false;      // to be downloaded and installed
  bool remove = false;     // the local file is to be deleted
  std::string sig_want;    // 32 lowercase hex digits, or "GONE"
  std::string sig_have;    // set by the scan; "NONE" when there is no readable local file
  std::string path;        // release-relative; its first component is the release's top folder
};

struct PathGroup {
  std::vector<ManifestEntry> entries;
  ManifestEntry& current() { return entries.back(); }
  const ManifestEntry& current() const { return entries.back(); }
};

struct Manifest {
  std::vector<PathGroup> groups;
};

// The program-wide manifest, rebuilt by every read_manifest.
Manifest& manifest();

// Reads `path` into the manifest. Returns false after report_newer_format when the header is
// refused. `label` is the progress panel's first line.
bool read_manifest(const std::string& path, const std::string& label);

// Whether a release-relative path, once its first component is removed, stays inside the
// destination folder: false for a ".." component or a leading "/". The reader refuses such
// paths; code that is about to touch a local file can ask again.
bool path_stays_inside(const std::string& release_relative_path);

// Why reading the records stopped early: a record naming a folder (or nothing) instead of a
// file, or one whose path would leave the destination folder.
enum ManifestFault : int {
  manifest_fault_none = 0,
  manifest_fault_no_file = 1,
  manifest_fault_outside = 2,
};

// The record loop of read_manifest, without its alerts: reads the records from `file`'s cursor
// to the end into `into`, replacing what it held, and draws the progress panel every 500
// records. Stops at the first record that must not be acted on and returns its fault, with its
// path in `fault_path`; the records before it stay in `into`.
int read_manifest_records(MemFile& file, const std::string& label, Manifest& into,
                          std::string& fault_path);

// Whether an entry's platform applies to this installer's platform_code.
bool entry_applies(const ManifestEntry& entry, int platform_code);

// dest_dir_path + the path without its first component.
std::string local_path(const ManifestEntry& entry);
