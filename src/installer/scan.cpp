// The local scan and the install plan.
//
// [SECTION] Totals of one examined entry
// [SECTION] Examine pass, in order and on the worker pool
// [SECTION] scan_destination
// [SECTION] decide_modified_files
#include "installer/scan.h"


#include <algorithm>
#include <deque>
#include <future>
#include <memory>

#include "app/log.h"
#include "app/threads.h"
#include "files/mem_file.h"
#include "files/signature.h"
#include "installer/decisions.h"
#include "installer/executor.h"
#include "installer/frontend.h"
#include "installer/manifest.h"
#include "installer/session.h"

namespace {

const std::string sig_none = "NONE";
const std::string sig_gone = "GONE";

// ---- [SECTION] Totals of one examined entry --------------------------------------------------

// Once sig_have is known: whether the local file is the wanted one, and what the entry adds to
// the plan when it is needed.
void settle_entry(ManifestEntry& entry) {
  InstallerSession& s = session();
  entry.same = entry.sig_want == entry.sig_have;
  if (entry.sig_want == sig_gone || entry.same || !entry_applies(entry, s.platform_code)) return;
  s.download_kb_total += entry.download_kb;
  s.install_kb_total += entry.install_kb;
  if (entry.platform >= 1 && entry.platform <= 3) s.rename_needed = 1;
}

// The panel is redrawn about 200 times per pass at most, whatever the number of groups.
size_t panel_interval(size_t group_count) { return std::max<size_t>(1, group_count / 200); }

void draw_examine_panel(size_t group, size_t group_count, const std::string& label,
                        const std::string& path) {
  if (group % panel_interval(group_count) != 0) return;
  frontend().progress_panel(0, static_cast<float>(group), static_cast<float>(group_count), 1,
                            label, path);
}

// ---- [SECTION] Examine pass, in order and on the worker pool ---------------------------------

void examine_in_order(Manifest& release, const std::string& label) {
  const size_t count = release.groups.size();
  for (size_t group = 0; group < count; ++group) {
    ManifestEntry& entry = release.groups[group].current();
    const std::string path = local_path(entry);
    draw_examine_panel(group, count, label, path);
    entry.sig_have = sig_none;
    file_signature(path, entry.sig_have);
    settle_entry(entry);
  }
}

// One file being signed on a worker. The mapping is made and released on the main thread, so
// the job itself never opens a file or writes a log line.
struct PendingSignature {
  ManifestEntry* entry = nullptr;
  std::unique_ptr<MemFile> file;
  std::string digest;
  std::future<void> done;
};

void settle_pending(PendingSignature& pending) {
  ManifestEntry& entry = *pending.entry;
  entry.sig_have = sig_none;
  if (pending.done.valid() && wait_job(pending.done) && !pending.digest.empty())
    entry.sig_have = pending.digest;
  pending.file.reset();
  settle_entry(entry);
}

void examine_on_workers(Manifest& release, const std::string& label) {
  // Enough files in flight to keep every worker busy while the main thread maps the next ones
  // and draws the panel; each holds one mapping and one descriptor.
  const size_t in_flight_limit = 2 * static_cast<size_t>(std::max(1, worker_count())) + 2;
  std::deque<std::unique_ptr<PendingSignature>> in_flight;

  const size_t count = release.groups.size();
  for (size_t group = 0; group < count; ++group) {
    ManifestEntry& entry = release.groups[group].current();
    const std::string path = local_path(entry);
    draw_examine_panel(group, count, label, path);

    auto pending = std::make_unique<PendingSignature>();
    pending->entry = &entry;
    pending->file = std::make_unique<MemFile>(path);
    if (pending->file->exists()) {
      PendingSignature* job = pending.get();
      job->done = submit_job([job] { job->digest = signature_of_bytes(job->file->begin(), job->file->size()); });
    } else {
      pending->file.reset();
    }
    in_flight.push_back(std::move(pending));

    // Results are taken strictly in manifest order, so the totals add up exactly as in order.
    while (in_flight.size() >= in_flight_limit) {
      settle_pending(*in_flight.front());
      in_flight.pop_front();
    }
  }
  while (!in_flight.empty()) {
    settle_pending(*in_flight.front());
    in_flight.pop_front();
  }
}

}  // namespace

void examine_destination(const std::string& label, Signing signing) {
  if (signing == Signing::on_workers)
    examine_on_workers(manifest(), label);
  else
    examine_in_order(manifest(), label);
}

// ---- [SECTION] scan_destination ----------------------------------------------------------------

int scan_destination(const std::string& manifest_path, const std::string& label) {
  InstallerSession& s = session();
  deleted_folders().clear();
  s.download_kb_total = 0;
  s.install_kb_total = 0;
  if (!read_manifest(manifest_path, label)) return phase_no_release;
  examine_destination(label, worker_count() > 0 ? Signing::on_workers : Signing::in_order);
  return phase_planned;
}

// ---- [SECTION] decide_modified_files -------------------------------------------------------------

namespace {

bool is_known_signature(const PathGroup& group, const std::string& signature) {
  for (const ManifestEntry& version : group.entries)
    if (version.sig_want == signature) return true;
  return false;
}

}  // namespace

bool decide_modified_files() {
  FolderAnswers answers;
  for (PathGroup& group : manifest().groups) {
    ManifestEntry& entry = group.current();
    entry.fetch = false;
    entry.remove = false;
    if (!entry_applies(entry, session().platform_code)) continue;

    const std::string& want = entry.sig_want;
    const std::string& have = entry.sig_have;
    const bool gone = want == sig_gone;
    bool needed = true;
    if (have == sig_none) {
      needed = !gone;
    } else if (have == want) {
      needed = false;
    } else if (!is_known_signature(group, have)) {
      // Neither the wanted file nor any version the release ever had: changed by the user.
      const std::string path = local_path(entry);
      app_log() << "File: " << path << "  sig_want=" << want << "  sig_have=" << have << "\n";
      switch (resolve_modified(answers, path, gone)) {
        case ModifiedDecision::needed:
          break;
        case ModifiedDecision::not_needed:
          needed = false;
          break;
        case ModifiedDecision::cancel:
          return false;
      }
    }
    entry.fetch = needed && !gone;
    entry.remove = needed && gone;
  }
  return true;
}
