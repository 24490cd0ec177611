// The local scan and the install plan: compares the release's manifest with the destination
// folder (signatures, the download and install totals, whether the folder takes the release's
// name) and, when the user starts an install, decides for every file whether to fetch it, delete
// it or leave it alone.
#pragma once
#include <string>

// The label the installer's frame passes to scan_destination.
constexpr const char* scan_label =
    "Scanning directory text file to see if you already have Velmora installed...";

// Reads the manifest at `manifest_path` and examines the destination. Returns phase_no_release
// when the manifest was refused, phase_planned when the plan is ready. Runs to its end inside
// the call, drawing the progress panel through the front end as it goes.
int scan_destination(const std::string& manifest_path, const std::string& label);

// How the examine pass signs files. Both give the same signatures, totals and panel calls.
enum class Signing {
  in_order,    // each file signed on the main thread in turn
  on_workers,  // files mapped on the main thread and hashed by the worker pool, results and
               // panel calls still taken in manifest order
};

// The examine pass over the manifest already read: signs every current entry's local file,
// sets sig_have and same, and adds the needed entries to the session's totals and
// rename_needed. scan_destination uses the workers when the pool has any.
void examine_destination(const std::string& label, Signing signing);

// Sets every current entry's fetch and remove flags, asking the front end about locally
// modified files. Returns false when the user cancelled the whole installation; the entries
// decided before the cancel keep their flags.
bool decide_modified_files();
