// The download streams and the progress of a run.
//
// [SECTION] reset_streams
// [SECTION] executor_step
// [SECTION] Progress values and texts
#include "installer/streams.h"

#include <algorithm>
#include <cstdio>

#include "app/clock.h"
#include "files/paths.h"
#include "installer/executor.h"
#include "installer/manifest.h"
#include "installer/server_list.h"
#include "installer/session.h"
#include "net/http.h"

namespace {

bool step_finished_item = false;

int item_count() { return static_cast<int>(manifest().groups.size()); }

}  // namespace

// ---- [SECTION] reset_streams -------------------------------------------------------------------

void reset_streams() {
  InstallerSession& s = session();
  StreamState& st = s.stream_state;
  const int count = item_count();
  for (int slot = 0; slot < stream_slots; ++slot) {
    // A transfer left running by an ended run would otherwise be picked up by the next run's
    // first step on this slot and installed as whatever item that slot then holds.
    http_discard(http_slot_first_stream + slot);
    if (!st.slot_active[slot] || st.slot_item[slot] >= count) continue;
    const ItemNames names = item_names(manifest().groups[st.slot_item[slot]].current(), slot);
    std::string leftover = names.local_path + ".zip";
    delete_file(leftover);
    std::string partial = names.temp_file;
    delete_file(partial);
  }
  st.cursor = 0;
  for (int slot = 0; slot < stream_slots; ++slot) {
    st.slot_active[slot] = slot < 2;
    st.slot_wants_item[slot] = slot < 2;
    st.slot_item[slot] = 0;
  }
  st.start_time = program_clock();
  st.kb_in_flight = 0;
  st.kb_downloaded = 0;
  st.kb_installed = 0;
}

// ---- [SECTION] executor_step -------------------------------------------------------------------

int target_stream_count(float rate, int stream_count) {
  if (stream_count != 0) return stream_count;
  if (rate <= 50) return 2;
  if (rate <= 100) return 4;
  if (rate <= 150) return 6;
  if (rate <= 200) return 8;
  return 9;
}

int active_stream_count() {
  const StreamState& st = session().stream_state;
  int active = 0;
  for (int slot = 0; slot < stream_slots; ++slot) active += st.slot_active[slot] != 0;
  return active;
}

namespace {

// After slot `finished` completed an item: add a stream, retire this one, or give it the next
// item, so that the number of streams moves toward the target one step per finished item.
void adjust_streams(int finished) {
  InstallerSession& s = session();
  StreamState& st = s.stream_state;
  const float elapsed = std::max(program_clock() - st.start_time, 1.0f);
  const float rate = (st.kb_downloaded + st.kb_in_flight) / elapsed;
  const int target = target_stream_count(rate, s.stream_count);
  const int active = active_stream_count();
  if (active < target) {
    for (int slot = 0; slot < stream_slots; ++slot) {
      if (st.slot_active[slot]) continue;
      st.slot_active[slot] = 1;
      st.slot_wants_item[slot] = 1;
      break;
    }
  }
  if (active > target)
    st.slot_active[finished] = 0;
  else
    st.slot_wants_item[finished] = 1;
}

// One turn of slot `slot` on its item; returns whether the item is finished.
bool step_slot(int slot) {
  InstallerSession& s = session();
  StreamState& st = s.stream_state;
  ManifestEntry& entry = manifest().groups[st.slot_item[slot]].current();
  const ItemNames names = begin_item(entry, slot);
  st.slot_wants_item[slot] = 0;

  if (entry.remove) {
    delete_item(entry);
    return true;
  }
  if (!entry.fetch) {
    pass_over_item(entry);
    return true;
  }

  s.activity = activity_downloading;
  const int http_slot = http_slot_first_stream + slot;
  const int index = std::clamp(s.server_index, 0, max_servers - 1);
  switch (http_step(http_slot, s.server_hosts[index], names.server_path, names.temp_file)) {
    case http_running: {
      const http_request* request = http_slot_request(http_slot);
      if (!request)
        s.file_fraction = 0;
      else if (request->content_length <= 0)
        s.file_fraction = request->content_length == 0 ? 0 : -0.01f;
      else
        s.file_fraction = static_cast<float>(request->received) /
                          static_cast<float>(request->content_length);
      st.kb_in_flight += s.file_fraction * entry.download_kb;
      return false;
    }
    case http_failed:
      s.server_trouble = 1;
      if (st.cursor > st.slot_item[slot]) st.cursor = st.slot_item[slot];
      pick_server();
      return false;
    default:  // http_done
      s.server_trouble = 0;
      install_item(entry, slot);
      st.kb_downloaded += entry.download_kb;
      st.kb_installed += entry.install_kb;
      return true;
  }
}

}  // namespace

