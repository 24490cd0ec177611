// The installer session: the one program-wide record of a run. Main thread only.
#pragma once
#include <string>

enum Phase : int {
  phase_fetching = 0,        // the manifest has not been read
  phase_manifest_ready = 1,  // the manifest archive is expanded; the scan runs in this frame
  phase_no_release = 2,      // the manifest was refused
  phase_planned = 3,         // the destination was scanned and the plan is ready
};

enum RunState : int {
  run_idle = 0,        // waiting for Install
  run_installing = 1,  // the executor works through the plan
  run_ended = 2,       // finished, failed or quitting
};

enum Activity : int {
  activity_deleting = 0,
  activity_downloading = 1,
  activity_already_have = 2,
  activity_not_needed = 3,
};

constexpr int max_servers = 10;
constexpr int stream_slots = 4;

// The download streams and their counters.
struct StreamState {
  int cursor = 0;
  int install_complete = 0;
  int slot_active[stream_slots] = {};
  int slot_wants_item[stream_slots] = {};
  int slot_item[stream_slots] = {};
  float start_time = 0;
  float kb_in_flight = 0;
  float kb_downloaded = 0;
  float kb_installed = 0;
};

struct InstallerSession {
  // Destination and source
  std::string dest_dir_path;
  std::string release_name = "Not Yet Scanned";
  std::string temp_dir = "/tmp/";
  std::string dvd_path;
  int platform_code = 3;

  // Servers
  int server_count = -1;
  int server_index = 0;
  std::string server_hosts[max_servers];
  std::string server_paths[max_servers];
  std::string server_names[max_servers];

  // Progress of the run
  int phase = phase_fetching;
  int run_state = run_idle;
  int server_trouble = 0;
  int install_error = 0;
  int activity = activity_not_needed;
  std::string current_file;
  std::string failed_file;
  float file_fraction = 0;
  float download_kb_total = 0;
  float install_kb_total = 0;
  int rename_needed = 0;
  StreamState stream_state;

  // Settings bound to preferences
  int use_max_cpu = 0;
  int rename_folder = 1;
  int stream_count = 0;
  int log_actions = 0;
  int always_ask_dir = 0;
  std::string proxy_host;
  std::string proxy_port;
  int proxy_port_int = 0;

  // Screen state
  float shown_fraction = 0;
  float shown_install_kb = 0;
  float shown_download_kb = 0;
  std::string install_size_text;
  std::string free_space_text;
  float free_space_kb = -1;
  int install_allowed = 1;
  int spinner_frame = 8;
};

InstallerSession& session();
