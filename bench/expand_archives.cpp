// Expansion benchmark, against the standard command-line tools on the same archives in the same
// run: 200 zip payloads of 1 to 10 MB against `unzip -o -q`, and one 7z payload of 100 MB
// against `7zz x -y`; then the peak memory of a fresh process expanding one zip entry of 1 GB.
// Prints wall times, their ratios (ours / tool's; the goal is at most 1.0) and the peak
// resident size (goal at most 64 MB). Archives are generated once and kept in the work folder.
//
// Usage: bench_expand_archives [work folder] [--quick]
//   (default /tmp/velmora_expand_bench/; --quick uses 20 payloads, 20 MB and 100 MB)
//   bench_expand_archives --expand-one zip|7z <archive> <out folder>   (used by the bench)
//   bench_expand_archives --peak <command...>   (used by the bench)
//
// [SECTION] payload data and archives
// [SECTION] timing
// [SECTION] main
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "files/sevenzip.h"
#include "files/zip.h"

namespace {

namespace fs = std::filesystem;

constexpr int rounds = 3;

// [SECTION] payload data and archives -----------------------------------------------------------

// Something like release data: runs of words (compress well) between runs of noise (do not).
// Written in pieces, so that generating a large payload does not make this process large.
void write_payload(const fs::path& path, size_t size, unsigned seed) {
  static const char* words[] = {"terrain ", "runway ", "mesh ", "0.25000 ", "taxiway ", "-12.5 ",
                                "OBJECT ", "texture ", "\n", "vertex 3 ", "light ", "beacon "};
  std::ofstream file(path, std::ios::binary);
  std::string data;
  size_t written = 0;
  while (written < size) {
    seed = seed * 1103515245u + 12345u;
    size_t run = 2000 + (seed >> 16) % 30000;
    if ((seed >> 8) % 3 == 0) {
      for (size_t i = 0; i < run; ++i) {
        seed = seed * 1103515245u + 12345u;
        data += static_cast<char>(seed >> 24);
      }
    } else {
      while (run > 0) {
        seed = seed * 1103515245u + 12345u;
        const char* word = words[(seed >> 16) % 12];
        data += word;
        run -= std::min(run, std::strlen(word));
      }
    }
    const size_t piece = std::min(data.size(), size - written);
    file.write(data.data(), static_cast<std::streamsize>(piece));
    written += piece;
    data.clear();
  }
}

void run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

std::string shell_word(const fs::path& path) { return "'" + path.string() + "'"; }

struct Workload {
  std::vector<fs::path> zips;
  fs::path sevenzip;
  fs::path large_zip;
  uint64_t zip_bytes = 0;
};

// Makes the archives once; a marker file records that they are complete.
Workload make_workload(const fs::path& root, int payload_count, size_t sevenzip_size,
                       size_t large_size) {
  Workload work;
  const fs::path source = root / "source";
  const fs::path marker = root / "complete";
  const bool ready = fs::exists(marker);
  if (!ready) {
    std::printf("generating archives in %s ...\n", root.c_str());
    std::fflush(stdout);
    fs::remove_all(root);
    fs::create_directories(source);
    fs::create_directories(root / "zips");
  }
  for (int i = 0; i < payload_count; ++i) {
    const size_t size = (1 + static_cast<size_t>(i) * 7919 % 10) * 1000 * 1000 - i * 1000;
    const std::string name = "payload_" + std::to_string(i) + ".dat";
    work.zips.push_back(root / "zips" / (name + ".zip"));
    work.zip_bytes += size;
    if (ready) continue;
    write_payload(source / name, size, static_cast<unsigned>(i + 1));
    run("cd " + shell_word(source) + " && zip -q -X " + shell_word(work.zips.back()) + " " + name);
    fs::remove(source / name);
  }
  work.sevenzip = root / "scenery.dsf.7z";
  work.large_zip = root / "large.zip";
  if (!ready) {
    write_payload(source / "scenery.dsf", sevenzip_size, 99);
    // LZMA, the method the release payloads use.
    run("cd " + shell_word(source) + " && 7zz a -bd -bso0 -bsp0 -m0=LZMA " + shell_word(work.sevenzip) +
        " scenery.dsf");
    fs::remove(source / "scenery.dsf");
    write_payload(source / "large.bin", large_size, 1234);
    run("cd " + shell_word(source) + " && zip -q -X -1 " + shell_word(work.large_zip) + " large.bin");
    fs::remove(source / "large.bin");
    std::ofstream(marker) << "ok\n";
  }
  return work;
}

// [SECTION] timing ------------------------------------------------------------------------------

double seconds_of(const std::function<void()>& body) {
  auto start = std::chrono::steady_clock::now();
  body();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A fresh output folder for each timed run, with earlier writes flushed, so every run starts
// from the same state.
void fresh_folder(const fs::path& folder) {
  fs::remove_all(folder);
  fs::create_directories(folder);
  sync();
}

// Runs `argv` as a child and prints its peak resident size in kilobytes. Started afresh through
// exec, this process is small, so the child's peak is the child's own (a child's peak includes
// the size of the process it was started from).
int print_peak(char** argv) {
  pid_t child = fork();
  if (child == 0) {
    execvp(argv[0], argv);
    _exit(127);
  }
  int status = 0;
  struct rusage usage{};
  wait4(child, &status, 0, &usage);
  std::printf("%ld\n", usage.ru_maxrss);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}

// The peak resident size in MB of `command` (a shell command line), measured by print_peak.
double peak_megabytes(const std::string& self, const std::string& command) {
  FILE* pipe = popen((shell_word(self) + " --peak " + command).c_str(), "r");
  long kilobytes = -1;
  if (pipe == nullptr || std::fscanf(pipe, "%ld", &kilobytes) != 1 || pclose(pipe) != 0) {
    std::fprintf(stderr, "failed to measure: %s\n", command.c_str());
    std::exit(1);
  }
  return static_cast<double>(kilobytes) / 1024.0;
}

int expand_one(const std::string& kind, const std::string& archive, const std::string& out) {
  int result = kind == "zip" ? zip_to_file(archive, out) : sevenzip_to_folder(archive, out);
  if (result != 0) std::fprintf(stderr, "expansion failed with %d\n", result);
  return result == 0 ? 0 : 1;
}

}  // namespace

// [SECTION] main --------------------------------------------------------------------------------

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--expand-one") return expand_one(argv[2], argv[3], argv[4]);
  if (argc > 2 && std::string(argv[1]) == "--peak") return print_peak(argv + 2);
  const std::string self = fs::read_symlink("/proc/self/exe");