bool executor_step_finished_item() { return step_finished_item; }

int executor_step() {
  InstallerSession& s = session();
  StreamState& st = s.stream_state;
  const int count = item_count();
  step_finished_item = false;
  st.kb_in_flight = 0;

  for (int slot = 0; slot < stream_slots; ++slot) {
    if (!st.slot_active[slot]) continue;
    if (st.slot_wants_item[slot]) {
      st.slot_item[slot] = st.cursor;
      st.cursor = std::min(st.cursor + 1, count);
    }
    if (st.slot_item[slot] >= count) continue;
    if (!step_slot(slot)) continue;
    step_finished_item = true;
    adjust_streams(slot);
  }

  // A failed item ends the run as failed, even when it was the last one: the run is then not
  // complete, and the destination keeps its name.
  if (s.install_error) return s.install_error;
  for (int slot = 0; slot < stream_slots; ++slot)
    if (st.slot_active[slot] && st.slot_item[slot] < count) return 0;

  st.install_complete = 1;
  finish_run();
  return 1;
}

// ---- [SECTION] Progress values and texts -------------------------------------------------------

std::string size_text(float kilobytes) {
  const double megabytes = kilobytes * 0.001;
  char text[64];
  if (megabytes < 1000)
    std::snprintf(text, sizeof text, "%.1f Meg", megabytes);
  else
    std::snprintf(text, sizeof text, "%.1f Gig", megabytes * 0.001);
  return text;
}

void update_shown_fraction(float dt) {
  InstallerSession& s = session();
  const float installed =
      s.shown_install_kb > 0 ? s.stream_state.kb_installed / s.shown_install_kb : 0;
  const float blend = 5 * dt;
  s.shown_fraction = std::clamp((1 - blend) * s.shown_fraction + blend * installed, 0.0f, 1.0f);
}

std::string progress_file_line() {
  const InstallerSession& s = session();
  const std::string& f = s.current_file;
  switch (s.activity) {
    case activity_deleting:
      return "Deleting " + f + " because that file is no longer needed!";
    case activity_downloading: {
      const int percent = std::max(0, static_cast<int>(s.file_fraction * 100));
      return "Downloading and installing " + f + ", currently " + std::to_string(percent) +
             "% done with that file.";
    }
    case activity_already_have:
      return "duplicate filename through file " + f +
             ", but not installing it because you already have this file.";
    default:
      return "Browsing through file " + f +
             ", but not installing it because you don't need this file.";
  }
}

std::string progress_overall_line() {
  const InstallerSession& s = session();
  char percent[32];
  std::snprintf(percent, sizeof percent, "%4.1f", static_cast<double>(s.shown_fraction) * 100);
  return std::string(percent) + "% done with the internet install, having installed " +
         size_text(s.stream_state.kb_installed) + " of " + s.install_size_text +
         " for the internet install.";
}

std::string progress_time_line() {
  const InstallerSession& s = session();
  if (s.shown_fraction <= 0.01f) return "";
  const StreamState& st = s.stream_state;
  const double done = st.kb_downloaded + st.kb_in_flight;
  const double elapsed = std::max<double>(program_clock() - st.start_time, 1.0);
  const double rate = done / elapsed;
  const double remaining = std::max<double>(s.shown_download_kb - done, 0.0);
  // Nothing measured yet: the time left is unknown, shown as a very long time.
  const double seconds = rate > 0 ? std::min(remaining / rate, 1e9) : 1e9;
  std::string left;
  if (seconds < 120)
    left = std::to_string(static_cast<long>(seconds)) + " seconds";
  else if (seconds < 7200)
    left = std::to_string(static_cast<long>(seconds / 60)) + " minutes";
  else
    left = std::to_string(static_cast<long>(seconds / 3600)) + " hours";
  return "About " + left + " left in the install, downloading at " +
         std::to_string(static_cast<long>(rate)) + " kilobytes/second with " +
         std::to_string(active_stream_count()) + " simultaneous download streams.";
}
