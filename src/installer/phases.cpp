// The install phases: the per-frame logic of the installer, the actions of the screen's
// controls, and the status and message texts chosen from the session's state.
//
// [SECTION] Frame steps
// [SECTION] Actions
// [SECTION] Screen texts
#include "installer/phases.h"

#include <poll.h>

#include <cstdlib>

#include "app/alert.h"
#include "app/clock.h"
#include "app/shell.h"
#include "files/errors.h"
#include "files/paths.h"
#include "files/zip.h"
#include "installer/entry.h"
#include "installer/executor.h"
#include "installer/frontend.h"
#include "installer/scan.h"
#include "installer/server_list.h"
#include "installer/session.h"
#include "installer/streams.h"
#include "net/http.h"

namespace {

constexpr uint64_t time_slice_microseconds = 10000;

bool terms_accepted = false;

std::string manifest_archive_path() { return session().temp_dir + manifest_archive_name; }
std::string manifest_path() { return session().temp_dir + manifest_file_name; }

}  // namespace

// ---- [SECTION] Frame steps ---------------------------------------------------------------------

void frame_fetch_steps() {
  InstallerSession& s = session();
  if (s.server_count == -1) fetch_server_list();
  if (s.phase != phase_fetching || s.server_count <= 0 || shell().quit_requested) return;

  switch (fetch_manifest()) {
    case http_running:
      return;
    case http_failed:
      // Any server may serve the manifest; the next frame asks the one drawn here.
      s.server_index = std::rand() % s.server_count;
      return;
    default:
      break;
  }
  std::string archive = manifest_archive_path();
  const int result = zip_to_file(archive, s.temp_dir);
  if (result != 0) {
    show_alert(0, "DIR-scan: The installer cannot extract a file.", "Error: " + error_text(result),
               "Compressed File/" + archive, "Destination Path/" + s.temp_dir, t_alert, "main",
               210);
  } else {
    s.phase = phase_manifest_ready;
  }
  delete_file(archive);
}

void frame_scan_step() {
  InstallerSession& s = session();
  if (s.phase != phase_manifest_ready) return;
  s.phase = scan_destination(manifest_path(), scan_label);
}

void frame_time_slice() {
  InstallerSession& s = session();
  if (s.run_state != run_installing) return;
  const uint64_t deadline = microsecond_clock() + time_slice_microseconds;
  for (uint64_t now = microsecond_clock(); now < deadline; now = microsecond_clock()) {
    const int remaining_ms = static_cast<int>((deadline - now + 999) / 1000);
    if (s.run_state != run_installing) {
      // The slice keeps its length after the run ended; there is nothing left to step.
      poll(nullptr, 0, remaining_ms);
      continue;
    }
    if (executor_step() != 0) {
      s.run_state = run_ended;
      reset_streams();
      continue;
    }
    // Only downloads remain in progress: sleep on their sockets rather than stepping again
    // before anything can have arrived.
    if (!executor_step_finished_item()) http_wait(remaining_ms);
  }
}

void frame_screen_values() {
  InstallerSession& s = session();
  if (s.run_state == run_idle) {
    s.shown_fraction = 0;
    s.shown_install_kb = s.install_kb_total;
    s.shown_download_kb = s.download_kb_total;
    s.free_space_kb = -1;
    if (s.phase != phase_fetching && s.install_kb_total != 0) {
      s.install_size_text = size_text(s.shown_install_kb);
      s.free_space_text = size_text(s.free_space_kb);
    }
  } else if (s.run_state == run_installing) {
    update_shown_fraction(frame_step());
  }
  if (s.run_state != run_installing)
    s.spinner_frame = 21;
  else if (tick_100ms())
    s.spinner_frame = s.spinner_frame >= 23 || s.spinner_frame < 8 ? 8 : s.spinner_frame + 1;
}

void installer_logic_frame() {
  frame_fetch_steps();
  frame_scan_step();
  frame_time_slice();
  frame_screen_values();
}

// ---- [SECTION] Actions -------------------------------------------------------------------------

bool destination_changeable() { return session().run_state != run_installing; }

bool choose_new_destination() {
  InstallerSession& s = session();
  if (!destination_changeable() || !choose_destination()) return false;
  reset_streams();
  s.install_error = 0;
  s.run_state = run_idle;
  if (s.phase == phase_planned) {
    s.phase = phase_manifest_ready;
    frame_scan_step();
  }
  return true;
}

