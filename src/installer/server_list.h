// The server list and release selection: the small list on the update host that names the
// current release and its download servers, the random choice of a server, the fetch of the
// release's manifest archive, and the refusal of files in a format newer than this installer.
#pragma once
#include <string>

class MemFile;

// Where the list lives on the update host, and the manifest archive's name on a server.
constexpr const char* server_list_path = "/serverlist9.txt";
constexpr const char* server_list_file_name = "serverlist9.txt";
constexpr const char* manifest_archive_name = "directory.txt.zip";
constexpr const char* manifest_file_name = "directory.txt";
constexpr int server_list_version = 820;

// One polled step of the server-list download (HTTP slot 0). When the list has arrived it is
// read into the session (release name, servers, server_count) and a server is picked; a list in
// an unknown format is refused with report_newer_format. A failed download changes nothing, so
// the next call starts a new one.
void fetch_server_list();

// Reads the downloaded list at `path` into the session and returns true; false (changing
// nothing) when the file cannot be opened or is not a version-820 list of kind SERVERS.
bool read_server_list(const std::string& path);

// Reads the records that follow the list's header, from the file's cursor to ENDOFLIST or the
// end of the file, into the session: server_count starts at 0 and at most ten servers are kept.
// Does not pick a server.
void read_server_records(MemFile& file);

// Sets server_index to a random server, favouring the first ones of the list.
void pick_server();
// The index pick_server gives for a draw r in [0, 1) among `count` servers.
int server_for_draw(double r, int count);

// One polled step of the manifest archive download (HTTP slot 1) from server_index. Returns
// the HTTP result: 0 running, 1 done (the archive is in temp_dir), 2 failed.
int fetch_manifest();

// The refusal of a file in a format newer than this installer knows: the too-new alert, then the
// run ends and the program is asked to quit.
void report_newer_format(const std::string& path);
