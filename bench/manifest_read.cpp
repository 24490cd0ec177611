// Benchmark: read_manifest on a generated 100,000-record directory file against awk splitting the
// same file into fields, both measured in this run; prints the times and their ratios. Elapsed
// time and processor time (user + system) are both reported: on a busy machine the elapsed time
// of either side mostly measures waiting for a processor. The first call in the process also
// reports its page faults and the heap the manifest took, since it touches fresh memory.
//
//   bench_manifest_read [records]          generate into a scratch file, measure, remove it
//   bench_manifest_read --generate PATH [records]   only write the generated file to PATH
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>

#include "installer/manifest.h"

extern char** environ;

namespace {

// A release-like file: folders of a few dozen files, signatures from a fixed generator, some
// paths listed twice in a row (older versions), some files gone, names with blanks.
void generate(const std::string& path, int records) {
  std::ofstream out(path, std::ios::binary);
  out << "I\n900 version\nINSTALLER\n";
  uint64_t state = 0x9e3779b97f4a7c15ull;
  auto next = [&state] {
    state ^= state << 13;
    state ^= state >> 7;
    state ^= state << 17;
    return state;
  };
  static const char* const areas[] = {"Aircraft/General Aviation", "Resources/default scenery",
                                      "Custom Scenery/Airports", "Resources/plugins",
                                      "Instructions/Manuals"};
  char line[256];
  std::string previous_name;
  for (int i = 0; i < records; ++i) {
    if (i % 40 == 0) {
      out << "DIR Velmora 9/" << areas[(i / 40) % 5] << "/Folder " << i / 40 << "/\n";
    }
    std::string name;
    if (i % 20 == 7 && !previous_name.empty()) {
      name = previous_name;  // an older version of the file just listed
    } else {
      std::snprintf(line, sizeof line, "object part %05d.obj", i);
      name = line;
    }
    char signature[33];
    if (i % 50 == 13) {
      std::strcpy(signature, "GONE");
    } else {
      std::snprintf(signature, sizeof signature, "%016llx%016llx",
                    static_cast<unsigned long long>(next()),
                    static_cast<unsigned long long>(next()));
    }
    unsigned long long size = next() % 90000;
    std::snprintf(line, sizeof line, "FILE 0 %d 0 %llu %llu %s %s\n", (i % 7 == 0) ? 3 : 0,
                  size / 3, size, signature, name.c_str());
    out << line;
    previous_name = name;
  }
}

struct Timing {
  double wall = 0;
  double cpu = 0;  // user + system
  long page_faults = 0;
  double heap_mb = 0;  // growth of the bytes in use on the heap
};

double seconds(const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec * 1e-6; }

double process_cpu() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec * 1e-9;
}

double wall_clock() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs awk '{n+=NF} END {print n}' on the file with its output thrown away.
bool time_awk(const std::string& path, Timing& timing) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  const char* argv[] = {"awk", "{n+=NF} END {print n}", path.c_str(), nullptr};
  double start = wall_clock();
  pid_t pid;
  int failed = posix_spawnp(&pid, "awk", &actions, nullptr, const_cast<char**>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (failed != 0) return false;
  int status = 0;
  rusage usage;
  if (wait4(pid, &status, 0, &usage) != pid) return false;
  timing.wall = wall_clock() - start;
  timing.cpu = seconds(usage.ru_utime) + seconds(usage.ru_stime);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

long minor_faults() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_minflt;
}

bool time_read(const std::string& path, Timing& timing) {
  const size_t heap_before = mallinfo2().uordblks;
  const long faults_before = minor_faults();
  double start = wall_clock();
  double start_cpu = process_cpu();
  bool ok = read_manifest(path, "Reading");
  timing.cpu = process_cpu() - start_cpu;
  timing.wall = wall_clock() - start;
  timing.page_faults = minor_faults() - faults_before;
  timing.heap_mb = (static_cast<double>(mallinfo2().uordblks) - static_cast<double>(heap_before)) / 1e6;
  return ok;
}

void keep_best(Timing& best, const Timing& t) {
  if (t.wall < best.wall) best.wall = t.wall;
  if (t.cpu < best.cpu) best.cpu = t.cpu;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--generate") == 0) {
    generate(argv[2], argc >= 4 ? std::atoi(argv[3]) : 100000);
    return 0;
  }
  int records = argc >= 2 ? std::atoi(argv[1]) : 100000;

  char pattern[] = "/tmp/bench_manifest.XXXXXX";
  if (!mkdtemp(pattern)) return 1;
  std::string path = std::string(pattern) + "/directory.txt";
  generate(path, records);

  constexpr int rounds = 7;
  Timing first_read, best_read{1e9, 1e9}, best_awk{1e9, 1e9};
  size_t groups = 0;
  for (int round = 0; round < rounds; ++round) {
    Timing read, awk;
    if (!time_read(path, read)) return 1;
    if (round == 0) first_read = read;
    groups = manifest().groups.size();
    keep_best(best_read, read);
    if (!time_awk(path, awk)) {
      std::fprintf(stderr, "awk could not be run\n");
      return 1;
    }
    keep_best(best_awk, awk);
  }
  std::ifstream sized(path, std::ios::binary | std::ios::ate);
  long long bytes = static_cast<long long>(sized.tellg());
  unlink(path.c_str());
  rmdir(pattern);

  std::printf("records %d, groups %zu, file %lld bytes, best of %d rounds\n", records, groups,
              bytes, rounds);
  std::printf("read_manifest: elapsed %.2f ms, processor %.2f ms (first call %.2f / %.2f ms)\n",
              best_read.wall * 1e3, best_read.cpu * 1e3, first_read.wall * 1e3,
              first_read.cpu * 1e3);
  std::printf("first call: %ld page faults, manifest %.1f MB on the heap (%.0f bytes a record)\n",
              first_read.page_faults, first_read.heap_mb, first_read.heap_mb * 1e6 / records);
  std::printf("awk field split: elapsed %.2f ms, processor %.2f ms\n", best_awk.wall * 1e3,
              best_awk.cpu * 1e3);
  std::printf("ratio read_manifest / awk: elapsed %.3f, processor %.3f (%s)\n",
              best_read.wall / best_awk.wall, best_read.cpu / best_awk.cpu,
              best_read.wall < best_awk.wall ? "faster than awk" : "NOT faster than awk");
  return 0;
}