bool install_enabled() {
  const InstallerSession& s = session();
  return s.run_state == run_idle && s.install_allowed == 1 && s.phase == phase_planned &&
         s.install_kb_total > 0;
}

void start_install() {
  InstallerSession& s = session();
  if (!install_enabled()) return;
  reset_streams();
  s.install_error = 0;
  create_folders();
  if (show_terms()) s.run_state = run_installing;
  // The decisions are taken even when the terms were declined; a cancel keeps the run from
  // starting either way.
  if (!decide_modified_files()) s.run_state = run_idle;
}

void quit_installer() {
  reset_streams();
  session().run_state = run_ended;
  shell().quit_requested = 1;
}

void select_server(int index) {
  InstallerSession& s = session();
  if (index >= 0 && index < s.server_count) s.server_index = index;
}

bool show_terms() {
  if (terms_accepted) return true;
  terms_accepted = frontend().show_terms();
  return terms_accepted;
}

bool terms_were_accepted() { return terms_accepted; }

void accept_terms_for_run() { terms_accepted = true; }

// ---- [SECTION] Screen texts --------------------------------------------------------------------

namespace {

std::string checking_text() {
  const std::string start = "I am checking the net for the latest version of Velmora right now, ";
  const http_request* request = http_slot_request(http_slot_manifest);
  if (request && request->content_length < 0) return start + "and I am connecting to the server...";
  long long percent = 0;
  if (request && request->content_length > 0)
    percent = request->received * 100 / request->content_length;
  return start + "and I am " + std::to_string(percent) + "% done checking.";
}

}  // namespace

ScreenLine status_line() {
  const InstallerSession& s = session();
  if (s.stream_state.install_complete) return {"Installation Complete!", 13};
  if (s.server_count == -1) return {"Looking for servers... you need internet for this...", 46};
  if (s.server_count == 0) return {"I could not find any servers to get Velmora from!", 1};
  if (s.phase == phase_fetching) return {checking_text(), 46};
  if (s.phase == phase_manifest_ready)
    return {"I have downloaded the directory of files I need, and am now trying to read it...",
            46};
  if (s.phase == phase_no_release)
    return {"I could not find a release of Velmora on the net that this installer can read. "
            "Please get a new installer from the Corvane web site, or check your net service.",
            1};
  if (s.run_state == run_installing) return {"OK I am installing this now...", 46};
  if (is_existing_installation())
    return {"You have selected an earlier version of Velmora in the destination field below, so "
            "I will update that installation  by just grabbing new updated files!",
            46};
  return {"If you have an earlier version of Velmora 9 on your hard drive, choose that with the "
          "destination button below, and I will update that folder!",
          46};
}

void message_lines(ScreenLine lines[3]) {
  const InstallerSession& s = session();
  for (int i = 0; i < 3; ++i) lines[i] = ScreenLine{};
  if (s.run_state == run_installing) {
    lines[0].text = progress_file_line();
    lines[1].text = progress_overall_line();
    lines[2].text = progress_time_line();
  } else if (s.run_state == run_ended && s.install_error) {
    lines[0] = {"The installation was not completed because an error occurred.", 69};
    lines[1] = {"Velmora is not fully installed or updated and may not run correctly.", 69};
    lines[2] = {"Please try a different server, hard drive, or directory, or contact Customer "
                "Support for help with this problem.",
                69};
  } else if (s.run_state == run_ended) {
    lines[0].text = "Installation Complete!";
  } else if (s.phase == phase_fetching) {
    lines[0].text = "I am figuring out what the latest version of Velmora is right now...";
    lines[1].text = "This may take a moment as I download the latest list of Velmora files...";
  } else if (s.install_kb_total == 0) {
    lines[0].text =
        "Your copy of Velmora is already the latest version.  Click the destination button to "
        "pick a different installation of Velmora to update.";
    lines[1].text =
        "(Remember, the BETA installer only checks for the latest BETA version, and the FULL "
        "installer checks only for the latest FULL version of Velmora).";
    lines[2].text = "This is a beta installer.";
  } else {
    lines[0].text = "You are about to install " + s.install_size_text + " of files to get " +
                    s.release_name + ".";
  }
  if (s.server_trouble) {
    lines[0] = {"I can NOT download the file '" + s.failed_file + "'!", 69};
    lines[1] = {"Your internet connection may not be working, or the server could be undergoing "
                "maintainance or an upgrade right now.",
                69};
    lines[2] = {"I am trying another server now to see if I can still get you a download...", 69};
  }
}