  fs::path root = "/tmp/velmora_expand_bench/";
  bool quick = false;
  for (int i = 1; i < argc; ++i) {
    if (std::string(argv[i]) == "--quick") {
      quick = true;
    } else if (argv[i][0] == '-') {
      std::fprintf(stderr, "usage: %s [work folder] [--quick]\n", argv[0]);
      return 2;
    } else {
      root = argv[i];
    }
  }
  if (quick) root /= "quick";
  const Workload work = make_workload(root, quick ? 20 : 200, quick ? 20'000'000 : 100'000'000,
                                      quick ? 100'000'000 : 1'000'000'000);
  const fs::path out = root / "out";
  const std::string out_folder = out.string() + "/";

  // 200 zip payloads.
  double ours = 1e9, ours_signed = 1e9, tool = 1e9;
  for (int round = 0; round < rounds; ++round) {
    fresh_folder(out);
    tool = std::min(tool, seconds_of([&] {
      for (const fs::path& zip : work.zips) run("unzip -o -q " + shell_word(zip) + " -d " + shell_word(out));
    }));
    fresh_folder(out);
    ours = std::min(ours, seconds_of([&] {
      for (const fs::path& zip : work.zips)
        if (zip_to_file(zip.string(), out_folder) != 0) std::exit(1);
    }));
    fresh_folder(out);
    ours_signed = std::min(ours_signed, seconds_of([&] {
      std::vector<ExpandedFile> written;
      ExpandOptions options;
      options.written = &written;
      for (const fs::path& zip : work.zips)
        if (zip_to_file(zip.string(), out_folder, options) != 0) std::exit(1);
    }));
  }
  std::printf("zip: %zu payloads, %.0f MB: unzip -o -q %.3f s, zip_to_file %.3f s (ratio %.2f), "
              "with signatures %.3f s (ratio %.2f)\n",
              work.zips.size(), work.zip_bytes / 1e6, tool, ours, ours / tool, ours_signed,
              ours_signed / tool);

  // One 7z payload.
  ours = ours_signed = tool = 1e9;
  for (int round = 0; round < rounds; ++round) {
    fresh_folder(out);
    tool = std::min(tool, seconds_of([&] {
      run("7zz x -y -bd -bso0 -bsp0 -o" + shell_word(out) + " " + shell_word(work.sevenzip));
    }));
    fresh_folder(out);
    ours = std::min(ours, seconds_of([&] {
      if (sevenzip_to_folder(work.sevenzip.string(), out_folder) != 0) std::exit(1);
    }));
    fresh_folder(out);
    ours_signed = std::min(ours_signed, seconds_of([&] {
      std::vector<ExpandedFile> written;
      ExpandOptions options;
      options.written = &written;
      if (sevenzip_to_folder(work.sevenzip.string(), out_folder, options) != 0) std::exit(1);
    }));
  }
  std::printf("7z: %.0f MB payload: 7zz x -y %.3f s, sevenzip_to_folder %.3f s (ratio %.2f), "
              "with signatures %.3f s (ratio %.2f)\n",
              (quick ? 20e6 : 100e6) / 1e6, tool, ours, ours / tool, ours_signed,
              ours_signed / tool);

  // Peak memory of one large entry, in a fresh process each.
  fresh_folder(out);
  const double peak = peak_megabytes(
      self, shell_word(self) + " --expand-one zip " + shell_word(work.large_zip) + " " + shell_word(out_folder));
  fresh_folder(out);
  const double peak_7z = peak_megabytes(
      self, shell_word(self) + " --expand-one 7z " + shell_word(work.sevenzip) + " " + shell_word(out_folder));
  fresh_folder(out);
  const double peak_unzip =
      peak_megabytes(self, "unzip -o -q " + shell_word(work.large_zip) + " -d " + shell_word(out));
  std::printf("peak memory: zip entry of %.0f MB %.1f MB (goal at most 64; unzip %.1f MB), "
              "7z payload %.1f MB\n",
              (quick ? 100e6 : 1e9) / 1e6, peak, peak_unzip, peak_7z);
  fs::remove_all(out);
  return 0;
}
