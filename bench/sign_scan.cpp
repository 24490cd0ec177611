// Signing benchmark: the scan's examine pass over a generated tree of about 1.1 GB in 1,000
// files (page cache warm), against md5sum over the same files in the same run. Prints the
// wall-time ratios of the in-order pass and of the pass on the worker pool, and checks that both
// give the same signatures and the same progress-panel calls.
//
// Usage: bench_sign_scan [tree folder]   (default /tmp/velmora_sign_bench/; kept between runs)
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "app/threads.h"
#include "installer/frontend.h"
#include "installer/manifest.h"
#include "installer/scan.h"
#include "installer/session.h"

namespace {

namespace fs = std::filesystem;

constexpr int file_count = 1000;
constexpr int rounds = 3;

struct PanelCall {
  float position, end;
  std::string line3;
  bool operator==(const PanelCall& other) const {
    return std::tie(position, end, line3) == std::tie(other.position, other.end, other.line3);
  }
};

class RecordingFrontend final : public Frontend {
 public:
  std::vector<PanelCall> calls;
  void progress_panel(float, float position, float end, int, const std::string&,
                      const std::string& line3) override {
    calls.push_back({position, end, line3});
  }
  int ask_modified(const std::string&, bool) override { return 3; }
  bool show_terms() override { return false; }
  bool choose_folder(std::string&) override { return false; }
  void open_web_page(const std::string&) override {}
};

std::string relative_name(int i) {
  return "Folder " + std::to_string(i % 20) + "/file_" + std::to_string(i) + ".dat";
}

size_t file_size(int i) { return (static_cast<size_t>(i) * 7919 % 2000 + 100) * 1000; }

// Writes the tree once; a marker file says it is complete.
uint64_t make_tree(const fs::path& root) {
  uint64_t total = 0;
  for (int i = 0; i < file_count; ++i) total += file_size(i);
  if (fs::exists(root / "complete")) return total;
  fs::remove_all(root);
  std::vector<uint64_t> block(2000 * 1000 / 8 + 1);
  uint64_t state = 0x9e3779b97f4a7c15ull;
  for (int i = 0; i < file_count; ++i) {
    for (uint64_t& word : block) {
      state ^= state << 13, state ^= state >> 7, state ^= state << 17;
      word = state;
    }
    const fs::path file = root / relative_name(i);
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(block.data()),
                                                static_cast<std::streamsize>(file_size(i)));
  }
  std::ofstream(root / "complete") << "ok\n";
  return total;
}

double seconds_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// CPU seconds (user and system) of this process so far, over all its threads.
double process_cpu_seconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double time_md5sum(const fs::path& list) {
  const std::string command = "xargs -0 md5sum -- < '" + list.string() + "' > /dev/null";
  auto start = std::chrono::steady_clock::now();
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "md5sum failed\n");
    std::exit(1);
  }
  return seconds_since(start);
}

void fill_manifest() {
  manifest().groups.clear();
  for (int i = 0; i < file_count; ++i) {
    ManifestEntry entry;
    entry.path = "Velmora 9/" + relative_name(i);
    entry.sig_want = "00000000000000000000000000000000";
    entry.download_kb = entry.install_kb = static_cast<float>(file_size(i)) / 1000;
    manifest().groups.push_back(PathGroup{{entry}});
  }
}

struct PassResult {
  double seconds = 0;
  double cpu_seconds = 0;
  std::vector<std::string> signatures;
  std::vector<PanelCall> calls;
};

PassResult time_examine(Signing signing) {
  RecordingFrontend front;
  set_frontend(&front);
  fill_manifest();
  const double cpu_start = process_cpu_seconds();
  auto start = std::chrono::steady_clock::now();
  examine_destination("Scanning", signing);
  PassResult result;
  result.seconds = seconds_since(start);
  result.cpu_seconds = process_cpu_seconds() - cpu_start;
  set_frontend(nullptr);
  for (const PathGroup& group : manifest().groups) result.signatures.push_back(group.current().sig_have);
  result.calls = std::move(front.calls);
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path root = argc > 1 ? fs::path(argv[1]) : fs::path("/tmp/velmora_sign_bench");
  const uint64_t total = make_tree(root);
  session().dest_dir_path = root.string() + "/";

  const fs::path list = root / "files.list";
  {
    std::ofstream out(list, std::ios::binary);
    for (int i = 0; i < file_count; ++i) out << (root / relative_name(i)).string() << '\0';
  }

  init_thread_system();
  start_workers();
  std::printf("tree: %d files, %.2f GB; workers: %d\n", file_count, total / 1e9, worker_count());

  time_md5sum(list);  // warms the page cache
  double md5sum_best = 1e9, in_order_best = 1e9, workers_best = 1e9;
  bool identical = true;
  for (int round = 0; round < rounds; ++round) {
    const double md5sum_seconds = time_md5sum(list);
    const PassResult in_order = time_examine(Signing::in_order);
    const PassResult workers = time_examine(Signing::on_workers);
    identical = identical && in_order.signatures == workers.signatures &&
                in_order.calls == workers.calls;
    std::printf("round %d: md5sum %.3f s, in order %.3f s (cpu %.3f s), on workers %.3f s (cpu %.3f s)\n",
                round + 1, md5sum_seconds, in_order.seconds, in_order.cpu_seconds, workers.seconds,
                workers.cpu_seconds);
    md5sum_best = std::min(md5sum_best, md5sum_seconds);
    in_order_best = std::min(in_order_best, in_order.seconds);
    workers_best = std::min(workers_best, workers.seconds);
  }
  stop_workers();

  std::printf("best of %d: md5sum %.3f s (%.0f MB/s)\n", rounds, md5sum_best,
              total / 1e6 / md5sum_best);
  std::printf("examine in order / md5sum:   %.3f (goal at most 1.05)\n", in_order_best / md5sum_best);
  std::printf("examine on workers / md5sum: %.3f (goal at most 0.65 on 2 cores)\n",
              workers_best / md5sum_best);
  std::printf("signatures and panel calls identical: %s\n", identical ? "yes" : "NO");
  return identical ? 0 : 1;
}
