// The maker's side of an update: turns a folder tree into a release that any static HTTP server
// can serve (directory.txt, directory.txt.zip and one payload archive per file), and writes the
// server list that points installers at it. Everything written here is read back by the
// installer's own readers, so the writers refuse what those readers could not take back exactly.
#pragma once
#include <string>
#include <vector>

struct PlatformRule {
  std::string pattern;  // shell glob on the path below the top folder ("*" also crosses "/")
  int code = 0;         // platform column: 0 every platform, 1 Mac, 2 Windows, 3 Linux, 6 Linux too
};

struct ReleaseOptions {
  std::string source;    // the release's top folder, e.g. ".../Velmora 9"
  std::string out;       // folder to write the release into (created when missing)
  std::string previous;  // the previous release's directory.txt, or empty
  std::vector<PlatformRule> platform_rules;  // first match wins; no match gives 0
  int zip_level = 6;     // deflate level of the zip payloads
  int threads = 0;       // payload workers; 0: one per processor
};

struct ReleaseSummary {
  int files = 0;          // current files with a payload
  int gone = 0;           // paths marked as no longer in the release
  int older_versions = 0; // older signatures kept for changed files
  long long payload_bytes = 0;
  long long file_bytes = 0;
};

// Writes the release. Returns 0, or 1 with `error` saying what went wrong.
int write_release(const ReleaseOptions& options, ReleaseSummary& summary, std::string& error);

struct ServerEntry {
  std::string host;    // host name, no trailing "/"
  std::string folder;  // folder of the releases on that host, beginning and ending with "/"
  std::string name;    // name shown to the user
};

// Writes serverlist9.txt naming `release_name` and the servers. Returns 0, or 1 with `error`.
int write_server_list(const std::string& path, const std::string& release_name,
                      const std::vector<ServerEntry>& servers, std::string& error);

// Kilobytes of 1000 bytes, rounded up, as the manifest's size columns hold them.
long long size_in_kb(long long bytes);
