// Writes the sample release tree: folders and names like a simulator's, sizes spread unevenly
// (scenery tiles are the largest), contents that compress about as well as real data does.
#include "sample_tree.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

struct Category {
  const char* folder;  // below the top folder, ending in "/"
  const char* stem;
  const char* ending;
  int weight;          // relative size of its files
  bool text;           // text-like contents (compress well) or binary-like ones
};

const Category categories[] = {
    {"Aircraft/General Aviation/Cirrus Hawk/", "hawk_", ".acf", 4, true},
    {"Aircraft/Heavy Metal/Longhaul 900/", "longhaul_", ".acf", 6, true},
    {"Aircraft/Gliders/Kestrel/", "kestrel_", ".obj", 3, false},
    {"Airfoils/", "NACA ", ".afl", 1, true},
    {"Instructions/", "manual part ", ".txt", 2, true},
    {"Resources/sounds/engine/", "engine_", ".wav", 5, false},
    {"Resources/default data/", "earth_nav_", ".dat", 3, true},
    {"Resources/bitmaps/cockpit/", "panel_", ".png", 3, false},
    {"Global Scenery/Terrain/+40-080/", "+4", ".dsf", 12, false},
    {"Custom Scenery/Sample Airport/", "apt_", ".dat", 2, true},
};

uint64_t mix(uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  x *= 0xc4ceb9fe1a85ec53ULL;
  x ^= x >> 33;
  return x;
}

const char* const words[] = {"throttle", "aileron", "flap",    "rudder",  "trim",   "mixture",
                             "altitude", "heading", "runway",  "taxiway", "vector", "approach",
                             "beacon",   "gear",    "spoiler", "elevator"};

void fill(std::vector<char>& data, uint64_t state, bool text) {
  size_t i = 0;
  while (i < data.size()) {
    state = mix(state + 0x9e3779b97f4a7c15ULL);
    if (text) {
      const char* word = words[state % 16];
      char line[96];
      int n = std::snprintf(line, sizeof line, "%s %u %s\n", word,
                            static_cast<unsigned>((state >> 8) % 100000), words[(state >> 40) % 16]);
      for (int k = 0; k < n && i < data.size(); ++k) data[i++] = line[k];
    } else {
      // Bytes from a narrow range with runs, so they deflate to roughly half.
      for (int k = 0; k < 8 && i < data.size(); ++k) {
        unsigned char byte = static_cast<unsigned char>((state >> (k * 8)) & 0x3f);
        int run = 1 + static_cast<int>((state >> (k * 3)) & 3);
        for (int r = 0; r < run && i < data.size(); ++r) data[i++] = static_cast<char>(byte);
      }
    }
  }
}

int make_folders(const std::string& path) {
  std::string partial;
  for (size_t i = 0; i <= path.size(); ++i) {
    if ((i == path.size() || path[i] == '/') && !partial.empty() &&
        mkdir(partial.c_str(), 0755) != 0 && errno != EEXIST)
      return errno;
    if (i < path.size()) partial += path[i];
  }
  return 0;
}

bool write_file(const std::string& path, const std::vector<char>& data, mode_t mode,
                std::string& error) {
  FILE* out = std::fopen(path.c_str(), "wb");
  if (!out || std::fwrite(data.data(), 1, data.size(), out) != data.size() ||
      std::fclose(out) != 0) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  if (chmod(path.c_str(), mode) != 0) {
    error = "cannot set the mode of " + path + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

}  // namespace

int write_sample_tree(const SampleOptions& options, std::string& error) {
  std::string top = options.out;
  while (top.size() > 1 && top.back() == '/') top.pop_back();
  top += '/';
  const int category_count = static_cast<int>(sizeof categories / sizeof categories[0]);

  // One application file per platform, then the categories in turn.
  struct Planned {
    std::string path;
    long long weight;
    bool text;
    mode_t mode;
  };
  std::vector<Planned> planned = {
      {"Velmora-linux", 8, false, 0755},
      {"Velmora.exe", 8, false, 0644},
      {"Velmora.app/Contents/MacOS/Velmora", 8, false, 0755},
      {"Output/situations/Standard Circuit.sit", 1, true, 0644},
  };
  for (int i = 0; static_cast<int>(planned.size()) < options.files; ++i) {
    const Category& c = categories[i % category_count];
    uint64_t h = mix(static_cast<uint64_t>(i) * 7919 + 17);
    char name[64];
    std::snprintf(name, sizeof name, "%s%03d%s", c.stem, i / category_count, c.ending);
    planned.push_back({std::string(c.folder) + name, c.weight * static_cast<long long>(1 + h % 5),
                       c.text, 0644});
  }
  long long total_weight = 0;
  for (const Planned& p : planned) total_weight += p.weight;
  const long long total_bytes = options.megabytes * 1000 * 1000;

  std::vector<char> data;
  for (size_t i = 0; i < planned.size(); ++i) {
    const Planned& p = planned[i];
    std::string path = top + p.path;
    if (int code = make_folders(path.substr(0, path.rfind('/')))) {
      error = "cannot create the folder of " + path + ": " + std::strerror(code);
      return 1;
    }
    data.resize(static_cast<size_t>(total_bytes * p.weight / total_weight));
    fill(data, mix(options.seed * 1000003ULL + i), p.text);
    if (!write_file(path, data, p.mode, error)) return 1;
  }
  return 0;
}
