// velmora-publish: writes a release, or a server list, that any static HTTP server can serve.
//
//   velmora-publish release --source=DIR --out=DIR [--previous=FILE] [--platform=GLOB=CODE]...
//   velmora-publish serverlist --out=FILE --release=NAME --server=HOST|FOLDER|NAME...
//   velmora-publish sample --out=DIR [--files=N] [--megabytes=N] [--seed=N]
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "release_writer.h"
#include "sample_tree.h"

namespace {

const char usage_text[] =
    "Usage: velmora-publish release --source=DIR --out=DIR [options...]\n"
    "       velmora-publish serverlist --out=FILE --release=NAME --server=HOST|FOLDER|NAME...\n"
    "\n"
    "release: writes the release held in DIR (the release's top folder, for example\n"
    "\".../Velmora 9\") into the output folder: directory.txt, directory.txt.zip and one\n"
    "payload per file at its manifest path + \".zip\" (\".7z\" under \"Global Scenery\").\n"
    "Serve the output folder as <server folder><release name>/.\n"
    "  --previous=FILE        the previous release's directory.txt: changed files keep their\n"
    "                         older signatures, removed files get \"GONE\" records\n"
    "  --platform=GLOB=CODE   platform column for paths below the top folder matching GLOB\n"
    "                         (first match wins, \"*\" crosses \"/\"; default 0 = every platform;\n"
    "                         1 Mac, 2 Windows, 3 Linux, 6 also Linux)\n"
    "  --level=N              deflate level of the zip payloads (0-9, default 6)\n"
    "  --threads=N            payload workers (default: one per processor)\n"
    "\n"
    "serverlist: writes serverlist9.txt naming the release and one to ten servers.\n"
    "  --server=HOST|FOLDER|NAME   FOLDER begins and ends with \"/\"; repeat for each server\n"
    "\n"
    "sample: writes a sample release tree of our own making into DIR (its top folder):\n"
    "  --files=N --megabytes=N --seed=N   about N files, about N megabytes, other contents\n";

bool take(const char* argument, const char* name, std::string& value) {
  size_t length = std::strlen(name);
  if (std::strncmp(argument, name, length) != 0 || argument[length] != '=') return false;
  value = argument + length + 1;
  return true;
}

int bad_usage(const std::string& why) {
  std::fprintf(stderr, "velmora-publish: %s\n\n%s", why.c_str(), usage_text);
  return 2;
}

int run_release(int argc, char** argv) {
  ReleaseOptions options;
  std::string value;
  for (int i = 2; i < argc; ++i) {
    if (take(argv[i], "--source", options.source) || take(argv[i], "--out", options.out) ||
        take(argv[i], "--previous", options.previous)) {
      continue;
    } else if (take(argv[i], "--platform", value)) {
      size_t equals = value.rfind('=');
      if (equals == std::string::npos || equals == 0 || equals + 1 == value.size())
        return bad_usage("--platform takes GLOB=CODE");
      options.platform_rules.push_back({value.substr(0, equals),
                                        std::atoi(value.c_str() + equals + 1)});
    } else if (take(argv[i], "--level", value)) {
      options.zip_level = std::atoi(value.c_str());
      if (options.zip_level < 0 || options.zip_level > 9) return bad_usage("--level is 0 to 9");
    } else if (take(argv[i], "--threads", value)) {
      options.threads = std::atoi(value.c_str());
    } else {
      return bad_usage(std::string("unknown option ") + argv[i]);
    }
  }
  if (options.source.empty() || options.out.empty())
    return bad_usage("release needs --source and --out");
  ReleaseSummary summary;
  std::string error;
  if (write_release(options, summary, error) != 0) {
    std::fprintf(stderr, "velmora-publish: %s\n", error.c_str());
    return 1;
  }
  std::printf("%d files (%lld bytes, %lld in payloads), %d older versions, %d gone\n",
              summary.files, summary.file_bytes, summary.payload_bytes, summary.older_versions,
              summary.gone);
  return 0;
}

int run_server_list(int argc, char** argv) {
  std::string out, release, value;
  std::vector<ServerEntry> servers;
  for (int i = 2; i < argc; ++i) {
    if (take(argv[i], "--out", out) || take(argv[i], "--release", release)) continue;
    if (take(argv[i], "--server", value)) {
      size_t first = value.find('|');
      size_t second = first == std::string::npos ? first : value.find('|', first + 1);
      if (second == std::string::npos) return bad_usage("--server takes HOST|FOLDER|NAME");
      servers.push_back({value.substr(0, first), value.substr(first + 1, second - first - 1),
                         value.substr(second + 1)});
      continue;
    }
    return bad_usage(std::string("unknown option ") + argv[i]);
  }
  if (out.empty() || release.empty()) return bad_usage("serverlist needs --out and --release");
  std::string error;
  if (write_server_list(out, release, servers, error) != 0) {
    std::fprintf(stderr, "velmora-publish: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

int run_sample(int argc, char** argv) {
  SampleOptions options;
  std::string value;
  for (int i = 2; i < argc; ++i) {
    if (take(argv[i], "--out", options.out)) continue;
    if (take(argv[i], "--files", value)) {
      options.files = std::atoi(value.c_str());
    } else if (take(argv[i], "--megabytes", value)) {
      options.megabytes = std::atoll(value.c_str());
    } else if (take(argv[i], "--seed", value)) {
      options.seed = static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10));
    } else {
      return bad_usage(std::string("unknown option ") + argv[i]);
    }
  }
  if (options.out.empty() || options.files < 1 || options.megabytes < 0)
    return bad_usage("sample needs --out, at least one file and a size");
  std::string error;
  if (write_sample_tree(options, error) != 0) {
    std::fprintf(stderr, "velmora-publish: %s\n", error.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 2 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-h"))) {
    std::fputs(usage_text, stdout);
    return 0;
  }
  if (argc >= 2 && !std::strcmp(argv[1], "release")) return run_release(argc, argv);
  if (argc >= 2 && !std::strcmp(argv[1], "serverlist")) return run_server_list(argc, argv);
  if (argc >= 2 && !std::strcmp(argv[1], "sample")) return run_sample(argc, argv);
  return bad_usage("say release, serverlist or sample");
}
